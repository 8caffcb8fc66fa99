// Members, sections, readers and writers share one lifecycle: create (open) into a null
// target, delete (close) back to null. A section passes on its queues' failures.
#include <gtest/gtest.h>

#include <cstring>

#include "fault.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using Lines = std::vector<std::string>;

template <typename T, int (*kCreate)(T*), int (*kDelete)(T*), int kDeleteNull>
void expectLifecycle() {  // kDeleteNull: a null record is deleted (0), a 0 handle refused (13)
  vask::test::TraceCapture trace;
  vask::test::HeapCheck heap;
  T object{};
  ASSERT_EQ(kCreate(&object), 0);
  const T held = object;
  EXPECT_TRUE(kCreate(&object) == 13 && object == held && held != T{});
  EXPECT_EQ(kCreate(nullptr), 13);
  EXPECT_TRUE(kDelete(&object) == 0 && object == T{});
  EXPECT_EQ(kDelete(&object), kDeleteNull);
  EXPECT_EQ(kDelete(nullptr), kDeleteNull);
  if (vask::test::faultAllocationsAvailable()) {
    const FaultScope fault(FaultPoint::Calloc, 1, 0);
    EXPECT_TRUE(kCreate(&object) == 5 && object == T{});
  }
  EXPECT_EQ(trace.lines(), Lines{});
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(Lifecycle, OfMembersSectionsReadersAndWriters) {
  expectLifecycle<VaskInitializationMember_t*, VaskInitializationMember_create,
                  VaskInitializationMember_delete, 0>();
  expectLifecycle<VaskInitializationSection_t*, VaskInitializationSection_create,
                  VaskInitializationSection_delete, 0>();
  expectLifecycle<uintptr_t, VaskInitializationReader_open, VaskInitializationReader_close, 13>();
  expectLifecycle<uintptr_t, VaskInitializationWriter_open, VaskInitializationWriter_close, 13>();
}

TEST(Section, DeleteStopsAtAQueueThatCannotCloseAndFinishesWhenCalledAgain) {
  vask::test::TraceCapture trace;
  vask::test::HeapCheck heap;
  {
    const vask::Sections queue = vask::test::queueOf({{{"# c"}, "s", {{"a", "1"}}}});
    void* pItem = nullptr;
    ASSERT_EQ(VaskCommonDQueue_remove(queue.handle(), 0, &pItem), 0);
    auto* pSection = static_cast<VaskInitializationSection_t*>(pItem);
    const VaskInitializationSection_t before = *pSection;
    {
      const FaultScope fault(FaultPoint::DQueueClose, 1, 42);  // the member queue's
      EXPECT_EQ(VaskInitializationSection_delete(&pSection), 42);
    }
    EXPECT_EQ(std::memcmp(pSection, &before, sizeof(before)), 0);  // the section as it was
    ASSERT_EQ(VaskCommonDQueue_pushBack(queue.handle(), &pItem), 0);
    EXPECT_EQ(vask::test::dump(queue.handle()), "# c, [s], a=1");
    ASSERT_EQ(VaskCommonDQueue_remove(queue.handle(), 0, &pItem), 0);
    {
      const FaultScope fault(FaultPoint::DQueueClose, 2, 42);  // the comment queue's
      EXPECT_EQ(VaskInitializationSection_delete(&pSection), 42);
    }
    EXPECT_TRUE(pSection->hMember == 0 && pSection->pHeader == nullptr);
    EXPECT_EQ(VaskCommonDQueue_length(pSection->hComment), 1U);
    EXPECT_TRUE(VaskInitializationSection_delete(&pSection) == 0 && pSection == nullptr);
  }
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), Lines(2, vask::test::traceLine('E', "initialization_section.cpp",
                                                          "VaskInitializationSection_delete", 42)));
}

}  // namespace
