/**
 * @file
 * Byte buffer with whole-file load and atomic save.
 *
 * A buffer record is created empty (pBegin null) and released with
 * VaskCommonBuffer_delete, which also frees the bytes when isAllocated is set.
 * Null or wrongly placed arguments give VaskCommonError_InvalidArgument (13)
 * and change nothing. System errors map through VaskCommonError_fromErrno
 * (NotFound, AccessDenied, ReadOnlyFileSystem, LinkLoop, NameTooLong, NoSpace,
 * QuotaExceeded, ...); a failed allocation gives NoMemory.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_BUFFER_H
#define VASK_COMMON_C_COMMON_BUFFER_H

#include <stdbool.h>
#include <stddef.h>

#include <vask_common_c/common_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A run of bytes, owned by the record or lent to it. */
typedef struct VaskCommonBuffer_t {
  char* pBegin;     /**< First byte, or null for an empty record. */
  size_t offset;    /**< Free for the caller; the buffer functions leave it alone. */
  size_t size;      /**< Number of bytes at pBegin. */
  void* pUserData;  /**< Free for the caller. */
  bool isAllocated; /**< The record owns pBegin and frees it on delete. */
} VaskCommonBuffer_t;

/**
 * Creates an empty, zero-filled record in *ppBuffer, which must hold null.
 * NoMemory when it cannot be allocated; *ppBuffer stays null then.
 */
VASK_COMMON_C_API int VaskCommonBuffer_create(VaskCommonBuffer_t** ppBuffer);

/**
 * Frees the record (and its bytes when isAllocated) and nulls *ppBuffer.
 * A null pointer or record is a no-op; never fails.
 */
VASK_COMMON_C_API int VaskCommonBuffer_delete(VaskCommonBuffer_t** ppBuffer);

/**
 * Reads the file into the empty record pBuffer: `size` bytes from byte
 * `offset` on, or all bytes from `offset` to the end when `size` is 0.
 *
 * An offset at or past the end gives an empty text. pBegin is non-null
 * afterwards, even for an empty file, and a zero byte stands at pBegin[size].
 * Files whose size reads as 0 (those of /proc) load whole. The text is of one
 * version of the file: where its size or modification time changes during the
 * read, it is read again from `offset`, five times at most, then FileChanged;
 * a mix of two versions is never a success. A record that already holds bytes
 * gives 13; a folder gives IsDirectory; a FIFO, device or socket gives
 * NotRegularFile at once, without waiting for a writer. Links are followed by
 * the kernel, with its rules. On any failure the record is left as it was.
 */
VASK_COMMON_C_API int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                                             VaskCommonBuffer_t* pBuffer);

/**
 * Writes the bytes from pBegin + offset to pBegin + size into the file,
 * replacing it atomically, or creating it; offset beyond size gives 13.
 *
 * The new bytes go into a file without a name (O_TMPFILE) in the target's
 * folder, which is synced and only then linked under a random name and renamed
 * over the target, or linked straight to the name of a missing target. A failed
 * or interrupted save leaves the old file whole (or no file), never an empty
 * or partly written one. Where the filesystem has no unnamed files, the new
 * bytes go to `NAME.tmp-` and 16 random hex digits, made exclusively; names
 * that others planted are never used and never stop a save.
 *
 * - Links: the save lands where open(pFilename, O_WRONLY | O_CREAT) by this
 *   process would write, and fails where that open fails because of
 *   fs.protected_symlinks or fs.protected_regular (AccessDenied). A chain of
 *   links that ends at a missing file (at most 40 links) creates that file, as
 *   the shell's '>' does. The links stay links.
 * - The rename needs a folder that the caller may write (and, in a sticky
 *   folder, a file or folder of its own): where '>' could write the file in
 *   place, the save may still fail with AccessDenied.
 * - A file that exists but is not a regular file gives NotRegularFile (FIFO,
 *   device, socket) or IsDirectory (a folder); nothing is written and nothing
 *   is opened that could block.
 * - A file the caller may not write gives AccessDenied, even in a writable
 *   folder.
 * - A replaced file keeps its mode, its owner and group where the caller may
 *   set them (else setuid and setgid are dropped), and its extended attributes
 *   (ACL, security label) where the filesystem and the caller's rights allow;
 *   those it refuses are left behind and the save goes on. The new file is
 *   owner-only until it gets the mode just before it is named. A new file is
 *   made with 0666 less the umask.
 * - The rename gives the name a new file: other hard links to the old file
 *   keep the old bytes.
 * - On success the bytes, the file's attributes and its name are on disk: the
 *   file is synced before it is named and the folder after. A failed sync of
 *   the folder gives InputOutput (or NoSpace): the new bytes are in place then
 *   but may not survive a system crash. A folder that may be written but not
 *   read, or a filesystem that cannot sync folders, is left to its own commit.
 * - Needs /proc (the new file is named through /proc/self/fd).
 */
VASK_COMMON_C_API int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename,
                                             size_t offset);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_BUFFER_H */
