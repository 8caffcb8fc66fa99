// Finds the lines of a file that make loading fail, and the lines whose text
// reading drops or changes. Each line is read on its own through the library
// and what it yields is compared with the line's text, so the tool never has
// a second idea of the format.
#ifndef VASK_TOOLS_INI_CHECK_H
#define VASK_TOOLS_INI_CHECK_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

struct Finding {
  size_t line;  // counted from 1
  bool isError;
  bool isDropping;  // text of the line is lost on reading, and so on saving
  std::string message;
};

// Every finding in line order. An error (a member line without '=') is the
// last finding: reading stops there, as loading does.
std::vector<Finding> checkText(std::string_view text);

// Why a line that is not a comment or a header, and has no '=', fails to load;
// body is the line from its first non-blank byte on.
std::string missingEqualsMessage(std::string_view body);

// Why a text that starts with a byte order mark fails to load.
constexpr std::string_view kByteOrderMarkMessage =
    "the file starts with a UTF-8 byte order mark (the bytes EF BB BF), which reading takes "
    "as text: save the file without it";

// For a member line (without its LF): what reading loses of it (text after a
// blank or marker, or after a zero byte) or keeps that the eye does not see (the
// CR of a CR LF line end), or nullopt when it reads as written.
std::optional<std::string> memberLoss(std::string_view line);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_CHECK_H
