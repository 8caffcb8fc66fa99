// vask-ini: reads and edits initialization files from the command line, over
// the public interfaces of libvask_initialization and its lookup library.
#include "ini_commands.h"
#include "ini_error.h"
#include "ini_text.h"

#include <vask_common_c/common_tracer.h>

#include <algorithm>
#include <charconv>
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
    R"(Usage: vask-ini [--trace] [--max-size SIZE] COMMAND FILE [ARGUMENTS] [OPTIONS]

Reads and edits initialization files: sections with an optional [header],
comment lines (# or ;) and key=value members.

Commands:
  get FILE SECTION KEY         print a value
  set FILE SECTION KEY VALUE   change a value, or add the key
  del FILE SECTION [KEY]       remove a key, or every section of that name
  merge FILE OTHER             set every key of OTHER in FILE
  list FILE [SECTION]          list the section names, or a section's keys
  dump FILE [SECTION]          print the members (also --json, --json-queue,
                               --format=sh)
  fmt FILE                     rewrite the file in the writer's layout
  check FILE                   report lines that fail to load or that read
                               differently from their text

Every command reads FILE once, whole; FILE - is standard input, and set, del,
merge and fmt then write the result to standard output. A UTF-8 byte order
mark at the start of FILE is not read, and edits keep it.

SECTION '' names the members before the first header. A comment line between
two members does not end a section. Where a section name or a key repeats, the
last one wins. Keys are the text before '=' as the format reads it: in
"port = 80" the key is "port " (with its blank) and the value is empty.

set, del and merge change only the lines they name, and refuse a change that
would not read back as given. Edits in place hold an exclusive advisory lock
(flock) on FILE from the read to the atomic save, and save only over the
version they read (else they start again from the new bytes), so parallel
edits keep each other's changes; a change that a writer that does not lock
makes during the save itself is lost, and named (exit 4). With --output or
FILE - nothing is locked.

Options:
  -h, --help       help for vask-ini, or for a command (vask-ini get --help)
  --version        print the version
  --trace          write the library's failure traces to stderr
  --max-size SIZE  read at most SIZE bytes of any input (standard input too;
                   suffix K, M or G; 0: no limit); 1G when not given
  --               end of options: later arguments starting with - are values

Exit codes:
  0  success
  1  nothing found; check found a line that makes loading fail; fmt --check
     found that the file would change; set --existing found no such key
  2  bad usage, or a change that cannot be made without loss (refused; the
     file is unchanged)
  3  --strict found lines that read differently from their text (get, check)
  4  a file that cannot be read, loaded (FILE:LINE names the line) or saved;
     an input past --max-size; a change of another writer lost; out of memory
)";

constexpr std::string_view kGetHelp = R"(Usage: vask-ini get FILE SECTION KEY [--all] [--strict]

Prints the value of KEY in SECTION, followed by a line feed. Where sections
share the name or the key repeats, the last one wins; with --all every match is
printed, one a line, in file order. Changes nothing.

A warning names FILE:LINE where a value reads differently from its line (cut
at a blank, '#' or ';', or with the CR of a CR LF line end), and the message
says so when KEY is there only with blanks before its '=' ("port = 80").

Options:
  --all             print every match
  --strict          exit 3 when a printed value's line reads differently

Exit codes:
  0  the value was printed
  1  no such section or key
  2  bad usage
  3  --strict: a printed value's line reads differently from its text
  4  FILE cannot be read or loaded (or is larger than --max-size)
)";

constexpr std::string_view kSetHelp =
    R"(Usage: vask-ini set FILE SECTION KEY VALUE [--existing] [--output FILE|-] [--verbose]

Changes one line of FILE, or adds one or two. On the line of KEY in SECTION
(the last match) the text between '=' and the trailing comment (or the line's
end) becomes VALUE. A new KEY goes after the last member of the last section
of that name (in SECTION '', before the first header); a new SECTION goes,
with its header, at the end. Every other byte stays. A new line ends as the
line before it; in a CR LF file the value then reads with the CR, and a
warning says so. A missing FILE is created.

Refused (exit 2, FILE unchanged): a VALUE with a blank, '#', ';' or a line
feed; an empty KEY, one with '=' or a line feed, a leading blank, or starting
with '#', ';' or '['; a SECTION with ']' or a line feed; a KEY that SECTION
holds only with blanks before its '=' (pass it as the format reads it,
"port "); a FILE that is not a regular file.

Options:
  --existing        change only: fail when SECTION or KEY is not there
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  --existing: no such section or key
  2  bad usage, or refused (the message says why; FILE is unchanged)
  4  FILE cannot be read, loaded or saved; a change of another writer lost
)";

constexpr std::string_view kDelHelp =
    R"(Usage: vask-ini del FILE SECTION [KEY] [--output FILE|-] [--verbose]

With KEY, removes every line of KEY in the sections named SECTION (all
repeats: an earlier one left behind would become the value); a warning names
a header left without keys, which the next header now replaces. Without KEY,
removes every section named SECTION: its header, its members and the lines
between them; the lines above the header and after its last member stay.

Every other byte stays. Refused (exit 2, FILE unchanged): a SECTION with ']'
or a line feed, a KEY that set would refuse, a FILE that is not a regular file.

Options:
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  nothing to remove: no such section or key
  2  bad usage, or refused (the message says why; FILE is unchanged)
  4  FILE cannot be read, loaded or saved; a change of another writer lost
)";

constexpr std::string_view kMergeHelp =
    R"(Usage: vask-ini merge FILE OTHER [--output FILE|-] [--verbose]

Sets every key of OTHER (its last value) in FILE as set would, and saves FILE
once; a CR that a CR LF line end leaves in a value of OTHER is dropped. Every
other byte of FILE stays. Refused (exit 2, FILE unchanged): whatever set would
refuse for any one key.

Options:
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  2  bad usage, or refused (the message says why; FILE is unchanged)
  4  FILE or OTHER cannot be read or loaded, or FILE saved; a change of
     another writer lost
)";

constexpr std::string_view kListHelp = R"(Usage: vask-ini list FILE [SECTION]

Prints the section names, once each, in file order (an empty line for the
members before the first header), or the keys of SECTION, once each. Changes
nothing.

Exit codes:
  0  success
  1  no such section
  2  bad usage
  4  FILE cannot be read or loaded (or is larger than --max-size)
)";

constexpr std::string_view kDumpHelp =
    R"(Usage: vask-ini dump FILE [SECTION] [--json | --json-queue | --format=sh]

Prints every member (or those of SECTION) as a section.key=value line.
Changes nothing.

--format=sh (needs SECTION) prints key='value' lines for a shell's eval, each
key once with its last value, quoted so that no value can run a command; keys
that are not shell names are left out, and a warning names them.

--json prints an object of the sections, each an object of its keys with
their last value, as get finds them: jq -r '.server.port' prints what
vask-ini get FILE server port prints. --json-queue prints the section queue
as the library reads it: an array of sections, each with "comments",
"header" (or null) and "members" ("key", "value" and "comment" or null).
Neither takes a SECTION. Bytes that are not valid UTF-8 are written as \udcXX.

Exit codes:
  0  success
  1  no such section
  2  bad usage
  4  FILE cannot be read or loaded (or is larger than --max-size)
)";

constexpr std::string_view kFmtHelp =
    R"(Usage: vask-ini fmt FILE [--check] [--force] [--output FILE|-] [--verbose]

Rewrites the whole file in the writer's layout: comment lines first, a blank
line, the header, a blank line, the members as key=value (a UTF-8 byte order
mark stays). Saved atomically, and not at all when nothing changes.

Refused (exit 2, FILE unchanged): a file with lines that lose text in that
layout (they are listed), unless --force is given; a FILE that is not a
regular file.

Options:
  --check           only say whether fmt would change the file (exit 1 if so)
  --force           rewrite even lines that lose text
  --output FILE|-   write the result to FILE, or to stdout, and leave FILE
  --verbose         say on stderr whether the file changed

Exit codes:
  0  success
  1  --check: the file would change
  2  bad usage, or refused (the message says why; FILE is unchanged)
  4  FILE cannot be read, loaded or saved; a change of another writer lost
)";

constexpr std::string_view kCheckHelp = R"(Usage: vask-ini check FILE [--strict]

Prints, as FILE:LINE: error: ..., the line that makes loading fail (a member
line without '='), and, as FILE:LINE: warning: ..., all that makes a line read
differently from its text: a blank before '=', a value cut at a blank, '#' or
';', the CR of a CR LF line end, text after ']', a header without ']' or
replaced by the next one before any member, an empty key, a zero byte.

Options:
  --strict          exit 3 when there are warnings

Exit codes:
  0  no errors (with --strict: no warnings either)
  1  a line makes loading fail
  2  bad usage
  3  --strict: warnings only
  4  FILE cannot be read (or is larger than --max-size)
)";

struct CommandEntry {
  std::string_view name;
  size_t minArguments;
  size_t maxArguments;
  std::string_view options;  // the command's own, separated by blanks
  int (*run)(const Invocation&);
  std::string_view help;
};

// Inputs larger than this are refused unless --max-size says otherwise.
constexpr size_t kDefaultMaxSize = size_t{1} << 30;

// clang-format off
constexpr CommandEntry kCommands[] = {
    {"get", 3, 3, "--all --strict", vask_ini::command_get, kGetHelp},
    {"set", 4, 4, "--existing --output --verbose", vask_ini::command_set, kSetHelp},
    {"del", 2, 3, "--output --verbose", vask_ini::command_del, kDelHelp},
    {"merge", 2, 2, "--output --verbose", vask_ini::command_merge, kMergeHelp},
    {"list", 1, 2, {}, vask_ini::command_list, kListHelp},
    {"dump", 1, 2, "--json --json-queue --format=sh", vask_ini::command_dump, kDumpHelp},
    {"fmt", 1, 1, "--check --force --output --verbose", vask_ini::command_fmt, kFmtHelp},
    {"check", 1, 1, "--strict", vask_ini::command_check, kCheckHelp},
};
// clang-format on

const CommandEntry* command_find(std::string_view name) {
  const auto* pFound = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const CommandEntry& entry) { return entry.name == name; });
  return pFound != std::end(kCommands) ? pFound : nullptr;
}

bool entry_accepts(const CommandEntry& entry, std::string_view option) {
  return (" " + std::string(entry.options) + " ").find(" " + std::string(option) + " ") !=
         std::string::npos;
}

// The command line, split: options are the arguments starting with "--", and
// -h, before a lone "--" (--output and --max-size take the next argument as
// their value); anything else is a command name or an argument.
struct CommandLine {
  std::vector<std::string> words;
  std::vector<std::string> options;

  bool has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
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
    } else if (isOptionPossible && (argument == "--output" || argument == "--max-size") &&
               index + 1 < argc) {
      line.options.push_back(argument + "=" + argv[++index]);
    } else if (isOptionPossible && argument == "-h") {
      line.options.emplace_back("--help");
    } else if (isOptionPossible && argument.starts_with("--")) {
      line.options.push_back(argument);
    } else {
      line.words.push_back(argument);
    }
  }
  return line;
}

// SIZE of --max-size: bytes, or with K, M or G 1024 times as many for each
// step; nullopt when it is no such number.
std::optional<size_t> size_parse(std::string_view text) {
  size_t size = 0;
  const char* pEnd = text.data() + text.size();
  const auto [pSuffix, error] = std::from_chars(text.data(), pEnd, size);
  const std::string_view suffix(pSuffix, static_cast<size_t>(pEnd - pSuffix));
  const size_t unit = suffix.size() == 1 ? std::string_view("KMG").find(suffix) + 1 : 0;
  if (error != std::errc() || (!suffix.empty() && unit == 0) || size > (SIZE_MAX >> (unit * 10))) {
    return std::nullopt;  // find's npos + 1 is 0: any other suffix
  }
  return size << (unit * 10);
}

Invocation invocation_make(const CommandEntry& entry, const CommandLine& line) {
  Invocation call;
  call.maxSize = kDefaultMaxSize;
  for (const std::string& option : line.options) {
    if (option.starts_with("--output=") && entry_accepts(entry, "--output")) {
      call.output = option.substr(9);
    } else if (option.starts_with("--max-size=")) {
      const std::optional<size_t> size = size_parse(std::string_view(option).substr(11));
      if (!size) {
        usage_fail("--max-size takes a number of bytes, such as 4096, 64K or 2G, not " +
                       vask_ini::quoted(option.substr(11)),
                   entry.name);
      }
      call.maxSize = *size;
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

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = commandLine_split(argc, argv);
  // With --trace, the libraries' failure traces go to stderr, errors only.
  const VaskCommonTracerOpenParam_t trace{stderr, VaskCommonTracerLevel_Error};
  if (line.has("--trace") && VaskCommonTracer_open(&trace, &hTracer) != 0) {
    vask_ini::warn("cannot open the tracer; going on without it");
  }
  int code = kExitSuccess;
  try {
    code = tool_run(line);
  } catch (const ToolError& error) {
    vask_ini::warn(error.what());
    code = error.exitCode();
  } catch (const std::bad_alloc&) {
    vask_ini::warn("out of memory");
    code = vask_ini::kExitFile;
  }
  if (std::fflush(stdout) != 0) {
    vask_ini::warn("cannot write the output");
    code = vask_ini::kExitFile;
  }
  if (hTracer != 0) {
    (void)VaskCommonTracer_close(&hTracer);
  }
  return code;
}
