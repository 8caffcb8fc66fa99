#include "ini_commands.h"

#include "ini_check.h"
#include "ini_document.h"
#include "ini_dump.h"
#include "ini_error.h"
#include "ini_library.h"
#include "ini_text.h"

#include <vask_common_c/common_error.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace vask_ini {

namespace {

void print(std::string_view text) {
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw ToolError(kExitRefused, path + ": refused: " + why + "; the file is unchanged");
}

// What a saved file could not read back as written: blanks, '#' and ';' end a
// value; '=' ends a key; a line feed ends any line.
void refuseValue(const std::string& path, const std::string& value) {
  if (value.find('\0') != std::string::npos || value.find('\n') != std::string::npos) {
    refuse(path, "the value " + quoted(value) + " holds a line feed or zero byte");
  }
  for (char character : value) {
    if (isBlank(character)) {
      refuse(path, "the value " + quoted(value) + " holds a blank, where reading ends a value");
    }
    if (character == '#' || character == ';') {
      refuse(path,
             "the value " + quoted(value) + " holds '" + character + "', which starts a comment");
    }
  }
}

void refuseKey(const std::string& path, const std::string& key) {
  if (key.empty()) {
    refuse(path, "a key cannot be empty: a line that starts with '=' has no value");
  }
  if (key.find_first_of(std::string_view("=\n\0", 3)) != std::string::npos) {
    refuse(path, "the key " + quoted(key) + " holds '=', a line feed or a zero byte");
  }
  if (isBlank(key.front())) {
    refuse(path, "the key " + quoted(key) + " starts with a blank, which reading skips");
  }
  if (key.front() == '#' || key.front() == ';' || key.front() == '[') {
    refuse(path, "the key " + quoted(key) + " starts with '" + key.front() +
                     "', which makes the line a comment or a header");
  }
}

void refuseSection(const std::string& path, const std::string& section) {
  if (section.find_first_of(std::string_view("]\n\0", 3)) != std::string::npos) {
    refuse(path, "the section name " + quoted(section) + " holds ']', a line feed or a zero byte");
  }
}

std::string notFound(const std::string& path, const std::string& section, const std::string* pKey,
                     bool isSectionFound) {
  if (pKey != nullptr && isSectionFound) {
    return path + ": no key " + quoted(*pKey) + " in section " + bracketed(section);
  }
  return path + ": no section " + bracketed(section);
}

bool section_isNamed(const std::vector<NamedSection>& named, const std::string& section) {
  for (const NamedSection& each : named) {
    if (each.name == section) {
      return true;
    }
  }
  return false;
}

// The new member goes to the last section of the name; a new section goes to
// the end, except the nameless one, whose members stand before the first header.
void value_set(VaskCommonDQueueHandle_t hQueue, const std::string& section, const std::string& key,
               const std::string& value) {
  VaskInitializationSection_t* pLast = nullptr;
  VaskInitializationMember_t* pMatch = nullptr;
  for (const NamedSection& named : namedSections(hQueue)) {
    if (named.name != section) {
      continue;
    }
    pLast = named.pSection;
    for (VaskInitializationMember_t* pMember : membersOf(*named.pSection)) {
      pMatch = member_hasKey(*pMember, key) ? pMember : pMatch;
    }
  }
  if (pMatch != nullptr) {
    char* pValue = heapString(value);
    std::free(pMatch->pValue);
    pMatch->pValue = pValue;
    return;
  }
  if (pLast != nullptr) {
    queue_pushBack(pLast->hMember, member_make(key, value).release(), memberItem_delete);
    return;
  }
  SectionPtr added = section_make(section.empty() ? std::nullopt : std::optional(section));
  queue_pushBack(added->hMember, member_make(key, value).release(), memberItem_delete);
  if (section.empty()) {
    queue_pushFront(hQueue, added.release(), sectionItem_delete);
  } else {
    queue_pushBack(hQueue, added.release(), sectionItem_delete);
  }
}

size_t members_delete(VaskCommonDQueueHandle_t hQueue, const std::string& section,
                      const std::string& key) {
  size_t removed = 0;
  for (const NamedSection& named : namedSections(hQueue)) {
    if (named.name == section) {
      removed += queue_removeIf(named.pSection->hMember, memberItem_delete, [&key](void* pItem) {
        return member_hasKey(*static_cast<VaskInitializationMember_t*>(pItem), key);
      });
    }
  }
  return removed;
}

size_t sections_delete(VaskCommonDQueueHandle_t hQueue, const std::string& section) {
  std::unordered_set<void*> doomed;
  for (const NamedSection& named : namedSections(hQueue)) {
    if (named.name == section) {
      doomed.insert(named.pSection);
    }
  }
  return queue_removeIf(hQueue, sectionItem_delete,
                        [&doomed](void* pItem) { return doomed.contains(pItem); });
}

void list_sections(const Document& document) {
  std::unordered_set<std::string> seen;
  for (const NamedSection& named : namedSections(document.queue())) {
    const bool isShown =
        named.pSection->pHeader != nullptr || VaskCommonDQueue_length(named.pSection->hMember) > 0;
    if (isShown && seen.insert(named.name).second) {
      print(named.name + "\n");
    }
  }
}

void list_keys(const Document& document, const std::string& section) {
  const std::vector<NamedSection> named = namedSections(document.queue());
  if (!section_isNamed(named, section)) {
    throw ToolError(kExitFailure, notFound(document.path(), section, nullptr, false));
  }
  std::unordered_set<std::string> seen;
  for (const NamedSection& each : named) {
    if (each.name != section) {
      continue;
    }
    for (const VaskInitializationMember_t* pMember : membersOf(*each.pSection)) {
      const std::string key = pMember->pKey != nullptr ? pMember->pKey : "";
      if (seen.insert(key).second) {
        print(key + "\n");
      }
    }
  }
}

// Whether the real load agrees that the text loads; a failure that no single
// line explains is still a failure.
std::optional<int> load_failure(const std::string& path) {
  Reader reader;
  SectionQueue queue;
  const int result = VaskInitializationReader_load(reader.handle(), path.c_str(), queue.handle());
  return result == VaskCommonError_Success ? std::nullopt : std::optional(result);
}

}  // namespace

int command_get(const Invocation& call) {
  const std::string& section = call.arguments[1];
  const std::string& key = call.arguments[2];
  const Document document(call.arguments[0]);
  std::vector<std::string> values;
  const std::vector<NamedSection> named = namedSections(document.queue());
  for (const NamedSection& each : named) {
    if (each.name != section) {
      continue;
    }
    for (const VaskInitializationMember_t* pMember : membersOf(*each.pSection)) {
      if (member_hasKey(*pMember, key)) {
        values.emplace_back(pMember->pValue != nullptr ? pMember->pValue : "");
      }
    }
  }
  if (values.empty()) {
    throw ToolError(kExitFailure,
                    notFound(document.path(), section, &key, section_isNamed(named, section)));
  }
  if (!call.has("--all")) {
    values.erase(values.begin(), values.end() - 1);
  }
  for (const std::string& value : values) {
    print(value + "\n");
  }
  return kExitSuccess;
}

int command_set(const Invocation& call) {
  const std::string& path = call.arguments[0];
  refuseSection(path, call.arguments[1]);
  refuseKey(path, call.arguments[2]);
  refuseValue(path, call.arguments[3]);
  Document document(path);
  document.warnLossyLines();
  value_set(document.queue(), call.arguments[1], call.arguments[2], call.arguments[3]);
  document.commit();
  return kExitSuccess;
}

int command_del(const Invocation& call) {
  const std::string& path = call.arguments[0];
  const std::string& section = call.arguments[1];
  const std::string* pKey = call.arguments.size() > 2 ? &call.arguments[2] : nullptr;
  refuseSection(path, section);
  if (pKey != nullptr) {
    refuseKey(path, *pKey);
  }
  Document document(path);
  const bool isSectionFound = section_isNamed(namedSections(document.queue()), section);
  const size_t removed = pKey != nullptr ? members_delete(document.queue(), section, *pKey)
                                         : sections_delete(document.queue(), section);
  if (removed == 0) {
    throw ToolError(kExitFailure, notFound(path, section, pKey, isSectionFound));
  }
  document.warnLossyLines();
  document.commit();
  return kExitSuccess;
}

int command_list(const Invocation& call) {
  const Document document(call.arguments[0]);
  if (call.arguments.size() > 1) {
    list_keys(document, call.arguments[1]);
  } else {
    list_sections(document);
  }
  return kExitSuccess;
}

int command_dump(const Invocation& call) {
  const Document document(call.arguments[0]);
  print(call.has("--json") ? dumpJson(document.queue()) : dumpText(document.queue()));
  return kExitSuccess;
}

int command_fmt(const Invocation& call) {
  const Document document(call.arguments[0]);
  const bool isFormatted = document.serialize() == document.text();
  if (call.has("--check")) {
    print(document.path() + (isFormatted ? ": already formatted\n" : ": would be reformatted\n"));
    return isFormatted ? kExitSuccess : kExitFailure;
  }
  if (!isFormatted) {
    document.warnLossyLines();
    document.save();
  }
  return kExitSuccess;
}

int command_check(const Invocation& call) {
  const std::string& path = call.arguments[0];
  const std::string text = file_read(path);
  bool hasError = false;
  bool hasWarning = false;
  for (const Finding& finding : checkText(text)) {
    print(path + ":" + std::to_string(finding.line) +
          (finding.isError ? ": error: " : ": warning: ") + finding.message + "\n");
    hasError = hasError || finding.isError;
    hasWarning = hasWarning || !finding.isError;
  }
  if (!hasError) {
    if (const std::optional<int> result = load_failure(path)) {
      print(path + ": error: the file does not load: " + codeText(*result) + "\n");
      hasError = true;
    }
  }
  if (hasError) {
    return kExitFailure;
  }
  return hasWarning && call.has("--strict") ? kExitWarnings : kExitSuccess;
}

}  // namespace vask_ini
