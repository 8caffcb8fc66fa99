// Edits on any text: after each one the document's queue is the reader's own
// result on its text, its walk says what a fresh document's walk says, the
// lines it did not name are there byte for byte, and a refused edit changes
// nothing. The first bytes choose the edits; the rest is the text.
#include <initialization_document.h>
#include <vask_common_c/common_error.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_fail.h"
#include "sections.h"

namespace {

using vask::fuzz::fail;

constexpr size_t kEdits = 4;
const char* const kNames[] = {"s", "t", "", "u v"};
const char* const kKeys[] = {"k", "a", "port", "port ", "=x", "k2"};
const char* const kValues[] = {"v", "1", "a b", "x;y", ""};

std::string textOf(VaskInitializationDocumentHandle_t handle) {
  const char* pText = nullptr;
  size_t size = 0;
  if (VaskInitializationDocument_text(handle, &pText, &size) != 0) {
    fail("text");
  }
  return std::string(pText, size);
}

std::string walk(VaskInitializationDocumentHandle_t handle) {
  std::string text;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationMember_t* pMember = nullptr;
  size_t line = 0;
  while (VaskInitializationDocument_memberNext(handle, nullptr, &cursor, &pMember, &line) == 0) {
    text += std::to_string(line) + cursor.pName + "." + pMember->pKey + "\n";
  }
  return text;
}

void checkFresh(VaskInitializationDocumentHandle_t handle) {
  const std::string text = textOf(handle);
  VaskCommonDQueueHandle_t hQueue = 0;
  VaskInitializationDocumentHandle_t fresh = 0;
  if (VaskInitializationDocument_sections(handle, &hQueue) != 0 ||
      vask::test::dump(hQueue) != vask::test::readerView(text)) {
    fail("the queue is not the reader's result on the text");
  }
  if (VaskInitializationDocument_parse(text.data(), text.size(), &fresh, nullptr) != 0 ||
      walk(fresh) != walk(handle)) {
    fail("the walk differs from a fresh document's");
  }
  (void)VaskInitializationDocument_close(&fresh);
}

int edit(VaskInitializationDocumentHandle_t handle, uint8_t choice) {
  const char* pName = kNames[choice % 4];
  const char* pKey = kKeys[(choice / 4) % 6];
  switch ((choice / 24) % 3) {
    case 0:
      return VaskInitializationDocument_set(handle, pName, pKey, kValues[(choice / 72) % 5]);
    case 1:
      return VaskInitializationDocument_remove(handle, pName, pKey, nullptr);
    default:
      return VaskInitializationDocument_removeSection(handle, pName);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
  if (size < kEdits) {
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(pData) + kEdits, size - kEdits);
  VaskInitializationDocumentHandle_t handle = 0;
  if (VaskInitializationDocument_parse(text.data(), text.size(), &handle, nullptr) != 0) {
    return 0;
  }
  for (size_t i = 0; i < kEdits; ++i) {
    const std::string before = textOf(handle);
    const int result = edit(handle, pData[i]);
    const std::string after = textOf(handle);
    if (result != 0 && after != before) {
      fail("a refused edit changed the text");
    }
    const std::vector<std::string> old = vask::test::linesOf(before),
                                   now = vask::test::linesOf(after);
    if (result == 0 && !vask::test::isSubsequence(now, old) &&
        !vask::test::isSubsequence(old, now)) {
      size_t differing = old.size() == now.size() ? 0 : 2;  // a value set in place
      for (size_t line = 0; differing < 2 && line < old.size(); ++line) {
        differing += old[line] == now[line] ? 0 : 1;
      }
      if (differing > 1) {
        fail("an edit changed lines it did not name");
      }
    }
    checkFresh(handle);
  }
  (void)VaskInitializationDocument_close(&handle);
  return 0;
}
