// Thin owners and walkers over the library's public interface: handles that
// close themselves, section queues, records, and the reader and writer calls
// that the commands use.
#ifndef VASK_TOOLS_INI_LIBRARY_H
#define VASK_TOOLS_INI_LIBRARY_H

#include <initialization_member.h>
#include <initialization_reader.h>
#include <initialization_section.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_dqueue.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vask_ini {

// Delete handlers of the queues the tool fills, each of the queue's handler type.
int sectionItem_delete(void** ppData);
int memberItem_delete(void** ppData);

// The items of a queue, front to back. The queue is walked by taking each item
// from the front and putting it back at the end, so it ends as it began.
std::vector<void*> queue_items(VaskCommonDQueueHandle_t hQueue,
                               VaskCommonDQueueDeleteDataHandler_t pDelete);
// Releases the items that `isDoomed` picks, keeping the others in order;
// returns how many went.
size_t queue_removeIf(VaskCommonDQueueHandle_t hQueue, VaskCommonDQueueDeleteDataHandler_t pDelete,
                      const std::function<bool(void*)>& isDoomed);
// Hands the item to the queue, at the end or at the front. If the queue cannot
// take it, the item is released and a ToolError thrown.
void queue_pushBack(VaskCommonDQueueHandle_t hQueue, void* pItem,
                    VaskCommonDQueueDeleteDataHandler_t pDelete);
void queue_pushFront(VaskCommonDQueueHandle_t hQueue, void* pItem,
                     VaskCommonDQueueDeleteDataHandler_t pDelete);

std::vector<VaskInitializationSection_t*> sectionsOf(VaskCommonDQueueHandle_t hQueueSection);
std::vector<VaskInitializationMember_t*> membersOf(const VaskInitializationSection_t& section);
std::vector<const char*> commentsOf(const VaskInitializationSection_t& section);

// A section with the name it answers to: its header; for a section without a
// header, the name of the section before it, because reading starts such a
// section at a comment line between two members; "" before the first header.
struct NamedSection {
  VaskInitializationSection_t* pSection;
  std::string name;
};
std::vector<NamedSection> namedSections(VaskCommonDQueueHandle_t hQueueSection);

// Whether a member has this key.
bool member_hasKey(const VaskInitializationMember_t& member, std::string_view key);

struct MemberDelete {
  void operator()(VaskInitializationMember_t* pMember) const;
};
struct SectionDelete {
  void operator()(VaskInitializationSection_t* pSection) const;
};
using MemberPtr = std::unique_ptr<VaskInitializationMember_t, MemberDelete>;
using SectionPtr = std::unique_ptr<VaskInitializationSection_t, SectionDelete>;

// A heap copy of the text, as records require (they release their strings with free()).
char* heapString(std::string_view text);
MemberPtr member_make(std::string_view key, std::string_view value);
// A section with this header name, or without a header for nullopt.
SectionPtr section_make(const std::optional<std::string>& header);

// A section queue that releases its sections when it goes.
class SectionQueue {
 public:
  SectionQueue();
  ~SectionQueue();
  SectionQueue(const SectionQueue&) = delete;
  SectionQueue& operator=(const SectionQueue&) = delete;
  VaskCommonDQueueHandle_t handle() const { return handle_; }

 private:
  VaskCommonDQueueHandle_t handle_ = 0;
};

class Reader {
 public:
  Reader();
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  VaskInitializationReaderHandle_t handle() const { return handle_; }

 private:
  VaskInitializationReaderHandle_t handle_ = 0;
};

class Writer {
 public:
  Writer();
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  VaskInitializationWriterHandle_t handle() const { return handle_; }

 private:
  VaskInitializationWriterHandle_t handle_ = 0;
};

// Parses the text into the queue through the reader; returns the reader's code.
int text_parse(VaskInitializationReaderHandle_t hReader, std::string_view text,
               VaskCommonDQueueHandle_t hQueueSection);
// The writer's text for the queue.
std::string queue_serialize(VaskCommonDQueueHandle_t hQueueSection);
// The bytes of a file, read through the support library's buffer; a file that
// cannot be read gives a ToolError naming it.
std::string file_read(const std::string& path);

}  // namespace vask_ini

#endif  // VASK_TOOLS_INI_LIBRARY_H
