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
std::vector<uint64_t> scanView(std::string_view text);

// A check of the parsed result beyond the view: the reason to refuse, or "".
using ResultCheck = std::function<std::string(const vask::Sections&)>;

// Refuses (exit 2) unless `text`, parsed through the library, reads exactly
// as `expected` and passes `check`; the library's sections are released
// before it returns.
void requireView(const std::string& name, const std::string& text,
                 const std::vector<uint64_t>& expected, const ResultCheck& check = {});

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_VIEW_H
