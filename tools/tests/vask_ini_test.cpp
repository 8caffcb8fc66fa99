// End-to-end tests of vask-ini: the built program on files in a temporary
// folder, its exit code, its output and the file's bytes afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <folder.h>
#include <strace.h>

#include <fstream>
#include <thread>

namespace vask_ini_test {
namespace {

using Arguments = std::vector<std::string>;

struct ToolResult {
  int code;
  std::string out;
  std::string err;
};

// Runs the tool in `folder` (under the emulator of a cross-build, or valgrind,
// when there is one, after `wrapper`) with `input` on stdin.
ToolResult runTool(const Arguments& arguments, const std::string& input = "",
                   const std::string& folder = ".", const std::string& wrapper = "") {
  const vask::test::TempFolder io;
  std::string command = "cd '" + folder + "' && " + wrapper + VASK_INI_COMMAND;  // shell words
  for (std::string word : arguments) {
    for (size_t at = word.find('\''); at != std::string::npos; at = word.find('\'', at + 4)) {
      word.replace(at, 1, "'\\''");
    }
    command += " '" + word + "'";
  }
  command += " <" + io.write("in", input) + " >" + io.path("out") + " 2>" + io.path("err");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, io.read("out"), io.read("err")};
}

struct Case {
  Arguments arguments;  // the command, then what follows FILE
  std::string text;     // FILE before
  int code;
  std::string out;
  std::string err;
  std::string saved;  // FILE after; "=" for unchanged
};

const std::string kNoEquals =
    "has no '=': a line that is not a comment or a [header] must be key=value";
const std::string kPortAdvice =
    "the format reads the key 'port ' there, with the blank before '=', not 'port': to mean that "
    "line, pass the key exactly as \"port \"";
const std::string kServer = "[server]\nname = web one\nport = 80\n; admin\nadmin=ops\n\n[paths]\n";

// clang-format off
const std::vector<Case> kCases = {
  {{"get", "s", "k"}, "[s]\nk=a=b # c\n", 0, "a=b\n", "", "="},
  {{"get", "s", "k", "--all"}, "[s]\nk=1\n[t]\nk=3\n[s]\nk=2\nk=4\n", 0, "1\n2\n4\n", "", "="},
  {{"get", "s", "x"}, "[s]\nk=v\n", 1, "", "vask-ini: c.ini: no key 'x' in section [s]\n", "="},
  {{"get", "t", "k"}, "[s]\nk=v\n", 1, "", "vask-ini: c.ini: no section [t]\n", "="},
  {{"get", "s", "port"}, "[s]\nport = 80\n", 1, "",
   "vask-ini: c.ini: no key 'port' in section [s]; " + kPortAdvice + "\n", "="},
  {{"get", "s", "k"}, "[s]\nk=a b\nk=hello world\n", 0, "hello\n",
   "vask-ini: c.ini:3: warning: the value is read as 'hello' and 'world' is dropped\n", "="},
  {{"get", "s", "k", "--strict"}, "[s]\r\nk=v\r\n", 3, "v\r\n", "vask-ini: c.ini:2: warning: "
   "the value is read as 'v\\r', with the CR of the CR LF line end\n", "="},
  {{"get", "s", "k"}, "[s]\n\n  broken\n", 4, "",
   "vask-ini: c.ini:3: 'broken' " + kNoEquals + "\n", "="},
  {{"get", "s", "k"}, "\xef\xbb\xbf[s]\nk=v\n", 0, "v\n", "", "="},
  {{"set", "s", "k", "w"}, "\xef\xbb\xbf[s]\nk=v\n", 0, "", "", "\xef\xbb\xbf[s]\nk=w\n"},
  {{"get", "s", "k", "--max-size", "7"}, "[s]\nk=v\n", 4, "", "vask-ini: c.ini: cannot read the "
   "file: the input is larger than allowed (more than 7 bytes; see --max-size)\n", "="},
  {{"get", "s", "k", "--max-size", "8"}, "[s]\nk=v\n", 0, "v\n", "", "="},
  {{"get", "s", "k", "--max-size", "1X"}, "", 2, "", "vask-ini: --max-size takes a number of "
   "bytes, such as 4096, 64K or 2G, not '1X' (see vask-ini get --help)\n", "="},
  {{"set", "paths", "root", "/www"}, kServer + "root=/srv\n", 0, "", "", kServer + "root=/www\n"},
  {{"set", "server", "port ", "8080"}, kServer, 0, "", "",
   "[server]\nname = web one\nport =8080\n; admin\nadmin=ops\n\n[paths]\n"},
  {{"set", "server", "port", "8080"}, kServer, 2, "", "vask-ini: c.ini: refused: there is no key "
   "'port' in section [server], and " + kPortAdvice + "; the file is unchanged\n", "="},
  {{"set", "s", "k", "new"}, "[s]\n  k=old text\t ;c\r\n", 0, "", "", "[s]\n  k=new ;c\r\n"},
  {{"set", "s", "d", "4"}, "[s]\na=1\n[t]\nb=2\n[s]\nc=3\n# end\n", 0, "", "",
   "[s]\na=1\n[t]\nb=2\n[s]\nc=3\nd=4\n# end\n"},
  {{"set", "b", "y", "1"}, "[a]\nk=1\n[b]\n# x\n", 0, "", "", "[a]\nk=1\n[b]\ny=1\n# x\n"},
  {{"set", "", "k", "v"}, "# licence\n\n[s]\na=1\n", 0, "", "", "# licence\n\nk=v\n[s]\na=1\n"},
  {{"set", "t", "b", "2"}, "[s]\r\na=1", 0, "", "", "[s]\r\na=1\n[t]\nb=2\n"},
  {{"set", "", "k", "v"}, "[s]\r\n", 0, "", "vask-ini: c.ini: warning: [] k reads as 'v\\r': in a "
   "line that ends in CR LF the format keeps the CR in the value\n", "k=v\r\n[s]\r\n"},
  {{"set", "s", "k", "a b"}, "[s]\nk=v\n", 2, "", "vask-ini: c.ini: refused: the value 'a b' "
   "holds a blank, where reading ends a value; the file is unchanged\n", "="},
  {{"set", "s", "x", "1", "--existing"}, "[s]\nk=v\n", 1, "",
   "vask-ini: c.ini: no key 'x' in section [s]\n", "="},
  {{"set", "s", "k", "v", "--verbose"}, "[s]\nk=v\n", 0, "", "vask-ini: c.ini: unchanged\n", "="},
  {{"del", "s", "a"}, "[s]\na=1\nb=2\na=3\n[s]\na=4\nc=5\n", 0, "", "", "[s]\nb=2\n[s]\nc=5\n"},
  {{"del", "s", "k"}, "[s]\nk=1\n[t]\nx=1\n", 0, "", "vask-ini: c.ini:1: warning: [s] is left "
   "without keys, and a header without keys reads as replaced by the next one, [t] on line 2\n",
   "[s]\n[t]\nx=1\n"},
  {{"del", "s"}, "# about s\n[s]\n; in\na=1\n# mid\nb=2\n\n# about t\n[t]\nc=3\n", 0, "", "",
   "# about s\n\n# about t\n[t]\nc=3\n"},
  {{"list"}, "top=1\n[s]\na=1\n# c\nb=2\na=4\n[t]\n", 0, "\ns\nt\n", "", "="},
  {{"list", "s"}, "top=1\n[s]\na=1\n# c\nb=2\na=4\n[t]\n", 0, "a\nb\n", "", "="},
  {{"dump"}, "top=1\n[s]\nk=v # c\n# mid\nk2=w\n", 0, ".top=1\ns.k=v\ns.k2=w\n", "", "="},
  {{"dump", "s", "--format=sh"}, "[s]\nk=1\nq=it's$(x)\na.b=2\nk=2\nzZ9_=3\n", 0,
   "k='2'\nq='it'\\''s$(x)'\nzZ9_='3'\n",
   "vask-ini: c.ini: warning: left out, as they are not shell names: 'a.b'\n", "="},
  {{"dump", "--json"}, "a=1\n[s]\nk=v\n[t]\n# c\nx=\n[s]\nk=w\nu=\xe0\xa0\x80\xf0\x90\x80\x80\xff\"\n", 0, "{\n  \"\": {\n    \"a\": "
   "\"1\"\n  },\n  \"s\": {\n    \"k\": \"w\",\n    \"u\": \"\xe0\xa0\x80\xf0\x90\x80\x80\\udcff\\\"\"\n  },\n  \"t\": {\n    \"x\": "
   "\"\"\n  }\n}\n", "", "="},
  {{"dump", "--json-queue"}, "# c\n[s]\nk=v;x\nu=\xff\n", 0, "[\n  {\n    \"comments\": [\"# c\"],\n    "
   "\"header\": \"s\",\n    \"members\": [\n      {\"key\": \"k\", \"value\": \"v\", "
   "\"comment\": \";x\"},\n      {\"key\": \"u\", \"value\": \"\\udcff\", \"comment\": null}\n"
   "    ]\n  }\n]\n", "", "="},
  {{"fmt", "--verbose"}, "# c\n[s]\nk=v;x\n", 0, "", "vask-ini: c.ini: changed\n",
   "# c\n\n[s]\n\nk=v ;x\n"},
  {{"fmt", "--check"}, "# c\n[s]\nk=v;x\n", 1, "c.ini: would be reformatted\n", "", "="},
  {{"fmt"}, "[s]\nk=a b\n", 2, "", "vask-ini: c.ini:2: warning: the value is read as 'a' and "
   "'b' is dropped\nvask-ini: c.ini: refused: 1 line loses text in the writer's layout "
   "(listed above; --force rewrites anyway); the file is unchanged\n", "="},
  {{"fmt", "--force"}, "[s]\nk=a b\n", 0, "", "", "[s]\n\nk=a\n"},
  {{"check", "--strict"}, "[a] x\n[b]\nk=v\n", 3, "c.ini:1: warning: the text after ']' is "
   "dropped: 'x'; the header [a] is replaced by [b] on line 2 before any member\n", "", "="},
  {{"check"}, std::string("=x\r\n[s\nk = v;c\n  \0 ", 19), 0, "c.ini:1: warning: the key is empty, so the value is "
   "not read: 'x' is dropped\nc.ini:2: warning: the header has no ']': the name is read as 's'\n"
   "c.ini:3: warning: the key is read as 'k ', with the blank before '='; the value is read as '' "
   "and 'v' is dropped\nc.ini:4: warning: a zero byte ends the text here\n", "", "="},
  {{"check"}, std::string("k=v\n\0x", 6), 0, "c.ini:2: warning: a zero byte ends the text here: "
   "nothing after it is read\n", "", "="},
  {{"check"}, "[s]\nk=v\nnote # x\n", 1, "c.ini:3: error: 'note # x' " + kNoEquals + "\n", "", "="},
  {{"frob"}, "", 2, "", "vask-ini: unknown command frob (see vask-ini --help)\n", "="},
};
// clang-format on

TEST(VaskIni, CommandsGiveTheirExactOutputCodeAndFile) {
  const vask::test::TempFolder folder;
  for (const Case& each : kCases) {
    SCOPED_TRACE(testing::PrintToString(each.arguments));
    Arguments arguments = {each.arguments.front(), "c.ini"};
    (void)folder.write("c.ini", each.text);
    arguments.insert(arguments.end(), each.arguments.begin() + 1, each.arguments.end());
    const ToolResult result = runTool(arguments, "", folder.root());
    EXPECT_EQ(result.code, each.code);
    EXPECT_EQ(result.out, each.out);
    EXPECT_EQ(result.err, each.err);
    EXPECT_EQ(folder.read("c.ini"), each.saved == "=" ? each.text : each.saved);
  }
}

TEST(VaskIni, StandardInputAndOutputAndOtherFiles) {
  const vask::test::TempFolder folder;
  const std::string path = folder.write("a.ini", "[s]\nk=1\n");
  const std::string other = folder.write("b.ini", "[s]\r\nk=2\r\nj=3\r\n[t]\r\nx=4\r\n");
  EXPECT_EQ(runTool({"set", "-", "s", "k", "9"}, "# c\n[s]\nk=1\n").out, "# c\n[s]\nk=9\n");
  EXPECT_EQ(runTool({"get", "-", "s", "k"}, "[s]\nk=1\n").out, "1\n");
  const ToolResult deleted = runTool({"del", path, "s", "k", "--output", "-", "--verbose"});
  EXPECT_EQ(deleted.out + deleted.err, "[s]\nvask-ini: " + path + ": changed\n");
  EXPECT_EQ(runTool({"merge", path, other, "--output", folder.path("c.ini")}).code, 0);
  EXPECT_EQ(folder.read("c.ini"), "[s]\nk=2\nj=3\n[t]\nx=4\n");
  EXPECT_EQ(folder.read("a.ini"), "[s]\nk=1\n");
  EXPECT_EQ(runTool({"set", folder.path("new.ini"), "s", "k", "v"}).code, 0);
  EXPECT_EQ(folder.read("new.ini"), "[s]\nk=v\n");
  EXPECT_EQ(runTool({"set", folder.path("gone.ini"), "s", "k", "a b"}).code, 2);
  ASSERT_EQ(::symlink("made.ini", folder.path("link.ini").c_str()), 0);  // to a missing file
  EXPECT_EQ(runTool({"set", folder.path("link.ini"), "s", "k", "a b"}).code, 2);
  EXPECT_EQ(runTool({"set", folder.path("link.ini"), "s", "k", "v"}).code, 0);
  EXPECT_EQ(folder.read("made.ini"), "[s]\nk=v\n");  // made through the link, which stays
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"a.ini", "b.ini", "c.ini", "link.ini",
                                                      "made.ini", "new.ini"}));
  ASSERT_EQ(::mkfifo(folder.path("fifo").c_str(), 0600), 0);
  const ToolResult fifo = runTool({"set", folder.path("fifo"), "s", "k", "v"});
  EXPECT_EQ(fifo.code, 2);
  EXPECT_NE(fifo.err.find("it is a FIFO, not a regular file"), std::string::npos) << fifo.err;
}

// Exit 4: what cannot be read (a name that cannot forge a line), past --max-size too.
TEST(VaskIni, InputsThatCannotBeReadExitFour) {
  const vask::test::TempFolder folder;
  const std::vector<std::pair<Arguments, std::string>> cases = {
      {{"get", "no\nsuch\x01.ini", "s", "k"},
       "no\\nsuch\\x01.ini: cannot read the file: no such file or folder"},
      {{"list", "/"}, "/: cannot read the file: is a folder"},
      {{"set", "-", "s", "k", "v", "--max-size", "1K"},
       "(standard input): cannot read the file: the input is larger than allowed (more than 1024 "
       "bytes; see --max-size)"},
      {{"merge", "-", "/", "--output", "-"}, "/: cannot read the file: is a folder"},
      {{"set", "none/new.ini", "s", "k", "v"},
       "none/new.ini: cannot create the file: no such file or folder"},
  };
  for (const auto& [arguments, message] : cases) {
    const ToolResult result = runTool(arguments, std::string(1025, '#'), folder.root());
    EXPECT_EQ(result.code, 4) << arguments[0];
    EXPECT_EQ(result.err, "vask-ini: " + message + "\n");
  }
  EXPECT_TRUE(folder.names().empty());
}

// A writer that does not lock appends to FILE while the rename of an edit is
// held back (strace delays it, after the check that FILE is the version read):
// the edit is saved, the append is in no file, and the tool names it.
TEST(VaskIni, AChangeLostDuringTheSaveIsNamed) {
  // strace runs on the host: an emulator or valgrind before the tool renames for it.
  ASSERT_EQ(access("/usr/bin/strace", X_OK), 0) << "scripts/setup installs strace";
  for (const auto& [arguments, saved] : std::vector<std::pair<Arguments, std::string>>{
           {{"set", "c.ini", "s", "k", "3"}, "[s]\nk=3\n"}, {{"fmt", "c.ini"}, "[s]\n\nk=1\n"}}) {
    const vask::test::TempFolder folder;
    (void)folder.write("c.ini", "[s]\nk=1\n");
    std::thread writer([&folder] {
      (void)vask::test::waitUntil([&folder] { return folder.names().size() >= 2; });  // new file
      std::ofstream(folder.path("c.ini"), std::ios::app) << "x=2\n";
    });
    // Leak checks cannot work under ptrace: a sanitized tool does without them here.
    const ToolResult result =
        runTool(arguments, "", folder.root(),
                "ASAN_OPTIONS=detect_leaks=0 /usr/bin/strace -f -qq -o /dev/null "
                "-e trace=rename,renameat,renameat2 "
                "-e inject=rename,renameat,renameat2:delay_enter=2000000 ");
    writer.join();
    EXPECT_EQ(result.code, 4) << arguments[0];
    EXPECT_EQ(result.err,
              "vask-ini: c.ini: the edit is saved, but another writer changed the file while it "
              "was replaced, and that change is in no file now: line 3 was not there when read, "
              "and that writer left 'x=2'\n");
    EXPECT_EQ(folder.read("c.ini"), saved);
  }
}

TEST(VaskIni, ParallelSetsOfDistinctKeysKeepEveryOne) {
  const vask::test::TempFolder folder;
  const std::string path = folder.path("shared.ini");  // the first set creates it
  std::vector<std::thread> editors(40);
  for (int index = 0; index < 40; ++index) {
    editors[index] = std::thread([&path, index] {
      const std::string key = "k" + std::to_string(index);
      EXPECT_EQ(runTool({"set", path, index % 2 == 0 ? "s" : "t", key, "v"}).code, 0) << key;
    });
  }
  for (std::thread& editor : editors) {
    editor.join();
  }
  const std::string dump = runTool({"dump", path}).out;  // one line for each key set
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 40) << dump;
}

TEST(VaskIni, HelpListsOnlyTheExitCodesOfTheCommand) {
  for (const char* pCommand : {"get", "set", "del", "merge", "list", "dump", "fmt", "check"}) {
    const ToolResult help = runTool({pCommand, "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.starts_with(std::string("Usage: vask-ini ") + pCommand + " FILE"));
    const bool isStrict = std::string_view("get check").find(pCommand) != std::string::npos;
    EXPECT_EQ(help.out.find("\n  3  --strict") != std::string::npos, isStrict) << pCommand;
    EXPECT_NE(help.out.find("\n  4  "), std::string::npos) << pCommand;
    EXPECT_EQ(runTool({pCommand, "-h"}).out, help.out);
  }
  EXPECT_EQ(runTool({"-h"}).out, runTool({"--help"}).out);
  EXPECT_NE(runTool({"-h"}).out.find("\n  4  a file that cannot be read"), std::string::npos);
  EXPECT_EQ(runTool({"--version"}).out, "vask-ini " VASK_INI_VERSION "\n");
}

}  // namespace
}  // namespace vask_ini_test
