/* Every public header compiles as C11, and a few calls link and run from C. */
#define _POSIX_C_SOURCE 200809L /* strdup */
#include <initialization_member.h>
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_utility.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_memstream.h>
#include <vask_common_c/common_tracer.h>
#include <vask_common_c/linux/linux_stdio.h>

#include <stdio.h>
#include <string.h>

static int check(int condition, const char* pWhat) {
  if (!condition) {
    fprintf(stderr, "failed: %s\n", pWhat);
  }
  return condition ? 0 : 1;
}

int main(void) {
  int failures = 0;
  VaskInitializationMember_t* pMember = NULL;
  VaskInitializationSection_t* pSection = NULL;
  void* pItem = NULL;

  failures +=
      check(VaskInitializationSection_create(&pSection) == VaskCommonError_Success, "section");
  failures += check(VaskInitializationMember_create(&pMember) == VaskCommonError_Success, "member");
  pMember->pKey = strdup("k");
  pMember->pValue = strdup("v");
  pItem = pMember;
  failures += check(VaskCommonDQueue_pushBack(pSection->hMember, &pItem) == 0, "push");
  failures += check(VaskCommonDQueue_length(pSection->hMember) == 1, "length");
  failures += check(VaskInitializationSection_delete(&pSection) == 0 && pSection == NULL, "delete");
  failures +=
      check(strcmp(VaskCommonError_text(VaskCommonError_InvalidArgument), "invalid argument") == 0,
            "text");
  failures += check(hTracer == 0, "no tracer by default");
  return failures == 0 ? 0 : 1;
}
