#include "document_edit.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace vask::document {

namespace {

constexpr size_t kMostInserted = 3;  // an edit adds at most a header, a member and a line's new end

// --- what reads back ----------------------------------------------------------

bool text_same(const char* pLeft, const char* pRight) {
  return pLeft == pRight ||
         (pLeft != nullptr && pRight != nullptr && std::strcmp(pLeft, pRight) == 0);
}

// Whether a member reads as pKey = pValue with the comment pComment; the CR
// that a CR LF line leaves in a value counts as reading back.
bool member_readsAs(const Member_t* pMember, const char* pKey, const char* pValue,
                    const char* pComment) {
  if (pMember == nullptr || !text_same(pMember->pKey, pKey) ||
      !text_same(pMember->pComment, pComment) || pMember->pValue == nullptr) {
    return false;
  }
  const size_t length = std::strlen(pValue);
  return std::strncmp(pMember->pValue, pValue, length) == 0 &&
         (pMember->pValue[length] == '\0' ||
          (pMember->pValue[length] == '\r' && pMember->pValue[length + 1] == '\0'));
}

// --- bytes --------------------------------------------------------------------

char* bytes_join(const char* pA, size_t a, const char* pB, size_t b, const char* pC, size_t c) {
  auto* pBytes = static_cast<char*>(std::malloc(a + b + c + 1));
  if (pBytes != nullptr) {
    std::memcpy(pBytes, pA, a);
    std::memcpy(pBytes + a, pB, b);
    std::memcpy(pBytes + a + b, pC, c);
    pBytes[a + b + c] = '\0';
  }
  return pBytes;
}

// A new line record with its own bytes.
Line_t* line_make(const char* pA, size_t a, const char* pB, size_t b, const char* pC, size_t c) {
  auto* pLine = static_cast<Line_t*>(std::calloc(1, sizeof(Line_t)));
  char* pBytes = bytes_join(pA, a, pB, b, pC, c);
  if (pLine == nullptr || pBytes == nullptr) {
    std::free(pLine);
    std::free(pBytes);
    return nullptr;
  }
  pLine->pBytes = pBytes;
  pLine->size = a + b + c;
  pLine->isOwnedBytes = true;
  pLine->kind = line_kind(pBytes, pLine->size);
  pLine->mark = MarkNew;
  return pLine;
}

void line_free(Line_t* pLine) {
  if (pLine->isOwnedBytes) {
    std::free(const_cast<char*>(pLine->pBytes));
  }
  if (!pLine->isPooled) {
    std::free(pLine);
  }
}

// The line end a new line after pLine takes: that of pLine (a LF where it has none).
const char* ending_after(const Line_t* pLine) {
  return pLine != nullptr && line_isCrlf(*pLine) ? "\r\n" : "\n";
}

// --- one line, read on its own --------------------------------------------------

struct Alone_t {
  VaskCommonDQueueHandle_t hQueue = 0;
  Section_t* pSection = nullptr;
  Member_t* pMember = nullptr;  // the one member the bytes give alone, or null
  Alone_t() = default;
  Alone_t(const Alone_t&) = delete;
  Alone_t& operator=(const Alone_t&) = delete;
  ~Alone_t() { queue_release(&hQueue); }
};

int alone_read(Document_t* pDocument, const Line_t& line, Alone_t* pAlone) {
  int result = text_read(pDocument, line.pBytes, line.size, &pAlone->hQueue);
  if (result == VaskCommonError_InvalidArgument) {
    result = VaskCommonError_NoMemory;  // the line has its '=': only a value's allocation fails
  }
  if (result != VaskCommonError_Success || VaskCommonDQueue_length(pAlone->hQueue) != 1) {
    return result;
  }
  void* pItem = nullptr;
  result = VaskCommonDQueue_at(pAlone->hQueue, 0, &pItem);
  pAlone->pSection = static_cast<Section_t*>(pItem);
  if (result != VaskCommonError_Success ||
      VaskCommonDQueue_length(pAlone->pSection->hMember) != 1) {
    return result;
  }
  result = VaskCommonDQueue_at(pAlone->pSection->hMember, 0, &pItem);
  pAlone->pMember = static_cast<Member_t*>(pItem);
  return result;
}

// The reader keeps a member without its trailing comment when the comment's
// copy cannot be allocated; an edit reads again only lines that read whole.
int member_isWhole(const Line_t& line, const Member_t* pMember) {
  if (line.kind != LineKindMember || pMember->pComment != nullptr) {
    return VaskCommonError_Success;
  }
  return line_view(line.pBytes, line.size).hasComment ? VaskCommonError_NoMemory
                                                      : VaskCommonError_Success;
}

// --- finding ------------------------------------------------------------------

// --- the run of sections an edit reads again ---------------------------------

// The new lines of a run, what reading them gives, and the new parts.
struct Run_t {
  Part_t* pFirstPart;  // the old parts [first, last]; null when the text has none
  Part_t* pLastPart;
  size_t oldCount;
  size_t start;   // the queue position of the first old part
  Line_t* pFrom;  // the old lines the run covers; null when none
  Line_t* pTo;
  Line_t** ppLines;  // the new lines, in order
  size_t count;
  size_t* pPartOf;
  Member_t** ppMembers;
  KeyEntry_t** ppKeys;             // for each new member line, its key entry (perhaps new)
  VaskCommonDQueueHandle_t hRead;  // the sections read from the new lines
  Part_t* pParts;                  // what reading gave, one per section
  Part_t** ppParts;                // the records that go into the index
  size_t partCount;
  Section_t** ppOld;  // the old sections, once out of the queue
};

// One queue operation of a commit, undone when a later one fails.
struct Step_t {
  VaskCommonDQueueHandle_t hQueue;
  size_t index;
  void* pItem;
  bool isInsert;
};

// Links items[0..count) in order between pBefore and pAfter (nulls: the list's
// ends, *ppFirst and *ppLast): the lines of a run, or its parts.
template <typename Node_t>
void chain_link(Node_t** ppItems, size_t count, Node_t* pBefore, Node_t* pAfter, Node_t** ppFirst,
                Node_t** ppLast) {
  for (size_t i = 0; i < count; ++i) {
    ppItems[i]->pPrev = i > 0 ? ppItems[i - 1] : pBefore;
    ppItems[i]->pNext = i + 1 < count ? ppItems[i + 1] : pAfter;
  }
  (pBefore != nullptr ? pBefore->pNext : *ppFirst) = count > 0 ? ppItems[0] : pAfter;
  (pAfter != nullptr ? pAfter->pPrev : *ppLast) = count > 0 ? ppItems[count - 1] : pBefore;
}

// The read region of the text: from the first line to the one before the end.
Line_t* read_first(const Index_t& index) {
  return index.pHead != index.pEnd ? index.pHead : nullptr;
}
Line_t* read_last(const Index_t& index) {
  if (index.pEnd != nullptr) {
    return index.pEnd->pPrev;
  }
  return index.pTail;
}

// A part to read again whose part before is not.
bool part_startsRun(const Part_t& part) {
  return part.mark != 0 && (part.pPrev == nullptr || part.pPrev->mark == 0);
}

class Edit {
 public:
  explicit Edit(Document_t* pDocument) : pDocument_(pDocument), index_(pDocument->index) {}
  ~Edit() { release(); }
  Edit(const Edit&) = delete;
  Edit& operator=(const Edit&) = delete;

  int remove(Line_t* pLine) {
    if (removedCount_ == removedCapacity_) {
      const size_t capacity = removedCapacity_ > 0 ? removedCapacity_ * 2 : 16;
      auto** ppGrown = static_cast<Line_t**>(
          std::realloc(static_cast<void*>(ppRemoved_), capacity * sizeof(void*)));
      if (ppGrown == nullptr) {
        return VaskCommonError_NoMemory;
      }
      ppRemoved_ = ppGrown;
      removedCapacity_ = capacity;
    }
    ppRemoved_[removedCount_++] = pLine;
    pLine->mark = MarkRemoved;
    return VaskCommonError_Success;
  }

  // New lines after pAfter (null: before the first line); one place per edit.
  void insertAfter(Line_t* pAfter) { pAfter_ = pAfter, isInserting_ = true; }
  int add(const char* pA, size_t a, const char* pB, size_t b, const char* pC, size_t c,
          Line_t** ppLine) {
    Line_t* pLine = line_make(pA, a, pB, b, pC, c);
    if (pLine == nullptr) {
      return VaskCommonError_NoMemory;
    }
    ppInserted_[insertedCount_++] = pLine;
    *ppLine = pLine;
    return VaskCommonError_Success;
  }

  int prepare();
  int commit();

  // What reading the new lines gave a new line: its member and the name it is read under.
  const Member_t* memberOf(const Line_t* pLine) const;
  const Logical_t* logicalOf(const Line_t* pLine) const;

 private:
  int runsFind();
  void runsMark(Part_t* pPart);
  int runPrepare(Run_t* pRun);
  int runSequence(Run_t* pRun);
  int runRead(Run_t* pRun);
  int runParts(Run_t* pRun);
  int runKeys(Run_t* pRun);
  void runCommit(Run_t* pRun);
  void runLines(Run_t* pRun);
  void runLink(Run_t* pRun);
  int queueInserts();
  int queueStep(VaskCommonDQueueHandle_t hQueue, size_t index, void* pItem, bool isInsert);
  void queueUndo();
  void release();
  void runRelease(Run_t* pRun);

  Document_t* pDocument_;
  Index_t& index_;
  Line_t** ppRemoved_ = nullptr;
  size_t removedCount_ = 0;
  size_t removedCapacity_ = 0;
  Line_t* pAfter_ = nullptr;
  bool isInserting_ = false;
  Line_t* ppInserted_[kMostInserted] = {};
  size_t insertedCount_ = 0;
  Run_t* pRuns_ = nullptr;
  size_t runCount_ = 0;
  Step_t* pSteps_ = nullptr;
  size_t stepCount_ = 0;
  bool isCommitted_ = false;
};

void Edit::runsMark(Part_t* pPart) {
  if (pPart == nullptr) {
    return;
  }
  pPart->mark = 1;
  if (pPart->pPrev != nullptr) {
    pPart->pPrev->mark = 1;
  }
  if (pPart->pNext != nullptr) {
    pPart->pNext->mark = 1;
  }
}

// The parts to read again: each changed line's part and its neighbours, which
// keep the runs' bounds where sections begin in the old and the new text alike.
int Edit::runsFind() {
  if (index_.pFirstPart == nullptr) {
    pRuns_ = static_cast<Run_t*>(std::calloc(1, sizeof(Run_t)));
    runCount_ = pRuns_ != nullptr ? 1 : 0;
    return pRuns_ != nullptr ? VaskCommonError_Success : VaskCommonError_NoMemory;
  }
  for (size_t i = 0; i < removedCount_; ++i) {
    runsMark(ppRemoved_[i]->pPart);
  }
  if (isInserting_) {
    runsMark(pAfter_ != nullptr && pAfter_->pPart != nullptr ? pAfter_->pPart : index_.pFirstPart);
  }
  size_t count = 0;
  for (const Part_t* pPart = index_.pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    count += part_startsRun(*pPart) ? 1 : 0;
  }
  pRuns_ = static_cast<Run_t*>(std::calloc(count + 1, sizeof(Run_t)));
  if (pRuns_ == nullptr) {
    return VaskCommonError_NoMemory;
  }
  for (Part_t* pPart = index_.pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    if (pPart->mark == 0) {
      continue;
    }
    if (part_startsRun(*pPart)) {
      pRuns_[runCount_++].pFirstPart = pPart;
    }
    pRuns_[runCount_ - 1].pLastPart = pPart;
    ++pRuns_[runCount_ - 1].oldCount;
  }
  return VaskCommonError_Success;
}

// The new lines of the run, in order: its old lines but the removed ones, and
// the inserted lines in their place.
int Edit::runSequence(Run_t* pRun) {
  pRun->pFrom = pRun->pFirstPart != nullptr ? pRun->pFirstPart->pFirst : read_first(index_);
  pRun->pTo = pRun->pLastPart != nullptr ? pRun->pLastPart->pLast : read_last(index_);
  const bool isAtStart = pRun->pFrom == read_first(index_);
  const bool isHere = isInserting_ && pAfter_ == nullptr && isAtStart;
  size_t count = isHere ? insertedCount_ : 0;
  for (Line_t* pLine = pRun->pFrom; pLine != nullptr; pLine = pLine->pNext) {
    count += (pLine->mark != MarkRemoved ? 1 : 0) +
             (isInserting_ && pLine == pAfter_ ? insertedCount_ : 0);
    if (pLine == pRun->pTo) {
      break;
    }
  }
  const size_t room = count + 1;
  pRun->ppLines = static_cast<Line_t**>(std::calloc(room, sizeof(void*)));
  pRun->pPartOf = static_cast<size_t*>(std::calloc(room, sizeof(size_t)));
  pRun->ppMembers = static_cast<Member_t**>(std::calloc(room, sizeof(void*)));
  pRun->ppKeys = static_cast<KeyEntry_t**>(std::calloc(room, sizeof(void*)));
  if (pRun->ppLines == nullptr || pRun->pPartOf == nullptr || pRun->ppMembers == nullptr ||
      pRun->ppKeys == nullptr) {
    return VaskCommonError_NoMemory;
  }
  const auto emitInserted = [this, pRun] {
    for (size_t i = 0; i < insertedCount_; ++i) {
      pRun->ppLines[pRun->count++] = ppInserted_[i];
    }
  };
  if (isHere) {
    emitInserted();
  }
  for (Line_t* pLine = pRun->pFrom; pLine != nullptr; pLine = pLine->pNext) {
    if (pLine->mark != MarkRemoved) {
      pRun->ppLines[pRun->count++] = pLine;
    }
    if (isInserting_ && pLine == pAfter_) {
      emitInserted();
    }
    if (pLine == pRun->pTo) {
      break;
    }
  }
  return VaskCommonError_Success;
}

// Reads the run's new lines as one text. They are all lines that read, so the
// reader's 13 can only be a value it could not allocate.
int Edit::runRead(Run_t* pRun) {
  size_t size = 0;
  for (size_t i = 0; i < pRun->count; ++i) {
    size += pRun->ppLines[i]->size;
  }
  auto* pText = static_cast<char*>(std::malloc(size + 1));
  if (pText == nullptr) {
    return VaskCommonError_NoMemory;
  }
  char* pAt = pText;
  for (size_t i = 0; i < pRun->count; ++i) {
    std::memcpy(pAt, pRun->ppLines[i]->pBytes, pRun->ppLines[i]->size);
    pAt += pRun->ppLines[i]->size;
  }
  *pAt = '\0';
  int result = text_read(pDocument_, pText, size, &pRun->hRead);
  std::free(pText);
  return result == VaskCommonError_InvalidArgument ? VaskCommonError_NoMemory : result;
}

// Ties the new lines to the sections read, and names the new parts.
int Edit::runParts(Run_t* pRun) {
  const size_t sections = VaskCommonDQueue_length(pRun->hRead);
  pRun->pParts = static_cast<Part_t*>(std::calloc(sections + 1, sizeof(Part_t)));
  pRun->ppParts = static_cast<Part_t**>(std::calloc(sections + 1, sizeof(void*)));
  pRun->ppOld = static_cast<Section_t**>(std::calloc(pRun->oldCount + 1, sizeof(void*)));
  if (pRun->pParts == nullptr || pRun->ppParts == nullptr || pRun->ppOld == nullptr) {
    return VaskCommonError_NoMemory;
  }
  Logical_t* pBefore = pRun->pFirstPart != nullptr && pRun->pFirstPart->pPrev != nullptr
                           ? pRun->pFirstPart->pPrev->pLogical
                           : nullptr;
  Reading_t reading{pRun->ppLines, nullptr,       pRun->count,     pRun->hRead, 0,       sections,
                    pRun->pParts,  pRun->pPartOf, pRun->ppMembers, &index_,     pBefore, false};
  int result = reading_assign(&reading);
  for (size_t i = 0; result == VaskCommonError_Success && i < pRun->count; ++i) {
    result = member_isWhole(*pRun->ppLines[i], pRun->ppMembers[i]);
  }
  for (size_t i = 0; result == VaskCommonError_Success && i < sections; ++i) {
    pRun->ppParts[i] = static_cast<Part_t*>(std::calloc(1, sizeof(Part_t)));
    result = pRun->ppParts[i] != nullptr ? VaskCommonError_Success : VaskCommonError_NoMemory;
    pRun->partCount = i + 1;
  }
  return result;
}

// A key entry for every new member line: its own, or a new one.
int Edit::runKeys(Run_t* pRun) {
  size_t created = 0;
  for (size_t i = 0; i < pRun->count; ++i) {
    const Line_t* pLine = pRun->ppLines[i];
    if (pLine->mark != MarkNew || pLine->kind != LineKindMember) {
      continue;
    }
    const Logical_t* pLogical = pRun->pParts[pRun->pPartOf[i]].pLogical;
    if (!pLogical->isKeyed) {
      continue;  // its keys join the table when it is first looked up
    }
    const char* pKey = pRun->ppMembers[i]->pKey;
    const size_t length = key_trimmedLength(pKey, std::strlen(pKey));
    KeyEntry_t* pEntry = key_find(index_, pLogical, pKey, length);
    if (pEntry == nullptr) {
      pEntry = static_cast<KeyEntry_t*>(std::calloc(1, sizeof(KeyEntry_t)));
      if (pEntry == nullptr) {
        return VaskCommonError_NoMemory;
      }
      pEntry->hash = key_hash(pLogical, pKey, length);
      pEntry->length = length;
      pEntry->pLogical = const_cast<Logical_t*>(pLogical);
      ++created;
    }
    pRun->ppKeys[i] = pEntry;
  }
  return table_reserve(&index_.keys, created);
}

int Edit::runPrepare(Run_t* pRun) {
  pRun->start = pRun->pFirstPart != nullptr ? pRun->pFirstPart->index : 0;
  int result = runSequence(pRun);
  if (result == VaskCommonError_Success) {
    result = runRead(pRun);
  }
  if (result == VaskCommonError_Success) {
    result = runParts(pRun);
  }
  if (result == VaskCommonError_Success) {
    result = runKeys(pRun);
  }
  return result;
}

int Edit::prepare() {
  int result = runsFind();
  for (size_t i = 0; result == VaskCommonError_Success && i < runCount_; ++i) {
    result = runPrepare(&pRuns_[i]);
  }
  size_t steps = 0;
  for (size_t i = 0; i < runCount_; ++i) {
    steps += 2 * pRuns_[i].partCount + pRuns_[i].oldCount;
  }
  pSteps_ = static_cast<Step_t*>(std::calloc(steps + 1, sizeof(Step_t)));
  if (result == VaskCommonError_Success && pSteps_ == nullptr) {
    result = VaskCommonError_NoMemory;
  }
  return result;
}

const Member_t* Edit::memberOf(const Line_t* pLine) const {
  for (size_t r = 0; r < runCount_; ++r) {
    for (size_t i = 0; i < pRuns_[r].count; ++i) {
      if (pRuns_[r].ppLines[i] == pLine) {
        return pRuns_[r].ppMembers[i];
      }
    }
  }
  return nullptr;
}

const Logical_t* Edit::logicalOf(const Line_t* pLine) const {
  for (size_t r = 0; r < runCount_; ++r) {
    for (size_t i = 0; i < pRuns_[r].count; ++i) {
      if (pRuns_[r].ppLines[i] == pLine && pRuns_[r].partCount > 0) {
        return pRuns_[r].pParts[pRuns_[r].pPartOf[i]].pLogical;
      }
    }
  }
  return nullptr;
}

int Edit::queueStep(VaskCommonDQueueHandle_t hQueue, size_t index, void* pItem, bool isInsert) {
  Step_t& step = pSteps_[stepCount_];
  step = Step_t{hQueue, index, pItem, isInsert};
  const int result = isInsert ? VaskCommonDQueue_insert(hQueue, index, &step.pItem)
                              : VaskCommonDQueue_remove(hQueue, index, &step.pItem);
  stepCount_ += result == VaskCommonError_Success ? 1 : 0;
  return result;
}

// Undoes the queue operations done so far, the last first: the queues are as
// they were. Taking out never allocates, and putting back fills a slot left.
void Edit::queueUndo() {
  for (; stepCount_ > 0; --stepCount_) {
    Step_t& step = pSteps_[stepCount_ - 1];
    void* pItem = step.pItem;
    (void)(step.isInsert ? VaskCommonDQueue_remove(step.hQueue, step.index, &pItem)
                         : VaskCommonDQueue_insert(step.hQueue, step.index, &pItem));
  }
}

// The queue work: the new sections in before the old ones of each run (the
// last run first, so that earlier positions hold), then out of the queues
// they were read into, then the old ones out.
int Edit::queueInserts() {
  const VaskCommonDQueueHandle_t hQueue = pDocument_->hQueue;
  int result = VaskCommonError_Success;
  for (size_t r = runCount_; result == VaskCommonError_Success && r-- > 0;) {
    const Run_t& run = pRuns_[r];
    for (size_t j = 0; result == VaskCommonError_Success && j < run.partCount; ++j) {
      result = queueStep(hQueue, run.start + j, run.pParts[j].pSection, true);
    }
  }
  for (size_t r = 0; result == VaskCommonError_Success && r < runCount_; ++r) {
    for (size_t j = 0; result == VaskCommonError_Success && j < pRuns_[r].partCount; ++j) {
      result = queueStep(pRuns_[r].hRead, 0, nullptr, false);
    }
  }
  size_t before = 0;  // sections put in by the runs before this one
  for (size_t r = 0; r < runCount_; ++r) {
    before += pRuns_[r].partCount;
  }
  for (size_t r = runCount_; result == VaskCommonError_Success && r-- > 0;) {
    Run_t& run = pRuns_[r];
    before -= run.partCount;
    const size_t at = run.start + before + run.partCount;
    for (size_t j = 0; result == VaskCommonError_Success && j < run.oldCount; ++j) {
      result = queueStep(hQueue, at, nullptr, false);
      run.ppOld[j] = result == VaskCommonError_Success
                         ? static_cast<Section_t*>(pSteps_[stepCount_ - 1].pItem)
                         : nullptr;
    }
  }
  if (result != VaskCommonError_Success) {
    queueUndo();
  }
  return result;
}

// The run's lines take their new parts and members; new member lines join
// their section's and key's lists, removed ones leave them.
void Edit::runLines(Run_t* pRun) {
  for (size_t i = 0; i < pRun->count; ++i) {
    Line_t* pLine = pRun->ppLines[i];
    pLine->pPart = pRun->partCount > 0 ? pRun->ppParts[pRun->pPartOf[i]] : nullptr;
    if (pLine->kind != LineKindMember) {
      pLine->mark = MarkNone;
      continue;
    }
    pLine->pMember = pRun->ppMembers[i];
    if (pLine->mark == MarkNew && pLine->pPart != nullptr) {  // a member line makes a part
      pLine->pLogical = pLine->pPart->pLogical;
      member_link(&index_, pLine, pRun->ppKeys[i]);
      pRun->ppKeys[i] = nullptr;
    }
    pLine->mark = MarkNone;
  }
  for (Line_t* pLine = pRun->pFrom; pLine != nullptr;) {
    Line_t* pNext = pLine->pNext;
    const bool isLast = pLine == pRun->pTo;
    if (pLine->mark == MarkRemoved && pLine->kind == LineKindMember) {
      member_unlink(&index_, pLine);
    }
    pLine = isLast ? nullptr : pNext;
  }
}

// The new lines and parts in place of the old ones.
void Edit::runLink(Run_t* pRun) {
  Line_t* pPrev = pRun->pFrom != nullptr ? pRun->pFrom->pPrev : nullptr;
  Line_t* pNext = pRun->pTo != nullptr ? pRun->pTo->pNext : index_.pEnd;
  if (pRun->pFrom == nullptr) {
    pPrev = index_.pEnd != nullptr ? index_.pEnd->pPrev : index_.pTail;
  }
  for (Line_t* pLine = pRun->pFrom; pLine != nullptr;) {
    Line_t* pAfter = pLine == pRun->pTo ? nullptr : pLine->pNext;
    if (pLine->mark == MarkRemoved) {
      line_free(pLine);
    }
    pLine = pAfter;
  }
  chain_link(pRun->ppLines, pRun->count, pPrev, pNext, &index_.pHead, &index_.pTail);
  Part_t* pPartBefore = pRun->pFirstPart != nullptr ? pRun->pFirstPart->pPrev : nullptr;
  Part_t* pPartAfter = pRun->pLastPart != nullptr ? pRun->pLastPart->pNext : nullptr;
  for (Part_t* pPart = pRun->pFirstPart; pPart != nullptr && pPart != pPartAfter;) {
    Part_t* pFollowing = pPart->pNext;
    if (!pPart->isPooled) {
      std::free(pPart);
    }
    pPart = pFollowing;
  }
  chain_link(pRun->ppParts, pRun->partCount, pPartBefore, pPartAfter, &index_.pFirstPart,
             &index_.pLastPart);
  index_.partCount = index_.partCount + pRun->partCount - pRun->oldCount;
  pRun->partCount = 0;  // the records belong to the index now
}

void Edit::runCommit(Run_t* pRun) {
  for (size_t j = 0; j < pRun->partCount; ++j) {
    Part_t* pPart = pRun->ppParts[j];
    *pPart = pRun->pParts[j];
    pPart->isPooled = false;
    pPart->mark = 0;
  }
  runLines(pRun);
  runLink(pRun);
  for (size_t j = 0; j < pRun->oldCount; ++j) {
    section_release(&pRun->ppOld[j]);
  }
}

int Edit::commit() {
  const int result = queueInserts();
  if (result != VaskCommonError_Success) {
    return result;
  }
  for (size_t r = runCount_; r-- > 0;) {
    runCommit(&pRuns_[r]);
  }
  size_t position = 0;
  for (Part_t* pPart = index_.pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    pPart->index = position++;
  }
  removedCount_ = 0;  // freed with their runs
  insertedCount_ = 0;
  isCommitted_ = true;
  index_.isNumbered = false;
  document_edited(pDocument_);
  return VaskCommonError_Success;
}

void Edit::runRelease(Run_t* pRun) {
  queue_release(&pRun->hRead);
  for (size_t j = 0; j < pRun->partCount; ++j) {
    std::free(pRun->ppParts[j]);
  }
  for (size_t i = 0; i < pRun->count; ++i) {
    if (pRun->ppKeys[i] != nullptr && pRun->ppKeys[i]->pFirst == nullptr) {
      std::free(pRun->ppKeys[i]);  // made for a line that did not go in
    }
  }
  std::free(static_cast<void*>(pRun->ppLines));
  std::free(pRun->pPartOf);
  std::free(static_cast<void*>(pRun->ppMembers));
  std::free(static_cast<void*>(pRun->ppKeys));
  std::free(pRun->pParts);
  std::free(static_cast<void*>(pRun->ppParts));
  std::free(static_cast<void*>(pRun->ppOld));
}

void Edit::release() {
  for (size_t r = 0; r < runCount_; ++r) {
    runRelease(&pRuns_[r]);
  }
  for (Part_t* pPart = index_.pFirstPart; pPart != nullptr; pPart = pPart->pNext) {
    pPart->mark = 0;
  }
  for (size_t i = 0; i < removedCount_; ++i) {
    ppRemoved_[i]->mark = MarkNone;
  }
  for (size_t i = 0; i < insertedCount_; ++i) {
    line_free(ppInserted_[i]);
  }
  std::free(pRuns_);
  std::free(pSteps_);
  std::free(static_cast<void*>(ppRemoved_));
}

// --- set ----------------------------------------------------------------------

// On the key's line, the bytes after '=' up to the first space of the blanks
// before the comment (or the line's end, before the CR of a CR LF line) become
// the value.
int set_replace(Document_t* pDocument, Line_t* pLine, const char* pValue) {
  const LineView_t view = line_view(pLine->pBytes, pLine->size);
  const char* pBytes = pLine->pBytes;
  const size_t end = line_isCrlf(*pLine) ? view.content - 1 : view.content;
  size_t tail = view.hasComment ? view.marker : end;
  size_t blanks = tail;
  while (blanks > view.equals + 1 && byte_isBlank(pBytes[blanks - 1])) {
    --blanks;
  }
  const auto* pSpace = static_cast<const char*>(std::memchr(pBytes + blanks, ' ', tail - blanks));
  tail = pSpace != nullptr ? static_cast<size_t>(pSpace - pBytes) : tail;
  const size_t length = std::strlen(pValue);
  if (tail - view.equals - 1 == length &&
      std::memcmp(pBytes + view.equals + 1, pValue, length) == 0) {
    return VaskCommonError_Success;  // the value is there as it is
  }
  Line_t* pNew =
      line_make(pBytes, view.equals + 1, pValue, length, pBytes + tail, pLine->size - tail);
  if (pNew == nullptr) {
    return VaskCommonError_NoMemory;
  }
  Alone_t alone;
  int result = alone_read(pDocument, *pNew, &alone);
  if (result == VaskCommonError_Success && alone.pMember != nullptr) {
    result = member_isWhole(*pNew, alone.pMember);
  }
  if (result == VaskCommonError_Success &&
      !member_readsAs(alone.pMember, pLine->pMember->pKey, pValue, pLine->pMember->pComment)) {
    result = VaskCommonError_InvalidArgument;
  }
  if (result == VaskCommonError_Success) {
    Member_t* pOld = pLine->pMember;
    std::swap(pOld->pKey, alone.pMember->pKey);
    std::swap(pOld->pValue, alone.pMember->pValue);
    std::swap(pOld->pComment, alone.pMember->pComment);
    std::swap(pLine->pBytes, pNew->pBytes);
    std::swap(pLine->size, pNew->size);
    std::swap(pLine->isOwnedBytes, pNew->isOwnedBytes);
    document_edited(pDocument);
  }
  line_free(pNew);
  return result;
}

// A new key after the last member of its section, which stays in that member's
// section: no other line reads differently, and the member joins the queue at
// that section's end.
int set_append(Document_t* pDocument, Line_t* pAfter, const char* pKey, const char* pValue) {
  Index_t& index = pDocument->index;
  const char* pEnding = ending_after(pAfter);
  const size_t key = std::strlen(pKey);
  const size_t value = std::strlen(pValue);
  char* pHead = bytes_join(pKey, key, "=", 1, pValue, value);
  Line_t* pNew = pHead != nullptr
                     ? line_make(pHead, key + 1 + value, pEnding, std::strlen(pEnding), "", 0)
                     : nullptr;
  std::free(pHead);
  const bool isEndMissing = !line_hasLineFeed(*pAfter);  // it gets one, to have a line after it
  Line_t* pEnd = isEndMissing ? line_make(pAfter->pBytes, pAfter->size, "\n", 1, "", 0) : nullptr;
  if (pNew == nullptr || (isEndMissing && pEnd == nullptr)) {
    for (Line_t* pLine : {pNew, pEnd}) {
      if (pLine != nullptr) {
        line_free(pLine);
      }
    }
    return VaskCommonError_NoMemory;
  }
  Alone_t alone;
  int result = alone_read(pDocument, *pNew, &alone);
  if (result == VaskCommonError_Success && !member_readsAs(alone.pMember, pKey, pValue, nullptr)) {
    result = VaskCommonError_InvalidArgument;
  }
  const size_t length = key_trimmedLength(pKey, std::strlen(pKey));
  KeyEntry_t* pEntry = key_find(index, pAfter->pLogical, pKey, length);
  KeyEntry_t* pMade = nullptr;
  if (result == VaskCommonError_Success && pEntry == nullptr && pAfter->pLogical->isKeyed) {
    pMade = static_cast<KeyEntry_t*>(std::calloc(1, sizeof(KeyEntry_t)));
    result = pMade != nullptr ? table_reserve(&index.keys, 1) : VaskCommonError_NoMemory;
  }
  Part_t* pPart = pAfter->pPart;
  if (result == VaskCommonError_Success) {
    void* pItem = alone.pMember;
    result = VaskCommonDQueue_pushBack(pPart->pSection->hMember, &pItem);
  }
  if (result == VaskCommonError_Success) {
    void* pItem = nullptr;
    result = VaskCommonDQueue_remove(alone.pSection->hMember, 0, &pItem);
    if (result != VaskCommonError_Success) {  // the member stays where it was read
      (void)VaskCommonDQueue_remove(pPart->pSection->hMember,
                                    VaskCommonDQueue_length(pPart->pSection->hMember) - 1, &pItem);
    }
  }
  if (result != VaskCommonError_Success) {
    std::free(pMade);
    line_free(pNew);
    if (pEnd != nullptr) {
      line_free(pEnd);
    }
    return result;
  }
  if (pMade != nullptr) {
    pMade->hash = key_hash(pAfter->pLogical, pKey, length);
    pMade->length = length;
    pMade->pLogical = pAfter->pLogical;
    pEntry = pMade;
  }
  if (pEnd != nullptr) {
    std::swap(pAfter->pBytes, pEnd->pBytes);
    std::swap(pAfter->size, pEnd->size);
    std::swap(pAfter->isOwnedBytes, pEnd->isOwnedBytes);
    line_free(pEnd);
  }
  pNew->mark = MarkNone;
  pNew->pPart = pPart;
  pNew->pMember = alone.pMember;
  pNew->pLogical = pAfter->pLogical;
  pNew->pPrev = pAfter;
  pNew->pNext = pAfter->pNext;
  (pAfter->pNext != nullptr ? pAfter->pNext->pPrev : index.pTail) = pNew;
  pAfter->pNext = pNew;
  member_link(&index, pNew, pEntry);
  pPart->pLastMember = pNew;
  pPart->isShown = true;
  pPart->pLast = pPart->pLast == pAfter ? pNew : pPart->pLast;
  index.isNumbered = false;
  document_edited(pDocument);
  return VaskCommonError_Success;
}

// The place of a key of a section that has no member line yet.
struct Place_t {
  Line_t* pAfter;  // null: before the first line
  bool isNewSection;
};

Line_t* header_last(const Part_t& part) {
  Line_t* pHeader = nullptr;
  for (Line_t* pLine = part.pFirst; pLine != nullptr; pLine = pLine->pNext) {
    pHeader = pLine->kind == LineKindHeader ? pLine : pHeader;
    if (pLine == part.pLast) {
      break;
    }
  }
  return pHeader;
}

Line_t* header_first(const Index_t& index) {
  for (Line_t* pLine = read_first(index); pLine != nullptr && pLine != index.pEnd;
       pLine = pLine->pNext) {
    if (pLine->kind == LineKindHeader) {
      return pLine;
    }
  }
  return nullptr;
}

Place_t place_find(const Index_t& index, const char* pSection) {
  const Part_t* pLast = index.pLastPart;
  if (pLast != nullptr && pLast->pLastMember == nullptr && pLast->pSection->pHeader != nullptr &&
      std::strcmp(pLast->pSection->pHeader, pSection) == 0) {
    return {header_last(*pLast), false};  // its header ends the text: the key goes under it
  }
  if (*pSection == '\0') {
    Line_t* pHeader = header_first(index);
    if (pHeader != nullptr) {
      return {pHeader->pPrev, false};
    }
  }
  return {read_last(index), *pSection != '\0'};
}

// A key with a line of its own where no member line of its section is: under
// a header that ends the text, before the first header, or in a new section.
int set_insert(Document_t* pDocument, const char* pSection, const char* pKey, const char* pValue) {
  const Place_t place = place_find(pDocument->index, pSection);
  Line_t* pAfter = place.pAfter;
  // A new line ends as the line before it; at the start, as the first line.
  const char* pEnding = ending_after(pAfter != nullptr ? pAfter : read_first(pDocument->index));
  const size_t ending = std::strlen(pEnding);
  Edit edit(pDocument);
  edit.insertAfter(pAfter);
  int result = VaskCommonError_Success;
  Line_t* pLine = nullptr;
  if (pAfter != nullptr && !line_hasLineFeed(*pAfter)) {  // it gets one, to have lines after it
    result = edit.add(pAfter->pBytes, pAfter->size, "\n", 1, "", 0, &pLine);
    result = result == VaskCommonError_Success ? edit.remove(pAfter) : result;
  }
  if (result == VaskCommonError_Success && place.isNewSection) {
    const size_t name = std::strlen(pSection);
    char* pHeader = bytes_join("[", 1, pSection, name, "]", 1);
    result = pHeader != nullptr ? edit.add(pHeader, name + 2, pEnding, ending, "", 0, &pLine)
                                : VaskCommonError_NoMemory;
    std::free(pHeader);
  }
  Line_t* pMember = nullptr;
  if (result == VaskCommonError_Success) {
    const size_t key = std::strlen(pKey);
    char* pHead = bytes_join(pKey, key, "=", 1, "", 0);
    result = pHead != nullptr
                 ? edit.add(pHead, key + 1, pValue, std::strlen(pValue), pEnding, ending, &pMember)
                 : VaskCommonError_NoMemory;
    std::free(pHead);
  }
  if (result == VaskCommonError_Success) {
    result = edit.prepare();
  }
  if (result == VaskCommonError_Success) {
    const Logical_t* pLogical = edit.logicalOf(pMember);
    const bool isRead = member_readsAs(edit.memberOf(pMember), pKey, pValue, nullptr) &&
                        pLogical != nullptr && std::strcmp(pLogical->pName, pSection) == 0;
    result = isRead ? edit.commit() : VaskCommonError_InvalidArgument;
  }
  return result;
}

// --- remove a section ---------------------------------------------------------

bool header_is(const Line_t& line, const char* pName) {
  const char* pHeader = nullptr;
  size_t length = 0;
  header_name(line, &pHeader, &length);
  return length == std::strlen(pName) && std::memcmp(pHeader, pName, length) == 0;
}

// Marks every header of the name with its members and the lines between them,
// and the headers of the name that such a header replaced.
class SectionRemoval {
 public:
  SectionRemoval(Edit* pEdit, const char* pName) : edit_(*pEdit), pName_(pName) {}

  int take(Line_t* pLine) {
    if (pLine->kind == LineKindHeader) {
      close();
      if (pPending_ != nullptr && header_is(*pPending_, pName_)) {
        pReplaced_ = pReplaced_ != nullptr ? pReplaced_ : pPending_;
      }
      pPending_ = pLine;
      return VaskCommonError_Success;
    }
    if (pLine->kind != LineKindMember) {
      return VaskCommonError_Success;
    }
    int result = VaskCommonError_Success;
    if (std::strcmp(pLine->pLogical->pName, pName_) == 0) {
      if (pFrom_ == nullptr) {
        pFrom_ = pPending_ != nullptr ? pPending_ : pLine;
        result = removeReplaced(pFrom_);
      }
      pTo_ = pLine;
    }
    pPending_ = nullptr;
    pReplaced_ = nullptr;
    return result;
  }

  int finish() {
    int result = close();
    if (result == VaskCommonError_Success && pPending_ != nullptr &&
        header_is(*pPending_, pName_)) {
      result = removeReplaced(pPending_);
      pFrom_ = pPending_;
      pTo_ = pPending_;
      result = result == VaskCommonError_Success ? close() : result;
    }
    return result;
  }

  size_t removed() const { return removed_; }

 private:
  int close() {
    int result = VaskCommonError_Success;
    for (Line_t* pLine = pFrom_; result == VaskCommonError_Success && pLine != nullptr;
         pLine = pLine == pTo_ ? nullptr : pLine->pNext) {
      result = edit_.remove(pLine);
      ++removed_;
    }
    pFrom_ = nullptr;
    pTo_ = nullptr;
    return result;
  }

  // The headers of the name before pUntil with no member between them.
  int removeReplaced(const Line_t* pUntil) {
    int result = VaskCommonError_Success;
    for (Line_t* pLine = pReplaced_;
         result == VaskCommonError_Success && pLine != nullptr && pLine != pUntil;
         pLine = pLine->pNext) {
      if (pLine->kind == LineKindHeader && header_is(*pLine, pName_)) {
        result = edit_.remove(pLine);
        ++removed_;
      }
    }
    pReplaced_ = nullptr;
    return result;
  }

  Edit& edit_;
  const char* pName_;
  Line_t* pPending_ = nullptr;   // the header since the last member
  Line_t* pReplaced_ = nullptr;  // the first header of the name it replaced
  Line_t* pFrom_ = nullptr;      // the lines to remove, from a header to a member
  Line_t* pTo_ = nullptr;
  size_t removed_ = 0;
};

}  // namespace

bool edit_isRefusal(int code) {
  return code == VaskCommonError_InvalidArgument || code == VaskCommonError_NoEntry ||
         code == VaskCommonError_NearMiss;
}

int member_find(Document_t* pDocument, const char* pSection, const char* pKey, Found_t* pFound) {
  *pFound = Found_t{};
  Index_t& index = pDocument->index;
  Logical_t* pLogical = logical_find(index, pSection, std::strlen(pSection));
  const int keyed = pLogical != nullptr ? logical_key(&index, pLogical) : VaskCommonError_Success;
  if (keyed != VaskCommonError_Success) {
    return keyed;
  }
  const size_t length = std::strlen(pKey);
  const KeyEntry_t* pEntry = key_find(index, pLogical, pKey, key_trimmedLength(pKey, length));
  for (const Line_t* pLine = pEntry != nullptr ? pEntry->pLast : nullptr; pLine != nullptr;
       pLine = pLine->pKeyPrev) {
    if (std::strcmp(pLine->pMember->pKey, pKey) == 0) {
      pFound->pExact = pLine;
      break;
    }
    if (pFound->pNear == nullptr && key_match(pLine->pMember->pKey, pKey) == KeyMatch_t::Near) {
      pFound->pNear = pLine;
    }
  }
  if (pFound->pExact != nullptr) {
    return VaskCommonError_Success;
  }
  return pFound->pNear != nullptr ? VaskCommonError_NearMiss : VaskCommonError_NoEntry;
}

int edit_set(Document_t* pDocument, const char* pSection, const char* pKey, const char* pValue) {
  if (!value_readsBack(pValue) || !key_readsBack(pKey) || !name_readsBack(pSection)) {
    return VaskCommonError_InvalidArgument;
  }
  Found_t found{};
  const int result = member_find(pDocument, pSection, pKey, &found);
  if (result == VaskCommonError_Success) {
    return set_replace(pDocument, const_cast<Line_t*>(found.pExact), pValue);
  }
  if (result == VaskCommonError_NearMiss) {
    return result;
  }
  const Part_t* pLast = pDocument->index.pLastPart;
  const bool isUnderLastHeader = pLast != nullptr && pLast->pLastMember == nullptr &&
                                 pLast->pSection->pHeader != nullptr &&
                                 std::strcmp(pLast->pSection->pHeader, pSection) == 0;
  const Logical_t* pLogical = logical_find(pDocument->index, pSection, std::strlen(pSection));
  if (!isUnderLastHeader && pLogical != nullptr && pLogical->pLastMember != nullptr) {
    return set_append(pDocument, pLogical->pLastMember, pKey, pValue);
  }
  return set_insert(pDocument, pSection, pKey, pValue);
}

int edit_remove(Document_t* pDocument, const char* pSection, const char* pKey, size_t* pRemoved) {
  if (!key_readsBack(pKey) || !name_readsBack(pSection)) {
    return VaskCommonError_InvalidArgument;
  }
  Found_t found{};
  int result = member_find(pDocument, pSection, pKey, &found);
  if (result != VaskCommonError_Success) {
    return result;
  }
  Edit edit(pDocument);
  size_t count = 0;
  for (const Line_t* pLine = found.pExact->pKey->pFirst;
       result == VaskCommonError_Success && pLine != nullptr; pLine = pLine->pKeyNext) {
    if (std::strcmp(pLine->pMember->pKey, pKey) == 0) {
      result = edit.remove(const_cast<Line_t*>(pLine));
      ++count;
    }
  }
  if (result == VaskCommonError_Success) {
    result = edit.prepare();
  }
  if (result == VaskCommonError_Success) {
    result = edit.commit();
  }
  if (result == VaskCommonError_Success && pRemoved != nullptr) {
    *pRemoved = count;
  }
  return result;
}

int edit_removeSection(Document_t* pDocument, const char* pSection) {
  if (!name_readsBack(pSection)) {
    return VaskCommonError_InvalidArgument;
  }
  Edit edit(pDocument);
  SectionRemoval removal(&edit, pSection);
  int result = VaskCommonError_Success;
  const Index_t& index = pDocument->index;
  for (Line_t* pLine = read_first(index);
       result == VaskCommonError_Success && pLine != nullptr && pLine != index.pEnd;
       pLine = pLine->pNext) {
    result = removal.take(pLine);
  }
  if (result == VaskCommonError_Success) {
    result = removal.finish();
  }
  if (result == VaskCommonError_Success && removal.removed() == 0) {
    return VaskCommonError_NoEntry;
  }
  if (result == VaskCommonError_Success) {
    result = edit.prepare();
  }
  if (result == VaskCommonError_Success) {
    result = edit.commit();
  }
  return result;
}

}  // namespace vask::document
