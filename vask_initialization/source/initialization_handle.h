// Reader and writer handles: the address of a zero-filled heap context that
// the handle owns between open and close.
#ifndef VASK_INITIALIZATION_SOURCE_INITIALIZATION_HANDLE_H
#define VASK_INITIALIZATION_SOURCE_INITIALIZATION_HANDLE_H

#include <vask_common_c/common_error.h>

#include <cstdint>
#include <cstdlib>

namespace vask {

template <typename Context_t>
int handle_open(uintptr_t* pHandle) {
  if (pHandle == nullptr || *pHandle != 0) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pContext = static_cast<Context_t*>(std::calloc(1, sizeof(Context_t)));
  if (pContext == nullptr) {
    return VaskCommonError_NoMemory;
  }
  *pHandle = reinterpret_cast<uintptr_t>(pContext);
  return VaskCommonError_Success;
}

inline int handle_close(uintptr_t* pHandle) {
  if (pHandle == nullptr || *pHandle == 0) {
    return VaskCommonError_InvalidArgument;
  }
  std::free(reinterpret_cast<void*>(*pHandle));
  *pHandle = 0;
  return VaskCommonError_Success;
}

}  // namespace vask

#endif  // VASK_INITIALIZATION_SOURCE_INITIALIZATION_HANDLE_H
