/**
 * @file
 * One key=value member of a section.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_MEMBER_H
#define VASK_INITIALIZATION_INITIALIZATION_MEMBER_H

#include <initialization_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One key=value member, with its trailing comment. */
typedef struct VaskInitializationMember_t {
  char* pKey;     /**< Text before the first '='; may be empty. */
  char* pValue;   /**< Text after the '=' up to a blank, '#', ';' or the line end; may be empty. */
  char* pComment; /**< Trailing comment from its '#' or ';' on, or null. */
} VaskInitializationMember_t;

/**
 * Creates a zero-filled member (all fields null) in *ppMember, which must hold
 * null. No memory gives 5, *ppMember staying null. Never traces.
 */
VASK_INITIALIZATION_API int VaskInitializationMember_create(VaskInitializationMember_t** ppMember);

/**
 * Frees pKey, pValue and pComment (each if non-null), then the member, and nulls
 * *ppMember. Always 0. (As a queue's delete handler it needs an adapter of the
 * handler's type: see initialization_section.h.)
 */
VASK_INITIALIZATION_API int VaskInitializationMember_delete(VaskInitializationMember_t** ppMember);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_MEMBER_H */
