#include "ini_view.h"

#include "ini_check.h"
#include "ini_error.h"
#include "ini_scan.h"
#include "ini_text.h"

#include <algorithm>

namespace vask_ini {

namespace {

constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

// The member at `index` of the text as the scanner reads it, for a message.
std::string member_describe(std::string_view text, size_t index) {
  LineScanner scanner(text);
  ScanLine line;
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Member && line.member == index) {
      return "line " + std::to_string(line.number) + " of the result, " +
             quoted(text.substr(line.body, line.contentEnd - line.body)) +
             ", would not read as intended";
    }
  }
  return "member " + std::to_string(index + 1) + " of the result would not read as intended";
}

}  // namespace

void requireNoByteOrderMark(const std::string& name, std::string_view text) {
  if (text.starts_with(kByteOrderMark)) {
    throw ToolError(kExitFailure, name + ":1: " + std::string(kByteOrderMarkMessage));
  }
}

std::string loadFailure(const std::string& name, std::string_view text, int code) {
  LineScanner scanner(text);
  ScanLine line;
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Invalid) {
      return name + ":" + std::to_string(line.number) + ": " +
             missingEqualsMessage(text.substr(line.body, line.contentEnd - line.body));
    }
  }
  return name + ": cannot load the file: " + codeText(code);
}

vask::Sections loadText(const std::string& name, const std::string& text) {
  requireNoByteOrderMark(name, text);
  vask::Sections sections;
  const int result = sections.parse(text);
  if (result != VaskCommonError_Success) {
    throw ToolError(kExitFailure, loadFailure(name, text, result));
  }
  return sections;
}

MemberView scanView(std::string_view text) {
  MemberView view;
  LineScanner scanner(text);
  ScanLine line;
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Member) {
      view.push_back(memberHash(line));
    }
  }
  return view;
}

ExpectedView::ExpectedView(MemberView view, std::vector<ViewChange> changes)
    : view_(std::move(view)), changes_(std::move(changes)), size_(view_.size()) {
  std::stable_sort(changes_.begin(), changes_.end(), [](const ViewChange& a, const ViewChange& b) {
    return a.position != b.position ? a.position < b.position
                                    : a.kind == ChangeKind::Insert && b.kind != ChangeKind::Insert;
  });
  for (const ViewChange& change : changes_) {
    size_ += change.kind == ChangeKind::Insert ? 1 : 0;
    size_ -= change.kind == ChangeKind::Remove ? 1 : 0;
  }
}

bool ExpectedView::next(uint64_t* pHash) {
  for (;;) {
    const bool isChange = change_ < changes_.size() && changes_[change_].position == position_;
    if (isChange && changes_[change_].kind == ChangeKind::Insert) {
      *pHash = changes_[change_++].hash;
      return true;
    }
    if (position_ == view_.size()) {
      return false;
    }
    *pHash = view_[position_];
    bool isRemoved = false;
    for (; change_ < changes_.size() && changes_[change_].position == position_; ++change_) {
      *pHash = changes_[change_].kind == ChangeKind::Replace ? changes_[change_].hash : *pHash;
      isRemoved = isRemoved || changes_[change_].kind == ChangeKind::Remove;
    }
    ++position_;
    if (!isRemoved) {
      return true;
    }
  }
}

void requireView(const std::string& name, const std::string& text, ExpectedView expected,
                 const ResultCheck& check) {
  vask::Sections sections;
  const int result = sections.parse(text);
  if (result != VaskCommonError_Success) {
    refuse(name, "the result would not load: " + loadFailure("it", text, result));
  }
  size_t count = 0;
  size_t differing = expected.size();  // the first member that reads otherwise
  std::string_view section;            // the members of a section share the hash of its name
  uint64_t sectionName = sectionHash(section);
  for (const vask::Entry entry : sections.members()) {
    if (entry.section.data() != section.data() || entry.section.size() != section.size()) {
      section = entry.section;
      sectionName = sectionHash(section);
    }
    const char* pComment = entry.pMember->pComment;
    uint64_t hash = 0;
    if (differing == expected.size() &&
        (!expected.next(&hash) ||
         memberHash(sectionName, entry.key(), entry.value(), pComment != nullptr,
                    pComment != nullptr ? pComment : "") != hash)) {
      differing = count;
    }
    ++count;
  }
  if (differing < count) {
    refuse(name, member_describe(text, differing));
  }
  if (count != expected.size()) {
    refuse(name, "the result would read " + std::to_string(count) + " members where " +
                     std::to_string(expected.size()) + " were meant");
  }
  if (check) {
    const std::string reason = check(sections);
    if (!reason.empty()) {
      refuse(name, reason);
    }
  }
}

}  // namespace vask_ini
