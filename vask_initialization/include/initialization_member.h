/*
 * One key=value member of a section.
 *
 * Conventions of this library, stated once:
 * - Every function returns an int result code from <vask_common_c/common_error.h>:
 *   0 on success, VaskCommonError_InvalidArgument (13) for a null or wrongly
 *   placed argument (nothing changes then), VaskCommonError_NoMemory (5) for a
 *   failed allocation; codes of the support library are passed through.
 * - Objects are handed out through a pointer to a pointer (or a handle) that
 *   must hold null (0) on entry to a create/open, and is nulled by the matching
 *   delete/close. Deleting a null object is a no-op that returns 0.
 * - Strings are NUL-terminated heap strings owned by the record that stores
 *   them and released with free(): store only memory from malloc/calloc/strdup.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_MEMBER_H
#define VASK_INITIALIZATION_INITIALIZATION_MEMBER_H

#include <initialization_export.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VaskInitializationMember_t {
  char* pKey;     /* text before the first '='; may be empty */
  char* pValue;   /* text after the '=' up to a blank, '#', ';' or the line end; may be empty */
  char* pComment; /* trailing comment from its '#' or ';' on, or null */
} VaskInitializationMember_t;

/* Creates a zero-filled member (all fields null) in *ppMember, which must hold null. Never traces.
 */
VASK_INITIALIZATION_API int VaskInitializationMember_create(VaskInitializationMember_t** ppMember);

/*
 * Frees pKey, pValue and pComment (each if non-null), then the member, and nulls
 * *ppMember. Always 0. Has the shape of a queue delete handler.
 */
VASK_INITIALIZATION_API int VaskInitializationMember_delete(VaskInitializationMember_t** ppMember);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_MEMBER_H */
