// Small text helpers shared by the tool's commands.
#ifndef VASK_TOOLS_INI_TEXT_H
#define VASK_TOOLS_INI_TEXT_H

#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

// A blank as the file format knows it: isspace() in the current locale.
bool isBlank(char character);
bool hasNonBlank(std::string_view text);
std::string_view trimBlanks(std::string_view text);

// The text with control bytes and backslashes written as C escapes (\t, \r,
// \0, \xNN, \\), for messages; long texts are shortened with "...".
std::string escaped(std::string_view text);
// escaped() between single quotes.
std::string quoted(std::string_view text);
// "[name]" with the name escaped: how messages name a section.
std::string bracketed(std::string_view name);

// The lines of a text, cut at each LF (not included); a final LF does not
// start another line.
std::vector<std::string_view> splitLines(std::string_view text);
// The lines of a text that hold anything at all.
std::vector<std::string_view> nonEmptyLines(std::string_view text);

// The library's text for a result code, e.g. "access denied".
std::string codeText(int code);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_TEXT_H
