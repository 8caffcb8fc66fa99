/**
 * @file
 * Writer: turns a section queue back into text, into a buffer or a file, and
 * leaves the queue as it was.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 *
 * Layout, for the section at position i: an LF when i > 0; each comment and an
 * LF, then one more LF when there are comments; "[name]\n\n" when there is a
 * header; per member "key=value" (when both are non-null), " comment" (when
 * non-null), then an LF.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_WRITER_H
#define VASK_INITIALIZATION_INITIALIZATION_WRITER_H

#include <stdint.h>

#include <initialization_export.h>
#include <initialization_section.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A writer, as handed out by VaskInitializationWriter_open; 0 is no writer. */
typedef uintptr_t VaskInitializationWriterHandle_t;

/** Opens a writer into *pHandle, which must hold 0. No memory gives 5, *pHandle staying 0. */
VASK_INITIALIZATION_API int VaskInitializationWriter_open(
    VaskInitializationWriterHandle_t* pHandle);

/** Closes the writer and sets *pHandle to 0. A 0 handle gives 13. */
VASK_INITIALIZATION_API int VaskInitializationWriter_close(
    VaskInitializationWriterHandle_t* pHandle);

/**
 * Writes the queue's text into the empty buffer pBuffer (pBegin null, else 13):
 * afterwards pBegin holds the text with a zero byte after it, size its length,
 * and isAllocated is true. A failure inside the queue walk is traced as a
 * warning and the text written so far is kept.
 */
VASK_INITIALIZATION_API int VaskInitializationWriter_serialize(
    VaskInitializationWriterHandle_t handle, VaskCommonDQueueHandle_t hQueueSection,
    VaskCommonBuffer_t* pBuffer);

/**
 * Writes the queue's text to the file pFilename (non-empty, else 13), replacing
 * it atomically. Note the order: file name before queue.
 */
VASK_INITIALIZATION_API int VaskInitializationWriter_save(VaskInitializationWriterHandle_t handle,
                                                          const char* pFilename,
                                                          VaskCommonDQueueHandle_t hQueueSection);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_WRITER_H */
