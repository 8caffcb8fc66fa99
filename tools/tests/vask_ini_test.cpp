// End-to-end tests of vask-ini: each runs the built program on files in a
// temporary folder and checks its exit code, its output and the file's bytes.
#include "tool_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vask_ini_test {
namespace {

using Arguments = std::vector<std::string>;

class VaskIni : public ::testing::Test {
 protected:
  std::string file(std::string_view text) { return folder_.write("config.ini", std::string(text)); }
  std::string bytes() const { return folder_.read("config.ini"); }
  static std::string sampleText() {
    std::ifstream stream(VASK_INI_SAMPLE, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
  }
  ino_t inode() const {
    struct stat status {};
    EXPECT_EQ(::stat(folder_.path("config.ini").c_str(), &status), 0);
    return status.st_ino;
  }
  // Runs the tool with the file's path in place of every "{FILE}" argument.
  ToolResult run(const std::string& path, Arguments arguments) {
    for (std::string& argument : arguments) {
      argument = withFile(argument, path);
    }
    return runTool(arguments);
  }

  TempFolder folder_;
};

// --- get -------------------------------------------------------------------

struct GetCase {
  const char* pName;
  std::string text;
  Arguments arguments;  // after "get {FILE}"
  int code;
  std::string out;
  std::string err;  // with {FILE}
};

TEST_F(VaskIni, GetPrintsTheValueTheLastMatchOrEveryMatch) {
  const std::string kRepeated = "[s]\nk=1\n[t]\nk=3\n[s]\nk=2\nk=4\n";
  const std::vector<GetCase> cases = {
      {"plain", "[s]\nk=v\n", {"s", "k"}, 0, "v\n", ""},
      {"trailing comment", "[s]\nk=v # c\n", {"s", "k"}, 0, "v\n", ""},
      {"value holding '='", "[s]\nk=a=b\n", {"s", "k"}, 0, "a=b\n", ""},
      {"empty value", "[s]\nk=\n", {"s", "k"}, 0, "\n", ""},
      {"last section and key win", kRepeated, {"s", "k"}, 0, "4\n", ""},
      {"--all in file order", kRepeated, {"s", "k", "--all"}, 0, "1\n2\n4\n", ""},
      {"--all before the arguments", kRepeated, {"--all", "t", "k"}, 0, "3\n", ""},
      {"members before the first header", "k=top\n[s]\nk=in\n", {"", "k"}, 0, "top\n", ""},
      {"empty header name", "[]\nk=v\n", {"", "k"}, 0, "v\n", ""},
      {"member after a comment line",
       "[s]\na=1\n# note\nb=2\n[t]\nb=3\n",
       {"s", "b"},
       0,
       "2\n",
       ""},
      {"no such key",
       "[s]\nk=v\n",
       {"s", "x"},
       1,
       "",
       "vask-ini: {FILE}: no key 'x' in section [s]\n"},
      {"no such section", "[s]\nk=v\n", {"t", "k"}, 1, "", "vask-ini: {FILE}: no section [t]\n"},
      {"nothing before the first header",
       "[s]\nk=v\n",
       {"", "k"},
       1,
       "",
       "vask-ini: {FILE}: no section []\n"},
      {"line that fails to load",
       "[s]\nk=v\n\n  broken\n",
       {"s", "k"},
       1,
       "",
       "vask-ini: {FILE}:4: 'broken' has no '=': a line that is not a comment or a [header] must "
       "be key=value\n"},
  };
  for (const GetCase& each : cases) {
    SCOPED_TRACE(each.pName);
    const std::string path = file(each.text);
    Arguments arguments = {"get", "{FILE}"};
    arguments.insert(arguments.end(), each.arguments.begin(), each.arguments.end());
    const ToolResult result = run(path, arguments);
    EXPECT_EQ(result.code, each.code);
    EXPECT_EQ(result.out, each.out);
    EXPECT_EQ(result.err, withFile(each.err, path));
  }
}

// --- set -------------------------------------------------------------------

struct EditCase {
  const char* pName;
  std::string text;
  Arguments arguments;  // after "set {FILE}" or "del {FILE}"
  std::string saved;    // the file afterwards
};

void expectEdits(const char* pCommand, const std::vector<EditCase>& cases, TempFolder* pFolder) {
  for (const EditCase& each : cases) {
    SCOPED_TRACE(each.pName);
    const std::string path = pFolder->write("config.ini", each.text);
    Arguments arguments = {pCommand, path};
    arguments.insert(arguments.end(), each.arguments.begin(), each.arguments.end());
    const ToolResult result = runTool(arguments);
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(pFolder->read("config.ini"), each.saved);
  }
}

TEST_F(VaskIni, SetChangesAddsOrAppendsAndKeepsEveryOtherLine) {
  const std::vector<EditCase> cases = {
      {"in place, comments kept",
       "# head\n[s]\n; about k\nk=v # keep\nother=1\n",
       {"s", "k", "w"},
       "# head\n; about k\n\n[s]\n\nk=w # keep\nother=1\n"},
      {"the last match of a repeated key and section",
       "[s]\nk=1\n[s]\nk=2\nk=3\n",
       {"s", "k", "9"},
       "[s]\n\nk=1\n\n[s]\n\nk=2\nk=9\n"},
      {"appended to the last section of the name",
       "[s]\na=1\n[t]\nb=2\n[s]\nc=3\n",
       {"s", "d", "4"},
       "[s]\n\na=1\n\n[t]\n\nb=2\n\n[s]\n\nc=3\nd=4\n"},
      {"appended after a comment line inside the section",
       "[s]\na=1\n# note\nb=2\n[t]\nc=3\n",
       {"s", "d", "4"},
       "[s]\n\na=1\n\n# note\n\nb=2\nd=4\n\n[t]\n\nc=3\n"},
      {"a new section at the end", "[s]\na=1\n", {"t", "b", "2"}, "[s]\n\na=1\n\n[t]\n\nb=2\n"},
      {"a new section after trailing comments",
       "[s]\na=1\n# the end\n",
       {"t", "b", "2"},
       "[s]\n\na=1\n\n# the end\n\n[t]\n\nb=2\n"},
      {"the nameless section goes first", "[s]\na=1\n", {"", "k", "v"}, "k=v\n\n[s]\n\na=1\n"},
      {"the nameless section grows",
       "top=1\n[s]\na=1\n",
       {"", "k", "v"},
       "top=1\nk=v\n\n[s]\n\na=1\n"},
      {"an empty file", "", {"s", "k", "v"}, "[s]\n\nk=v\n"},
      {"an empty value", "[s]\nk=v\n", {"s", "k", ""}, "[s]\n\nk=\n"},
      {"a value starting with -- after --",
       "[s]\nk=v\n",
       {"s", "k", "--", "--x"},
       "[s]\n\nk=--x\n"},
  };
  expectEdits("set", cases, &folder_);
}

TEST_F(VaskIni, SetThenGetGivesTheValueBack) {
  const std::vector<std::pair<std::string, std::string>> keysAndValues = {
      {"plain", "value"},
      {"url", "https://example.org:8443/a/b?c=d&e=f"},
      {"equals", "a=b=c"},
      {"empty", ""},
      {"list", "[1,2],\"x,y\""},
      {"utf8", "gr\xc3\xbc\xc3\x9f"},
      {"latin1", "\xe9t\xe9"},
      {"dashes", "-5"},
      {"key ", "v"},
      {"a;b", "semicolon-in-key"},
      {"a#b", "hash-in-key"},
      {"dots.in.key", "1"},
  };
  const std::string path = file("# settings\n[s]\nexisting=1\n");
  for (const auto& [key, value] : keysAndValues) {
    SCOPED_TRACE(key);
    const ToolResult set = runTool({"set", path, "s", key, value});
    EXPECT_EQ(set.code, 0) << set.err;
    const ToolResult get = runTool({"get", path, "s", key});
    EXPECT_EQ(get.code, 0) << get.err;
    EXPECT_EQ(get.out, value + "\n");
  }
  EXPECT_EQ(runTool({"get", path, "s", "existing"}).out, "1\n");
}

TEST_F(VaskIni, SetLeavesAFileAlreadyHoldingTheTextAlone) {
  const std::string path = file("[s]\n\nk=v\n");
  const ino_t before = inode();
  const ToolResult result = runTool({"set", path, "s", "k", "v"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(inode(), before);  // a save replaces the file by renaming a new one over it
  EXPECT_EQ(bytes(), "[s]\n\nk=v\n");
}

TEST_F(VaskIni, SetWarnsAboutTextThatTheSavedFileLoses) {
  const std::string path = file("[s] # note\nkey = value\nk=v;kept\n");
  const ToolResult result = runTool({"set", path, "s", "n", "1"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, withFile("vask-ini: {FILE}:1: warning: the text after ']' is dropped: "
                                 "'# note'\n"
                                 "vask-ini: {FILE}:2: warning: the key is read as 'key ', with the "
                                 "blank before '='; the value is read as '' and 'value' is "
                                 "dropped\n",
                                 path));
  EXPECT_EQ(bytes(), "[s]\n\nkey =\nk=v ;kept\nn=1\n");
}

struct RefusalCase {
  const char* pName;
  Arguments arguments;  // after "{FILE}"
  std::string reason;   // the message between "refused: " and "; the file is unchanged"
};

TEST_F(VaskIni, WhatTheFormatCannotHoldIsRefusedAndTheFileUntouched) {
  const std::string kText = "# c\n[s]\nk=v\n[t]\nx=1\n";
  const std::string kKeyChars = "holds '=', a line feed or a zero byte";
  const std::vector<RefusalCase> cases = {
      {"value with a space",
       {"set", "s", "k", "a b"},
       "the value 'a b' holds a blank, where reading ends a value"},
      {"value with a TAB",
       {"set", "s", "k", "a\tb"},
       "the value 'a\\tb' holds a blank, where reading ends a value"},
      {"value with a CR",
       {"set", "s", "k", "v\r"},
       "the value 'v\\r' holds a blank, where reading ends a value"},
      {"value with a LF",
       {"set", "s", "k", "a\nb"},
       "the value 'a\\nb' holds a line feed or zero byte"},
      {"value with '#'",
       {"set", "s", "k", "a#b"},
       "the value 'a#b' holds '#', which starts a comment"},
      {"value with ';'", {"set", "s", "k", ";"}, "the value ';' holds ';', which starts a comment"},
      {"empty key",
       {"set", "s", "", "v"},
       "a key cannot be empty: a line that starts with '=' has no value"},
      {"key with '='", {"set", "s", "a=b", "v"}, "the key 'a=b' " + kKeyChars},
      {"key with a LF", {"set", "s", "a\nb", "v"}, "the key 'a\\nb' " + kKeyChars},
      {"key with a leading blank",
       {"set", "s", " k", "v"},
       "the key ' k' starts with a blank, which reading skips"},
      {"key starting with '#'",
       {"set", "s", "#k", "v"},
       "the key '#k' starts with '#', which makes the line a comment or a header"},
      {"key starting with ';'",
       {"set", "s", ";k", "v"},
       "the key ';k' starts with ';', which makes the line a comment or a header"},
      {"key starting with '['",
       {"set", "s", "[k", "v"},
       "the key '[k' starts with '[', which makes the line a comment or a header"},
      {"section with ']'",
       {"set", "a]b", "k", "v"},
       "the section name 'a]b' holds ']', a line feed or a zero byte"},
      {"section with a LF",
       {"set", "a\nb", "k", "v"},
       "the section name 'a\\nb' holds ']', a line feed or a zero byte"},
      {"del: section with ']'",
       {"del", "s]"},
       "the section name 's]' holds ']', a line feed or a zero byte"},
      {"del: key with '='", {"del", "s", "k=v"}, "the key 'k=v' " + kKeyChars},
      {"del: the last key of a section before another one",
       {"del", "s", "k"},
       "the line '[s]' would not read back from the saved file (a section without members cannot "
       "stand before another section)"},
  };
  for (const RefusalCase& each : cases) {
    SCOPED_TRACE(each.pName);
    const std::string path = file(kText);
    const ino_t before = inode();
    Arguments arguments = {each.arguments.front(), path};
    arguments.insert(arguments.end(), each.arguments.begin() + 1, each.arguments.end());
    const ToolResult result = runTool(arguments);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "vask-ini: " + path + ": refused: " + each.reason + "; the file is unchanged\n");
    EXPECT_EQ(bytes(), kText);
    EXPECT_EQ(inode(), before);
  }
}

TEST_F(VaskIni, ANewSectionAfterAnEmptyLastSectionIsRefused) {
  // '[b]' has no member: a section written after it would take its place.
  const std::string kText = "[a]\nk=1\n[b]\n";
  const std::string path = file(kText);
  const ToolResult result = runTool({"set", path, "c", "x", "1"});
  EXPECT_EQ(result.code, 2);
  EXPECT_NE(result.err.find("refused: the line '[b]' would not read back"), std::string::npos)
      << result.err;
  EXPECT_EQ(bytes(), kText);
  // Adding to the empty section itself is fine.
  EXPECT_EQ(runTool({"set", path, "b", "x", "1"}).code, 0);
  EXPECT_EQ(bytes(), "[a]\n\nk=1\n\n[b]\n\nx=1\n");
}

// --- del -------------------------------------------------------------------

TEST_F(VaskIni, DelRemovesAKeyOrEverySectionOfTheName) {
  const std::vector<EditCase> cases = {
      {"a key", "[s]\na=1\nb=2\n", {"s", "a"}, "[s]\n\nb=2\n"},
      {"every match of a key",
       "[s]\na=1\nb=2\na=3\n[s]\na=4\nc=5\n",
       {"s", "a"},
       "[s]\n\nb=2\n\n[s]\n\nc=5\n"},
      {"the last key of the last section keeps its header",
       "[s]\na=1\n[t]\nb=2\n",
       {"t", "b"},
       "[s]\n\na=1\n\n[t]\n\n"},
      {"every section of the name", "[s]\na=1\n[t]\nb=2\n[s]\nc=3\n", {"s"}, "[t]\n\nb=2\n"},
      {"a section with its comments and the members after a comment line",
       "# about s\n[s]\na=1\n# mid\nb=2\n# about t\n[t]\nc=3\n",
       {"s"},
       "# about t\n\n[t]\n\nc=3\n"},
      {"the members before the first header", "top=1\n[s]\na=1\n", {"", "top"}, "[s]\n\na=1\n"},
      {"a key after a comment line, the comment moving on",
       "[s]\na=1\n# mid\nb=2\n[t]\nc=3\n",
       {"s", "b"},
       "[s]\n\na=1\n\n# mid\n\n[t]\n\nc=3\n"},
  };
  expectEdits("del", cases, &folder_);
}

TEST_F(VaskIni, DelOfWhatIsNotThereFailsAndLeavesTheFile) {
  const std::string kText = "[s]\nk=v\n";
  const std::vector<std::pair<Arguments, std::string>> cases = {
      {{"s", "x"}, "no key 'x' in section [s]"},
      {{"t", "k"}, "no section [t]"},
      {{"t"}, "no section [t]"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const std::string path = file(kText);
    Arguments all = {"del", path};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const ToolResult result = runTool(all);
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "vask-ini: " + path + ": " + message + "\n");
    EXPECT_EQ(bytes(), kText);
  }
}

// --- list ------------------------------------------------------------------

TEST_F(VaskIni, ListGivesSectionNamesOrKeysOnceEach) {
  const std::string path = file("top=1\n[s]\na=1\nb=2\n# c\nc=3\na=4\n[s]\nd=5\n# end\n[t]\n");
  const std::vector<GetCase> cases = {
      {"sections", "", {}, 0, "\ns\nt\n", ""},
      {"keys", "", {"s"}, 0, "a\nb\nc\nd\n", ""},
      {"keys before the first header", "", {""}, 0, "top\n", ""},
      {"a section without keys", "", {"t"}, 0, "", ""},
      {"no such section", "", {"x"}, 1, "", "vask-ini: {FILE}: no section [x]\n"},
  };
  for (const GetCase& each : cases) {
    SCOPED_TRACE(each.pName);
    Arguments arguments = {"list", path};
    arguments.insert(arguments.end(), each.arguments.begin(), each.arguments.end());
    const ToolResult result = runTool(arguments);
    EXPECT_EQ(result.code, each.code);
    EXPECT_EQ(result.out, each.out);
    EXPECT_EQ(result.err, withFile(each.err, path));
  }
}

// --- dump ------------------------------------------------------------------

TEST_F(VaskIni, DumpPrintsSectionKeyValueLines) {
  const std::string path = file("top=1\n[s]\nk=v # c\n# mid\nk2=w\n[t]\na=1\n");
  const ToolResult result = runTool({"dump", path});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, ".top=1\ns.k=v\ns.k2=w\nt.a=1\n");
}

TEST_F(VaskIni, DumpJsonPrintsTheWholeQueue) {
  const std::string path = file(
      "# c1\n; c2\n[s]\nk=v # tail\nk2=w2;x\n# mid\nq=\"a\\b\"\x01\n[t]\na=1\n"
      "u=gr\xc3\xbc\xc3\x9f\nbad=\xff\xc3(\xed\xa0\x80\n");
  const ToolResult result = runTool({"dump", path, "--json"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            "[\n"
            "  {\n"
            "    \"comments\": [\"# c1\", \"; c2\"],\n"
            "    \"header\": \"s\",\n"
            "    \"members\": [\n"
            "      {\"key\": \"k\", \"value\": \"v\", \"comment\": \"# tail\"},\n"
            "      {\"key\": \"k2\", \"value\": \"w2\", \"comment\": \";x\"}\n"
            "    ]\n"
            "  },\n"
            "  {\n"
            "    \"comments\": [\"# mid\"],\n"
            "    \"header\": null,\n"
            "    \"members\": [\n"
            "      {\"key\": \"q\", \"value\": \"\\\"a\\\\b\\\"\\u0001\", \"comment\": null}\n"
            "    ]\n"
            "  },\n"
            "  {\n"
            "    \"comments\": [],\n"
            "    \"header\": \"t\",\n"
            "    \"members\": [\n"
            "      {\"key\": \"a\", \"value\": \"1\", \"comment\": null},\n"
            "      {\"key\": \"u\", \"value\": \"gr\xc3\xbc\xc3\x9f\", \"comment\": null},\n"
            "      {\"key\": \"bad\", \"value\": \"\\udcff\\udcc3(\\udced\\udca0\\udc80\", "
            "\"comment\": null}\n"
            "    ]\n"
            "  }\n"
            "]\n");
}

TEST_F(VaskIni, DumpJsonOfAnEmptyFileIsAnEmptyArray) {
  const ToolResult result = runTool({"dump", "--json", file("\n  \n")});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "[]\n");
}

// --- fmt -------------------------------------------------------------------

TEST_F(VaskIni, FmtRewritesInTheWritersLayoutAndIsIdempotent) {
  const std::string path = file("# c1\n; c2\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1\n");
  const std::string kFormatted = "# c1\n; c2\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1\n";

  ToolResult result = runTool({"fmt", path, "--check"});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out, path + ": would be reformatted\n");
  EXPECT_EQ(bytes(), "# c1\n; c2\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1\n");

  result = runTool({"fmt", path});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(bytes(), kFormatted);

  const ino_t before = inode();
  result = runTool({"fmt", path});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(bytes(), kFormatted);
  EXPECT_EQ(inode(), before);

  result = runTool({"fmt", "--check", path});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, path + ": already formatted\n");
}

TEST_F(VaskIni, FmtOfTheSampleIsStableAfterOneRun) {
  const std::string path = file(sampleText());
  ASSERT_EQ(runTool({"fmt", path}).code, 0);
  const std::string once = bytes();
  ASSERT_EQ(runTool({"fmt", path}).code, 0);
  EXPECT_EQ(bytes(), once);
  EXPECT_EQ(runTool({"fmt", "--check", path}).code, 0);
  EXPECT_EQ(runTool({"dump", path}).out, runTool({"dump", VASK_INI_SAMPLE}).out);
}

TEST_F(VaskIni, FmtOfAFileThatFailsToLoadChangesNothing) {
  const std::string kText = "[s]\nk=v\nbroken\n";
  const std::string path = file(kText);
  const ToolResult result = runTool({"fmt", path});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.err, "vask-ini: " + path +
                            ":3: 'broken' has no '=': a line that is not a comment or a [header] "
                            "must be key=value\n");
  EXPECT_EQ(bytes(), kText);
}

// --- the sample and the README command ---------------------------------------

TEST(VaskIniSample, LoadsCleanlyAndDumps) {
  ToolResult result = runTool({"check", "--strict", VASK_INI_SAMPLE});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "");
  result = runTool({"dump", VASK_INI_SAMPLE});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out,
            "service.name=order-intake\n"
            "service.listen=0.0.0.0:8080\n"
            "service.log_level=info\n"
            "service.workers=4\n"
            "service.shutdown_grace_s=20\n"
            "database.hosts=db1.internal:5432,db2.internal:5432,db3.internal:5432\n"
            "database.name=orders\n"
            "database.user=intake\n"
            "database.pool_size=16\n"
            "database.timeout_ms=2500\n"
            "queue.broker=amqp://mq.internal:5672/orders\n"
            "queue.exchange=orders.in\n"
            "queue.prefetch=32\n"
            "queue.retry_delays_s=[1,5,30]\n"
            "features.bulk_import=false\n"
            "features.audit_trail=true\n");
  EXPECT_EQ(runTool({"get", VASK_INI_SAMPLE, "service", "workers"}).out, "4\n");
}

// --- files that cannot be read, usage, help, tracing -------------------------

TEST_F(VaskIni, AMissingOrUnreadableFileGivesAClearMessage) {
  const std::vector<Arguments> commands = {
      {"get", "{FILE}", "s", "k"}, {"set", "{FILE}", "s", "k", "v"}, {"del", "{FILE}", "s"},
      {"list", "{FILE}"},          {"dump", "{FILE}", "--json"},     {"fmt", "{FILE}"},
      {"check", "{FILE}"},
  };
  std::vector<std::pair<std::string, std::string>> files = {
      {folder_.path("missing.ini"), "no such file or folder"},
      {folder_.root(), "is a folder"},
  };
  if (::geteuid() != 0) {  // root reads every file
    const std::string locked = folder_.write("locked.ini", "[s]\nk=v\n");
    ::chmod(locked.c_str(), 0);
    files.emplace_back(locked, "access denied");
  }
  for (const auto& [path, reason] : files) {
    for (const Arguments& command : commands) {
      SCOPED_TRACE(command.front() + " " + path);
      const ToolResult result = run(path, command);
      EXPECT_EQ(result.code, 1);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err, "vask-ini: " + path + ": cannot read the file: " + reason + "\n");
    }
  }
}

TEST_F(VaskIni, ASaveThatFailsNamesTheFileAndLeavesIt) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root writes into any folder";
  }
  const std::string kText = "[s]\nk=v\n";
  const std::string path = file(kText);
  ::chmod(folder_.root().c_str(), 0555);
  const ToolResult result = runTool({"set", path, "s", "k", "w"});
  ::chmod(folder_.root().c_str(), 0755);
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.err, "vask-ini: " + path + ": cannot save the file: access denied\n");
  EXPECT_EQ(bytes(), kText);
}

TEST(VaskIniUsage, BadUsageExitsTwoWithAPointerToHelp) {
  const std::vector<std::pair<Arguments, std::string>> cases = {
      {{}, "no command given (see vask-ini --help)"},
      {{"frob"}, "unknown command frob (see vask-ini --help)"},
      {{"get", "f.ini", "s"},
       "wrong number of arguments; Usage: vask-ini get FILE SECTION KEY [--all] (see vask-ini get "
       "--help)"},
      {{"list", "f.ini", "s", "k"},
       "wrong number of arguments; Usage: vask-ini list FILE [SECTION] (see vask-ini list --help)"},
      {{"dump", "f.ini", "--all"}, "unknown option --all (see vask-ini dump --help)"},
      {{"get", "f.ini", "s", "k", "--json"}, "unknown option --json (see vask-ini get --help)"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const ToolResult result = runTool(arguments);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vask-ini: " + message + "\n");
  }
}

TEST(VaskIniUsage, HelpForTheToolAndEachCommandListsTheExitCodes) {
  const std::vector<Arguments> cases = {
      {"--help"},         {"get", "--help"},  {"set", "--help"}, {"del", "--help"},
      {"list", "--help"}, {"dump", "--help"}, {"fmt", "--help"}, {"check", "--help"},
  };
  for (const Arguments& arguments : cases) {
    SCOPED_TRACE(arguments.front());
    const ToolResult result = runTool(arguments);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "");
    const std::string usage =
        arguments.size() == 1 ? "Usage: vask-ini [" : "Usage: vask-ini " + arguments.front() + " ";
    EXPECT_TRUE(result.out.starts_with(usage)) << result.out;
    EXPECT_NE(result.out.find("Exit codes:\n  0  success\n  1  "), std::string::npos);
    EXPECT_NE(result.out.find("\n  2  bad usage"), std::string::npos);
    EXPECT_NE(result.out.find("\n  3  check --strict"), std::string::npos);
  }
}

TEST(VaskIniUsage, VersionIsPrinted) {
  const ToolResult result = runTool({"--version"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "vask-ini " VASK_INI_VERSION "\n");
}

TEST_F(VaskIni, TraceShowsTheLibrarysFailureLinesOnlyWhenAsked) {
  const std::string path = file("[s]\nbroken\n");
  const std::string message = "vask-ini: " + path +
                              ":2: 'broken' has no '=': a line that is not a comment or a "
                              "[header] must be key=value\n";
  ToolResult result = runTool({"get", path, "s", "k"});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.err, message);

  result = runTool({"--trace", "get", path, "s", "k"});
  EXPECT_EQ(result.code, 1);
  ASSERT_TRUE(result.err.ends_with(message)) << result.err;
  const std::string traces = result.err.substr(0, result.err.size() - message.size());
  // The load's own failure, traced once on its way up; the tool's re-reading
  // of single lines to place it stays quiet.
  EXPECT_TRUE(traces.starts_with("E initialization_reader.cpp:")) << traces;
  EXPECT_NE(traces.find(" VaskInitializationReader_load: invalid argument(13)\n"),
            std::string::npos)
      << traces;
  EXPECT_EQ(traces.find("VaskInitializationReader_load"),
            traces.rfind("VaskInitializationReader_load"));
  for (size_t at = 0; at < traces.size(); at = traces.find('\n', at) + 1) {
    EXPECT_EQ(traces.compare(at, 2, "E "), 0) << traces;  // errors only
  }
}

}  // namespace
}  // namespace vask_ini_test
