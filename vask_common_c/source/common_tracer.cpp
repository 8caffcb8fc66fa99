#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

VaskCommonTracerHandle_t hTracer = 0;

namespace {

struct Tracer_t {
  VaskCommonStdioFile_t* pFile;
  VaskCommonTracerLevel_t level;
};

bool level_isValid(VaskCommonTracerLevel_t level) {
  return level >= VaskCommonTracerLevel_Debug && level < VaskCommonTracerLevel_Sum;
}

const char* path_baseName(const char* pPath) {
  const char* pSlash = std::strrchr(pPath, '/');
  return pSlash != nullptr ? pSlash + 1 : pPath;
}

}  // namespace

extern "C" int VaskCommonTracer_open(const VaskCommonTracerOpenParam_t* pParam,
                                     VaskCommonTracerHandle_t* pHandle) {
  if (pParam == nullptr || pParam->pFile == nullptr || !level_isValid(pParam->level) ||
      pHandle == nullptr || *pHandle != 0) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pTracer = static_cast<Tracer_t*>(std::calloc(1, sizeof(Tracer_t)));
  if (pTracer == nullptr) {
    return VaskCommonError_NoMemory;
  }
  pTracer->pFile = pParam->pFile;
  pTracer->level = pParam->level;
  *pHandle = reinterpret_cast<VaskCommonTracerHandle_t>(pTracer);
  return VaskCommonError_Success;
}

extern "C" int VaskCommonTracer_close(VaskCommonTracerHandle_t* pHandle) {
  if (pHandle == nullptr || *pHandle == 0) {
    return VaskCommonError_InvalidArgument;
  }
  std::free(reinterpret_cast<Tracer_t*>(*pHandle));
  *pHandle = 0;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonTracer_prefixSet(VaskCommonTracerHandle_t handle,
                                          VaskCommonTracerLevel_t level, const char* pFile,
                                          int line, const char* pFunction) {
  static const char kLetter[VaskCommonTracerLevel_Sum] = {'D', 'I', 'W', 'E'};
  const auto* pTracer = reinterpret_cast<const Tracer_t*>(handle);
  if (pTracer == nullptr || !level_isValid(level)) {
    return VaskCommonError_InvalidArgument;
  }
  if (level < pTracer->level) {
    return VaskCommonError_NotEnabled;
  }
  (void)std::fprintf(pTracer->pFile, "%c %s:%d %s: ", kLetter[level],
                     path_baseName(pFile != nullptr ? pFile : "?"), line,
                     pFunction != nullptr ? pFunction : "?");
  return VaskCommonError_Success;
}

extern "C" VaskCommonStdioFile_t* VaskCommonTracer_file(VaskCommonTracerHandle_t handle) {
  const auto* pTracer = reinterpret_cast<const Tracer_t*>(handle);
  return pTracer != nullptr ? pTracer->pFile : nullptr;
}
