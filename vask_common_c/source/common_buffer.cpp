#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstdlib>

#include "common_file_private.h"

extern "C" int VaskCommonBuffer_create(VaskCommonBuffer_t** ppBuffer) {
  if (ppBuffer == nullptr || *ppBuffer != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pBuffer = static_cast<VaskCommonBuffer_t*>(std::calloc(1, sizeof(VaskCommonBuffer_t)));
  if (pBuffer == nullptr) {
    return VaskCommonError_NoMemory;
  }
  *ppBuffer = pBuffer;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonBuffer_delete(VaskCommonBuffer_t** ppBuffer) {
  if (ppBuffer == nullptr || *ppBuffer == nullptr) {
    return VaskCommonError_Success;
  }
  if ((*ppBuffer)->isAllocated) {
    std::free((*ppBuffer)->pBegin);
  }
  std::free(*ppBuffer);
  *ppBuffer = nullptr;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                                      VaskCommonBuffer_t* pBuffer) {
  if (pFilename == nullptr || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  return vask::file_load(pFilename, offset, size, pBuffer);
}

extern "C" int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename,
                                      size_t offset) {
  if (pBuffer == nullptr || pFilename == nullptr || pFilename[0] == '\0' ||
      offset > pBuffer->size || (pBuffer->pBegin == nullptr && pBuffer->size != 0)) {
    return VaskCommonError_InvalidArgument;
  }
  return vask::file_replace(pFilename, pBuffer->pBegin + offset, pBuffer->size - offset);
}
