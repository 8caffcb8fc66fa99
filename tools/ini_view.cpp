#include "ini_view.h"

#include "ini_check.h"
#include "ini_error.h"
#include "ini_scan.h"
#include "ini_text.h"

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

std::vector<uint64_t> scanView(std::string_view text) {
  std::vector<uint64_t> view;
  LineScanner scanner(text);
  ScanLine line;
  while (scanner.next(&line)) {
    if (line.kind == LineKind::Member) {
      view.push_back(memberHash(line));
    }
  }
  return view;
}

void requireView(const std::string& name, const std::string& text,
                 const std::vector<uint64_t>& expected, const ResultCheck& check) {
  vask::Sections sections;
  const int result = sections.parse(text);
  if (result != VaskCommonError_Success) {
    refuse(name, "the result would not load: " + loadFailure("it", text, result));
  }
  size_t count = 0;
  size_t differing = expected.size();  // the first member that reads otherwise
  for (const vask::Entry entry : sections.members()) {
    const char* pComment = entry.pMember->pComment;
    if (differing == expected.size() &&
        (count == expected.size() ||
         memberHash(entry.section, entry.key(), entry.value(), pComment != nullptr,
                    pComment != nullptr ? pComment : "") != expected[count])) {
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
