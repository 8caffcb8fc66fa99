// A document's edits: set, remove, remove a section. Each changes lines, then
// reads again the sections around them, and commits only when all is ready, so
// that a refused or failed edit changes nothing.
#ifndef VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_EDIT_H
#define VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_EDIT_H

#include <cstddef>

#include "document_core.h"

namespace vask::document {

// The member lines of a key in a logical section: the last exact one, and the
// last with the key followed by blanks.
struct Found_t {
  const Line_t* pExact;
  const Line_t* pNear;
};

// 0 (pExact found), 17 (only pNear), 16 (neither); 5 when the section's keys
// cannot be put into the key table.
int member_find(Document_t* pDocument, const char* pSection, const char* pKey, Found_t* pFound);

int edit_set(Document_t* pDocument, const char* pSection, const char* pKey, const char* pValue);
int edit_remove(Document_t* pDocument, const char* pSection, const char* pKey, size_t* pRemoved);
int edit_removeSection(Document_t* pDocument, const char* pSection);

// A refusal (13, 16, 17) is an answer, not a failure to trace.
bool edit_isRefusal(int code);

}  // namespace vask::document

#endif  // VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_EDIT_H
