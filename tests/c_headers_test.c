/* Every public C header compiles as C11, and a few calls link and run from C. */
#include <initialization_document.h>
#include <initialization_lookup.h>
#include <initialization_reader.h>
#include <initialization_utility.h>
#include <initialization_version.h>
#include <initialization_writer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>
#include <vask_common_c/common_memstream.h>
#include <vask_common_c/common_tracer.h>

#include <string.h>

int main(void) {
  /* The exported adapter has the queue handler's type: no cast is needed. */
  VaskCommonDQueueOpenParam_t param = {VaskInitializationLookup_sectionDelete, false};
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskInitializationSection_t* pSection = NULL;
  void* pItem = NULL;
  int failed = VaskCommonDQueue_open(&param, &hQueue) | VaskInitializationSection_create(&pSection);
  pItem = pSection;
  failed |= VaskCommonDQueue_pushBack(hQueue, &pItem) | VaskCommonDQueue_close(&hQueue);
  failed |= strcmp(VaskInitializationLookup_version(), VASK_INITIALIZATION_VERSION_STRING) != 0;
  return failed | (hQueue != 0) | (hTracer != 0) | (VaskCommonError_text(13)[0] != 'i');
}
