// Runs the built vask-ini on files in a temporary folder, for end-to-end tests.
#ifndef VASK_TOOLS_TESTS_TOOL_RUN_H
#define VASK_TOOLS_TESTS_TOOL_RUN_H

#include <string>
#include <string_view>
#include <vector>

namespace vask_ini_test {

struct ToolResult {
  int code;  // the exit code, or 128 + the signal that ended the program
  std::string out;
  std::string err;
};

// Runs the tool with these arguments, stdin from /dev/null, and collects its
// exit code and both output streams.
ToolResult runTool(const std::vector<std::string>& arguments);

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string pathOf(const std::string& name) const { return path_ + "/" + name; }
  // Writes the bytes into a file of the folder and returns its path.
  std::string write(const std::string& name, std::string_view bytes) const;
  // The bytes of a file of the folder (or of any path when it starts with '/').
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

// Replaces every "{FILE}" in the text by the path.
std::string withFile(std::string text, const std::string& path);

}  // namespace vask_ini_test

#endif  // VASK_TOOLS_TESTS_TOOL_RUN_H
