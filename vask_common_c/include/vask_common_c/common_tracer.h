/**
 * @file
 * Process-wide tracer. A host opens a tracer on a stream and stores its handle
 * in hTracer; the libraries trace every failure through it, one line each:
 *
 * @verbatim
   <level letter> <source file base name>:<line> <function>: <text>(<code>)
   @endverbatim
 * e.g. "E initialization_section.cpp:57 VaskInitializationSection_create: out of memory(5)".
 * hTracer 0 (the default) means no tracer: nothing is written.
 *
 * The libraries write each line whole under the stream's own lock (flockfile
 * around the prefix and the rest), so lines traced by different threads never
 * interleave. A host that writes to the same stream from other threads keeps its
 * own output whole the same way; the libraries take no lock of their own.
 *
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_TRACER_H
#define VASK_COMMON_C_COMMON_TRACER_H

#include <stdint.h>

#include <vask_common_c/common_export.h>
#include <vask_common_c/linux/linux_stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A tracer, as handed out by VaskCommonTracer_open; 0 is no tracer. */
typedef uintptr_t VaskCommonTracerHandle_t;

/** The level of a trace line, lowest first; a tracer writes its own level and above. */
typedef enum VaskCommonTracerLevel_t {
  VaskCommonTracerLevel_Debug = 0,   /**< Detail for debugging; letter D. */
  VaskCommonTracerLevel_Info = 1,    /**< Normal operation; letter I. */
  VaskCommonTracerLevel_Warning = 2, /**< A failure passed over; letter W. */
  VaskCommonTracerLevel_Error = 3,   /**< A failure returned to the caller; letter E. */
  VaskCommonTracerLevel_Sum = 4      /**< The count of levels, no level itself. */
} VaskCommonTracerLevel_t;

/** What VaskCommonTracer_open needs: the stream and the lowest level to write. */
typedef struct VaskCommonTracerOpenParam_t {
  VaskCommonStdioFile_t* pFile;  /**< Where the lines go; the caller keeps it open and owns it. */
  VaskCommonTracerLevel_t level; /**< The lowest level written. */
} VaskCommonTracerOpenParam_t;

/** The tracer that both libraries write to; read afresh at every trace. */
VASK_COMMON_C_API extern VaskCommonTracerHandle_t hTracer;

/**
 * Opens a tracer into *pHandle (which must hold 0).
 * Bad arguments give 13 and no memory 5; *pHandle then stays 0.
 */
VASK_COMMON_C_API int VaskCommonTracer_open(const VaskCommonTracerOpenParam_t* pParam,
                                            VaskCommonTracerHandle_t* pHandle);

/**
 * Releases the tracer and sets *pHandle to 0; the stream stays open.
 * A 0 handle gives 13.
 */
VASK_COMMON_C_API int VaskCommonTracer_close(VaskCommonTracerHandle_t* pHandle);

/**
 * Returns 0 after writing the prefix of a line at `level` for the given source
 * file, line and function; the caller then writes the rest of the line to
 * VaskCommonTracer_file. Any other result means nothing is to be written:
 * 13 for a 0 handle or a bad level, NotEnabled for a level below the tracer's.
 */
VASK_COMMON_C_API int VaskCommonTracer_prefixSet(VaskCommonTracerHandle_t handle,
                                                 VaskCommonTracerLevel_t level, const char* pFile,
                                                 int line, const char* pFunction);

/** Returns the tracer's stream, or null for a 0 handle. */
VASK_COMMON_C_API VaskCommonStdioFile_t* VaskCommonTracer_file(VaskCommonTracerHandle_t handle);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_TRACER_H */
