// vask-ini: reads and edits initialization files from the command line, over
// the public interfaces of libvask_initialization and its lookup library.
#include "ini_commands.h"
#include "ini_error.h"
#include "ini_text.h"

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
using vask_ini::print;
using vask_ini::ToolError;

constexpr std::string_view kOverview =
    R"(Usage: vask-ini [--trace] COMMAND FILE [ARGUMENTS] [OPTIONS]

Reads and edits initialization files: sections with an optional [header],
comment lines (# or ;) and key=value members.

Commands:
  get FILE SECTION KEY         print a value
  set FILE SECTION KEY VALUE   change a value, or add the key
  del FILE SECTION [KEY]       remove a key, or every section of that name
  merge FILE OTHER             set every key of OTHER in FILE
  list FILE [SECTION]          list the section names, or a section's keys
  dump FILE [SECTION]          print the members (also --json, --format=sh)
  fmt FILE                     rewrite the file in the writer's layout
  check FILE                   report lines that fail to load or that read
                               differently from their text

Every command reads FILE once; FILE - is standard input, and set, del, merge
and fmt then write the result to standard output.

SECTION '' names the members before the first header. A comment line between
two members does not end a section. Where a section name or a key repeats, the
last one wins. Keys are the text before '=' as the format reads it: in
"port = 80" the key is "port " (with its blank) and the value is empty.

set, del and merge change only the lines they name; every other byte of the
file stays as it was. Before anything is saved the result is read back through
the library and compared with the old file plus the change; if anything else
would read differently, the edit is refused and the file left as it was.
Saving replaces the file atomically (a new file renamed over it).

Locking: set, del, merge and fmt take an exclusive advisory lock (flock) on
FILE before reading it and hold it until the result is saved; after locking
they check that the path still names the file they locked (a save renames a
new file over the old one) and start again if not. So parallel edits of one
file keep each other's changes. A file that set creates is first created
empty (O_CREAT|O_EXCL), then locked like any other. With --output or FILE -
nothing is locked.

Options:
  --help      help for vask-ini, or for a command (vask-ini get --help)
  --version   print the version
  --trace     write the library's failure traces to stderr
  --          end of options: later arguments starting with -- are values

Exit codes:
  0  success
  1  nothing found; a file that cannot be read, loaded or saved (the message
     names the file, and the line where one is at fault); check found a line
     that makes loading fail; fmt --check found that the file would change;
     set --existing found no such section or key
  2  bad usage, or a change that cannot be made without loss (refused; the
     file is unchanged)
  3  --strict found lines that read differently from their text (get, check)
)";

constexpr std::string_view kGetHelp = R"(Usage: vask-ini get FILE SECTION KEY [--all] [--strict]

Prints the value of KEY in SECTION, followed by a line feed. Where sections
share the name or the key repeats, the last one wins; with --all every match is
printed, one a line, in file order. Changes nothing.

When the line a value comes from reads differently from its text (the value is
cut at a blank, '#' or ';', or keeps the CR of a CR LF line end), a warning on
stderr names FILE and the line. When KEY is there only with blanks before its
'=' ("port = 80" has the key "port "), the message says so.

Options:
  --all       print every match
  --strict    exit 3 when a printed value's line reads differently

Exit codes:
  0  the value was printed
  1  no such section or key; a FILE that cannot be read or loaded
  2  bad usage
  3  --strict: a printed value's line reads differently from its text
)";

constexpr std::string_view kSetHelp =
    R"(Usage: vask-ini set FILE SECTION KEY VALUE [--existing] [--output FILE|-] [--verbose]

Changes one line of FILE, or adds one or two:
- KEY in SECTION (the last match, where sections share the name or the key
  repeats): on its line the text between '=' and the trailing comment (or the
  line's end) becomes VALUE; the key, the comment, the blanks before it and
  the line's end stay;
- a new KEY in an existing SECTION: the line KEY=VALUE after the last member
  of the last section of that name, or after its header when it has none;
- a new KEY in SECTION '': just before the first header (after the comment
  lines above it), or at the end of a file without headers;
- a new SECTION: its header and KEY=VALUE at the end of the file.
Every other byte stays. A new line ends as the line before it; in a file
whose lines end in CR LF the format reads the CR as part of the value, and a
warning says so. A missing FILE is created.

Refused (exit 2, FILE unchanged): a VALUE with a blank, '#', ';', a line feed
or a zero byte; an empty KEY, one with '=' or a line feed, a leading blank, or
starting with '#', ';' or '['; a SECTION with ']' or a line feed; a KEY that
SECTION holds only with blanks before its '=' (pass it as the format reads it,
"port "); a FILE that is not a regular file; any result that would read
differently from the old file plus this change.

Options:
  --existing        change only: fail when SECTION or KEY is not there
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  --existing: no such section or key; a FILE that cannot be read, loaded or
     saved (the message names the line at fault)
  2  bad usage, or refused (the message says why; FILE is unchanged)
)";

constexpr std::string_view kDelHelp =
    R"(Usage: vask-ini del FILE SECTION [KEY] [--output FILE|-] [--verbose]

With KEY, removes every line of KEY in the sections named SECTION: all
repeats, since an earlier one left behind would become the value. A header
left without keys stays; when another header follows it, a warning says that
it now reads as replaced by that one.

Without KEY, removes every section named SECTION: its header line, its members
and the comment and blank lines between them. The lines above the header and
those after its last member (which describe what follows) stay.

Every other byte stays. Refused (exit 2, FILE unchanged): a SECTION with ']'
or a line feed, a KEY that set would refuse, a FILE that is not a regular
file, a result that would read differently from the old file less what was
removed.

Options:
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  nothing to remove: no such section or key; a FILE that cannot be read,
     loaded or saved (the message names the line at fault)
  2  bad usage, or refused (the message says why; FILE is unchanged)
)";

constexpr std::string_view kMergeHelp =
    R"(Usage: vask-ini merge FILE OTHER [--output FILE|-] [--verbose]

Sets every key of OTHER (each key once, with its last value) in FILE, each as
set would, and saves FILE once. A CR that a CR LF line end leaves at the end of
a value of OTHER is dropped. Every other byte of FILE stays.

Refused (exit 2, FILE unchanged): whatever set would refuse for any one key.

Options:
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  a FILE or OTHER that cannot be read or loaded, or a FILE that cannot be
     saved (the message names the line at fault)
  2  bad usage, or refused (the message says why; FILE is unchanged)
)";

constexpr std::string_view kListHelp = R"(Usage: vask-ini list FILE [SECTION]

Prints the section names, once each, in file order (an empty line for the
members before the first header), or the keys of SECTION, once each. Changes
nothing.

Exit codes:
  0  success
  1  no such section; a FILE that cannot be read or loaded
  2  bad usage
)";

constexpr std::string_view kDumpHelp =
    R"(Usage: vask-ini dump FILE [SECTION] [--json | --format=sh]

Prints every member (or those of SECTION) as a section.key=value line.
Changes nothing.

--format=sh (needs SECTION) prints key='value' lines for a shell's eval, each
key once with its last value, single-quoted so that no value can run a command;
keys that are not shell names are left out, and a warning names them.

--json (without SECTION) prints the whole section queue as the library reads
it: an array of sections, each with "comments" (an array), "header" (a string
or null) and "members" (objects with "key", "value" and "comment", a string or
null). Bytes that are not valid UTF-8 are written as \udcXX.

Exit codes:
  0  success
  1  no such section; a FILE that cannot be read or loaded
  2  bad usage
)";

constexpr std::string_view kFmtHelp =
    R"(Usage: vask-ini fmt FILE [--check] [--force] [--output FILE|-] [--verbose]

Rewrites the whole file in the writer's layout: comment lines first, a blank
line, the header, a blank line, the members as key=value. Saved atomically,
and not at all when the file is in that layout already.

Refused (exit 2, FILE unchanged): a file with lines that lose text in that
layout (those check reports as dropping text; they are listed), unless
--force is given; a FILE that is not a regular file; a result that would read
differently from the file.

Options:
  --check           only say whether fmt would change the file (exit 1 if so)
  --force           rewrite even lines that lose text
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  --check: the file would change; a FILE that cannot be read, loaded or
     saved (the message names the line at fault)
  2  bad usage, or refused (the message says why; FILE is unchanged)
)";

constexpr std::string_view kCheckHelp = R"(Usage: vask-ini check FILE [--strict]

Prints, as FILE:LINE: error: ..., what makes loading fail (a member line
without '=', a UTF-8 byte order mark at the start), and, as
FILE:LINE: warning: ..., each line that reads differently from its text: a
blank before '=' (kept in the key), a value cut at a blank, text after a
header's ']', a header without ']', a header replaced by the next one before
any member, a value directly followed by '#' or ';', the CR of a CR LF line
end kept in a value, a zero byte. Changes nothing.

Exit codes:
  0  no errors (with --strict: no warnings either)
  1  a line makes loading fail; a FILE that cannot be read
  2  bad usage
  3  --strict: warnings only
)";

struct CommandEntry {
  std::string_view name;
  size_t minArguments;
  size_t maxArguments;
  std::string_view options;  // the command's own, separated by blanks
  int (*run)(const Invocation&);
  std::string_view help;
};

constexpr std::string_view kEditOptions = "--output --verbose";

constexpr CommandEntry kCommands[] = {
    {.name = "get",
     .minArguments = 3,
     .maxArguments = 3,
     .options = "--all --strict",
     .run = vask_ini::command_get,
     .help = kGetHelp},
    {.name = "set",
     .minArguments = 4,
     .maxArguments = 4,
     .options = "--existing --output --verbose",
     .run = vask_ini::command_set,
     .help = kSetHelp},
    {.name = "del",
     .minArguments = 2,
     .maxArguments = 3,
     .options = kEditOptions,
     .run = vask_ini::command_del,
     .help = kDelHelp},
    {.name = "merge",
     .minArguments = 2,
     .maxArguments = 2,
     .options = kEditOptions,
     .run = vask_ini::command_merge,
     .help = kMergeHelp},
    {.name = "list",
     .minArguments = 1,
     .maxArguments = 2,
     .options = {},
     .run = vask_ini::command_list,
     .help = kListHelp},
    {.name = "dump",
     .minArguments = 1,
     .maxArguments = 2,
     .options = "--json --format=sh",
     .run = vask_ini::command_dump,
     .help = kDumpHelp},
    {.name = "fmt",
     .minArguments = 1,
     .maxArguments = 1,
     .options = "--check --force --output --verbose",
     .run = vask_ini::command_fmt,
     .help = kFmtHelp},
    {.name = "check",
     .minArguments = 1,
     .maxArguments = 1,
     .options = "--strict",
     .run = vask_ini::command_check,
     .help = kCheckHelp},
};

const CommandEntry* command_find(std::string_view name) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.name == name) {
      return &entry;
    }
  }
  return nullptr;
}

bool entry_accepts(const CommandEntry& entry, std::string_view option) {
  std::string_view rest = entry.options;
  while (!rest.empty()) {
    const size_t blank = rest.find(' ');
    if (rest.substr(0, blank) == option) {
      return true;
    }
    rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
  }
  return false;
}

// The command line, split: options are the arguments starting with "--"
// before a lone "--" (--output takes the next argument as its value); anything
// else is a command name or an argument.
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

[[noreturn]] void usage_fail(const std::string& message, std::string_view command = {}) {
  const std::string help = command.empty() ? "--help" : std::string(command) + " --help";
  throw ToolError(kExitRefused, message + " (see vask-ini " + help + ")");
}

CommandLine commandLine_split(int argc, char** argv) {
  CommandLine line;
  bool isOptionPossible = true;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (isOptionPossible && argument == "--") {
      isOptionPossible = false;
    } else if (isOptionPossible && argument == "--output" && index + 1 < argc) {
      line.options.push_back("--output=" + std::string(argv[++index]));
    } else if (isOptionPossible && argument.starts_with("--")) {
      line.options.push_back(argument);
    } else {
      line.words.push_back(argument);
    }
  }
  return line;
}

Invocation invocation_make(const CommandEntry& entry, const CommandLine& line) {
  Invocation call;
  for (const std::string& option : line.options) {
    if (option.starts_with("--output=") && entry_accepts(entry, "--output")) {
      call.output = option.substr(9);
    } else if (option == "--trace" || entry_accepts(entry, option)) {
      call.flags.insert(option);
    } else {
      usage_fail("unknown option " + option, entry.name);
    }
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
      print(kOverview);
      return kExitSuccess;
    }
    usage_fail("no command given");
  }
  const CommandEntry* pEntry = command_find(line.words.front());
  if (pEntry == nullptr) {
    usage_fail("unknown command " + line.words.front());
  }
  if (line.has("--help")) {
    print(pEntry->help);
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
        vask_ini::warn("cannot open the tracer; going on without it");
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
    vask_ini::warn(error.what());
    code = error.exitCode();
  } catch (const std::bad_alloc&) {
    vask_ini::warn("out of memory");
    code = kExitFailure;
  }
  if (std::fflush(stdout) != 0) {
    vask_ini::warn("cannot write the output");
    code = kExitFailure;
  }
  return code;
}
