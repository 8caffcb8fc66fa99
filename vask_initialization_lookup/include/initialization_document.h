/**
 * @file
 * Document: a file's exact bytes together with what the reader reads of them,
 * edited without loss. Every byte outside the lines an edit changes stays as it
 * was: blank lines, indentation, comments, "key = value" lines and line ends.
 * See initialization_reader.h for the conventions on codes, ownership and
 * threads, and initialization_lookup.h for logical sections and keys.
 *
 * - The text reads exactly as VaskInitializationReader_parse reads it, but for
 *   a UTF-8 byte order mark at the very start, which is not read and is kept.
 * - VaskInitializationDocument_sections gives the reader's own result on the
 *   document's current text, after every edit: every lookup function works on
 *   it. The host reads that queue and never changes it.
 * - An edit changes only the lines it names, and only in a way that reads back
 *   as asked; a refused (13, 16, 17) or failed edit changes nothing. An edit
 *   may put new records in the queue: pointers into it (members, values, names)
 *   that were handed out before an edit are not to be used after it.
 * - Where the reader cannot allocate a trailing comment's copy it keeps the
 *   member without it (initialization_reader.h); an edit never does, and fails
 *   with 5 instead.
 * - A document opened with isLocked holds an exclusive advisory lock (flock)
 *   on its file from the read to close; hosts and vask-ini that lock keep each
 *   other's changes. Any document saved back over its own file replaces it
 *   only while it is the version read: else FileChanged (20), nothing written.
 *
 * Codes: 0 success; 13 a null or bad argument, or an edit that would not read
 * back as given; 16 no such section or key; 17 a near miss (only "port "
 * exists where "port" is asked); 19 a malformed line; 20, 21 and the file
 * codes of the support library on load and save; 5 a failed allocation.
 */
#ifndef VASK_INITIALIZATION_LOOKUP_INITIALIZATION_DOCUMENT_H
#define VASK_INITIALIZATION_LOOKUP_INITIALIZATION_DOCUMENT_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include <initialization_lookup.h>
#include <initialization_lookup_export.h>
#include <initialization_member.h>
#include <vask_common_c/common_dqueue.h>

#ifdef __cplusplus
extern "C" {
#endif

/** A document: the address of its record; 0 is no document. */
typedef uintptr_t VaskInitializationDocumentHandle_t;

/**
 * The kinds of line that read differently from what their text says
 * (VaskInitializationDocument_check). They start at 100, apart from every
 * result code.
 */
typedef enum VaskInitializationCheck_t {
  /** "key = value": the key is read with the blank(s) before '='. */
  VaskInitializationCheck_BlankInKey = 100,
  /** The value ends at a blank, '#' or ';' before the line's text does: the
   * rest is dropped, or read as a comment when a marker follows at once. */
  VaskInitializationCheck_ValueCut = 101,
  /** The line ends in CR LF and the value keeps the CR. */
  VaskInitializationCheck_CarriageReturn = 102,
  /** A header with text after its ']', which is dropped. */
  VaskInitializationCheck_TextAfterHeader = 103,
  /** A zero byte cuts the line short, or, where a line starts, ends the text. */
  VaskInitializationCheck_ZeroByte = 104,
  /** A header without ']': the name is the rest of the line. */
  VaskInitializationCheck_UnclosedHeader = 105,
  /** A header that the next header replaces before any member. */
  VaskInitializationCheck_HeaderReplaced = 106,
  /** A member line that starts with '=': key and value are empty. */
  VaskInitializationCheck_EmptyKey = 107
} VaskInitializationCheck_t;

/**
 * Where and why: a failure that a line causes (code MalformedLine, 19), a
 * finding of check (a VaskInitializationCheck_t), or for other codes no line.
 */
typedef struct VaskInitializationDiagnostic_t {
  int code;         /**< The result code or check kind; 0 when nothing is at fault. */
  size_t line;      /**< 1-based; 0 when no line is at fault. */
  size_t offset;    /**< Where that line starts in the text (a byte order mark counts). */
  size_t length;    /**< Its length, without the line feed. */
  size_t begin;     /**< Where the part the finding is about starts, from the line's start. */
  size_t end;       /**< Where it ends: for ValueCut what is dropped (empty when a marker
                         follows at once). */
  size_t otherLine; /**< HeaderReplaced: the line of the header that replaces it. */
  char aText[80];   /**< The line's first bytes, NUL-terminated, without the line feed. */
} VaskInitializationDiagnostic_t;

/** How VaskInitializationDocument_open holds the file. */
typedef struct VaskInitializationDocumentOpenParam_t {
  size_t maxSize; /**< A larger file gives TooLarge (21); 0: no ceiling. */
  bool isLocked;  /**< An exclusive advisory lock from the read to close. */
  bool mayCreate; /**< A missing file opens as an empty document; its first save creates it. */
} VaskInitializationDocumentOpenParam_t;

/**
 * Makes a document of the `size` bytes at pText (copied; no zero byte needed
 * after them) in *pHandle, which must hold 0. A line that the reader cannot
 * read gives MalformedLine (19) and names it in *pDiagnostic (which may be
 * null); on any failure *pHandle stays 0.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_parse(
    const char* pText, size_t size, VaskInitializationDocumentHandle_t* pHandle,
    VaskInitializationDiagnostic_t* pDiagnostic);

/** _open without lock, ceiling or creation. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_load(
    const char* pFilename, VaskInitializationDocumentHandle_t* pHandle,
    VaskInitializationDiagnostic_t* pDiagnostic);

/**
 * Reads the file pFilename through the support library (VaskCommonFile_open,
 * whose refusals and codes hold) and makes a document of it, as _parse does.
 * With pParam->isLocked the lock is held until _close.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_open(
    const char* pFilename, const VaskInitializationDocumentOpenParam_t* pParam,
    VaskInitializationDocumentHandle_t* pHandle, VaskInitializationDiagnostic_t* pDiagnostic);

/** Releases the document (and its lock) and sets *pHandle to 0; a 0 handle is a no-op. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_close(
    VaskInitializationDocumentHandle_t* pHandle);

/** *pQueue: the document's section queue, to read only; valid until _close. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_sections(
    VaskInitializationDocumentHandle_t handle, VaskCommonDQueueHandle_t* pQueue);

/**
 * VaskInitializationLookup_find on the document, and the line the member
 * stands on in *pLine (1-based; pLine may be null). Through the document's
 * index: no walk of the queue.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_find(
    VaskInitializationDocumentHandle_t handle, const char* pSection, const char* pKey,
    VaskInitializationMember_t** ppMember, size_t* pLine);

/**
 * The lookup walks (VaskInitializationLookup_sectionNext, _memberNext) through
 * the document's index: a whole walk is linear. Start from
 * VASK_INITIALIZATION_LOOKUP_CURSOR_START; the cursor's fields mean places in
 * the index, not in the queue. memberNext gives the member's line in *pLine
 * (pLine may be null). An edit ends the walks begun before it (13). The index
 * is built on first use: the names and each name's members from the queue
 * alone, the lines only when a walk asks for line numbers or for the members
 * of every section; NoMemory (5) when that fails, the cursor left as it was.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_sectionNext(
    VaskInitializationDocumentHandle_t handle, VaskInitializationLookupCursor_t* pCursor,
    const char** ppName);
/** The members of pSection (of all sections for null) in file order; see _sectionNext. */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_memberNext(
    VaskInitializationDocumentHandle_t handle, const char* pSection,
    VaskInitializationLookupCursor_t* pCursor, VaskInitializationMember_t** ppMember,
    size_t* pLine);

/**
 * Sets pKey of pSection to pValue.
 * - A key that is there (the last one where it repeats): on its line the bytes
 *   from after the '=' to the first space of the blanks before the trailing
 *   comment, or with no comment to the line's end (before the CR of a CR LF
 *   line), become pValue; the key, the comment and the line end stay.
 * - A new key goes on a line of its own after the last member of the last
 *   section of that name (after its header when it has none); a new key of the
 *   section "" goes before the first header; a new section goes, with its
 *   header, after the last line that the reader reads. A new line ends as the
 *   line before it does.
 * Refused with 13, changing nothing, when the result would not read back as
 * pKey = pValue (a blank, '#' or ';' in the value, '=' in the key, ...; a CR
 * that a CR LF line adds to the value counts as reading back), and with 17
 * when only pKey followed by blanks is there ("port = 80" for "port").
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_set(
    VaskInitializationDocumentHandle_t handle, const char* pSection, const char* pKey,
    const char* pValue);

/**
 * Removes every line of pKey in the logical section pSection (all repeats) and
 * gives their number in *pRemoved (may be null). 16 when there is none, 17 when
 * only pKey followed by blanks is there.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_remove(
    VaskInitializationDocumentHandle_t handle, const char* pSection, const char* pKey,
    size_t* pRemoved);

/**
 * Removes every section named pSection: each header line of the name with its
 * members and the lines between them (and headers of the name that it
 * replaced); the lines above a header and those after its last member stay.
 * 16 when there is no such section.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_removeSection(
    VaskInitializationDocumentHandle_t handle, const char* pSection);

/**
 * The document's bytes (a byte order mark included) in *ppText and *pSize; a
 * zero byte follows them. Valid until the next edit or _close.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_text(
    VaskInitializationDocumentHandle_t handle, const char** ppText, size_t* pSize);

/**
 * Writes the document's bytes. A null pFilename (or the name it was opened
 * with) saves over its own file through VaskCommonFile_save: only while that
 * file is the version read, else FileChanged (20) and nothing is written; a
 * locked document keeps its lock on the new file. Any other name is replaced
 * with VaskCommonBuffer_save2, without that check, also where it names the same
 * file another way ("./f.ini", a link): pass null to save over the file held.
 * Checks before writing that the bytes read as the document's queue.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_save(
    VaskInitializationDocumentHandle_t handle, const char* pFilename);

/**
 * After a save over its own file that gave FileChanged with the new bytes in
 * place (another writer changed the old file during the rename), the bytes that
 * writer left in the old file, which no file holds now; else 16.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_lost(
    VaskInitializationDocumentHandle_t handle, const char** ppText, size_t* pSize);

/**
 * The index-th (from 0) finding of the document's text: a line that reads
 * differently from what it says, in line order, one finding per kind and line.
 * 16 past the last. Findings are computed once per text.
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_check(
    VaskInitializationDocumentHandle_t handle, size_t index,
    VaskInitializationDiagnostic_t* pDiagnostic);

/**
 * The same for the `size` bytes at pText, which need not load: the findings of
 * the lines before a malformed line, then that line (code MalformedLine).
 */
VASK_INITIALIZATION_LOOKUP_API int VaskInitializationDocument_checkText(
    const char* pText, size_t size, size_t index, VaskInitializationDiagnostic_t* pDiagnostic);

#ifdef __cplusplus
}
#endif

#endif /* VASK_INITIALIZATION_LOOKUP_INITIALIZATION_DOCUMENT_H */
