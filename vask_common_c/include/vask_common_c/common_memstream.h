/**
 * @file
 * Memory-backed output stream: a FILE whose output is collected in memory.
 * Null arguments or a handle in the wrong state give 13; a failed allocation
 * gives VaskCommonError_NoMemory (5).
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_MEMSTREAM_H
#define VASK_COMMON_C_COMMON_MEMSTREAM_H

#include <stddef.h>
#include <stdint.h>

#include <vask_common_c/common_export.h>
#include <vask_common_c/linux/linux_stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A memory stream, as handed out by VaskCommonMemStream_open; 0 is no stream. */
typedef uintptr_t VaskCommonMemStreamHandle_t;

/**
 * Opens a stream into *pHandle (which must hold 0) and gives its FILE in *ppFile.
 * On failure both are left as they were.
 */
VASK_COMMON_C_API int VaskCommonMemStream_open(VaskCommonMemStreamHandle_t* pHandle,
                                               VaskCommonStdioFile_t** ppFile);

/**
 * Ends the stream and sets *pHandle to 0. On success *ppData gets a heap copy
 * of all that was written, ended by a zero byte even when empty (release it
 * with free), and *pSize (when pSize is non-null) its length. On failure the
 * stream is released all the same and *ppData is left untouched.
 */
VASK_COMMON_C_API int VaskCommonMemStream_close(VaskCommonMemStreamHandle_t* pHandle, char** ppData,
                                                size_t* pSize);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_MEMSTREAM_H */
