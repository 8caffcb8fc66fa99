#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kStreamChunk = size_t{64} * 1024;
constexpr int kLinkLimit = 40;  // as many symbolic links as the kernel follows in one name

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
    case ENXIO:  // a socket, or a device without its driver
      return VaskCommonError_NotRegularFile;
    case ELOOP:
    case ENAMETOOLONG:
      return VaskCommonError_InvalidArgument;
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

// Calls again while a signal interrupts the call. Never for close: Linux has
// released the descriptor even when close reports EINTR.
template <typename Call_t>
auto system_retry(Call_t call) {
  auto result = call();
  while (result < 0 && errno == EINTR) {
    result = call();
  }
  return result;
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
    const ssize_t count =
        system_retry([&] { return ::read(fd, pText->pData + pText->size, room); });
    if (count < 0) {
      result = error_fromErrno(errno);
    }
    if (count <= 0) {
      break;
    }
    pText->size += static_cast<size_t>(count);
  }
  return result;
}

int descriptor_writeAll(int fd, const char* pData, size_t size) {
  while (size > 0) {
    const ssize_t count = system_retry([&] { return ::write(fd, pData, size); });
    if (count < 0) {
      return error_fromErrno(errno);
    }
    pData += count;
    size -= static_cast<size_t>(count);
  }
  return VaskCommonError_Success;
}

// The file a save replaces, found through any symbolic links, and its folder,
// held open so that every later step works in the same folder.
struct Target_t {
  char path[PATH_MAX];
  const char* pName = nullptr;  // the last part of path
  int folder = -1;
  struct stat status {};
  bool exists = false;

  Target_t() = default;
  Target_t(const Target_t&) = delete;
  Target_t& operator=(const Target_t&) = delete;
  ~Target_t() {
    if (folder >= 0) {
      (void)::close(folder);
    }
  }
};

// Follows symbolic links from pFilename to the file that they end in, which
// need not exist (a dangling link is saved through, as the shell's '>' does).
int target_resolve(const char* pFilename, char (&path)[PATH_MAX]) {
  const size_t length = std::strlen(pFilename);
  if (length >= PATH_MAX) {
    return VaskCommonError_InvalidArgument;
  }
  std::memcpy(path, pFilename, length + 1);
  for (int hop = 0; hop <= kLinkLimit; ++hop) {
    char link[PATH_MAX];
    const ssize_t count = ::readlink(path, link, sizeof(link));
    if (count < 0) {
      return errno == EINVAL || errno == ENOENT ? VaskCommonError_Success : error_fromErrno(errno);
    }
    const auto linkLength = static_cast<size_t>(count);
    // A relative link is read from the folder that holds it.
    const char* pSlash = std::strrchr(path, '/');
    const size_t kept =
        link[0] != '/' && pSlash != nullptr ? static_cast<size_t>(pSlash - path) + 1 : 0;
    if (linkLength >= sizeof(link) || kept + linkLength >= PATH_MAX) {
      return VaskCommonError_InvalidArgument;
    }
    std::memcpy(path + kept, link, linkLength);
    path[kept + linkLength] = '\0';
  }
  return VaskCommonError_InvalidArgument;  // a loop, or too long a chain
}

// Opens the folder of the target. A folder that may be written but not read is
// opened as a path only; it cannot be synced then.
int folder_open(Target_t* pTarget) {
  const char* pSlash = std::strrchr(pTarget->path, '/');
  pTarget->pName = pSlash != nullptr ? pSlash + 1 : pTarget->path;
  char folder[PATH_MAX] = ".";
  if (pSlash != nullptr) {
    const size_t length = pSlash == pTarget->path ? 1 : static_cast<size_t>(pSlash - pTarget->path);
    std::memcpy(folder, pTarget->path, length);
    folder[length] = '\0';
  }
  pTarget->folder =
      system_retry([&] { return ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (pTarget->folder < 0 && errno == EACCES) {
    pTarget->folder = ::open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  return pTarget->folder >= 0 ? VaskCommonError_Success : error_fromErrno(errno);
}

// Finds the target and checks that a save may replace it: a regular file the
// caller may write, or nothing yet.
int target_find(const char* pFilename, Target_t* pTarget) {
  int result = target_resolve(pFilename, pTarget->path);
  if (result == VaskCommonError_Success) {
    result = folder_open(pTarget);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  if (::fstatat(pTarget->folder, pTarget->pName, &pTarget->status, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? VaskCommonError_Success : error_fromErrno(errno);
  }
  pTarget->exists = true;
  if (S_ISDIR(pTarget->status.st_mode)) {
    return VaskCommonError_IsDirectory;
  }
  if (!S_ISREG(pTarget->status.st_mode)) {
    return VaskCommonError_NotRegularFile;
  }
  return ::faccessat(pTarget->folder, pTarget->pName, W_OK, AT_EACCESS) == 0
             ? VaskCommonError_Success
             : error_fromErrno(errno);
}

// Creates a new file beside the target, under a free name that fits NAME_MAX:
// the target's name, shortened where needed, and a suffix. Owner-only while it
// may receive a secret; 0666 less the umask for a new file.
int temporary_create(const Target_t& target, char (&name)[NAME_MAX + 1], int* pFd) {
  static unsigned counter = 0;
  const mode_t mode = target.exists ? 0600 : 0666;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    const int length =
        std::snprintf(suffix, sizeof(suffix), ".tmp-%ld-%u", static_cast<long>(::getpid()),
                      __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED));
    (void)std::snprintf(name, sizeof(name), "%.*s%s", NAME_MAX - length, target.pName, suffix);
    const int fd = system_retry([&] {
      return ::openat(target.folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    });
    if (fd >= 0) {
      *pFd = fd;
      return VaskCommonError_Success;
    }
    if (errno != EEXIST) {
      return error_fromErrno(errno);
    }
  }
  return VaskCommonError_InputOutput;
}

// Copies the target's extended attributes (its ACL and security label live
// there). Those that the filesystem or the caller's rights do not allow to set
// are left behind.
int attributes_copy(const char* pPath, int fd) {
  const ssize_t listed = ::llistxattr(pPath, nullptr, 0);
  Text_t names;
  if (listed <= 0) {
    return VaskCommonError_Success;
  }
  if (names.reserve(static_cast<size_t>(listed)) != VaskCommonError_Success) {
    return VaskCommonError_NoMemory;
  }
  const ssize_t size = ::llistxattr(pPath, names.pData, static_cast<size_t>(listed));
  Text_t value;
  for (const char* pName = names.pData; size > 0 && pName < names.pData + size;
       pName += std::strlen(pName) + 1) {
    const ssize_t wanted = ::lgetxattr(pPath, pName, nullptr, 0);
    if (wanted < 0) {
      continue;  // gone meanwhile
    }
    if (value.reserve(static_cast<size_t>(wanted)) != VaskCommonError_Success) {
      return VaskCommonError_NoMemory;
    }
    const ssize_t got = ::lgetxattr(pPath, pName, value.pData, static_cast<size_t>(wanted));
    if (got >= 0) {
      (void)::fsetxattr(fd, pName, value.pData, static_cast<size_t>(got), 0);
    }
  }
  return VaskCommonError_Success;
}

// Gives the temporary file the target's owner, group and mode, the mode last.
// Where the owner or group cannot be kept, setuid and setgid are dropped.
int owner_copy(const struct stat& status, int fd) {
  mode_t mode = status.st_mode & 07777;
  if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
    mode &= ~mode_t{S_ISUID | S_ISGID};
  }
  return ::fchmod(fd, mode) == 0 ? VaskCommonError_Success : error_fromErrno(errno);
}

int temporary_fill(const Target_t& target, int fd, const char* pData, size_t size) {
  int result = descriptor_writeAll(fd, pData, size);
  if (result == VaskCommonError_Success && target.exists) {
    result = attributes_copy(target.path, fd);
  }
  if (result == VaskCommonError_Success && target.exists) {
    result = owner_copy(target.status, fd);
  }
  if (result == VaskCommonError_Success && system_retry([&] { return ::fsync(fd); }) != 0) {
    result = error_fromErrno(errno);
  }
  return result;
}

// Makes the rename durable. A folder opened as a path only, or on a filesystem
// that cannot sync folders, is left to the filesystem's own commit.
int folder_sync(int folder) {
  if (system_retry([&] { return ::fsync(folder); }) == 0 || errno == EBADF || errno == EINVAL) {
    return VaskCommonError_Success;
  }
  return error_fromErrno(errno);
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
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  Descriptor file(
      system_retry([&] { return ::open(pFilename, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
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
  if (!S_ISREG(status.st_mode)) {
    return VaskCommonError_NotRegularFile;
  }
  // Room for the rest of the file and a byte more, so that the read which finds
  // the end does not first grow the text. A file of /proc reads as size 0.
  const auto fileSize = static_cast<size_t>(status.st_size);
  size_t hint = (offset < fileSize ? fileSize - offset : 0) + 1;
  if (size != 0 && size < hint) {
    hint = size;
  }
  // Past the end of a regular file the seek succeeds, and nothing is left to read.
  // Past the largest offset the filesystem allows it fails with EINVAL, and
  // nothing is there either. off_t has 64 bits, also on 32-bit targets (built
  // with 64-bit file offsets).
  const uintmax_t wanted = offset;
  const auto position =
      static_cast<off_t>(wanted < uintmax_t{INT64_MAX} ? wanted : uintmax_t{INT64_MAX});
  const bool isBeyond = offset != 0 && ::lseek(file.get(), position, SEEK_SET) < 0;
  if (isBeyond && errno != EINVAL) {
    return error_fromErrno(errno);
  }
  Text_t text;
  const int result = isBeyond ? text.reserve(0) : descriptor_read(file.get(), size, hint, &text);
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
  Target_t target;
  int result = target_find(pFilename, &target);
  if (result != VaskCommonError_Success) {
    return result;
  }
  char temporary[NAME_MAX + 1];
  int fd = -1;
  result = temporary_create(target, temporary, &fd);
  if (result != VaskCommonError_Success) {
    return result;
  }
  Descriptor file(fd);
  result = temporary_fill(target, fd, pBuffer->pBegin + offset, pBuffer->size - offset);
  if (file.close() != 0 && result == VaskCommonError_Success) {
    result = error_fromErrno(errno);
  }
  if (result == VaskCommonError_Success &&
      ::renameat(target.folder, temporary, target.folder, target.pName) != 0) {
    result = error_fromErrno(errno);
  }
  if (result != VaskCommonError_Success) {
    (void)::unlinkat(target.folder, temporary, 0);
    return result;
  }
  return folder_sync(target.folder);
}
