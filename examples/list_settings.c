/*
 * Lists the settings of the file named first, section by section as lookups
 * group them (a name that repeats is one section), each with its line.
 */
#include <initialization_document.h>
#include <stdio.h>

int main(int argc, char** argv) {
  VaskInitializationDocumentHandle_t hDocument = 0;
  VaskInitializationLookupCursor_t sections = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  const char* pName = NULL;
  int result = VaskInitializationDocument_load(argc > 1 ? argv[1] : NULL, &hDocument, NULL);
  while (result == VaskCommonError_Success &&
         VaskInitializationDocument_sectionNext(hDocument, &sections, &pName) == 0) {
    VaskInitializationLookupCursor_t members = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember = NULL;
    size_t line = 0;
    printf("[%s]\n", pName);
    while (VaskInitializationDocument_memberNext(hDocument, pName, &members, &pMember, &line) ==
           0) {
      printf("%zu: %s=%s\n", line, pMember->pKey, pMember->pValue);
    }
  }
  if (result != VaskCommonError_Success) {
    (void)fprintf(stderr, "%s (%d)\n", VaskCommonError_text(result), result);
  }
  (void)VaskInitializationDocument_close(&hDocument);
  return result == VaskCommonError_Success ? 0 : 1;
}
