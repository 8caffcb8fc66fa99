// The memory stream; the writer's tests and the fault sweep (its growth failing) go further.
#include <gtest/gtest.h>

#include <vask_common_c/common_memstream.h>

#include "heap.h"

TEST(MemStream, GivesBackWhatWasWrittenAsOneTerminatedHeapTextAndRefusesBadArguments) {
  vask::test::HeapCheck heap;
  VaskCommonMemStreamHandle_t handle = 0;
  FILE* pFile = nullptr;
  char* pData = nullptr;
  size_t size = 1;
  EXPECT_EQ(VaskCommonMemStream_open(nullptr, &pFile), 13);
  EXPECT_EQ(VaskCommonMemStream_open(&handle, nullptr), 13);
  EXPECT_EQ(VaskCommonMemStream_close(&handle, &pData, nullptr), 13);
  EXPECT_EQ(VaskCommonMemStream_close(nullptr, &pData, nullptr), 13);
  for (const std::string& text : {std::string(), std::string(100000, 'x')}) {
    ASSERT_EQ(VaskCommonMemStream_open(&handle, &pFile), 0);
    const VaskCommonMemStreamHandle_t held = handle;
    EXPECT_EQ(VaskCommonMemStream_open(&handle, &pFile), 13);
    EXPECT_EQ(VaskCommonMemStream_close(&handle, nullptr, nullptr), 13);
    EXPECT_EQ(handle, held);
    for (size_t i = 0; i < text.size(); i += 100) {  // in pieces, as the writer writes
      std::fwrite(text.data() + i, 1, 100, pFile);
    }
    ASSERT_EQ(VaskCommonMemStream_close(&handle, &pData, &size), 0);
    EXPECT_EQ(std::string(pData, size + 1), text + '\0');
    EXPECT_EQ(handle, 0U);
    std::free(pData);
  }
  EXPECT_EQ(heap.leaked(), 0);
}
