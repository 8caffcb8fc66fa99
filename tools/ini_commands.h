// The tool's subcommands. Each takes its parsed command line, writes its
// output to stdout and returns the exit code; failures are thrown as ToolError.
// They keep only the wording and the formats: documents do the reading,
// finding, editing and saving.
#ifndef VASK_TOOLS_INI_COMMANDS_H
#define VASK_TOOLS_INI_COMMANDS_H

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vask_ini {

struct Invocation {
  std::vector<std::string> arguments;  // after the command name, FILE first
  std::set<std::string> flags;         // the command's own options, e.g. "--all"
  std::optional<std::string> output;   // --output FILE
  size_t maxSize = 0;                  // --max-size: the most bytes an input may have

  bool has(const std::string& flag) const { return flags.contains(flag); }
};

int command_get(const Invocation& call);
int command_set(const Invocation& call);
int command_del(const Invocation& call);
int command_merge(const Invocation& call);
int command_list(const Invocation& call);
int command_dump(const Invocation& call);
int command_fmt(const Invocation& call);
int command_check(const Invocation& call);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_COMMANDS_H
