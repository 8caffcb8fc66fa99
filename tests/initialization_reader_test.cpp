// The reader: texts and the sections they give (as vask::test::dump shows them), lines
// that fail, files, hostile inputs, and round trips through the writer.
#include <gtest/gtest.h>

#include <chrono>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::dump;
using vask::test::parseInto;
using Lines = std::vector<std::string>;
using S = std::string;  // for texts with zero bytes

struct TextCase {
  const char* pName;
  std::string text;
  std::string sections;  // as dump() shows them
  int code = 0;
};

std::string repeated(const std::string& piece, size_t count) {
  std::string text;
  while (count-- > 0) {
    text += piece;
  }
  return text;
}

std::string readerLine(const char* pFunction, int code = 13) {
  return vask::test::traceLine('E', "initialization_reader.cpp", pFunction, code);
}

// The texts: the format's rules, then hostile inputs (a huge line, huge counts of lines,
// blanks and zero bytes), read in time linear in their size: a quadratic step would take
// hours. VASK_HOSTILE_SCALE (a divisor, for valgrind) shrinks them; a sanitizer, tenfold.
std::vector<TextCase> texts() {
  const char* pScale = std::getenv("VASK_HOSTILE_SCALE");
  const size_t n = 1'000'000 / (VASK_TEST_SANITIZER ? 10 : 1) /
                   (pScale != nullptr ? std::max(1UL, std::strtoul(pScale, nullptr, 10)) : 1);
  const std::string line = "k=" + std::string(100 * n, 'v');
  return {
      {"WorkedExample", "# c1\n; c2\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1\n",
       "# c1, ; c2, [s], k=v # tail, k2=w2 ;x | [t], a=1"},
      {"AKeyRunsToTheFirstEqualsSignAndMayBeEmpty", "key = v\nk=a=b\n=v\nk=\n",
       "key =, k=a=b, =, k="},
      {"AValueEndsAtABlankOrAMarker", "k=hello world\nk= v\nk=a\tb\r\nk=v#c d\nk=v;c\nk=#c\n",
       "k=hello, k=, k=a\tb\r, k=v #c d, k=v ;c, k= #c"},
      {"TheFirstHashWinsAndMarkersBeforeTheEqualsSignBelongToTheKey",
       "k=v ; c # d\na;b=c\na#b=c # d\na#b=c;d\n", "k=v # d, a;b=c, a#b=c # d, a#b=c ;d"},
      {"BlanksAndEmptyLinesAreSkippedAndCarriageReturnsKept",
       "\n  \t[s]\r\n \n\r\n\t k=v\r\n   ; c \n\n#\nj=w", "[s], k=v\r | ; c , #, j=w"},
      {"ANameEndsAtTheFirstClosingBracketOrTheLineEnd", "[a]b] # c\nx=1\n[ a b \nk=v\n[]\n",
       "[a], x=1 | [ a b ], k=v | []"},
      {"AZeroByteEndsAValueACommentOrANameAndHidesTheRestOfItsLine",
       S("k=v\0x # c\nn=1 # c\0d\n[s\0]\n# c\0d\n", 29), "k=v, n=1 # c | # c, [s]"},
      {"AZeroByteWhereALineStartsEndsTheText", S("a=1\n\0b=2\n", 9), "a=1"},
      {"CommentsAndHeadersJoinASectionUntilItHasAMember",
       "k=v\n# c1\n[a]\n# c2\n[b]\nx=1\n# mid\ny=2\n[c]\n# end\n",
       "k=v | # c1, # c2, [b], x=1 | # mid, y=2 | # end, [c]"},
      {"AnEmptyOrBlankTextGivesNoSection", " \t\r\n\v\f\n", ""},
      {"MissingEqualsSignInTheFirstSection", "[s]\nnoequals\n", "", 13},
      {"MissingEqualsSignBehindAZeroByte", S("# c\nk\0=v\n", 9), "", 13},
      {"MissingEqualsSignAfterSeveralSections", "a=1\n# c\n[b]\nb=2\n[c]\nc=3\n[d]\nd\n",
       "a=1 | # c, [b], b=2 | [c], c=3", 13},
      {"AHugeLineWithoutLineFeed", line, line},
      {"AHugeLineWithoutEqualsSign", std::string(line.size(), 'k'), "", 13},
      {"AMillionMembers", "[s]\n" + repeated("k=v\n", n), "[s]" + repeated(", k=v", n)},
      {"AMillionSections", repeated("[s]\nk=v\n", n), "[s], k=v" + repeated(" | [s], k=v", n - 1)},
      {"OnlyBlanksAndZeroBytes", repeated(" \t\n\v\f\r", n) + std::string(10 * n, '\0'), ""}};
}

// A text gives its sections without tracing or leaking; a member line without '=' gives
// 13, traced on the way up, and keeps the sections read before it. The sections read
// back the same from what the writer writes.
TEST(Reader, GivesTheSectionsOfEachTextAndReadsThemBackFromWhatTheWriterWrote) {
  const Lines chain{readerLine("section_readMember"), readerLine("section_read"),
                    readerLine("VaskInitializationReader_parse")};
  for (const TextCase& c : texts()) {
    SCOPED_TRACE(c.pName);
    const vask::test::TraceCapture trace;
    const vask::test::HeapCheck heap;
    {
      const vask::Sections first = vask::test::queueOf();
      const vask::Sections second = vask::test::queueOf();
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(parseInto(c.text, first.handle()), c.code);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
      EXPECT_TRUE(dump(first.handle()) == c.sections) << dump(first.handle()).substr(0, 200);
      const std::string written = vask::test::written(first.handle());
      ASSERT_EQ(parseInto(written, second.handle()), 0);
      EXPECT_TRUE(dump(second.handle()) == dump(first.handle()));
      EXPECT_TRUE(vask::test::written(second.handle()) == written);
    }
    EXPECT_EQ(heap.leaked(), 0);
    EXPECT_EQ(trace.lines(), c.code == 0 ? Lines{} : chain);
  }
}

TEST(Reader, AppendsToTheQueueAndReadsNoFurtherThanItsText) {
  const vask::test::TempFolder folder;
  const vask::Sections queue = vask::test::queueOf({{{}, "q"}});
  vask::Reader reader;
  ASSERT_EQ(reader.open(), 0);
  const std::string path = folder.write("a.ini", "# c\n[s]\nk=v\n");
  for (const std::string& file : {path, folder.write("e", ""), path}) {
    ASSERT_EQ(VaskInitializationReader_load(reader.handle(), file.c_str(), queue.handle()), 0);
  }
  ASSERT_EQ(parseInto(std::string_view("[t]\nk=vXYZ=1\n", 7), queue.handle()), 0);  // 7 bytes
  EXPECT_EQ(dump(queue.handle()), "[q] | # c, [s], k=v | # c, [s], k=v | [t], k=v");
}

}  // namespace
