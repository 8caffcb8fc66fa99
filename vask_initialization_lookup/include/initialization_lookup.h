/**
 * @file
 * Lookup: finds and reads values in a section queue as a reader filled it,
 * with typed values, lists and edits. See initialization_reader.h for the
 * conventions on codes, ownership and threads.
 *
 * Logical sections. The queue holds sections as the file format groups lines;
 * lookup groups them by name:
 * - a section without a header continues the section before it (reading starts
 *   one at a comment line between two members);
 * - the members before the first header, and any "[]" section, make the
 *   section named "";
 * - all sections of one name form one logical section; names match exactly,
 *   case included.
 * Where a key repeats in a logical section, the last one wins.
 *
 * Keys as the format reads them: in "port = 80" the key is "port " (with its
 * blank) and the value is empty, so "port" is not found. Such a near miss gives
 * VaskCommonError_NearMiss (17) instead of VaskCommonError_NoEntry (16).
 *
 * Codes: 0 success; 13 a null argument; 16 no such section or key; 17 no such
 * key, but the key followed by blanks is there; 18 a value that is not of the
 * asked type, or out of range; 5 an allocation failed (edits; load passes on
 * the reader's codes). None of the libvask_initialization functions returns
 * 16, 17 or 18.
 *
 * Pointers handed out (values, names, members) point into the records: they
 * stay valid until that member or section is changed or removed, or the queue
 * is closed. Lookups walk the queue with VaskCommonDQueue_at and change
 * nothing; they never trace (a missing key is an answer, not a failure). Edits
 * and load trace their failures like the other libraries.
 *
 * A lookup is linear in the number of sections and in the members of the
 * sections of that name; there is no index to keep in step with the queue.
 * A document (initialization_document.h) keeps one for its own queue.
 */
#ifndef VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_H
#define VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include <initialization_lookup_export.h>
#include <initialization_member.h>
#include <initialization_section.h>
#include <vask_common_c/common_dqueue.h>
#include <vask_common_c/common_error.h>

#ifdef __cplusplus
extern "C" {
#endif

/**
 * The delete handler for a section queue, of the queue's handler type:
 * releases the section *ppData points to (VaskInitializationSection_delete)
 * and nulls it; a null ppData gives 0. Open a host's section queue with it, so
 * that closing the queue releases the sections.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_sectionDelete(void** ppData);

/**
 * Opens a section queue that releases its sections (with the handler above)
 * into *pHandle, which must hold 0, and loads the file pFilename into it
 * through a reader of its own. On a failure the code is the queue's or the
 * reader's, it is traced, and *pHandle stays 0. Close the queue with
 * VaskCommonDQueue_close.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_load(const char* pFilename,
                                                                 VaskCommonDQueueHandle_t* pHandle);

/** --- finding --------------------------------------------------------------- */

/**
 * Finds the member pKey of the logical section pSection: the last one where
 * the key repeats. On 0 *ppMember is that member; on 17 it is the last member
 * whose key is pKey followed by blanks; on 16 it is null.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_find(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    VaskInitializationMember_t** ppMember);

/** 0 when a section of that name has a header line or a member, else 16. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_hasSection(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection);

/** --- walking --------------------------------------------------------------- */

/**
 * Where a walk stands; start every walk from VASK_INITIALIZATION_LOOKUP_CURSOR_START
 * and use one cursor for one kind of walk. A walk reads the queue as it is at
 * each call: between calls, only changes after the cursor's place keep it right.
 */
typedef struct VaskInitializationLookupCursor_t {
  size_t section;    /**< Position in the section queue. */
  size_t member;     /**< Position in that section's member queue. */
  const char* pName; /**< Name of the logical section last looked at; null before the start. */
} VaskInitializationLookupCursor_t;

/** The cursor of a walk not begun. */
#define VASK_INITIALIZATION_LOOKUP_CURSOR_START \
  { 0, 0, NULL }

/**
 * Gives the next logical section's name in *ppName: each name once, in the
 * order of its first appearance, counting only sections with a header or a
 * member. 16 when there is none left. On a plain queue a call looks at the
 * sections before the name it gives, so a whole walk is quadratic in the
 * number of sections; on a document's queue it asks the document's index, and
 * a whole walk is linear.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_sectionNext(
    VaskCommonDQueueHandle_t hQueueSection, VaskInitializationLookupCursor_t* pCursor,
    const char** ppName);

/**
 * Gives the next member, in file order, of the logical section pSection, or of
 * every section when pSection is null; pCursor->pName is then the name of the
 * member's logical section. Repeated keys come once per line. 16 when there is
 * none left.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_memberNext(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection,
    VaskInitializationLookupCursor_t* pCursor, VaskInitializationMember_t** ppMember);

/** --- typed values ---------------------------------------------------------- */

/**
 * Reads the text [pBegin, pEnd) as a value of one type. Leading and trailing
 * blanks (isspace) are ignored, so a CR left by a CRLF line is accepted;
 * anything else that is not part of the value gives 18 and leaves *pValue.
 * Null pointers, or pEnd before pBegin, give 13.
 * - integer: decimal digits with an optional sign, within int64_t;
 * - boolean: 1/0, true/false, yes/no, on/off, in any case;
 * - real: a decimal or exponent number with '.' as the decimal point whatever
 *   the host's locale, finite and within double (no "inf" or "nan").
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_parseInteger(const char* pBegin,
                                                                         const char* pEnd,
                                                                         int64_t* pValue);
/** The text as a boolean; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_parseBoolean(const char* pBegin,
                                                                         const char* pEnd,
                                                                         bool* pValue);
/** The text as a real; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_parseReal(const char* pBegin,
                                                                      const char* pEnd,
                                                                      double* pValue);

/**
 * find, then the value: as text (the member's pValue, "" for a null one), or
 * parsed as above. 16 or 17 when the key is not found, 18 when its value is not
 * of the type; *pValue is left as it was then.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getString(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    const char** ppValue);
/** The value as an integer; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getInteger(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    int64_t* pValue);
/** The value as a boolean; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getBoolean(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey, bool* pValue);
/** The value as a real; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getReal(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey, double* pValue);

/**
 * The same with a default: when the key is not found, *pValue gets the default
 * and the result is 0 (for 16), or 17 for a near miss so that a host can warn
 * about "key = value". A value not of the type still gives 18 and leaves
 * *pValue. pDefault may be null.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getStringOr(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    const char* pDefault, const char** ppValue);
/** The value as an integer, or the default; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getIntegerOr(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    int64_t fallback, int64_t* pValue);
/** The value as a boolean, or the default; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getBooleanOr(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey, bool fallback,
    bool* pValue);
/** The value as a real, or the default; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_getRealOr(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey, double fallback,
    double* pValue);

/** --- lists ----------------------------------------------------------------- */

/**
 * A list value is split at the commas outside brackets and double quotes, as
 * VaskInitializationUtility_size counts them: *pCount is that count (0 for a
 * value of blanks only). listElement gives element `index` as [*ppBegin,
 * *ppEnd) inside pValue, unchanged (blanks, quotes and brackets kept); an index
 * at or past the count gives 16.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_listSize(const char* pValue,
                                                                     size_t* pCount);
/** Element `index` of a list value; see above. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_listElement(const char* pValue,
                                                                        size_t index,
                                                                        const char** ppBegin,
                                                                        const char** ppEnd);

/** --- edits ----------------------------------------------------------------- */

/**
 * Sets pKey of pSection to pValue: replaces the found member's pValue (freeing
 * the old one); else appends a member to the last section of that name; else
 * appends a new section with that header (the section "" goes to the front when
 * the queue starts with a header, and gets no header line). Refuses with 13,
 * changing nothing, a value or key that would not read back as given: a blank,
 * '#', ';' or line feed in the value; '=' or a line feed in the key, or a key
 * that is empty or starts with a blank, '[', '#' or ';'; ']' or a line feed in
 * the section name; with 17 when only pKey followed by blanks is there (a
 * second key would hide "port = 80"). A failed allocation or queue operation
 * is traced and returned, with the queue as it was.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_set(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    const char* pValue);

/**
 * Removes every member pKey of the logical section pSection (all repeats, so
 * that no earlier one becomes the value) and gives their number in *pRemoved
 * (pRemoved may be null); 16, and 0 in *pRemoved, when there is none. Sections
 * left without members stay in the queue. It keeps a small list of where the
 * removed members stood, so that a failure (5 for that list, or a queue
 * operation's code) is traced and returned with the queue as it was.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationLookup_remove(
    VaskCommonDQueueHandle_t hQueueSection, const char* pSection, const char* pKey,
    size_t* pRemoved);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_H */
