// Records and handles: members, sections, readers and writers share one lifecycle, and
// every entry point refuses what it must not take. (The fault sweep deletes sections whose
// queues fail to close.)
#include <gtest/gtest.h>

#include <vask_common_c/common_memstream.h>

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

}  // namespace
