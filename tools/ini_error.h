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
  kExitFailure = 1,   // nothing found, or a check that fails
  kExitRefused = 2,   // bad usage, or a change that cannot be made without loss
  kExitWarnings = 3,  // --strict found lines that read differently from their text
  kExitFile = 4,      // a file that cannot be read, loaded or saved; out of memory
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

// Ends the run with exit 2: the change is refused and the file `name` left as it was.
[[noreturn]] inline void refuse(const std::string& name, const std::string& why) {
  throw ToolError(kExitRefused, name + ": refused: " + why + "; the file is unchanged");
}

// Ends the run with exit 4 for a failed allocation in a library.
[[noreturn]] inline void outOfMemory() {
  throw ToolError(kExitFile, "out of memory");
}

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_ERROR_H
