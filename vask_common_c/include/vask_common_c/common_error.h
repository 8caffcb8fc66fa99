/*
 * Result codes of libvask_common_c and libvask_initialization, and their texts.
 *
 * Every function of both libraries returns an int result code (except
 * VaskCommonDQueue_length, VaskCommonTracer_file and VaskCommonError_text).
 * 0 is success; any other value names the failure.
 *
 * NotRegularFile comes from the buffer's load and save (and passes through the
 * reader and writer); NoEntry, NearMiss, BadValue and MalformedLine come only
 * from libvask_initialization_lookup. FileChanged, TooLarge and the codes of
 * system errors (ReadOnlyFileSystem, LinkLoop, NameTooLong, QuotaExceeded)
 * come from the support library's file functions and pass through.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_ERROR_H
#define VASK_COMMON_C_COMMON_ERROR_H

#include <vask_common_c/common_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The one list of codes: name, value, text. Names and texts cannot drift apart. */
#define VASK_COMMON_ERROR_LIST(X)                                 \
  X(Success, 0, "success")                                        \
  X(Failure, 1, "failure")                                        \
  X(NotFound, 2, "no such file or folder")                        \
  X(AccessDenied, 3, "access denied")                             \
  X(InputOutput, 4, "input/output error")                         \
  X(NoMemory, 5, "out of memory")                                 \
  X(IsDirectory, 6, "is a folder")                                \
  X(NoSpace, 7, "no space left on device")                        \
  X(NotEnabled, 8, "not enabled")                                 \
  X(InvalidArgument, 13, "invalid argument")                      \
  X(Continue, 14, "continue")                                     \
  X(NotRegularFile, 15, "not a regular file")                     \
  X(NoEntry, 16, "no such section or key")                        \
  X(NearMiss, 17, "no such key; one with trailing blanks exists") \
  X(BadValue, 18, "the value is not of that type, or out of range") \
  X(MalformedLine, 19, "malformed line")                          \
  X(FileChanged, 20, "the file changed since it was read")        \
  X(TooLarge, 21, "the input is larger than allowed")             \
  X(ReadOnlyFileSystem, 22, "read-only file system")              \
  X(LinkLoop, 23, "too many levels of symbolic links")            \
  X(NameTooLong, 24, "file name too long")                        \
  X(QuotaExceeded, 25, "disk quota exceeded")

#define VASK_COMMON_ERROR_ENUMERATOR(name, value, text) VaskCommonError_##name = (value),
typedef enum VaskCommonError_t {
  VASK_COMMON_ERROR_LIST(VASK_COMMON_ERROR_ENUMERATOR)
} VaskCommonError_t;
#undef VASK_COMMON_ERROR_ENUMERATOR

/* A constant text for `code`; "unknown error" for a code not in the list. Never null. */
VASK_COMMON_C_API const char* VaskCommonError_text(int code);

/*
 * The code that names a system error (an errno value): ENOENT and ENOTDIR give
 * NotFound, EACCES and EPERM AccessDenied, EROFS ReadOnlyFileSystem, ELOOP
 * LinkLoop, ENAMETOOLONG NameTooLong, ENOSPC and EFBIG NoSpace, EDQUOT
 * QuotaExceeded, EISDIR IsDirectory, ENXIO NotRegularFile, ENOMEM NoMemory;
 * any other InputOutput. The one mapping of the libraries and the tool.
 */
VASK_COMMON_C_API int VaskCommonError_fromErrno(int number);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_ERROR_H */
