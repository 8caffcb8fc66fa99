// vask-ini: reads and edits initialization files from the command line, over
// the public interface of libvask_initialization.
#include "ini_commands.h"
#include "ini_error.h"

#include <vask_common_c/common_tracer.h>

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vask_ini::Invocation;
using vask_ini::kExitFailure;
using vask_ini::kExitRefused;
using vask_ini::kExitSuccess;
using vask_ini::ToolError;

constexpr std::string_view kExitCodes = R"(
Exit codes:
  0  success
  1  nothing found; a file that cannot be read, loaded or saved (the message
     names the file, and the line where one is at fault); check found a line
     that makes loading fail; fmt --check found that the file would change
  2  bad usage, or a change that the file format cannot hold (refused; the
     file is unchanged)
  3  check --strict found lines that read differently from their text
)";

constexpr std::string_view kOverview =
    R"(Usage: vask-ini [--trace] COMMAND FILE [ARGUMENTS] [OPTIONS]

Reads and edits initialization files: sections with an optional [header],
comment lines (# or ;) and key=value members.

Commands:
  get FILE SECTION KEY [--all]   print a value; --all prints every match
  set FILE SECTION KEY VALUE     change or add a value and save the file
  del FILE SECTION [KEY]         remove a key, or every section of that name
  list FILE [SECTION]            list the section names, or a section's keys
  dump FILE [--json]             print every section.key=value, or all as JSON
  fmt FILE [--check]             rewrite the file in the writer's layout
  check FILE [--strict]          report lines that fail to load or that read
                                 differently from their text

SECTION '' names the members before the first header. A comment line between
two members does not end a section. Where a section name or a key repeats, the
last one wins.

Options:
  --help      help for vask-ini, or for a command (vask-ini get --help)
  --version   print the version
  --trace     write the library's failure traces to stderr
  --          end of options: later arguments starting with -- are values
)";

struct CommandEntry {
  std::string_view name;
  size_t minArguments;
  size_t maxArguments;
  std::vector<std::string> flags;
  int (*run)(const Invocation&);
  std::string_view help;
};

const std::vector<CommandEntry>& commands() {
  static const std::vector<CommandEntry> kCommands = {
      {"get",
       3,
       3,
       {"--all"},
       vask_ini::command_get,
       R"(Usage: vask-ini get FILE SECTION KEY [--all]

Prints the value of KEY in SECTION, followed by a line feed. Where sections
share the name or the key repeats, the last one wins; with --all every match is
printed, one a line, in file order. Prints nothing and exits 1 with a message
when there is no such key.
)"},
      {"set", 4, 4, {}, vask_ini::command_set, R"(Usage: vask-ini set FILE SECTION KEY VALUE

Changes the value of KEY in SECTION (the last match) in place, or adds the key
to the last section of that name, or adds a new section at the end (the
nameless section '' goes before the first header). Every other line keeps its
comments and order; the file is saved atomically in the writer's layout, and
left alone when that changes nothing.

Refused (exit 2, file unchanged): a VALUE with a blank, '#', ';', a line feed
or a zero byte; an empty KEY, or one with '=' or a line feed, a leading blank,
or starting with '#', ';' or '['; a SECTION with ']' or a line feed; and any
change whose saved file would not read back the same.
Lines whose text reading drops (see check) are reported on stderr.
)"},
      {"del", 2, 3, {}, vask_ini::command_del, R"(Usage: vask-ini del FILE SECTION [KEY]

Removes every member KEY of SECTION, or, without KEY, every section of that
name with its comments. Exits 1 when there is nothing to remove. Saves like
set, with the same refusals; removing the last key of a section that stands
before another one is refused, since the file cannot hold an empty section
there: remove the whole section instead.
)"},
      {"list", 1, 2, {}, vask_ini::command_list, R"(Usage: vask-ini list FILE [SECTION]

Prints the section names, once each, in file order (an empty line for the
members before the first header), or the keys of SECTION, once each.
)"},
      {"dump", 1, 1, {"--json"}, vask_ini::command_dump, R"(Usage: vask-ini dump FILE [--json]

Prints every member as a section.key=value line, or with --json the whole
section queue as the library reads it: an array of sections, each with
"comments" (an array), "header" (a string or null) and "members" (objects with
"key", "value" and "comment", a string or null). Bytes that are not valid UTF-8
are written as \udcXX.
)"},
      {"fmt", 1, 1, {"--check"}, vask_ini::command_fmt, R"(Usage: vask-ini fmt FILE [--check]

Rewrites the file in the writer's layout (atomically; not at all when it is
already in it). With --check only says whether it would change the file, and
exits 1 if so.
)"},
      {"check",
       1,
       1,
       {"--strict"},
       vask_ini::command_check,
       R"(Usage: vask-ini check FILE [--strict]

Loads the file and prints, as FILE:LINE: error: ..., the first line that makes
loading fail (a member line without '='), and, as FILE:LINE: warning: ..., each
line whose text reading drops or changes: a blank before '=' (kept in the key),
a value cut at a blank, text after a header's ']', a header without ']', a
header replaced by the next one before any member, a value directly followed by
'#' or ';', a zero byte. With --strict, warnings alone exit 3.
)"},
  };
  return kCommands;
}

const CommandEntry* command_find(std::string_view name) {
  for (const CommandEntry& entry : commands()) {
    if (entry.name == name) {
      return &entry;
    }
  }
  return nullptr;
}

void print(std::string_view text) {
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
}

// The command line, split: options are the arguments starting with "--"
// before a lone "--"; anything else is a command name or an argument.
struct CommandLine {
  std::vector<std::string> words;
  std::vector<std::string> options;

  bool has(std::string_view option) const {
    for (const std::string& each : options) {
      if (each == option) {
        return true;
      }
    }
    return false;
  }
};

CommandLine commandLine_split(int argc, char** argv) {
  CommandLine line;
  bool isOptionPossible = true;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (isOptionPossible && argument == "--") {
      isOptionPossible = false;
    } else if (isOptionPossible && argument.starts_with("--")) {
      line.options.push_back(argument);
    } else {
      line.words.push_back(argument);
    }
  }
  return line;
}

[[noreturn]] void usage_fail(const std::string& message, std::string_view command = {}) {
  const std::string help = command.empty() ? "--help" : std::string(command) + " --help";
  throw ToolError(kExitRefused, message + " (see vask-ini " + help + ")");
}

Invocation invocation_make(const CommandEntry& entry, const CommandLine& line) {
  Invocation call;
  for (const std::string& option : line.options) {
    bool isKnown = option == "--trace";
    for (const std::string& flag : entry.flags) {
      isKnown = isKnown || option == flag;
    }
    if (!isKnown) {
      usage_fail("unknown option " + option, entry.name);
    }
    call.flags.insert(option);
  }
  call.arguments.assign(line.words.begin() + 1, line.words.end());
  if (call.arguments.size() < entry.minArguments || call.arguments.size() > entry.maxArguments) {
    const std::string_view help = entry.help;
    usage_fail("wrong number of arguments; " + std::string(help.substr(0, help.find('\n'))),
               entry.name);
  }
  return call;
}

int tool_run(const CommandLine& line) {
  if (line.words.empty()) {
    if (line.has("--version")) {
      print("vask-ini " VASK_INI_VERSION "\n");
      return kExitSuccess;
    }
    if (line.has("--help")) {
      print(std::string(kOverview) + std::string(kExitCodes));
      return kExitSuccess;
    }
    usage_fail("no command given");
  }
  const CommandEntry* pEntry = command_find(line.words.front());
  if (pEntry == nullptr) {
    usage_fail("unknown command " + line.words.front());
  }
  if (line.has("--help")) {
    print(std::string(pEntry->help) + std::string(kExitCodes));
    return kExitSuccess;
  }
  return pEntry->run(invocation_make(*pEntry, line));
}

// With --trace, the libraries' failure traces go to stderr, errors only.
class TraceScope {
 public:
  explicit TraceScope(bool isWanted) {
    if (isWanted) {
      const VaskCommonTracerOpenParam_t param{stderr, VaskCommonTracerLevel_Error};
      if (VaskCommonTracer_open(&param, &hTracer) != 0) {
        (void)std::fputs("vask-ini: cannot open the tracer; going on without it\n", stderr);
      }
    }
  }
  ~TraceScope() {
    if (hTracer != 0) {
      (void)VaskCommonTracer_close(&hTracer);
    }
  }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = commandLine_split(argc, argv);
  const TraceScope trace(line.has("--trace"));
  int code = kExitSuccess;
  try {
    code = tool_run(line);
  } catch (const ToolError& error) {
    (void)std::fprintf(stderr, "vask-ini: %s\n", error.what());
    code = error.exitCode();
  } catch (const std::bad_alloc&) {
    (void)std::fputs("vask-ini: out of memory\n", stderr);
    code = kExitFailure;
  }
  if (std::fflush(stdout) != 0) {
    (void)std::fputs("vask-ini: cannot write the output\n", stderr);
    code = kExitFailure;
  }
  return code;
}
