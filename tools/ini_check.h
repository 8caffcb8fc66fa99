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

// The error that makes loading the text fail, if any.
std::optional<Finding> firstError(std::string_view text);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_CHECK_H
