// Documents: a text and the reader's sections of it. The index (lines, parts,
// logical sections, keys) is built on first use; an edit changes lines and
// reads again only the sections around them, so that the queue stays the
// reader's own result on the current text without a whole parse.
#include <initialization_document.h>
#include <initialization_reader.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "document_check.h"
#include "document_core.h"
#include "document_edit.h"
#include "document_index.h"
#include "initialization_trace.h"

namespace vask::document {

namespace {

constexpr char kByteOrderMark[] = "\xef\xbb\xbf";
constexpr size_t kByteOrderMarkSize = 3;

Document_t* document_from(VaskInitializationDocumentHandle_t handle) {
  return reinterpret_cast<Document_t*>(handle);
}

void diagnostic_clear(Diagnostic_t* pDiagnostic) {
  if (pDiagnostic != nullptr) {
    *pDiagnostic = Diagnostic_t{};
  }
}

// The reader's 13 means a malformed line when there is one, and a failed
// allocation of a member value when there is none.
int failure_explain(const char* pText, size_t size, int result, Diagnostic_t* pDiagnostic) {
  if (result != VaskCommonError_InvalidArgument) {
    return result;
  }
  return text_findMalformed(pText, size, pDiagnostic) ? VaskCommonError_MalformedLine
                                                      : VaskCommonError_NoMemory;
}

// Makes a document of the text at pText (size bytes and a zero byte after
// them), which it takes over, also on a failure.
int document_make(char* pText, size_t size, Document_t** ppDocument, Diagnostic_t* pDiagnostic) {
  auto* pDocument = static_cast<Document_t*>(std::calloc(1, sizeof(Document_t)));
  if (pDocument == nullptr) {
    std::free(pText);
    return VaskCommonError_NoMemory;
  }
  pDocument->pText = pText;
  pDocument->size = size;
  pDocument->generation = 1;
  pDocument->bom =
      size >= kByteOrderMarkSize && std::memcmp(pText, kByteOrderMark, kByteOrderMarkSize) == 0
          ? kByteOrderMarkSize
          : 0;
  int result = VaskInitializationReader_open(&pDocument->hReader);
  if (result == VaskCommonError_Success) {
    result =
        text_read(pDocument, pText + pDocument->bom, size - pDocument->bom, &pDocument->hQueue);
  }
  if (result == VaskCommonError_Success) {
    result = VaskCommonDQueue_setUserData(pDocument->hQueue, &kQueueOwner, pDocument);
  }
  if (result != VaskCommonError_Success) {
    result = failure_explain(pText, size, result, pDiagnostic);
    document_release(pDocument);
    return result;
  }
  *ppDocument = pDocument;
  return VaskCommonError_Success;
}

int document_text(Document_t* pDocument, const char** ppText, size_t* pSize) {
  if (pDocument->generation == 1 || !pDocument->index.isBuilt) {
    *ppText = pDocument->pText;
    *pSize = pDocument->size;
    return VaskCommonError_Success;
  }
  if (pDocument->materialGeneration != pDocument->generation) {
    size_t size = pDocument->bom;
    for (const Line_t* pLine = pDocument->index.pHead; pLine != nullptr; pLine = pLine->pNext) {
      size += pLine->size;
    }
    auto* pMaterial = static_cast<char*>(std::malloc(size + 1));
    if (pMaterial == nullptr) {
      return VaskCommonError_NoMemory;
    }
    std::memcpy(pMaterial, pDocument->pText, pDocument->bom);
    char* pAt = pMaterial + pDocument->bom;
    // Lines that stand next to each other in memory (the text as read) go in one copy.
    for (const Line_t* pLine = pDocument->index.pHead; pLine != nullptr;) {
      const char* pFrom = pLine->pBytes;
      const char* pTo = pFrom;
      for (; pLine != nullptr && pLine->pBytes == pTo; pLine = pLine->pNext) {
        pTo += pLine->size;
      }
      std::memcpy(pAt, pFrom, static_cast<size_t>(pTo - pFrom));
      pAt += pTo - pFrom;
    }
    *pAt = '\0';
    std::free(pDocument->pMaterial);
    pDocument->pMaterial = pMaterial;
    pDocument->materialSize = size;
    pDocument->materialGeneration = pDocument->generation;
  }
  *ppText = pDocument->pMaterial;
  *pSize = pDocument->materialSize;
  return VaskCommonError_Success;
}

// Whether two texts (or nulls) are equal.
bool text_equals(const char* pLeft, const char* pRight) {
  return pLeft == pRight ||
         (pLeft != nullptr && pRight != nullptr && std::strcmp(pLeft, pRight) == 0);
}

int item_get(VaskCommonDQueueHandle_t hQueue, size_t index, void** ppItem) {
  return VaskCommonDQueue_at(hQueue, index, ppItem);
}

// Whether the sections of two queues hold the same texts; a failed access's
// code in *pResult.
bool sections_equal(const Section_t* pLeft, const Section_t* pRight, int* pResult) {
  const size_t comments = VaskCommonDQueue_length(pLeft->hComment);
  const size_t members = VaskCommonDQueue_length(pLeft->hMember);
  bool isEqual = text_equals(pLeft->pHeader, pRight->pHeader) &&
                 comments == VaskCommonDQueue_length(pRight->hComment) &&
                 members == VaskCommonDQueue_length(pRight->hMember);
  for (size_t i = 0; isEqual && i < comments; ++i) {
    void* pA = nullptr;
    void* pB = nullptr;
    *pResult = item_get(pLeft->hComment, i, &pA) | item_get(pRight->hComment, i, &pB);
    isEqual = *pResult == 0 && text_equals(static_cast<char*>(pA), static_cast<char*>(pB));
  }
  for (size_t i = 0; isEqual && i < members; ++i) {
    void* pA = nullptr;
    void* pB = nullptr;
    *pResult = item_get(pLeft->hMember, i, &pA) | item_get(pRight->hMember, i, &pB);
    const auto* pMa = static_cast<Member_t*>(pA);
    const auto* pMb = static_cast<Member_t*>(pB);
    isEqual = *pResult == 0 && text_equals(pMa->pKey, pMb->pKey) &&
              text_equals(pMa->pValue, pMb->pValue) && text_equals(pMa->pComment, pMb->pComment);
    if (*pResult == 0 && pMa->pComment != nullptr && pMb->pComment == nullptr) {
      *pResult = VaskCommonError_NoMemory;  // the fresh reading could not copy the comment
    }
  }
  return isEqual;
}

// Reads the text afresh and compares what it gives with the document's queue:
// a text that reads otherwise is never written.
int text_check(Document_t* pDocument, const char* pText, size_t size) {
  VaskCommonDQueueHandle_t hRead = 0;
  int result = text_read(pDocument, pText + pDocument->bom, size - pDocument->bom, &hRead);
  const size_t count = VaskCommonDQueue_length(pDocument->hQueue);
  bool isEqual = result == VaskCommonError_Success && count == VaskCommonDQueue_length(hRead);
  for (size_t i = 0; isEqual && i < count; ++i) {
    void* pA = nullptr;
    void* pB = nullptr;
    result = item_get(pDocument->hQueue, i, &pA) | item_get(hRead, i, &pB);
    isEqual = result == VaskCommonError_Success &&
              sections_equal(static_cast<Section_t*>(pA), static_cast<Section_t*>(pB), &result);
  }
  queue_release(&hRead);
  if (result == VaskCommonError_InvalidArgument) {
    return VaskCommonError_NoMemory;  // the text reads: only a value's allocation failed
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  return isEqual ? VaskCommonError_Success : VaskCommonError_Failure;
}

// Whether pFilename names the file the document was opened from.
bool file_isOwn(const Document_t& document, const char* pFilename) {
  return document.hFile != 0 &&
         (pFilename == nullptr || std::strcmp(pFilename, document.pFilename) == 0);
}

int document_save(Document_t* pDocument, const char* pFilename) {
  const char* pText = nullptr;
  size_t size = 0;
  int result = document_text(pDocument, &pText, &size);
  if (result == VaskCommonError_Success) {
    result = text_check(pDocument, pText, size);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  if (!file_isOwn(*pDocument, pFilename)) {
    VaskCommonBuffer_t buffer{const_cast<char*>(pText), 0, size, nullptr, false};
    return VaskCommonBuffer_save2(&buffer, pFilename, 0);
  }
  VaskCommonBuffer_t lost{};
  result = VaskCommonFile_save(pDocument->hFile, pText, size, &lost);
  if (lost.pBegin != nullptr) {
    (void)VaskCommonBuffer_delete(&pDocument->pLost);
    if (VaskCommonBuffer_create(&pDocument->pLost) == VaskCommonError_Success) {
      *pDocument->pLost = lost;
    } else {
      std::free(lost.pBegin);
    }
  }
  return result;
}

// The document to work on, its index built.
int document_ready(VaskInitializationDocumentHandle_t handle, Document_t** ppDocument) {
  Document_t* pDocument = document_from(handle);
  if (pDocument == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  *ppDocument = pDocument;
  return index_ensure(pDocument);
}

// The document to walk, its sections indexed: the lines wait for the first
// call that needs them.
int document_sectioned(VaskInitializationDocumentHandle_t handle, Document_t** ppDocument) {
  Document_t* pDocument = document_from(handle);
  if (pDocument == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  *ppDocument = pDocument;
  return index_section(&pDocument->index, pDocument->hQueue);
}

// A walk's cursor holds a line or a place in the name order, and the
// generation it began at; 0 for a walk not begun. A walk of one section's
// members begun before the lines were indexed holds how many it has given,
// tagged in the low bit that a line's address never has.
bool cursor_isStale(const Document_t& document, const VaskInitializationLookupCursor_t& cursor) {
  return cursor.member != 0 && cursor.member != document.generation;
}

constexpr size_t kGivenTag = 1;

bool cursor_isCounted(const VaskInitializationLookupCursor_t& cursor) {
  return (cursor.section & kGivenTag) != 0;
}

const Logical_t* logical_named(const Document_t& document, const char* pSection) {
  return document.pGiven != nullptr && document.pGiven->pName == pSection
             ? document.pGiven
             : logical_find(document.index, pSection, std::strlen(pSection));
}

const Line_t* member_after(const Document_t& document, const char* pSection,
                           const VaskInitializationLookupCursor_t& cursor) {
  const auto* pLast = reinterpret_cast<const Line_t*>(cursor.section);
  if (pSection != nullptr) {
    if (pLast != nullptr && !cursor_isCounted(cursor)) {
      return pLast->pLogicalNext;
    }
    const Logical_t* pLogical = logical_named(document, pSection);
    const Line_t* pLine = pLogical != nullptr ? pLogical->pFirstMember : nullptr;
    for (size_t given = cursor.section >> 1; pLine != nullptr && given > 0; --given) {
      pLine = pLine->pLogicalNext;  // a counted walk goes on from the lines
    }
    return pLine;
  }
  const Line_t* pLine = pLast != nullptr ? pLast->pNext : document.index.pHead;
  while (pLine != nullptr && pLine->kind != LineKindMember) {
    pLine = pLine->pNext;
  }
  return pLine != nullptr && pLine->kind == LineKindMember && pLine->pPart != nullptr ? pLine
                                                                                      : nullptr;
}

// The next member of one section, before the lines are indexed: from the
// index's array of every member, grouped by section name.
int member_nextCounted(Document_t* pDocument, const char* pSection,
                       VaskInitializationLookupCursor_t* pCursor,
                       VaskInitializationMember_t** ppMember) {
  int result = index_light(&pDocument->index, pDocument->generation);
  const Logical_t* pLogical =
      result == VaskCommonError_Success ? logical_named(*pDocument, pSection) : nullptr;
  const size_t given = pCursor->section >> 1;
  if (result != VaskCommonError_Success) {
    return result;
  }
  if (pLogical == nullptr || given >= pLogical->lightCount) {
    return VaskCommonError_NoEntry;
  }
  *ppMember = pDocument->index.ppLight[pLogical->lightStart + given];
  pCursor->section = ((given + 1) << 1) | kGivenTag;
  pCursor->member = pDocument->generation;
  pCursor->pName = pLogical->pName;
  return VaskCommonError_Success;
}

}  // namespace

bool text_findMalformed(const char* pText, size_t size, Diagnostic_t* pDiagnostic) {
  const size_t bom =
      size >= kByteOrderMarkSize && std::memcmp(pText, kByteOrderMark, kByteOrderMarkSize) == 0
          ? kByteOrderMarkSize
          : 0;
  size_t number = 0;
  for (const char* pAt = pText + bom; pAt < pText + size;) {
    const auto* pLineFeed =
        static_cast<const char*>(std::memchr(pAt, '\n', static_cast<size_t>(pText + size - pAt)));
    const char* pNext = pLineFeed != nullptr ? pLineFeed + 1 : pText + size;
    const auto lineSize = static_cast<size_t>(pNext - pAt);
    ++number;
    const LineKind_t kind = line_kind(pAt, lineSize);
    if (kind == LineKindEnd) {
      return false;
    }
    if (kind == LineKindMalformed) {
      diagnostic_fill(pDiagnostic, VaskCommonError_MalformedLine, pAt, lineSize,
                      static_cast<size_t>(pAt - pText), number);
      return true;
    }
    pAt = pNext;
  }
  return false;
}

void diagnostic_fill(Diagnostic_t* pDiagnostic, int code, const char* pLine, size_t size,
                     size_t offset, size_t number) {
  if (pDiagnostic == nullptr) {
    return;
  }
  const size_t length = size > 0 && pLine[size - 1] == '\n' ? size - 1 : size;
  *pDiagnostic = Diagnostic_t{};
  pDiagnostic->code = code;
  pDiagnostic->line = number;
  pDiagnostic->offset = offset;
  pDiagnostic->length = length;
  pDiagnostic->end = length;
  std::memcpy(pDiagnostic->aText, pLine, std::min(length, sizeof(pDiagnostic->aText) - 1));
}

void queue_release(VaskCommonDQueueHandle_t* pHandle) {
  // A close that fails leaves the queue as it was, to be closed again.
  if (*pHandle != 0 && VaskCommonDQueue_close(pHandle) != VaskCommonError_Success) {
    (void)VaskCommonDQueue_close(pHandle);
  }
}

void section_release(Section_t** ppSection) {
  // As with a queue: a section whose delete failed is whole, and deleted again.
  if (VaskInitializationSection_delete(ppSection) != VaskCommonError_Success) {
    (void)VaskInitializationSection_delete(ppSection);
  }
}

namespace {

// The delete handler of the document's queues: a section whose delete failed is
// deleted again, so that closing a queue never leaves one behind.
int section_releaseItem(void** ppData) {
  auto* pSection = static_cast<Section_t*>(*ppData);
  section_release(&pSection);
  *ppData = pSection;
  return VaskCommonError_Success;
}

}  // namespace

int text_read(Document_t* pDocument, const char* pText, size_t size,
              VaskCommonDQueueHandle_t* phQueue) {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = section_releaseItem;
  VaskCommonDQueueHandle_t hQueue = 0;
  int result = VaskCommonDQueue_open(&param, &hQueue);
  if (result == VaskCommonError_Success) {
    VaskCommonBuffer_t buffer{const_cast<char*>(pText), 0, size, nullptr, false};
    result = VaskInitializationReader_parse(pDocument->hReader, &buffer, hQueue);
  }
  if (result != VaskCommonError_Success) {
    queue_release(&hQueue);
    return result;
  }
  *phQueue = hQueue;
  return VaskCommonError_Success;
}

int index_ensure(Document_t* pDocument) {
  if (pDocument->index.isBuilt) {
    return VaskCommonError_Success;
  }
  return index_build(&pDocument->index, pDocument->pText + pDocument->bom,
                     pDocument->size - pDocument->bom, pDocument->hQueue);
}

void document_edited(Document_t* pDocument) {
  ++pDocument->generation;
  pDocument->pGiven = nullptr;
}

void document_release(Document_t* pDocument) {
  if (pDocument->hQueue != 0) {
    (void)VaskCommonDQueue_setUserData(pDocument->hQueue, &kQueueOwner, nullptr);
  }
  index_release(&pDocument->index);
  queue_release(&pDocument->hQueue);
  if (pDocument->hReader != 0) {
    (void)VaskInitializationReader_close(&pDocument->hReader);
  }
  (void)VaskCommonFile_close(&pDocument->hFile);
  (void)VaskCommonBuffer_delete(&pDocument->pLost);
  findings_release(&pDocument->findings);
  std::free(pDocument->pFilename);
  std::free(pDocument->pMaterial);
  std::free(pDocument->pText);
  std::free(pDocument);
}

bool document_isFirstShown(VaskCommonDQueueHandle_t hQueue, size_t index, bool* pIsFirst) {
  void* pData = nullptr;
  if (VaskCommonDQueue_userData(hQueue, &kQueueOwner, &pData) != VaskCommonError_Success ||
      pData == nullptr) {
    return false;
  }
  auto* pDocument = static_cast<Document_t*>(pData);
  if (index_section(&pDocument->index, pDocument->hQueue) != VaskCommonError_Success ||
      index_order(&pDocument->index, pDocument->generation) != VaskCommonError_Success ||
      index >= pDocument->index.firstShownCount) {
    return false;
  }
  *pIsFirst = pDocument->index.pFirstShown[index] != 0;
  return true;
}

}  // namespace vask::document

using namespace vask::document;

extern "C" int VaskInitializationDocument_parse(const char* pText, size_t size,
                                                VaskInitializationDocumentHandle_t* pHandle,
                                                VaskInitializationDiagnostic_t* pDiagnostic) {
  diagnostic_clear(pDiagnostic);
  if ((pText == nullptr && size != 0) || pHandle == nullptr || *pHandle != 0 || size == SIZE_MAX) {
    return VaskCommonError_InvalidArgument;
  }
  auto* pCopy = static_cast<char*>(std::malloc(size + 1));
  if (pCopy == nullptr) {
    VASK_TRACE_ERROR(VaskCommonError_NoMemory);
    return VaskCommonError_NoMemory;
  }
  if (size > 0) {
    std::memcpy(pCopy, pText, size);
  }
  pCopy[size] = '\0';
  Document_t* pDocument = nullptr;
  const int result = document_make(pCopy, size, &pDocument, pDiagnostic);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
    return result;
  }
  *pHandle = reinterpret_cast<VaskInitializationDocumentHandle_t>(pDocument);
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_load(const char* pFilename,
                                               VaskInitializationDocumentHandle_t* pHandle,
                                               VaskInitializationDiagnostic_t* pDiagnostic) {
  const VaskInitializationDocumentOpenParam_t param{};
  return VaskInitializationDocument_open(pFilename, &param, pHandle, pDiagnostic);
}

extern "C" int VaskInitializationDocument_open(const char* pFilename,
                                               const VaskInitializationDocumentOpenParam_t* pParam,
                                               VaskInitializationDocumentHandle_t* pHandle,
                                               VaskInitializationDiagnostic_t* pDiagnostic) {
  diagnostic_clear(pDiagnostic);
  if (pFilename == nullptr || pParam == nullptr || pHandle == nullptr || *pHandle != 0) {
    return VaskCommonError_InvalidArgument;
  }
  const VaskCommonFileOpenParam_t fileParam{pParam->maxSize, pParam->isLocked, pParam->mayCreate};
  VaskCommonFileHandle_t hFile = 0;
  VaskCommonBuffer_t buffer{};
  char* pName = strdup(pFilename);
  int result = pName != nullptr ? VaskCommonFile_open(pFilename, &fileParam, &hFile, &buffer)
                                : VaskCommonError_NoMemory;
  Document_t* pDocument = nullptr;
  if (result == VaskCommonError_Success) {
    result = document_make(buffer.pBegin, buffer.size, &pDocument, pDiagnostic);
  }
  if (result != VaskCommonError_Success) {
    (void)VaskCommonFile_close(&hFile);
    std::free(pName);
    VASK_TRACE_ERROR(result);
    return result;
  }
  pDocument->hFile = hFile;
  pDocument->pFilename = pName;
  *pHandle = reinterpret_cast<VaskInitializationDocumentHandle_t>(pDocument);
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_close(VaskInitializationDocumentHandle_t* pHandle) {
  if (pHandle == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  if (*pHandle != 0) {
    document_release(document_from(*pHandle));
    *pHandle = 0;
  }
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_sections(VaskInitializationDocumentHandle_t handle,
                                                   VaskCommonDQueueHandle_t* pQueue) {
  if (handle == 0 || pQueue == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  *pQueue = document_from(handle)->hQueue;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_find(VaskInitializationDocumentHandle_t handle,
                                               const char* pSection, const char* pKey,
                                               VaskInitializationMember_t** ppMember,
                                               size_t* pLine) {
  if (pSection == nullptr || pKey == nullptr || ppMember == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_ready(handle, &pDocument);
  if (result != VaskCommonError_Success) {
    return result;
  }
  Found_t found{};
  result = member_find(pDocument, pSection, pKey, &found);
  const Line_t* pFound = result == VaskCommonError_Success ? found.pExact : found.pNear;
  *ppMember = pFound != nullptr ? pFound->pMember : nullptr;
  if (pLine != nullptr) {
    index_number(&pDocument->index);
    *pLine = pFound != nullptr ? pFound->number : 0;
  }
  return result;
}

extern "C" int VaskInitializationDocument_sectionNext(VaskInitializationDocumentHandle_t handle,
                                                      VaskInitializationLookupCursor_t* pCursor,
                                                      const char** ppName) {
  if (pCursor == nullptr || ppName == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_sectioned(handle, &pDocument);
  if (result == VaskCommonError_Success && cursor_isStale(*pDocument, *pCursor)) {
    result = VaskCommonError_InvalidArgument;
  }
  if (result == VaskCommonError_Success) {
    result = index_order(&pDocument->index, pDocument->generation);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  if (pCursor->section >= pDocument->index.orderCount) {
    return VaskCommonError_NoEntry;
  }
  pDocument->pGiven = pDocument->index.ppOrder[pCursor->section++];
  *ppName = pDocument->pGiven->pName;
  pCursor->pName = *ppName;
  pCursor->member = pDocument->generation;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_memberNext(VaskInitializationDocumentHandle_t handle,
                                                     const char* pSection,
                                                     VaskInitializationLookupCursor_t* pCursor,
                                                     VaskInitializationMember_t** ppMember,
                                                     size_t* pLine) {
  if (pCursor == nullptr || ppMember == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = document_from(handle);
  const bool isCounted =
      pDocument != nullptr && pSection != nullptr && pLine == nullptr && !pDocument->index.isBuilt;
  int result =
      isCounted ? document_sectioned(handle, &pDocument) : document_ready(handle, &pDocument);
  if (result == VaskCommonError_Success && (cursor_isStale(*pDocument, *pCursor) ||
                                            (pSection == nullptr && cursor_isCounted(*pCursor)))) {
    result = VaskCommonError_InvalidArgument;
  }
  if (result == VaskCommonError_Success && isCounted) {
    return member_nextCounted(pDocument, pSection, pCursor, ppMember);
  }
  if (result != VaskCommonError_Success) {
    return result;
  }
  const Line_t* pNext = member_after(*pDocument, pSection, *pCursor);
  if (pNext == nullptr) {
    return VaskCommonError_NoEntry;
  }
  pCursor->section = reinterpret_cast<size_t>(pNext);
  pCursor->member = pDocument->generation;
  pCursor->pName = pNext->pLogical->pName;
  *ppMember = pNext->pMember;
  if (pLine != nullptr) {
    index_number(&pDocument->index);
    *pLine = pNext->number;
  }
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_set(VaskInitializationDocumentHandle_t handle,
                                              const char* pSection, const char* pKey,
                                              const char* pValue) {
  if (pSection == nullptr || pKey == nullptr || pValue == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_ready(handle, &pDocument);
  if (result == VaskCommonError_Success) {
    result = edit_set(pDocument, pSection, pKey, pValue);
  }
  if (result != VaskCommonError_Success && !edit_isRefusal(result)) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_remove(VaskInitializationDocumentHandle_t handle,
                                                 const char* pSection, const char* pKey,
                                                 size_t* pRemoved) {
  if (pRemoved != nullptr) {
    *pRemoved = 0;
  }
  if (pSection == nullptr || pKey == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_ready(handle, &pDocument);
  if (result == VaskCommonError_Success) {
    result = edit_remove(pDocument, pSection, pKey, pRemoved);
  }
  if (result != VaskCommonError_Success && !edit_isRefusal(result)) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_removeSection(VaskInitializationDocumentHandle_t handle,
                                                        const char* pSection) {
  if (pSection == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_ready(handle, &pDocument);
  if (result == VaskCommonError_Success) {
    result = edit_removeSection(pDocument, pSection);
  }
  if (result != VaskCommonError_Success && !edit_isRefusal(result)) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_text(VaskInitializationDocumentHandle_t handle,
                                               const char** ppText, size_t* pSize) {
  if (handle == 0 || ppText == nullptr || pSize == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  const int result = document_text(document_from(handle), ppText, pSize);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_save(VaskInitializationDocumentHandle_t handle,
                                               const char* pFilename) {
  Document_t* pDocument = document_from(handle);
  if (pDocument == nullptr || (pFilename == nullptr && pDocument->hFile == 0) ||
      (pFilename != nullptr && pFilename[0] == '\0')) {
    return VaskCommonError_InvalidArgument;
  }
  const int result = document_save(pDocument, pFilename);
  if (result != VaskCommonError_Success) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_lost(VaskInitializationDocumentHandle_t handle,
                                               const char** ppText, size_t* pSize) {
  const Document_t* pDocument = document_from(handle);
  if (pDocument == nullptr || ppText == nullptr || pSize == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  if (pDocument->pLost == nullptr) {
    return VaskCommonError_NoEntry;
  }
  *ppText = pDocument->pLost->pBegin;
  *pSize = pDocument->pLost->size;
  return VaskCommonError_Success;
}

extern "C" int VaskInitializationDocument_check(VaskInitializationDocumentHandle_t handle,
                                                size_t index,
                                                VaskInitializationDiagnostic_t* pDiagnostic) {
  if (pDiagnostic == nullptr) {
    return VaskCommonError_InvalidArgument;
  }
  Document_t* pDocument = nullptr;
  int result = document_ready(handle, &pDocument);
  if (result == VaskCommonError_Success) {
    result = findings_get(pDocument, index, pDiagnostic);
  }
  if (result != VaskCommonError_Success && result != VaskCommonError_NoEntry) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}

extern "C" int VaskInitializationDocument_checkText(const char* pText, size_t size, size_t index,
                                                    VaskInitializationDiagnostic_t* pDiagnostic) {
  if ((pText == nullptr && size != 0) || pDiagnostic == nullptr || size == SIZE_MAX) {
    return VaskCommonError_InvalidArgument;
  }
  const int result = findings_ofText(pText, size, index, pDiagnostic);
  if (result != VaskCommonError_Success && result != VaskCommonError_NoEntry) {
    VASK_TRACE_ERROR(result);
  }
  return result;
}
