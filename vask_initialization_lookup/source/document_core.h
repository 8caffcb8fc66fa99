// What the document's modules share: the document record and the helpers of
// initialization_document.cpp that reading, editing and checking use.
#ifndef VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CORE_H
#define VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CORE_H

#include <initialization_document.h>
#include <initialization_reader.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_file.h>

#include <cstdint>

#include "document_index.h"

namespace vask::document {

using Member_t = VaskInitializationMember_t;
using Section_t = VaskInitializationSection_t;
using Diagnostic_t = VaskInitializationDiagnostic_t;

// The findings of one text, computed once.
struct Findings_t {
  Diagnostic_t* pItems;
  size_t count;
  uint64_t generation;  // of the text they were found in; 0 for none yet
};

struct Document_t {
  char* pText;  // the bytes read or given, a zero byte after them
  size_t size;
  size_t bom;  // 3 when a UTF-8 byte order mark leads the text, which reading skips
  VaskCommonDQueueHandle_t hQueue;  // the reader's sections of the current text
  VaskInitializationReaderHandle_t hReader;
  VaskCommonFileHandle_t hFile;  // the file it was opened from, held; 0 for a parsed text
  char* pFilename;
  Index_t index;
  uint64_t generation;  // 1 at first; every edit adds one
  char* pMaterial;      // the current text, once asked for after an edit
  size_t materialSize;
  uint64_t materialGeneration;
  Findings_t findings;
  VaskCommonBuffer_t* pLost;  // what another writer left in the file that a save replaced
};

// Reads `size` bytes at pText (a zero byte after them) into a new queue of
// sections that release themselves.
int text_read(Document_t* pDocument, const char* pText, size_t size,
              VaskCommonDQueueHandle_t* phQueue);
int index_ensure(Document_t* pDocument);
void document_edited(Document_t* pDocument);
void document_release(Document_t* pDocument);
// Closes a queue, or a section, for good: one whose close failed is whole, and
// is closed again.
void queue_release(VaskCommonDQueueHandle_t* pHandle);
void section_release(Section_t** ppSection);
// Names the line of `size` bytes at pLine (its line feed included), which
// starts at `offset` in the text.
void diagnostic_fill(Diagnostic_t* pDiagnostic, int code, const char* pLine, size_t size,
                     size_t offset, size_t number);
// The first line of a text (a byte order mark aside) that reading cannot read,
// before any that ends the reading, named in *pDiagnostic (which may be null).
bool text_findMalformed(const char* pText, size_t size, Diagnostic_t* pDiagnostic);
// For the lookup library's walk over a document's queue: whether the section at
// `index` is the first to show its name; false when the queue is no document's.
bool document_isFirstShown(VaskCommonDQueueHandle_t hQueue, size_t index, bool* pIsFirst);

}  // namespace vask::document

#endif  // VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CORE_H
