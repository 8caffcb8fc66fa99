#include <gtest/gtest.h>

#include <initialization_section.h>
#include <vask_common_c/common_error.h>

#include <cstring>

#include "fault.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;
using vask::test::queueItems;
using vask::test::TraceCapture;
using vask::test::traceLine;

constexpr int kQueueCode = 42;  // a code of the queue's own, passed through unchanged

void pushComment(VaskInitializationSection_t* pSection, const char* pText) {
  void* pComment = strdup(pText);
  ASSERT_EQ(VaskCommonDQueue_pushBack(pSection->hComment, &pComment), VaskCommonError_Success);
}

void pushMember(VaskInitializationSection_t* pSection, const char* pKey, const char* pValue) {
  VaskInitializationMember_t* pMember = nullptr;
  ASSERT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_Success);
  pMember->pKey = strdup(pKey);
  pMember->pValue = strdup(pValue);
  void* pItem = pMember;
  ASSERT_EQ(VaskCommonDQueue_pushBack(pSection->hMember, &pItem), VaskCommonError_Success);
}

// A section with a header, two comments and two members.
VaskInitializationSection_t* filledSection() {
  VaskInitializationSection_t* pSection = nullptr;
  EXPECT_EQ(VaskInitializationSection_create(&pSection), VaskCommonError_Success);
  pSection->pHeader = strdup("name");
  pushComment(pSection, "# one");
  pushComment(pSection, "; two");
  pushMember(pSection, "a", "1");
  pushMember(pSection, "b", "2");
  return pSection;
}

std::string createTrace(int code) {
  return traceLine('E', "initialization_section.cpp", "VaskInitializationSection_create", code);
}

std::string deleteTrace(int code) {
  return traceLine('E', "initialization_section.cpp", "VaskInitializationSection_delete", code);
}

TEST(SectionCreate, GivesAnEmptySectionThatDeletesCleanly) {
  HeapCheck heap;
  VaskInitializationSection_t* pSection = nullptr;
  ASSERT_EQ(VaskInitializationSection_create(&pSection), VaskCommonError_Success);
  EXPECT_EQ(pSection->pHeader, nullptr);
  EXPECT_NE(pSection->hComment, 0U);
  EXPECT_NE(pSection->hMember, 0U);
  EXPECT_EQ(VaskCommonDQueue_length(pSection->hComment), 0U);
  EXPECT_EQ(VaskCommonDQueue_length(pSection->hMember), 0U);
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  EXPECT_EQ(pSection, nullptr);
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(SectionCreate, RefusesANullTargetOrOneThatHoldsASection) {
  EXPECT_EQ(VaskInitializationSection_create(nullptr), VaskCommonError_InvalidArgument);
  VaskInitializationSection_t held{};
  VaskInitializationSection_t* pSection = &held;
  EXPECT_EQ(VaskInitializationSection_create(&pSection), VaskCommonError_InvalidArgument);
  EXPECT_EQ(pSection, &held);
}

TEST(SectionCreate, ReportsAFailedRecordAllocationWithoutTracing) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationSection_t* pSection = nullptr;
  {
    FaultScope fault(FaultPoint::Calloc, 1, 0);
    EXPECT_EQ(VaskInitializationSection_create(&pSection), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(pSection, nullptr);
  EXPECT_TRUE(trace.lines().empty());
  EXPECT_EQ(heap.leaked(), 0);
}

// The first open is the comment queue's, the second the member queue's.
class SectionCreateQueueFailure : public testing::TestWithParam<unsigned> {};

TEST_P(SectionCreateQueueFailure, TracesThePassedThroughCodeAndReleasesThePartlyBuiltSection) {
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationSection_t* pSection = nullptr;
  {
    FaultScope fault(FaultPoint::DQueueOpen, GetParam(), kQueueCode);
    EXPECT_EQ(VaskInitializationSection_create(&pSection), kQueueCode);
    EXPECT_TRUE(vask::test::faultFired());
  }
  EXPECT_EQ(pSection, nullptr);
  EXPECT_EQ(trace.lines(), std::vector<std::string>{createTrace(kQueueCode)});
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(CommentThenMemberQueue, SectionCreateQueueFailure,
                         testing::Values(1U, 2U));

TEST(SectionCreate, TracesAQueueThatCannotAllocate) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationSection_t* pSection = nullptr;
  {
    // The record is the first calloc, the comment queue's record the second.
    FaultScope fault(FaultPoint::Calloc, 2, 0);
    EXPECT_EQ(VaskInitializationSection_create(&pSection), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(pSection, nullptr);
  EXPECT_EQ(trace.lines(), std::vector<std::string>{createTrace(VaskCommonError_NoMemory)});
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(SectionDelete, AcceptsANullTargetOrANullSection) {
  EXPECT_EQ(VaskInitializationSection_delete(nullptr), VaskCommonError_Success);
  VaskInitializationSection_t* pSection = nullptr;
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
}

TEST(SectionDelete, ReleasesHeaderCommentsAndMembers) {
  HeapCheck heap;
  VaskInitializationSection_t* pSection = filledSection();
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  EXPECT_EQ(pSection, nullptr);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(SectionDelete, LeavesTheSectionUnchangedWhenTheMemberQueueCannotClose) {
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationSection_t* pSection = filledSection();
  {
    const VaskInitializationSection_t before = *pSection;
    const std::vector<void*> comments = queueItems(pSection->hComment);
    const std::vector<void*> members = queueItems(pSection->hMember);
    {
      FaultScope fault(FaultPoint::DQueueClose, 1, kQueueCode);
      EXPECT_EQ(VaskInitializationSection_delete(&pSection), kQueueCode);
    }
    ASSERT_NE(pSection, nullptr);
    EXPECT_EQ(pSection->hMember, before.hMember);
    EXPECT_EQ(pSection->hComment, before.hComment);
    EXPECT_EQ(pSection->pHeader, before.pHeader);
    EXPECT_STREQ(pSection->pHeader, "name");
    EXPECT_EQ(queueItems(pSection->hComment), comments);
    EXPECT_EQ(queueItems(pSection->hMember), members);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{deleteTrace(kQueueCode)});
  }
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(SectionDelete, KeepsTheRecordWhenTheCommentQueueCannotCloseAndFinishesOnTheNextCall) {
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationSection_t* pSection = filledSection();
  const VaskCommonDQueueHandle_t hComment = pSection->hComment;
  {
    FaultScope fault(FaultPoint::DQueueClose, 2, kQueueCode);
    EXPECT_EQ(VaskInitializationSection_delete(&pSection), kQueueCode);
  }
  ASSERT_NE(pSection, nullptr);
  EXPECT_EQ(pSection->hMember, 0U);
  EXPECT_EQ(pSection->pHeader, nullptr);
  EXPECT_EQ(pSection->hComment, hComment);
  EXPECT_EQ(VaskCommonDQueue_length(pSection->hComment), 2U);
  EXPECT_EQ(trace.lines(), std::vector<std::string>{deleteTrace(kQueueCode)});
  EXPECT_EQ(VaskInitializationSection_delete(&pSection), VaskCommonError_Success);
  EXPECT_EQ(pSection, nullptr);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(SectionDelete, ServesAsTheDeleteHandlerOfAHostsSectionQueue) {
  HeapCheck heap;
  {
    vask::test::SectionQueue queue;
    for (int i = 0; i < 3; ++i) {
      void* pItem = filledSection();
      ASSERT_EQ(VaskCommonDQueue_pushBack(queue.handle(), &pItem), VaskCommonError_Success);
    }
    EXPECT_EQ(queue.length(), 3U);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

}  // namespace
