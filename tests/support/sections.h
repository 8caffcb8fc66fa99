// Test helpers over section queues: an owning queue, and a plain view of its
// sections for comparisons.
#ifndef VASK_TESTS_SUPPORT_SECTIONS_H
#define VASK_TESTS_SUPPORT_SECTIONS_H

#include <initialization_section.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vask::test {

struct MemberView {
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::optional<std::string> comment;
  bool operator==(const MemberView&) const = default;
};

struct SectionView {
  std::vector<std::string> comments;
  std::optional<std::string> header;
  std::vector<MemberView> members;
  bool operator==(const SectionView&) const = default;
};

void PrintTo(const MemberView& member, std::ostream* pOut);
void PrintTo(const SectionView& section, std::ostream* pOut);

// The queue handler that releases a queued section.
int sectionDeleteItem(void** ppData);

// A section queue that releases its sections when it is closed.
class SectionQueue {
 public:
  SectionQueue();
  ~SectionQueue();
  SectionQueue(const SectionQueue&) = delete;
  SectionQueue& operator=(const SectionQueue&) = delete;
  VaskCommonDQueueHandle_t handle() const { return handle_; }
  size_t length() const;
  // The sections in order; walks every queue by pop-front and push-back, so
  // afterwards the queues hold what they held.
  std::vector<SectionView> view() const;
  // The item pointers of the section queue and of each section's queues, in order.
  std::vector<const void*> pointers() const;
  // Appends a section built from a view (strings copied to the heap).
  void push(const SectionView& section);

 private:
  VaskCommonDQueueHandle_t handle_ = 0;
};

// The items of a queue in order, leaving the queue as it was.
std::vector<void*> queueItems(VaskCommonDQueueHandle_t handle);

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_SECTIONS_H
