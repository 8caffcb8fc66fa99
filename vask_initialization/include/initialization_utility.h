/**
 * @file
 * Text helpers over a character range [begin, end). Blanks are the characters
 * for which isspace() holds in the current locale, looked up as unsigned bytes.
 * Neither function checks its pointers; the range must be valid.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_UTILITY_H
#define VASK_INITIALIZATION_INITIALIZATION_UTILITY_H

#include <stddef.h>

#include <initialization_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Advances *ppCurrent over blanks, never beyond pEnd. Always 0. */
VASK_INITIALIZATION_API int VaskInitializationUtility_ignoreSpaces(const char** ppCurrent,
                                                                   const char* pEnd);

/**
 * Adds to *pSize (which it does not reset) the number of elements of the
 * comma-separated list in [pBegin, pEnd): commas outside brackets and double
 * quotes, plus one when the range is not all blanks. A ']' that closes more
 * than was opened ends the count. Always 0.
 */
VASK_INITIALIZATION_API int VaskInitializationUtility_size(const char* pBegin, const char* pEnd,
                                                           size_t* pSize);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_UTILITY_H */
