// Reader and writer handles share one lifecycle: open into 0, close back to 0.
#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_error.h>

#include "fault.h"
#include "heap.h"

namespace {

struct HandleCase {
  const char* pName;
  int (*open)(uintptr_t*);
  int (*close)(uintptr_t*);
};

void PrintTo(const HandleCase& c, std::ostream* pOut) {
  *pOut << c.pName;
}

class Handle : public testing::TestWithParam<HandleCase> {};

TEST_P(Handle, OpensIntoAZeroHandleAndClosesBackToZero) {
  vask::test::HeapCheck heap;
  uintptr_t handle = 0;
  ASSERT_EQ(GetParam().open(&handle), VaskCommonError_Success);
  EXPECT_NE(handle, 0U);
  EXPECT_EQ(GetParam().close(&handle), VaskCommonError_Success);
  EXPECT_EQ(handle, 0U);
  EXPECT_EQ(heap.leaked(), 0);
}

TEST_P(Handle, RefusesAHeldHandleOnOpenAndAZeroHandleOnClose) {
  uintptr_t handle = 0;
  ASSERT_EQ(GetParam().open(&handle), VaskCommonError_Success);
  const uintptr_t held = handle;
  EXPECT_EQ(GetParam().open(&handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(handle, held);
  EXPECT_EQ(GetParam().open(nullptr), VaskCommonError_InvalidArgument);
  EXPECT_EQ(GetParam().close(&handle), VaskCommonError_Success);
  EXPECT_EQ(GetParam().close(&handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(GetParam().close(nullptr), VaskCommonError_InvalidArgument);
}

TEST_P(Handle, ReportsAFailedAllocation) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  uintptr_t handle = 0;
  vask::test::FaultScope fault(vask::test::FaultPoint::Calloc, 1, 0);
  EXPECT_EQ(GetParam().open(&handle), VaskCommonError_NoMemory);
  EXPECT_EQ(handle, 0U);
}

INSTANTIATE_TEST_SUITE_P(ReaderAndWriter, Handle,
                         testing::Values(HandleCase{"Reader", VaskInitializationReader_open,
                                                    VaskInitializationReader_close},
                                         HandleCase{"Writer", VaskInitializationWriter_open,
                                                    VaskInitializationWriter_close}),
                         [](const testing::TestParamInfo<HandleCase>& info) {
                           return info.param.pName;
                         });

}  // namespace
