// Captures the trace lines written while it lives, through a tracer installed as hTracer on
// a stream into a buffer of its own: tracing allocates nothing, so it goes on while
// allocations fail.
#ifndef VASK_TESTS_SUPPORT_TRACE_H
#define VASK_TESTS_SUPPORT_TRACE_H

#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace vask::test {

class TraceCapture {
 public:
  explicit TraceCapture(VaskCommonTracerLevel_t level = VaskCommonTracerLevel_Debug) {
    const VaskCommonTracerOpenParam_t param{pFile_, level};
    (void)setvbuf(pFile_, nullptr, _IONBF, 0);  // each line goes to the buffer at once
    (void)VaskCommonTracer_open(&param, &handle_);
    hTracer = handle_;
  }
  ~TraceCapture() {
    hTracer = previous_;
    (void)VaskCommonTracer_close(&handle_);
    (void)fclose(pFile_);
  }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // The lines so far, the source line number shown as '#': "E file.cpp:# function: text(5)".
  std::vector<std::string> lines() const {
    std::istringstream in(std::string(buffer_, ftell(pFile_)));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
      result.push_back(std::regex_replace(line, std::regex("^([^:]*):[0-9]+ "), "$1:# "));
    }
    return result;
  }

 private:
  char buffer_[65536];
  FILE* pFile_ = fmemopen(buffer_, sizeof(buffer_), "w");
  VaskCommonTracerHandle_t handle_ = 0;
  VaskCommonTracerHandle_t previous_ = hTracer;
};

// The line expected for a failure traced at `level` ('E' or 'W').
inline std::string traceLine(char level, const char* pFile, const char* pFunction, int code) {
  return std::string(1, level) + " " + pFile + ":# " + pFunction + ": " +
         VaskCommonError_text(code) + "(" + std::to_string(code) + ")";
}

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_TRACE_H
