// The writer: the exact layout, with every queue left as it was, saving, and the trace
// chains of failures as a host reads them.
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
};

class WriterLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(WriterLayout, WritesTheExactBytesAndLeavesEveryQueueAsItWas) {
  vask::test::TraceCapture trace;
  vask::test::HeapCheck heap;
  {
    const vask::Sections queue = queueOf(GetParam().sections);
    const auto before = vask::test::queuesOf(queue.handle());
    vask::Buffer buffer;
    ASSERT_EQ(queue.serialize(&buffer), 0);
    EXPECT_EQ(buffer.view(), GetParam().text);
    EXPECT_TRUE(buffer.get()->isAllocated && buffer.get()->pBegin[buffer.get()->size] == '\0');
    EXPECT_EQ(vask::test::queuesOf(queue.handle()), before);
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), Lines{});
}

const std::string kLong(300, 'w');  // written past the writer's gathering

const LayoutCase kLayouts[] = {
    {"WorkedExample",
     {{{"# c1", "; c2"}, "s", {{"k", "v", "# tail"}, {"k2", "w2", ";x"}}}, {{}, "t", {{"a", "1"}}}},
     "# c1\n; c2\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1\n"},
    {"AnEmptyQueueGivesAnEmptyText", {}, ""},
    {"EmptySectionsGiveOnlyTheLineFeedsBetweenThem", {{}, {}}, "\n"},
    {"SectionsAreApartByOneLineFeed",
     {{{}, kNull, {{"k", "v"}}}, {{}, kNull, {{"k2", kLong}}}},
     "k=v\n\nk2=" + kLong + "\n"},
    {"CommentsAreFollowedByOneMoreLineFeed",
     {{{"# a", "; b"}}, {{"# c"}, ""}},
     "# a\n; b\n\n\n# c\n\n[]\n\n"},
    {"ANullKeyOrValueLeavesOnlyTheCommentAndTheLineFeed",
     {{{}, kNull, {{"k", kNull, "# c"}, {kNull, "v"}, {"k", "v"}}}},
     " # c\n\nk=v\n"},
    {"NothingIsQuotedOrChecked",
     {{{}, "a]b", {{"k=x", "hello world", "no marker"}}}},
     "[a]b]\n\nk=x=hello world no marker\n"}};

INSTANTIATE_TEST_SUITE_P(Rules, WriterLayout, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return info.param.pName;
                         });

// A failure is traced by each function on the way up, or as a warning where the writer
// passes it over; a failed save leaves the old file whole.
TEST(Writer, SavesOverTheOldFileAndTracesFailuresAsAHostReadsThem) {
  const vask::test::TempFolder folder;
  const std::string path = folder.write("out.ini", "old");
  const vask::Sections sections = queueOf({{{"# x"}, "s", {{"a", "1"}}}, {{}, "t"}});
  vask::Buffer buffer;
  const vask::test::TraceCapture trace;
  {
    const FaultScope fault(FaultPoint::DQueuePopFront, 1, 42);  // the first section's
    EXPECT_EQ(sections.serialize(&buffer), 0);
  }
  {
    const FaultScope fault(FaultPoint::MemStreamOpen, 1, 42);
    EXPECT_EQ(sections.save(path.c_str()), 42);
  }
  const auto line = [](char level, const char* pFunction, int code) {
    return vask::test::traceLine(level, "initialization_writer.cpp", pFunction, code);
  };
  EXPECT_EQ(trace.lines(), (Lines{line('E', "section_write", 42),
                                  line('W', "VaskInitializationWriter_serialize", 42),
                                  line('E', "VaskInitializationWriter_serialize", 42),
                                  line('E', "VaskInitializationWriter_save", 42)}));
  EXPECT_TRUE(buffer.view().empty() && folder.read("out.ini") == "old");
  ASSERT_EQ(sections.save(path.c_str()), 0);
  EXPECT_EQ(folder.read("out.ini"), vask::test::written(sections.handle()));
  EXPECT_EQ(folder.names(), Lines{"out.ini"});
}

}  // namespace
