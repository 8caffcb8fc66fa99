#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kStreamChunk = size_t{64} * 1024;

int error_fromErrno(int number) {
  switch (number) {
    case ENOENT:
    case ENOTDIR:
      return VaskCommonError_NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return VaskCommonError_AccessDenied;
    case EISDIR:
      return VaskCommonError_IsDirectory;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return VaskCommonError_NoSpace;
    case ENOMEM:
      return VaskCommonError_NoMemory;
    default:
      return VaskCommonError_InputOutput;
  }
}

// Closes a file descriptor when it leaves scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      (void)::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close itself succeeded.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// A growable heap text, always with room for its closing zero byte.
struct Text_t {
  char* pData = nullptr;
  size_t size = 0;
  size_t capacity = 0;

  Text_t() = default;
  Text_t(const Text_t&) = delete;
  Text_t& operator=(const Text_t&) = delete;
  ~Text_t() { std::free(pData); }

  int reserve(size_t wanted) {
    if (wanted == SIZE_MAX) {
      return VaskCommonError_NoMemory;
    }
    if (pData != nullptr && wanted <= capacity) {
      return VaskCommonError_Success;
    }
    auto* pGrown = static_cast<char*>(std::realloc(pData, wanted + 1));
    if (pGrown == nullptr) {
      return VaskCommonError_NoMemory;
    }
    pData = pGrown;
    capacity = wanted;
    return VaskCommonError_Success;
  }
};

// Reads up to `limit` bytes (0: no limit) into pText, growing it as needed.
int descriptor_read(int fd, size_t limit, size_t sizeHint, Text_t* pText) {
  int result = pText->reserve(sizeHint);
  while (result == VaskCommonError_Success && (limit == 0 || pText->size < limit)) {
    if (pText->size == pText->capacity) {
      const size_t grown =
          pText->capacity + (pText->capacity > kStreamChunk ? pText->capacity : kStreamChunk);
      result = pText->reserve(grown < pText->capacity ? SIZE_MAX : grown);
      continue;
    }
    size_t room = pText->capacity - pText->size;
    if (limit != 0 && room > limit - pText->size) {
      room = limit - pText->size;
    }
    const ssize_t count = ::read(fd, pText->pData + pText->size, room);
    if (count == 0) {
      break;
    }
    if (count < 0) {
      if (errno != EINTR) {
        result = error_fromErrno(errno);
      }
      continue;
    }
    pText->size += static_cast<size_t>(count);
  }
  return result;
}

// Moves the read position to `offset`, by seeking where the file allows it.
int descriptor_skip(int fd, size_t offset) {
  if (offset == 0) {
    return VaskCommonError_Success;
  }
  if (offset <= static_cast<size_t>(INT64_MAX) &&
      ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0) {
    return VaskCommonError_Success;
  }
  Text_t skipped;
  const int result =
      descriptor_read(fd, offset, offset < kStreamChunk ? offset : kStreamChunk, &skipped);
  if (result == VaskCommonError_Success && skipped.size < offset) {
    return VaskCommonError_Success;  // past the end: nothing is left to read
  }
  return result;
}

int descriptor_writeAll(int fd, const char* pData, size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(fd, pData, size);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      return error_fromErrno(errno);
    }
    pData += count;
    size -= static_cast<size_t>(count);
  }
  return VaskCommonError_Success;
}

// Creates a new temporary file beside pFilename, with 0666 less the umask,
// and gives its name (heap) and descriptor.
int temporary_create(const char* pFilename, char** ppName, int* pFd) {
  static unsigned counter = 0;
  const size_t length = std::strlen(pFilename) + 48;
  auto* pName = static_cast<char*>(std::malloc(length));
  if (pName == nullptr) {
    return VaskCommonError_NoMemory;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    (void)std::snprintf(pName, length, "%s.tmp-%ld-%u", pFilename, static_cast<long>(::getpid()),
                        __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED));
    const int fd = ::open(pName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *ppName = pName;
      *pFd = fd;
      return VaskCommonError_Success;
    }
    if (errno != EEXIST) {
      const int result = error_fromErrno(errno);
      std::free(pName);
      return result;
    }
  }
  std::free(pName);
  return VaskCommonError_InputOutput;
}

// Gives the temporary file the permission bits of the file it replaces.
int mode_copy(const char* pFilename, int fd) {
  struct stat status {};
  if (::stat(pFilename, &status) != 0) {
    return errno == ENOENT ? VaskCommonError_Success : error_fromErrno(errno);
  }
  if (S_ISDIR(status.st_mode)) {
    return VaskCommonError_IsDirectory;
  }
  return ::fchmod(fd, status.st_mode & 07777) == 0 ? VaskCommonError_Success
                                                   : error_fromErrno(errno);
}

// Makes the rename itself durable; a folder that cannot be synced is no failure of the save.
void folder_sync(const char* pFilename) {
  const char* pSlash = std::strrchr(pFilename, '/');
  char* pFolder = pSlash == nullptr
                      ? strdup(".")
                      : strndup(pFilename, static_cast<size_t>(pSlash - pFilename) + 1);
  if (pFolder == nullptr) {
    return;
  }
  Descriptor folder(::open(pFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::free(pFolder);
  if (folder.get() >= 0) {
    (void)::fsync(folder.get());
  }
}

int temporary_fill(const char* pFilename, int fd, const char* pData, size_t size) {
  int result = mode_copy(pFilename, fd);
  if (result == VaskCommonError_Success) {
    result = descriptor_writeAll(fd, pData, size);
  }
  if (result == VaskCommonError_Success && ::fsync(fd) != 0) {
    result = error_fromErrno(errno);
  }
  return result;
}

}  // namespace

extern "C" int VaskCommonBuffer_create(VaskCommonBuffer_t** ppBuffer) {
  if (ppBuffer == nullptr || *ppBuffer != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pBuffer = static_cast<VaskCommonBuffer_t*>(std::calloc(1, sizeof(VaskCommonBuffer_t)));
  if (pBuffer == nullptr) {
    return VaskCommonError_NoMemory;
  }
  *ppBuffer = pBuffer;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonBuffer_delete(VaskCommonBuffer_t** ppBuffer) {
  if (ppBuffer == nullptr || *ppBuffer == nullptr) {
    return VaskCommonError_Success;
  }
  if ((*ppBuffer)->isAllocated) {
    std::free((*ppBuffer)->pBegin);
  }
  std::free(*ppBuffer);
  *ppBuffer = nullptr;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonBuffer_load2(const char* pFilename, size_t offset, size_t size,
                                      VaskCommonBuffer_t* pBuffer) {
  if (pFilename == nullptr || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Descriptor file(::open(pFilename, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    return error_fromErrno(errno);
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    return error_fromErrno(errno);
  }
  if (S_ISDIR(status.st_mode)) {
    return VaskCommonError_IsDirectory;
  }
  size_t hint = kStreamChunk;
  if (S_ISREG(status.st_mode)) {
    const auto fileSize = static_cast<size_t>(status.st_size);
    hint = offset < fileSize ? fileSize - offset : 0;
    if (size != 0 && size < hint) {
      hint = size;
    } else if (hint < SIZE_MAX) {
      // One byte of room past the end, so that the read which finds the end
      // does not first double the text.
      ++hint;
    }
  }
  Text_t text;
  int result = descriptor_skip(file.get(), offset);
  if (result == VaskCommonError_Success) {
    result = descriptor_read(file.get(), size, hint, &text);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  text.pData[text.size] = '\0';
  pBuffer->pBegin = text.pData;
  pBuffer->size = text.size;
  pBuffer->isAllocated = true;
  text.pData = nullptr;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonBuffer_save2(VaskCommonBuffer_t* pBuffer, const char* pFilename,
                                      size_t offset) {
  if (pBuffer == nullptr || pFilename == nullptr || pFilename[0] == '\0' ||
      offset > pBuffer->size || (pBuffer->pBegin == nullptr && pBuffer->size != 0)) {
    return VaskCommonError_InvalidArgument;
  }
  char* pTemporary = nullptr;
  int fd = -1;
  int result = temporary_create(pFilename, &pTemporary, &fd);
  if (result != VaskCommonError_Success) {
    return result;
  }
  Descriptor file(fd);
  result = temporary_fill(pFilename, fd, pBuffer->pBegin + offset, pBuffer->size - offset);
  if (file.close() != 0 && result == VaskCommonError_Success) {
    result = error_fromErrno(errno);
  }
  if (result == VaskCommonError_Success && ::rename(pTemporary, pFilename) != 0) {
    result = error_fromErrno(errno);
  }
  if (result == VaskCommonError_Success) {
    folder_sync(pFilename);
  } else {
    (void)::unlink(pTemporary);
  }
  std::free(pTemporary);
  return result;
}
