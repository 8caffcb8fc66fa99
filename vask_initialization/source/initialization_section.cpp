#include <initialization_section.h>
#include <vask_common_c/common_error.h>

#include <cstdlib>

#include "initialization_trace.h"

namespace {

int comment_delete(char** ppComment) {
  if (*ppComment != nullptr) {
    std::free(*ppComment);
    *ppComment = nullptr;
  }
  return VaskCommonError_Success;
}

// Queues hand their handler the address of the stored void*; this calls the
// typed delete function on it without casting function pointer types.
template <typename Item_t, int (*Delete)(Item_t**)>
int item_delete(void** ppData) {
  auto* pItem = static_cast<Item_t*>(*ppData);
  const int result = Delete(&pItem);
  *ppData = pItem;
  return result;
}

}  // namespace

extern "C" int VaskInitializationSection_create(VaskInitializationSection_t** ppSection) {
  if (ppSection == nullptr || *ppSection != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pSection = static_cast<VaskInitializationSection_t*>(
      std::calloc(1, sizeof(VaskInitializationSection_t)));
  if (pSection == nullptr) {
    return VaskCommonError_NoMemory;
  }
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = item_delete<char, comment_delete>;
  int result = VaskCommonDQueue_open(&param, &pSection->hComment);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    std::free(pSection);
    return result;
  }
  param.pDeleteDataHandler =
      item_delete<VaskInitializationMember_t, VaskInitializationMember_delete>;
  result = VaskCommonDQueue_open(&param, &pSection->hMember);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    (void)VaskCommonDQueue_close(&pSection->hComment);
    std::free(pSection);
    return result;
  }
  *ppSection = pSection;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationSection_delete(VaskInitializationSection_t** ppSection) {
  if (ppSection == nullptr || *ppSection == nullptr) {
    return VaskCommonError_Success;
  }
  VaskInitializationSection_t* pSection = *ppSection;
  // Closing a queue already closed (0) does nothing, so a call after one whose
  // comment-queue close failed finishes the release.
  int result = VaskCommonDQueue_close(&pSection->hMember);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  std::free(pSection->pHeader);
  pSection->pHeader = nullptr;
  result = VaskCommonDQueue_close(&pSection->hComment);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  std::free(pSection);
  *ppSection = nullptr;
  return VaskCommonError_Success;
}
