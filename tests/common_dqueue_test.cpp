#include <gtest/gtest.h>

#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "fault.h"
#include "heap.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;

std::vector<uintptr_t> gReleased;

int recordRelease(void** ppData) {
  gReleased.push_back(reinterpret_cast<uintptr_t>(*ppData));
  *ppData = nullptr;
  return 7;  // a failing handler does not stop the close
}

VaskCommonDQueueHandle_t openQueue(VaskCommonDQueueDeleteDataHandler_t pHandler = nullptr,
                                   bool isThreadSafe = false) {
  VaskCommonDQueueOpenParam_t param{pHandler, isThreadSafe};
  VaskCommonDQueueHandle_t handle = 0;
  EXPECT_EQ(VaskCommonDQueue_open(&param, &handle), VaskCommonError_Success);
  return handle;
}

void push(VaskCommonDQueueHandle_t handle, uintptr_t value) {
  void* pItem = reinterpret_cast<void*>(value);
  ASSERT_EQ(VaskCommonDQueue_pushBack(handle, &pItem), VaskCommonError_Success);
}

uintptr_t pop(VaskCommonDQueueHandle_t handle) {
  void* pItem = nullptr;
  EXPECT_EQ(VaskCommonDQueue_popFront(handle, &pItem), VaskCommonError_Success);
  return reinterpret_cast<uintptr_t>(pItem);
}

TEST(DQueue, KeepsItemsInOrderAcrossGrowthAndWrapAround) {
  HeapCheck heap;
  VaskCommonDQueueHandle_t handle = openQueue();
  uintptr_t next = 1;
  uintptr_t expected = 1;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 3; ++i) {
      push(handle, next++);
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(pop(handle), expected++);
    }
  }
  EXPECT_EQ(VaskCommonDQueue_length(handle), 50U);
  while (VaskCommonDQueue_length(handle) > 0) {
    EXPECT_EQ(pop(handle), expected++);
  }
  EXPECT_EQ(expected, next);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(handle, 0U);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(DQueue, CloseHandsEveryQueuedItemToTheHandlerFrontFirst) {
  gReleased.clear();
  VaskCommonDQueueHandle_t handle = openQueue(recordRelease);
  for (uintptr_t i = 1; i <= 6; ++i) {
    push(handle, i);
  }
  EXPECT_EQ(pop(handle), 1U);
  push(handle, 7);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(gReleased, (std::vector<uintptr_t>{2, 3, 4, 5, 6, 7}));
}

TEST(DQueue, RefusesBadArgumentsAndAnEmptyPop) {
  VaskCommonDQueueOpenParam_t param{};
  VaskCommonDQueueHandle_t handle = 0;
  EXPECT_EQ(VaskCommonDQueue_open(nullptr, &handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonDQueue_open(&param, nullptr), VaskCommonError_InvalidArgument);
  handle = 1;
  EXPECT_EQ(VaskCommonDQueue_open(&param, &handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(handle, 1U);
  handle = 0;
  EXPECT_EQ(VaskCommonDQueue_close(nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonDQueue_length(0), 0U);
  void* pItem = nullptr;
  EXPECT_EQ(VaskCommonDQueue_pushBack(0, &pItem), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonDQueue_popFront(0, &pItem), VaskCommonError_InvalidArgument);

  handle = openQueue();
  EXPECT_EQ(VaskCommonDQueue_pushBack(handle, nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonDQueue_popFront(handle, nullptr), VaskCommonError_InvalidArgument);
  pItem = &param;
  EXPECT_EQ(VaskCommonDQueue_popFront(handle, &pItem), VaskCommonError_InvalidArgument);
  EXPECT_EQ(pItem, &param);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
}

TEST(DQueue, OpenReportsAFailedAllocation) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  VaskCommonDQueueOpenParam_t param{nullptr, true};
  for (unsigned nth = 1; nth <= 2; ++nth) {  // the record, then the lock
    VaskCommonDQueueHandle_t handle = 0;
    FaultScope fault(FaultPoint::Calloc, nth, 0);
    EXPECT_EQ(VaskCommonDQueue_open(&param, &handle), VaskCommonError_NoMemory);
    EXPECT_EQ(handle, 0U);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(DQueue, PushThatCannotGrowLeavesTheQueueAndTheItemWithTheCaller) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  VaskCommonDQueueHandle_t handle = openQueue();
  for (uintptr_t i = 1; i <= 4; ++i) {
    push(handle, i);
  }
  void* pItem = reinterpret_cast<void*>(uintptr_t{5});
  {
    FaultScope fault(FaultPoint::Malloc, 1, 0);
    EXPECT_EQ(VaskCommonDQueue_pushBack(handle, &pItem), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(pItem, reinterpret_cast<void*>(uintptr_t{5}));
  EXPECT_EQ(VaskCommonDQueue_length(handle), 4U);
  for (uintptr_t i = 1; i <= 4; ++i) {
    EXPECT_EQ(pop(handle), i);
  }
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(DQueue, ThreadSafeQueueLosesNothingUnderConcurrentUse) {
  VaskCommonDQueueHandle_t handle = openQueue(nullptr, true);
  constexpr int kPerThread = 20000;
  auto producer = [handle](uintptr_t base) {
    for (int i = 0; i < kPerThread; ++i) {
      void* pItem = reinterpret_cast<void*>(base + static_cast<uintptr_t>(i));
      EXPECT_EQ(VaskCommonDQueue_pushBack(handle, &pItem), VaskCommonError_Success);
    }
  };
  std::thread first(producer, uintptr_t{1});
  std::thread second(producer, uintptr_t{1000001});
  first.join();
  second.join();
  EXPECT_EQ(VaskCommonDQueue_length(handle), 2U * kPerThread);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), VaskCommonError_Success);
}

}  // namespace
