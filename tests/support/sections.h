// Section queues shown as one line (walked with VaskCommonDQueue_at) and filled from plain
// views, with the public C++ wrapper's owners. No GoogleTest in here: the fuzz targets use
// it too. Every helper aborts when a call fails.
#ifndef VASK_TESTS_SUPPORT_SECTIONS_H
#define VASK_TESTS_SUPPORT_SECTIONS_H

#include <initialization_lookup.hpp>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vask::test {

using Text = std::optional<std::string>;  // a record's string; nullopt for a null one
struct MemberView {
  Text key{}, value{}, comment{};  // what an initializer leaves out is null
};
struct SectionView {
  std::vector<std::string> comments{};
  Text header{};
  std::vector<MemberView> members{};
};
using Views = std::vector<SectionView>;

inline void check(int result) {
  return result == 0 ? void() : std::abort();
}

inline std::vector<void*> itemsOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<void*> items(VaskCommonDQueue_length(hQueue));
  for (size_t i = 0; i < items.size(); ++i) {
    check(VaskCommonDQueue_at(hQueue, i, &items[i]));
  }
  return items;
}

// The items of the section queue, then of each section's comment and member queues.
inline std::vector<std::vector<void*>> queuesOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<std::vector<void*>> queues{itemsOf(hQueue)};
  for (void* pItem : itemsOf(hQueue)) {
    queues.push_back(itemsOf(static_cast<VaskInitializationSection_t*>(pItem)->hComment));
    queues.push_back(itemsOf(static_cast<VaskInitializationSection_t*>(pItem)->hMember));
  }
  return queues;
}

// The sections in one line: "# c, [s], k=v # tail, =v | [t], a=1" (each section's
// comments, [header] and members; a null key or value shows as "(null)").
inline std::string dump(VaskCommonDQueueHandle_t hQueue) {
  std::string text;
  std::string separator;
  for (void* pItem : itemsOf(hQueue)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    for (void* pComment : itemsOf(pSection->hComment)) {
      text += std::exchange(separator, ", ") + static_cast<const char*>(pComment);
    }
    if (pSection->pHeader != nullptr) {
      text += std::exchange(separator, ", ") + "[" + pSection->pHeader + "]";
    }
    for (void* pMember : itemsOf(pSection->hMember)) {
      const auto* p = static_cast<const VaskInitializationMember_t*>(pMember);
      text += std::exchange(separator, ", ") + (p->pKey ? p->pKey : "(null)") + "=" +
              (p->pValue ? p->pValue : "(null)") +
              (p->pComment ? " " + std::string(p->pComment) : "");
    }
    separator = " | ";
  }
  return text;
}

// An open section queue holding copies of the sections.
inline vask::Sections queueOf(const Views& sections = {}) {
  const auto copyOf = [](const Text& text) { return text ? strdup(text->c_str()) : nullptr; };
  const auto push = [](uintptr_t hQueue, void* p) { check(VaskCommonDQueue_pushBack(hQueue, &p)); };
  vask::Sections queue;
  check(queue.open());
  for (const SectionView& view : sections) {
    VaskInitializationSection_t* pSection = nullptr;
    check(VaskInitializationSection_create(&pSection));
    for (const std::string& comment : view.comments) {
      push(pSection->hComment, strdup(comment.c_str()));
    }
    pSection->pHeader = copyOf(view.header);
    for (const MemberView& member : view.members) {
      VaskInitializationMember_t* pMember = nullptr;
      check(VaskInitializationMember_create(&pMember));
      *pMember = {copyOf(member.key), copyOf(member.value), copyOf(member.comment)};
      push(pSection->hMember, pMember);
    }
    push(queue.handle(), pSection);
  }
  return queue;
}

// The text the queue serializes to.
inline std::string written(VaskCommonDQueueHandle_t hQueue) {
  vask::Writer writer;
  vask::Buffer buffer;
  check(writer.open() | buffer.create());
  check(VaskInitializationWriter_serialize(writer.handle(), hQueue, buffer.get()));
  return std::string(buffer.view());
}

// Parses the text (a zero byte must follow it) into hQueue as it stands: a failed parse
// leaves the sections read before in the queue.
inline int parseInto(std::string_view text, VaskCommonDQueueHandle_t hQueue) {
  vask::Reader reader;
  VaskCommonBuffer_t buffer{const_cast<char*>(text.data()), 0, text.size(), nullptr, false};
  check(reader.open());
  return VaskInitializationReader_parse(reader.handle(), &buffer, hQueue);
}

// What the reader makes of a text, past a UTF-8 byte order mark (which a
// document keeps out of the reading), as dump() shows it.
inline std::string readerView(std::string_view text) {
  if (text.starts_with("\xef\xbb\xbf")) {
    text.remove_prefix(3);
  }
  const vask::Sections queue = queueOf();
  return parseInto(std::string(text), queue.handle()) == 0 ? dump(queue.handle())
                                                           : "(does not load)";
}

// The lines of a text without their line feeds, a byte order mark left out.
inline std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  if (text.starts_with("\xef\xbb\xbf")) {
    text.remove_prefix(3);
  }
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

// Whether the lines of `part` stand in `whole`, in order.
inline bool isSubsequence(const std::vector<std::string>& part,
                          const std::vector<std::string>& whole) {
  size_t at = 0;
  for (const std::string& line : whole) {
    at += at < part.size() && part[at] == line ? 1 : 0;
  }
  return at == part.size();
}

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_SECTIONS_H
