#include <gtest/gtest.h>

#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <cstdlib>
#include <string>

#include "fault.h"
#include "heap.h"

namespace {

using vask::test::FaultPoint;
using vask::test::FaultScope;

// A tracer writing into a memory text.
class TracerTest : public testing::Test {
 protected:
  void SetUp() override {
    pFile_ = open_memstream(&pData_, &size_);
    ASSERT_NE(pFile_, nullptr);
  }
  void TearDown() override {
    std::fclose(pFile_);
    std::free(pData_);
  }
  std::string text() {
    std::fflush(pFile_);
    return std::string(pData_, size_);
  }
  VaskCommonTracerHandle_t open(VaskCommonTracerLevel_t level) {
    const VaskCommonTracerOpenParam_t param{pFile_, level};
    VaskCommonTracerHandle_t handle = 0;
    EXPECT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_Success);
    return handle;
  }

  std::FILE* pFile_ = nullptr;
  char* pData_ = nullptr;
  size_t size_ = 0;
};

TEST_F(TracerTest, WritesThePrefixWithLevelBaseNameLineAndFunction) {
  VaskCommonTracerHandle_t handle = open(VaskCommonTracerLevel_Warning);
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Error,
                                       "/src/vask/initialization_section.cpp", 57,
                                       "VaskInitializationSection_create"),
            VaskCommonError_Success);
  std::fputs("body\n", VaskCommonTracer_file(handle));
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Warning, "w.cpp", 3, "f"),
            VaskCommonError_Success);
  EXPECT_EQ(
      text(),
      "E initialization_section.cpp:57 VaskInitializationSection_create: body\nW w.cpp:3 f: ");
  EXPECT_EQ(VaskCommonTracer_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(handle, 0U);
}

TEST_F(TracerTest, WritesNothingBelowItsLevelOrWithoutATracer) {
  VaskCommonTracerHandle_t handle = open(VaskCommonTracerLevel_Error);
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Warning, "f.cpp", 1, "f"),
            VaskCommonError_NotEnabled);
  EXPECT_EQ(VaskCommonTracer_prefixSet(0, VaskCommonTracerLevel_Error, "f.cpp", 1, "f"),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Sum, "f.cpp", 1, "f"),
            VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonTracer_file(0), nullptr);
  EXPECT_EQ(text(), "");
  EXPECT_EQ(VaskCommonTracer_close(&handle), VaskCommonError_Success);
}

TEST_F(TracerTest, RefusesBadArguments) {
  VaskCommonTracerHandle_t handle = 0;
  VaskCommonTracerOpenParam_t param{nullptr, VaskCommonTracerLevel_Error};
  EXPECT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_InvalidArgument);
  param.pFile = pFile_;
  param.level = VaskCommonTracerLevel_Sum;
  EXPECT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_InvalidArgument);
  param.level = VaskCommonTracerLevel_Error;
  EXPECT_EQ(VaskCommonTracer_open(nullptr, &handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonTracer_open(&param, nullptr), VaskCommonError_InvalidArgument);
  handle = 1;
  EXPECT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_InvalidArgument);
  handle = 0;
  EXPECT_EQ(VaskCommonTracer_close(&handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(VaskCommonTracer_close(nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(hTracer, 0U);
}

TEST_F(TracerTest, OpenReportsAFailedAllocation) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  vask::test::HeapCheck heap;
  const VaskCommonTracerOpenParam_t param{pFile_, VaskCommonTracerLevel_Error};
  VaskCommonTracerHandle_t handle = 0;
  {
    FaultScope fault(FaultPoint::Calloc, 1, 0);
    EXPECT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_NoMemory);
  }
  EXPECT_EQ(handle, 0U);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(ErrorText, NamesEveryCodeAndHasAFallback) {
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_Success), "success");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_NoMemory), "out of memory");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_InvalidArgument), "invalid argument");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_Continue), "continue");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_NotFound), "no such file or folder");
  EXPECT_STREQ(VaskCommonError_text(-1), "unknown error");
  EXPECT_STREQ(VaskCommonError_text(42), "unknown error");
  EXPECT_EQ(VaskCommonError_Success, 0);
  EXPECT_EQ(VaskCommonError_NoMemory, 5);
  EXPECT_EQ(VaskCommonError_InvalidArgument, 13);
  EXPECT_EQ(VaskCommonError_Continue, 14);
}

}  // namespace
