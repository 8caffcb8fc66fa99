// Lookup over a section queue. Every walk reads the queues with
// VaskCommonDQueue_at, so a lookup changes nothing and never allocates; edits
// only append, insert or remove, so no item is ever out of its queue.
#include <initialization_lookup.h>
#include <initialization_reader.h>
#include <initialization_utility.h>
#include <vask_common_c/common_error.h>

#include <locale.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#include "document_core.h"
#include "initialization_trace.h"

namespace {

using Section_t = VaskInitializationSection_t;
using Member_t = VaskInitializationMember_t;

constexpr char kNoName[] = "";

// The item at `index`, or null past the end. A failing VaskCommonDQueue_at
// within the length also ends the walk, and leaves its code in *pResult so
// that the walk's caller reports it rather than a partial answer.
template <typename T>
T* item_at(VaskCommonDQueueHandle_t hQueue, size_t index, int* pResult) {
  void* pItem = nullptr;
  if (index >= VaskCommonDQueue_length(hQueue)) {
    return nullptr;
  }
  const int result = VaskCommonDQueue_at(hQueue, index, &pItem);
  if (result != VaskCommonError_Success) {
    *pResult = result;  // kept: a later access that works does not hide it
    return nullptr;
  }
  return static_cast<T*>(pItem);
}

// The name of the logical section a section belongs to, given the name in
// force before it (null before the first section).
const char* section_name(const Section_t* pSection, const char* pBefore) {
  if (pSection->pHeader != nullptr) {
    return pSection->pHeader;
  }
  return pBefore != nullptr ? pBefore : kNoName;
}

// Whether a section makes its name exist: a header line or a member.
bool section_shows(const Section_t* pSection) {
  return pSection->pHeader != nullptr || VaskCommonDQueue_length(pSection->hMember) > 0;
}

// Calls visit(section) for every section of the logical section pName, in
// order; the code of a failed queue access, else 0.
template <typename Visit_t>
int sections_visit(VaskCommonDQueueHandle_t hQueue, const char* pName, Visit_t visit) {
  int result = VaskCommonError_Success;
  const char* pCurrent = nullptr;
  Section_t* pSection = nullptr;
  for (size_t i = 0; (pSection = item_at<Section_t>(hQueue, i, &result)) != nullptr; ++i) {
    pCurrent = section_name(pSection, pCurrent);
    if (std::strcmp(pCurrent, pName) == 0) {
      visit(pSection);
    }
  }
  return result;
}

using vask::document::byte_isBlank;
using vask::document::key_match;
using vask::document::KeyMatch_t;

struct Found_t {
  Member_t* pExact = nullptr;            // the last member with the key
  Member_t* pNear = nullptr;             // the last member with the key and trailing blanks
  Section_t* pLast = nullptr;            // the last section of the logical section
  int result = VaskCommonError_Success;  // a failed queue access
};

Found_t members_find(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey) {
  Found_t found;
  const int result = sections_visit(hQueue, pSection, [&found, pKey](Section_t* pEach) {
    found.pLast = pEach;
    Member_t* pMember = nullptr;
    for (size_t i = 0; (pMember = item_at<Member_t>(pEach->hMember, i, &found.result)) != nullptr;
         ++i) {
      const KeyMatch_t match = key_match(pMember->pKey, pKey);
      if (match == KeyMatch_t::Exact) {
        found.pExact = pMember;
      } else if (match == KeyMatch_t::Near) {
        found.pNear = pMember;
      }
    }
  });
  if (found.result == VaskCommonError_Success) {
    found.result = result;
  }
  return found;
}

// --- typed values ------------------------------------------------------------

void blanks_trim(const char*& pBegin, const char*& pEnd) {
  while (pBegin != pEnd && byte_isBlank(*pBegin)) {
    ++pBegin;
  }
  while (pEnd != pBegin && byte_isBlank(pEnd[-1])) {
    --pEnd;
  }
}

bool range_isBad(const char* pBegin, const char* pEnd, const void* pValue) {
  return pBegin == nullptr || pEnd == nullptr || pValue == nullptr || pEnd < pBegin;
}

// from_chars takes a '-' but no '+'; a '+' before a '-' stays to be refused.
const char* plus_skip(const char* pBegin, const char* pEnd) {
  return pEnd - pBegin > 1 && pBegin[0] == '+' && pBegin[1] != '-' ? pBegin + 1 : pBegin;
}

// The whole trimmed range as an integer, or 18. Integer from_chars is inline
// code and ignores the host's locale.
int integer_parse(const char* pBegin, const char* pEnd, int64_t* pValue) {
  if (range_isBad(pBegin, pEnd, pValue)) {
    return VaskCommonError_InvalidArgument;
  }
  blanks_trim(pBegin, pEnd);
  pBegin = plus_skip(pBegin, pEnd);
  int64_t value = 0;
  const std::from_chars_result result = std::from_chars(pBegin, pEnd, value);
  if (result.ec != std::errc() || result.ptr != pEnd) {
    return VaskCommonError_BadValue;
  }
  *pValue = value;
  return VaskCommonError_Success;
}

bool isDigit(char character) {
  return character >= '0' && character <= '9';
}

// Skips what `accept` takes at text[index] on; returns the count skipped.
template <typename Accept>
size_t text_skip(std::string_view text, size_t& index, Accept accept) {
  const size_t start = index;
  while (index < text.size() && accept(text[index])) {
    ++index;
  }
  return index - start;
}

bool isSign(char character) {
  return character == '+' || character == '-';
}

// [sign] digits [. digits] [e [sign] digits], with a digit in the mantissa:
// strtod alone would also take hex, "inf", "nan" and blanks after the start.
bool real_isWellFormed(std::string_view text) {
  size_t index = !text.empty() && isSign(text[0]) ? 1 : 0;
  size_t count = text_skip(text, index, isDigit);
  if (index < text.size() && text[index] == '.') {
    ++index;
    count += text_skip(text, index, isDigit);
  }
  if (count == 0) {
    return false;
  }
  if (index < text.size() && (text[index] == 'e' || text[index] == 'E')) {
    ++index;
    index += index < text.size() && isSign(text[index]) ? 1 : 0;
    if (text_skip(text, index, isDigit) == 0) {
      return false;
    }
  }
  return index == text.size();
}

// The "C" locale for strtod_l, made on first use. Published by compare-and-swap:
// a function-local static would need the C++ runtime's guard. The loser of a
// race frees its copy; the winner's lives as long as the process.
std::atomic<locale_t> g_cLocale{nullptr};

locale_t cLocale_get() {
  locale_t current = g_cLocale.load(std::memory_order_acquire);
  if (current != nullptr) {
    return current;
  }
  locale_t made = newlocale(LC_ALL_MASK, "C", nullptr);
  if (made == nullptr) {
    return nullptr;
  }
  if (!g_cLocale.compare_exchange_strong(current, made, std::memory_order_acq_rel)) {
    freelocale(made);
    return current;
  }
  return made;
}

// A NUL-terminated copy for strtod_l: on the stack when it fits, else on the heap.
class RealText {
 public:
  RealText(const char* pBegin, size_t length)
      : m_pHeap(length < sizeof(m_local) ? nullptr : static_cast<char*>(calloc(length + 1, 1))) {
    m_pText = length < sizeof(m_local) ? m_local : m_pHeap;
    if (m_pText != nullptr) {
      memcpy(m_pText, pBegin, length);
      m_pText[length] = '\0';
    }
  }
  ~RealText() { free(m_pHeap); }
  RealText(const RealText&) = delete;
  RealText& operator=(const RealText&) = delete;
  const char* text() const { return m_pText; }

 private:
  char m_local[64] = {};
  char* m_pHeap;
  char* m_pText = nullptr;
};

// The whole trimmed range as a finite double, or 18; '.' is the decimal point
// whatever the host's locale. As from_chars did: a value that underflows to
// zero, or overflows, is out of range; a subnormal one is kept.
int real_parse(const char* pBegin, const char* pEnd, double* pValue) {
  if (range_isBad(pBegin, pEnd, pValue)) {
    return VaskCommonError_InvalidArgument;
  }
  blanks_trim(pBegin, pEnd);
  if (!real_isWellFormed(std::string_view(pBegin, static_cast<size_t>(pEnd - pBegin)))) {
    return VaskCommonError_BadValue;
  }
  const locale_t locale = cLocale_get();
  const RealText copy(pBegin, static_cast<size_t>(pEnd - pBegin));
  if (locale == nullptr || copy.text() == nullptr) {
    return VaskCommonError_NoMemory;
  }
  char* pStop = nullptr;
  errno = 0;
  const double value = strtod_l(copy.text(), &pStop, locale);
  const bool outOfRange = errno == ERANGE && (value == 0 || !std::isfinite(value));
  if (outOfRange || *pStop != '\0') {
    return VaskCommonError_BadValue;
  }
  *pValue = value;
  return VaskCommonError_Success;
}

// Compares with a lower-case word, ignoring the case of ASCII letters only.
bool word_equals(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) {
    return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char character =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (character != word[i]) {
      return false;
    }
  }
  return true;
}

struct BooleanWord_t {
  std::string_view text;
  bool value;
};
constexpr BooleanWord_t kBooleanWord[] = {{"1", true},      {"0", false},  {"true", true},
                                          {"false", false}, {"yes", true}, {"no", false},
                                          {"on", true},     {"off", false}};

const char* value_text(const Member_t* pMember) {
  return pMember->pValue != nullptr ? pMember->pValue : kNoName;
}

int member_lookup(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey,
                  Member_t** ppMember) {
  if (hQueue == 0 || pSection == nullptr || pKey == nullptr || ppMember == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const Found_t found = members_find(hQueue, pSection, pKey);
  if (found.result != VaskCommonError_Success) {
    return found.result;
  }
  if (found.pExact != nullptr) {
    *ppMember = found.pExact;
    return VaskCommonError_Success;
  }
  *ppMember = found.pNear;
  return found.pNear != nullptr ? VaskCommonError_NearMiss : VaskCommonError_NoEntry;
}

// find, then the value through Parse.
template <typename T, int (*Parse)(const char*, const char*, T*)>
int value_get(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey, T* pValue) {
  Member_t* pMember = nullptr;
  if (pValue == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const int result = member_lookup(hQueue, pSection, pKey, &pMember);
  if (result != VaskCommonError_Success) {
    return result;
  }
  const char* pText = value_text(pMember);
  return Parse(pText, pText + std::strlen(pText), pValue);
}

// The default when the key is missing: 0, or 17 for a near miss.
template <typename T, int (*Parse)(const char*, const char*, T*)>
int value_getOr(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey, T fallback,
                T* pValue) {
  const int result = value_get<T, Parse>(hQueue, pSection, pKey, pValue);
  if (result != VaskCommonError_NoEntry && result != VaskCommonError_NearMiss) {
    return result;
  }
  *pValue = fallback;
  return result == VaskCommonError_NearMiss ? result : VaskCommonError_Success;
}

// --- edits -------------------------------------------------------------------

// Releases what it holds unless released.
struct MemberOwner {
  Member_t* pMember = nullptr;
  ~MemberOwner() { (void)VaskInitializationMember_delete(&pMember); }
};
struct SectionOwner {
  Section_t* pSection = nullptr;
  ~SectionOwner() { (void)VaskInitializationSection_delete(&pSection); }
};
struct QueueOwner {
  VaskCommonDQueueHandle_t handle = 0;
  ~QueueOwner() {
    if (handle != 0) {
      (void)VaskCommonDQueue_close(&handle);
    }
  }
};
struct ReaderOwner {
  VaskInitializationReaderHandle_t handle = 0;
  ~ReaderOwner() {
    if (handle != 0) {
      (void)VaskInitializationReader_close(&handle);
    }
  }
};

int text_copy(const char* pText, char** ppCopy) {
  *ppCopy = strdup(pText);
  if (*ppCopy == nullptr) {
    VASK_TRACE_ERROR(VaskCommonError_NoMemory);
    return VaskCommonError_NoMemory;
  }
  return VaskCommonError_Success;
}

int value_replace(Member_t* pMember, const char* pValue) {
  char* pCopy = nullptr;
  const int result = text_copy(pValue, &pCopy);
  if (result == VaskCommonError_Success) {
    std::free(pMember->pValue);
    pMember->pValue = pCopy;
  }
  return result;
}

// Appends a new member pKey=pValue to the section's members.
int member_append(Section_t* pSection, const char* pKey, const char* pValue) {
  MemberOwner member;
  int result = VaskInitializationMember_create(&member.pMember);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  result = text_copy(pKey, &member.pMember->pKey);
  if (result == VaskCommonError_Success) {
    result = text_copy(pValue, &member.pMember->pValue);
  }
  if (result == VaskCommonError_Success) {
    void* pItem = member.pMember;
    result = VaskCommonDQueue_pushBack(pSection->hMember, &pItem);
    if (result != VaskCommonError_Success) {
      VASK_TRACE_ERROR(result);
      return result;
    }
    member.pMember = nullptr;
  }
  return result;
}

// A new section holding pKey=pValue: at the end, or for "" at the front and
// without a header line (a queue that starts without one has "" already).
int section_add(VaskCommonDQueueHandle_t hQueue, const char* pName, const char* pKey,
                const char* pValue) {
  SectionOwner section;
  int result = VaskInitializationSection_create(&section.pSection);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  if (*pName != '\0') {
    result = text_copy(pName, &section.pSection->pHeader);
  }
  if (result == VaskCommonError_Success) {
    result = member_append(section.pSection, pKey, pValue);
  }
  if (result == VaskCommonError_Success) {
    void* pItem = section.pSection;
    result = *pName != '\0' ? VaskCommonDQueue_pushBack(hQueue, &pItem)
                            : VaskCommonDQueue_insert(hQueue, 0, &pItem);
    if (result != VaskCommonError_Success) {
      VASK_TRACE_ERROR(result);
      return result;
    }
    section.pSection = nullptr;
  }
  return result;
}

// The members taken out by one removal, with where each stood: put back when
// a later step fails, so that a failed removal changes nothing; released once
// all are out.
class TakenList {
 public:
  explicit TakenList(size_t capacity)
      : pTaken_(static_cast<Taken_t*>(std::calloc(capacity + 1, sizeof(Taken_t)))),
        capacity_(capacity) {}
  ~TakenList() { std::free(pTaken_); }
  TakenList(const TakenList&) = delete;
  TakenList& operator=(const TakenList&) = delete;

  bool isAllocated() const { return pTaken_ != nullptr; }
  size_t count() const { return count_; }
  int take(VaskCommonDQueueHandle_t hMember, size_t index) {
    void* pItem = nullptr;
    const int result = count_ < capacity_ ? VaskCommonDQueue_remove(hMember, index, &pItem)
                                          : VaskCommonError_InvalidArgument;
    if (result == VaskCommonError_Success) {
      pTaken_[count_++] = {hMember, index, pItem};
    }
    return result;
  }
  // The last taken goes back first, each into the slot it left, so no queue grows.
  void putBack() {
    for (; count_ > 0; --count_) {
      Taken_t& taken = pTaken_[count_ - 1];
      (void)VaskCommonDQueue_insert(taken.hMember, taken.index, &taken.pItem);
    }
  }
  void release() {
    for (; count_ > 0; --count_) {
      auto* pMember = static_cast<Member_t*>(pTaken_[count_ - 1].pItem);
      (void)VaskInitializationMember_delete(&pMember);
    }
  }

 private:
  struct Taken_t {
    VaskCommonDQueueHandle_t hMember;
    size_t index;
    void* pItem;
  };
  Taken_t* pTaken_;
  size_t capacity_;
  size_t count_ = 0;
};

// How many members pKey the logical section pSection has, or a failed access's code.
int members_count(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey,
                  size_t* pCount) {
  int result = VaskCommonError_Success;
  const int walked = sections_visit(hQueue, pSection, [&](Section_t* pEach) {
    const Member_t* pMember = nullptr;
    for (size_t i = 0; (pMember = item_at<Member_t>(pEach->hMember, i, &result)) != nullptr; ++i) {
      *pCount += key_match(pMember->pKey, pKey) == KeyMatch_t::Exact ? 1 : 0;
    }
  });
  return result != VaskCommonError_Success ? result : walked;
}

// Takes the members pKey of the logical section out, each section from its back
// so that the positions still to visit stay where they were.
int members_take(VaskCommonDQueueHandle_t hQueue, const char* pSection, const char* pKey,
                 TakenList* pTaken) {
  int result = VaskCommonError_Success;
  const int walked = sections_visit(hQueue, pSection, [&](Section_t* pEach) {
    for (size_t i = VaskCommonDQueue_length(pEach->hMember);
         result == VaskCommonError_Success && i-- > 0;) {
      const Member_t* pMember = item_at<Member_t>(pEach->hMember, i, &result);
      if (pMember != nullptr && key_match(pMember->pKey, pKey) == KeyMatch_t::Exact) {
        result = pTaken->take(pEach->hMember, i);
      }
    }
  });
  return result != VaskCommonError_Success ? result : walked;
}

// Whether a section before position `end` shows the logical section pName.
bool name_shownBefore(VaskCommonDQueueHandle_t hQueue, const char* pName, size_t end,
                      int* pResult) {
  const char* pCurrent = nullptr;
  const Section_t* pSection = nullptr;
  for (size_t i = 0; i < end && (pSection = item_at<Section_t>(hQueue, i, pResult)) != nullptr;
       ++i) {
    pCurrent = section_name(pSection, pCurrent);
    if (section_shows(pSection) && std::strcmp(pCurrent, pName) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int VaskInitializationLookup_sectionDelete(void** ppData) {
  if (ppData == nullptr) {
    return VaskCommonError_Success;
  }
  auto* pSection = static_cast<Section_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

extern "C" int VaskInitializationLookup_load(const char* pFilename,
                                             VaskCommonDQueueHandle_t* pHandle) {
  if (pFilename == nullptr || pHandle == nullptr || *pHandle != 0) {
    return VaskCommonError_InvalidArgument;
  }
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = VaskInitializationLookup_sectionDelete;
  QueueOwner queue;
  ReaderOwner reader;
  int result = VaskCommonDQueue_open(&param, &queue.handle);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationReader_open(&reader.handle);
  }
  if (result == VaskCommonError_Success) {
    result = VaskInitializationReader_load(reader.handle, pFilename, queue.handle);
  }
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  *pHandle = std::exchange(queue.handle, 0);
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationLookup_find(VaskCommonDQueueHandle_t hQueueSection,
                                             const char* pSection, const char* pKey,
                                             VaskInitializationMember_t** ppMember) {
  return member_lookup(hQueueSection, pSection, pKey, ppMember);
}

extern "C" int VaskInitializationLookup_hasSection(VaskCommonDQueueHandle_t hQueueSection,
                                                   const char* pSection) {
  if (hQueueSection == 0 || pSection == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  bool isShown = false;
  const int result = sections_visit(hQueueSection, pSection, [&isShown](const Section_t* pEach) {
    isShown = isShown || section_shows(pEach);
  });
  if (result != VaskCommonError_Success) {
    return result;
  }
  return isShown ? VaskCommonError_Success : VaskCommonError_NoEntry;
}

extern "C" int VaskInitializationLookup_sectionNext(VaskCommonDQueueHandle_t hQueueSection,
                                                    VaskInitializationLookupCursor_t* pCursor,
                                                    const char** ppName) {
  if (hQueueSection == 0 || pCursor == nullptr || ppName == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  int result = VaskCommonError_Success;
  const Section_t* pSection = nullptr;
  for (; (pSection = item_at<Section_t>(hQueueSection, pCursor->section, &result)) != nullptr;
       ++pCursor->section) {
    pCursor->pName = section_name(pSection, pCursor->pName);
    // A document's queue knows which section shows a name first; a plain one is searched.
    bool isFirst = false;
    const bool isKnown =
        vask::document::document_isFirstShown(hQueueSection, pCursor->section, &isFirst);
    const bool isNew =
        section_shows(pSection) &&
        (isKnown ? isFirst
                 : !name_shownBefore(hQueueSection, pCursor->pName, pCursor->section, &result));
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (isNew) {
      *ppName = pCursor->pName;
      ++pCursor->section;
      return VaskCommonError_Success;
    }
  }
  return result != VaskCommonError_Success ? result : VaskCommonError_NoEntry;
}

extern "C" int VaskInitializationLookup_memberNext(VaskCommonDQueueHandle_t hQueueSection,
                                                   const char* pSection,
                                                   VaskInitializationLookupCursor_t* pCursor,
                                                   VaskInitializationMember_t** ppMember) {
  if (hQueueSection == 0 || pCursor == nullptr || ppMember == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  int result = VaskCommonError_Success;
  const Section_t* pEach = nullptr;
  for (; (pEach = item_at<Section_t>(hQueueSection, pCursor->section, &result)) != nullptr;
       ++pCursor->section, pCursor->member = 0) {
    // Looking at the same section again gives the same name.
    pCursor->pName = section_name(pEach, pCursor->pName);
    if (pSection != nullptr && std::strcmp(pCursor->pName, pSection) != 0) {
      continue;
    }
    Member_t* pMember = item_at<Member_t>(pEach->hMember, pCursor->member, &result);
    if (result != VaskCommonError_Success) {
      return result;
    }
    if (pMember != nullptr) {
      ++pCursor->member;
      *ppMember = pMember;
      return VaskCommonError_Success;
    }
  }
  return result != VaskCommonError_Success ? result : VaskCommonError_NoEntry;
}

extern "C" int VaskInitializationLookup_parseInteger(const char* pBegin, const char* pEnd,
                                                     int64_t* pValue) {
  return integer_parse(pBegin, pEnd, pValue);
}

extern "C" int VaskInitializationLookup_parseBoolean(const char* pBegin, const char* pEnd,
                                                     bool* pValue) {
  if (range_isBad(pBegin, pEnd, pValue)) {
    return VaskCommonError_InvalidArgument;
  }
  blanks_trim(pBegin, pEnd);
  const std::string_view text(pBegin, static_cast<size_t>(pEnd - pBegin));
  for (const BooleanWord_t& word : kBooleanWord) {
    if (word_equals(text, word.text)) {
      *pValue = word.value;
      return VaskCommonError_Success;
    }
  }
  return VaskCommonError_BadValue;
}

extern "C" int VaskInitializationLookup_parseReal(const char* pBegin, const char* pEnd,
                                                  double* pValue) {
  return real_parse(pBegin, pEnd, pValue);
}

extern "C" int VaskInitializationLookup_getString(VaskCommonDQueueHandle_t hQueueSection,
                                                  const char* pSection, const char* pKey,
                                                  const char** ppValue) {
  Member_t* pMember = nullptr;
  if (ppValue == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const int result = member_lookup(hQueueSection, pSection, pKey, &pMember);
  if (result == VaskCommonError_Success) {
    *ppValue = value_text(pMember);
  }
  return result;
}

extern "C" int VaskInitializationLookup_getInteger(VaskCommonDQueueHandle_t hQueueSection,
                                                   const char* pSection, const char* pKey,
                                                   int64_t* pValue) {
  return value_get<int64_t, VaskInitializationLookup_parseInteger>(hQueueSection, pSection, pKey,
                                                                   pValue);
}

extern "C" int VaskInitializationLookup_getBoolean(VaskCommonDQueueHandle_t hQueueSection,
                                                   const char* pSection, const char* pKey,
                                                   bool* pValue) {
  return value_get<bool, VaskInitializationLookup_parseBoolean>(hQueueSection, pSection, pKey,
                                                                pValue);
}

extern "C" int VaskInitializationLookup_getReal(VaskCommonDQueueHandle_t hQueueSection,
                                                const char* pSection, const char* pKey,
                                                double* pValue) {
  return value_get<double, VaskInitializationLookup_parseReal>(hQueueSection, pSection, pKey,
                                                               pValue);
}

extern "C" int VaskInitializationLookup_getStringOr(VaskCommonDQueueHandle_t hQueueSection,
                                                    const char* pSection, const char* pKey,
                                                    const char* pDefault, const char** ppValue) {
  const int result = VaskInitializationLookup_getString(hQueueSection, pSection, pKey, ppValue);
  if (result != VaskCommonError_NoEntry && result != VaskCommonError_NearMiss) {
    return result;
  }
  *ppValue = pDefault;
  return result == VaskCommonError_NearMiss ? result : VaskCommonError_Success;
}

extern "C" int VaskInitializationLookup_getIntegerOr(VaskCommonDQueueHandle_t hQueueSection,
                                                     const char* pSection, const char* pKey,
                                                     int64_t fallback, int64_t* pValue) {
  return value_getOr<int64_t, VaskInitializationLookup_parseInteger>(hQueueSection, pSection, pKey,
                                                                     fallback, pValue);
}

extern "C" int VaskInitializationLookup_getBooleanOr(VaskCommonDQueueHandle_t hQueueSection,
                                                     const char* pSection, const char* pKey,
                                                     bool fallback, bool* pValue) {
  return value_getOr<bool, VaskInitializationLookup_parseBoolean>(hQueueSection, pSection, pKey,
                                                                  fallback, pValue);
}

extern "C" int VaskInitializationLookup_getRealOr(VaskCommonDQueueHandle_t hQueueSection,
                                                  const char* pSection, const char* pKey,
                                                  double fallback, double* pValue) {
  return value_getOr<double, VaskInitializationLookup_parseReal>(hQueueSection, pSection, pKey,
                                                                 fallback, pValue);
}

extern "C" int VaskInitializationLookup_listSize(const char* pValue, size_t* pCount) {
  if (pValue == nullptr || pCount == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  *pCount = 0;
  return VaskInitializationUtility_size(pValue, pValue + std::strlen(pValue), pCount);
}

extern "C" int VaskInitializationLookup_listElement(const char* pValue, size_t index,
                                                    const char** ppBegin, const char** ppEnd) {
  size_t count = 0;
  if (ppBegin == nullptr || ppEnd == nullptr ||
      VaskInitializationLookup_listSize(pValue, &count) != VaskCommonError_Success) {
    return VaskCommonError_InvalidArgument;
  }
  if (index >= count) {
    return VaskCommonError_NoEntry;
  }
  // The same scan as the count: commas outside brackets and quotes split, and
  // a ']' that closes more than was opened ends the list.
  const char* pStart = pValue;
  const char* pEach = pValue;
  long level = 0;
  bool isQuoted = false;
  for (; *pEach != '\0'; ++pEach) {
    if (*pEach == '"') {
      isQuoted = !isQuoted;
    } else if (*pEach == '[') {
      ++level;
    } else if (*pEach == ']' && --level < 0) {
      break;
    } else if (*pEach == ',' && level == 0 && !isQuoted) {
      if (index-- == 0) {
        break;
      }
      pStart = pEach + 1;
    }
  }
  *ppBegin = pStart;
  *ppEnd = pEach;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationLookup_set(VaskCommonDQueueHandle_t hQueueSection,
                                            const char* pSection, const char* pKey,
                                            const char* pValue) {
  if (hQueueSection == 0 || pSection == nullptr || pKey == nullptr || pValue == nullptr ||
      !vask::document::value_readsBack(pValue) || !vask::document::key_readsBack(pKey) ||
      !vask::document::name_readsBack(pSection)) {
    return VaskCommonError_InvalidArgument;
  }
  const Found_t found = members_find(hQueueSection, pSection, pKey);
  if (found.result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(found.result);
    return found.result;
  }
  if (found.pExact != nullptr) {
    return value_replace(found.pExact, pValue);
  }
  if (found.pNear != nullptr) {
    return VaskCommonError_NearMiss;  // "port = 80": a second "port" would hide the first
  }
  if (found.pLast != nullptr) {
    return member_append(found.pLast, pKey, pValue);
  }
  return section_add(hQueueSection, pSection, pKey, pValue);
}

extern "C" int VaskInitializationLookup_remove(VaskCommonDQueueHandle_t hQueueSection,
                                               const char* pSection, const char* pKey,
                                               size_t* pRemoved) {
  if (hQueueSection == 0 || pSection == nullptr || pKey == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  size_t count = 0;
  int result = members_count(hQueueSection, pSection, pKey, &count);
  if (pRemoved != nullptr) {
    *pRemoved = 0;
  }
  if (result == VaskCommonError_Success && count == 0) {
    return VaskCommonError_NoEntry;
  }
  TakenList taken(count);
  if (result == VaskCommonError_Success && !taken.isAllocated()) {
    result = VaskCommonError_NoMemory;
  }
  if (result == VaskCommonError_Success) {
    result = members_take(hQueueSection, pSection, pKey, &taken);
  }
  if (result != VaskCommonError_Success) {
    taken.putBack();
    VASK_TRACE_ERROR(result);
    return result;
  }
  if (pRemoved != nullptr) {
    *pRemoved = taken.count();
  }
  taken.release();
  return VaskCommonError_Success;
}
