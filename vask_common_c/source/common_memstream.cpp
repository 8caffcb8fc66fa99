#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kFirstCapacity = 4096;

// The stream's text, grown by the stream's write function. A write that cannot
// grow it marks the stream failed, so that close never hands out a text with a
// piece missing (stdio alone does not always report such a short write).
struct MemStream_t {
  VaskCommonStdioFile_t* pFile;
  char* pData;
  size_t size;
  size_t capacity;  // bytes at pData, less the one kept for the closing zero byte
  bool isFailed;
};

bool text_reserve(MemStream_t* pStream, size_t wanted) {
  if (wanted <= pStream->capacity && pStream->pData != nullptr) {
    return true;
  }
  size_t capacity = pStream->capacity < kFirstCapacity ? kFirstCapacity : pStream->capacity;
  while (capacity < wanted) {
    if (capacity > SIZE_MAX / 4) {
      return false;
    }
    capacity *= 2;
  }
  auto* pData = static_cast<char*>(std::realloc(pStream->pData, capacity + 1));
  if (pData == nullptr) {
    return false;
  }
  pStream->pData = pData;
  pStream->capacity = capacity;
  return true;
}

// A failed write returns 0, never -1: stdio takes a negative count as a huge
// one and copies past the caller's bytes.
ssize_t stream_write(void* pCookie, const char* pBytes, size_t size) {
  auto* pStream = static_cast<MemStream_t*>(pCookie);
  if (pStream->isFailed || size > SIZE_MAX - 1 - pStream->size ||
      !text_reserve(pStream, pStream->size + size)) {
    pStream->isFailed = true;
    return 0;
  }
  std::memcpy(pStream->pData + pStream->size, pBytes, size);
  pStream->size += size;
  return static_cast<ssize_t>(size);
}

}  // namespace

extern "C" int VaskCommonMemStream_open(VaskCommonMemStreamHandle_t* pHandle,
                                        VaskCommonStdioFile_t** ppFile) {
  if (pHandle == nullptr || *pHandle != 0 || ppFile == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pStream = static_cast<MemStream_t*>(std::calloc(1, sizeof(MemStream_t)));
  if (pStream == nullptr) {
    return VaskCommonError_NoMemory;
  }
  cookie_io_functions_t functions{};
  functions.write = stream_write;
  pStream->pFile = fopencookie(pStream, "w", functions);
  if (pStream->pFile == nullptr) {
    std::free(pStream);
    return VaskCommonError_NoMemory;
  }
  *pHandle = reinterpret_cast<VaskCommonMemStreamHandle_t>(pStream);
  *ppFile = pStream->pFile;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonMemStream_close(VaskCommonMemStreamHandle_t* pHandle, char** ppData,
                                         size_t* pSize) {
  if (pHandle == nullptr || *pHandle == 0 || ppData == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pStream = reinterpret_cast<MemStream_t*>(*pHandle);
  *pHandle = 0;
  const bool isClosed = std::fclose(pStream->pFile) == 0;  // flushes the last writes
  const bool isComplete = isClosed && !pStream->isFailed && text_reserve(pStream, pStream->size);
  char* pData = pStream->pData;
  const size_t size = pStream->size;
  std::free(pStream);
  if (!isComplete) {
    std::free(pData);
    return VaskCommonError_NoMemory;
  }
  pData[size] = '\0';
  *ppData = pData;
  if (pSize != nullptr) {
    *pSize = size;
  }
  return VaskCommonError_Success;
}
