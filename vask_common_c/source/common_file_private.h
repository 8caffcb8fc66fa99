// What the buffer's load and save share with the file module: one way to read a
// file in one version, one way to replace a file.
#ifndef VASK_COMMON_C_SOURCE_COMMON_FILE_PRIVATE_H
#define VASK_COMMON_C_SOURCE_COMMON_FILE_PRIVATE_H

#include <vask_common_c/common_buffer.h>

#include <cstddef>

namespace vask {

// VaskCommonBuffer_load2 past its argument checks: `size` bytes (0: all) of the
// regular file pFilename from byte `offset` on, read again while the file changes.
int file_load(const char* pFilename, size_t offset, size_t size, VaskCommonBuffer_t* pBuffer);

// VaskCommonBuffer_save2 past its argument checks: pFilename replaced, or created,
// with the `size` bytes at pData.
int file_replace(const char* pFilename, const char* pData, size_t size);

}  // namespace vask

#endif  // VASK_COMMON_C_SOURCE_COMMON_FILE_PRIVATE_H
