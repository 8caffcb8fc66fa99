// Files in and out: every command reads its input once, and an editing command
// changes its file under an advisory lock, saving it atomically through the
// support library.
//
// Locking: set, del, fmt and merge open FILE, take flock(LOCK_EX) on it and
// then check that the path still names the inode they locked (a save renames a
// new file over the old one, so a process that waited for the lock may hold the
// replaced file); if not, they start again. The lock is held from before the
// read until after the save. A file that set creates is first created empty
// with O_CREAT|O_EXCL, then handled like any existing file.
#ifndef VASK_TOOLS_INI_FILE_H
#define VASK_TOOLS_INI_FILE_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace vask_ini {

// An input's bytes, read once: opened and read until the end of file, whatever
// kind of file it is ("-" is standard input). std::string keeps a zero byte
// after them, as the reader wants.
struct Input {
  std::string name;  // how messages name it
  std::string text;
};
Input readInput(const std::string& path);

// How messages name a path: "(standard input)" for "-".
std::string displayName(const std::string& path);

struct EditOptions {
  bool mayCreate = false;             // set: a missing FILE is created
  std::optional<std::string> output;  // --output: the result goes there ("-": stdout)
};

// The input of an editing command and where its result goes. In place, FILE
// must be a regular file (anything else is refused before it is read) and
// stays locked while this object lives.
class EditFile {
 public:
  EditFile(const std::string& path, const EditOptions& options);
  ~EditFile();
  EditFile(const EditFile&) = delete;
  EditFile& operator=(const EditFile&) = delete;

  const std::string& name() const { return name_; }
  std::string& text() { return text_; }
  // Frees the bytes read, once the result no longer needs them.
  void releaseText() { std::string().swap(text_); }
  // Writes the result: to --output, to stdout for "-", or over FILE when it
  // differs from what was read (a file left alone keeps its inode).
  void write(std::string_view result, bool isChanged);

 private:
  void openLocked(bool mayCreate);
  // Unlocks FILE, and removes it if this edit created it and did not save it.
  void release();

  std::string path_;
  std::string name_;
  std::optional<std::string> output_;
  std::string text_;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::string createdPath_;  // where a missing FILE was made: FILE, or where its links end
  bool isCreated_ = false;
  bool isWritten_ = false;
};

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_FILE_H
