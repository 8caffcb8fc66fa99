/*
 * A host program in C, built against an installed copy of the libraries through
 * pkg-config: parses a text, writes it back and checks the bytes. Prints "ok"
 * and exits 0 when everything matches.
 */
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#include <stdio.h>
#include <string.h>

static const char kText[] = "# c1\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1\n";
static const char kWritten[] = "# c1\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1\n";

static int section_deleteItem(void** ppData) {
  VaskInitializationSection_t* pSection = (VaskInitializationSection_t*)*ppData;
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

static int fail(const char* pWhat, int code) {
  fprintf(stderr, "%s: %s(%d)\n", pWhat, VaskCommonError_text(code), code);
  return 1;
}

int main(void) {
  VaskCommonDQueueOpenParam_t param = {section_deleteItem, false};
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskInitializationReaderHandle_t hReader = 0;
  VaskInitializationWriterHandle_t hWriter = 0;
  char text[sizeof kText];
  VaskCommonBuffer_t input = {text, 0, sizeof kText - 1, NULL, false};
  VaskCommonBuffer_t* pOutput = NULL;
  int result = VaskCommonDQueue_open(&param, &hQueue);
  if (result != 0) {
    return fail("VaskCommonDQueue_open", result);
  }
  memcpy(text, kText, sizeof kText);
  if ((result = VaskInitializationReader_open(&hReader)) != 0 ||
      (result = VaskInitializationReader_parse(hReader, &input, hQueue)) != 0 ||
      (result = VaskInitializationReader_close(&hReader)) != 0) {
    return fail("reader", result);
  }
  if (VaskCommonDQueue_length(hQueue) != 2) {
    fprintf(stderr, "sections: %zu, expected 2\n", VaskCommonDQueue_length(hQueue));
    return 1;
  }
  if ((result = VaskCommonBuffer_create(&pOutput)) != 0 ||
      (result = VaskInitializationWriter_open(&hWriter)) != 0 ||
      (result = VaskInitializationWriter_serialize(hWriter, hQueue, pOutput)) != 0 ||
      (result = VaskInitializationWriter_close(&hWriter)) != 0) {
    return fail("writer", result);
  }
  if (pOutput->size != sizeof kWritten - 1 ||
      memcmp(pOutput->pBegin, kWritten, pOutput->size) != 0) {
    fprintf(stderr, "written: '%.*s'\n", (int)pOutput->size, pOutput->pBegin);
    return 1;
  }
  if ((result = VaskCommonBuffer_delete(&pOutput)) != 0 ||
      (result = VaskCommonDQueue_close(&hQueue)) != 0) {
    return fail("release", result);
  }
  puts("ok");
  return 0;
}
