#include <gtest/gtest.h>

#include <initialization_member.h>
#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <cstring>

#include "fault.h"
#include "heap.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;
using vask::test::TraceCapture;

TEST(MemberCreate, GivesAMemberWithEveryFieldNull) {
  VaskInitializationMember_t* pMember = nullptr;
  ASSERT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_Success);
  ASSERT_NE(pMember, nullptr);
  EXPECT_EQ(pMember->pKey, nullptr);
  EXPECT_EQ(pMember->pValue, nullptr);
  EXPECT_EQ(pMember->pComment, nullptr);
  EXPECT_EQ(VaskInitializationMember_delete(&pMember), VaskCommonError_Success);
  EXPECT_EQ(pMember, nullptr);
}

TEST(MemberCreate, RefusesANullTargetOrOneThatHoldsAMember) {
  EXPECT_EQ(VaskInitializationMember_create(nullptr), VaskCommonError_InvalidArgument);
  VaskInitializationMember_t held{};
  VaskInitializationMember_t* pMember = &held;
  EXPECT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_InvalidArgument);
  EXPECT_EQ(pMember, &held);
}

TEST(MemberCreate, ReportsAFailedAllocationWithoutTracing) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  TraceCapture trace;
  HeapCheck heap;
  VaskInitializationMember_t* pMember = nullptr;
  {
    FaultScope fault(FaultPoint::Calloc, 1, 0);
    EXPECT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(pMember, nullptr);
  EXPECT_TRUE(trace.lines().empty());
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(MemberDelete, AcceptsANullTargetOrANullMember) {
  EXPECT_EQ(VaskInitializationMember_delete(nullptr), VaskCommonError_Success);
  VaskInitializationMember_t* pMember = nullptr;
  EXPECT_EQ(VaskInitializationMember_delete(&pMember), VaskCommonError_Success);
}

TEST(MemberDelete, ReleasesWhateverFieldsAreSetAndIsSafeToRepeat) {
  HeapCheck heap;
  VaskInitializationMember_t* pMember = nullptr;
  ASSERT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_Success);
  pMember->pKey = strdup("key");
  EXPECT_EQ(VaskInitializationMember_delete(&pMember), VaskCommonError_Success);
  EXPECT_EQ(pMember, nullptr);
  EXPECT_EQ(VaskInitializationMember_delete(&pMember), VaskCommonError_Success);

  ASSERT_EQ(VaskInitializationMember_create(&pMember), VaskCommonError_Success);
  pMember->pKey = strdup("k");
  pMember->pValue = strdup("v");
  pMember->pComment = strdup("# c");
  EXPECT_EQ(VaskInitializationMember_delete(&pMember), VaskCommonError_Success);
  EXPECT_EQ(heap.leaked(), 0);
}

}  // namespace
