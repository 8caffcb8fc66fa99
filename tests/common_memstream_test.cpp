#include <gtest/gtest.h>

#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "fault.h"
#include "heap.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;
using vask::test::HeapCheck;

TEST(MemStream, CollectsWhatWasWrittenIntoOneTerminatedHeapText) {
  HeapCheck heap;
  VaskCommonMemStreamHandle_t handle = 0;
  VaskCommonStdioFile_t* pFile = nullptr;
  ASSERT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_Success);
  ASSERT_NE(pFile, nullptr);
  std::fprintf(pFile, "[%s]\n\n%s=%s\n", "s", "k", "v");
  char* pData = nullptr;
  size_t size = 0;
  ASSERT_EQ(VaskCommonMemStream_close(&handle, &pData, &size), VaskCommonError_Success);
  EXPECT_EQ(handle, 0U);
  EXPECT_EQ(std::string(pData, size), "[s]\n\nk=v\n");
  EXPECT_EQ(pData[size], '\0');
  std::free(pData);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(MemStream, AnEmptyStreamGivesAnEmptyTerminatedText) {
  VaskCommonMemStreamHandle_t handle = 0;
  VaskCommonStdioFile_t* pFile = nullptr;
  ASSERT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_Success);
  char* pData = nullptr;
  ASSERT_EQ(VaskCommonMemStream_close(&handle, &pData, nullptr), VaskCommonError_Success);
  ASSERT_NE(pData, nullptr);
  EXPECT_EQ(pData[0], '\0');
  std::free(pData);
}

TEST(MemStream, RefusesBadArguments) {
  VaskCommonMemStreamHandle_t handle = 0;
  VaskCommonStdioFile_t* pFile = nullptr;
  char* pData = nullptr;
  EXPECT_EQ(VaskCommonMemStream_open(nullptr, &pFile), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonMemStream_open(&handle, nullptr), VaskCommonError_InvalidArgument);
  handle = 1;
  EXPECT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_InvalidArgument);
  handle = 0;
  EXPECT_EQ(VaskCommonMemStream_close(&handle, &pData, nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonMemStream_close(nullptr, &pData, nullptr), VaskCommonError_InvalidArgument);
  ASSERT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonMemStream_close(&handle, nullptr, nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonMemStream_close(&handle, &pData, nullptr), VaskCommonError_Success);
  std::free(pData);
}

TEST(MemStream, OpenReportsAFailedAllocation) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  for (FaultPoint point : {FaultPoint::Calloc, FaultPoint::Malloc}) {
    VaskCommonMemStreamHandle_t handle = 0;
    VaskCommonStdioFile_t* pFile = nullptr;
    FaultScope fault(point, 1, 0);
    EXPECT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_NoMemory)
        << vask::test::faultPointName(point);
    EXPECT_EQ(handle, 0U);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// The text grows by realloc: the first growth while writing, then a later one,
// then the one that makes room for the closing zero byte of an empty text.
class MemStreamGrowthFailure : public testing::TestWithParam<std::pair<size_t, unsigned>> {};

TEST_P(MemStreamGrowthFailure, MakesCloseFailAndLeavesTheTargetUntouched) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  HeapCheck heap;
  {
    const std::string text(GetParam().first, 'x');
    VaskCommonMemStreamHandle_t handle = 0;
    VaskCommonStdioFile_t* pFile = nullptr;
    ASSERT_EQ(VaskCommonMemStream_open(&handle, &pFile), VaskCommonError_Success);
    char* pData = nullptr;
    {
      FaultScope fault(FaultPoint::Realloc, GetParam().second, 0);
      for (size_t i = 0; i < text.size(); i += 100) {  // many small writes, as the writer makes
        std::fwrite(text.data() + i, 1, std::min<size_t>(100, text.size() - i), pFile);
      }
      EXPECT_EQ(VaskCommonMemStream_close(&handle, &pData, nullptr), VaskCommonError_NoMemory);
      EXPECT_TRUE(vask::test::faultFired());
    }
    EXPECT_EQ(handle, 0U);
    EXPECT_EQ(pData, nullptr);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(FirstLaterAndClosing, MemStreamGrowthFailure,
                         testing::Values(std::make_pair(size_t{100000}, 1U),
                                         std::make_pair(size_t{100000}, 2U),
                                         std::make_pair(size_t{0}, 1U)));

}  // namespace
