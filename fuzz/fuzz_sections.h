// Helpers shared by the fuzz targets: an owning section queue, plain copies of
// its sections for comparisons, and parse and serialize with handles of their own.
#ifndef VASK_FUZZ_FUZZ_SECTIONS_H
#define VASK_FUZZ_FUZZ_SECTIONS_H

#include <vask_common_c/common_dqueue.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vask::fuzz {

struct Member {
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::optional<std::string> comment;
  bool operator==(const Member&) const = default;
};

struct Section {
  std::vector<std::string> comments;
  std::optional<std::string> header;
  std::vector<Member> members;
  bool operator==(const Section&) const = default;
};

// Reports a finding and aborts, so that libFuzzer keeps the input.
[[noreturn]] void fail(const char* pWhat);

// A section queue that releases its sections when it is closed.
class Queue {
 public:
  Queue();
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;
  VaskCommonDQueueHandle_t handle() const { return handle_; }

 private:
  VaskCommonDQueueHandle_t handle_ = 0;
};

// Copies of the queued sections, in order; the queues end as they began.
std::vector<Section> sectionsOf(VaskCommonDQueueHandle_t hQueue);

// The item pointers of the section queue and of every section's queues, in order.
std::vector<const void*> pointersOf(VaskCommonDQueueHandle_t hQueue);

// Parses `size` bytes at pText, which must be followed by a zero byte.
int parse(const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue);

// Serializes the queue into *pText; the result code.
int serialize(VaskCommonDQueueHandle_t hQueue, std::string* pText);

}  // namespace vask::fuzz

#endif  // VASK_FUZZ_FUZZ_SECTIONS_H
