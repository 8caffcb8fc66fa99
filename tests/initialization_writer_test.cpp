// The writer: the exact layout with every queue left as it was, refusals, saving, and the
// trace chains of failures as a host reads them.
#include <gtest/gtest.h>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::queueOf;
using Lines = std::vector<std::string>;
constexpr auto kNull = std::nullopt;

struct LayoutCase {
  const char* pName;
  vask::test::Views sections;
  std::string text;
  std::string readBack;  // the sections reading the text gives, as vask::test::dump shows them
};

class WriterLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(WriterLayout, WritesTheExactBytesAndLeavesEveryQueueAsItWas) {
  vask::test::TraceCapture trace;
  vask::test::HeapCheck heap;
  {
    const vask::Sections queue = queueOf(GetParam().sections);
    const vask::Sections read = queueOf();
    const auto before = vask::test::queuesOf(queue.handle());
    vask::Buffer buffer;
    ASSERT_EQ(queue.serialize(&buffer), 0);
    EXPECT_EQ(buffer.view(), GetParam().text);
    EXPECT_TRUE(buffer.get()->isAllocated && buffer.get()->pBegin[buffer.get()->size] == '\0');
    EXPECT_EQ(vask::test::queuesOf(queue.handle()), before);
    EXPECT_EQ(vask::test::viewOf(queue.handle()), GetParam().sections);
    ASSERT_EQ(vask::test::parseInto(GetParam().text, read.handle()), 0);
    EXPECT_EQ(vask::test::dump(read.handle()), GetParam().readBack);
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), Lines{});
}

const std::string kLong(300, 'w');  // written past the writer's gathering

INSTANTIATE_TEST_SUITE_P(
    Rules, WriterLayout,
    testing::Values(LayoutCase{"WorkedExample",
                               {{{"# c1", "; c2"}, "s", {{"k", "v", "# tail"}, {"k2", "w2", ";x"}}},
                                {{}, "t", {{"a", "1"}}}},
                               "# c1\n; c2\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1\n",
                               "# c1, ; c2, [s], k=v # tail, k2=w2 ;x | [t], a=1"},
                    LayoutCase{"EmptySectionsGiveOnlyTheLineFeedsBetweenThem", {{}, {}}, "\n", ""},
                    LayoutCase{"SectionsAreApartByOneLineFeed",
                               {{{}, kNull, {{"k", "v"}}}, {{}, kNull, {{"k2", kLong}}}},
                               "k=v\n\nk2=" + kLong + "\n",
                               "k=v, k2=" + kLong},
                    LayoutCase{"CommentsAreFollowedByOneMoreLineFeed",
                               {{{"# a", "; b"}}},
                               "# a\n; b\n\n",
                               "# a, ; b"},
                    LayoutCase{"AnEmptyNameStillHasItsBrackets", {{{}, ""}}, "[]\n\n", "[]"},
                    LayoutCase{"ANullKeyOrValueLeavesOnlyTheCommentAndTheLineFeed",
                               {{{}, kNull, {{"k", kNull, "# c"}, {kNull, "v"}, {"k", "v"}}}},
                               " # c\n\nk=v\n",
                               "# c, k=v"},
                    LayoutCase{"NothingIsQuotedOrChecked",
                               {{{}, "a]b", {{"k=x", "hello world", "no marker"}}}},
                               "[a]b]\n\nk=x=hello world no marker\n",
                               "[a], k=x=hello"},
                    LayoutCase{"ASectionWithoutMembersReadsBackAsPartOfTheNext",
                               {{{"# a"}, "x"},
                                {{"# b"}, "y", {{"k", "v"}}},
                                {{}, "z"},
                                {{"# c"}, kNull, {{"j", "w"}}}},
                               "# a\n\n[x]\n\n\n# b\n\n[y]\n\nk=v\n\n[z]\n\n\n# c\n\nj=w\n",
                               "# a, # b, [y], k=v | # c, [z], j=w"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.pName; });

TEST(Writer, RefusesNullArgumentsAndAFilledBufferWithoutMakingABufferOrTracing) {
  vask::test::TraceCapture trace;
  const vask::Sections queue = queueOf();
  vask::Writer writer;
  ASSERT_EQ(writer.open(), 0);
  const auto hWriter = writer.handle();
  const auto hQueue = queue.handle();
  char text[] = "kept";
  VaskCommonBuffer_t filled{text, 0, 4, nullptr, false};
  VaskCommonBuffer_t empty{nullptr, 7, 0, &filled, false};
  {
    const FaultScope fault(FaultPoint::BufferCreate, 1, 42);  // a buffer made here fails
    EXPECT_EQ(VaskInitializationWriter_serialize(0, hQueue, &empty), 13);
    EXPECT_EQ(VaskInitializationWriter_serialize(hWriter, 0, &empty), 13);
    EXPECT_EQ(VaskInitializationWriter_serialize(hWriter, hQueue, nullptr), 13);
    EXPECT_EQ(VaskInitializationWriter_serialize(hWriter, hQueue, &filled), 13);
    EXPECT_EQ(VaskInitializationWriter_save(0, "a.ini", hQueue), 13);
    EXPECT_EQ(VaskInitializationWriter_save(hWriter, nullptr, hQueue), 13);
    EXPECT_EQ(VaskInitializationWriter_save(hWriter, "", hQueue), 13);
    EXPECT_EQ(VaskInitializationWriter_save(hWriter, "a.ini", 0), 13);
  }
  EXPECT_TRUE(filled.pBegin == text && filled.size == 4 && empty.pBegin == nullptr);
  EXPECT_EQ(trace.lines(), Lines{});
  // An empty queue gives an empty text; the fields other than the text stay the caller's.
  ASSERT_EQ(VaskInitializationWriter_serialize(hWriter, hQueue, &empty), 0);
  EXPECT_TRUE(empty.pBegin[0] == '\0' && empty.size == 0 && empty.isAllocated);
  EXPECT_TRUE(empty.offset == 7 && empty.pUserData == &filled);
  std::free(empty.pBegin);
}

TEST(Writer, SavesOverAnOldFileAndTracesFailuresAsAHostReadsThem) {
  const vask::test::TempFolder folder;
  const std::string path = folder.write("out.ini", std::string(10000, '#'));
  const vask::Sections queue = queueOf({{{"# x"}, "s", {{"a", "1"}}}, {{}, "t", {{"b", "2"}}}});
  const std::string text = "# x\n\n[s]\n\na=1\n\n[t]\n\nb=2\n";
  vask::test::TraceCapture trace;
  ASSERT_EQ(queue.save(path.c_str()), 0);
  vask::Buffer buffer;
  {
    const FaultScope fault(FaultPoint::DQueuePopFront, 1, 42);  // the first section's
    EXPECT_EQ(queue.serialize(&buffer), 0);
  }
  {
    const FaultScope fault(FaultPoint::MemStreamOpen, 1, 42);
    EXPECT_EQ(queue.save(path.c_str()), 42);
  }
  EXPECT_EQ(queue.save(folder.path("missing/out.ini").c_str()), VaskCommonError_NotFound);
  const auto line = [](char level, const char* pFunction, int code) {
    return vask::test::traceLine(level, "initialization_writer.cpp", pFunction, code);
  };
  EXPECT_EQ(trace.lines(), (Lines{line('E', "section_write", 42),
                                  line('W', "VaskInitializationWriter_serialize", 42),
                                  line('E', "VaskInitializationWriter_serialize", 42),
                                  line('E', "VaskInitializationWriter_save", 42),
                                  line('E', "VaskInitializationWriter_save", 2)}));
  EXPECT_EQ(buffer.view(), "");
  EXPECT_EQ(folder.read("out.ini"), text);
  EXPECT_EQ(folder.names(), Lines{"out.ini"});
  EXPECT_EQ(vask::test::written(queue.handle()), text);
}

}  // namespace
