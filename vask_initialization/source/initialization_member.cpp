#include <initialization_member.h>
#include <vask_common_c/common_error.h>

#include <cstdlib>

extern "C" int VaskInitializationMember_create(VaskInitializationMember_t** ppMember) {
  if (ppMember == nullptr || *ppMember != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pMember =
      static_cast<VaskInitializationMember_t*>(std::calloc(1, sizeof(VaskInitializationMember_t)));
  if (pMember == nullptr) {
    return VaskCommonError_NoMemory;
  }
  *ppMember = pMember;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationMember_delete(VaskInitializationMember_t** ppMember) {
  if (ppMember == nullptr || *ppMember == nullptr) {
    return VaskCommonError_Success;
  }
  VaskInitializationMember_t* pMember = *ppMember;
  std::free(pMember->pKey);
  std::free(pMember->pValue);
  std::free(pMember->pComment);
  std::free(pMember);
  *ppMember = nullptr;
  return VaskCommonError_Success;
}
