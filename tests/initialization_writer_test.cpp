// The writer: the exact layout, with every queue left as it was. (The fault sweep and its
// named cases save.)
#include <gtest/gtest.h>

#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

constexpr auto kNull = std::nullopt;
const std::string kLong(300, 'w');  // written past the writer's gathering

const struct {
  const char* pName;
  vask::test::Views sections;
  std::string text;
} kLayouts[] = {
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

TEST(Writer, WritesTheExactBytesAndLeavesEveryQueueAsItWas) {
  for (const auto& c : kLayouts) {
    SCOPED_TRACE(c.pName);
    const vask::test::TraceCapture trace;
    const vask::test::HeapCheck heap;
    {
      const vask::Sections queue = vask::test::queueOf(c.sections);
      const auto before = vask::test::queuesOf(queue.handle());
      vask::Buffer buffer;
      ASSERT_EQ(queue.serialize(&buffer), 0);
      EXPECT_EQ(buffer.view(), c.text);
      EXPECT_TRUE(buffer.get()->isAllocated && buffer.get()->pBegin[buffer.get()->size] == '\0');
      EXPECT_EQ(vask::test::queuesOf(queue.handle()), before);
    }
    EXPECT_EQ(heap.leaked(), 0);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{});
  }
}

}  // namespace
