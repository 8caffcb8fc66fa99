#include "folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

vask::test::TempFolder::TempFolder() {
  char pattern[] = "/tmp/vask-test-XXXXXX";
  root_ = mkdtemp(pattern) != nullptr ? pattern : (std::abort(), "");
}

vask::test::TempFolder::~TempFolder() {
  std::error_code error;
  fs::permissions(root_, fs::perms::owner_all, error);  // a test may have made it read-only
  fs::remove_all(root_, error);
}

std::string vask::test::TempFolder::write(const std::string& name, const std::string& text) const {
  std::ofstream(path(name), std::ios::binary) << text;
  return path(name);
}

std::string vask::test::TempFolder::read(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> vask::test::TempFolder::names(const std::string& sub) const {
  std::vector<std::string> result;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(sub.empty() ? root_ : path(sub), error)) {
    result.push_back(entry.path().filename());
  }
  std::sort(result.begin(), result.end());
  return result;
}
