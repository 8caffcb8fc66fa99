/**
 * @file
 * Reader: loads a file, or parses a text buffer, into a section queue that the
 * caller owns (items VaskInitializationSection_t*). Sections are appended after
 * whatever the queue holds, in file order. On a failure the reader stops, traces
 * it and returns the code; sections appended before the failing one stay queued.
 *
 * The conventions of libvask_initialization and libvask_common_c, stated once:
 * - Codes: every function returns an int result code of <vask_common_c/common_error.h>
 *   (but VaskCommonDQueue_length, VaskCommonTracer_file and VaskCommonError_text):
 *   0 on success; VaskCommonError_InvalidArgument (13) for a null or wrongly placed
 *   argument, with nothing changed and nothing traced; VaskCommonError_NoMemory (5)
 *   for a failed allocation; the support library's other codes pass through.
 *   VaskCommonError_text(code) names any code.
 * - Ownership: an object is handed out through a pointer to a pointer (or to a
 *   handle) that must hold null (0) on entry to its create/open and is set back to
 *   null (0) by the matching delete/close; deleting a null record returns 0. A
 *   record owns what is stored in it, a queue the items pushed into it.
 * - Handles (reader, writer, queue, memory stream, tracer) are unsigned integers of
 *   pointer width; 0 is no object.
 * - Strings are NUL-terminated heap strings, released with free(): store only
 *   memory from malloc, calloc or strdup in a record.
 * - Tracing: each failure is traced in one line through the tracer in hTracer, at
 *   Error level, or Warning where the writer passes the failure over; hTracer 0
 *   (the default) writes nothing.
 * - Threads: there is no state but in the handles, queues and records a host
 *   holds, and hTracer. Each handle, queue and record is used by one thread at a
 *   time; different ones may be used on different threads at once. hTracer is
 *   process-wide and read at every trace: set it before threads start; each trace
 *   line stays whole under its stream's lock. A queue opened with isThreadSafe
 *   makes each queue operation safe on its own, not a walk over the queue (a
 *   load, a serialization, a lookup): keep other threads off the queue meanwhile.
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

/** A reader, as handed out by VaskInitializationReader_open; 0 is no reader. */
typedef uintptr_t VaskInitializationReaderHandle_t;

/** Opens a reader into *pHandle, which must hold 0. No memory gives 5, *pHandle staying 0. */
VASK_INITIALIZATION_API int VaskInitializationReader_open(
    VaskInitializationReaderHandle_t* pHandle);

/** Closes the reader and sets *pHandle to 0. A 0 handle gives 13. */
VASK_INITIALIZATION_API int VaskInitializationReader_close(
    VaskInitializationReaderHandle_t* pHandle);

/**
 * Reads the whole file pFilename and appends its sections to hQueueSection.
 * A file that cannot be read gives the buffer's code; a member line without
 * '=' gives 13.
 */
VASK_INITIALIZATION_API int VaskInitializationReader_load(VaskInitializationReaderHandle_t handle,
                                                          const char* pFilename,
                                                          VaskCommonDQueueHandle_t hQueueSection);

/**
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
