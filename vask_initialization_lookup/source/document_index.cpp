#include "document_index.h"

#include <vask_common_c/common_error.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vask::document {

const char kQueueOwner = 0;

// Logical sections are many in a large file and live as long as the index:
// they are cut from slabs, released all at once.
struct Slab_t {
  Slab_t* pNext;
  size_t used;
  size_t size;
};

namespace {

constexpr size_t kNotYet = SIZE_MAX;  // a line before the first part

// The first of `stops` or a zero byte in [pFrom, pEnd), or pEnd; reading sees
// nothing of a line after a zero byte.
const char* bytes_findEither(const char* pFrom, const char* pEnd, char stop) {
  while (pFrom < pEnd && *pFrom != stop && *pFrom != '\0') {
    ++pFrom;
  }
  return pFrom;
}

const char* bytes_findValueEnd(const char* pFrom, const char* pEnd) {
  while (pFrom < pEnd && *pFrom != ' ' && *pFrom != '#' && *pFrom != ';' && *pFrom != '\0') {
    ++pFrom;
  }
  return pFrom;
}

// The first `wanted` in [pFrom, pEnd) before any zero byte, or null.
const char* bytes_findBeforeZero(const char* pFrom, const char* pEnd, char wanted) {
  const char* pFound = bytes_findEither(pFrom, pEnd, wanted);
  return pFound < pEnd && *pFound == wanted ? pFound : nullptr;
}

// The trailing comment's marker, given where the value ends: the first '#'
// after it, or when there is none the first ';'.
const char* member_marker(const char* pValueEnd, const char* pEnd) {
  if (pValueEnd == pEnd || *pValueEnd == '\0') {
    return nullptr;
  }
  const char* pMarker = bytes_findBeforeZero(pValueEnd, pEnd, '#');
  return pMarker != nullptr ? pMarker : bytes_findBeforeZero(pValueEnd, pEnd, ';');
}

LineKind_t kind_of(const char* pBody, const char* pEnd) {
  if (pBody == pEnd) {
    return LineKindBlank;
  }
  switch (*pBody) {
    case '\0':
      return LineKindEnd;
    case '#':
    case ';':
      return LineKindComment;
    case '[':
      return LineKindHeader;
    default:
      return bytes_findBeforeZero(pBody, pEnd, '=') != nullptr ? LineKindMember : LineKindMalformed;
  }
}

const char* body_of(const char* pBytes, const char* pEnd) {
  while (pBytes < pEnd && byte_isBlank(*pBytes)) {
    ++pBytes;
  }
  return pBytes;
}

const char* content_end(const char* pBytes, size_t size) {
  return size > 0 && pBytes[size - 1] == '\n' ? pBytes + size - 1 : pBytes + size;
}

// --- slabs ------------------------------------------------------------------

constexpr size_t kSlabSize = size_t{64} * 1024;

void* slab_take(Index_t* pIndex, size_t bytes) {
  bytes = (bytes + alignof(Logical_t) - 1) & ~(alignof(Logical_t) - 1);
  Slab_t* pSlab = pIndex->pSlab;
  if (pSlab == nullptr || pSlab->size - pSlab->used < bytes) {
    const size_t size = bytes > kSlabSize ? bytes : kSlabSize;
    pSlab = static_cast<Slab_t*>(std::malloc(sizeof(Slab_t) + size));
    if (pSlab == nullptr) {
      return nullptr;
    }
    *pSlab = Slab_t{pIndex->pSlab, 0, size};
    pIndex->pSlab = pSlab;
  }
  void* pTaken = reinterpret_cast<char*>(pSlab + 1) + pSlab->used;
  pSlab->used += bytes;
  return pTaken;
}

void slabs_release(Index_t* pIndex) {
  for (Slab_t* pSlab = pIndex->pSlab; pSlab != nullptr;) {
    Slab_t* pNext = pSlab->pNext;
    std::free(pSlab);
    pSlab = pNext;
  }
}

// --- hash tables ------------------------------------------------------------

template <typename Entry_t>
size_t bucket_of(const Table_t<Entry_t>& table, uint64_t hash) {
  return static_cast<size_t>(hash) & (table.bucketCount - 1);
}

template <typename Entry_t>
void table_rehash(Table_t<Entry_t>* pTable, Entry_t** ppBucket, size_t bucketCount) {
  Table_t<Entry_t> grown{ppBucket, bucketCount, 0};
  for (size_t i = 0; i < pTable->bucketCount; ++i) {
    for (Entry_t* pEntry = pTable->ppBucket[i]; pEntry != nullptr;) {
      Entry_t* pNext = pEntry->pHashNext;
      table_insert(&grown, pEntry);
      pEntry = pNext;
    }
  }
  std::free(static_cast<void*>(pTable->ppBucket));
  *pTable = grown;
}

template <typename Entry_t>
void table_release(Table_t<Entry_t>* pTable) {
  std::free(static_cast<void*>(pTable->ppBucket));
  *pTable = Table_t<Entry_t>{};
}

bool name_equals(const Logical_t& logical, const char* pName, size_t length) {
  return logical.length == length && std::memcmp(logical.pName, pName, length) == 0;
}

// --- building ---------------------------------------------------------------

// One jump of memchr per line: fewer steps than looking at every byte.
size_t lines_count(const char* pText, size_t size) {
  size_t count = 0;
  for (const char* pAt = pText; pAt < pText + size; ++count) {
    const auto* pLineFeed =
        static_cast<const char*>(std::memchr(pAt, '\n', static_cast<size_t>(pText + size - pAt)));
    pAt = pLineFeed != nullptr ? pLineFeed + 1 : pText + size;
  }
  return count;
}

void lines_cut(Index_t* pIndex, const char* pText, size_t size, size_t count) {
  Line_t* pBlock = pIndex->pLineBlock;
  const char* pAt = pText;
  bool isRead = true;
  for (size_t i = 0; i < count; ++i) {
    Line_t& line = pBlock[i];
    line = Line_t{};  // the block is not zeroed: one pass writes each line whole
    const auto* pLineFeed =
        static_cast<const char*>(std::memchr(pAt, '\n', static_cast<size_t>(pText + size - pAt)));
    const char* pNext = pLineFeed != nullptr ? pLineFeed + 1 : pText + size;
    line.pBytes = pAt;
    line.size = static_cast<size_t>(pNext - pAt);
    line.isPooled = true;
    line.number = i + 1;
    line.pPrev = i > 0 ? &pBlock[i - 1] : nullptr;
    line.pNext = i + 1 < count ? &pBlock[i + 1] : nullptr;
    line.kind = isRead ? line_kind(line.pBytes, line.size) : LineKindUnread;
    if (isRead && line.kind == LineKindEnd) {
      pIndex->pEnd = &line;
      pIndex->readCount = i;
      isRead = false;
    }
    pAt = pNext;
  }
  pIndex->pHead = count > 0 ? &pBlock[0] : nullptr;
  pIndex->pTail = count > 0 ? &pBlock[count - 1] : nullptr;
  pIndex->readCount = isRead ? count : pIndex->readCount;
}

// Checks the part that the lines gave against its section: its members and
// whether it has a header (what tells whether reading grouped the lines alike).
bool part_matches(const VaskInitializationSection_t* pSection, size_t headers, size_t members) {
  return members == VaskCommonDQueue_length(pSection->hMember) &&
         (headers > 0) == (pSection->pHeader != nullptr);
}

struct Tally_t {
  size_t headers;
  size_t members;
  const Line_t* pHeader;  // its last header line: the name reading keeps
};

// Names the part, once: from its last header line, which holds what the reader
// copied (the bytes stand in order, where the reader's copies are scattered),
// or the name before it.
int reading_name(Reading_t* pReading, size_t part, const Tally_t& tally) {
  Part_t& named = pReading->pParts[part];
  if (named.pLogical != nullptr) {
    return VaskCommonError_Success;
  }
  Logical_t* pBefore = part > 0 ? pReading->pParts[part - 1].pLogical : pReading->pBefore;
  if (tally.pHeader == nullptr && pBefore != nullptr) {
    named.pLogical = pBefore;
    return VaskCommonError_Success;
  }
  const char* pName = "";
  size_t length = 0;
  if (tally.pHeader != nullptr) {
    header_name(*tally.pHeader, &pName, &length);
  }
  return logical_get(pReading->pIndex, pName, length, &named.pLogical);
}

Line_t* reading_line(const Reading_t& reading, size_t line) {
  return reading.ppLines != nullptr ? reading.ppLines[line] : &reading.pBlock[line];
}

// Moves on to the next section; the one before must match its lines, and is named.
int reading_next(Reading_t* pReading, size_t* pPart, Tally_t* pTally) {
  if (*pPart != kNotYet &&
      !part_matches(pReading->pParts[*pPart].pSection, pTally->headers, pTally->members)) {
    return VaskCommonError_Failure;
  }
  const int named =
      *pPart != kNotYet ? reading_name(pReading, *pPart, *pTally) : VaskCommonError_Success;
  if (named != VaskCommonError_Success) {
    return named;
  }
  const size_t next = *pPart == kNotYet ? 0 : *pPart + 1;
  if (next >= pReading->sections) {
    return VaskCommonError_Failure;
  }
  Part_t& part = pReading->pParts[next];
  *pPart = next;
  *pTally = Tally_t{};
  if (pReading->isKnown) {  // the section and its name are there: the lines come now
    part.pFirst = nullptr;
    part.pLast = nullptr;
    part.pLastMember = nullptr;
    return VaskCommonError_Success;
  }
  void* pItem = nullptr;
  const int result = VaskCommonDQueue_at(pReading->hQueue, pReading->first + next, &pItem);
  part = Part_t{};
  part.pSection = static_cast<VaskInitializationSection_t*>(pItem);
  part.isShown = result == VaskCommonError_Success && part.pSection->pHeader != nullptr;
  return result;
}

// The line goes into the part (kNotYet: before the first) with its member.
void reading_put(Reading_t* pReading, size_t line, size_t part,
                 VaskInitializationMember_t* pMember) {
  Line_t* pLine = reading_line(*pReading, line);
  if (part != kNotYet) {
    Part_t& into = pReading->pParts[part];
    into.pFirst = into.pFirst != nullptr ? into.pFirst : pLine;
    into.pLast = pLine;
    into.pLastMember = pMember != nullptr ? pLine : into.pLastMember;
    into.isShown = into.isShown || pMember != nullptr;
  }
  if (pReading->pPartOf != nullptr) {
    pReading->pPartOf[line] = part;
    pReading->ppMembers[line] = pMember;
    return;
  }
  pLine->pPart = part != kNotYet ? &pReading->pParts[part] : nullptr;
  pLine->pMember = pMember;
  if (pMember != nullptr) {
    pLine->pLogical = pLine->pPart->pLogical;
    member_link(pReading->pIndex, pLine, nullptr);
  }
}

// One read line into the part it belongs to.
int reading_take(Reading_t* pReading, size_t line, size_t* pPart, Tally_t* pTally) {
  const LineKind_t kind = reading_line(*pReading, line)->kind;
  if (kind != LineKindComment && kind != LineKindHeader && kind != LineKindMember) {
    return VaskCommonError_Failure;  // the reader would have failed or stopped here
  }
  // A comment or header after a member starts the next section; any line the first one.
  const bool isOpen = *pPart != kNotYet && pTally->members > 0;
  const bool isNext = *pPart == kNotYet || (kind != LineKindMember && isOpen);
  int result = isNext ? reading_next(pReading, pPart, pTally) : VaskCommonError_Success;
  if (result != VaskCommonError_Success) {
    return result;
  }
  pTally->headers += kind == LineKindHeader ? 1 : 0;
  pTally->pHeader = kind == LineKindHeader ? reading_line(*pReading, line) : pTally->pHeader;
  void* pItem = nullptr;
  if (kind == LineKindMember) {  // its section's name is known by now: its headers come first
    result = reading_name(pReading, *pPart, *pTally);
  }
  if (kind == LineKindMember && result == VaskCommonError_Success) {
    result =
        VaskCommonDQueue_at(pReading->pParts[*pPart].pSection->hMember, pTally->members++, &pItem);
  }
  reading_put(pReading, line, *pPart, static_cast<VaskInitializationMember_t*>(pItem));
  return result;
}

// The lines before the first part are its own.
void reading_lead(Reading_t* pReading, size_t lines) {
  for (size_t line = 0; line < lines; ++line) {
    if (pReading->pPartOf != nullptr) {
      pReading->pPartOf[line] = 0;
    } else {
      reading_line(*pReading, line)->pPart = &pReading->pParts[0];
    }
  }
  pReading->pParts[0].pFirst = reading_line(*pReading, 0);
}

// The block of parts, linked in queue order.
void parts_link(Index_t* pIndex) {
  for (size_t i = 0; i < pIndex->partCount; ++i) {
    Part_t& part = pIndex->pPartBlock[i];
    part.index = i;
    part.isPooled = true;
    part.pPrev = i > 0 ? &pIndex->pPartBlock[i - 1] : nullptr;
    part.pNext = i + 1 < pIndex->partCount ? &pIndex->pPartBlock[i + 1] : nullptr;
  }
  pIndex->pFirstPart = pIndex->partCount > 0 ? &pIndex->pPartBlock[0] : nullptr;
  pIndex->pLastPart = pIndex->partCount > 0 ? &pIndex->pPartBlock[pIndex->partCount - 1] : nullptr;
}

int index_assign(Index_t* pIndex, VaskCommonDQueueHandle_t hQueue, size_t count) {
  Reading_t reading{nullptr,
                    pIndex->pLineBlock,
                    pIndex->readCount,
                    hQueue,
                    0,
                    count,
                    pIndex->pPartBlock,
                    nullptr,
                    nullptr,
                    pIndex,
                    nullptr,
                    true};
  return reading_assign(&reading);
}

void lines_release(Index_t* pIndex) {
  for (Line_t* pLine = pIndex->pHead; pLine != nullptr;) {
    Line_t* pNext = pLine->pNext;
    if (pLine->isOwnedBytes) {
      std::free(const_cast<char*>(pLine->pBytes));
    }
    if (!pLine->isPooled) {
      std::free(pLine);
    }
    pLine = pNext;
  }
}

void parts_release(Index_t* pIndex) {
  for (Part_t* pPart = pIndex->pFirstPart; pPart != nullptr;) {
    Part_t* pNext = pPart->pNext;
    if (!pPart->isPooled) {
      std::free(pPart);
    }
    pPart = pNext;
  }
}

template <typename Entry_t, typename Release_t>
void table_each(Table_t<Entry_t>* pTable, Release_t release) {
  for (size_t i = 0; i < pTable->bucketCount; ++i) {
    for (Entry_t* pEntry = pTable->ppBucket[i]; pEntry != nullptr;) {
      Entry_t* pNext = pEntry->pHashNext;
      release(pEntry);
      pEntry = pNext;
    }
  }
}

// A member line's key read from its bytes: they hold what the reader copied
// (from the first byte that is not a blank to the first '='), and they stand
// in order in memory, where the members' copies are scattered.
const char* key_ofLine(const Line_t& line, size_t* pLength) {
  const char* pEnd = content_end(line.pBytes, line.size);
  const char* pBody = body_of(line.pBytes, pEnd);
  const char* pEquals = bytes_findEither(pBody, pEnd, '=');
  *pLength = key_trimmedLength(pBody, static_cast<size_t>(pEquals - pBody));
  return pBody;
}

bool key_equals(const KeyEntry_t& entry, const char* pKey, size_t length) {
  size_t held = 0;
  const char* pHeld = key_ofLine(*entry.pFirst, &held);
  return entry.length == length && held == length && std::memcmp(pHeld, pKey, length) == 0;
}

}  // namespace

// --- lines ------------------------------------------------------------------

bool byte_isBlank(char character) {
  return std::isspace(static_cast<unsigned char>(character)) != 0;
}

bool value_readsBack(const char* pValue) {
  for (const char* pAt = pValue; *pAt != '\0'; ++pAt) {
    if (byte_isBlank(*pAt) || *pAt == '#' || *pAt == ';') {
      return false;
    }
  }
  return true;
}

bool key_readsBack(const char* pKey) {
  const char first = *pKey;
  return first != '\0' && !byte_isBlank(first) && first != '[' && first != '#' && first != ';' &&
         std::strpbrk(pKey, "=\n") == nullptr;
}

bool name_readsBack(const char* pName) {
  return std::strpbrk(pName, "]\n") == nullptr;
}

KeyMatch_t key_match(const char* pKey, const char* pWanted) {
  const size_t length = std::strlen(pWanted);
  if (pKey == nullptr || std::strncmp(pKey, pWanted, length) != 0) {
    return KeyMatch_t::None;
  }
  const char* pRest = pKey + length;
  if (*pRest == '\0') {
    return KeyMatch_t::Exact;
  }
  while (byte_isBlank(*pRest)) {
    ++pRest;
  }
  return *pRest == '\0' ? KeyMatch_t::Near : KeyMatch_t::None;
}

LineKind_t line_kind(const char* pBytes, size_t size) {
  const char* pEnd = content_end(pBytes, size);
  return kind_of(body_of(pBytes, pEnd), pEnd);
}

LineView_t line_view(const char* pBytes, size_t size) {
  const char* pEnd = content_end(pBytes, size);
  const char* pBody = body_of(pBytes, pEnd);
  LineView_t view{};
  view.kind = kind_of(pBody, pEnd);
  view.body = static_cast<size_t>(pBody - pBytes);
  view.content = static_cast<size_t>(pEnd - pBytes);
  view.visible = static_cast<size_t>(bytes_findEither(pBody, pEnd, '\0') - pBytes);
  if (view.kind != LineKindMember) {
    return view;
  }
  const char* pEquals = bytes_findBeforeZero(pBody, pEnd, '=');
  const char* pValueEnd = bytes_findValueEnd(pEquals + 1, pEnd);
  const char* pMarker = member_marker(pValueEnd, pEnd);
  view.equals = static_cast<size_t>(pEquals - pBytes);
  view.valueEnd = static_cast<size_t>(pValueEnd - pBytes);
  view.hasComment = pMarker != nullptr;
  view.marker = pMarker != nullptr ? static_cast<size_t>(pMarker - pBytes) : view.visible;
  return view;
}

void header_name(const Line_t& line, const char** ppName, size_t* pLength) {
  const char* pEnd = content_end(line.pBytes, line.size);
  const char* pName = body_of(line.pBytes, pEnd) + 1;  // after the '['
  *ppName = pName;
  *pLength = static_cast<size_t>(bytes_findEither(pName, pEnd, ']') - pName);
}

bool line_hasLineFeed(const Line_t& line) {
  return line.size > 0 && line.pBytes[line.size - 1] == '\n';
}

bool line_isCrlf(const Line_t& line) {
  return line.size >= 2 && line.pBytes[line.size - 1] == '\n' && line.pBytes[line.size - 2] == '\r';
}

// Eight bytes at a time, the length first.
uint64_t bytes_hash(const char* pBytes, size_t length) {
  const auto mix = [](uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * 0xbf58476d1ce4e5b9;
    return hash ^ (hash >> 31);
  };
  uint64_t hash = mix(0x243f6a8885a308d3, length);
  size_t at = 0;
  for (; at + sizeof(uint64_t) <= length; at += sizeof(uint64_t)) {
    uint64_t word = 0;
    std::memcpy(&word, pBytes + at, sizeof(word));
    hash = mix(hash, word);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, pBytes + at, length - at);
  return mix(hash, tail);
}

uint64_t key_hash(const Logical_t* pLogical, const char* pKey, size_t length) {
  return bytes_hash(pKey, length) ^ (reinterpret_cast<uintptr_t>(pLogical) * 0x9e3779b97f4a7c15);
}

size_t key_trimmedLength(const char* pKey, size_t length) {
  while (length > 0 && byte_isBlank(pKey[length - 1])) {
    --length;
  }
  return length;
}

// --- tables -----------------------------------------------------------------

template <typename Entry_t>
int table_reserve(Table_t<Entry_t>* pTable, size_t more) {
  size_t wanted = pTable->bucketCount > 0 ? pTable->bucketCount : 64;
  while (wanted < pTable->count + more) {
    wanted *= 2;
  }
  if (wanted == pTable->bucketCount) {
    return VaskCommonError_Success;
  }
  auto** ppBucket = static_cast<Entry_t**>(std::calloc(wanted, sizeof(void*)));
  if (ppBucket == nullptr) {
    return VaskCommonError_NoMemory;
  }
  table_rehash(pTable, ppBucket, wanted);
  return VaskCommonError_Success;
}

template <typename Entry_t>
void table_insert(Table_t<Entry_t>* pTable, Entry_t* pEntry) {
  Entry_t*& pHead = pTable->ppBucket[bucket_of(*pTable, pEntry->hash)];
  pEntry->pHashNext = pHead;
  pHead = pEntry;
  ++pTable->count;
}

template <typename Entry_t>
void table_remove(Table_t<Entry_t>* pTable, Entry_t* pEntry) {
  for (Entry_t** ppAt = &pTable->ppBucket[bucket_of(*pTable, pEntry->hash)]; *ppAt != nullptr;
       ppAt = &(*ppAt)->pHashNext) {
    if (*ppAt == pEntry) {
      *ppAt = pEntry->pHashNext;
      --pTable->count;
      return;
    }
  }
}

template int table_reserve(Table_t<KeyEntry_t>*, size_t);

// --- logical sections and keys ---------------------------------------------

Logical_t* logical_findHashed(const Index_t& index, const char* pName, size_t length,
                              uint64_t hash) {
  if (index.logicals.bucketCount == 0) {
    return nullptr;
  }
  for (Logical_t* pLogical = index.logicals.ppBucket[bucket_of(index.logicals, hash)];
       pLogical != nullptr; pLogical = pLogical->pHashNext) {
    if (pLogical->hash == hash && name_equals(*pLogical, pName, length)) {
      return pLogical;
    }
  }
  return nullptr;
}

Logical_t* logical_find(const Index_t& index, const char* pName, size_t length) {
  return logical_findHashed(index, pName, length, bytes_hash(pName, length));
}

int logical_get(Index_t* pIndex, const char* pName, size_t length, Logical_t** ppLogical) {
  const uint64_t hash = bytes_hash(pName, length);
  *ppLogical = logical_findHashed(*pIndex, pName, length, hash);
  if (*ppLogical != nullptr) {
    return VaskCommonError_Success;
  }
  auto* pLogical = static_cast<Logical_t*>(slab_take(pIndex, sizeof(Logical_t) + length + 1));
  if (pLogical == nullptr || table_reserve(&pIndex->logicals, 1) != VaskCommonError_Success) {
    return VaskCommonError_NoMemory;  // what the slab gave stays unused until the index goes
  }
  *pLogical = Logical_t{};
  pLogical->pName = reinterpret_cast<char*>(pLogical + 1);  // the name after the record
  std::memcpy(pLogical->pName, pName, length);
  pLogical->pName[length] = '\0';
  pLogical->length = length;
  pLogical->hash = hash;
  table_insert(&pIndex->logicals, pLogical);
  *ppLogical = pLogical;
  return VaskCommonError_Success;
}

KeyEntry_t* key_findHashed(const Index_t& index, const Logical_t* pLogical, const char* pKey,
                           size_t length, uint64_t hash) {
  if (index.keys.bucketCount == 0 || pLogical == nullptr) {
    return nullptr;
  }
  for (KeyEntry_t* pEntry = index.keys.ppBucket[bucket_of(index.keys, hash)]; pEntry != nullptr;
       pEntry = pEntry->pHashNext) {
    if (pEntry->hash == hash && pEntry->pLogical == pLogical && key_equals(*pEntry, pKey, length)) {
      return pEntry;
    }
  }
  return nullptr;
}

KeyEntry_t* key_find(const Index_t& index, const Logical_t* pLogical, const char* pKey,
                     size_t length) {
  return key_findHashed(index, pLogical, pKey, length, key_hash(pLogical, pKey, length));
}

void member_keyLink(Index_t* pIndex, Line_t* pLine, KeyEntry_t* pKey) {
  pLine->pKey = pKey;
  if (pKey == nullptr) {
    return;
  }
  if (pKey->pFirst == nullptr) {  // a new entry: the line gives it its key
    pKey->pFirst = pLine;
    pKey->pLast = pLine;
    pLine->pKeyPrev = nullptr;
    pLine->pKeyNext = nullptr;
    table_insert(&pIndex->keys, pKey);
    return;
  }
  pLine->pKeyPrev = pKey->pLast;
  pLine->pKeyNext = nullptr;
  pKey->pLast->pKeyNext = pLine;
  pKey->pLast = pLine;
}

void member_link(Index_t* pIndex, Line_t* pLine, KeyEntry_t* pKey) {
  Logical_t* pLogical = pLine->pLogical;
  pLine->pLogicalPrev = pLogical->pLastMember;
  pLine->pLogicalNext = nullptr;
  (pLogical->pLastMember != nullptr ? pLogical->pLastMember->pLogicalNext
                                    : pLogical->pFirstMember) = pLine;
  pLogical->pLastMember = pLine;
  ++pLogical->memberCount;
  member_keyLink(pIndex, pLine, pLogical->isKeyed ? pKey : nullptr);
}

void member_unlink(Index_t* pIndex, Line_t* pLine) {
  Logical_t* pLogical = pLine->pLogical;
  (pLine->pLogicalPrev != nullptr ? pLine->pLogicalPrev->pLogicalNext : pLogical->pFirstMember) =
      pLine->pLogicalNext;
  (pLine->pLogicalNext != nullptr ? pLine->pLogicalNext->pLogicalPrev : pLogical->pLastMember) =
      pLine->pLogicalPrev;
  --pLogical->memberCount;
  KeyEntry_t* pKey = pLine->pKey;
  if (pKey == nullptr) {
    return;
  }
  (pLine->pKeyPrev != nullptr ? pLine->pKeyPrev->pKeyNext : pKey->pFirst) = pLine->pKeyNext;
  (pLine->pKeyNext != nullptr ? pLine->pKeyNext->pKeyPrev : pKey->pLast) = pLine->pKeyPrev;
  pLine->pKey = nullptr;
  if (pKey->pFirst == nullptr) {  // no line names it any more
    table_remove(&pIndex->keys, pKey);
    if (!pKey->isPooled) {
      std::free(pKey);
    }
  }
}

// --- reading ----------------------------------------------------------------

int reading_assign(Reading_t* pReading) {
  size_t part = kNotYet;
  size_t leading = 0;  // blank lines before the first part
  Tally_t tally{};
  for (size_t line = 0; line < pReading->count; ++line) {
    if (reading_line(*pReading, line)->kind == LineKindBlank) {
      leading += part == kNotYet ? 1 : 0;
      reading_put(pReading, line, part, nullptr);
      continue;
    }
    const int result = reading_take(pReading, line, &part, &tally);
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
  const size_t taken = part == kNotYet ? 0 : part + 1;
  if (taken != pReading->sections ||
      (part != kNotYet &&
       !part_matches(pReading->pParts[part].pSection, tally.headers, tally.members))) {
    return VaskCommonError_Failure;
  }
  const int named = part != kNotYet ? reading_name(pReading, part, tally) : VaskCommonError_Success;
  if (named != VaskCommonError_Success) {
    return named;
  }
  if (taken > 0) {
    reading_lead(pReading, leading);
  }
  return VaskCommonError_Success;
}

// --- the index --------------------------------------------------------------

int index_section(Index_t* pIndex, VaskCommonDQueueHandle_t hQueue) {
  if (pIndex->isSectioned) {
    return VaskCommonError_Success;
  }
  const size_t parts = VaskCommonDQueue_length(hQueue);
  // Not zeroed: every record is written whole before use, and a large zeroed block
  // costs a pass of its own where the allocator hands out reused memory. Room
  // for every name at once: a table grown step by step leaves its old buckets
  // to the allocator to merge.
  pIndex->pPartBlock = static_cast<Part_t*>(std::malloc((parts + 1) * sizeof(Part_t)));
  int result = pIndex->pPartBlock != nullptr ? table_reserve(&pIndex->logicals, parts)
                                             : VaskCommonError_NoMemory;
  Logical_t* pBefore = nullptr;
  for (size_t i = 0; result == VaskCommonError_Success && i < parts; ++i) {
    void* pItem = nullptr;
    result = VaskCommonDQueue_at(hQueue, i, &pItem);
    Part_t& part = pIndex->pPartBlock[i];
    part = Part_t{};
    part.pSection = static_cast<VaskInitializationSection_t*>(pItem);
    const char* pHeader = result == VaskCommonError_Success ? part.pSection->pHeader : nullptr;
    const size_t members = pItem != nullptr ? VaskCommonDQueue_length(part.pSection->hMember) : 0;
    part.isShown = pHeader != nullptr || members > 0;
    part.pLogical = pHeader == nullptr ? pBefore : nullptr;
    if (result == VaskCommonError_Success && part.pLogical == nullptr) {
      const char* pName = pHeader != nullptr ? pHeader : "";
      result = logical_get(pIndex, pName, std::strlen(pName), &part.pLogical);
    }
    if (result == VaskCommonError_Success) {
      part.pLogical->lightCount += members;
      pBefore = part.pLogical;
    }
  }
  if (result != VaskCommonError_Success) {
    std::free(pIndex->pPartBlock);
    pIndex->pPartBlock = nullptr;
    table_each(&pIndex->logicals, [](Logical_t* pLogical) { pLogical->lightCount = 0; });
    return result;
  }
  pIndex->partCount = parts;
  parts_link(pIndex);
  pIndex->isSectioned = true;
  return VaskCommonError_Success;
}

int index_light(Index_t* pIndex, uint64_t generation) {
  if (pIndex->ppLight != nullptr) {
    return VaskCommonError_Success;
  }
  int result = index_order(pIndex, generation);  // the names with members, each once
  size_t total = 0;
  for (size_t i = 0; result == VaskCommonError_Success && i < pIndex->orderCount; ++i) {
    pIndex->ppOrder[i]->lightStart = total;  // moves on as the members go in
    total += pIndex->ppOrder[i]->lightCount;
  }
  auto** ppLight =
      result == VaskCommonError_Success
          ? static_cast<VaskInitializationMember_t**>(std::malloc((total + 1) * sizeof(void*)))
          : nullptr;
  result =
      result == VaskCommonError_Success && ppLight == nullptr ? VaskCommonError_NoMemory : result;
  for (Part_t* pPart = pIndex->pFirstPart; result == VaskCommonError_Success && pPart != nullptr;
       pPart = pPart->pNext) {
    Logical_t& logical = *pPart->pLogical;
    const size_t members = VaskCommonDQueue_length(pPart->pSection->hMember);
    for (size_t i = 0; result == VaskCommonError_Success && i < members; ++i) {
      void* pItem = nullptr;
      result = VaskCommonDQueue_at(pPart->pSection->hMember, i, &pItem);
      ppLight[logical.lightStart++] = static_cast<VaskInitializationMember_t*>(pItem);
    }
  }
  if (result != VaskCommonError_Success) {
    std::free(static_cast<void*>(ppLight));  // a later try places them afresh
    return result;
  }
  for (size_t i = 0; i < pIndex->orderCount; ++i) {
    pIndex->ppOrder[i]->lightStart -= pIndex->ppOrder[i]->lightCount;
  }
  pIndex->ppLight = ppLight;
  return VaskCommonError_Success;
}

namespace {

// Undoes a reading of the lines that failed part way: none of them is owned yet.
void lines_unread(Index_t* pIndex) {
  std::free(pIndex->pLineBlock);
  pIndex->pLineBlock = nullptr;
  pIndex->pHead = nullptr;
  pIndex->pTail = nullptr;
  pIndex->pEnd = nullptr;
  pIndex->readCount = 0;
  table_each(&pIndex->logicals, [](Logical_t* pLogical) {
    pLogical->pFirstMember = nullptr;
    pLogical->pLastMember = nullptr;
    pLogical->memberCount = 0;
  });
  for (Part_t* pPart = pIndex->pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    pPart->pFirst = nullptr;
    pPart->pLast = nullptr;
    pPart->pLastMember = nullptr;
  }
}

}  // namespace

int index_build(Index_t* pIndex, const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue) {
  int result = index_section(pIndex, hQueue);
  if (result != VaskCommonError_Success) {
    return result;
  }
  const size_t count = lines_count(pText, size);
  pIndex->pLineBlock = static_cast<Line_t*>(std::malloc((count + 1) * sizeof(Line_t)));
  result = pIndex->pLineBlock != nullptr ? VaskCommonError_Success : VaskCommonError_NoMemory;
  if (result == VaskCommonError_Success) {
    lines_cut(pIndex, pText, size, count);
    result = index_assign(pIndex, hQueue, pIndex->partCount);
  }
  if (result != VaskCommonError_Success) {
    lines_unread(pIndex);  // the sections and their names stay: walks begun hold them
    return result;
  }
  std::free(static_cast<void*>(pIndex->ppLight));  // the lines serve the walks from now on
  pIndex->ppLight = nullptr;
  pIndex->isBuilt = true;
  pIndex->isNumbered = true;
  return VaskCommonError_Success;
}

int logical_key(Index_t* pIndex, Logical_t* pLogical) {
  if (pLogical->isKeyed) {
    return VaskCommonError_Success;
  }
  const size_t members = pLogical->memberCount;
  auto* pBlock = static_cast<KeyEntry_t*>(std::malloc((members + 1) * sizeof(KeyEntry_t)));
  if (pBlock == nullptr || table_reserve(&pIndex->keys, members) != VaskCommonError_Success) {
    std::free(pBlock);
    return VaskCommonError_NoMemory;
  }
  pLogical->pKeyBlock = pBlock;
  size_t used = 0;
  for (Line_t* pLine = pLogical->pFirstMember; pLine != nullptr; pLine = pLine->pLogicalNext) {
    size_t length = 0;
    const char* pKey = key_ofLine(*pLine, &length);
    const uint64_t hash = key_hash(pLogical, pKey, length);
    KeyEntry_t* pEntry = key_findHashed(*pIndex, pLogical, pKey, length, hash);
    if (pEntry == nullptr) {
      pEntry = &pBlock[used++];
      *pEntry = KeyEntry_t{};
      pEntry->hash = hash;
      pEntry->length = length;
      pEntry->pLogical = pLogical;
      pEntry->isPooled = true;
    }
    pLine->pKey = nullptr;
    member_keyLink(pIndex, pLine, pEntry);
  }
  pLogical->isKeyed = true;
  return VaskCommonError_Success;
}

void index_release(Index_t* pIndex) {
  lines_release(pIndex);
  parts_release(pIndex);
  table_each(&pIndex->keys, [](KeyEntry_t* pEntry) {
    if (!pEntry->isPooled) {
      std::free(pEntry);
    }
  });
  table_each(&pIndex->logicals, [](Logical_t* pLogical) { std::free(pLogical->pKeyBlock); });
  slabs_release(pIndex);
  table_release(&pIndex->keys);
  table_release(&pIndex->logicals);
  std::free(pIndex->pLineBlock);
  std::free(pIndex->pPartBlock);
  std::free(static_cast<void*>(pIndex->ppOrder));
  std::free(pIndex->pFirstShown);
  std::free(static_cast<void*>(pIndex->ppLight));
  *pIndex = Index_t{};
}

void index_number(Index_t* pIndex) {
  if (pIndex->isNumbered) {
    return;
  }
  size_t number = 0;
  for (Line_t* pLine = pIndex->pHead; pLine != nullptr; pLine = pLine->pNext) {
    pLine->number = ++number;
  }
  pIndex->isNumbered = true;
}

int index_order(Index_t* pIndex, uint64_t generation) {
  if (pIndex->orderGeneration == generation && pIndex->ppOrder != nullptr) {
    return VaskCommonError_Success;
  }
  const size_t parts = pIndex->partCount;
  auto** ppOrder = static_cast<Logical_t**>(std::calloc(parts + 1, sizeof(void*)));
  auto* pFirstShown = static_cast<uint8_t*>(std::calloc(parts + 1, 1));
  if (ppOrder == nullptr || pFirstShown == nullptr) {
    std::free(static_cast<void*>(ppOrder));
    std::free(pFirstShown);
    return VaskCommonError_NoMemory;
  }
  size_t count = 0;
  for (Part_t* pPart = pIndex->pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    Logical_t* pLogical = pPart->pLogical;
    if (pPart->isShown && pLogical->orderGeneration != generation) {
      pLogical->orderGeneration = generation;
      pLogical->order = count;
      ppOrder[count++] = pLogical;
      pFirstShown[pPart->index] = 1;
    }
  }
  std::free(static_cast<void*>(pIndex->ppOrder));
  std::free(pIndex->pFirstShown);
  pIndex->ppOrder = ppOrder;
  pIndex->orderCount = count;
  pIndex->pFirstShown = pFirstShown;
  pIndex->firstShownCount = parts;
  pIndex->orderGeneration = generation;
  return VaskCommonError_Success;
}

}  // namespace vask::document
