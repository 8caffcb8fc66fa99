#include "ini_library.h"

#include "ini_error.h"
#include "ini_text.h"

#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace vask_ini {

namespace {

// Failures of queue and handle calls are not the user's doing; they end the
// run with the library's text.
void require(int code, const char* pWhat) {
  if (code != VaskCommonError_Success) {
    throw ToolError(kExitFailure, std::string(pWhat) + ": " + codeText(code));
  }
}

struct BufferDelete {
  void operator()(VaskCommonBuffer_t* pBuffer) const { (void)VaskCommonBuffer_delete(&pBuffer); }
};
using BufferPtr = std::unique_ptr<VaskCommonBuffer_t, BufferDelete>;

BufferPtr buffer_make() {
  VaskCommonBuffer_t* pBuffer = nullptr;
  require(VaskCommonBuffer_create(&pBuffer), "cannot create a buffer");
  return BufferPtr(pBuffer);
}

}  // namespace

int sectionItem_delete(void** ppData) {
  auto* pSection = static_cast<VaskInitializationSection_t*>(*ppData);
  const int result = VaskInitializationSection_delete(&pSection);
  *ppData = pSection;
  return result;
}

int memberItem_delete(void** ppData) {
  auto* pMember = static_cast<VaskInitializationMember_t*>(*ppData);
  const int result = VaskInitializationMember_delete(&pMember);
  *ppData = pMember;
  return result;
}

void queue_pushBack(VaskCommonDQueueHandle_t hQueue, void* pItem,
                    VaskCommonDQueueDeleteDataHandler_t pDelete) {
  const int result = VaskCommonDQueue_pushBack(hQueue, &pItem);
  if (result != VaskCommonError_Success) {
    (void)pDelete(&pItem);
    require(result, "cannot add to a queue");
  }
}

void queue_pushFront(VaskCommonDQueueHandle_t hQueue, void* pItem,
                     VaskCommonDQueueDeleteDataHandler_t pDelete) {
  // The queue only appends: append, then move every older item behind it.
  const size_t count = VaskCommonDQueue_length(hQueue);
  queue_pushBack(hQueue, pItem, pDelete);
  for (size_t index = 0; index < count; ++index) {
    void* pOlder = nullptr;
    require(VaskCommonDQueue_popFront(hQueue, &pOlder), "cannot walk a queue");
    queue_pushBack(hQueue, pOlder, pDelete);
  }
}

std::vector<void*> queue_items(VaskCommonDQueueHandle_t hQueue,
                               VaskCommonDQueueDeleteDataHandler_t pDelete) {
  const size_t count = VaskCommonDQueue_length(hQueue);
  std::vector<void*> items;
  items.reserve(count);
  for (size_t index = 0; index < count; ++index) {
    void* pItem = nullptr;
    require(VaskCommonDQueue_popFront(hQueue, &pItem), "cannot walk a queue");
    items.push_back(pItem);
    queue_pushBack(hQueue, pItem, pDelete);
  }
  return items;
}

size_t queue_removeIf(VaskCommonDQueueHandle_t hQueue, VaskCommonDQueueDeleteDataHandler_t pDelete,
                      const std::function<bool(void*)>& isDoomed) {
  const size_t count = VaskCommonDQueue_length(hQueue);
  size_t removed = 0;
  for (size_t index = 0; index < count; ++index) {
    void* pItem = nullptr;
    require(VaskCommonDQueue_popFront(hQueue, &pItem), "cannot walk a queue");
    if (isDoomed(pItem)) {
      (void)pDelete(&pItem);
      ++removed;
    } else {
      queue_pushBack(hQueue, pItem, pDelete);
    }
  }
  return removed;
}

std::vector<VaskInitializationSection_t*> sectionsOf(VaskCommonDQueueHandle_t hQueueSection) {
  std::vector<VaskInitializationSection_t*> sections;
  for (void* pItem : queue_items(hQueueSection, sectionItem_delete)) {
    sections.push_back(static_cast<VaskInitializationSection_t*>(pItem));
  }
  return sections;
}

std::vector<VaskInitializationMember_t*> membersOf(const VaskInitializationSection_t& section) {
  std::vector<VaskInitializationMember_t*> members;
  for (void* pItem : queue_items(section.hMember, memberItem_delete)) {
    members.push_back(static_cast<VaskInitializationMember_t*>(pItem));
  }
  return members;
}

std::vector<const char*> commentsOf(const VaskInitializationSection_t& section) {
  // Comments are plain heap strings, released with free() like the section's own handler does.
  const auto comment_delete = [](void** ppData) -> int {
    std::free(*ppData);
    *ppData = nullptr;
    return 0;
  };
  std::vector<const char*> comments;
  for (void* pItem : queue_items(section.hComment, comment_delete)) {
    comments.push_back(static_cast<const char*>(pItem));
  }
  return comments;
}

std::vector<NamedSection> namedSections(VaskCommonDQueueHandle_t hQueueSection) {
  std::vector<NamedSection> named;
  std::string name;
  for (VaskInitializationSection_t* pSection : sectionsOf(hQueueSection)) {
    if (pSection->pHeader != nullptr) {
      name = pSection->pHeader;
    }
    named.push_back({pSection, name});
  }
  return named;
}

bool member_hasKey(const VaskInitializationMember_t& member, std::string_view key) {
  return member.pKey != nullptr && key == member.pKey;
}

void MemberDelete::operator()(VaskInitializationMember_t* pMember) const {
  (void)VaskInitializationMember_delete(&pMember);
}

void SectionDelete::operator()(VaskInitializationSection_t* pSection) const {
  (void)VaskInitializationSection_delete(&pSection);
}

char* heapString(std::string_view text) {
  char* pCopy = strndup(text.data(), text.size());
  if (pCopy == nullptr) {
    throw std::bad_alloc();
  }
  return pCopy;
}

MemberPtr member_make(std::string_view key, std::string_view value) {
  VaskInitializationMember_t* pMember = nullptr;
  require(VaskInitializationMember_create(&pMember), "cannot create a member");
  MemberPtr member(pMember);
  member->pKey = heapString(key);
  member->pValue = heapString(value);
  return member;
}

SectionPtr section_make(const std::optional<std::string>& header) {
  VaskInitializationSection_t* pSection = nullptr;
  require(VaskInitializationSection_create(&pSection), "cannot create a section");
  SectionPtr section(pSection);
  if (header) {
    section->pHeader = heapString(*header);
  }
  return section;
}

SectionQueue::SectionQueue() {
  VaskCommonDQueueOpenParam_t param{};
  param.pDeleteDataHandler = sectionItem_delete;
  require(VaskCommonDQueue_open(&param, &handle_), "cannot open a section queue");
}

SectionQueue::~SectionQueue() {
  (void)VaskCommonDQueue_close(&handle_);
}

Reader::Reader() {
  require(VaskInitializationReader_open(&handle_), "cannot open a reader");
}

Reader::~Reader() {
  (void)VaskInitializationReader_close(&handle_);
}

Writer::Writer() {
  require(VaskInitializationWriter_open(&handle_), "cannot open a writer");
}

Writer::~Writer() {
  (void)VaskInitializationWriter_close(&handle_);
}

int text_parse(VaskInitializationReaderHandle_t hReader, std::string_view text,
               VaskCommonDQueueHandle_t hQueueSection) {
  std::string copy(text);  // the reader needs a zero byte after the text
  VaskCommonBuffer_t buffer{};
  buffer.pBegin = copy.data();
  buffer.size = copy.size();
  return VaskInitializationReader_parse(hReader, &buffer, hQueueSection);
}

std::string queue_serialize(VaskCommonDQueueHandle_t hQueueSection) {
  Writer writer;
  BufferPtr buffer = buffer_make();
  require(VaskInitializationWriter_serialize(writer.handle(), hQueueSection, buffer.get()),
          "cannot write the sections out");
  return std::string(buffer->pBegin, buffer->size);
}

std::string file_read(const std::string& path) {
  BufferPtr buffer = buffer_make();
  const int result = VaskCommonBuffer_load2(path.c_str(), 0, 0, buffer.get());
  if (result != VaskCommonError_Success) {
    throw ToolError(kExitFailure, path + ": cannot read the file: " + codeText(result));
  }
  return std::string(buffer->pBegin, buffer->size);
}

}  // namespace vask_ini
