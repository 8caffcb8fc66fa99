// Placeholder until the file module lands: whole-file reads through load2, saves through save2.
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>

#include <cstdlib>
#include <cstring>

namespace {
struct File_t {
  char* pName;
};
}  // namespace

extern "C" int VaskCommonFile_open(const char* pFilename, const VaskCommonFileOpenParam_t* pParam,
                                   VaskCommonFileHandle_t* pHandle, VaskCommonBuffer_t* pBuffer) {
  if (pFilename == nullptr || pParam == nullptr || pHandle == nullptr || *pHandle != 0 ||
      pBuffer == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  int result = VaskCommonBuffer_load2(pFilename, 0, 0, pBuffer);
  if (result == VaskCommonError_NotFound && pParam->mayCreate) {
    pBuffer->pBegin = static_cast<char*>(std::calloc(1, 1));
    pBuffer->size = 0;
    pBuffer->isAllocated = true;
    result = pBuffer->pBegin != nullptr ? 0 : VaskCommonError_NoMemory;
  }
  if (result != 0) {
    return result;
  }
  auto* pFile = static_cast<File_t*>(std::calloc(1, sizeof(File_t)));
  if (pFile == nullptr || (pFile->pName = strdup(pFilename)) == nullptr) {
    std::free(pFile);
    std::free(pBuffer->pBegin);
    *pBuffer = VaskCommonBuffer_t{};
    return VaskCommonError_NoMemory;
  }
  *pHandle = reinterpret_cast<VaskCommonFileHandle_t>(pFile);
  return 0;
}

extern "C" int VaskCommonFile_save(VaskCommonFileHandle_t handle, const char* pData, size_t size,
                                   VaskCommonBuffer_t* /*pLost*/) {
  auto* pFile = reinterpret_cast<File_t*>(handle);
  if (pFile == nullptr || (pData == nullptr && size != 0)) {
    return VaskCommonError_InvalidArgument;
  }
  VaskCommonBuffer_t buffer{const_cast<char*>(pData), 0, size, nullptr, false};
  return VaskCommonBuffer_save2(&buffer, pFile->pName, 0);
}

extern "C" int VaskCommonFile_close(VaskCommonFileHandle_t* pHandle) {
  if (pHandle == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pFile = reinterpret_cast<File_t*>(*pHandle);
  if (pFile != nullptr) {
    std::free(pFile->pName);
    std::free(pFile);
  }
  *pHandle = 0;
  return 0;
}

extern "C" int VaskCommonFile_read(int /*fd*/, size_t /*maxSize*/, VaskCommonBuffer_t* /*pBuffer*/) {
  return VaskCommonError_NotEnabled;
}
