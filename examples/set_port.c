/*
 * Sets server.port in FILE, saving over FILE: only that line changes. Then
 * loads the file again and prints the port it now holds.
 *
 *   set_port FILE PORT
 *
 * The file stays locked from the read to the save, so that another editor that
 * locks (vask-ini does) waits for us instead of losing its change or ours.
 */
#include <initialization_document.h>

#include <stdio.h>
#include <string.h>

/* Says why FILE failed: a malformed line as FILE:LINE: text. */
static int failed(const char* pFilename, int result, const VaskInitializationDiagnostic_t* pWhy) {
  if (result == VaskCommonError_MalformedLine) {
    (void)fprintf(stderr, "%s:%zu: %s\n", pFilename, pWhy->line, pWhy->aText);
  } else {
    (void)fprintf(stderr, "%s: %s (%d)\n", pFilename, VaskCommonError_text(result), result);
  }
  return 1;
}

int main(int argc, char** argv) {
  VaskInitializationDocumentOpenParam_t param = {0, true, false}; /* locked */
  VaskInitializationDocumentHandle_t hDocument = 0;
  VaskInitializationDiagnostic_t why = {0};
  VaskCommonDQueueHandle_t hSections = 0;
  int64_t port = 0;
  int result = 0;
  if (argc != 3 || VaskInitializationLookup_parseInteger(argv[2], argv[2] + strlen(argv[2]),
                                                         &port) != VaskCommonError_Success) {
    (void)fprintf(stderr, "usage: %s FILE PORT (a number)\n", argv[0]);
    return 2;
  }
  result = VaskInitializationDocument_open(argv[1], &param, &hDocument, &why);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationDocument_set(hDocument, "server", "port", argv[2]);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationDocument_save(hDocument, NULL); /* over the file it read */
  }
  (void)VaskInitializationDocument_close(&hDocument); /* and its lock */
  if (result == VaskCommonError_Success) {            /* reload: what the file says now */
    result = VaskInitializationDocument_load(argv[1], &hDocument, &why);
  }
  if (result == VaskCommonError_Success) {
    (void)VaskInitializationDocument_sections(hDocument, &hSections);
    result = VaskInitializationLookup_getInteger(hSections, "server", "port", &port);
  }
  if (result == VaskCommonError_Success) {
    printf("server.port=%lld\n", (long long)port);
  }
  (void)VaskInitializationDocument_close(&hDocument);
  return result == VaskCommonError_Success ? 0 : failed(argv[1], result, &why);
}
