#include "ini_file.h"

#include "ini_error.h"
#include "ini_text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vask_common_c/common_buffer.h>

#include <cerrno>

namespace vask_ini {

namespace {

constexpr size_t kFirstChunk = size_t{64} * 1024;
// Opening and locking FILE starts again when another editor replaced it
// meanwhile; this many times at most.
constexpr int kAttempts = 1000;

int errno_code(int number) {
  switch (number) {
    case ENOENT:
    case ENOTDIR:
      return VaskCommonError_NotFound;
    case EACCES:
    case EPERM:
      return VaskCommonError_AccessDenied;
    case EISDIR:
      return VaskCommonError_IsDirectory;
    case ENOMEM:
      return VaskCommonError_NoMemory;
    default:
      return VaskCommonError_InputOutput;
  }
}

// The path a chain of symbolic links ends at (at most 40 links, as the kernel
// allows), so that a link to a missing file is created through, as the shell's
// `>` and the save do. A path that is no link is its own end.
std::string link_end(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<size_t>(length) == target.size()) {
      break;
    }
    target.resize(static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path = target.front() == '/' || slash == std::string::npos ? target
                                                               : path.substr(0, slash + 1) + target;
  }
  return path;
}

[[noreturn]] void read_fail(const std::string& name, int number) {
  throw ToolError(kExitFailure, name + ": cannot read the file: " + codeText(errno_code(number)));
}

// Reads until the end of file: sizeHint (a regular file's size) saves the
// regrowing, and one byte more sees the end in the same pass.
std::string fd_readAll(int fd, size_t sizeHint, const std::string& name) {
  std::string text(sizeHint > 0 ? sizeHint + 1 : kFirstChunk, '\0');
  size_t used = 0;
  for (;;) {
    if (used == text.size()) {
      text.resize(text.size() * 2);
    }
    const ssize_t count = ::read(fd, text.data() + used, text.size() - used);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      read_fail(name, errno);
    }
    if (count == 0) {
      break;
    }
    used += static_cast<size_t>(count);
  }
  text.resize(used);
  return text;
}

const char* kind_name(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a folder";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO";
  }
  if (S_ISCHR(mode)) {
    return "a character device";
  }
  if (S_ISBLK(mode)) {
    return "a block device";
  }
  return "a socket";
}

void refuse_notRegular(const std::string& name, mode_t mode) {
  refuse(name, std::string("it is ") + kind_name(mode) +
                   ", not a regular file, and an edit replaces the file whole (pipe it through "
                   "'-', or use --output)");
}

void bytes_save(const std::string& path, std::string_view bytes) {
  VaskCommonBuffer_t buffer{};
  buffer.pBegin = const_cast<char*>(bytes.data());  // save2 only reads the bytes
  buffer.size = bytes.size();
  const int result = VaskCommonBuffer_save2(&buffer, path.c_str(), 0);
  if (result != VaskCommonError_Success) {
    throw ToolError(kExitFailure, path + ": cannot save the file: " + codeText(result));
  }
}

}  // namespace

std::string displayName(const std::string& path) {
  return path == "-" ? "(standard input)" : path;
}

Input readInput(const std::string& path) {
  Input input{displayName(path), {}};
  if (path == "-") {
    input.text = fd_readAll(STDIN_FILENO, 0, input.name);
    return input;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    read_fail(input.name, errno);
  }
  struct stat status {};
  const bool isRegular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  try {
    input.text = fd_readAll(fd, isRegular ? static_cast<size_t>(status.st_size) : 0, input.name);
  } catch (...) {
    (void)::close(fd);
    throw;
  }
  (void)::close(fd);
  return input;
}

EditFile::EditFile(const std::string& path, const EditOptions& options)
    : path_(path), name_(displayName(path)), output_(options.output) {
  if (path_ == "-") {
    text_ = fd_readAll(STDIN_FILENO, 0, name_);
    return;
  }
  struct stat status {};
  if (::stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (!output_) {
      refuse_notRegular(name_, status.st_mode);
    }
    text_ = readInput(path_).text;  // only read: the result goes elsewhere
    return;
  }
  if (output_) {
    const bool isMissing = options.mayCreate && ::access(path_.c_str(), F_OK) != 0;
    text_ = isMissing ? std::string() : readInput(path_).text;
    return;
  }
  try {
    openLocked(options.mayCreate);
    struct stat locked {};
    (void)::fstat(fd_, &locked);
    text_ = fd_readAll(fd_, static_cast<size_t>(locked.st_size), name_);
  } catch (...) {
    release();
    throw;
  }
}

// Opens FILE without blocking (a FIFO put in its place since the check above
// is still refused), locks it and makes sure the path still names it.
void EditFile::openLocked(bool mayCreate) {
  for (int attempt = 1;; ++attempt) {
    isCreated_ = false;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT && mayCreate) {
      // Through a symbolic link to a missing file, the file it names is made.
      createdPath_ = link_end(path_);
      fd_ = ::open(createdPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
      // Made by another editor since: handle it as an existing file.
      if (fd_ < 0 && errno == EEXIST) {
        errno = ENOENT;
        if (attempt < kAttempts) {
          continue;
        }
      }
      isCreated_ = fd_ >= 0;
    }
    if (fd_ < 0) {
      read_fail(name_, errno);
    }
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0) {
      read_fail(name_, errno);
    }
    if (!S_ISREG(opened.st_mode)) {
      refuse_notRegular(name_, opened.st_mode);
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        throw ToolError(kExitFailure,
                        name_ + ": cannot lock the file: " + codeText(errno_code(errno)));
      }
    }
    struct stat named {};
    if (::stat(path_.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
      device_ = opened.st_dev;
      inode_ = opened.st_ino;
      return;
    }
    (void)::close(fd_);  // replaced while we waited: lock the file that is there now
    fd_ = -1;
    if (attempt == kAttempts) {
      throw ToolError(kExitFailure, name_ + ": cannot lock the file: it keeps being replaced");
    }
  }
}

EditFile::~EditFile() {
  release();
}

void EditFile::release() {
  if (fd_ < 0) {
    return;
  }
  struct stat named {};
  if (isCreated_ && !isWritten_ && ::stat(createdPath_.c_str(), &named) == 0 &&
      named.st_dev == device_ && named.st_ino == inode_) {
    (void)::unlink(createdPath_.c_str());  // created for this edit, which did not happen
  }
  (void)::close(fd_);
  fd_ = -1;
}

void EditFile::write(std::string_view result, bool isChanged) {
  if (output_ && *output_ != "-") {
    bytes_save(*output_, result);
  } else if (output_ || path_ == "-") {
    print(result);
  } else if (isChanged) {
    bytes_save(path_, result);
  }
  isWritten_ = true;
}

}  // namespace vask_ini
