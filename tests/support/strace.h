// Runs a program under strace: to read the system calls it makes, and to kill it, fail
// a call or delay one at a chosen call (`-e inject=...`), so that a window is certain.
#ifndef VASK_TESTS_SUPPORT_STRACE_H
#define VASK_TESTS_SUPPORT_STRACE_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vask::test {

inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Empty when strace can run `program`, else why not (to skip with).
inline std::string straceMissing(const std::string& program) {
  if (access("/usr/bin/strace", X_OK) != 0) {
    return "no /usr/bin/strace (scripts/setup installs it)";
  }
  // e_machine: a cross-built program runs under an emulator that strace cannot follow.
  const bool isSame =
      fileBytes("/usr/bin/strace").substr(18, 2) == fileBytes(program).substr(18, 2);
  return isSame ? "" : "this host's strace cannot run a program built for another machine";
}

// The command line that runs `arguments` (already quoted) under strace with `options`,
// the calls of `calls` (a strace trace= expression) written to `log`.
inline std::string straceCommand(const std::string& options, const std::string& calls,
                                 const std::string& log, const std::string& arguments) {
  return "ASAN_OPTIONS=detect_leaks=0 exec /usr/bin/strace -qq -o '" + log +
         "' -e 'trace=" + calls + "' " + options + " " + arguments;
}

// Runs it; gives the exit code (-1 when killed) and, when pCalls is non-null, the calls.
inline int straceRun(const std::string& options, const std::string& calls, const std::string& log,
                     const std::string& arguments, std::vector<std::string>* pCalls) {
  const int status = std::system(straceCommand(options, calls, log, arguments).c_str());
  std::ifstream in(log);
  for (std::string line; pCalls != nullptr && std::getline(in, line);) {
    pCalls->push_back(line);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts it without waiting for it: the pid is strace's (the shell execs it).
inline pid_t straceStart(const std::string& options, const std::string& calls,
                         const std::string& log, const std::string& arguments) {
  const std::string command = straceCommand(options, calls, log, arguments);
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    _exit(127);
  }
  return pid;
}

// Waits for what straceStart started; the exit code (-1 when killed).
inline int straceWait(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Polls `isDone` each millisecond for 20 s at most: whether it came true.
template <typename Done_t>
bool waitUntil(Done_t isDone) {
  for (int i = 0; i < 20000 && !isDone(); ++i) {
    usleep(1000);
  }
  return isDone();
}

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_STRACE_H
