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

#include "fuzz_sections.h"

namespace {

using vask::fuzz::fail;
using vask::fuzz::Section;

// What reading the written text gives back: a section without members merges
// into the one after it, which keeps its header when it has one.
std::vector<Section> roundTripped(const std::vector<Section>& sections) {
  std::vector<Section> result;
  std::optional<Section> pending;
  for (const Section& section : sections) {
    Section merged = section;
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
  const size_t length = VaskCommonDQueue_length(hQueue);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    if (VaskCommonDQueue_popFront(hQueue, &pItem) != VaskCommonError_Success) {
      fail("popFront failed while walking the sections");
    }
    auto* pSection = static_cast<VaskInitializationSection_t*>(pItem);
    while (((mask >> (i % 64)) & 1U) != 0 && VaskCommonDQueue_length(pSection->hMember) > 0) {
      void* pMemberItem = nullptr;
      if (VaskCommonDQueue_popFront(pSection->hMember, &pMemberItem) != VaskCommonError_Success) {
        fail("popFront failed while taking members out");
      }
      auto* pMember = static_cast<VaskInitializationMember_t*>(pMemberItem);
      (void)VaskInitializationMember_delete(&pMember);
    }
    if (VaskCommonDQueue_pushBack(hQueue, &pItem) != VaskCommonError_Success) {
      fail("pushBack failed while walking the sections");
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
void checkReadShape(const std::vector<Section>& sections) {
  for (size_t i = 0; i < sections.size(); ++i) {
    const Section& section = sections[i];
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size) {
  const std::unique_ptr<char[]> text(new char[size + 1]);
  if (size > 0) {
    std::memcpy(text.get(), pData, size);
  }
  text[size] = '\0';

  // A parse that fails part-way leaves whole sections queued; they round-trip too.
  vask::fuzz::Queue first;
  (void)vask::fuzz::parse(text.get(), size, first.handle());
  const std::vector<Section> sections = vask::fuzz::sectionsOf(first.handle());
  checkReadShape(sections);

  const std::vector<const void*> pointers = vask::fuzz::pointersOf(first.handle());
  std::string written;
  if (vask::fuzz::serialize(first.handle(), &written) != VaskCommonError_Success) {
    fail("serializing failed");
  }
  if (vask::fuzz::pointersOf(first.handle()) != pointers) {
    fail("serializing moved queue items");
  }
  if (written.find('\0') != std::string::npos) {
    fail("the written text holds a zero byte");
  }

  vask::fuzz::Queue second;
  if (vask::fuzz::parse(written.c_str(), written.size(), second.handle()) !=
      VaskCommonError_Success) {
    fail("reading the written text failed");
  }
  if (vask::fuzz::sectionsOf(second.handle()) != roundTripped(sections)) {
    fail("reading the written text gave other sections");
  }
  std::string rewritten;
  if (vask::fuzz::serialize(second.handle(), &rewritten) != VaskCommonError_Success) {
    fail("serializing again failed");
  }
  if (rewritten != written) {
    fail("the layout is not a fixed point");
  }

  membersRemove(first.handle(), maskOf(pData, size));
  const std::vector<Section> edited = vask::fuzz::sectionsOf(first.handle());
  std::string editedText;
  if (vask::fuzz::serialize(first.handle(), &editedText) != VaskCommonError_Success) {
    fail("serializing the edited sections failed");
  }
  vask::fuzz::Queue third;
  if (vask::fuzz::parse(editedText.c_str(), editedText.size(), third.handle()) !=
      VaskCommonError_Success) {
    fail("reading the edited text failed");
  }
  if (vask::fuzz::sectionsOf(third.handle()) != roundTripped(edited)) {
    fail("sections without members did not merge into the ones after them");
  }
  return 0;
}
