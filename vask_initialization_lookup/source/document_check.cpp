#include "document_check.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <cstring>

namespace vask::document {

namespace {

// Findings, grown as they are found.
class FindingList {
 public:
  explicit FindingList(const Document_t& document) : document_(document) {}
  ~FindingList() { std::free(pItems_); }
  FindingList(const FindingList&) = delete;
  FindingList& operator=(const FindingList&) = delete;

  // A finding of `code` on the line, about [begin, end) of it.
  void add(const Line_t& line, int code, size_t begin, size_t end, size_t other = 0) {
    if (result_ != VaskCommonError_Success || !grow()) {
      return;
    }
    Diagnostic_t& item = pItems_[count_++];
    diagnostic_fill(&item, code, line.pBytes, line.size, document_.bom + offset_, line.number);
    item.begin = begin;
    item.end = end;
    item.otherLine = other;
  }
  void at(size_t offset) { offset_ = offset; }
  int result() const { return result_; }
  Findings_t take() {
    Findings_t findings{pItems_, count_, 0};
    pItems_ = nullptr;
    count_ = 0;
    return findings;
  }

 private:
  bool grow() {
    if (count_ < capacity_) {
      return true;
    }
    const size_t capacity = capacity_ > 0 ? capacity_ * 2 : 16;
    auto* pGrown =
        static_cast<Diagnostic_t*>(std::realloc(pItems_, capacity * sizeof(Diagnostic_t)));
    if (pGrown == nullptr) {
      result_ = VaskCommonError_NoMemory;
      return false;
    }
    pItems_ = pGrown;
    capacity_ = capacity;
    return true;
  }

  const Document_t& document_;
  Diagnostic_t* pItems_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
  size_t offset_ = 0;  // of the line being looked at, from the first line
  int result_ = VaskCommonError_Success;
};

// [*pBegin, *pEnd) without the blanks around it.
void range_trim(const char* pBytes, size_t* pBegin, size_t* pEnd) {
  while (*pBegin < *pEnd && byte_isBlank(pBytes[*pBegin])) {
    ++*pBegin;
  }
  while (*pEnd > *pBegin && byte_isBlank(pBytes[*pEnd - 1])) {
    --*pEnd;
  }
}

void member_check(const Line_t& line, const LineView_t& view, FindingList* pList) {
  const char* pBytes = line.pBytes;
  const bool isKeyEmpty = view.equals == view.body;
  if (!isKeyEmpty && byte_isBlank(pBytes[view.equals - 1])) {
    pList->add(line, VaskInitializationCheck_BlankInKey, view.body, view.equals);
  }
  // What stands between the value (or, for an empty key, the '=') and the comment.
  size_t begin = isKeyEmpty ? view.equals + 1 : view.valueEnd;
  size_t end = view.marker;
  range_trim(pBytes, &begin, &end);
  const bool isDropped = begin < end;
  const bool isMarkerNext = view.hasComment && view.valueEnd == view.marker && !isKeyEmpty;
  if (!isKeyEmpty && (isDropped || isMarkerNext)) {
    pList->add(line, VaskInitializationCheck_ValueCut, isDropped ? begin : view.marker,
               isDropped ? end : view.marker);
  }
  if (!isKeyEmpty && pBytes[view.valueEnd - 1] == '\r') {  // a value's last byte; '=' when empty
    pList->add(line, VaskInitializationCheck_CarriageReturn, view.valueEnd - 1, view.valueEnd);
  }
  if (view.visible < view.content) {
    pList->add(line, VaskInitializationCheck_ZeroByte, view.visible, view.content);
  }
  if (isKeyEmpty) {
    pList->add(line, VaskInitializationCheck_EmptyKey, begin, end);
  }
}

// The header that replaces this one before any member of its section, or null.
const Line_t* header_replacing(const Line_t& header) {
  for (const Line_t* pLine = header.pNext; pLine != nullptr && pLine->pPart == header.pPart;
       pLine = pLine->pNext) {
    if (pLine->kind == LineKindMember) {
      return nullptr;
    }
    if (pLine->kind == LineKindHeader) {
      return pLine;
    }
  }
  return nullptr;
}

void header_check(const Line_t& line, const LineView_t& view, FindingList* pList) {
  const char* pBytes = line.pBytes;
  const auto* pClose =
      static_cast<const char*>(std::memchr(pBytes + view.body, ']', view.visible - view.body));
  if (pClose != nullptr) {
    const auto close = static_cast<size_t>(pClose - pBytes);
    size_t begin = close + 1;
    size_t end = view.visible;
    range_trim(pBytes, &begin, &end);
    if (begin < end) {
      pList->add(line, VaskInitializationCheck_TextAfterHeader, begin, end);
    }
  }
  if (view.visible < view.content) {
    pList->add(line, VaskInitializationCheck_ZeroByte, view.visible, view.content);
  }
  if (pClose == nullptr) {
    pList->add(line, VaskInitializationCheck_UnclosedHeader, view.body + 1, view.visible);
  }
  if (const Line_t* pReplacing = header_replacing(line)) {
    pList->add(line, VaskInitializationCheck_HeaderReplaced, view.body, view.visible,
               pReplacing->number);
  }
}

void line_check(const Line_t& line, FindingList* pList) {
  const LineView_t view = line_view(line.pBytes, line.size);
  switch (view.kind) {
    case LineKindMember:
      member_check(line, view, pList);
      break;
    case LineKindHeader:
      header_check(line, view, pList);
      break;
    case LineKindComment:
      if (view.visible < view.content) {
        pList->add(line, VaskInitializationCheck_ZeroByte, view.visible, view.content);
      }
      break;
    case LineKindEnd:
      pList->add(line, VaskInitializationCheck_ZeroByte, view.body, view.content);
      break;
    default:
      break;
  }
}

int findings_compute(Document_t* pDocument) {
  index_number(&pDocument->index);
  FindingList list(*pDocument);
  size_t offset = 0;
  for (const Line_t* pLine = pDocument->index.pHead; pLine != nullptr; pLine = pLine->pNext) {
    list.at(offset);
    line_check(*pLine, &list);
    if (pLine->kind == LineKindEnd) {
      break;
    }
    offset += pLine->size;
  }
  if (list.result() != VaskCommonError_Success) {
    return list.result();
  }
  findings_release(&pDocument->findings);
  pDocument->findings = list.take();
  pDocument->findings.generation = pDocument->generation;
  return VaskCommonError_Success;
}

}  // namespace

int findings_get(Document_t* pDocument, size_t index, Diagnostic_t* pDiagnostic) {
  if (pDocument->findings.generation != pDocument->generation) {
    const int result = findings_compute(pDocument);
    if (result != VaskCommonError_Success) {
      return result;
    }
  }
  if (index >= pDocument->findings.count) {
    return VaskCommonError_NoEntry;
  }
  *pDiagnostic = pDocument->findings.pItems[index];
  return VaskCommonError_Success;
}

void findings_release(Findings_t* pFindings) {
  std::free(pFindings->pItems);
  *pFindings = Findings_t{};
}

int findings_ofText(const char* pText, size_t size, size_t index, Diagnostic_t* pDiagnostic) {
  Diagnostic_t malformed{};  // read on its own first: a reading that fails would trace
  const bool isMalformed = text_findMalformed(pText, size, &malformed);
  VaskInitializationDocumentHandle_t handle = 0;
  int result = VaskInitializationDocument_parse(pText, isMalformed ? malformed.offset : size,
                                                &handle, nullptr);
  if (result == VaskCommonError_Success) {
    result = VaskInitializationDocument_check(handle, index, pDiagnostic);
  }
  if (result == VaskCommonError_NoEntry && isMalformed) {
    size_t count = 0;  // the malformed line comes after all the others
    for (Diagnostic_t each{}; VaskInitializationDocument_check(handle, count, &each) == 0;) {
      ++count;
    }
    result = index == count ? VaskCommonError_Success : VaskCommonError_NoEntry;
    if (result == VaskCommonError_Success) {
      *pDiagnostic = malformed;
    }
  }
  (void)VaskInitializationDocument_close(&handle);
  return result;
}

}  // namespace vask::document
