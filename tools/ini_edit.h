// Surgical edits: the new text is the old one with the edited lines spliced
// in or out, every other byte as it was. Lines are found with the tool's
// scanner; the result comes with the view it must read as, which the caller
// checks through the library before saving anything.
#ifndef VASK_TOOLS_INI_EDIT_H
#define VASK_TOOLS_INI_EDIT_H

#include "ini_view.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

struct Assignment {
  std::string section;
  std::string key;
  std::string value;
};

enum class EditKind { Set, DeleteKey, DeleteSection };

struct EditRequest {
  EditKind kind = EditKind::Set;
  // Set: the keys to set, in order; where a key comes twice the later value wins.
  std::vector<Assignment> assignments;
  std::string section;          // DeleteKey, DeleteSection
  std::string key;              // DeleteKey
  bool isExistingOnly = false;  // Set: a missing section or key fails (exit 1)
};

struct EditResult {
  std::string text;                   // the new text
  bool isChanged = false;             // whether it differs from the old one
  ExpectedView expected;              // what it must read as
  std::vector<std::string> warnings;  // for stderr, once the edit is saved
};

// Refuses (exit 2) a section name with ']', a line feed or a zero byte.
void requireSectionName(const std::string& name, const std::string& section);

// Refuses (exit 2) a section name, key or value that would not read back as
// given: ']' or a line feed in a section name; '=' or a line feed in a key, or
// a key that is empty or starts with a blank, '[', '#' or ';'; a blank, '#',
// ';' or a line feed in a value; a zero byte anywhere.
void requireWritable(const std::string& name, const Assignment& assignment);

// "NAME: no section [S]" or "NAME: no key 'K' in section [S]", with advice
// when the section holds the key only with blanks before its '=' (nearMiss:
// the key as read).
std::string notFoundMessage(const std::string& name, const std::string& section,
                            const std::string& key, bool isSectionThere,
                            std::string_view nearMiss = {});

// Applies the edit to the text of the file `name`. What is not there gives a
// ToolError with exit 1 (or exit 2 for a key that is there only with blanks
// before its '='); a text that does not load, exit 1.
EditResult applyEdit(const std::string& name, std::string_view text, const EditRequest& request);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_EDIT_H
