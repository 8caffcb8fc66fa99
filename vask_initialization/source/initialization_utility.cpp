#include <initialization_utility.h>
#include <vask_common_c/common_error.h>

#include <cctype>
#include <cstdint>

namespace {

bool character_isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

extern "C" int VaskInitializationUtility_ignoreSpaces(const char** ppCurrent, const char* pEnd) {
  const char* pCurrent = *ppCurrent;
  while (pCurrent < pEnd && character_isBlank(*pCurrent)) {
    ++pCurrent;
  }
  *ppCurrent = pCurrent;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationUtility_size(const char* pBegin, const char* pEnd, size_t* pSize) {
  int64_t level = 0;  // wider than any range can drive it, so it never overflows
  bool isQuoted = false;
  bool isBlank = true;
  for (const char* pCurrent = pBegin; pCurrent != pEnd; ++pCurrent) {
    const char c = *pCurrent;
    if (c == '"') {
      isQuoted = !isQuoted;
    } else if (c == '[') {
      ++level;
    } else if (c == ']') {
      if (--level < 0) {
        break;  // closes more than was opened: the end of the list
      }
    } else if (c == ',' && level == 0 && !isQuoted) {
      ++*pSize;
    }
    if (isBlank && !character_isBlank(c)) {
      isBlank = false;
    }
  }
  if (!isBlank) {
    ++*pSize;
  }
  return VaskCommonError_Success;
}
