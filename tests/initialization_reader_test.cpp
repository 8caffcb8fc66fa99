// The reader: texts and the sections they give (as vask::test::dump shows them), lines
// that fail, files, and round trips through the writer.
#include <gtest/gtest.h>

#include <set>

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
  const char* pSections;
  int code = 0;
};

std::string nameOf(const testing::TestParamInfo<TextCase>& info) {
  return info.param.pName;
}

std::string readerLine(const char* pFunction, int code = 13) {
  return vask::test::traceLine('E', "initialization_reader.cpp", pFunction, code);
}

const TextCase kTexts[] = {
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
};

class ReaderText : public testing::TestWithParam<TextCase> {};

// A text gives its sections without tracing or leaking; a member line without '=' gives
// 13, traced on the way up, and keeps the sections read before it. The sections read
// back the same from what the writer writes.
TEST_P(ReaderText, GivesTheSectionsAndReadsThemBackFromWhatTheWriterWrote) {
  const Lines chain{readerLine("section_readMember"), readerLine("section_read"),
                    readerLine("VaskInitializationReader_parse")};
  vask::test::TraceCapture trace;
  vask::test::HeapCheck heap;
  {
    const vask::Sections first = vask::test::queueOf();
    const vask::Sections second = vask::test::queueOf();
    EXPECT_EQ(parseInto(GetParam().text, first.handle()), GetParam().code);
    EXPECT_EQ(dump(first.handle()), GetParam().pSections);
    const std::string written = vask::test::written(first.handle());
    ASSERT_EQ(parseInto(written, second.handle()), 0);
    EXPECT_EQ(dump(second.handle()), dump(first.handle()));
    EXPECT_EQ(vask::test::written(second.handle()), written);
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), GetParam().code == 0 ? Lines{} : chain);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReaderText, testing::ValuesIn(kTexts), nameOf);

TEST(Reader, AppendsToTheQueueReadsNoFurtherThanItsTextAndTracesAFailedLoad) {
  const vask::test::TempFolder folder;
  const vask::Sections queue = vask::test::queueOf({{{}, "q"}});
  vask::Reader reader;
  ASSERT_EQ(reader.open(), 0);
  const auto hReader = reader.handle();
  const auto hQueue = queue.handle();
  const auto load = [&](const std::string& path) {
    return VaskInitializationReader_load(hReader, path.c_str(), hQueue);
  };
  vask::test::TraceCapture trace;
  const std::string path = folder.write("a.ini", "# c\n[s]\nk=v\n");
  EXPECT_EQ(load(path) | parseInto(std::string_view("[t]\nk=vXYZ=1\n", 7), hQueue) |
                load(folder.write("e", "")),
            0);  // of the text, the first 7 bytes only
  EXPECT_EQ(load(folder.write("bad.ini", "[a]\nx=1\n[b]\nbad\n")), 13);
  EXPECT_EQ(trace.lines(), (Lines{readerLine("section_readMember"), readerLine("section_read"),
                                  readerLine("VaskInitializationReader_parse"),
                                  readerLine("VaskInitializationReader_load")}));
  EXPECT_EQ(dump(hQueue), "[q] | # c, [s], k=v | [t], k=v | [a], x=1");
}

// A member line's record, key, value and comment: where one cannot be allocated, the
// failure is traced first by the function that reads the line; a value's gives 13 on a
// line without comment, and a comment's is passed over: the member keeps no comment.
TEST(Reader, TracesAFailedAllocationForAMemberLineWhereItFails) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  vask::Reader reader;
  ASSERT_EQ(reader.open(), 0);
  std::multiset<std::string> outcomes;  // the first trace line, or the sections read
  char text[] = "k=v # c\nj=w\n";
  for (unsigned n = 1; n == 1 || vask::test::faultFired(); ++n) {
    const vask::Sections queue = vask::test::queueOf();
    const vask::test::TraceCapture trace;
    VaskCommonBuffer_t buffer{text, 0, sizeof(text) - 1, nullptr, false};
    vask::test::faultArm(vask::test::FaultPoint::Calloc, n, 0);
    const int result = VaskInitializationReader_parse(reader.handle(), &buffer, queue.handle());
    vask::test::faultDisarm();
    outcomes.insert(result == 0 ? dump(queue.handle()) : trace.lines().at(0));
  }
  EXPECT_EQ(outcomes.count(readerLine("section_readMember", 5)), 5U);
  EXPECT_EQ(outcomes.count(readerLine("section_readMember", 13)), 1U);
  EXPECT_EQ(outcomes.count("k=v, j=w"), 1U);
}

}  // namespace
