/*
 * Byte buffer with whole-file load and atomic save.
 *
 * A buffer record is created empty (pBegin null) and released with
 * VaskCommonBuffer_delete, which also frees the bytes when isAllocated is set.
 * Null or wrongly placed arguments give VaskCommonError_InvalidArgument (13)
 * and change nothing. File errors map to NotFound, AccessDenied, IsDirectory,
 * NotRegularFile, NoSpace or InputOutput; a failed allocation gives NoMemory; a
 * name too long for the system, or a loop of symbolic links, gives 13.
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

typedef struct VaskCommonBuffer_t {
  char* pBegin;     /* first byte, or null for an empty record */
  size_t offset;    /* free for the caller; the buffer functions leave it alone */
  size_t size;      /* number of bytes at pBegin */
  void* pUserData;  /* free for the caller */
  bool isAllocated; /* the record owns pBegin and frees it on delete */
} VaskCommonBuffer_t;

/* Creates an empty, zero-filled record in *ppBuffer, which must hold null. */
VASK_COMMON_C_API int VaskCommonBuffer_create(VaskCommonBuffer_t** ppBuffer);

/* Frees the record (and its bytes when isAllocated) and nulls *ppBuffer; a null is a no-op. */
VASK_COMMON_C_API int VaskCommonBuffer_delete(VaskCommonBuffer_t** ppBuffer);

/*
 * Reads the file into the empty record pBuffer: `size` bytes from byte `offset`
 * on, or all bytes from `offset` to the end when `size` is 0; an offset at or
 * past the end gives an empty text. pBegin is non-null afterwards, even for an
 * empty file, and a zero byte stands at pBegin[size].
 * Files whose size reads as 0 (those of /proc) load whole. A record that already
 * holds bytes gives 13; a folder gives IsDirectory; a FIFO, device or socket
 * gives NotRegularFile at once, without waiting for a writer. On any failure the
 * record is left as it was.
 */
VASK_COMMON_C_API int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                                             VaskCommonBuffer_t* pBuffer);

/*
 * Writes the bytes from pBegin + offset to pBegin + size into the file, replacing
 * it atomically: a temporary file beside it is written, synced and renamed over
 * it, so a failed or interrupted save leaves the old file whole. offset beyond
 * size gives 13.
 *
 * - Symbolic links (up to 40 in a chain) are followed: the file they end in is
 *   replaced and the links stay links. A dangling link is saved through and its
 *   target created, as the shell's '>' does.
 * - A file that exists but is not a regular file gives NotRegularFile (FIFO,
 *   device, socket) or IsDirectory (a folder, as rename and load2 report it);
 *   nothing is written and nothing is opened that could block.
 * - A file the caller may not write gives AccessDenied, even in a writable folder.
 * - A replaced file keeps its mode, its owner and group where the caller may set
 *   them (else setuid and setgid are dropped), and its extended attributes (ACL,
 *   security label) where the filesystem and the caller's rights allow; those it
 *   refuses are left behind and the save goes on. The temporary file is
 *   owner-only until it gets the mode just before the rename. A new file is made
 *   with 0666 less the umask.
 * - The rename gives the name a new file: other hard links to the old file keep
 *   the old bytes.
 * - On success the bytes, the file's attributes and its name are on disk: the file
 *   is synced before the rename and the folder after it. A failed sync of the
 *   folder gives InputOutput (or NoSpace): the new bytes are in place then but may
 *   not survive a system crash. A folder that may be written but not read, or a
 *   filesystem that cannot sync folders, is left to its own commit.
 */
VASK_COMMON_C_API int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename,
                                             size_t offset);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_BUFFER_H */
