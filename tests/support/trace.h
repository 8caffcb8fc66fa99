// Captures the trace lines written while it lives: opens a tracer on a
// temporary file, installs it as hTracer and puts the old one back at the end.
// The stream has its own fixed buffer, so tracing allocates nothing and works
// while allocations are made to fail.
#ifndef VASK_TESTS_SUPPORT_TRACE_H
#define VASK_TESTS_SUPPORT_TRACE_H

#include <vask_common_c/common_tracer.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vask::test {

class TraceCapture {
 public:
  explicit TraceCapture(VaskCommonTracerLevel_t level = VaskCommonTracerLevel_Debug);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Every line written so far, without its LF, with the source line number
  // replaced by '#': "E initialization_section.cpp:# VaskInitializationSection_create: ...".
  std::vector<std::string> lines();
  // Forgets what was written so far.
  void clear();

 private:
  char buffer_[8192];
  std::FILE* pFile_;
  long start_ = 0;
  VaskCommonTracerHandle_t handle_ = 0;
  VaskCommonTracerHandle_t previous_;
};

// The expected trace line for a failure traced at `level` ('E' or 'W').
std::string traceLine(char level, const char* pFile, const char* pFunction, int code);

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_TRACE_H
