/**
 * @file
 * C++ wrapper over libvask_initialization and its lookup library: owners of
 * documents, section queues and handles, range-for over logical sections and
 * members, typed lookups with defaults, and edits.
 *
 * This is the one public header that is C++ only (C++17 or later); every other
 * header compiles as C too. Header-only and exception-free: every operation
 * returns the libraries' result codes (initialization_lookup.h,
 * initialization_document.h), a value with a default, or an std::optional.
 * Only Document::getString allocates (an std::string); everything else
 * allocates through the libraries. Link libvask_initialization_lookup
 * (pkg-config vask_initialization_lookup, CMake Vask::initialization_lookup).
 *
 * vask::Document keeps a file's exact bytes and changes only the lines an edit
 * names: use it to edit a host's own files. vask::Sections holds the reader's
 * section queue and writes it back in the writer's layout.
 */
#ifndef VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP
#define VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP

#include <initialization_document.h>
#include <initialization_lookup.h>
#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vask {
inline namespace v0 {

namespace detail {

// Owns one handle of the C interface: `Close` releases it and zeroes it.
template <typename Handle_t, int (*Close)(Handle_t*)>
class Owner {
 public:
  Owner() noexcept = default;
  explicit Owner(Handle_t handle) noexcept : handle_(handle) {}
  ~Owner() { reset(); }
  Owner(Owner&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  Handle_t get() const noexcept { return handle_; }
  Handle_t* out() noexcept { return &handle_; }  // for an open: the handle must be 0
  Handle_t release() noexcept { return std::exchange(handle_, 0); }
  void reset() noexcept {
    if (handle_ != 0) {
      (void)Close(&handle_);
    }
  }
  void swap(Owner& other) noexcept { std::swap(handle_, other.handle_); }

 private:
  Handle_t handle_ = 0;
};

inline const char* text(const char* pText) noexcept {
  return pText != nullptr ? pText : "";
}

// A walk over a plain section queue, through the lookup library. Implicit from
// the queue handle, so that MemberRange(hQueue, pSection) reads as it always did.
struct QueueWalk {
  VaskCommonDQueueHandle_t hQueue;

  QueueWalk(VaskCommonDQueueHandle_t hQueueSection = 0) noexcept : hQueue(hQueueSection) {}
  int sectionNext(VaskInitializationLookupCursor_t* pCursor, const char** ppName) const noexcept {
    return VaskInitializationLookup_sectionNext(hQueue, pCursor, ppName);
  }
  int memberNext(const char* pSection, VaskInitializationLookupCursor_t* pCursor,
                 VaskInitializationMember_t** ppMember, size_t* pLine) const noexcept {
    *pLine = 0;  // a queue knows no lines
    return VaskInitializationLookup_memberNext(hQueue, pSection, pCursor, ppMember);
  }
};

// A walk through a document's index: linear, and with each member's line.
struct DocumentWalk {
  VaskInitializationDocumentHandle_t handle = 0;

  int sectionNext(VaskInitializationLookupCursor_t* pCursor, const char** ppName) const noexcept {
    return VaskInitializationDocument_sectionNext(handle, pCursor, ppName);
  }
  int memberNext(const char* pSection, VaskInitializationLookupCursor_t* pCursor,
                 VaskInitializationMember_t** ppMember, size_t* pLine) const noexcept {
    return VaskInitializationDocument_memberNext(handle, pSection, pCursor, ppMember, pLine);
  }
};

}  // namespace detail

/** A reader handle, opened by open() and closed with the object. */
class Reader {
 public:
  /** Opens the handle; 0 when it is open already, else the reader's code. */
  int open() noexcept {
    return owner_.get() != 0 ? 0 : VaskInitializationReader_open(owner_.out());
  }
  /** The handle for the C calls; 0 before open(). */
  VaskInitializationReaderHandle_t handle() const noexcept { return owner_.get(); }

 private:
  detail::Owner<VaskInitializationReaderHandle_t, VaskInitializationReader_close> owner_;
};

/** A writer handle, opened by open() and closed with the object. */
class Writer {
 public:
  /** Opens the handle; 0 when it is open already, else the writer's code. */
  int open() noexcept {
    return owner_.get() != 0 ? 0 : VaskInitializationWriter_open(owner_.out());
  }
  /** The handle for the C calls; 0 before open(). */
  VaskInitializationWriterHandle_t handle() const noexcept { return owner_.get(); }

 private:
  detail::Owner<VaskInitializationWriterHandle_t, VaskInitializationWriter_close> owner_;
};

/** A buffer record, created by create() and deleted (with its bytes) with the object. */
class Buffer {
 public:
  /** An object without record; create() makes one. */
  Buffer() noexcept = default;
  /** Deletes the record and its bytes. */
  ~Buffer() { (void)VaskCommonBuffer_delete(&pBuffer_); }
  /** Takes the other's record; the other is left without one. */
  Buffer(Buffer&& other) noexcept : pBuffer_(std::exchange(other.pBuffer_, nullptr)) {}
  /** Swaps the records: the other deletes this one's. */
  Buffer& operator=(Buffer&& other) noexcept {
    std::swap(pBuffer_, other.pBuffer_);
    return *this;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  /** Creates the empty record; 0 when there is one already, else the support library's code. */
  int create() noexcept { return pBuffer_ != nullptr ? 0 : VaskCommonBuffer_create(&pBuffer_); }
  /** The record for the C calls; null before create(). */
  VaskCommonBuffer_t* get() const noexcept { return pBuffer_; }
  /** The bytes, or an empty view before anything was loaded or written. */
  std::string_view view() const noexcept {
    return pBuffer_ != nullptr && pBuffer_->pBegin != nullptr
               ? std::string_view(pBuffer_->pBegin, pBuffer_->size)
               : std::string_view();
  }

 private:
  VaskCommonBuffer_t* pBuffer_ = nullptr;
};

/** One member line as lookup sees it: its logical section, the record and, in a document, its line.
 */
struct Entry {
  std::string_view section;            /**< the name of the member's logical section */
  VaskInitializationMember_t* pMember; /**< the record; valid until the next edit */
  size_t line = 0;                     /**< 1-based line in a document's text; 0 in a plain queue */

  /** The key as the format reads it ("port " in "port = 80"). */
  std::string_view key() const noexcept { return detail::text(pMember->pKey); }
  /** The value as the format reads it. */
  std::string_view value() const noexcept { return detail::text(pMember->pValue); }
  /** The trailing comment from its marker on, or nullopt when the line has none. */
  std::optional<std::string_view> comment() const noexcept {
    return pMember->pComment != nullptr ? std::optional<std::string_view>(pMember->pComment)
                                        : std::nullopt;
  }
};

/**
 * The members of one logical section (or of all, for a null name), in file
 * order, through a queue (MemberRange) or a document (DocumentMemberRange).
 */
template <typename Walk_t>
class BasicMemberRange {
 public:
  /** Walks the members; each step is one call of the walk. */
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag; /**< one pass only */
    using value_type = Entry;                          /**< what it gives */
    using difference_type = std::ptrdiff_t;            /**< unused */
    using pointer = void;                              /**< no pointer to an Entry */
    using reference = Entry;                           /**< given by value */

    /** The end. */
    iterator() noexcept = default;
    /** The first member of pSection (all for null), or the end when there is none. */
    iterator(Walk_t walk, const char* pSection) noexcept : walk_(walk), pSection_(pSection) {
      ++*this;
    }
    /** The member it stands on. */
    Entry operator*() const noexcept { return {detail::text(cursor_.pName), pMember_, line_}; }
    /** The next member, or the end when there is none (or the walk fails). */
    iterator& operator++() noexcept {
      if (walk_.memberNext(pSection_, &cursor_, &pMember_, &line_) != 0) {
        pMember_ = nullptr;
      }
      return *this;
    }
    /** True where both stand on the same member, or both at the end. */
    bool operator==(const iterator& other) const noexcept { return pMember_ == other.pMember_; }
    /** The opposite of ==. */
    bool operator!=(const iterator& other) const noexcept { return !(*this == other); }

   private:
    Walk_t walk_{};
    const char* pSection_ = nullptr;
    VaskInitializationLookupCursor_t cursor_ = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember_ = nullptr;
    size_t line_ = 0;
  };

  /** The members of pSection in what `walk` walks; pSection must outlive the range. */
  BasicMemberRange(Walk_t walk, const char* pSection) noexcept : walk_(walk), pSection_(pSection) {}
  /** The first member. */
  iterator begin() const noexcept { return iterator(walk_, pSection_); }
  /** The end. */
  iterator end() const noexcept { return iterator(); }

 private:
  Walk_t walk_;
  const char* pSection_;
};

/** A logical section: its name and its members. */
template <typename Walk_t>
struct BasicLogicalSection {
  Walk_t walk;       /**< where it stands: a queue or a document */
  const char* pName; /**< its name, owned by the records */

  /** Its name. */
  std::string_view name() const noexcept { return pName; }
  /** Its members, in file order. */
  BasicMemberRange<Walk_t> members() const noexcept { return {walk, pName}; }
};

/** The logical sections, each name once, in the order of first appearance. */
template <typename Walk_t>
class BasicSectionRange {
 public:
  /** Walks the names; each step is one call of the walk. */
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag; /**< one pass only */
    using value_type = BasicLogicalSection<Walk_t>;    /**< what it gives */
    using difference_type = std::ptrdiff_t;            /**< unused */
    using pointer = void;                              /**< no pointer to a section */
    using reference = BasicLogicalSection<Walk_t>;     /**< given by value */

    /** The end. */
    iterator() noexcept = default;
    /** The first section, or the end when there is none. */
    explicit iterator(Walk_t walk) noexcept : walk_(walk) { ++*this; }
    /** The section it stands on. */
    BasicLogicalSection<Walk_t> operator*() const noexcept { return {walk_, pName_}; }
    /** The next section, or the end when there is none (or the walk fails). */
    iterator& operator++() noexcept {
      if (walk_.sectionNext(&cursor_, &pName_) != 0) {
        pName_ = nullptr;
      }
      return *this;
    }
    /** True where both stand on the same section, or both at the end. */
    bool operator==(const iterator& other) const noexcept { return pName_ == other.pName_; }
    /** The opposite of ==. */
    bool operator!=(const iterator& other) const noexcept { return !(*this == other); }

   private:
    Walk_t walk_{};
    VaskInitializationLookupCursor_t cursor_ = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    const char* pName_ = nullptr;
  };

  /** The logical sections of what `walk` walks. */
  explicit BasicSectionRange(Walk_t walk) noexcept : walk_(walk) {}
  /** The first section. */
  iterator begin() const noexcept { return iterator(walk_); }
  /** The end. */
  iterator end() const noexcept { return iterator(); }

 private:
  Walk_t walk_;
};

/** Members of a plain section queue; a whole walk looks at every section once per member. */
using MemberRange = BasicMemberRange<detail::QueueWalk>;
/** A logical section of a plain section queue. */
using LogicalSection = BasicLogicalSection<detail::QueueWalk>;
/** Sections of a plain section queue; a whole walk is quadratic in the number of sections. */
using SectionRange = BasicSectionRange<detail::QueueWalk>;
/** Members of a document, with their lines; a whole walk is linear. */
using DocumentMemberRange = BasicMemberRange<detail::DocumentWalk>;
/** A logical section of a document. */
using DocumentSection = BasicLogicalSection<detail::DocumentWalk>;
/** Sections of a document; a whole walk is linear. */
using DocumentSectionRange = BasicSectionRange<detail::DocumentWalk>;

/**
 * The elements of a list value as VaskInitializationLookup_listElement splits
 * it: at the commas outside brackets and double quotes, each element unchanged
 * (blanks, quotes and brackets kept). Views into the value: valid as long as it is.
 */
class List {
 public:
  /** Walks the elements by index. */
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag; /**< one pass only */
    using value_type = std::string_view;               /**< what it gives */
    using difference_type = std::ptrdiff_t;            /**< unused */
    using pointer = void;                              /**< no pointer to an element */
    using reference = std::string_view;                /**< given by value */

    /** Element `index` of `list`. */
    iterator(const List* pList, size_t index) noexcept : pList_(pList), index_(index) {}
    /** The element it stands on. */
    std::string_view operator*() const noexcept { return (*pList_)[index_]; }
    /** The next element. */
    iterator& operator++() noexcept {
      ++index_;
      return *this;
    }
    /** True where both stand on the same element. */
    bool operator==(const iterator& other) const noexcept { return index_ == other.index_; }
    /** The opposite of ==. */
    bool operator!=(const iterator& other) const noexcept { return !(*this == other); }

   private:
    const List* pList_;
    size_t index_;
  };

  /** No elements. */
  List() noexcept = default;
  /** The elements of pValue (null: none). */
  explicit List(const char* pValue) noexcept : pValue_(pValue) {
    if (pValue_ == nullptr || VaskInitializationLookup_listSize(pValue_, &size_) != 0) {
      size_ = 0;
    }
  }
  /** Their number: 0 for a value of blanks only. */
  size_t size() const noexcept { return size_; }
  /** True when there is none. */
  bool empty() const noexcept { return size_ == 0; }
  /** Element `index`, or an empty view past the last. */
  std::string_view operator[](size_t index) const noexcept {
    const char* pBegin = nullptr;
    const char* pEnd = nullptr;
    if (index >= size_ ||
        VaskInitializationLookup_listElement(pValue_, index, &pBegin, &pEnd) != 0) {
      return {};
    }
    return {pBegin, static_cast<size_t>(pEnd - pBegin)};
  }
  /** The first element. */
  iterator begin() const noexcept { return {this, 0}; }
  /** Past the last element. */
  iterator end() const noexcept { return {this, size_}; }

 private:
  const char* pValue_ = nullptr;
  size_t size_ = 0;
};

/**
 * A file's exact bytes and what the reader reads of them, edited without loss
 * (initialization_document.h): every byte outside the lines an edit changes
 * stays. Closed, with its lock, with the object.
 *
 * After a failed load or parse the object is empty and every edit and save
 * returns the load's code without touching anything, so that a host which does
 * not check loadResult() cannot replace a file with a few keys. Getters give
 * their defaults then, and the load's code.
 */
class Document {
 public:
  /** An empty document: parse("") starts a new text. */
  Document() noexcept = default;
  /** Loads the file as load() does; loadResult() tells how that went. */
  explicit Document(const char* pFilename) noexcept { (void)load(pFilename); }

  /**
   * Reads the file pFilename into a new document that replaces this one (which
   * is closed first). On a failure the object is empty, the code is kept in
   * loadResult() and diagnostic() names a malformed line (19).
   */
  int load(const char* pFilename) noexcept {
    owner_.reset();
    return loaded(VaskInitializationDocument_load(pFilename, owner_.out(), &diagnostic_));
  }
  /** As load(), held as `param` says: lock, size ceiling, creation of a missing file. */
  int open(const char* pFilename, const VaskInitializationDocumentOpenParam_t& param) noexcept {
    owner_.reset();  // first: its lock would block a locked open of the same file
    return loaded(VaskInitializationDocument_open(pFilename, &param, owner_.out(), &diagnostic_));
  }
  /** As load(), from the bytes of `text` (copied); save() then needs a file name. */
  int parse(std::string_view text) noexcept {
    owner_.reset();
    return loaded(
        VaskInitializationDocument_parse(text.data(), text.size(), owner_.out(), &diagnostic_));
  }
  /** The code of the last load, open or parse; 0 before any. */
  int loadResult() const noexcept { return loadResult_; }
  /** Where the last load, open or parse failed: code, line and the line's first bytes. */
  const VaskInitializationDiagnostic_t& diagnostic() const noexcept { return diagnostic_; }
  /** The handle for the C calls; 0 when the object is empty. */
  VaskInitializationDocumentHandle_t handle() const noexcept { return owner_.get(); }
  /** The document's section queue for the lookup calls, to read only; 0 when empty. */
  VaskCommonDQueueHandle_t queue() const noexcept {
    VaskCommonDQueueHandle_t hQueue = 0;
    return VaskInitializationDocument_sections(owner_.get(), &hQueue) == 0 ? hQueue : 0;
  }

  /**
   * The value of pKey in pSection (the last one where it repeats) read as an
   * integer, boolean, real or text; `fallback` when the key is missing, a near
   * miss, or not of the type. *pResult (pResult may be null) gets the code: 0,
   * 16, 17, 18 (not of the type, or out of range); after a failed load the
   * load's code, and 13 for an object never loaded.
   * A text is a view into the document: valid until the next edit.
   */
  std::int64_t get(const char* pSection, const char* pKey, std::int64_t fallback,
                   int* pResult = nullptr) const noexcept {
    return typed(pSection, pKey, fallback, VaskInitializationLookup_parseInteger, pResult);
  }
  /** As above, for an int: a value outside int's range gives `fallback` and 18. */
  int get(const char* pSection, const char* pKey, int fallback,
          int* pResult = nullptr) const noexcept {
    int result = 0;
    const std::int64_t value = get(pSection, pKey, std::int64_t{fallback}, &result);
    if (result == 0 &&
        (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())) {
      result = VaskCommonError_BadValue;
    }
    return report(result, pResult) == 0 ? static_cast<int>(value) : fallback;
  }
  /** As above, for a boolean (1/0, true/false, yes/no, on/off in any case). */
  bool get(const char* pSection, const char* pKey, bool fallback,
           int* pResult = nullptr) const noexcept {
    return typed(pSection, pKey, fallback, VaskInitializationLookup_parseBoolean, pResult);
  }
  /** As above, for a real ('.' as the decimal point whatever the locale). */
  double get(const char* pSection, const char* pKey, double fallback,
             int* pResult = nullptr) const noexcept {
    return typed(pSection, pKey, fallback, VaskInitializationLookup_parseReal, pResult);
  }
  /** As above, for the text of the value. */
  std::string_view get(const char* pSection, const char* pKey, std::string_view fallback,
                       int* pResult = nullptr) const noexcept {
    std::string_view value;
    return report(valueOf(pSection, pKey, &value), pResult) == 0 ? value : fallback;
  }
  /** As above, for a text default given as a C string (null for ""). */
  std::string_view get(const char* pSection, const char* pKey, const char* pFallback,
                       int* pResult = nullptr) const noexcept {
    return get(pSection, pKey, std::string_view(detail::text(pFallback)), pResult);
  }
  /** The text of the value as an owned copy, or `fallback`; codes as get(). */
  std::string getString(const char* pSection, const char* pKey, std::string_view fallback = {},
                        int* pResult = nullptr) const {
    return std::string(get(pSection, pKey, fallback, pResult));
  }
  /**
   * The elements of the value of pKey (List), or none when it is missing;
   * *pResult (may be null) as for get().
   */
  List list(const char* pSection, const char* pKey, int* pResult = nullptr) const noexcept {
    std::string_view value;
    return report(valueOf(pSection, pKey, &value), pResult) == 0 ? List(value.data()) : List();
  }
  /**
   * The member pKey of pSection with its line, or nullopt; *pResult (may be
   * null) as for get(). The entry's section views pSection.
   */
  std::optional<Entry> find(const char* pSection, const char* pKey,
                            int* pResult = nullptr) const noexcept {
    VaskInitializationMember_t* pMember = nullptr;
    size_t line = 0;
    const int result = loadResult_ != 0 ? loadResult_
                                        : VaskInitializationDocument_find(owner_.get(), pSection,
                                                                          pKey, &pMember, &line);
    if (report(result, pResult) != 0) {
      return std::nullopt;
    }
    return Entry{detail::text(pSection), pMember, line};
  }

  /** for (vask::DocumentSection s : doc.sections()) for (vask::Entry e : s.members()) */
  DocumentSectionRange sections() const noexcept {
    return DocumentSectionRange(detail::DocumentWalk{owner_.get()});
  }
  /** Every member line (or those of pSection) with its logical section and line, in file order. */
  DocumentMemberRange members(const char* pSection = nullptr) const noexcept {
    return {detail::DocumentWalk{owner_.get()}, pSection};
  }

  /**
   * Sets pKey of pSection to pValue, changing only its line or adding one
   * (VaskInitializationDocument_set): 13 when it would not read back as given,
   * 17 when only "pKey " is there; the load's code after a failed load.
   */
  int set(const char* pSection, const char* pKey, const char* pValue) noexcept {
    return loadResult_ != 0 ? loadResult_
                            : VaskInitializationDocument_set(owner_.get(), pSection, pKey, pValue);
  }
  /** Removes every line of pKey in pSection; their number in *pRemoved (may be null); 16 when none.
   */
  int remove(const char* pSection, const char* pKey, size_t* pRemoved = nullptr) noexcept {
    return loadResult_ != 0
               ? loadResult_
               : VaskInitializationDocument_remove(owner_.get(), pSection, pKey, pRemoved);
  }
  /** Removes every section named pSection with its members; 16 when there is none. */
  int removeSection(const char* pSection) noexcept {
    return loadResult_ != 0 ? loadResult_
                            : VaskInitializationDocument_removeSection(owner_.get(), pSection);
  }
  /**
   * The document's bytes (a byte order mark included), valid until the next
   * edit; an empty view when the object is empty or on a failure, with the code
   * in *pResult (may be null).
   */
  std::string_view text(int* pResult = nullptr) const noexcept {
    const char* pText = nullptr;
    size_t size = 0;
    const int result = loadResult_ != 0
                           ? loadResult_
                           : VaskInitializationDocument_text(owner_.get(), &pText, &size);
    return report(result, pResult) == 0 ? std::string_view(pText, size) : std::string_view();
  }
  /**
   * Writes the bytes over the file read (null), only while it is the version
   * read, else FileChanged (20) and nothing is written; or to the file
   * pFilename, atomically. The load's code after a failed load.
   */
  int save(const char* pFilename = nullptr) const noexcept {
    return loadResult_ != 0 ? loadResult_
                            : VaskInitializationDocument_save(owner_.get(), pFilename);
  }

 private:
  int loaded(int result) noexcept {
    loadResult_ = result;
    return result;
  }
  static int report(int result, int* pResult) noexcept {
    if (pResult != nullptr) {
      *pResult = result;
    }
    return result;
  }
  int valueOf(const char* pSection, const char* pKey, std::string_view* pValue) const noexcept {
    VaskInitializationMember_t* pMember = nullptr;
    const int result = loadResult_ != 0 ? loadResult_
                                        : VaskInitializationDocument_find(owner_.get(), pSection,
                                                                          pKey, &pMember, nullptr);
    if (result == 0) {
      *pValue = detail::text(pMember->pValue);
    }
    return result;
  }
  template <typename Value_t>
  Value_t typed(const char* pSection, const char* pKey, Value_t fallback,
                int (*parse)(const char*, const char*, Value_t*), int* pResult) const noexcept {
    std::string_view text;
    Value_t value = fallback;
    int result = valueOf(pSection, pKey, &text);
    if (result == 0) {
      result = parse(text.data(), text.data() + text.size(), &value);
    }
    return report(result, pResult) == 0 ? value : fallback;
  }

  detail::Owner<VaskInitializationDocumentHandle_t, VaskInitializationDocument_close> owner_;
  VaskInitializationDiagnostic_t diagnostic_{};
  int loadResult_ = 0;
};

/**
 * A section queue and the sections in it, released together. It writes the
 * queue in the writer's layout, which drops what no record holds (blank lines,
 * indentation, the text a value loses): to edit a host's own file, use Document.
 *
 * After a failed load or parse every edit and save returns the load's code
 * until a load or parse succeeds, so that a file is never replaced by the few
 * keys set on a queue that did not load.
 */
class Sections {
 public:
  /** No queue yet: set() opens an empty one. */
  Sections() noexcept = default;
  /** Loads the file as load() does; loadResult() tells how that went. */
  explicit Sections(const char* pFilename) noexcept { (void)load(pFilename); }

  /** Opens the empty queue; 0 when it is open already. */
  int open() noexcept {
    if (queue_.get() != 0) {
      return 0;
    }
    VaskCommonDQueueOpenParam_t param{};
    param.pDeleteDataHandler = VaskInitializationLookup_sectionDelete;
    return VaskCommonDQueue_open(&param, queue_.out());
  }
  /** The queue for the C calls; 0 before any. */
  VaskCommonDQueueHandle_t handle() const noexcept { return queue_.get(); }
  /** Hands the queue over; the caller closes it. */
  VaskCommonDQueueHandle_t release() noexcept { return queue_.release(); }

  /**
   * Loads the file into a fresh queue that replaces this one only on success:
   * a failed load leaves the old content to read, and refuses edits and saves.
   */
  int load(const char* pFilename) noexcept {
    VaskCommonDQueueHandle_t hFresh = 0;
    loadResult_ = VaskInitializationLookup_load(pFilename, &hFresh);
    if (loadResult_ == 0) {
      detail::Owner<VaskCommonDQueueHandle_t, VaskCommonDQueue_close> fresh(hFresh);
      queue_.swap(fresh);
    }
    return loadResult_;
  }
  /** As load(), from the `size` bytes at pText, which a zero byte must follow. */
  int parse(const char* pText, size_t size) noexcept {
    Sections fresh;
    Reader reader;
    VaskCommonBuffer_t buffer{};
    buffer.pBegin = const_cast<char*>(pText);  // the reader only reads it
    buffer.size = size;
    loadResult_ = fresh.open();
    if (loadResult_ == 0) {
      loadResult_ = reader.open();
    }
    if (loadResult_ == 0) {
      loadResult_ = VaskInitializationReader_parse(reader.handle(), &buffer, fresh.handle());
    }
    if (loadResult_ == 0) {
      queue_.swap(fresh.queue_);
    }
    return loadResult_;
  }
  /** As load(), from the bytes of `text`. */
  int parse(const std::string& text) noexcept { return parse(text.c_str(), text.size()); }
  /** The result of the last load or parse; 0 before any. */
  int loadResult() const noexcept { return loadResult_; }

  /** Writes the sections to the file, atomically; the load's code after a failed load. */
  int save(const char* pFilename) const noexcept {
    Writer writer;
    const int result = loadResult_ != 0 ? loadResult_ : writer.open();
    return result != 0 ? result
                       : VaskInitializationWriter_save(writer.handle(), pFilename, queue_.get());
  }
  /** Writes the sections into a fresh buffer; the load's code after a failed load. */
  int serialize(Buffer* pBuffer) const noexcept {
    Writer writer;
    int result = loadResult_ != 0 ? loadResult_ : writer.open();
    if (result == 0) {
      result = pBuffer->create();
    }
    return result != 0
               ? result
               : VaskInitializationWriter_serialize(writer.handle(), queue_.get(), pBuffer->get());
  }

  /** The value of pKey in pSection (the last one where it repeats), or nullopt. */
  std::optional<std::string_view> find(const char* pSection, const char* pKey) const noexcept {
    VaskInitializationMember_t* pMember = nullptr;
    if (VaskInitializationLookup_find(queue_.get(), pSection, pKey, &pMember) != 0) {
      return std::nullopt;
    }
    return std::string_view(detail::text(pMember->pValue));
  }

  /**
   * The value as std::string_view, int64_t, bool or double: 0, 16 or 17 when
   * missing, 18 when not of the type; `out` is left as it was unless 0.
   */
  int get(const char* pSection, const char* pKey, std::string_view& out) const noexcept {
    const char* pValue = nullptr;
    const int result = VaskInitializationLookup_getString(queue_.get(), pSection, pKey, &pValue);
    if (result == 0) {
      out = pValue;
    }
    return result;
  }
  /** As above, for an integer. */
  int get(const char* pSection, const char* pKey, std::int64_t& out) const noexcept {
    return VaskInitializationLookup_getInteger(queue_.get(), pSection, pKey, &out);
  }
  /** As above, for a boolean. */
  int get(const char* pSection, const char* pKey, bool& out) const noexcept {
    return VaskInitializationLookup_getBoolean(queue_.get(), pSection, pKey, &out);
  }
  /** As above, for a real. */
  int get(const char* pSection, const char* pKey, double& out) const noexcept {
    return VaskInitializationLookup_getReal(queue_.get(), pSection, pKey, &out);
  }

  /**
   * Sets pKey of pSection to pValue (VaskInitializationLookup_set), opening the
   * queue first if it is not open yet; the load's code after a failed load.
   */
  int set(const char* pSection, const char* pKey, const char* pValue) noexcept {
    const int result = loadResult_ != 0 ? loadResult_ : open();
    return result != 0 ? result
                       : VaskInitializationLookup_set(queue_.get(), pSection, pKey, pValue);
  }
  /** Removes every pKey of pSection; 16 when there is none; the load's code after a failed load. */
  int remove(const char* pSection, const char* pKey) noexcept {
    return loadResult_ != 0
               ? loadResult_
               : VaskInitializationLookup_remove(queue_.get(), pSection, pKey, nullptr);
  }

  /** for (vask::LogicalSection s : sections.sections()) for (vask::Entry e : s.members()) */
  SectionRange sections() const noexcept { return SectionRange(queue_.get()); }
  /** Every member line with its logical section, in file order. */
  MemberRange members() const noexcept { return MemberRange(queue_.get(), nullptr); }

 private:
  detail::Owner<VaskCommonDQueueHandle_t, VaskCommonDQueue_close> queue_;
  int loadResult_ = 0;
};

}  // namespace v0
}  // namespace vask

#endif  // VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP
