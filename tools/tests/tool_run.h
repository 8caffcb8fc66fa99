// Runs the built vask-ini on files in a temporary folder, for end-to-end tests.
#ifndef VASK_TOOLS_TESTS_TOOL_RUN_H
#define VASK_TOOLS_TESTS_TOOL_RUN_H

#include <string>
#include <string_view>
#include <vector>

#include "folder.h"

namespace vask_ini_test {

struct ToolResult {
  int code;  // the exit code, or 128 + the signal that ended the program
  std::string out;
  std::string err;
};

// Runs the tool with these arguments, stdin from /dev/null, and collects its
// exit code and both output streams.
ToolResult runTool(const std::vector<std::string>& arguments);

// A fresh folder for one test, shared with the library's tests.
using TempFolder = vask::test::TempFolder;

// Replaces every "{FILE}" in the text by the path.
std::string withFile(std::string text, const std::string& path);

}  // namespace vask_ini_test

#endif  // VASK_TOOLS_TESTS_TOOL_RUN_H
