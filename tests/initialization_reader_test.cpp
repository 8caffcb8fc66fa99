#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

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
using vask::test::parseText;
using vask::test::section;
using vask::test::SectionQueue;
using vask::test::SectionView;
using vask::test::TextCase;
using vask::test::TraceCapture;
using vask::test::traceLine;

using Lines = std::vector<std::string>;

constexpr int kSupportCode = 42;  // a support-library code, passed through unchanged

std::string readerTrace(const char* pFunction, int code) {
  return traceLine('E', "initialization_reader.cpp", pFunction, code);
}

// The trace lines of a failure that a line parser reports and parse passes up.
Lines parseFailure(const char* pParser, int code) {
  Lines lines;
  if (pParser != nullptr) {
    lines.push_back(readerTrace(pParser, code));
  }
  lines.push_back(readerTrace("section_read", code));
  lines.push_back(readerTrace("VaskInitializationReader_parse", code));
  return lines;
}

class ReaderText : public testing::TestWithParam<TextCase> {};

TEST_P(ReaderText, GivesTheExpectedSections) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    EXPECT_EQ(parseText(GetParam().text, queue.handle()), VaskCommonError_Success);
    EXPECT_EQ(queue.view(), GetParam().sections);
    EXPECT_TRUE(trace.lines().empty());
  }
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rules, ReaderText, testing::ValuesIn(vask::test::readerTextCases()),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return info.param.name;
                         });

TEST(ReaderParse, AppendsAfterWhatTheQueueHolds) {
  SectionQueue queue;
  ASSERT_EQ(parseText("[a]\nx=1\n", queue.handle()), VaskCommonError_Success);
  ASSERT_EQ(parseText("[b]\ny=2\n", queue.handle()), VaskCommonError_Success);
  EXPECT_EQ(queue.view(), (std::vector<SectionView>{section({}, "a", {member("x", "1")}),
                                                    section({}, "b", {member("y", "2")})}));
}

TEST(ReaderParse, NeverReadsPastTheEndOfAnUnterminatedText) {
  // The text is the first 7 bytes; the bytes after them are not part of it.
  const std::string storage = "[s]\nk=vXYZ=1\n";
  SectionQueue queue;
  VaskInitializationReaderHandle_t handle = 0;
  ASSERT_EQ(VaskInitializationReader_open(&handle), VaskCommonError_Success);
  VaskCommonBuffer_t buffer{const_cast<char*>(storage.data()), 0, 7, nullptr, false};
  EXPECT_EQ(VaskInitializationReader_parse(handle, &buffer, queue.handle()),
            VaskCommonError_Success);
  EXPECT_EQ(queue.view(), std::vector<SectionView>{section({}, "s", {member("k", "v")})});
  EXPECT_EQ(VaskInitializationReader_close(&handle), VaskCommonError_Success);
}

TEST(ReaderParse, RefusesNullArguments) {
  SectionQueue queue;
  VaskInitializationReaderHandle_t handle = 0;
  ASSERT_EQ(VaskInitializationReader_open(&handle), VaskCommonError_Success);
  char text[] = "k=v";
  VaskCommonBuffer_t buffer{text, 0, 3, nullptr, false};
  VaskCommonBuffer_t empty{};
  TraceCapture trace;
  EXPECT_EQ(VaskInitializationReader_parse(0, &buffer, queue.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationReader_parse(handle, nullptr, queue.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationReader_parse(handle, &empty, queue.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationReader_parse(handle, &buffer, 0), VaskCommonError_InvalidArgument);
  EXPECT_EQ(queue.length(), 0U);
  EXPECT_TRUE(trace.lines().empty());
  EXPECT_EQ(VaskInitializationReader_close(&handle), VaskCommonError_Success);
}

// Malformed texts: the code, the trace lines on the way up, and the sections
// read before the failing one, whole.
struct FailureCase {
  std::string name;
  std::string text;
  int code;
  Lines traces;
  std::vector<SectionView> queued;
};

void PrintTo(const FailureCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

class ReaderFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ReaderFailure, StopsWithTheCodeAndKeepsWhatWasReadBefore) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    EXPECT_EQ(parseText(GetParam().text, queue.handle()), GetParam().code);
    EXPECT_EQ(trace.lines(), GetParam().traces);
    EXPECT_EQ(queue.view(), GetParam().queued);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReaderFailure,
    testing::Values(FailureCase{"AMemberLineWithoutEqualsSignInALaterSection",
                                "[a]\nx=1\n[b]\nbad\n",
                                VaskCommonError_InvalidArgument,
                                parseFailure("section_readMember", VaskCommonError_InvalidArgument),
                                {section({}, "a", {member("x", "1")})}},
                    FailureCase{"AMemberLineWithoutEqualsSignInTheFirstSection",
                                "[s]\nnoequals\n",
                                VaskCommonError_InvalidArgument,
                                parseFailure("section_readMember", VaskCommonError_InvalidArgument),
                                {}},
                    FailureCase{"AnEqualsSignHiddenBehindAZeroByte",
                                std::string("# c\nk\0=v\n", 9),
                                VaskCommonError_InvalidArgument,
                                parseFailure("section_readMember", VaskCommonError_InvalidArgument),
                                {}},
                    FailureCase{"AFailureAfterSeveralSectionsKeepsThemAll",
                                "a=1\n# c\n[b]\nb=2\n[c]\nc=3\n[d]\nd=4\n[e]\ne\n",
                                VaskCommonError_InvalidArgument,
                                parseFailure("section_readMember", VaskCommonError_InvalidArgument),
                                {section({}, kNone, {member("a", "1")}),
                                 section({"# c"}, "b", {member("b", "2")}),
                                 section({}, "c", {member("c", "3")}),
                                 section({}, "d", {member("d", "4")})}}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// Files: a folder per test.
class ReaderLoad : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VaskInitializationReader_open(&handle_), VaskCommonError_Success);
  }
  void TearDown() override {
    EXPECT_EQ(VaskInitializationReader_close(&handle_), VaskCommonError_Success);
  }
  std::string path(const std::string& name) const { return folder_.path(name); }
  std::string write(const std::string& name, const std::string& text) const {
    return folder_.write(name, text);
  }
  int load(const std::string& file, const SectionQueue& queue) const {
    return VaskInitializationReader_load(handle_, file.c_str(), queue.handle());
  }

  vask::test::TempFolder folder_;
  VaskInitializationReaderHandle_t handle_ = 0;
};

TEST_F(ReaderLoad, LoadsAFileAndAppendsItAgainWhenLoadedTwice) {
  const std::string file = write("a.ini", "# c\n[s]\nk=v\n");
  HeapCheck heap;
  {
    SectionQueue queue;
    ASSERT_EQ(load(file, queue), VaskCommonError_Success);
    ASSERT_EQ(load(file, queue), VaskCommonError_Success);
    const SectionView expected = section({"# c"}, "s", {member("k", "v")});
    EXPECT_EQ(queue.view(), (std::vector<SectionView>{expected, expected}));
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST_F(ReaderLoad, AnEmptyFileAppendsNothing) {
  const std::string file = write("empty.ini", "");
  SectionQueue queue;
  EXPECT_EQ(load(file, queue), VaskCommonError_Success);
  EXPECT_EQ(queue.length(), 0U);
}

TEST_F(ReaderLoad, AFileThatCannotBeReadGivesTheBuffersCodeTracedOnce) {
  const std::string missing = path("missing.ini");
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    EXPECT_EQ(load(missing, queue), VaskCommonError_NotFound);
    EXPECT_EQ(load("", queue), VaskCommonError_NotFound);
    EXPECT_EQ(load(folder_.root(), queue), VaskCommonError_IsDirectory);
    EXPECT_EQ(trace.lines(),
              (Lines{readerTrace("VaskInitializationReader_load", VaskCommonError_NotFound),
                     readerTrace("VaskInitializationReader_load", VaskCommonError_NotFound),
                     readerTrace("VaskInitializationReader_load", VaskCommonError_IsDirectory)}));
    EXPECT_EQ(queue.length(), 0U);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST_F(ReaderLoad, AMalformedFileIsTracedByEveryFunctionOnTheWayUp) {
  const std::string file = write("a.ini", "[a]\nx=1\n[b]\nbad\n");
  TraceCapture trace;
  SectionQueue queue;
  EXPECT_EQ(load(file, queue), VaskCommonError_InvalidArgument);
  Lines expected = parseFailure("section_readMember", VaskCommonError_InvalidArgument);
  expected.push_back(readerTrace("VaskInitializationReader_load", VaskCommonError_InvalidArgument));
  EXPECT_EQ(trace.lines(), expected);
  EXPECT_EQ(queue.view(), std::vector<SectionView>{section({}, "a", {member("x", "1")})});
}

TEST_F(ReaderLoad, RefusesNullArgumentsWithoutTracing) {
  TraceCapture trace;
  SectionQueue queue;
  EXPECT_EQ(VaskInitializationReader_load(0, "a.ini", queue.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationReader_load(handle_, nullptr, queue.handle()),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskInitializationReader_load(handle_, "a.ini", 0), VaskCommonError_InvalidArgument);
  EXPECT_TRUE(trace.lines().empty());
}

TEST_F(ReaderLoad, PassesOnAFailedBufferCreationOrLoad) {
  const std::string file = write("a.ini", "k=v\n");
  for (FaultPoint point : {FaultPoint::BufferCreate, FaultPoint::BufferLoad2}) {
    HeapCheck heap;
    {
      TraceCapture trace;
      SectionQueue queue;
      {
        FaultScope fault(point, 1, kSupportCode);
        EXPECT_EQ(load(file, queue), kSupportCode) << vask::test::faultPointName(point);
      }
      EXPECT_EQ(trace.lines(), Lines{readerTrace("VaskInitializationReader_load", kSupportCode)});
      EXPECT_EQ(queue.length(), 0U);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

// Fault injection: one support call of the parse fails. `nth` counts the calls
// of that point while "[a]\nx=1\n[b]\n# c\ny=2 # t\n" is parsed.
struct FaultCase {
  std::string name;
  FaultPoint point;
  unsigned nth;
  int code;
  Lines traces;
  std::vector<SectionView> queued;
};

void PrintTo(const FaultCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

const char kFaultText[] = "[a]\nx=1\n[b]\n# c\ny=2 # t\n";

class ReaderFault : public testing::TestWithParam<FaultCase> {};

TEST_P(ReaderFault, FailsWithTheCodeAndTracesAndReleasesTheSectionUnderConstruction) {
  const FaultCase& c = GetParam();
  if (c.point <= FaultPoint::Realloc) {
    VASK_REQUIRE_ALLOCATION_FAULTS();
  }
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    {
      FaultScope fault(c.point, c.nth, kSupportCode);
      EXPECT_EQ(parseText(kFaultText, queue.handle()), c.code);
      EXPECT_TRUE(vask::test::faultFired());
    }
    EXPECT_EQ(trace.lines(), c.traces);
    EXPECT_EQ(queue.view(), c.queued);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

const SectionView kSectionA = section({}, "a", {member("x", "1")});

// calloc calls while parsing kFaultText: the reader context (1); section a:
// record, comment queue, member queue (2-4), header (5), member, key, value
// (6-8); section b: record, queues (9-11), header (12), comment (13), member,
// key, value, comment (14-17).
INSTANTIATE_TEST_SUITE_P(
    Points, ReaderFault,
    testing::Values(FaultCase{"SectionRecord",
                              FaultPoint::Calloc,
                              9,
                              VaskCommonError_NoMemory,
                              parseFailure(nullptr, VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"CommentQueueOpen",
                              FaultPoint::DQueueOpen,
                              3,
                              kSupportCode,
                              {traceLine('E', "initialization_section.cpp",
                                         "VaskInitializationSection_create", kSupportCode),
                               readerTrace("section_read", kSupportCode),
                               readerTrace("VaskInitializationReader_parse", kSupportCode)},
                              {kSectionA}},
                    FaultCase{"CommentCopy",
                              FaultPoint::Calloc,
                              13,
                              VaskCommonError_NoMemory,
                              parseFailure("section_readComment", VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"CommentAppend",
                              FaultPoint::DQueuePushBack,
                              3,
                              kSupportCode,
                              parseFailure("section_readComment", kSupportCode),
                              {kSectionA}},
                    FaultCase{"HeaderName",
                              FaultPoint::Calloc,
                              12,
                              VaskCommonError_NoMemory,
                              parseFailure(nullptr, VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"MemberRecord",
                              FaultPoint::Calloc,
                              14,
                              VaskCommonError_NoMemory,
                              parseFailure("section_readMember", VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"MemberKey",
                              FaultPoint::Calloc,
                              15,
                              VaskCommonError_NoMemory,
                              parseFailure("section_readMember", VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"ValueOfALineWithComment",
                              FaultPoint::Calloc,
                              16,
                              VaskCommonError_NoMemory,
                              parseFailure("section_readMember", VaskCommonError_NoMemory),
                              {kSectionA}},
                    FaultCase{"ValueOfALineWithoutComment",
                              FaultPoint::Calloc,
                              8,
                              VaskCommonError_InvalidArgument,
                              parseFailure("section_readMember", VaskCommonError_InvalidArgument),
                              {}},
                    FaultCase{"MemberAppend",
                              FaultPoint::DQueuePushBack,
                              4,
                              kSupportCode,
                              parseFailure("section_readMember", kSupportCode),
                              {kSectionA}},
                    FaultCase{"SectionAppend",
                              FaultPoint::DQueuePushBack,
                              2,
                              kSupportCode,
                              parseFailure(nullptr, kSupportCode),
                              {}},
                    FaultCase{
                        "ReaderContext", FaultPoint::Calloc, 1, VaskCommonError_NoMemory, {}, {}}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(ReaderFault, AMemberWhoseCommentCannotBeCopiedKeepsANullComment) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    {
      FaultScope fault(FaultPoint::Calloc, 17, 0);
      EXPECT_EQ(parseText(kFaultText, queue.handle()), VaskCommonError_Success);
    }
    EXPECT_EQ(queue.view(), (std::vector<SectionView>{
                                kSectionA, section({"# c"}, "b", {member("y", "2", kNone)})}));
    EXPECT_TRUE(trace.lines().empty());
  }
  EXPECT_EQ(heap.leaked(), 0);
}

}  // namespace
