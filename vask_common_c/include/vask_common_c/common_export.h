/**
 * @file
 * Export macro of libvask_common_c: everything else in the library is hidden.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_EXPORT_H
#define VASK_COMMON_C_COMMON_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
/** Marks a function or variable of libvask_common_c as exported (default visibility). */
#define VASK_COMMON_C_API __attribute__((visibility("default")))
#else
#define VASK_COMMON_C_API
#endif

#endif /* VASK_COMMON_C_COMMON_EXPORT_H */
