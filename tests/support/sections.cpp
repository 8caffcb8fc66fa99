#include "sections.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <cstring>

namespace vask::test {
namespace {

void printOptional(const std::optional<std::string>& text, std::ostream* pOut) {
  if (text) {
    *pOut << '"' << *text << '"';
  } else {
    *pOut << "null";
  }
}

std::optional<std::string> optionalOf(const char* pText) {
  return pText != nullptr ? std::optional<std::string>(pText) : std::nullopt;
}

char* heapCopy(const std::optional<std::string>& text) {
  return text ? strdup(text->c_str()) : nullptr;
}

void check(int result) {
  if (result != VaskCommonError_Success) {
    std::abort();
  }
}

}  // namespace

void PrintTo(const MemberView& member, std::ostream* pOut) {
  *pOut << '(';
  printOptional(member.key, pOut);
  *pOut << ", ";
  printOptional(member.value, pOut);
  *pOut << ", ";
  printOptional(member.comment, pOut);
  *pOut << ')';
}

void PrintTo(const SectionView& section, std::ostream* pOut) {
  *pOut << "{comments [";
  for (const auto& comment : section.comments) {
    *pOut << '"' << comment << "\" ";
  }
  *pOut << "] header ";
  printOptional(section.header, pOut);
  *pOut << " members [";
  for (const auto& member : section.members) {
    PrintTo(member, pOut);
    *pOut << ' ';
  }
  *pOut << "]}";
}

int sectionDeleteItem(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

std::vector<void*> queueItems(VaskCommonDQueueHandle_t handle) {
  std::vector<void*> items;
  const size_t length = VaskCommonDQueue_length(handle);
  for (size_t i = 0; i < length; ++i) {
    void* pItem = nullptr;
    check(VaskCommonDQueue_popFront(handle, &pItem));
    items.push_back(pItem);
    check(VaskCommonDQueue_pushBack(handle, &pItem));
  }
  return items;
}

SectionQueue::SectionQueue() {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = sectionDeleteItem;
  check(VaskCommonDQueue_open(&param, &handle_));
}

SectionQueue::~SectionQueue() {
  (void)VaskCommonDQueue_close(&handle_);
}

size_t SectionQueue::length() const {
  return VaskCommonDQueue_length(handle_);
}

std::vector<SectionView> SectionQueue::view() const {
  std::vector<SectionView> result;
  for (void* pItem : queueItems(handle_)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    SectionView section;
    for (void* pComment : queueItems(pSection->hComment)) {
      section.comments.emplace_back(static_cast<const char*>(pComment));
    }
    section.header = optionalOf(pSection->pHeader);
    for (void* pMember : queueItems(pSection->hMember)) {
      const auto* p = static_cast<const VaskInitializationMember_t*>(pMember);
      section.members.push_back(
          {optionalOf(p->pKey), optionalOf(p->pValue), optionalOf(p->pComment)});
    }
    result.push_back(std::move(section));
  }
  return result;
}

std::vector<const void*> SectionQueue::pointers() const {
  std::vector<const void*> result;
  for (void* pItem : queueItems(handle_)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    result.push_back(pItem);
    for (void* pComment : queueItems(pSection->hComment)) {
      result.push_back(pComment);
    }
    for (void* pMember : queueItems(pSection->hMember)) {
      result.push_back(pMember);
    }
  }
  return result;
}

void SectionQueue::push(const SectionView& section) {
  VaskInitializationSection_t* pSection = nullptr;
  check(VaskInitializationSection_create(&pSection));
  for (const auto& comment : section.comments) {
    void* pComment = strdup(comment.c_str());
    check(VaskCommonDQueue_pushBack(pSection->hComment, &pComment));
  }
  pSection->pHeader = heapCopy(section.header);
  for (const auto& member : section.members) {
    VaskInitializationMember_t* pMember = nullptr;
    check(VaskInitializationMember_create(&pMember));
    pMember->pKey = heapCopy(member.key);
    pMember->pValue = heapCopy(member.value);
    pMember->pComment = heapCopy(member.comment);
    void* pItem = pMember;
    check(VaskCommonDQueue_pushBack(pSection->hMember, &pItem));
  }
  void* pItem = pSection;
  check(VaskCommonDQueue_pushBack(handle_, &pItem));
}

}  // namespace vask::test
