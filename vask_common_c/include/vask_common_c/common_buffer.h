/*
 * Byte buffer with whole-file load and atomic save.
 *
 * A buffer record is created empty (pBegin null) and released with
 * VaskCommonBuffer_delete, which also frees the bytes when isAllocated is set.
 * Null or wrongly placed arguments give VaskCommonError_InvalidArgument (13)
 * and change nothing. File errors map to NotFound, AccessDenied, IsDirectory,
 * NoSpace or InputOutput; a failed allocation gives NoMemory.
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
 * on, or all bytes from `offset` to the end when `size` is 0. pBegin is non-null
 * afterwards, even for an empty file, and a zero byte stands at pBegin[size].
 * A record that already holds bytes gives 13; a folder gives IsDirectory. On any
 * failure the record is left as it was.
 */
VASK_COMMON_C_API int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                                             VaskCommonBuffer_t* pBuffer);

/*
 * Writes the bytes from pBegin + offset to pBegin + size into the file, replacing
 * it atomically: a temporary file in the same folder is written, flushed to disk
 * and renamed over the target, so a failed save leaves the old file whole and no
 * temporary file behind. A replaced file keeps its permission bits; a new one is
 * made with 0666 less the umask. offset beyond size gives 13.
 */
VASK_COMMON_C_API int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename,
                                             size_t offset);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_BUFFER_H */
