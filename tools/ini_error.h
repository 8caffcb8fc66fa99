// The tool's exit codes and the one kind of failure it reports.
#ifndef VASK_TOOLS_INI_ERROR_H
#define VASK_TOOLS_INI_ERROR_H

#include <stdexcept>
#include <string>

namespace vask_ini {

// Exit codes; `vask-ini --help` lists them.
enum ExitCode : int {
  kExitSuccess = 0,
  // Nothing found, a file that cannot be read, loaded or saved, or fmt --check
  // finding that the file would change.
  kExitFailure = 1,
  // Bad usage, or a change that the file format cannot hold; nothing is written.
  kExitRefused = 2,
  // check --strict found lines that read differently from their text.
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

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_ERROR_H
