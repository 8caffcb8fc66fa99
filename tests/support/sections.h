// Plain views of section queues for comparisons (walked with VaskCommonDQueue_at), and
// queues filled from views; the owners are the public C++ wrapper's. No GoogleTest in
// here: the fuzz targets link it too. Every helper aborts when a call fails.
#ifndef VASK_TESTS_SUPPORT_SECTIONS_H
#define VASK_TESTS_SUPPORT_SECTIONS_H

#include <initialization_lookup.hpp>

#include <optional>
#include <string>
#include <vector>

namespace vask::test {

using Text = std::optional<std::string>;  // a record's string; nullopt for a null one
struct MemberView {
  Text key{}, value{}, comment{};  // what an initializer leaves out is null
  bool operator==(const MemberView&) const = default;
};
struct SectionView {
  std::vector<std::string> comments{};
  Text header{};
  std::vector<MemberView> members{};
  bool operator==(const SectionView&) const = default;
};
using Views = std::vector<SectionView>;

Views viewOf(VaskCommonDQueueHandle_t hQueue);
// The sections in one line: "# c, [s], k=v # tail, =v | [t], a=1" (each section's
// comments, [header] and members; a null key or value is "(null)").
std::string dump(VaskCommonDQueueHandle_t hQueue);
// The items of the section queue, then of each section's comment and member queues.
std::vector<std::vector<void*>> queuesOf(VaskCommonDQueueHandle_t hQueue);
// An open section queue holding copies of the sections; the text a queue serializes to.
vask::Sections queueOf(const Views& sections = {});
std::string written(VaskCommonDQueueHandle_t hQueue);
// Parses `size` bytes at pText (a zero byte must follow) into hQueue as it stands: a
// failed parse leaves the sections read before in the queue.
int parseInto(const char* pText, size_t size, VaskCommonDQueueHandle_t hQueue);
inline int parseInto(const std::string& text, VaskCommonDQueueHandle_t hQueue) {
  return parseInto(text.c_str(), text.size(), hQueue);
}

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_SECTIONS_H
