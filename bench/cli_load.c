/*
 * The library's own load of a file, for bench/cli-compare: loads the file
 * named by the first argument into a section queue and releases it. Its peak
 * resident size is the baseline that vask-ini get is held to.
 */
#include <initialization_reader.h>
#include <initialization_section.h>
#include <stdio.h>
#include <vask_common_c/common_dqueue.h>

static int section_release(void** ppData) {
  VaskInitializationSection_t* pSection = *ppData;
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

int main(int argc, char** argv) {
  VaskInitializationReaderHandle_t hReader = 0;
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskCommonDQueueOpenParam_t param = {0};
  param.pDeleteDataHandler = section_release;
  int result = argc == 2 ? VaskInitializationReader_open(&hReader) : 13;
  if (result == 0) {
    result = VaskCommonDQueue_open(&param, &hQueue);
  }
  if (result == 0) {
    result = VaskInitializationReader_load(hReader, argv[1], hQueue);
  }
  (void)VaskCommonDQueue_close(&hQueue);
  (void)VaskInitializationReader_close(&hReader);
  if (result != 0) {
    fprintf(stderr, "cli_load: cannot load %s: %d\n", argc == 2 ? argv[1] : "(no file)", result);
  }
  return result == 0 ? 0 : 1;
}
