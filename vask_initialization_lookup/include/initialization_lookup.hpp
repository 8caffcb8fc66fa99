// C++ wrapper over libvask_initialization and its lookup library: owners of the
// section queue and the handles, range-for over logical sections and members,
// typed lookups and edits.
//
// This is the one public header that is C++ only (C++17 or later); every other
// header compiles as C too. Header-only and exception-free: every operation
// returns the libraries' result codes (initialization_lookup.h) or an
// std::optional, and nothing here allocates except through the libraries.
// Link libvask_initialization_lookup (pkg-config vask_initialization_lookup,
// CMake Vask::initialization_lookup).
#ifndef VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP
#define VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP

#include <initialization_lookup.h>
#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
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

}  // namespace detail

// A reader handle, opened by open() and closed with the object.
class Reader {
 public:
  int open() noexcept {
    return owner_.get() != 0 ? 0 : VaskInitializationReader_open(owner_.out());
  }
  VaskInitializationReaderHandle_t handle() const noexcept { return owner_.get(); }

 private:
  detail::Owner<VaskInitializationReaderHandle_t, VaskInitializationReader_close> owner_;
};

// A writer handle, opened by open() and closed with the object.
class Writer {
 public:
  int open() noexcept {
    return owner_.get() != 0 ? 0 : VaskInitializationWriter_open(owner_.out());
  }
  VaskInitializationWriterHandle_t handle() const noexcept { return owner_.get(); }

 private:
  detail::Owner<VaskInitializationWriterHandle_t, VaskInitializationWriter_close> owner_;
};

// A buffer record, created by create() and deleted (with its bytes) with the object.
class Buffer {
 public:
  Buffer() noexcept = default;
  ~Buffer() { (void)VaskCommonBuffer_delete(&pBuffer_); }
  Buffer(Buffer&& other) noexcept : pBuffer_(std::exchange(other.pBuffer_, nullptr)) {}
  Buffer& operator=(Buffer&& other) noexcept {
    std::swap(pBuffer_, other.pBuffer_);
    return *this;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  int create() noexcept { return pBuffer_ != nullptr ? 0 : VaskCommonBuffer_create(&pBuffer_); }
  VaskCommonBuffer_t* get() const noexcept { return pBuffer_; }
  // The bytes, or an empty view before anything was loaded or written.
  std::string_view view() const noexcept {
    return pBuffer_ != nullptr && pBuffer_->pBegin != nullptr
               ? std::string_view(pBuffer_->pBegin, pBuffer_->size)
               : std::string_view();
  }

 private:
  VaskCommonBuffer_t* pBuffer_ = nullptr;
};

// One member line as lookup sees it: the logical section it belongs to and the record.
struct Entry {
  std::string_view section;
  VaskInitializationMember_t* pMember;

  std::string_view key() const noexcept { return detail::text(pMember->pKey); }
  std::string_view value() const noexcept { return detail::text(pMember->pValue); }
  std::optional<std::string_view> comment() const noexcept {
    return pMember->pComment != nullptr ? std::optional<std::string_view>(pMember->pComment)
                                        : std::nullopt;
  }
};

// The members of one logical section (or of all, for a null name), in file order.
class MemberRange {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Entry;

    iterator() noexcept = default;
    iterator(VaskCommonDQueueHandle_t hQueue, const char* pSection) noexcept
        : hQueue_(hQueue), pSection_(pSection) {
      ++*this;
    }
    Entry operator*() const noexcept { return {detail::text(cursor_.pName), pMember_}; }
    iterator& operator++() noexcept {
      if (VaskInitializationLookup_memberNext(hQueue_, pSection_, &cursor_, &pMember_) != 0) {
        pMember_ = nullptr;
      }
      return *this;
    }
    bool operator==(const iterator& other) const noexcept { return pMember_ == other.pMember_; }
    bool operator!=(const iterator& other) const noexcept { return !(*this == other); }

   private:
    VaskCommonDQueueHandle_t hQueue_ = 0;
    const char* pSection_ = nullptr;
    VaskInitializationLookupCursor_t cursor_ = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember_ = nullptr;
  };

  MemberRange(VaskCommonDQueueHandle_t hQueue, const char* pSection) noexcept
      : hQueue_(hQueue), pSection_(pSection) {}
  iterator begin() const noexcept { return iterator(hQueue_, pSection_); }
  iterator end() const noexcept { return iterator(); }

 private:
  VaskCommonDQueueHandle_t hQueue_;
  const char* pSection_;
};

// A logical section: its name and its members.
struct LogicalSection {
  VaskCommonDQueueHandle_t hQueue;
  const char* pName;

  std::string_view name() const noexcept { return pName; }
  MemberRange members() const noexcept { return MemberRange(hQueue, pName); }
};

// The logical sections, each name once, in the order of first appearance.
class SectionRange {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = LogicalSection;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = LogicalSection;

    iterator() noexcept = default;
    explicit iterator(VaskCommonDQueueHandle_t hQueue) noexcept : hQueue_(hQueue) { ++*this; }
    LogicalSection operator*() const noexcept { return {hQueue_, pName_}; }
    iterator& operator++() noexcept {
      if (VaskInitializationLookup_sectionNext(hQueue_, &cursor_, &pName_) != 0) {
        pName_ = nullptr;
      }
      return *this;
    }
    bool operator==(const iterator& other) const noexcept { return pName_ == other.pName_; }
    bool operator!=(const iterator& other) const noexcept { return !(*this == other); }

   private:
    VaskCommonDQueueHandle_t hQueue_ = 0;
    VaskInitializationLookupCursor_t cursor_ = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    const char* pName_ = nullptr;
  };

  explicit SectionRange(VaskCommonDQueueHandle_t hQueue) noexcept : hQueue_(hQueue) {}
  iterator begin() const noexcept { return iterator(hQueue_); }
  iterator end() const noexcept { return iterator(); }

 private:
  VaskCommonDQueueHandle_t hQueue_;
};

// A section queue and the sections in it, released together.
class Sections {
 public:
  Sections() noexcept = default;
  // Loads the file as load() does; loadResult() tells how that went.
  explicit Sections(const char* pFilename) noexcept { (void)load(pFilename); }

  // Opens the empty queue; 0 when it is open already.
  int open() noexcept {
    if (queue_.get() != 0) {
      return 0;
    }
    VaskCommonDQueueOpenParam_t param{};
    param.pDeleteDataHandler = VaskInitializationLookup_sectionDelete;
    return VaskCommonDQueue_open(&param, queue_.out());
  }
  VaskCommonDQueueHandle_t handle() const noexcept { return queue_.get(); }
  // Hands the queue over; the caller closes it.
  VaskCommonDQueueHandle_t release() noexcept { return queue_.release(); }

  // Loads the file, or parses size bytes at pText (a zero byte must follow
  // them), into a fresh queue that replaces this one only on success: a failed
  // load leaves the old content.
  int load(const char* pFilename) noexcept {
    VaskCommonDQueueHandle_t hFresh = 0;
    loadResult_ = VaskInitializationLookup_load(pFilename, &hFresh);
    if (loadResult_ == 0) {
      detail::Owner<VaskCommonDQueueHandle_t, VaskCommonDQueue_close> fresh(hFresh);
      queue_.swap(fresh);
    }
    return loadResult_;
  }
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
  int parse(const std::string& text) noexcept { return parse(text.c_str(), text.size()); }
  // The result of the last load or parse; 0 before any.
  int loadResult() const noexcept { return loadResult_; }

  // Writes the sections to the file (atomically), or into a fresh buffer.
  int save(const char* pFilename) const noexcept {
    Writer writer;
    const int result = writer.open();
    return result != 0 ? result
                       : VaskInitializationWriter_save(writer.handle(), pFilename, queue_.get());
  }
  int serialize(Buffer* pBuffer) const noexcept {
    Writer writer;
    int result = writer.open();
    if (result == 0) {
      result = pBuffer->create();
    }
    return result != 0
               ? result
               : VaskInitializationWriter_serialize(writer.handle(), queue_.get(), pBuffer->get());
  }

  // The value of pKey in pSection (the last one where it repeats), or nullopt.
  std::optional<std::string_view> find(const char* pSection, const char* pKey) const noexcept {
    VaskInitializationMember_t* pMember = nullptr;
    if (VaskInitializationLookup_find(queue_.get(), pSection, pKey, &pMember) != 0) {
      return std::nullopt;
    }
    return std::string_view(detail::text(pMember->pValue));
  }

  // The value as std::string_view, int64_t, bool or double: 0, 16 or 17 when
  // missing, 18 when not of the type; `out` is left as it was unless 0.
  int get(const char* pSection, const char* pKey, std::string_view& out) const noexcept {
    const char* pValue = nullptr;
    const int result = VaskInitializationLookup_getString(queue_.get(), pSection, pKey, &pValue);
    if (result == 0) {
      out = pValue;
    }
    return result;
  }
  int get(const char* pSection, const char* pKey, std::int64_t& out) const noexcept {
    return VaskInitializationLookup_getInteger(queue_.get(), pSection, pKey, &out);
  }
  int get(const char* pSection, const char* pKey, bool& out) const noexcept {
    return VaskInitializationLookup_getBoolean(queue_.get(), pSection, pKey, &out);
  }
  int get(const char* pSection, const char* pKey, double& out) const noexcept {
    return VaskInitializationLookup_getReal(queue_.get(), pSection, pKey, &out);
  }

  // Sets pKey of pSection to pValue (see VaskInitializationLookup_set); opens
  // the queue first if it is not open yet.
  int set(const char* pSection, const char* pKey, const char* pValue) noexcept {
    const int result = open();
    return result != 0 ? result
                       : VaskInitializationLookup_set(queue_.get(), pSection, pKey, pValue);
  }
  // Removes every pKey of pSection; 16 when there is none.
  int remove(const char* pSection, const char* pKey) noexcept {
    return VaskInitializationLookup_remove(queue_.get(), pSection, pKey, nullptr);
  }

  // for (vask::LogicalSection section : sections.sections()) for (vask::Entry e :
  // section.members())
  SectionRange sections() const noexcept { return SectionRange(queue_.get()); }
  // Every member line with its logical section, in file order.
  MemberRange members() const noexcept { return MemberRange(queue_.get(), nullptr); }

 private:
  detail::Owner<VaskCommonDQueueHandle_t, VaskCommonDQueue_close> queue_;
  int loadResult_ = 0;
};

}  // namespace v0
}  // namespace vask

#endif  // VASK_INITIALIZATION_LOOKUP_INITIALIZATION_LOOKUP_HPP
