// Placeholder until the lookup library is written: every call fails with 1.
#include <initialization_lookup.h>
#include <vask_common_c/common_error.h>

extern "C" int VaskInitializationLookup_sectionDelete(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

extern "C" int VaskInitializationLookup_find(VaskCommonDQueueHandle_t, const char*, const char*,
                                             VaskInitializationMember_t**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_hasSection(VaskCommonDQueueHandle_t, const char*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_sectionNext(VaskCommonDQueueHandle_t,
                                                    VaskInitializationLookupCursor_t*,
                                                    const char**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_memberNext(VaskCommonDQueueHandle_t, const char*,
                                                   VaskInitializationLookupCursor_t*,
                                                   VaskInitializationMember_t**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_parseInteger(const char*, const char*, int64_t*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_parseBoolean(const char*, const char*, bool*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_parseReal(const char*, const char*, double*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getString(VaskCommonDQueueHandle_t, const char*,
                                                  const char*, const char**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getInteger(VaskCommonDQueueHandle_t, const char*,
                                                   const char*, int64_t*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getBoolean(VaskCommonDQueueHandle_t, const char*,
                                                   const char*, bool*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getReal(VaskCommonDQueueHandle_t, const char*, const char*,
                                                double*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getStringOr(VaskCommonDQueueHandle_t, const char*,
                                                    const char*, const char*, const char**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getIntegerOr(VaskCommonDQueueHandle_t, const char*,
                                                     const char*, int64_t, int64_t*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getBooleanOr(VaskCommonDQueueHandle_t, const char*,
                                                     const char*, bool, bool*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_getRealOr(VaskCommonDQueueHandle_t, const char*,
                                                  const char*, double, double*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_listSize(const char*, size_t*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_listElement(const char*, size_t, const char**,
                                                    const char**) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_set(VaskCommonDQueueHandle_t, const char*, const char*,
                                            const char*) {
  return VaskCommonError_Failure;
}

extern "C" int VaskInitializationLookup_remove(VaskCommonDQueueHandle_t, const char*, const char*,
                                               size_t*) {
  return VaskCommonError_Failure;
}
