// End-to-end tests of `vask-ini check`: each kind of line that fails to load or
// that reading drops or changes, found with its line number.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vask_ini_test {
namespace {

struct CheckCase {
  const char* pName;
  std::string text;
  std::string out;  // with {FILE}
  int code;         // plain check
  int strictCode;   // check --strict
};

const std::string kNeedsEquals =
    "has no '=': a line that is not a comment or a [header] must be key=value";

const std::vector<CheckCase>& checkCases() {
  static const std::vector<CheckCase> kCases = {
      {"a clean file", "# c\n[s]\n; about k\nk=v # c\nk2=a=b\n\n  [t]\n  x=\n", "", 0, 0},
      {"CRLF line ends", "[s]\r\nk=v\r\nc=1 # note\r\n", "", 0, 0},
      {"a comment marker before the first '='", "[s]\na;b=c\nd#e=f\n", "", 0, 0},
      {"blanks around '='", "[s]\nok=1\nkey = value\n",
       "{FILE}:3: warning: the key is read as 'key ', with the blank before '='; the value is "
       "read as '' and 'value' is dropped\n",
       0, 3},
      {"a blank before '=' only", "[s]\nkey =value\n",
       "{FILE}:2: warning: the key is read as 'key ', with the blank before '='\n", 0, 3},
      {"a value cut at a blank", "[s]\nk=hello world\n",
       "{FILE}:2: warning: the value is read as 'hello' and 'world' is dropped\n", 0, 3},
      {"a value cut before a later comment", "k=v ; c # d\n",
       "{FILE}:1: warning: the value is read as 'v' and '; c' is dropped\n", 0, 3},
      {"text after a header's ']'", "# c\n[s] # note\nk=v\n",
       "{FILE}:2: warning: the text after ']' is dropped: '# note'\n", 0, 3},
      {"a header without ']'", "[abc\nk=v\n",
       "{FILE}:1: warning: the header has no ']': the name is read as 'abc'\n", 0, 3},
      {"a header replaced before any member", "[a]\n# c\n\n[b]\nx=1\n[c]\ny=1\n",
       "{FILE}:1: warning: the header [a] is replaced by [b] on line 4 before any member\n", 0, 3},
      {"a value directly followed by a comment marker", "[s]\nurl=http://h/p#frag\n",
       "{FILE}:2: warning: the value is read as 'http://h/p' and '#frag' as a comment\n", 0, 3},
      {"an empty key", "[s]\n=v\n",
       "{FILE}:2: warning: the key is empty, so the value is not read: 'v' is dropped\n", 0, 3},
      {"a zero byte inside a line", std::string("[s]\nk=v\0w\n", 10),
       "{FILE}:2: warning: a zero byte cuts the line short: 'w' is dropped\n", 0, 3},
      {"a zero byte where a line starts", std::string("[s]\nk=v\n\0\nz=1\n", 14),
       "{FILE}:3: warning: a zero byte ends the text here: nothing after it is read\n", 0, 3},
      {"a zero byte at the very end", std::string("[s]\nk=v\n\0\n", 10), "", 0, 0},
      {"a member line without '='", "[s]\nk=v\n\n  noequals\nalso bad\n",
       "{FILE}:4: error: 'noequals' " + kNeedsEquals + "\n", 1, 1},
      {"nothing after the zero byte that ends the text fails", std::string("k=v\n\0\nbad\n", 10),
       "{FILE}:2: warning: a zero byte ends the text here: nothing after it is read\n", 0, 3},
      {"several findings in line order", "[a] x\n[b]\nk = v\nnote # no equals\n",
       "{FILE}:1: warning: the text after ']' is dropped: 'x'\n"
       "{FILE}:1: warning: the header [a] is replaced by [b] on line 2 before any member\n"
       "{FILE}:3: warning: the key is read as 'k ', with the blank before '='; the value is read "
       "as '' and 'v' is dropped\n"
       "{FILE}:4: error: 'note # no equals' " +
           kNeedsEquals + "\n",
       1, 1},
  };
  return kCases;
}

TEST(VaskIniCheck, FindsEachKindOfLineWithItsNumber) {
  TempFolder folder;
  for (const CheckCase& each : checkCases()) {
    SCOPED_TRACE(each.pName);
    const std::string path = folder.write("config.ini", each.text);
    ToolResult result = runTool({"check", path});
    EXPECT_EQ(result.code, each.code);
    EXPECT_EQ(result.out, withFile(each.out, path));
    EXPECT_EQ(result.err, "");
    result = runTool({"check", path, "--strict"});
    EXPECT_EQ(result.code, each.strictCode);
    EXPECT_EQ(result.out, withFile(each.out, path));
    EXPECT_EQ(folder.read("config.ini"), each.text);
  }
}

// The checker reads lines one by one; the real load must agree on what fails.
TEST(VaskIniCheck, AgreesWithTheLoadOfEveryOtherCommand) {
  TempFolder folder;
  for (const CheckCase& each : checkCases()) {
    SCOPED_TRACE(each.pName);
    const std::string path = folder.write("config.ini", each.text);
    const ToolResult check = runTool({"check", path});
    const ToolResult dump = runTool({"dump", path});
    EXPECT_EQ(check.code == 1, dump.code == 1) << dump.err;
  }
}

TEST(VaskIniCheck, AMissingFileIsNamed) {
  TempFolder folder;
  const std::string path = folder.path("missing.ini");
  const ToolResult result = runTool({"check", path});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "vask-ini: " + path + ": cannot read the file: no such file or folder\n");
}

}  // namespace
}  // namespace vask_ini_test
