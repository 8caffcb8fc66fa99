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
  const auto hR = reader.handle();
  const auto hW = writer.handle();
  const auto hQ = queue.handle();
  char text[] = "k=v";
  VaskCommonBuffer_t filled{text, 0, 3, nullptr, false};
  VaskCommonBuffer_t empty{};
  VaskCommonMemStreamHandle_t hStream = 0;
  FILE* pFile = nullptr;
  char* pData = nullptr;
  const FaultScope fault(FaultPoint::BufferCreate, 1, 42);  // a buffer made here fails
  // Null arguments, a buffer without text to parse, a buffer with text to serialize into.
  const std::vector<int> results = {VaskInitializationReader_parse(0, &filled, hQ),
                                    VaskInitializationReader_parse(hR, nullptr, hQ),
                                    VaskInitializationReader_parse(hR, &empty, hQ),
                                    VaskInitializationReader_parse(hR, &filled, 0),
                                    VaskInitializationReader_load(0, "a", hQ),
                                    VaskInitializationReader_load(hR, nullptr, hQ),
                                    VaskInitializationReader_load(hR, "a", 0),
                                    VaskInitializationWriter_serialize(0, hQ, &empty),
                                    VaskInitializationWriter_serialize(hW, 0, &empty),
                                    VaskInitializationWriter_serialize(hW, hQ, nullptr),
                                    VaskInitializationWriter_serialize(hW, hQ, &filled),
                                    VaskInitializationWriter_save(0, "a", hQ),
                                    VaskInitializationWriter_save(hW, nullptr, hQ),
                                    VaskInitializationWriter_save(hW, "", hQ),
                                    VaskInitializationWriter_save(hW, "a", 0),
                                    VaskCommonMemStream_open(nullptr, &pFile),
                                    VaskCommonMemStream_open(&hStream, nullptr),
                                    VaskCommonMemStream_close(&hStream, &pData, nullptr),
                                    VaskCommonMemStream_close(nullptr, &pData, nullptr)};
  EXPECT_EQ(results, std::vector<int>(results.size(), 13));
  EXPECT_TRUE(filled.pBegin == text && filled.size == 3 && empty.pBegin == nullptr);
  EXPECT_TRUE(VaskCommonDQueue_length(hQ) == 0 && !vask::test::faultFired());
  EXPECT_EQ(trace.lines(), Lines{});
}

// A failed member-queue close leaves the section as it was; after a failed comment-queue
// close a second delete finishes the release.
TEST(Section, DeleteStopsAtAQueueThatCannotCloseAndFinishesWhenCalledAgain) {
  const vask::test::TraceCapture trace;
  const vask::test::HeapCheck heap;
  VaskInitializationSection_t* pSection = nullptr;
  void* pComment = strdup("# c");
  ASSERT_EQ(VaskInitializationSection_create(&pSection), 0);
  ASSERT_EQ(VaskCommonDQueue_pushBack(pSection->hComment, &pComment), 0);
  pSection->pHeader = strdup("s");
  const VaskInitializationSection_t before = *pSection;
  for (unsigned nth : {1U, 2U}) {  // the member queue's close, then the comment queue's
    const FaultScope fault(FaultPoint::DQueueClose, nth, 42);
    EXPECT_EQ(VaskInitializationSection_delete(&pSection), 42);
    EXPECT_TRUE(nth == 2 || (std::memcmp(pSection, &before, sizeof(before)) == 0 &&
                             std::strcmp(pSection->pHeader, "s") == 0));
  }
  EXPECT_TRUE(pSection->hMember == 0 && pSection->pHeader == nullptr);
  EXPECT_EQ(VaskCommonDQueue_length(pSection->hComment), 1U);
  EXPECT_TRUE(VaskInitializationSection_delete(&pSection) == 0 && pSection == nullptr);
  EXPECT_EQ(heap.leaked(), 0);
  EXPECT_EQ(trace.lines(), Lines(2, vask::test::traceLine('E', "initialization_section.cpp",
                                                          "VaskInitializationSection_delete", 42)));
}

}  // namespace
