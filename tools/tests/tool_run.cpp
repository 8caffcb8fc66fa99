#include "tool_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace vask_ini_test {

namespace {

std::string stream_readAll(std::FILE* pFile) {
  std::string text;
  std::rewind(pFile);
  char chunk[4096];
  size_t count = 0;
  while ((count = std::fread(chunk, 1, sizeof chunk, pFile)) > 0) {
    text.append(chunk, count);
  }
  return text;
}

int process_wait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error("waitpid failed");
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The emulator command that runs the tool in a cross-build ("|" between its
// words), or nothing.
std::vector<std::string> emulator_words() {
  std::vector<std::string> words;
  std::string_view rest = VASK_INI_EMULATOR;
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    if (bar != 0) {
      words.emplace_back(rest.substr(0, bar));
    }
    rest.remove_prefix(bar == std::string_view::npos ? rest.size() : bar + 1);
  }
  return words;
}

}  // namespace

ToolResult runTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = emulator_words();
  words.emplace_back(VASK_INI_PATH);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);

  std::FILE* pOut = std::tmpfile();
  std::FILE* pErr = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fileno(pOut), 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(pErr), 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ToolResult run{-1, "", ""};
  if (spawned == 0) {
    run.code = process_wait(pid);
  }
  run.out = stream_readAll(pOut);
  run.err = stream_readAll(pErr);
  (void)std::fclose(pOut);
  (void)std::fclose(pErr);
  if (spawned != 0) {
    throw std::runtime_error("cannot start " + words.front());
  }
  return run;
}

std::string withFile(std::string text, const std::string& path) {
  const std::string marker = "{FILE}";
  for (size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + path.size())) {
    text.replace(at, marker.size(), path);
  }
  return text;
}

}  // namespace vask_ini_test
