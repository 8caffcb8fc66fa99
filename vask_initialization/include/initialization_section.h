/**
 * @file
 * One section: its comment lines, its optional [header] name and its members.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 *
 * The section owns pHeader, both queues, and through them every comment string
 * and every member. A host's section queue (items VaskInitializationSection_t*)
 * releases its sections when it is closed if its delete handler deletes them.
 * Passing VaskInitializationSection_delete as that handler means a cast function
 * pointer (the handler takes void**), which relies on the platform's calling
 * convention. The portable form is an adapter of the handler's own type; the
 * lookup library exports it as VaskInitializationLookup_sectionDelete; a host
 * that links only this library writes its own, under a name of its own (the
 * lookup library's name would clash where its header is included too):
 *
 * @code
 *   static int host_sectionDelete(void** ppData) {
 *     VaskInitializationSection_t* pSection = *ppData;
 *     int result = VaskInitializationSection_delete(&pSection);
 *     *ppData = pSection;
 *     return result;
 *   }
 * @endcode
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_SECTION_H
#define VASK_INITIALIZATION_INITIALIZATION_SECTION_H

#include <initialization_export.h>
#include <initialization_member.h>
#include <vask_common_c/common_dqueue.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One section: comment lines, an optional header name and members. */
typedef struct VaskInitializationSection_t {
  VaskCommonDQueueHandle_t hComment; /**< Comment lines (char*), each from its '#' or ';' on. */
  char* pHeader;                     /**< Name without brackets; null: no header line. */
  VaskCommonDQueueHandle_t hMember;  /**< VaskInitializationMember_t*, in file order. */
} VaskInitializationSection_t;

/**
 * Creates a section with both queues open and empty and pHeader null in
 * *ppSection, which must hold null. A failed queue open is traced and its code
 * returned; *ppSection then stays null and nothing leaks.
 */
VASK_INITIALIZATION_API int VaskInitializationSection_create(
    VaskInitializationSection_t** ppSection);

/**
 * Closes the member queue (releasing the members), frees the header, closes the
 * comment queue, frees the record and nulls *ppSection. A failed member-queue
 * close is traced and returned with the section unchanged; a failed comment-queue
 * close is traced and returned with the record still allocated, and a second call
 * finishes the release (closing the closed member queue, now 0, does nothing).
 */
VASK_INITIALIZATION_API int VaskInitializationSection_delete(
    VaskInitializationSection_t** ppSection);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_SECTION_H */
