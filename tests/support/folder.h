// A fresh folder under /tmp for one test, removed with everything in it at the end.
#ifndef VASK_TESTS_SUPPORT_FOLDER_H
#define VASK_TESTS_SUPPORT_FOLDER_H

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vask::test {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/vask-test-XXXXXX";
    root_ = mkdtemp(pattern) != nullptr ? pattern : (std::abort(), "");
  }
  ~TempFolder() {
    std::error_code error;  // a test may have made the folder read-only
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, error);
    std::filesystem::remove_all(root_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }
  // Writes `text` into the file `name`; gives its path.
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }
  // The bytes of the file `name`, "" when it cannot be read.
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The names in the folder (or in its subfolder `sub`), sorted.
  std::vector<std::string> names(const std::string& sub = "") const {
    std::vector<std::string> result;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path(sub), error)) {
      result.push_back(entry.path().filename());
    }
    std::sort(result.begin(), result.end());
    return result;
  }

 private:
  std::string root_;
};

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_FOLDER_H
