// Small text helpers shared by the tool's commands.
#ifndef VASK_TOOLS_INI_TEXT_H
#define VASK_TOOLS_INI_TEXT_H

#include <string>
#include <string_view>

namespace vask_ini {

// A blank as the file format knows it: isspace() in the current locale.
bool isBlank(char character);
bool hasNonBlank(std::string_view text);
std::string_view skipBlanks(std::string_view text);  // the leading ones
std::string_view trimBlanks(std::string_view text);

// The text with control bytes and backslashes written as C escapes (\t, \r,
// \n, \0, \xNN, \\), for messages, so that no text can split or forge a
// line; texts longer than `shown` bytes are shortened with "...".
std::string escaped(std::string_view text, size_t shown = 60);
// escaped() between single quotes.
std::string quoted(std::string_view text);
// "[name]" with the name escaped: how messages name a section.
std::string bracketed(std::string_view name);

// Writes the bytes to stdout: all of the tool's output goes through here.
void print(std::string_view text);
// Writes "vask-ini: ", the message and a line feed to stderr.
void warn(std::string_view message);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_TEXT_H
