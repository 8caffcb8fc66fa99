#include "fuzz_sections.h"

#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vask::fuzz {
namespace {

// The queue calls its handler through a pointer of exactly this type; calling
// the section delete through a cast pointer would be undefined.
int section_deleteItem(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

void check(int result, const char* pWhat) {
  if (result != VaskCommonError_Success) {
    fail(pWhat);
  }
}

std::optional<std::string> optionalOf(const char* pText) {
  return pText != nullptr ? std::optional<std::string>(pText) : std::nullopt;
}

std::vector<void*> itemsOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<void*> items;
  const size_t length = VaskCommonDQueue_length(hQueue);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    check(VaskCommonDQueue_popFront(hQueue, &pItem), "popFront failed while walking a queue");
    items.push_back(pItem);
    check(VaskCommonDQueue_pushBack(hQueue, &pItem), "pushBack failed while walking a queue");
  }
  return items;
}

}  // namespace

void fail(const char* pWhat) {
  std::fprintf(stderr, "finding: %s\n", pWhat);
  std::abort();
}

Queue::Queue() {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = section_deleteItem;
  check(VaskCommonDQueue_open(&param, &handle_), "cannot open a section queue");
}

Queue::~Queue() {
  check(VaskCommonDQueue_close(&handle_), "cannot close a section queue");
}

std::vector<Section> sectionsOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<Section> sections;
  for (void* pItem : itemsOf(hQueue)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    Section section;
    for (void* pComment : itemsOf(pSection->hComment)) {
      section.comments.emplace_back(static_cast<const char*>(pComment));
    }
    section.header = optionalOf(pSection->pHeader);
    for (void* pItemMember : itemsOf(pSection->hMember)) {
      const auto* pMember = static_cast<const VaskInitializationMember_t*>(pItemMember);
      section.members.push_back(
          {optionalOf(pMember->pKey), optionalOf(pMember->pValue), optionalOf(pMember->pComment)});
    }
    sections.push_back(std::move(section));
  }
  return sections;
}

std::vector<const void*> pointersOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<const void*> pointers;
  for (void* pItem : itemsOf(hQueue)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    pointers.push_back(pItem);
    for (void* pComment : itemsOf(pSection->hComment)) {
      pointers.push_back(pComment);
    }
    for (void* pMember : itemsOf(pSection->hMember)) {
      pointers.push_back(pMember);
    }
  }
  return pointers;
}

int parse(const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue) {
  VaskInitializationReaderHandle_t handle = 0;
  check(VaskInitializationReader_open(&handle), "cannot open a reader");
  VaskCommonBuffer_t buffer{const_cast<char*>(pText), 0, size, nullptr, false};
  const int result = VaskInitializationReader_parse(handle, &buffer, hQueue);
  check(VaskInitializationReader_close(&handle), "cannot close a reader");
  return result;
}

int serialize(VaskCommonDQueueHandle_t hQueue, std::string* pText) {
  VaskInitializationWriterHandle_t handle = 0;
  check(VaskInitializationWriter_open(&handle), "cannot open a writer");
  VaskCommonBuffer_t buffer{};
  const int result = VaskInitializationWriter_serialize(handle, hQueue, &buffer);
  if (buffer.pBegin != nullptr) {
    if (!buffer.isAllocated || buffer.pBegin[buffer.size] != '\0') {
      fail("the serialized text is not an owned, terminated buffer");
    }
    pText->assign(buffer.pBegin, buffer.size);
    std::free(buffer.pBegin);
  }
  check(VaskInitializationWriter_close(&handle), "cannot close a writer");
  return result;
}

}  // namespace vask::fuzz
