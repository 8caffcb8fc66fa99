/*
 * A daemon reading its settings: prints server.port of the file named first,
 * 8080 when the file has none, or why it cannot.
 */
#include <initialization_document.h>
#include <stdio.h>

int main(int argc, char** argv) {
  VaskInitializationDocumentHandle_t hDocument = 0;
  VaskCommonDQueueHandle_t hSections = 0;
  int64_t port = 0;
  int result = VaskInitializationDocument_load(argc > 1 ? argv[1] : NULL, &hDocument, NULL);
  if (result == VaskCommonError_Success) {
    (void)VaskInitializationDocument_sections(hDocument, &hSections); /* for the lookups */
    result = VaskInitializationLookup_getIntegerOr(hSections, "server", "port", 8080, &port);
  }
  if (result == VaskCommonError_Success) {
    printf("%lld\n", (long long)port);
  } else {
    (void)fprintf(stderr, "server.port: %s (%d)\n", VaskCommonError_text(result), result);
  }
  (void)VaskInitializationDocument_close(&hDocument);
  return result == VaskCommonError_Success ? 0 : 1;
}
