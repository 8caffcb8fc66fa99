/**
 * @file
 * The stdio stream type that the support library hands out: the C FILE.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_LINUX_LINUX_STDIO_H
#define VASK_COMMON_C_LINUX_LINUX_STDIO_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A stdio stream: the C FILE. */
typedef FILE VaskCommonStdioFile_t;

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_LINUX_LINUX_STDIO_H */
