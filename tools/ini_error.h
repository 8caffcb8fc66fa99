// The tool's exit codes, the one kind of failure it reports, and the texts of
// the libraries' result codes.
#ifndef VASK_TOOLS_INI_ERROR_H
#define VASK_TOOLS_INI_ERROR_H

#include <vask_common_c/common_error.h>

#include <stdexcept>
#include <string>

namespace vask_ini {

// Exit codes; `vask-ini --help` lists them, and each command's help those it gives.
enum ExitCode : int {
  kExitSuccess = 0,
  // Nothing found, a file that cannot be read, loaded or saved, or fmt --check
  // finding that the file would change.
  kExitFailure = 1,
  // Bad usage, or a change that cannot be made without loss; nothing is written.
  kExitRefused = 2,
  // --strict found lines that read differently from their text.
  kExitWarnings = 3,
};

// A failure that the tool reports as one sentence on stderr before it ends
// with the given exit code.
class ToolError : public std::runtime_error {
 public:
  ToolError(int exitCode, const std::string& message)
      : std::runtime_error(message), exitCode_(exitCode) {}
  int exitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// The libraries' text for a result code, e.g. "access denied".
inline std::string codeText(int code) {
  return VaskCommonError_text(code);
}

// Ends the run with exit 2: the change is refused and `path` left as it was.
[[noreturn]] inline void refuse(const std::string& path, const std::string& why) {
  throw ToolError(kExitRefused, path + ": refused: " + why + "; the file is unchanged");
}

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_ERROR_H
