// What the library reads: loading a text through it, and comparing what it
// reads with the tool's view (the members in file order, each with the name of
// its section, its key, value and trailing comment; sections without members
// play no part).
#ifndef VASK_TOOLS_INI_VIEW_H
#define VASK_TOOLS_INI_VIEW_H

#include <initialization_lookup.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

// The view of a whole text: the hash of each member (see memberHash), in file
// order.
using MemberView = std::vector<uint64_t>;

enum class ChangeKind { Insert, Replace, Remove };

// A change of a view: Insert goes before old member `position` (or at the end
// for the view's size); Replace and Remove act on that member.
struct ViewChange {
  size_t position;
  ChangeKind kind;
  uint64_t hash;  // Insert, Replace
};

// The members a text must read as: an old view with changes, read one at a
// time without building the new view.
class ExpectedView {
 public:
  ExpectedView() = default;
  ExpectedView(MemberView view, std::vector<ViewChange> changes);

  size_t size() const { return size_; }
  // The next member's hash into *pHash; false past the last one.
  bool next(uint64_t* pHash);

 private:
  MemberView view_;
  std::vector<ViewChange> changes_;  // by position, inserts first
  size_t size_ = 0;
  size_t position_ = 0;
  size_t change_ = 0;
};

// A text that starts with a UTF-8 byte order mark does not load: reading would
// take the mark for text. Gives a ToolError (exit 1) naming the mark.
void requireNoByteOrderMark(const std::string& name, std::string_view text);

// Parses the bytes through the library (a zero byte must follow them, as
// std::string keeps one). A text that does not load gives a ToolError (exit 1)
// naming the file and the line at fault.
vask::Sections loadText(const std::string& name, const std::string& text);

// The first line that makes loading fail, as "NAME:LINE: why", if any.
std::string loadFailure(const std::string& name, std::string_view text, int code);

// The tool's view of a text, read by its scanner: a hash per member, in file order.
MemberView scanView(std::string_view text);

// A check of the parsed result beyond the view: the reason to refuse, or "".
using ResultCheck = std::function<std::string(const vask::Sections&)>;

// Refuses (exit 2) unless `text`, parsed through the library, reads exactly
// as `expected` and passes `check`; the library's sections are released
// before it returns.
void requireView(const std::string& name, const std::string& text, ExpectedView expected,
                 const ResultCheck& check = {});

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_VIEW_H
