// A fresh folder under /tmp for one test, removed with everything in it at the end.
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
  std::string write(const std::string& name, const std::string& text) const;  // gives the path
  std::string read(const std::string& name) const;                    // "" when it cannot be read
  std::vector<std::string> names(const std::string& sub = "") const;  // sorted

 private:
  std::string root_;
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_FOLDER_H
