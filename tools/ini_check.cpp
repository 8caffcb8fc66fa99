#include "ini_check.h"

#include "ini_dump.h"
#include "ini_error.h"
#include "ini_file.h"
#include "ini_text.h"

#include <algorithm>

namespace vask_ini {

namespace {

using Diagnostic = VaskInitializationDiagnostic_t;
using Member = VaskInitializationMember_t;

// Walks the lines of a text forward only, so that looking up lines in order
// stays linear.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}
  std::string_view at(size_t number) {
    for (; number_ < number && offset_ < text_.size(); ++number_) {
      const size_t lineFeed = text_.find('\n', offset_);
      offset_ = lineFeed == std::string_view::npos ? text_.size() : lineFeed + 1;
    }
    return text_.substr(offset_, text_.find('\n', offset_) - offset_);
  }

 private:
  std::string_view text_;
  size_t number_ = 1;
  size_t offset_ = 0;
};

std::string zeroByte_text(std::string_view text, const Diagnostic& finding) {
  const std::string_view line = text.substr(finding.offset, finding.length);
  if (!hasNonBlank(line.substr(0, finding.begin))) {  // where a line starts: the text ends
    return hasNonBlank(text.substr(finding.offset + finding.begin + 1))
               ? "a zero byte ends the text here: nothing after it is read"
               : "a zero byte ends the text here";
  }
  const std::string_view rest =
      trimBlanks(line.substr(finding.begin + 1, finding.end - finding.begin - 1));
  return rest.empty() ? "a zero byte cuts the line short"
                      : "a zero byte cuts the line short: " + quoted(rest) + " is dropped";
}

std::string valueCut_text(const Diagnostic& finding, std::string_view part, const Member* pMember) {
  const std::string value =
      "the value is read as " + quoted(pMember != nullptr ? valueOf(*pMember) : "");
  if (finding.begin < finding.end) {
    return value + " and " + quoted(part) + " is dropped";
  }
  const char* pComment = pMember != nullptr ? pMember->pComment : nullptr;
  return value + " and " + quoted(pComment != nullptr ? pComment : "") + " as a comment";
}

// The words for one finding; the member is that of the line, or null.
std::string finding_text(std::string_view text, const Diagnostic& finding, const Member* pMember,
                         LineCursor* pCursor) {
  const std::string_view line = text.substr(finding.offset, finding.length);
  const std::string_view part = line.substr(finding.begin, finding.end - finding.begin);
  switch (finding.code) {
    case VaskCommonError_MalformedLine:
      return malformedMessage(line);
    case VaskInitializationCheck_BlankInKey:
      return "the key is read as " + quoted(part) + ", with the blank before '='";
    case VaskInitializationCheck_ValueCut:
      return valueCut_text(finding, part, pMember);
    case VaskInitializationCheck_CarriageReturn:
      return "the value is read as " + quoted(pMember != nullptr ? valueOf(*pMember) : "") +
             ", with the CR of the CR LF line end";
    case VaskInitializationCheck_TextAfterHeader:
      return "the text after ']' is dropped: " + quoted(part);
    case VaskInitializationCheck_ZeroByte:
      return zeroByte_text(text, finding);
    case VaskInitializationCheck_UnclosedHeader:
      return "the header has no ']': the name is read as " + quoted(part);
    case VaskInitializationCheck_HeaderReplaced:
      return "the header " + bracketed(headerName(line)) + " is replaced by " +
             bracketed(headerName(pCursor->at(finding.otherLine))) + " on line " +
             std::to_string(finding.otherLine) + " before any member";
    case VaskInitializationCheck_EmptyKey:
      return finding.begin < finding.end
                 ? "the key is empty, so the value is not read: " + quoted(part) + " is dropped"
                 : "the key is empty, and so is the value";
    default:
      return "the line reads differently from its text (finding " + std::to_string(finding.code) +
             ")";
  }
}

// Whether the finding means text that reading, and so the writer, loses.
bool finding_isLosing(const Diagnostic& finding) {
  switch (finding.code) {
    case VaskInitializationCheck_ValueCut:
    case VaskInitializationCheck_EmptyKey:
      return finding.begin < finding.end;
    case VaskInitializationCheck_TextAfterHeader:
    case VaskInitializationCheck_ZeroByte:
    case VaskInitializationCheck_HeaderReplaced:
    case VaskCommonError_MalformedLine:
      return true;
    default:
      return false;
  }
}

void report_add(std::vector<LineReport>* pReports, const Diagnostic& finding, std::string text) {
  const bool isError = finding.code == VaskCommonError_MalformedLine;
  if (pReports->empty() || pReports->back().line != finding.line) {
    pReports->push_back({finding.line, isError, finding_isLosing(finding), std::move(text)});
    return;
  }
  LineReport& report = pReports->back();
  report.isError = report.isError || isError;
  report.isLosing = report.isLosing || finding_isLosing(finding);
  report.text += "; " + text;
}

// The index-th finding of the document into *pFinding; false past the last.
bool finding_get(VaskInitializationDocumentHandle_t handle, size_t index, Diagnostic* pFinding) {
  const int result = VaskInitializationDocument_check(handle, index, pFinding);
  if (result == VaskCommonError_NoMemory) {
    outOfMemory();
  }
  return result == VaskCommonError_Success;
}

const Member* member_at(const std::vector<MemberLine>& lines, size_t line) {
  const auto found =
      std::lower_bound(lines.begin(), lines.end(), MemberLine{line, nullptr},
                       [](const MemberLine& a, const MemberLine& b) { return a.first < b.first; });
  return found != lines.end() && found->first == line ? found->second : nullptr;
}

// Reports the document's findings: all of them, or, for isValueOnly, those on
// the lines of `members` that change what the value reads as.
void reports_collect(VaskInitializationDocumentHandle_t handle, std::string_view text,
                     const std::vector<MemberLine>& members, bool isValueOnly,
                     std::vector<LineReport>* pReports) {
  LineCursor cursor(text);
  Diagnostic finding{};
  for (size_t index = 0; finding_get(handle, index, &finding); ++index) {
    const Member* pMember = member_at(members, finding.line);
    if (!isValueOnly ||
        (pMember != nullptr &&
         (finding_isLosing(finding) || finding.code == VaskInitializationCheck_CarriageReturn))) {
      report_add(pReports, finding, finding_text(text, finding, pMember, &cursor));
    }
  }
}

}  // namespace

// The text is read as a document, or, when a line makes loading fail, the
// lines before it are; that line comes last. (VaskInitializationDocument_checkText
// gives the same, but parses the text again for every finding it is asked for.)
std::vector<LineReport> checkReports(std::string_view text) {
  Document document;
  Diagnostic malformed{};
  int result =
      VaskInitializationDocument_parse(text.data(), text.size(), document.out(), &malformed);
  if (result == VaskCommonError_MalformedLine) {
    result =
        VaskInitializationDocument_parse(text.data(), malformed.offset, document.out(), nullptr);
  }
  if (result != VaskCommonError_Success) {
    outOfMemory();  // the only other failure of a parse
  }
  std::vector<MemberLine> members;
  forEachMember(document.get(), nullptr, [&](std::string_view, const Member& member, size_t line) {
    members.emplace_back(line, &member);
  });
  std::vector<LineReport> reports;
  reports_collect(document.get(), text, members, false, &reports);
  if (malformed.code != 0) {
    LineCursor cursor(text);
    report_add(&reports, malformed, finding_text(text, malformed, nullptr, &cursor));
  }
  return reports;
}

std::vector<LineReport> valueReports(VaskInitializationDocumentHandle_t handle,
                                     const std::vector<MemberLine>& lines) {
  std::vector<LineReport> reports;
  reports_collect(handle, documentText(handle), lines, true, &reports);
  return reports;
}

std::string malformedMessage(std::string_view line) {
  // Reading sees no further than a zero byte.
  return quoted(skipBlanks(line.substr(0, line.find('\0')))) +
         " has no '=': a line that is not a comment or a [header] must be key=value";
}

std::string_view headerName(std::string_view line) {
  line = skipBlanks(line.substr(0, line.find('\0')));
  line.remove_prefix(line.empty() ? 0 : 1);  // the '['
  return line.substr(0, line.find(']'));
}

std::string_view lineOf(std::string_view text, size_t number) {
  return LineCursor(text).at(number);
}

}  // namespace vask_ini
