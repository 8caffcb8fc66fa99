/*
 * A host program in C, built against an installed copy through pkg-config, once
 * with the shared libraries and once with the archives (pkg-config --static):
 * parses a text, reads a value through the lookup library, writes the text back
 * and checks the bytes. Prints "ok" on success.
 */
#include <initialization_lookup.h>
#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_error.h>

#include <stdio.h>
#include <string.h>

static const char kText[] = "# c1\n[s]\nk=v # tail\nk2=w2;x\n[t]\na=1.5\n";
static const char kWritten[] = "# c1\n\n[s]\n\nk=v # tail\nk2=w2 ;x\n\n[t]\n\na=1.5\n";

int main(void) {
  VaskCommonDQueueOpenParam_t param = {VaskInitializationLookup_sectionDelete, false};
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskInitializationReaderHandle_t hReader = 0;
  VaskInitializationWriterHandle_t hWriter = 0;
  char text[sizeof kText];
  VaskCommonBuffer_t input = {text, 0, sizeof kText - 1, NULL, false};
  VaskCommonBuffer_t* pOutput = NULL;
  double real = 0;
  int result = 0;
  memcpy(text, kText, sizeof kText);
  if ((result = VaskCommonDQueue_open(&param, &hQueue)) == 0 &&
      (result = VaskInitializationReader_open(&hReader)) == 0 &&
      (result = VaskInitializationReader_parse(hReader, &input, hQueue)) == 0 &&
      (result = VaskCommonBuffer_create(&pOutput)) == 0 &&
      (result = VaskInitializationWriter_open(&hWriter)) == 0 &&
      (result = VaskInitializationWriter_serialize(hWriter, hQueue, pOutput)) == 0 &&
      (result = VaskInitializationLookup_getReal(hQueue, "t", "a", &real)) == 0 &&
      (VaskCommonDQueue_length(hQueue) != 2 || real != 1.5 ||
       pOutput->size != sizeof kWritten - 1 ||
       memcmp(pOutput->pBegin, kWritten, pOutput->size) != 0)) {
    fprintf(stderr, "%zu sections, t.a %g, written '%s'\n", VaskCommonDQueue_length(hQueue), real,
            pOutput->pBegin);
    result = VaskCommonError_Failure;
  }
  (void)VaskInitializationWriter_close(&hWriter);
  (void)VaskInitializationReader_close(&hReader);
  (void)VaskCommonBuffer_delete(&pOutput);
  const int closed = VaskCommonDQueue_close(&hQueue);
  if (result == 0 && (result = closed) == 0) {
    puts("ok");
  } else {
    fprintf(stderr, "%s(%d)\n", VaskCommonError_text(result), result);
  }
  return result == 0 ? 0 : 1;
}
