#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common_file_private.h"

namespace {

constexpr size_t kStreamChunk = size_t{64} * 1024;
constexpr int kLinkLimit = 40;       // as many symbolic links as the kernel follows in one name
constexpr int kReadAttempts = 5;     // passes over a file that keeps changing, then FileChanged
constexpr int kOpenAttempts = 1000;  // locks of a path that other saves keep replacing
constexpr int kFindAttempts = 100;   // resolutions of a path that changes between two steps
constexpr int kNameAttempts = 100;   // random names tried while others hold them
constexpr int kRaced = -1;           // the path changed between two steps: start again

int error_ofErrno() {
  return VaskCommonError_fromErrno(errno);
}

// Where the path kept changing between two steps, or a file was made where none was
// found, the file changed since it was found.
int raced_end(int result) {
  return result == kRaced ? VaskCommonError_FileChanged : result;
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

// Closes a file descriptor when it leaves scope or is replaced; errno survives both.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(-1); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    const int number = errno;
    if (fd_ != -1) {
      (void)::close(fd_);
    }
    fd_ = fd;
    errno = number;
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// "/proc/self/fd/N": the name through which the kernel reaches the open file itself.
struct FdPath_t {
  char text[32];
  explicit FdPath_t(int fd) { (void)std::snprintf(text, sizeof(text), "/proc/self/fd/%d", fd); }
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
  // Hands the text (an empty one too), a zero byte after it, to the empty record pBuffer.
  int hand(VaskCommonBuffer_t* pBuffer) {
    const int result = reserve(size);
    if (result == VaskCommonError_Success) {
      pData[size] = '\0';
      *pBuffer = {pData, pBuffer->offset, size, pBuffer->pUserData, true};
      pData = nullptr;
    }
    return result;
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
      result = error_ofErrno();
    }
    if (count <= 0) {
      break;
    }
    pText->size += static_cast<size_t>(count);
  }
  return result;
}

// Reads `size` bytes (0: to the end); more than maxSize (0: no ceiling) give TooLarge.
// One byte past the ceiling tells a text at the ceiling from a larger one.
int descriptor_readCapped(int fd, size_t size, size_t maxSize, size_t sizeHint, Text_t* pText) {
  const size_t ceiling = maxSize != 0 && maxSize < SIZE_MAX ? maxSize + 1 : 0;
  const size_t limit = size == 0 || (ceiling != 0 && ceiling < size) ? ceiling : size;
  const int result = descriptor_read(fd, limit, sizeHint, pText);
  return result == VaskCommonError_Success && maxSize != 0 && pText->size > maxSize
             ? VaskCommonError_TooLarge
             : result;
}

int descriptor_writeAll(int fd, const char* pData, size_t size) {
  while (size > 0) {
    const ssize_t count = system_retry([&] { return ::write(fd, pData, size); });
    if (count < 0) {
      return error_ofErrno();
    }
    pData += count;
    size -= static_cast<size_t>(count);
  }
  return VaskCommonError_Success;
}

int descriptor_lock(int fd) {
  return system_retry([&] { return ::flock(fd, LOCK_EX); }) == 0 ? VaskCommonError_Success
                                                                 : error_ofErrno();
}

// A writer changes a file's size or its modification time (not the change time: a
// rename's unlink changes that of the old file too).
bool version_same(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool inode_same(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A folder gives IsDirectory, a FIFO, device or socket NotRegularFile.
int status_regular(int fd, struct stat* pStatus) {
  if (::fstat(fd, pStatus) != 0) {
    return error_ofErrno();
  }
  if (S_ISDIR(pStatus->st_mode)) {
    return VaskCommonError_IsDirectory;
  }
  return S_ISREG(pStatus->st_mode) ? VaskCommonError_Success : VaskCommonError_NotRegularFile;
}

// Opens a file to read; without O_NONBLOCK, opening a FIFO would wait for a writer.
int regular_open(const char* pFilename, Descriptor* pFile) {
  pFile->reset(system_retry([&] { return ::open(pFilename, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }));
  if (pFile->get() == -1) {
    return error_ofErrno();
  }
  struct stat status {};
  return status_regular(pFile->get(), &status);
}

// One pass over the file from `offset` on.
int version_readOnce(int fd, const struct stat& status, size_t offset, size_t size, size_t maxSize,
                     Text_t* pText) {
  const auto fileSize = static_cast<uintmax_t>(status.st_size);
  if (maxSize != 0 && fileSize > maxSize) {
    return VaskCommonError_TooLarge;
  }
  // Past the largest offset the filesystem allows the seek fails with EINVAL, and
  // nothing is there. off_t has 64 bits, also on 32-bit targets (built with 64-bit
  // file offsets).
  const uintmax_t wanted = offset;
  const auto position =
      static_cast<off_t>(wanted < uintmax_t{INT64_MAX} ? wanted : uintmax_t{INT64_MAX});
  if (::lseek(fd, position, SEEK_SET) < 0) {
    return errno == EINVAL ? VaskCommonError_Success : error_ofErrno();
  }
  // Room for the rest of the file and a byte more: the read which finds the end does
  // not first grow the text, and a pass stops a byte past the size it started from (a
  // file that grows meanwhile is read again). A file of /proc reads as size 0: to its end.
  size_t rest = (wanted < fileSize ? static_cast<size_t>(fileSize - wanted) : 0) + 1;
  if (size != 0 && size < rest) {
    rest = size;
  }
  return descriptor_readCapped(fd, fileSize != 0 ? rest : size, maxSize, rest, pText);
}

// Reads the open regular file in one version: when its size or modification time
// changed during a pass, the pass starts again from `offset`.
int version_read(int fd, size_t offset, size_t size, size_t maxSize, Text_t* pText,
                 struct stat* pStatus) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
      return error_ofErrno();
    }
    pText->size = 0;
    const int result = version_readOnce(fd, before, offset, size, maxSize, pText);
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (::fstat(fd, pStatus) != 0) {
      return error_ofErrno();
    }
    if (version_same(before, *pStatus)) {
      return VaskCommonError_Success;
    }
  }
  return VaskCommonError_FileChanged;
}

// The value of a protection sysctl, read each time as the kernel applies the current
// one; 1 (the usual setting) where it cannot be read.
int sysctl_read(const char* pPath) {
  const Descriptor file(system_retry([&] { return ::open(pPath, O_RDONLY | O_CLOEXEC); }));
  char digit = '1';  // kept where the open failed (a read of -1 fails) or nothing was read
  (void)system_retry([&] { return ::read(file.get(), &digit, 1); });
  return digit >= '0' && digit <= '9' ? digit - '0' : 1;
}

// The identity the kernel checks file access with: setfsuid of an invalid id only answers.
uid_t fsuid_get() {
  return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
}

// fs.protected_symlinks: a link in a sticky, world-writable folder is followed only
// when the follower or the folder's owner owns it.
bool link_mayFollow(const struct stat& link, const struct stat& folder) {
  return (folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) ||
         link.st_uid == fsuid_get() || link.st_uid == folder.st_uid ||
         sysctl_read("/proc/sys/fs/protected_symlinks") == 0;
}

// fs.protected_regular, as an open with O_CREAT applies it to an existing file: in a
// sticky folder, a file of neither the caller nor the folder's owner is refused where
// everyone may write the folder, or (at level 2) its group may.
bool regular_mayCreate(const struct stat& file, const struct stat& folder) {
  if ((folder.st_mode & S_ISVTX) == 0 || file.st_uid == folder.st_uid ||
      file.st_uid == fsuid_get()) {
    return true;
  }
  const int level = sysctl_read("/proc/sys/fs/protected_regular");
  return level == 0 ||
         ((folder.st_mode & S_IWOTH) == 0 && ((folder.st_mode & S_IWGRP) == 0 || level < 2));
}

// Where a save lands: a folder and a name in it; for an existing file also the file.
struct Target_t {
  Descriptor folder;  // read-only where it may be read (so that it can be synced), else a path
  Descriptor file;    // the existing file, opened as a path only
  char name[NAME_MAX + 1] = {};
  struct stat status {};
  bool exists = false;
};

// Splits pPath into its last part and the folder that holds it, as "FOLDER/.": opening
// that follows a link in the folder's place as a walk through the path does.
int path_split(const char* pPath, char (&folder)[PATH_MAX], char (&name)[NAME_MAX + 1]) {
  const char* pSlash = std::strrchr(pPath, '/');
  const char* pName = pSlash != nullptr ? pSlash + 1 : pPath;
  const auto kept = static_cast<size_t>(pName - pPath);
  const size_t length = std::strlen(pName);
  if (length == 0 || std::strcmp(pName, ".") == 0 || std::strcmp(pName, "..") == 0) {
    return VaskCommonError_IsDirectory;
  }
  if (length > NAME_MAX || kept + 2 > PATH_MAX) {
    return VaskCommonError_NameTooLong;
  }
  std::memcpy(folder, pPath, kept);
  std::memcpy(folder + kept, ".", 2);
  std::memcpy(name, pName, length + 1);
  return VaskCommonError_Success;
}

// A folder that may be written but not read is opened as a path only; it cannot be
// synced then.
int folder_open(const char* pFolder, Descriptor* pTo) {
  pTo->reset(system_retry([&] { return ::open(pFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (pTo->get() == -1 && errno == EACCES) {
    pTo->reset(::open(pFolder, O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  return pTo->get() != -1 ? VaskCommonError_Success : error_ofErrno();
}

// Replaces `path` by where the link at its end leads, if the caller may follow it.
int link_follow(const Target_t& target, const struct stat& link, char (&path)[PATH_MAX]) {
  struct stat folder {};
  if (::fstat(target.folder.get(), &folder) != 0) {
    return error_ofErrno();
  }
  if (!link_mayFollow(link, folder)) {
    return VaskCommonError_AccessDenied;
  }
  char content[PATH_MAX];
  const ssize_t count = ::readlinkat(target.folder.get(), target.name, content, sizeof(content));
  if (count < 0) {
    return errno == EINVAL ? kRaced : error_ofErrno();  // EINVAL: no longer a link
  }
  // A relative link is read from the folder that holds it.
  const char* pSlash = std::strrchr(path, '/');
  const size_t kept =
      content[0] != '/' && pSlash != nullptr ? static_cast<size_t>(pSlash - path) + 1 : 0;
  if (kept + static_cast<size_t>(count) >= PATH_MAX) {
    return VaskCommonError_NameTooLong;
  }
  std::memcpy(path + kept, content, static_cast<size_t>(count));
  path[kept + static_cast<size_t>(count)] = '\0';
  return VaskCommonError_Success;
}

// Walks the links at the end of the path as the kernel walks them, its rule applied
// at each one, to the last name: its folder, the name, and what is there (st_mode 0:
// nothing, where '>' would create the file).
int target_walk(const char* pFilename, Target_t* pTarget, struct stat* pLast) {
  char path[PATH_MAX];
  const size_t length = std::strlen(pFilename);
  if (length >= PATH_MAX) {
    return VaskCommonError_NameTooLong;
  }
  std::memcpy(path, pFilename, length + 1);
  for (int hop = 0;; ++hop) {
    char folder[PATH_MAX];
    int result = path_split(path, folder, pTarget->name);
    if (result == VaskCommonError_Success) {
      result = folder_open(folder, &pTarget->folder);
    }
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (::fstatat(pTarget->folder.get(), pTarget->name, pLast, AT_SYMLINK_NOFOLLOW) != 0) {
      *pLast = {};
      return errno == ENOENT ? VaskCommonError_Success : error_ofErrno();
    }
    if (!S_ISLNK(pLast->st_mode)) {
      return VaskCommonError_Success;
    }
    result = hop < kLinkLimit ? link_follow(*pTarget, *pLast, path) : VaskCommonError_LinkLoop;
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
}

// The file that the kernel opened for the path: a regular file that the caller may
// write, and the one the walk ended at (else the path changed meanwhile).
int target_check(Target_t* pTarget, const struct stat& last) {
  struct stat folder {};
  int result = status_regular(pTarget->file.get(), &pTarget->status);
  if (result == VaskCommonError_Success && !inode_same(last, pTarget->status)) {
    result = kRaced;
  }
  if (result == VaskCommonError_Success &&
      (::faccessat(pTarget->folder.get(), pTarget->name, W_OK, AT_EACCESS) != 0 ||
       ::fstat(pTarget->folder.get(), &folder) != 0)) {
    result = error_ofErrno();
  }
  if (result == VaskCommonError_Success && !regular_mayCreate(pTarget->status, folder)) {
    result = VaskCommonError_AccessDenied;
  }
  pTarget->exists = result == VaskCommonError_Success;
  return result;
}

// Finds where a save of pFilename lands, as open(pFilename, O_WRONLY | O_CREAT) would:
// the kernel opens an existing file, its rules for links applied, and the walk along
// the links finds its folder; a missing file is reached by the walk alone.
int target_find(const char* pFilename, Target_t* pTarget) {
  int result = kRaced;
  for (int attempt = 0; attempt < kFindAttempts && result == kRaced; ++attempt) {
    struct stat last {};
    pTarget->file.reset(system_retry([&] { return ::open(pFilename, O_PATH | O_CLOEXEC); }));
    const bool isThere = pTarget->file.get() != -1;
    result = isThere || errno == ENOENT ? target_walk(pFilename, pTarget, &last) : error_ofErrno();
    if (result == VaskCommonError_Success && isThere) {
      result = target_check(pTarget, last);
    } else if (result == VaskCommonError_Success && last.st_mode != 0) {
      result = kRaced;  // made meanwhile
    }
  }
  return raced_end(result);
}

// Copies the target's extended attributes (its ACL and security label live there).
// Those that the filesystem or the caller's rights do not allow to set are left behind.
int attributes_copy(const char* pPath, int fd) {
  const ssize_t listed = ::listxattr(pPath, nullptr, 0);
  Text_t names;
  if (listed <= 0) {
    return VaskCommonError_Success;
  }
  if (names.reserve(static_cast<size_t>(listed)) != VaskCommonError_Success) {
    return VaskCommonError_NoMemory;
  }
  const ssize_t size = ::listxattr(pPath, names.pData, static_cast<size_t>(listed));
  Text_t value;
  for (const char* pName = names.pData; size > 0 && pName < names.pData + size;
       pName += std::strlen(pName) + 1) {
    const ssize_t wanted = ::getxattr(pPath, pName, nullptr, 0);
    if (wanted < 0) {
      continue;  // gone meanwhile
    }
    if (value.reserve(static_cast<size_t>(wanted)) != VaskCommonError_Success) {
      return VaskCommonError_NoMemory;
    }
    const ssize_t got = ::getxattr(pPath, pName, value.pData, static_cast<size_t>(wanted));
    if (got >= 0) {
      (void)::fsetxattr(fd, pName, value.pData, static_cast<size_t>(got), 0);
    }
  }
  return VaskCommonError_Success;
}

// Gives the new file the target's owner, group and mode, the mode last. Where the
// owner or group cannot be kept, setuid and setgid are dropped.
int owner_copy(const struct stat& status, int fd) {
  mode_t mode = status.st_mode & 07777;
  if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
    mode &= ~mode_t{S_ISUID | S_ISGID};
  }
  return ::fchmod(fd, mode) == 0 ? VaskCommonError_Success : error_ofErrno();
}

// The new file: unnamed, or named NAME.tmp-<16 hex> where the filesystem cannot make
// unnamed files. A name it holds and did not hand to the target goes with it.
struct Temporary_t {
  Descriptor file;
  int folder = -1;
  char name[NAME_MAX + 1] = {};  // empty while it has no name of its own

  Temporary_t() = default;
  Temporary_t(const Temporary_t&) = delete;
  Temporary_t& operator=(const Temporary_t&) = delete;
  ~Temporary_t() {
    if (name[0] != '\0') {
      (void)::unlinkat(folder, name, 0);
    }
  }
};

// The target's name, shortened to fit NAME_MAX, ".tmp-" and 16 random hex digits.
int name_random(const char* pTarget, char (&name)[NAME_MAX + 1]) {
  uint64_t value = 0;
  if (system_retry([&] { return ::getrandom(&value, sizeof(value), 0); }) !=
      static_cast<ssize_t>(sizeof(value))) {
    return error_ofErrno();
  }
  (void)std::snprintf(name, sizeof(name), "%.*s.tmp-%016llx", NAME_MAX - 21, pTarget,
                      static_cast<unsigned long long>(value));
  return VaskCommonError_Success;
}

// Makes a name for the new file with `make` (an O_EXCL create, or a link), trying random
// names while others hold them: a planted name never makes a save fail.
template <typename Make_t>
int name_take(const char* pTarget, Temporary_t* pTemporary, Make_t make) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char name[NAME_MAX + 1];
    const int result = name_random(pTarget, name);
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (make(name)) {
      std::memcpy(pTemporary->name, name, sizeof(name));
      return VaskCommonError_Success;
    }
    if (errno != EEXIST) {
      return error_ofErrno();
    }
  }
  return VaskCommonError_fromErrno(EEXIST);
}

// Owner-only while it may receive a secret; 0666 less the umask for a new file.
int temporary_open(const Target_t& target, Temporary_t* pTemporary) {
  const mode_t mode = target.exists ? 0600 : 0666;
  const int folder = target.folder.get();
  pTemporary->folder = folder;
  pTemporary->file.reset(
      system_retry([&] { return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode); }));
  if (pTemporary->file.get() != -1) {
    return VaskCommonError_Success;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return error_ofErrno();
  }
  return name_take(target.name, pTemporary, [&](const char* pName) {
    pTemporary->file.reset(system_retry(
        [&] { return ::openat(folder, pName, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode); }));
    return pTemporary->file.get() != -1;
  });
}

int temporary_fill(const Target_t& target, int fd, const char* pData, size_t size) {
  int result = descriptor_writeAll(fd, pData, size);
  if (result == VaskCommonError_Success && target.exists) {
    result = attributes_copy(FdPath_t(target.file.get()).text, fd);
  }
  if (result == VaskCommonError_Success && target.exists) {
    result = owner_copy(target.status, fd);
  }
  if (result == VaskCommonError_Success && system_retry([&] { return ::fsync(fd); }) != 0) {
    result = error_ofErrno();
  }
  return result;
}

int unnamed_link(int fd, int folder, const char* pName) {
  return ::linkat(AT_FDCWD, FdPath_t(fd).text, folder, pName, AT_SYMLINK_FOLLOW);
}

// Renames the new file over the existing target, linked under a random name first
// when it has none.
int temporary_replace(const Target_t& target, Temporary_t* pTemporary) {
  int result = VaskCommonError_Success;
  if (pTemporary->name[0] == '\0') {
    result = name_take(target.name, pTemporary, [&](const char* pName) {
      return unnamed_link(pTemporary->file.get(), pTemporary->folder, pName) == 0;
    });
  }
  if (result == VaskCommonError_Success &&
      ::renameat(pTemporary->folder, pTemporary->name, pTemporary->folder, target.name) != 0) {
    result = error_ofErrno();
  }
  if (result == VaskCommonError_Success) {
    pTemporary->name[0] = '\0';  // the target's name now
  }
  return result;
}

// Links the new file straight to the name of a missing target: the name never shows
// an empty file, and never replaces one made meanwhile (then kRaced).
int temporary_create(const Target_t& target, Temporary_t* pTemporary) {
  const int folder = pTemporary->folder;
  int linked = 0;
  if (pTemporary->name[0] == '\0') {
    linked = unnamed_link(pTemporary->file.get(), folder, target.name);
  } else {
    linked = ::linkat(folder, pTemporary->name, folder, target.name, 0);
    if (linked == 0) {
      (void)::unlinkat(folder, pTemporary->name, 0);
    } else if (errno == EPERM) {  // a filesystem without hard links: a rename never replacing
      linked = ::renameat2(folder, pTemporary->name, folder, target.name, RENAME_NOREPLACE);
    }
  }
  if (linked != 0) {
    return errno == EEXIST ? kRaced : error_ofErrno();
  }
  pTemporary->name[0] = '\0';  // the target's name now
  return VaskCommonError_Success;
}

// Makes the rename durable. A folder opened as a path only, or on a filesystem
// that cannot sync folders, is left to the filesystem's own commit.
int folder_sync(int folder) {
  if (system_retry([&] { return ::fsync(folder); }) == 0 || errno == EBADF || errno == EINVAL) {
    return VaskCommonError_Success;
  }
  return error_ofErrno();
}

// The version of a file that a handle holds.
struct File_t {
  int fd;              // the file read, or the one saved last; -1 while the file is missing
  struct stat status;  // its device, inode, size and modification time when read
  size_t maxSize;
  bool isLocked;
  // The name, stored after the record.
  char* path() { return reinterpret_cast<char*>(this + 1); }
  const char* path() const { return reinterpret_cast<const char*>(this + 1); }
};

void file_free(File_t* pFile) {
  if (pFile != nullptr && pFile->fd != -1) {
    (void)::close(pFile->fd);
  }
  std::free(pFile);
}

// Whether the path still names the file read, in the version read: the same inode
// under the name, of the same size and modification time; or still nothing.
int held_check(const File_t& held, const Target_t& target) {
  if (held.fd == -1 || !target.exists) {
    return held.fd == -1 && !target.exists ? VaskCommonError_Success : VaskCommonError_FileChanged;
  }
  struct stat named {};
  struct stat now {};
  if (::fstatat(target.folder.get(), target.name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      ::fstat(held.fd, &now) != 0) {
    return errno == ENOENT ? VaskCommonError_FileChanged : error_ofErrno();
  }
  return inode_same(named, now) && version_same(now, held.status) ? VaskCommonError_Success
                                                                  : VaskCommonError_FileChanged;
}

// One save: the target found the kernel's way, the new file written and synced before
// it has a name that anyone waits for, then put in the target's place. A held file
// (File_save) must still be the version read; the new file takes over its lock. *pNew
// gets the new file once it has the target's name, whatever follows.
int save_once(const char* pFilename, const char* pData, size_t size, const File_t* pHeld,
              Descriptor* pNew) {
  Target_t target;
  Temporary_t temporary;
  int result = target_find(pFilename, &target);
  if (result == VaskCommonError_Success) {
    result = temporary_open(target, &temporary);
  }
  if (result == VaskCommonError_Success) {
    result = temporary_fill(target, temporary.file.get(), pData, size);
  }
  if (result == VaskCommonError_Success && pHeld != nullptr && pHeld->isLocked) {
    result = descriptor_lock(temporary.file.get());
  }
  if (result == VaskCommonError_Success && pHeld != nullptr) {
    result = held_check(*pHeld, target);
  }
  if (result == VaskCommonError_Success) {
    result = target.exists ? temporary_replace(target, &temporary)
                           : temporary_create(target, &temporary);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  pNew->reset(temporary.file.release());
  return folder_sync(target.folder.get());
}

// A missing file that the handle may create (an empty text, no descriptor): the path
// must lead to where a save could create it.
int file_missing(const File_t& file) {
  Target_t target;
  const int result = target_find(file.path(), &target);
  if (result == VaskCommonError_Success && target.exists) {
    return kRaced;  // made meanwhile
  }
  return result;
}

// After the lock, the path must still name the file locked: a save of another editor
// may have renamed a new file over it meanwhile.
int file_lock(int fd, const char* pPath) {
  struct stat held {};
  struct stat named {};
  int result = descriptor_lock(fd);
  if (result == VaskCommonError_Success &&
      (::fstat(fd, &held) != 0 || ::stat(pPath, &named) != 0)) {
    result = errno == ENOENT ? kRaced : error_ofErrno();
  }
  return result == VaskCommonError_Success && !inode_same(held, named) ? kRaced : result;
}

// Opens, locks (with isLocked) and reads the file; starts again where the file locked
// is no longer the one at the path.
int file_hold(File_t* pFile, bool mayCreate, Text_t* pText) {
  int result = kRaced;
  for (int attempt = 0; attempt < kOpenAttempts && result == kRaced; ++attempt) {
    Descriptor file;
    result = regular_open(pFile->path(), &file);
    if (file.get() == -1) {
      result = result == VaskCommonError_NotFound && mayCreate ? file_missing(*pFile) : result;
    } else if (result == VaskCommonError_Success) {
      result = pFile->isLocked ? file_lock(file.get(), pFile->path()) : result;
      if (result == VaskCommonError_Success) {
        result = version_read(file.get(), 0, 0, pFile->maxSize, pText, &pFile->status);
      }
      pFile->fd = result == VaskCommonError_Success ? file.release() : -1;
    }
  }
  return raced_end(result);
}

// A writer that does not lock may have changed the old file during the rename: that
// change is in no file now. Its bytes go to pLost (when given and readable).
int lost_check(int old, const struct stat& read, size_t maxSize, VaskCommonBuffer_t* pLost,
               int result) {
  struct stat now {};
  if (::fstat(old, &now) != 0 || version_same(now, read)) {  // none (-1) for a created file
    return result;
  }
  Text_t text;
  struct stat status {};
  if (pLost != nullptr &&
      version_read(old, 0, 0, maxSize, &text, &status) == VaskCommonError_Success) {
    (void)text.hand(pLost);
  }
  return VaskCommonError_FileChanged;
}

}  // namespace

int vask::file_load(const char* pFilename, size_t offset, size_t size,
                    VaskCommonBuffer_t* pBuffer) {
  Descriptor file;
  Text_t text;
  struct stat status {};
  int result = regular_open(pFilename, &file);
  if (result == VaskCommonError_Success) {
    result = version_read(file.get(), offset, size, 0, &text, &status);
  }
  return result == VaskCommonError_Success ? text.hand(pBuffer) : result;
}

// A file made at the path between finding it missing and linking the new one there
// is replaced instead, found again from the start.
int vask::file_replace(const char* pFilename, const char* pData, size_t size) {
  int result = kRaced;
  for (int attempt = 0; attempt < kFindAttempts && result == kRaced; ++attempt) {
    Descriptor placed;
    result = save_once(pFilename, pData, size, nullptr, &placed);
  }
  return raced_end(result);
}

extern "C" int VaskCommonFile_open(const char* pFilename, const VaskCommonFileOpenParam_t* pParam,
                                   VaskCommonFileHandle_t* pHandle, VaskCommonBuffer_t* pBuffer) {
  if (pFilename == nullptr || pFilename[0] == '\0' || pParam == nullptr || pHandle == nullptr ||
      *pHandle != 0 || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const size_t length = std::strlen(pFilename);
  auto* pFile = static_cast<File_t*>(std::calloc(1, sizeof(File_t) + length + 1));
  if (pFile == nullptr) {
    return VaskCommonError_NoMemory;
  }
  *pFile = {-1, {}, pParam->maxSize, pParam->isLocked};
  std::memcpy(pFile->path(), pFilename, length + 1);
  Text_t text;
  int result = file_hold(pFile, pParam->mayCreate, &text);
  if (result == VaskCommonError_Success) {
    result = text.hand(pBuffer);
  }
  if (result != VaskCommonError_Success) {
    file_free(pFile);
    return result;
  }
  *pHandle = reinterpret_cast<VaskCommonFileHandle_t>(pFile);
  return VaskCommonError_Success;
}

extern "C" int VaskCommonFile_save(VaskCommonFileHandle_t handle, const char* pData, size_t size,
                                   VaskCommonBuffer_t* pLost) {
  auto* pFile = reinterpret_cast<File_t*>(handle);
  if (pFile == nullptr || (pData == nullptr && size != 0) ||
      (pLost != nullptr && pLost->pBegin != nullptr)) {
    return VaskCommonError_InvalidArgument;
  }
  Descriptor next;
  const int result = save_once(pFile->path(), pData, size, pFile, &next);
  if (next.get() == -1) {
    return raced_end(result);
  }
  // The new file has the name: the handle stands for it from now on.
  const Descriptor old(pFile->fd);
  const struct stat read = pFile->status;
  pFile->fd = next.release();
  (void)::fstat(pFile->fd, &pFile->status);
  return lost_check(old.get(), read, pFile->maxSize, pLost, result);
}

extern "C" int VaskCommonFile_close(VaskCommonFileHandle_t* pHandle) {
  if (pHandle == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  file_free(reinterpret_cast<File_t*>(*pHandle));
  *pHandle = 0;
  return VaskCommonError_Success;
}

extern "C" int VaskCommonFile_read(int fd, size_t maxSize, VaskCommonBuffer_t* pBuffer) {
  if (fd < 0 || pBuffer == nullptr || pBuffer->pBegin != nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Text_t text;
  const int result = descriptor_readCapped(fd, 0, maxSize, kStreamChunk, &text);
  return result == VaskCommonError_Success ? text.hand(pBuffer) : result;
}
