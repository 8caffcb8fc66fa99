// What a document's lines read as, against what their text says: the findings
// of VaskInitializationDocument_check, computed once per text.
#ifndef VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CHECK_H
#define VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CHECK_H

#include <cstddef>

#include "document_core.h"

namespace vask::document {

// The index-th finding of the document's current text; 16 past the last.
int findings_get(Document_t* pDocument, size_t index, Diagnostic_t* pDiagnostic);
// The same for a text that need not load: a malformed line is the last finding.
int findings_ofText(const char* pText, size_t size, size_t index, Diagnostic_t* pDiagnostic);
void findings_release(Findings_t* pFindings);

}  // namespace vask::document

#endif  // VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_CHECK_H
