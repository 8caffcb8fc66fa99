#include <gtest/gtest.h>

#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "reading.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;
using vask::test::kNone;
using vask::test::member;
using vask::test::section;
using vask::test::SectionQueue;
using vask::test::SectionView;
using vask::test::TraceCapture;
using vask::test::traceLine;

using Lines = std::vector<std::string>;
using Sections = std::vector<SectionView>;

constexpr int kSupportCode = 42;  // a support-library code, passed through unchanged

std::string writerTrace(char level, const char* pFunction, int code) {
  return traceLine(level, "initialization_writer.cpp", pFunction, code);
}

void fill(SectionQueue& queue, const Sections& sections) {
  for (const SectionView& view : sections) {
    queue.push(view);
  }
}

// Serializes with a writer of its own; the text, or the code on failure.
struct Serialized {
  int code;
  std::string text;
  bool isEmpty;  // the buffer was left empty
};

Serialized serialize(const SectionQueue& queue) {
  VaskInitializationWriterHandle_t handle = 0;
  EXPECT_EQ(VaskInitializationWriter_open(&handle), VaskCommonError_Success);
  VaskCommonBuffer_t buffer{};
  Serialized result{VaskInitializationWriter_serialize(handle, queue.handle(), &buffer), "",
                    buffer.pBegin == nullptr};
  if (buffer.pBegin != nullptr) {
    EXPECT_TRUE(buffer.isAllocated);
    EXPECT_EQ(buffer.pBegin[buffer.size], '\0');
    EXPECT_EQ(std::strlen(buffer.pBegin), buffer.size);
    result.text.assign(buffer.pBegin, buffer.size);
    std::free(buffer.pBegin);
  }
  EXPECT_EQ(VaskInitializationWriter_close(&handle), VaskCommonError_Success);
  return result;
}

struct LayoutCase {
  std::string name;
  Sections sections;
  std::string text;
};

void PrintTo(const LayoutCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

class WriterLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(WriterLayout, WritesTheExactBytesAndLeavesTheQueuesAsTheyWere) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    fill(queue, GetParam().sections);
    const std::vector<const void*> before = queue.pointers();
    const Serialized result = serialize(queue);
    EXPECT_EQ(result.code, VaskCommonError_Success);
    EXPECT_EQ(result.text, GetParam().text);
    EXPECT_EQ(queue.pointers(), before);
    EXPECT_EQ(queue.view(), GetParam().sections);
    EXPECT_TRUE(trace.lines().empty());
  }
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WriterLayout,
    testing::Values(
        LayoutCase{
            "WorkedExample",
            {section({"# c1", "; c2"}, "s", {member("k", "v", "# tail"), member("k2", "w2", ";x")}),
             section({}, "t", {member("a", "1")})},
            "# c1\n; c2\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1\n"},
        LayoutCase{"AnEmptyQueueGivesAnEmptyText", {}, ""},
        LayoutCase{"ASectionWithNothingInItGivesAnEmptyText", {section({}, kNone, {})}, ""},
        LayoutCase{
            "SectionsWithoutHeadersAreSeparatedByOneLineFeed",
            {section({}, kNone, {member("k", "v")}), section({}, kNone, {member("k2", "w2")})},
            "k=v\n\nk2=w2\n"},
        LayoutCase{"CommentsAreFollowedByOneMoreLineFeed",
                   {section({"# a", "; b"}, kNone, {})},
                   "# a\n; b\n\n"},
        LayoutCase{"AnEmptyHeaderNameStillHasItsBrackets", {section({}, "", {})}, "[]\n\n"},
        LayoutCase{"AMemberWithoutValueWritesOnlyItsComment",
                   {section({}, kNone, {member("k", kNone, "# c")})},
                   " # c\n"},
        LayoutCase{"AMemberWithoutKeyOrCommentWritesAnEmptyLine",
                   {section({}, kNone, {member(kNone, "v"), member("k", "v")})},
                   "\nk=v\n"},
        LayoutCase{"NothingIsQuotedOrChecked",
                   {section({}, "a]b", {member("k=x", "hello world", "no marker")})},
                   "[a]b]\n\nk=x=hello world no marker\n"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(WriterSerialize, AnEmptyQueueGivesAnAllocatedEmptyText) {
  SectionQueue queue;
  VaskInitializationWriterHandle_t handle = 0;
  ASSERT_EQ(VaskInitializationWriter_open(&handle), VaskCommonError_Success);
  VaskCommonBuffer_t buffer{};
  buffer.offset = 7;
  ASSERT_EQ(VaskInitializationWriter_serialize(handle, queue.handle(), &buffer),
            VaskCommonError_Success);
  ASSERT_NE(buffer.pBegin, nullptr);
  EXPECT_EQ(buffer.pBegin[0], '\0');
  EXPECT_EQ(buffer.size, 0U);
  EXPECT_EQ(buffer.offset, 7U);
  EXPECT_TRUE(buffer.isAllocated);
  std::free(buffer.pBegin);
  EXPECT_EQ(VaskInitializationWriter_close(&handle), VaskCommonError_Success);
}

TEST(WriterSerialize, RefusesNullArgumentsAndAFilledBuffer) {
  SectionQueue queue;
  VaskInitializationWriterHandle_t handle = 0;
  ASSERT_EQ(VaskInitializationWriter_open(&handle), VaskCommonError_Success);
  char text[] = "kept";
  VaskCommonBuffer_t filled{text, 0, 4, nullptr, false};
  VaskCommonBuffer_t empty{};
  TraceCapture trace;
  EXPECT_EQ(VaskInitializationWriter_serialize(0, queue.handle(), &empty),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_serialize(handle, 0, &empty), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_serialize(handle, queue.handle(), nullptr),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_serialize(handle, queue.handle(), &filled),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(filled.pBegin, text);
  EXPECT_EQ(filled.size, 4U);
  EXPECT_STREQ(text, "kept");
  EXPECT_TRUE(trace.lines().empty());
  EXPECT_EQ(VaskInitializationWriter_close(&handle), VaskCommonError_Success);
}

// A failed queue operation inside the walk: the text written so far, the
// traces, and the queues afterwards (rotated and short of a released item).
struct WalkFaultCase {
  std::string name;
  FaultPoint point;
  unsigned nth;
  std::string text;
  Lines traces;
  Sections after;
};

void PrintTo(const WalkFaultCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

class WriterWalkFault : public testing::TestWithParam<WalkFaultCase> {};

// Two sections; the first holds comments x, y and members a, b, c.
const Sections kWalkSections = {
    section({"# x", "# y"}, "s", {member("a", "1"), member("b", "2"), member("c", "3")}),
    section({}, "t", {member("d", "4")})};
const std::string kWalkText = "# x\n# y\n\n[s]\n\na=1\nb=2\nc=3\n\n[t]\n\nd=4\n";

TEST_P(WriterWalkFault, SucceedsWithTheTextWrittenSoFar) {
  const WalkFaultCase& c = GetParam();
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    fill(queue, kWalkSections);
    Serialized result{};
    {
      FaultScope fault(c.point, c.nth, kSupportCode);
      result = serialize(queue);
      EXPECT_TRUE(vask::test::faultFired());
    }
    EXPECT_EQ(result.code, VaskCommonError_Success);
    EXPECT_EQ(result.text, c.text);
    EXPECT_EQ(trace.lines(), c.traces);
    EXPECT_EQ(queue.view(), c.after);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// Pops and pushes in walk order: section s (1), its comments (2, 3), its
// members (4 to 6), section t (7), its member (8).
INSTANTIATE_TEST_SUITE_P(
    Points, WriterWalkFault,
    testing::Values(
        WalkFaultCase{"PopOfTheFirstSection",
                      FaultPoint::DQueuePopFront,
                      1,
                      "",
                      {writerTrace('E', "section_write", kSupportCode),
                       writerTrace('W', "VaskInitializationWriter_serialize", kSupportCode)},
                      kWalkSections},
        WalkFaultCase{"PopOfTheSecondSection",
                      FaultPoint::DQueuePopFront,
                      7,
                      "# x\n# y\n\n[s]\n\na=1\nb=2\nc=3\n",
                      {writerTrace('E', "section_write", kSupportCode),
                       writerTrace('W', "VaskInitializationWriter_serialize", kSupportCode)},
                      {kWalkSections[1], kWalkSections[0]}},
        WalkFaultCase{"PutBackOfTheFirstSection",
                      FaultPoint::DQueuePushBack,
                      6,
                      "# x\n# y\n\n[s]\n\na=1\nb=2\nc=3\n",
                      {writerTrace('E', "section_write", kSupportCode),
                       writerTrace('W', "VaskInitializationWriter_serialize", kSupportCode)},
                      {kWalkSections[1]}},
        WalkFaultCase{"PopOfAComment",
                      FaultPoint::DQueuePopFront,
                      3,
                      "# x\n[s]\n\na=1\nb=2\nc=3\n\n[t]\n\nd=4\n",
                      {writerTrace('E', "section_writeComment", kSupportCode),
                       writerTrace('W', "section_write", kSupportCode)},
                      {section({"# y", "# x"}, "s", kWalkSections[0].members), kWalkSections[1]}},
        WalkFaultCase{"PutBackOfAComment",
                      FaultPoint::DQueuePushBack,
                      1,
                      "# x\n[s]\n\na=1\nb=2\nc=3\n\n[t]\n\nd=4\n",
                      {writerTrace('E', "section_writeComment", kSupportCode),
                       writerTrace('W', "section_write", kSupportCode)},
                      {section({"# y"}, "s", kWalkSections[0].members), kWalkSections[1]}},
        WalkFaultCase{
            "PopOfAMember",
            FaultPoint::DQueuePopFront,
            5,
            "# x\n# y\n\n[s]\n\na=1\n\n[t]\n\nd=4\n",
            {writerTrace('E', "section_writeMember", kSupportCode),
             writerTrace('W', "section_write", kSupportCode)},
            {section({"# x", "# y"}, "s", {member("b", "2"), member("c", "3"), member("a", "1")}),
             kWalkSections[1]}},
        WalkFaultCase{"PutBackOfAMember",
                      FaultPoint::DQueuePushBack,
                      4,
                      "# x\n# y\n\n[s]\n\na=1\nb=2\n\n[t]\n\nd=4\n",
                      {writerTrace('E', "section_writeMember", kSupportCode),
                       writerTrace('W', "section_write", kSupportCode)},
                      {section({"# x", "# y"}, "s", {member("c", "3"), member("a", "1")}),
                       kWalkSections[1]}}),
    [](const testing::TestParamInfo<WalkFaultCase>& info) { return info.param.name; });

TEST(WriterSerialize, AStreamThatCannotOpenOrCloseLeavesTheBufferEmpty) {
  for (FaultPoint point : {FaultPoint::MemStreamOpen, FaultPoint::MemStreamClose}) {
    HeapCheck heap;
    {
      TraceCapture trace;
      SectionQueue queue;
      fill(queue, kWalkSections);
      const std::vector<const void*> before = queue.pointers();
      Serialized result{};
      {
        FaultScope fault(point, 1, kSupportCode);
        result = serialize(queue);
      }
      EXPECT_EQ(result.code, kSupportCode) << vask::test::faultPointName(point);
      EXPECT_TRUE(result.isEmpty);
      EXPECT_EQ(trace.lines(),
                Lines{writerTrace('E', "VaskInitializationWriter_serialize", kSupportCode)});
      EXPECT_EQ(queue.pointers(), before);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

TEST(WriterSerialize, AStreamThatRunsOutOfMemoryIsReportedAndNothingLeaks) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    fill(queue, kWalkSections);
    Serialized result{};
    {
      FaultScope fault(FaultPoint::Realloc, 1, 0);  // the stream's first growth
      result = serialize(queue);
    }
    EXPECT_EQ(result.code, VaskCommonError_NoMemory);
    EXPECT_TRUE(result.isEmpty);
    EXPECT_EQ(trace.lines(), Lines{writerTrace('E', "VaskInitializationWriter_serialize",
                                               VaskCommonError_NoMemory)});
    EXPECT_EQ(queue.view(), kWalkSections);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// Files: a folder per test.
class WriterSave : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VaskInitializationWriter_open(&handle_), VaskCommonError_Success);
    fill(queue_, kWalkSections);
  }
  void TearDown() override {
    EXPECT_EQ(VaskInitializationWriter_close(&handle_), VaskCommonError_Success);
  }
  std::string path(const std::string& name) const { return folder_.path(name); }
  std::string read(const std::string& name) const { return folder_.read(name); }
  std::vector<std::string> names() const { return folder_.names(); }
  int save(const std::string& file) const {
    return VaskInitializationWriter_save(handle_, file.c_str(), queue_.handle());
  }

  vask::test::TempFolder folder_;
  VaskInitializationWriterHandle_t handle_ = 0;
  SectionQueue queue_;
};

TEST_F(WriterSave, WritesTheTextAndLeavesTheQueueAsItWas) {
  const std::vector<const void*> before = queue_.pointers();
  ASSERT_EQ(save(path("out.ini")), VaskCommonError_Success);
  EXPECT_EQ(read("out.ini"), kWalkText);
  EXPECT_EQ(queue_.pointers(), before);
  EXPECT_EQ(names(), std::vector<std::string>{"out.ini"});
}

TEST_F(WriterSave, ReplacesAnExistingFileWhole) {
  folder_.write("out.ini", std::string(10000, '#') + "\n");
  ASSERT_EQ(save(path("out.ini")), VaskCommonError_Success);
  EXPECT_EQ(read("out.ini"), kWalkText);
  EXPECT_EQ(names(), std::vector<std::string>{"out.ini"});
}

TEST_F(WriterSave, RefusesNullArgumentsAndAnEmptyFileNameBeforeMakingABuffer) {
  TraceCapture trace;
  FaultScope fault(FaultPoint::BufferCreate, 1000, 0);  // counts without failing
  EXPECT_EQ(VaskInitializationWriter_save(0, "a.ini", queue_.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_save(handle_, nullptr, queue_.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_save(handle_, "", queue_.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationWriter_save(handle_, "a.ini", 0), VaskCommonError_InvalidArgument);
  EXPECT_EQ(vask::test::faultCalls(FaultPoint::BufferCreate), 0U);
  EXPECT_TRUE(trace.lines().empty());
}

TEST_F(WriterSave, AFolderThatDoesNotExistGivesTheBuffersCodeAndLeavesNothing) {
  const std::string file = path("missing/out.ini");
  HeapCheck heap;
  {
    TraceCapture trace;
    EXPECT_EQ(save(file), VaskCommonError_NotFound);
    EXPECT_EQ(trace.lines(),
              Lines{writerTrace('E', "VaskInitializationWriter_save", VaskCommonError_NotFound)});
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_TRUE(names().empty());
  EXPECT_EQ(queue_.view(), kWalkSections);
}

TEST_F(WriterSave, PassesOnAFailedBufferCreationSerializationOrSave) {
  const std::string file = folder_.write("out.ini", "old\n");
  struct Case {
    FaultPoint point;
    Lines traces;
  };
  const Case cases[] = {
      {FaultPoint::BufferCreate, {writerTrace('E', "VaskInitializationWriter_save", kSupportCode)}},
      {FaultPoint::MemStreamOpen,
       {writerTrace('E', "VaskInitializationWriter_serialize", kSupportCode),
        writerTrace('E', "VaskInitializationWriter_save", kSupportCode)}},
      {FaultPoint::BufferSave2, {writerTrace('E', "VaskInitializationWriter_save", kSupportCode)}}};
  for (const Case& c : cases) {
    HeapCheck heap;
    {
      TraceCapture trace;
      {
        FaultScope fault(c.point, 1, kSupportCode);
        EXPECT_EQ(save(file), kSupportCode) << vask::test::faultPointName(c.point);
      }
      EXPECT_EQ(trace.lines(), c.traces);
    }
    EXPECT_EQ(heap.leaked(), 0);
    EXPECT_EQ(read("out.ini"), "old\n");
  }
}

}  // namespace
