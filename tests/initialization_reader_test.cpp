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
using S = std::string;

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
    {"KeysEndAtTheFirstEqualsSignAndKeepTheirBlanks", "key = v\nk=a=b\n", "key =, k=a=b"},
    {"AValueEndsAtABlankOrAMarker", "k=hello world\nk= v\nk=a\tb\r\nk=v#c d\nk=v;c\nk=#c\n",
     "k=hello, k=, k=a\tb\r, k=v #c d, k=v ;c, k= #c"},
    {"AnEmptyKeyLeavesTheValueEmpty", "=v\nk=\n", "=, k="},
    {"TheFirstHashWinsOverAnEarlierSemicolon", "k=v ; c # d\n", "k=v # d"},
    {"MarkersBeforeTheEqualsSignBelongToTheKey", "a;b=c\na#b=c # d\na#b=c;d\n",
     "a;b=c, a#b=c # d, a#b=c ;d"},
    {"CarriageReturnsAreOrdinary", "[s]\r\nk=v\r\n; c\r\n[t]\r\n", "[s], k=v\r | ; c\r, [t]"},
    {"BlanksIndentationAndEmptyLinesAreSkipped", "\n  \t[s]\n \n\r\n\t k=v\n   ; c \n\n",
     "[s], k=v | ; c "},
    {"ALastLineWithoutLineFeed", "[s]\nk=v", "[s], k=v"},
    {"ALoneHashIsACommentLine", "#\nk=v\n", "#, k=v"},
    {"TheNameEndsAtTheFirstClosingBracketOrTheLineEnd", "[a]b]\nx=1\n[abc\nk=v\n",
     "[a], x=1 | [abc], k=v"},
    {"TextAfterTheBracketIsDropped", "[s] # note\nk=v\n", "[s], k=v"},
    {"EmptyBracketsGiveAnEmptyName", "[]\nk=v\n", "[], k=v"},
    {"BlanksInsideTheBracketsArePartOfTheName", "[ a b ]\n", "[ a b ]"},
    {"AZeroByteEndsTheValueAndHidesTheMarkerAfterIt", S("k=v\0x # c\nn=1\n", 14), "k=v, n=1"},
    {"AZeroByteEndsACommentOrAName", S("k=v # c\0d\n[s\0]\n# c\0d\n", 21), "k=v # c | # c, [s]"},
    {"AZeroByteWhereALineStartsEndsTheText", S("a=1\n\0b=2\n", 9), "a=1"},
    {"MembersBeforeTheFirstHeaderFormASection", "k=v\n[s]\na=1\n", "k=v | [s], a=1"},
    {"CommentsAroundAHeaderBelongToItsSection", "# c1\n[s]\n# c2\nk=v\n", "# c1, # c2, [s], k=v"},
    {"AHeaderAfterAHeaderReplacesTheName", "[a]\n[b]\nx=1\n", "[b], x=1"},
    {"ACommentAfterAMemberStartsASection", "[s]\na=1\n# mid\nb=2\n# end\n",
     "[s], a=1 | # mid, b=2 | # end"},
    {"ACommentAfterALoneHeaderStaysInItsSection", "[s]\n# end\n", "# end, [s]"},
    {"AHeaderWithoutMembersMergesIntoTheNext", "[a]\n# c\n[b]\nx=1\n[c]\n", "# c, [b], x=1 | [c]"},
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
    EXPECT_EQ(vask::test::viewOf(second.handle()), vask::test::viewOf(first.handle()));
    EXPECT_EQ(vask::test::written(second.handle()), written);
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), GetParam().code == 0 ? Lines{} : chain);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReaderText, testing::ValuesIn(kTexts), nameOf);

TEST(Reader, AppendsToTheQueueReadsNoFurtherThanItsTextAndTracesWhatFails) {
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
  EXPECT_EQ(load(path) | parseInto("[t]\nk=vXYZ=1\n", 7, hQueue) | load(folder.write("e", "")),
            0);  // of the text, the first 7 bytes only
  char text[] = "k=v";
  VaskCommonBuffer_t buffer{text, 0, 3, nullptr, false};
  VaskCommonBuffer_t empty{};
  EXPECT_EQ(VaskInitializationReader_parse(0, &buffer, hQueue), 13);
  EXPECT_EQ(VaskInitializationReader_parse(hReader, nullptr, hQueue), 13);
  EXPECT_EQ(VaskInitializationReader_parse(hReader, &empty, hQueue), 13);
  EXPECT_EQ(VaskInitializationReader_parse(hReader, &buffer, 0), 13);
  EXPECT_EQ(VaskInitializationReader_load(0, "a.ini", hQueue), 13);
  EXPECT_EQ(VaskInitializationReader_load(hReader, nullptr, hQueue), 13);
  EXPECT_EQ(VaskInitializationReader_load(hReader, "a.ini", 0), 13);
  EXPECT_EQ(trace.lines(), Lines{});  // refusals are not traced
  EXPECT_EQ(load(""), 2);
  EXPECT_EQ(load(folder.root()), 6);
  EXPECT_EQ(load(folder.write("bad.ini", "[a]\nx=1\n[b]\nbad\n")), 13);
  EXPECT_EQ(trace.lines(),
            (Lines{readerLine("VaskInitializationReader_load", 2),
                   readerLine("VaskInitializationReader_load", 6), readerLine("section_readMember"),
                   readerLine("section_read"), readerLine("VaskInitializationReader_parse"),
                   readerLine("VaskInitializationReader_load")}));
  EXPECT_EQ(dump(hQueue), "[q] | # c, [s], k=v | [t], k=v | [a], x=1");
}

// A member line's record, key and value: where one cannot be allocated, the failure is
// traced first by the function that reads the line; the value's gives 13.
TEST(Reader, TracesAFailedAllocationForAMemberLineWhereItFails) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  vask::Reader reader;
  ASSERT_EQ(reader.open(), 0);
  std::multiset<std::string> origins;
  char text[] = "k=v";
  for (unsigned n = 1; n == 1 || vask::test::faultFired(); ++n) {
    const vask::Sections queue = vask::test::queueOf();
    const vask::test::TraceCapture trace;
    VaskCommonBuffer_t buffer{text, 0, 3, nullptr, false};
    const vask::test::FaultScope fault(vask::test::FaultPoint::Calloc, n, 0);
    origins.insert(VaskInitializationReader_parse(reader.handle(), &buffer, queue.handle()) == 0
                       ? ""
                       : trace.lines().at(0));
  }
  EXPECT_EQ(origins.count(readerLine("section_readMember", 5)), 2U);
  EXPECT_EQ(origins.count(readerLine("section_readMember", 13)), 1U);
}

TEST(Reader, LoadsSavesAndLoadsRealisticFilesToTheSameSectionsAndAStableText) {
  const vask::test::TempFolder folder;
  for (const char* pName : {"service.ini", "desktop-entry.ini", "app-settings.ini", "crlf.ini"}) {
    vask::Sections loaded;
    vask::Sections reloaded;
    ASSERT_EQ(loaded.load((S(VASK_TEST_DATA_DIR) + "/" + pName).c_str()), 0) << pName;
    ASSERT_GT(VaskCommonDQueue_length(loaded.handle()), 1U);
    ASSERT_EQ(loaded.save(folder.path("first").c_str()), 0);
    ASSERT_EQ(reloaded.load(folder.path("first").c_str()), 0);
    EXPECT_EQ(vask::test::viewOf(reloaded.handle()), vask::test::viewOf(loaded.handle()));
    ASSERT_EQ(reloaded.save(folder.path("second").c_str()), 0);
    EXPECT_EQ(folder.read("second"), folder.read("first")) << pName;
  }
}

}  // namespace
