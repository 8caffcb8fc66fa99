/*
 * One section: its comment lines, its optional [header] name and its members.
 * See initialization_member.h for the conventions on codes and ownership.
 *
 * The section owns pHeader, both queues, and through them every comment string
 * and every member. A host's own section queue (items VaskInitializationSection_t*)
 * can be opened with VaskInitializationSection_delete as its delete handler so
 * that closing it releases the sections.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_SECTION_H
#define VASK_INITIALIZATION_INITIALIZATION_SECTION_H

#include <initialization_export.h>
#include <initialization_member.h>
#include <vask_common_c/common_dqueue.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VaskInitializationSection_t {
  VaskCommonDQueueHandle_t hComment; /* comment lines (char*), each from its '#' or ';' on */
  char* pHeader;                     /* name without brackets; null: no header line */
  VaskCommonDQueueHandle_t hMember;  /* VaskInitializationMember_t*, in file order */
} VaskInitializationSection_t;

/*
 * Creates a section with both queues open and empty and pHeader null in
 * *ppSection, which must hold null. A failed queue open is traced and its code
 * returned; *ppSection then stays null and nothing leaks.
 */
VASK_INITIALIZATION_API int VaskInitializationSection_create(
    VaskInitializationSection_t** ppSection);

/*
 * Releases the members, the header, the comments and the record, and nulls
 * *ppSection. A failed member-queue close is traced and returned with the
 * section unchanged; a failed comment-queue close is traced and returned with
 * the record still allocated. Has the shape of a queue delete handler.
 */
VASK_INITIALIZATION_API int VaskInitializationSection_delete(
    VaskInitializationSection_t** ppSection);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_SECTION_H */
