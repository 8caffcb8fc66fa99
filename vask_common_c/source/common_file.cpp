// Placeholder until the file module lands: whole-file reads through load2, saves through save2.
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>

#include <unistd.h>

#include <cerrno>
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

extern "C" int VaskCommonFile_read(int fd, size_t maxSize, VaskCommonBuffer_t* pBuffer) {
  if (fd < 0 || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  size_t size = 0;
  size_t capacity = 65536;
  auto* pText = static_cast<char*>(std::malloc(capacity + 1));
  for (;;) {
    if (pText == nullptr) {
      return VaskCommonError_NoMemory;
    }
    if (size == capacity) {
      capacity *= 2;
      auto* pGrown = static_cast<char*>(std::realloc(pText, capacity + 1));
      if (pGrown == nullptr) {
        std::free(pText);
      }
      pText = pGrown;
      continue;
    }
    const ssize_t count = ::read(fd, pText + size, capacity - size);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      std::free(pText);
      return VaskCommonError_fromErrno(errno);
    }
    if (count == 0) {
      break;
    }
    size += static_cast<size_t>(count);
    if (maxSize != 0 && size > maxSize) {
      std::free(pText);
      return VaskCommonError_TooLarge;
    }
  }
  pText[size] = '\0';
  *pBuffer = VaskCommonBuffer_t{pText, 0, size, nullptr, true};
  return 0;
}
