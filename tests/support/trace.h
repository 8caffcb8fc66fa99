// Captures the trace lines written while it lives: a tracer on a stream into a buffer of
// its own is installed as hTracer (the old one is put back at the end). Tracing then
// allocates nothing, so it goes on while allocations fail.
#ifndef VASK_TESTS_SUPPORT_TRACE_H
#define VASK_TESTS_SUPPORT_TRACE_H

#include <vask_common_c/common_tracer.h>

#include <string>
#include <vector>

namespace vask::test {

class TraceCapture {
 public:
  explicit TraceCapture(VaskCommonTracerLevel_t level = VaskCommonTracerLevel_Debug);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  // The lines so far, without LF, the source line number shown as '#':
  // "E initialization_section.cpp:# VaskInitializationSection_create: out of memory(5)".
  std::vector<std::string> lines() const;

 private:
  char buffer_[65536];
  FILE* pFile_;
  VaskCommonTracerHandle_t handle_ = 0;
  VaskCommonTracerHandle_t previous_ = hTracer;
};

// The line expected for a failure traced at `level` ('E' or 'W').
std::string traceLine(char level, const char* pFile, const char* pFunction, int code);

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_TRACE_H
