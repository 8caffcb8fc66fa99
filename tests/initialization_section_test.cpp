// Records and handles: members, sections, readers and writers share one lifecycle, and
// every entry point refuses what it must not take; a section passes on its queues' failures.
#include <gtest/gtest.h>

#include <vask_common_c/common_memstream.h>

#include <cstring>

#include "fault.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using Lines = std::vector<std::string>;

// Create (open) into a null target, delete (close) back to null; kNull: what deleting a
// null record gives (0), or closing a 0 handle (13).
template <typename T, int (*kCreate)(T*), int (*kDelete)(T*), int kNull>
void expectLifecycle() {
  const vask::test::HeapCheck heap;
  T object{};
  ASSERT_EQ(kCreate(&object), 0);
  const T held = object;
  EXPECT_TRUE(kCreate(&object) == 13 && object == held && held != T{} && kCreate(nullptr) == 13);
  EXPECT_TRUE(kDelete(&object) == 0 && object == T{});
  EXPECT_TRUE(kDelete(&object) == kNull && kDelete(nullptr) == kNull);
  if (vask::test::faultAllocationsAvailable()) {
    const FaultScope fault(FaultPoint::Calloc, 1, 0);
    EXPECT_TRUE(kCreate(&object) == 5 && object == T{});
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(Records, ShareOneLifecycleAndRefuseBadArgumentsWithoutTracingOrMakingAnything) {
  const vask::test::TraceCapture trace;
  expectLifecycle<VaskInitializationMember_t*, VaskInitializationMember_create,
                  VaskInitializationMember_delete, 0>();
  expectLifecycle<VaskInitializationSection_t*, VaskInitializationSection_create,
                  VaskInitializationSection_delete, 0>();
  expectLifecycle<uintptr_t, VaskInitializationReader_open, VaskInitializationReader_close, 13>();
  expectLifecycle<uintptr_t, VaskInitializationWriter_open, VaskInitializationWriter_close, 13>();
  const vask::Sections queue = vask::test::queueOf();
  vask::Reader reader;
  vask::Writer writer;
  ASSERT_EQ(reader.open() | writer.open(), 0);
  const auto hReader = reader.handle();
  const auto hWriter = writer.handle();
  const auto hQueue = queue.handle();
  char text[] = "k=v";
  VaskCommonBuffer_t filled{text, 0, 3, nullptr, false};
  VaskCommonBuffer_t empty{};
  VaskCommonMemStreamHandle_t hStream = 0;
  FILE* pFile = nullptr;
  char* pData = nullptr;
  const FaultScope fault(FaultPoint::BufferCreate, 1, 42);  // a buffer made here fails
  const int results[] = {VaskInitializationReader_parse(0, &filled, hQueue),
                         VaskInitializationReader_parse(hReader, nullptr, hQueue),
                         VaskInitializationReader_parse(hReader, &empty, hQueue),  // no text
                         VaskInitializationReader_parse(hReader, &filled, 0),
                         VaskInitializationReader_load(0, "a.ini", hQueue),
                         VaskInitializationReader_load(hReader, nullptr, hQueue),
                         VaskInitializationReader_load(hReader, "a.ini", 0),
                         VaskInitializationWriter_serialize(0, hQueue, &empty),
                         VaskInitializationWriter_serialize(hWriter, 0, &empty),
                         VaskInitializationWriter_serialize(hWriter, hQueue, nullptr),
                         VaskInitializationWriter_serialize(hWriter, hQueue, &filled),
                         VaskInitializationWriter_save(0, "a.ini", hQueue),
                         VaskInitializationWriter_save(hWriter, nullptr, hQueue),
                         VaskInitializationWriter_save(hWriter, "", hQueue),
                         VaskInitializationWriter_save(hWriter, "a.ini", 0),
                         VaskCommonMemStream_open(nullptr, &pFile),
                         VaskCommonMemStream_open(&hStream, nullptr),
                         VaskCommonMemStream_close(&hStream, &pData, nullptr),
                         VaskCommonMemStream_close(nullptr, &pData, nullptr)};
  for (size_t i = 0; i < std::size(results); ++i) {
    EXPECT_EQ(results[i], 13) << "call " << i;
  }
  EXPECT_TRUE(filled.pBegin == text && filled.size == 3 && empty.pBegin == nullptr);
  EXPECT_TRUE(VaskCommonDQueue_length(hQueue) == 0 && !vask::test::faultFired());
  EXPECT_EQ(trace.lines(), Lines{});
}

// A failed member-queue close leaves the section as it was; after a failed comment-queue
// close a second delete finishes the release.
TEST(Section, DeleteStopsAtAQueueThatCannotCloseAndFinishesWhenCalledAgain) {
  const vask::test::TraceCapture trace;
  const vask::test::HeapCheck heap;
  {
    const vask::Sections queue = vask::test::queueOf({{{"# c"}, "s", {{"a", "1"}}}});
    void* pItem = nullptr;
    ASSERT_EQ(VaskCommonDQueue_remove(queue.handle(), 0, &pItem), 0);
    auto* pSection = static_cast<VaskInitializationSection_t*>(pItem);
    const VaskInitializationSection_t before = *pSection;
    for (unsigned nth : {1U, 2U}) {  // the member queue's close, then the comment queue's
      const FaultScope fault(FaultPoint::DQueueClose, nth, 42);
      EXPECT_EQ(VaskInitializationSection_delete(&pSection), 42);
      EXPECT_TRUE(nth == 2 || std::memcmp(pSection, &before, sizeof(before)) == 0);
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
