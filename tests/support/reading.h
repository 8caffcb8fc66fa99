// Shared helpers for tests that read texts: expected-section builders and a
// parse of a std::string (whose zero byte after size() ends the text).
#ifndef VASK_TESTS_SUPPORT_READING_H
#define VASK_TESTS_SUPPORT_READING_H

#include <initialization_reader.h>

#include <optional>
#include <string>
#include <vector>

#include "sections.h"

namespace vask::test {

inline constexpr std::nullopt_t kNone = std::nullopt;

inline MemberView member(std::optional<std::string> key, std::optional<std::string> value,
                         std::optional<std::string> comment = kNone) {
  return MemberView{std::move(key), std::move(value), std::move(comment)};
}

inline SectionView section(std::vector<std::string> comments, std::optional<std::string> header,
                           std::vector<MemberView> members) {
  return SectionView{std::move(comments), std::move(header), std::move(members)};
}

// Parses `text` into `hQueue` with a reader of its own.
int parseText(const std::string& text, VaskCommonDQueueHandle_t hQueue);

// A text case: a name that reads as a sentence, the text, the sections it gives.
struct TextCase {
  std::string name;
  std::string text;
  std::vector<SectionView> sections;
};

inline void PrintTo(const TextCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

// Every well-formed text of the reader's tables, for the round-trip tests too.
const std::vector<TextCase>& readerTextCases();

}  // namespace vask::test

#endif  // VASK_TESTS_SUPPORT_READING_H
