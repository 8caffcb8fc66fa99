// The document's index: its text as a list of lines, each tied to what the
// reader made of it (the section it is read into, the member it gives), the
// logical sections by name and the members by key. Private to the lookup
// library; plain structs and calloc/free, as everywhere in the libraries.
#ifndef VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_INDEX_H
#define VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_INDEX_H

#include <initialization_member.h>
#include <initialization_section.h>
#include <vask_common_c/common_dqueue.h>

#include <cstddef>
#include <cstdint>

namespace vask::document {

enum LineKind_t : uint8_t {
  LineKindBlank,      // nothing but blanks: reading skips it
  LineKindComment,    // '#' or ';' first
  LineKindHeader,     // '[' first
  LineKindMember,     // key=value
  LineKindMalformed,  // neither, and no '=': reading fails here
  LineKindEnd,        // a zero byte first: reading ends here
  LineKindUnread      // after the end
};

struct Part_t;
struct Logical_t;
struct KeyEntry_t;
struct Slab_t;

// One line of the text, its line feed included when it has one.
struct Line_t {
  Line_t* pPrev;
  Line_t* pNext;
  const char* pBytes;
  size_t size;
  size_t number;  // 1-based, while the index's numbering is current
  Part_t* pPart;  // the reader section it is read into; null past the end
  LineKind_t kind;
  bool isOwnedBytes;  // pBytes is the line's own heap copy
  bool isPooled;      // one of the index's first block of lines
  uint8_t mark;       // during an edit: MarkRemoved or MarkNew
  // Member lines only.
  VaskInitializationMember_t* pMember;
  Logical_t* pLogical;
  Line_t* pLogicalPrev;  // the member lines of the logical section, in text order
  Line_t* pLogicalNext;
  KeyEntry_t* pKey;
  Line_t* pKeyPrev;  // the member lines of the same section and key (trailing blanks aside)
  Line_t* pKeyNext;
};

// One section of the reader's queue and the lines it is read from.
struct Part_t {
  Part_t* pPrev;
  Part_t* pNext;
  VaskInitializationSection_t* pSection;
  Line_t* pFirst;       // its first line (the blank lines before the first section count)
  Line_t* pLast;        // its last line (the blank lines after it count)
  Line_t* pLastMember;  // null when it has no member
  Logical_t* pLogical;  // the name it is read under
  size_t index;         // its position in the queue
  bool isShown;         // it has a header or a member: its name is there
  bool isPooled;
  uint8_t mark;  // during an edit: read again
};

enum Mark_t : uint8_t { MarkNone, MarkRemoved, MarkNew };

// A logical section: every reader section of one name.
struct Logical_t {
  Logical_t* pHashNext;
  uint64_t hash;
  char* pName;
  size_t length;
  Line_t* pFirstMember;
  Line_t* pLastMember;
  size_t memberCount;
  uint64_t orderGeneration;  // when `order` was last given
  size_t order;              // its place among the names shown, first appearance first
  KeyEntry_t* pKeyBlock;     // the entries made when its keys were first looked up
  bool isKeyed;              // its member lines are in the key table
  size_t lightStart;         // before the lines are indexed: where its members stand
  size_t lightCount;         //   in the index's member array, and how many
};

// The member lines of one logical section whose keys are equal but for trailing blanks.
struct KeyEntry_t {
  KeyEntry_t* pHashNext;
  uint64_t hash;
  size_t length;  // of the key, its trailing blanks left out
  Logical_t* pLogical;
  Line_t* pFirst;
  Line_t* pLast;
  bool isPooled;  // one of its logical section's first block
};

// A chained hash table over records that carry pHashNext and hash.
template <typename Entry_t>
struct Table_t {
  Entry_t** ppBucket = nullptr;
  size_t bucketCount = 0;  // a power of two, or 0
  size_t count = 0;
};

// Where the parts of a member line stand, from its start; as reading finds them.
struct LineView_t {
  LineKind_t kind;
  size_t body;      // the first byte that is not a blank
  size_t content;   // the end of its text: the LF, or the end of the line
  size_t visible;   // where reading stops seeing it: a zero byte, or content
  size_t equals;    // member: the first '='
  size_t valueEnd;  // member: where the value ends
  size_t marker;    // member: the trailing comment's marker, or `visible` when none
  bool hasComment;
};

struct Index_t {
  bool isSectioned;  // the parts and their names, read from the queue
  bool isBuilt;      // the lines too
  bool isNumbered;   // every line's number is current
  Line_t* pHead;
  Line_t* pTail;
  Line_t* pEnd;  // the line that ends the reading, or null
  Line_t* pLineBlock;
  Part_t* pFirstPart;
  Part_t* pLastPart;
  Part_t* pPartBlock;
  size_t partCount;
  Table_t<Logical_t> logicals;
  Table_t<KeyEntry_t> keys;
  Slab_t* pSlab;     // where the logical sections live, until the index is released
  size_t readCount;  // lines before the end of the reading
  // The names in order of first appearance, and which part shows each first.
  uint64_t orderGeneration;
  Logical_t** ppOrder;
  size_t orderCount;
  uint8_t* pFirstShown;  // by queue position
  size_t firstShownCount;
  VaskInitializationMember_t** ppLight;  // see index_light; null once the lines are built
};

bool byte_isBlank(char character);

// What reading gives back as written, for a set of the lookup library and a
// document alike: a value ends at a blank, '#' or ';'; a key at '=', and a line
// that starts with a blank, '[', '#' or ';' is no member; a name ends at ']'.
bool value_readsBack(const char* pValue);
bool key_readsBack(const char* pKey);
bool name_readsBack(const char* pName);

enum class KeyMatch_t { None, Near, Exact };
// Exact, or Near when pKey is pWanted followed by blanks ("port = 80" has "port ").
KeyMatch_t key_match(const char* pKey, const char* pWanted);

// How reading sees the `size` bytes of one line.
LineView_t line_view(const char* pBytes, size_t size);
// The kind alone, which is all that building the index needs.
LineKind_t line_kind(const char* pBytes, size_t size);
// A header line's name as reading gives it: [*ppName, *ppName + *pLength).
void header_name(const Line_t& line, const char** ppName, size_t* pLength);
// Whether the line ends in CR LF; and the ending a new line after it takes.
bool line_isCrlf(const Line_t& line);
bool line_hasLineFeed(const Line_t& line);

uint64_t bytes_hash(const char* pBytes, size_t length);
// The hash of a key (its trailing blanks left out) within a logical section.
uint64_t key_hash(const Logical_t* pLogical, const char* pKey, size_t length);
// A key with its trailing blanks left out.
size_t key_trimmedLength(const char* pKey, size_t length);

// The parts and the logical sections of hQueue, from the queue alone: what the
// walks of sections and their members need, without the lines.
int index_section(Index_t* pIndex, VaskCommonDQueueHandle_t hQueue);
// Before the lines are indexed: every member in one array, each logical
// section's members together (lightStart, lightCount), for walks.
int index_light(Index_t* pIndex, uint64_t generation);

// Builds the lines of `size` bytes at pText read into hQueue and ties them to
// the parts (index_section first). 5 when an allocation fails, 1 when the text does not read as the
// queue says (never, unless the reading rules here and the reader's disagree).
int index_build(Index_t* pIndex, const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue);
// Puts the member lines of a logical section into the key table, once: a
// section's keys are looked up only when something asks for one of them.
int logical_key(Index_t* pIndex, Logical_t* pLogical);
void index_release(Index_t* pIndex);
void index_number(Index_t* pIndex);

Logical_t* logical_find(const Index_t& index, const char* pName, size_t length);
int logical_get(Index_t* pIndex, const char* pName, size_t length, Logical_t** ppLogical);

// The key entry of the logical section for pKey (trailing blanks aside), or null.
KeyEntry_t* key_find(const Index_t& index, const Logical_t* pLogical, const char* pKey,
                     size_t length);
// Room for `more` entries more in a table, so that inserting them cannot fail.
template <typename Entry_t>
int table_reserve(Table_t<Entry_t>* pTable, size_t more);
template <typename Entry_t>
void table_insert(Table_t<Entry_t>* pTable, Entry_t* pEntry);
template <typename Entry_t>
void table_remove(Table_t<Entry_t>* pTable, Entry_t* pEntry);

// Member lines in and out of their logical section's and key's lists (which
// stay in text order: a line goes in at the end).
// pKey joins the key table only where the line's logical section is keyed.
void member_link(Index_t* pIndex, Line_t* pLine, KeyEntry_t* pKey);
void member_keyLink(Index_t* pIndex, Line_t* pLine, KeyEntry_t* pKey);
void member_unlink(Index_t* pIndex, Line_t* pLine);

// Assigns lines to the sections hQueue holds from `first` on, in order, as the
// reader groups them, and names each section as lookup reads it. pParts[] gets
// one record per section. Fails with 1 where the lines and the sections
// disagree (the reader's rules and these would differ).
struct Reading_t {
  Line_t** ppLines;  // the lines; null: the first `count` lines of pBlock
  Line_t* pBlock;
  size_t count;
  VaskCommonDQueueHandle_t hQueue;
  size_t first;
  size_t sections;  // how many sections the lines must take
  Part_t* pParts;   // `sections` records, filled
  // Per line its part (SIZE_MAX before the first) and member (or null); when
  // null, the lines take their parts and members at once, and member lines
  // join their logical section's list.
  size_t* pPartOf;
  VaskInitializationMember_t** ppMembers;
  Index_t* pIndex;     // keeps the names
  Logical_t* pBefore;  // the name in force before the first section; null at the start
  bool isKnown;        // pParts already hold the sections, named: the lines are tied to them
};
int reading_assign(Reading_t* pReading);

// The names shown, in order of first appearance, for the queue at `generation`.
int index_order(Index_t* pIndex, uint64_t generation);

// The owner tag of the user-data slot of a document's queue.
extern const char kQueueOwner;

}  // namespace vask::document

#endif  // VASK_INITIALIZATION_LOOKUP_SOURCE_DOCUMENT_INDEX_H
