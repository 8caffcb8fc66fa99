// What the library finds in a text, as the tool words it: each line that
// reads differently from its text (VaskInitializationDocument_check) or that
// makes loading fail, one report per line with all its findings.
#ifndef VASK_TOOLS_INI_CHECK_H
#define VASK_TOOLS_INI_CHECK_H

#include <initialization_document.h>

#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

struct LineReport {
  size_t line;       // counted from 1
  bool isError;      // the line makes loading fail
  bool isLosing;     // text of the line is lost on reading, and so in the writer's layout
  std::string text;  // the findings' texts, joined by "; "
};

// Every line with findings, in line order; a malformed line ends the list, as
// reading stops there. A failed allocation gives exit 4.
std::vector<LineReport> checkReports(std::string_view text);

// get's warnings: for each member line (line, member), what makes its value read
// otherwise than the text shows (text dropped, the CR of a CR LF line), if anything.
using MemberLine = std::pair<size_t, const VaskInitializationMember_t*>;
std::vector<LineReport> valueReports(VaskInitializationDocumentHandle_t handle,
                                     const std::vector<MemberLine>& lines);

// Why the line (its text from its first byte) fails to load.
std::string malformedMessage(std::string_view line);

// A header line's name as reading gives it: after '[' up to ']' or the end.
std::string_view headerName(std::string_view line);

// The line `number` of the text, without its line feed.
std::string_view lineOf(std::string_view text, size_t number);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_CHECK_H
