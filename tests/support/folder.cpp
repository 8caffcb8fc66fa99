#include "folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vask::test {

TempFolder::TempFolder() {
  char pattern[] = "/tmp/vask-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::abort();
  }
  root_ = pattern;
}

TempFolder::~TempFolder() {
  chmod(root_.c_str(), 0700);  // a test may have made it read-only
  for (const std::string& name : names()) {
    const std::string entry = path(name);
    if (std::remove(entry.c_str()) != 0) {
      rmdir(entry.c_str());
    }
  }
  rmdir(root_.c_str());
}

std::string TempFolder::write(const std::string& name, const std::string& text) const {
  std::ofstream(path(name), std::ios::binary) << text;
  return path(name);
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> TempFolder::names(const std::string& sub) const {
  std::vector<std::string> result;
  DIR* pDir = opendir((sub.empty() ? root_ : path(sub)).c_str());
  if (pDir == nullptr) {
    return result;
  }
  for (dirent* pEntry = readdir(pDir); pEntry != nullptr; pEntry = readdir(pDir)) {
    if (std::strcmp(pEntry->d_name, ".") != 0 && std::strcmp(pEntry->d_name, "..") != 0) {
      result.emplace_back(pEntry->d_name);
    }
  }
  closedir(pDir);
  std::sort(result.begin(), result.end());
  return result;
}

}  // namespace vask::test
