#include "sections.h"

#include <cstdlib>
#include <cstring>

namespace vask::test {
namespace {

void check(int result) {
  if (result != 0) {
    std::abort();
  }
}

std::vector<void*> itemsOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<void*> items(VaskCommonDQueue_length(hQueue));
  for (size_t i = 0; i < items.size(); ++i) {
    check(VaskCommonDQueue_at(hQueue, i, &items[i]));
  }
  return items;
}

Text textOf(const char* pText) {
  return pText != nullptr ? Text(pText) : std::nullopt;
}

char* copyOf(const Text& text) {
  return text ? strdup(text->c_str()) : nullptr;
}

void push(VaskCommonDQueueHandle_t hQueue, void* pItem) {
  check(VaskCommonDQueue_pushBack(hQueue, &pItem));
}

}  // namespace

Views viewOf(VaskCommonDQueueHandle_t hQueue) {
  Views result;
  for (void* pItem : itemsOf(hQueue)) {
    const auto* pSection = static_cast<const VaskInitializationSection_t*>(pItem);
    SectionView& section = result.emplace_back();
    for (void* pComment : itemsOf(pSection->hComment)) {
      section.comments.emplace_back(static_cast<const char*>(pComment));
    }
    section.header = textOf(pSection->pHeader);
    for (void* pMember : itemsOf(pSection->hMember)) {
      const auto* p = static_cast<const VaskInitializationMember_t*>(pMember);
      section.members.push_back({textOf(p->pKey), textOf(p->pValue), textOf(p->pComment)});
    }
  }
  return result;
}

std::string dump(VaskCommonDQueueHandle_t hQueue) {
  std::string text;
  std::string separator;
  for (const SectionView& section : viewOf(hQueue)) {
    for (const std::string& comment : section.comments) {
      text += std::exchange(separator, ", ") + comment;
    }
    if (section.header) {
      text += std::exchange(separator, ", ") + "[" + *section.header + "]";
    }
    for (const MemberView& member : section.members) {
      text += std::exchange(separator, ", ") + member.key.value_or("(null)") + "=" +
              member.value.value_or("(null)") + (member.comment ? " " + *member.comment : "");
    }
    separator = " | ";
  }
  return text;
}

std::vector<std::vector<void*>> queuesOf(VaskCommonDQueueHandle_t hQueue) {
  std::vector<std::vector<void*>> queues{itemsOf(hQueue)};
  for (void* pItem : itemsOf(hQueue)) {
    queues.push_back(itemsOf(static_cast<VaskInitializationSection_t*>(pItem)->hComment));
    queues.push_back(itemsOf(static_cast<VaskInitializationSection_t*>(pItem)->hMember));
  }
  return queues;
}

vask::Sections queueOf(const Views& sections) {
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

std::string written(VaskCommonDQueueHandle_t hQueue) {
  vask::Writer writer;
  vask::Buffer buffer;
  check(writer.open() | buffer.create());
  check(VaskInitializationWriter_serialize(writer.handle(), hQueue, buffer.get()));
  return std::string(buffer.view());
}

int parseInto(const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue) {
  vask::Reader reader;
  VaskCommonBuffer_t buffer{const_cast<char*>(pText), 0, size, nullptr, false};
  check(reader.open());
  return VaskInitializationReader_parse(reader.handle(), &buffer, hQueue);
}

}  // namespace vask::test
