// The one way this library traces a failure: a prefix from the tracer, then
// "<text>(<code>)\n". A trace never changes the code that is returned.
#ifndef VASK_INITIALIZATION_SOURCE_INITIALIZATION_TRACE_H
#define VASK_INITIALIZATION_SOURCE_INITIALIZATION_TRACE_H

#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <cstdio>

namespace vask {

// The prefix and the rest of the line are written under the stream's own lock,
// so that lines traced by different threads never interleave.
inline void trace(VaskCommonTracerLevel_t level, int code, const char* pFile, int line,
                  const char* pFunction) {
  const VaskCommonTracerHandle_t handle = hTracer;
  VaskCommonStdioFile_t* pStream = VaskCommonTracer_file(handle);
  if (pStream == nullptr) {
    return;
  }
  flockfile(pStream);
  if (VaskCommonTracer_prefixSet(handle, level, pFile, line, pFunction) == 0) {
    (void)std::fprintf(pStream, "%s(%d)\n", VaskCommonError_text(code), code);
  }
  funlockfile(pStream);
}

}  // namespace vask

#define VASK_TRACE_ERROR(code) \
  ::vask::trace(VaskCommonTracerLevel_Error, (code), __FILE__, __LINE__, __func__)
#define VASK_TRACE_WARNING(code) \
  ::vask::trace(VaskCommonTracerLevel_Warning, (code), __FILE__, __LINE__, __func__)

#endif  // VASK_INITIALIZATION_SOURCE_INITIALIZATION_TRACE_H
