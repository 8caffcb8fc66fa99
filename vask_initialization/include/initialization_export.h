/**
 * @file
 * Export macro of libvask_initialization: everything else in the library is hidden.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_INITIALIZATION_INITIALIZATION_EXPORT_H
#define VASK_INITIALIZATION_INITIALIZATION_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
/** Marks a function or variable of libvask_initialization as exported (default visibility). */
#define VASK_INITIALIZATION_API __attribute__((visibility("default")))
#else
#define VASK_INITIALIZATION_API
#endif

#endif /* VASK_INITIALIZATION_INITIALIZATION_EXPORT_H */
