#include <gtest/gtest.h>

#include <vask_common_c/common_dqueue.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <random>
#include <thread>
#include <vector>

#include "fault.h"
#include "heap.h"

namespace {

std::vector<uintptr_t> gReleased;

int recordRelease(void** ppData) {
  gReleased.push_back(reinterpret_cast<uintptr_t>(*ppData));
  return 7;  // a failing handler does not stop the close
}

VaskCommonDQueueHandle_t openQueue(bool isThreadSafe) {
  const VaskCommonDQueueOpenParam_t param{recordRelease, isThreadSafe};
  VaskCommonDQueueHandle_t handle = 0;
  EXPECT_EQ(VaskCommonDQueue_open(&param, &handle), 0);
  return handle;
}

// Pushes `value` (pops the front instead for 0); the queue's code.
int push(VaskCommonDQueueHandle_t handle, uintptr_t value) {
  void* pItem = reinterpret_cast<void*>(value);
  return value != 0 ? VaskCommonDQueue_pushBack(handle, &pItem)
                    : VaskCommonDQueue_popFront(handle, &pItem);
}

// The items front to back, read with _at.
std::vector<uintptr_t> items(VaskCommonDQueueHandle_t handle) {
  std::vector<uintptr_t> all(VaskCommonDQueue_length(handle));
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(VaskCommonDQueue_at(handle, i, reinterpret_cast<void**>(&all[i])), 0);
  }
  return all;
}

// Inserts, pushes and removals at random positions, checked against std::deque
// after each: rings of every fill and front position, growing while wrapped.
TEST(DQueue, AtInsertAndRemoveMatchADequeOnAWrappedRing) {
  std::mt19937 random(15);
  std::deque<uintptr_t> model;
  VaskCommonDQueueHandle_t handle = openQueue(false);
  for (uintptr_t next = 1; next < 20000; ++next) {
    const size_t index = random() % (model.size() + 1);
    void* pItem = reinterpret_cast<void*>(next);
    const unsigned operation = random() % (model.size() < 40 ? 4 : 6);
    if (operation < 2) {
      ASSERT_EQ(
          operation == 0 ? VaskCommonDQueue_insert(handle, index, &pItem) : push(handle, next), 0);
      model.insert(operation == 0 ? model.begin() + static_cast<long>(index) : model.end(), next);
    } else if (index < model.size()) {
      ASSERT_EQ(VaskCommonDQueue_remove(handle, index, &pItem), 0);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(pItem), model[index]);
      model.erase(model.begin() + static_cast<long>(index));
    }
    ASSERT_EQ(items(handle), std::vector<uintptr_t>(model.begin(), model.end())) << next;
  }
  gReleased.clear();
  EXPECT_EQ(VaskCommonDQueue_close(&handle), 0);
  EXPECT_EQ(gReleased, std::vector<uintptr_t>(model.begin(), model.end()));  // front first
}

// A full ring whose front is near the end of its array grows while wrapped; a
// growth or an open that fails, and an index past the end, change nothing. A
// thread-safe queue leaves nothing behind, its lock included.
TEST(DQueue, GrowsWhileWrappedAndFailsWithoutChanges) {
  gReleased.clear();
  gReleased.reserve(16);
  const vask::test::HeapCheck heap;
  VaskCommonDQueueHandle_t handle = openQueue(true);
  EXPECT_EQ(push(handle, 0), 13);  // nothing to pop
  for (uintptr_t value : {9, 9, 9, 9, 9, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}) {
    ASSERT_EQ(push(handle, value), 0);  // then 1 to 8 fill the 8 slots from slot 5
  }
  void* pItem = reinterpret_cast<void*>(9);
  const bool isFailing = vask::test::faultAllocationsAvailable();
  if (isFailing) {
    const vask::test::FaultScope fault(vask::test::FaultPoint::Malloc, 1, 0);
    EXPECT_EQ(VaskCommonDQueue_insert(handle, 1, &pItem), 5);
    EXPECT_EQ(items(handle), (std::vector<uintptr_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  }
  ASSERT_EQ(VaskCommonDQueue_insert(handle, 6, &pItem), 0);
  EXPECT_EQ(
      std::vector<int>(
          {VaskCommonDQueue_at(handle, 9, &pItem), VaskCommonDQueue_insert(handle, 10, &pItem),
           VaskCommonDQueue_remove(handle, 9, &pItem), VaskCommonDQueue_remove(handle, 0, nullptr),
           VaskCommonDQueue_popFront(handle, nullptr), VaskCommonDQueue_popFront(0, &pItem),
           VaskCommonDQueue_pushBack(handle, nullptr), VaskCommonDQueue_pushBack(0, &pItem),
           VaskCommonDQueue_close(nullptr)}),
      std::vector<int>(9, 13));
  EXPECT_EQ(pItem, reinterpret_cast<void*>(9));
  EXPECT_EQ(items(handle), (std::vector<uintptr_t>{1, 2, 3, 4, 5, 6, 9, 7, 8}));
  EXPECT_EQ(VaskCommonDQueue_close(&handle) | VaskCommonDQueue_close(&handle) | handle, 0U);
  EXPECT_EQ(gReleased, (std::vector<uintptr_t>{1, 2, 3, 4, 5, 6, 9, 7, 8}));
  const VaskCommonDQueueOpenParam_t kThreadSafe{nullptr, true};
  for (unsigned nth = 1; nth <= 2 && isFailing; ++nth) {  // the record, then the lock
    const vask::test::FaultScope fault(vask::test::FaultPoint::Calloc, nth, 0);
    EXPECT_EQ(VaskCommonDQueue_open(&kThreadSafe, &handle) + handle, 5U);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// The user-data slot answers only the owner that filled it; a null pData empties it,
// and close leaves the data alone.
TEST(DQueue, KeepsUserDataForItsOwnerOnly) {
  VaskCommonDQueueHandle_t handle = openQueue(false);
  int owner = 0, other = 0, data = 0;
  void* pSeen[4] = {&data, &data, &data, &data};
  EXPECT_EQ(VaskCommonDQueue_userData(handle, &owner, &pSeen[0]), 0);  // empty at first
  EXPECT_EQ(VaskCommonDQueue_setUserData(handle, &owner, &data) |
                VaskCommonDQueue_userData(handle, &owner, &pSeen[1]) |
                VaskCommonDQueue_userData(handle, &other, &pSeen[2]) |
                VaskCommonDQueue_setUserData(handle, &owner, nullptr) |
                VaskCommonDQueue_userData(handle, nullptr, &pSeen[3]),
            0);
  EXPECT_EQ(std::vector<void*>(pSeen, pSeen + 4),
            (std::vector<void*>{nullptr, &data, nullptr, nullptr}));
  EXPECT_EQ(VaskCommonDQueue_setUserData(0, &owner, &data) +
                VaskCommonDQueue_userData(handle, &owner, nullptr),
            26);
  gReleased.clear();
  EXPECT_EQ(VaskCommonDQueue_setUserData(handle, &owner, &data) | VaskCommonDQueue_close(&handle),
            0);
  EXPECT_TRUE(gReleased.empty());
}

// Four threads push and pop at once: every item comes out exactly once.
TEST(DQueue, ThreadSafeQueueHandsEveryItemOutOnce) {
  constexpr uintptr_t kPerThread = 500000;
  VaskCommonDQueueHandle_t handle = openQueue(true);
  std::vector<std::atomic<int>> seen(4 * kPerThread + 1);
  std::atomic<int> waiting{4};
  auto work = [handle, &seen, &waiting](uintptr_t first) {
    for (--waiting; waiting > 0;) {  // all start together
      std::this_thread::yield();
    }
    for (uintptr_t i = first; i < first + kPerThread; ++i) {
      void* pItem = nullptr;
      if ((push(handle, i) | VaskCommonDQueue_popFront(handle, &pItem)) == 0) {
        ++seen.at(reinterpret_cast<uintptr_t>(pItem));
      }
    }
  };
  std::thread threads[] = {std::thread(work, 1), std::thread(work, 1 + kPerThread),
                           std::thread(work, 1 + 2 * kPerThread),
                           std::thread(work, 1 + 3 * kPerThread)};
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (uintptr_t value : items(handle)) {
    ++seen.at(value);
  }
  EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), 4 * kPerThread);
  EXPECT_EQ(VaskCommonDQueue_close(&handle), 0);
}

}  // namespace
