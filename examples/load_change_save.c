/*
 * The full cycle a host goes through: load a file into a section queue, walk
 * it, change a value, save it.
 *
 *   load_change_save INPUT OUTPUT SECTION KEY VALUE
 */
#define _POSIX_C_SOURCE 200809L /* strdup */
#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_tracer.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The section queue's delete handler: releases one section. */
static int sectionRelease(void** ppItem) {
  VaskInitializationSection_t* pSection = (VaskInitializationSection_t*)*ppItem;
  int result = VaskInitializationSection_delete(&pSection);
  *ppItem = pSection;
  return result;
}

/* Walks a queue without changing it: each item is taken from the front and
 * put back at the end. Calls visit(item, context) for each. */
static int queueWalk(VaskCommonDQueueHandle_t hQueue, void (*visit)(void*, void*), void* pContext) {
  size_t length = VaskCommonDQueue_length(hQueue);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = NULL;
    int result = VaskCommonDQueue_popFront(hQueue, &pItem);
    if (result != VaskCommonError_Success) {
      return result;
    }
    visit(pItem, pContext);
    result = VaskCommonDQueue_pushBack(hQueue, &pItem);
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
  return VaskCommonError_Success;
}

typedef struct Change_t {
  const char* pSection;
  const char* pKey;
  const char* pValue;
  int changed;
} Change_t;

static void memberChange(void* pItem, void* pContext) {
  VaskInitializationMember_t* pMember = (VaskInitializationMember_t*)pItem;
  Change_t* pChange = (Change_t*)pContext;
  char* pValue = NULL;
  if (pMember->pKey == NULL || strcmp(pMember->pKey, pChange->pKey) != 0) {
    return;
  }
  pValue = strdup(pChange->pValue); /* records own heap strings */
  if (pValue != NULL) {
    free(pMember->pValue);
    pMember->pValue = pValue;
    pChange->changed++;
  }
}

static void sectionVisit(void* pItem, void* pContext) {
  VaskInitializationSection_t* pSection = (VaskInitializationSection_t*)pItem;
  Change_t* pChange = (Change_t*)pContext;
  printf("[%s] %zu comment(s), %zu member(s)\n", pSection->pHeader ? pSection->pHeader : "",
         VaskCommonDQueue_length(pSection->hComment), VaskCommonDQueue_length(pSection->hMember));
  if (pSection->pHeader != NULL && strcmp(pSection->pHeader, pChange->pSection) == 0) {
    (void)queueWalk(pSection->hMember, memberChange, pChange);
  }
}

int main(int argc, char** argv) {
  VaskCommonTracerOpenParam_t traceParam = {stderr, VaskCommonTracerLevel_Error};
  VaskCommonDQueueOpenParam_t queueParam = {sectionRelease, false};
  VaskCommonDQueueHandle_t hSections = 0;
  VaskInitializationReaderHandle_t hReader = 0;
  VaskInitializationWriterHandle_t hWriter = 0;
  Change_t change;
  int result = 0;

  if (argc != 6) {
    fprintf(stderr, "usage: %s INPUT OUTPUT SECTION KEY VALUE\n", argv[0]);
    return 2;
  }
  change.pSection = argv[3];
  change.pKey = argv[4];
  change.pValue = argv[5];
  change.changed = 0;

  (void)VaskCommonTracer_open(&traceParam, &hTracer); /* failures are traced to stderr */
  result = VaskCommonDQueue_open(&queueParam, &hSections);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationReader_open(&hReader);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationReader_load(hReader, argv[1], hSections);
  }
  if (result == VaskCommonError_Success) {
    result = queueWalk(hSections, sectionVisit, &change);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationWriter_open(&hWriter);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationWriter_save(hWriter, argv[2], hSections);
  }
  if (result == VaskCommonError_Success) {
    printf("changed %d value(s); saved %s\n", change.changed, argv[2]);
  } else {
    fprintf(stderr, "failed: %s (%d)\n", VaskCommonError_text(result), result);
  }

  if (hWriter != 0) {
    (void)VaskInitializationWriter_close(&hWriter);
  }
  if (hReader != 0) {
    (void)VaskInitializationReader_close(&hReader);
  }
  if (hSections != 0) {
    (void)VaskCommonDQueue_close(&hSections); /* releases every section */
  }
  (void)VaskCommonTracer_close(&hTracer);
  return result == VaskCommonError_Success ? 0 : 1;
}
