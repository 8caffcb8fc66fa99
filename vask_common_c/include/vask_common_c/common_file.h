/**
 * @file
 * A file held for an edit: read whole in one version, optionally under an
 * exclusive advisory lock, and replaced atomically only while it is still that
 * version, so that nothing another writer did is ever overwritten silently.
 *
 * Reading refuses what load2 refuses (a folder gives IsDirectory; a FIFO,
 * device or socket NotRegularFile, at once), stops at a ceiling (TooLarge), and
 * reads again when the file changes while it is read (size or modification
 * time), five times at most, then gives FileChanged. System errors map through
 * VaskCommonError_fromErrno.
 *
 * Saving follows the rules of VaskCommonBuffer_save2 (symbolic links followed
 * only where the kernel would follow them for this process, the new bytes
 * written into an unnamed file and named only just before the rename, mode,
 * owner and attributes kept, file and folder synced).
 *
 * The lock is flock(LOCK_EX): it keeps out editors that take it too (this
 * module with isLocked, the document API, the vask-ini tool), not writers that
 * do not. A change by such a writer within one timestamp tick of the
 * filesystem that keeps the size can go unseen.
 * Conventions (codes, ownership, handles, strings, tracing, threads): initialization_reader.h.
 */
#ifndef VASK_COMMON_C_COMMON_FILE_H
#define VASK_COMMON_C_COMMON_FILE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A file held open for an edit; 0 is no file. */
typedef uintptr_t VaskCommonFileHandle_t;

/** How VaskCommonFile_open holds the file. */
typedef struct VaskCommonFileOpenParam_t {
  size_t maxSize; /**< A larger file (in bytes) gives TooLarge (21), unread; 0: no ceiling. */
  bool isLocked;  /**< Hold flock(LOCK_EX) from before the read until close. */
  bool mayCreate; /**< A missing file opens with an empty text; the first save creates it. */
} VaskCommonFileOpenParam_t;

/**
 * Opens pFilename into *pHandle (which must hold 0) and reads the file whole
 * into the empty record pBuffer (a zero byte after the text, as load2 gives).
 *
 * With isLocked, takes the lock first (waiting for another holder), then
 * checks that the path still names the file it locked (a save of another
 * editor renames a new file over it) and starts again if not. With mayCreate,
 * a missing file gives an empty text (pBegin non-null, size 0) and holds no
 * lock; the path must lead to where a save could create it (else NotFound, or
 * AccessDenied for a link that the kernel would not follow). Codes: 13 for a
 * bad argument, NoMemory, NotFound, IsDirectory, NotRegularFile, TooLarge,
 * FileChanged (the file kept changing while read), any system error's code.
 * On a failure nothing is held, *pHandle stays 0 and pBuffer is as it was.
 */
VASK_COMMON_C_API int VaskCommonFile_open(const char* pFilename,
                                          const VaskCommonFileOpenParam_t* pParam,
                                          VaskCommonFileHandle_t* pHandle,
                                          VaskCommonBuffer_t* pBuffer);

/**
 * Replaces the file with the `size` bytes at pData (null when size is 0),
 * atomically, when it is still the version read: the same file at the path
 * (found the kernel's way), of the same size and modification time.
 *
 * Else FileChanged (20), nothing is written, and the handle still stands for
 * the version read. A file that was missing at open is created only if it is
 * still missing: no empty file is ever left, whatever moment the process dies
 * at. After the new file has the name the handle stands for it (locked, when
 * the handle is: the lock is taken on the new file before it is named), so that
 * it can be saved again; before that, a failure leaves the handle as it was.
 *
 * Another writer that does not lock can still change the old file during the
 * rename itself: that change is then in no file. The save notices it, returns
 * FileChanged with the new bytes in place, and, when pLost is non-null, gives
 * the old file's bytes as that writer left them in the empty record *pLost
 * (which stays empty where they cannot be read within the ceiling). A pLost
 * that already holds bytes gives 13.
 */
VASK_COMMON_C_API int VaskCommonFile_save(VaskCommonFileHandle_t handle, const char* pData,
                                          size_t size, VaskCommonBuffer_t* pLost);

/**
 * Releases the lock and the file and sets *pHandle to 0; a 0 handle is a
 * no-op. A null pHandle gives 13.
 */
VASK_COMMON_C_API int VaskCommonFile_close(VaskCommonFileHandle_t* pHandle);

/**
 * Reads the open descriptor fd (a pipe, standard input, any file) from where
 * it stands until its end into the empty record pBuffer, a zero byte after the
 * text; fd stays open. More than maxSize bytes (0: no ceiling) give TooLarge,
 * and no more than a byte past the ceiling is read. A negative fd, or a
 * record that holds bytes, gives 13. On any failure pBuffer is as it was.
 */
VASK_COMMON_C_API int VaskCommonFile_read(int fd, size_t maxSize, VaskCommonBuffer_t* pBuffer);

#ifdef __cplusplus
}
#endif

#endif /* VASK_COMMON_C_COMMON_FILE_H */
