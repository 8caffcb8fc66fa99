/* Prints server.port of the file named by the first argument, or why it cannot. */
#include <initialization_lookup.h>
#include <stdio.h>

int main(int argc, char** argv) {
  VaskCommonDQueueHandle_t hSections = 0;
  int64_t port = 0;
  int result = VaskInitializationLookup_load(argc > 1 ? argv[1] : NULL, &hSections);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationLookup_getInteger(hSections, "server", "port", &port);
  }
  if (result == VaskCommonError_Success) {
    printf("%lld\n", (long long)port);
  } else {
    (void)fprintf(stderr, "server.port: %s (%d)\n", VaskCommonError_text(result), result);
  }
  (void)VaskCommonDQueue_close(&hSections);
  return result == VaskCommonError_Success ? 0 : 1;
}
