#include <initialization_utility.h>
#include <vask_common_c/common_error.h>

#include <ctype.h>

#include <cctype>
#include <cstdint>

namespace {

bool character_isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

extern "C" int VaskInitializationUtility_ignoreSpaces(const char** ppCurrent, const char* pEnd) {
  const char* pCurrent = *ppCurrent;
#ifdef __GLIBC__
  // The current locale's classification table, fetched once: what isspace looks
  // up for every byte, without a call per byte.
  const unsigned short* pClass = *__ctype_b_loc();
  while (pCurrent < pEnd && (pClass[static_cast<unsigned char>(*pCurrent)] & _ISspace) != 0) {
    ++pCurrent;
  }
#else
  while (pCurrent < pEnd && character_isBlank(*pCurrent)) {
    ++pCurrent;
  }
#endif
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
