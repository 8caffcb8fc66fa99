/**
 * @file
 * Export macro of libvask_initialization_lookup: everything else in the library is hidden.
 */
#ifndef VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_EXPORT_H
#define VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
/** Marks a function or variable of libvask_initialization_lookup as exported (default visibility).
 */
#define VASK_INITIALIZATION_LOOKUP_API __attribute__((visibility("default")))
#else
#define VASK_INITIALIZATION_LOOKUP_API
#endif

#endif /* VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_EXPORT_H */
