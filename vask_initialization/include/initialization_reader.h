/*
 * Reader: loads a file, or parses a text buffer, into a section queue that the
 * caller owns (items VaskInitializationSection_t*). Sections are appended after
 * whatever the queue holds, in file order. See initialization_member.h for the
 * conventions on codes and ownership.
 *
 * On a failure the reader stops, traces it and returns the code; sections
 * appended before the failing one stay in the queue.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_READER_H
#define VASK_INITIALIZATION_INITIALIZATION_READER_H

#include <stdint.h>

#include <initialization_export.h>
#include <initialization_section.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uintptr_t VaskInitializationReaderHandle_t; /* 0 is no reader */

/* Opens a reader into *pHandle, which must hold 0. No memory: 5. */
VASK_INITIALIZATION_API int VaskInitializationReader_open(
    VaskInitializationReaderHandle_t* pHandle);

/* Closes the reader and sets *pHandle to 0. A 0 handle: 13. */
VASK_INITIALIZATION_API int VaskInitializationReader_close(
    VaskInitializationReaderHandle_t* pHandle);

/*
 * Reads the whole file pFilename and appends its sections to hQueueSection.
 * A file that cannot be read gives the buffer's code; a member line without
 * '=' gives 13.
 */
VASK_INITIALIZATION_API int VaskInitializationReader_load(VaskInitializationReaderHandle_t handle,
                                                          const char* pFilename,
                                                          VaskCommonDQueueHandle_t hQueueSection);

/*
 * Parses the pBuffer->size bytes at pBuffer->pBegin, which must be followed by
 * a zero byte, and appends their sections to hQueueSection. The buffer stays
 * the caller's. A null pBegin gives 13.
 */
VASK_INITIALIZATION_API int VaskInitializationReader_parse(VaskInitializationReaderHandle_t handle,
                                                           VaskCommonBuffer_t* pBuffer,
                                                           VaskCommonDQueueHandle_t hQueueSection);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_READER_H */
