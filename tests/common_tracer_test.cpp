#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <set>
#include <sstream>
#include <thread>

#include "folder.h"

namespace {

TEST(Tracer, WritesPrefixesAtOrAboveItsLevelUntilClosed) {
  char* pData = nullptr;
  size_t size = 0;
  std::FILE* pFile = open_memstream(&pData, &size);
  const VaskCommonTracerOpenParam_t param{pFile, VaskCommonTracerLevel_Warning},
      noFile{nullptr, VaskCommonTracerLevel_Error}, noLevel{pFile, VaskCommonTracerLevel_Sum};
  VaskCommonTracerHandle_t handle = 0, taken = 1, other = 0;
  ASSERT_EQ(VaskCommonTracer_open(&param, &handle), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonTracer_file(handle), pFile);
  // clang-format off
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Error, "/s/a.cpp", 57, "f"), 0);
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Warning, "w.cpp", 3, nullptr), 0);
  EXPECT_EQ(VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Info, "i.cpp", 1, "f"), VaskCommonError_NotEnabled);
  for (const int code : {VaskCommonTracer_prefixSet(handle, VaskCommonTracerLevel_Sum, "s.cpp", 1, "f"),
                         VaskCommonTracer_prefixSet(0, VaskCommonTracerLevel_Error, "z.cpp", 1, "f"),
                         VaskCommonTracer_open(&noFile, &other), VaskCommonTracer_open(&noLevel, &other),
                         VaskCommonTracer_open(&param, &taken), VaskCommonTracer_open(nullptr, &other),
                         VaskCommonTracer_open(&param, nullptr), VaskCommonTracer_close(nullptr)}) {
    EXPECT_EQ(code, VaskCommonError_InvalidArgument);
  }
  // clang-format on
  EXPECT_EQ(VaskCommonTracer_close(&handle), VaskCommonError_Success);
  EXPECT_EQ(VaskCommonTracer_close(&handle), VaskCommonError_InvalidArgument);
  EXPECT_EQ(handle | other, 0U);
  (void)std::fclose(pFile);
  EXPECT_EQ(std::string(pData, size), "E a.cpp:57 f: W w.cpp:3 ?: ");
  EXPECT_STREQ(VaskCommonError_text(VaskCommonError_NotRegularFile), "not a regular file");
  std::free(pData);
}

// Parses a bad text `count` times with a reader of its own: three trace lines each.
void parseBadly(int count) {
  VaskInitializationReaderHandle_t reader = 0;
  VaskCommonDQueueHandle_t queue = 0;
  VaskCommonDQueueOpenParam_t param{nullptr, false};
  EXPECT_EQ(VaskInitializationReader_open(&reader) | VaskCommonDQueue_open(&param, &queue), 0);
  for (int i = 0; i < count; ++i) {
    char text[] = "noequals\n";
    VaskCommonBuffer_t buffer{text, 0, sizeof(text) - 1, nullptr, false};
    EXPECT_EQ(VaskInitializationReader_parse(reader, &buffer, queue), 13);
  }
  EXPECT_EQ(VaskCommonDQueue_close(&queue) | VaskInitializationReader_close(&reader), 0);
}

// Four threads, each with its own reader, trace failures at once: every line arrives
// whole, as one of the three lines a single parse writes.
TEST(Tracer, LinesFromManyThreadsStayWhole) {
  constexpr int kThreads = 4, kParses = 15000;
  vask::test::TempFolder folder;
  std::FILE* pFile = std::fopen(folder.path("trace").c_str(), "w");
  static char buffer[8192];  // the stream's own: writing allocates nothing
  ASSERT_EQ(std::setvbuf(pFile, buffer, _IOFBF, sizeof(buffer)), 0);
  const VaskCommonTracerOpenParam_t param{pFile, VaskCommonTracerLevel_Error};
  ASSERT_EQ(VaskCommonTracer_open(&param, &hTracer), VaskCommonError_Success);
  parseBadly(1);
  (void)std::fflush(pFile);
  std::set<std::string> whole;
  std::istringstream first(folder.read("trace"));
  for (std::string line; std::getline(first, line);) {
    whole.insert(line);
  }
  std::vector<std::thread> threads(kThreads);
  for (std::thread& thread : threads) {
    thread = std::thread(parseBadly, kParses);
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(VaskCommonTracer_close(&hTracer), VaskCommonError_Success);
  (void)std::fclose(pFile);
  std::istringstream all(folder.read("trace"));
  size_t count = 0;
  for (std::string line; std::getline(all, line); ++count) {
    ASSERT_EQ(whole.count(line), 1U) << line;
  }
  EXPECT_EQ(whole.size(), 3U);  // the member, the section and the parse
  EXPECT_EQ(count, 3U * (1 + kThreads * kParses));
}

}  // namespace
