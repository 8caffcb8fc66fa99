/*
 * The full cycle a host goes through: load a file into a section queue, list
 * its sections, set a value, save it.
 *
 *   load_change_save INPUT OUTPUT SECTION KEY VALUE
 */
#include <initialization_lookup.h>
#include <initialization_writer.h>
#include <vask_common_c/common_tracer.h>

#include <stdio.h>

int main(int argc, char** argv) {
  VaskCommonTracerOpenParam_t traceParam = {stderr, VaskCommonTracerLevel_Error};
  VaskCommonDQueueHandle_t hSections = 0;
  VaskInitializationWriterHandle_t hWriter = 0;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  const char* pName = NULL;
  int result = 0;

  if (argc != 6) {
    (void)fprintf(stderr, "usage: %s INPUT OUTPUT SECTION KEY VALUE\n", argv[0]);
    return 2;
  }
  (void)VaskCommonTracer_open(&traceParam, &hTracer); /* failures are traced to stderr */
  result = VaskInitializationLookup_load(argv[1], &hSections);
  while (result == VaskCommonError_Success &&
         VaskInitializationLookup_sectionNext(hSections, &cursor, &pName) == 0) {
    printf("[%s]\n", pName);
  }
  if (result == VaskCommonError_Success) {
    /* Replaces the value, or adds the key where the file would read it back. */
    result = VaskInitializationLookup_set(hSections, argv[3], argv[4], argv[5]);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationWriter_open(&hWriter);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationWriter_save(hWriter, argv[2], hSections);
  }
  if (result == VaskCommonError_Success) {
    printf("set %s.%s; saved %s\n", argv[3], argv[4], argv[2]);
  } else {
    (void)fprintf(stderr, "failed: %s (%d)\n", VaskCommonError_text(result), result);
  }

  if (hWriter != 0) {
    (void)VaskInitializationWriter_close(&hWriter);
  }
  (void)VaskCommonDQueue_close(&hSections); /* releases every section */
  (void)VaskCommonTracer_close(&hTracer);
  return result == VaskCommonError_Success ? 0 : 1;
}
