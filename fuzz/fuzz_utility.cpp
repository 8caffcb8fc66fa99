// The two text helpers on any range, against plain counts written here.
#include <initialization_utility.h>
#include <vask_common_c/common_error.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_fail.h"

namespace {

using vask::fuzz::fail;

bool isBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The list elements of [0, size): first find where the list ends (the first
// ']' that closes more than was opened), then count outer commas outside
// quotes, plus one unless everything before the end is blank.
size_t model_size(const char* pText, size_t size) {
  size_t end = size;
  long long open = 0;
  for (size_t i = 0; i < size; ++i) {
    open += pText[i] == '[' ? 1 : pText[i] == ']' ? -1 : 0;
    if (open < 0) {
      end = i;
      break;
    }
  }
  size_t count = 0;
  long long level = 0;
  bool isQuoted = false;
  bool hasElement = false;
  for (size_t i = 0; i < end; ++i) {
    switch (pText[i]) {
      case '"':
        isQuoted = !isQuoted;
        break;
      case '[':
        ++level;
        break;
      case ']':
        --level;
        break;
      case ',':
        count += level == 0 && !isQuoted ? 1 : 0;
        break;
      default:
        break;
    }
    hasElement = hasElement || !isBlank(pText[i]);
  }
  return hasElement ? count + 1 : count;
}

size_t model_blanks(const char* pText, size_t size) {
  size_t i = 0;
  while (i < size && isBlank(pText[i])) {
    ++i;
  }
  return i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
  // The range lies in an allocation of its own size: reading past its end is caught.
  const std::unique_ptr<char[]> text(new char[size > 0 ? size : 1]);
  if (size > 0) {
    std::memcpy(text.get(), pData, size);
  }
  const char* pBegin = text.get();
  const char* pEnd = pBegin + size;

  // The count is added to what *pSize holds.
  constexpr size_t kStart = 1000;
  size_t count = kStart;
  if (VaskInitializationUtility_size(pBegin, pEnd, &count) != VaskCommonError_Success) {
    fail("size did not return 0");
  }
  if (count - kStart != model_size(pBegin, size)) {
    fail("size counted another number of elements");
  }

  // Every start position, so that skips starting inside the range are seen too.
  for (size_t start = 0; start <= size && start < 64; ++start) {
    const char* pCurrent = pBegin + start;
    if (VaskInitializationUtility_ignoreSpaces(&pCurrent, pEnd) != VaskCommonError_Success) {
      fail("ignoreSpaces did not return 0");
    }
    if (pCurrent != pBegin + start + model_blanks(pBegin + start, size - start)) {
      fail("ignoreSpaces stopped elsewhere");
    }
  }
  return 0;
}
