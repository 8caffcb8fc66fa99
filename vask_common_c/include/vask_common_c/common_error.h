/**
 * @file
 * Result codes of libvask_common_c and libvask_initialization, and their texts.
 *
 * Every function of both libraries returns an int result code (except
 * VaskCommonDQueue_length, VaskCommonTracer_file, VaskCommonError_text and
 * VaskCommonError_fromErrno). 0 is success; any other value names the failure.
 *
 * NotRegularFile comes from the buffer's and the file module's load and save
 * (and passes through the reader and writer); NoEntry, NearMiss, BadValue and
 * MalformedLine come only from libvask_initialization_lookup. FileChanged,
 * TooLarge and the codes of system errors (ReadOnlyFileSystem, LinkLoop,
 * NameTooLong, QuotaExceeded) come from the support library's file functions
 * and pass through.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_ERROR_H
#define VASK_COMMON_C_COMMON_ERROR_H

#include <vask_common_c/common_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The result codes; VaskCommonError_text gives each one's text. */
typedef enum VaskCommonError_t {
  VaskCommonError_Success = 0,             /**< Success. */
  VaskCommonError_Failure = 1,             /**< A failure without a more precise code. */
  VaskCommonError_NotFound = 2,            /**< No such file or folder (ENOENT, ENOTDIR). */
  VaskCommonError_AccessDenied = 3,        /**< Not allowed to the caller (EACCES, EPERM). */
  VaskCommonError_InputOutput = 4,         /**< An I/O error, or a system error without a code. */
  VaskCommonError_NoMemory = 5,            /**< An allocation failed. */
  VaskCommonError_IsDirectory = 6,         /**< A folder where a file is needed. */
  VaskCommonError_NoSpace = 7,             /**< No space left on the device (ENOSPC, EFBIG). */
  VaskCommonError_NotEnabled = 8,          /**< The tracer's level is above the one asked for. */
  VaskCommonError_InvalidArgument = 13,    /**< A bad argument, or a handle in the wrong state. */
  VaskCommonError_Continue = 14,           /**< More text follows a section (reader inside). */
  VaskCommonError_NotRegularFile = 15,     /**< A FIFO, device or socket where a file is needed. */
  VaskCommonError_NoEntry = 16,            /**< No such section or key. */
  VaskCommonError_NearMiss = 17,           /**< No such key; one followed by blanks exists. */
  VaskCommonError_BadValue = 18,           /**< The value is not of that type, or out of range. */
  VaskCommonError_MalformedLine = 19,      /**< A line that the reader cannot read. */
  VaskCommonError_FileChanged = 20,        /**< Another writer changed the file since the read. */
  VaskCommonError_TooLarge = 21,           /**< The input is larger than the ceiling allows. */
  VaskCommonError_ReadOnlyFileSystem = 22, /**< The file system is read-only (EROFS). */
  VaskCommonError_LinkLoop = 23,           /**< Too many symbolic links, or a loop (ELOOP). */
  VaskCommonError_NameTooLong = 24,        /**< A name or path too long (ENAMETOOLONG). */
  VaskCommonError_QuotaExceeded = 25       /**< The disk quota is used up (EDQUOT). */
} VaskCommonError_t;

/**
 * A constant text for `code`; "unknown error" for a code that is none of the
 * above. Never null.
 */
VASK_COMMON_C_API const char* VaskCommonError_text(int code);

/**
 * The code that names a system error (an errno value): ENOENT and ENOTDIR give
 * NotFound, EACCES and EPERM AccessDenied, EROFS ReadOnlyFileSystem, ELOOP
 * LinkLoop, ENAMETOOLONG NameTooLong, ENOSPC and EFBIG NoSpace, EDQUOT
 * QuotaExceeded, EISDIR IsDirectory, ENXIO NotRegularFile, ENOMEM NoMemory;
 * any other InputOutput (0 too: a caller that found no errno still fails).
 * The one mapping of the libraries and the tool.
 */
VASK_COMMON_C_API int VaskCommonError_fromErrno(int number);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_ERROR_H */
