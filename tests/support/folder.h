// A fresh folder under /tmp for one test, removed with its files at the end.
#ifndef VASK_TESTS_SUPPORT_FOLDER_H
#define VASK_TESTS_SUPPORT_FOLDER_H

#include <string>
#include <vector>

namespace vask::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }
  // Writes `text` into the file `name` and gives its path.
  std::string write(const std::string& name, const std::string& text) const;
  // The bytes of the file `name` ("" when it cannot be read).
  std::string read(const std::string& name) const;
  // The names of the entries in the folder (or in its subfolder `sub`), sorted.
  std::vector<std::string> names(const std::string& sub = "") const;

 private:
  std::string root_;
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_FOLDER_H
