// Parse, serialize, parse the text written, serialize again: the two texts are
// equal byte for byte, the sections read back equal the first ones, and a
// serialization leaves every queue item where it was. Then, as a host might,
// take the members out of some sections: reading the written text back merges
// each section left without members into the one after it.
#include <initialization_member.h>
#include <initialization_section.h>
#include <vask_common_c/common_error.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_fail.h"
#include "sections.h"

namespace {

using vask::fuzz::fail;
using vask::test::SectionView;
using vask::test::Views;

// The sections of a queue as plain values, for the merge model.
Views viewsOf(VaskCommonDQueueHandle_t hQueue) {
  const auto textOf = [](const char* pText) {
    return pText ? vask::test::Text(pText) : std::nullopt;
  };
  Views views;
  for (void* pItem : vask::test::itemsOf(hQueue)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    SectionView& view = views.emplace_back();
    for (void* pComment : vask::test::itemsOf(pSection->hComment)) {
      view.comments.emplace_back(static_cast<const char*>(pComment));
    }
    view.header = textOf(pSection->pHeader);
    for (void* pMember : vask::test::itemsOf(pSection->hMember)) {
      const auto* p = static_cast<const VaskInitializationMember_t*>(pMember);
      view.members.push_back({textOf(p->pKey), textOf(p->pValue), textOf(p->pComment)});
    }
  }
  return views;
}

// What reading the written text gives back: a section without members merges
// into the one after it, which keeps its header when it has one.
Views roundTripped(const Views& sections) {
  Views result;
  std::optional<SectionView> pending;
  for (const SectionView& section : sections) {
    SectionView merged = section;
    if (pending) {
      merged.comments.insert(merged.comments.begin(), pending->comments.begin(),
                             pending->comments.end());
      if (!merged.header) {
        merged.header = pending->header;
      }
      pending.reset();
    }
    if (merged.members.empty()) {
      pending = merged;
    } else {
      result.push_back(merged);
    }
  }
  // A last section left with nothing at all writes nothing, and nothing is read.
  if (pending && (!pending->comments.empty() || pending->header)) {
    result.push_back(*pending);
  }
  return result;
}

// Deletes the members of every section whose bit is set in `mask` (bit i % 64
// for section i).
void membersRemove(VaskCommonDQueueHandle_t hQueue, uint64_t mask) {
  const std::vector<void*> sections = vask::test::itemsOf(hQueue);
  for (size_t i = 0; i < sections.size(); ++i) {
    const auto* pSection = static_cast<VaskInitializationSection_t*>(sections[i]);
    void* pItem = nullptr;
    while (((mask >> (i % 64)) & 1U) != 0 &&
           VaskCommonDQueue_remove(pSection->hMember, 0, &pItem) == VaskCommonError_Success) {
      auto* pMember = static_cast<VaskInitializationMember_t*>(pItem);
      (void)VaskInitializationMember_delete(&pMember);
    }
  }
}

// Which sections lose their members: a hash of the input, so that the
// fuzzer's changes reach every pattern.
uint64_t maskOf(const uint8_t* pData, size_t size) {
  uint64_t hash = 14695981039346656037ULL;
  for (size_t i = 0; i < size; ++i) {
    hash = (hash ^ pData[i]) * 1099511628211ULL;
  }
  return hash;
}

// Sections read in one go always meet the condition under which a round trip
// changes nothing: members in every section but the last, a header or comment
// at the start of every section but the first, key and value everywhere.
void checkReadShape(const Views& sections) {
  for (size_t i = 0; i < sections.size(); ++i) {
    const SectionView& section = sections[i];
    if (i + 1 < sections.size() && section.members.empty()) {
      fail("a section other than the last has no member");
    }
    if (i > 0 && !section.header && section.comments.empty()) {
      fail("a section other than the first has neither header nor comment");
    }
    if (section.comments.empty() && !section.header && section.members.empty()) {
      fail("an empty section was queued");
    }
    for (const auto& member : section.members) {
      if (!member.key || !member.value) {
        fail("a member without key or value");
      }
    }
  }
}

// Reads back what the writer writes for hQueue: the sections must be the model's.
// Gives the text written and the text that the sections read back write.
std::pair<std::string, std::string> expectReadBack(VaskCommonDQueueHandle_t hQueue,
                                                   const Views& expected, const char* pWhat) {
  const std::string written = vask::test::written(hQueue);
  if (written.find('\0') != std::string::npos) {
    fail("the written text holds a zero byte");
  }
  const vask::Sections read = vask::test::queueOf();
  if (vask::test::parseInto(written, read.handle()) != VaskCommonError_Success) {
    fail("reading the written text failed");
  }
  if (vask::test::dump(read.handle()) != vask::test::dump(vask::test::queueOf(expected).handle())) {
    fail(pWhat);
  }
  return {written, vask::test::written(read.handle())};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
  const std::unique_ptr<char[]> text(new char[size + 1]);
  if (size > 0) {
    std::memcpy(text.get(), pData, size);
  }
  text[size] = '\0';

  // A parse that fails part-way leaves whole sections queued; they round-trip too.
  const vask::Sections first = vask::test::queueOf();
  (void)vask::test::parseInto(std::string_view(text.get(), size), first.handle());
  const Views sections = viewsOf(first.handle());
  checkReadShape(sections);

  const auto queues = vask::test::queuesOf(first.handle());
  expectReadBack(first.handle(), roundTripped(sections),
                 "reading the written text gave other sections");
  if (vask::test::queuesOf(first.handle()) != queues) {
    fail("serializing moved queue items");
  }

  membersRemove(first.handle(), maskOf(pData, size));
  expectReadBack(first.handle(), roundTripped(viewsOf(first.handle())),
                 "sections without members did not merge into the ones after them");
  return 0;
}
