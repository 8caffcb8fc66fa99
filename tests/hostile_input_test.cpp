// Hostile inputs: huge lines and counts of lines, texts of nothing but zero bytes, blanks
// or CRs. Each ends with its code in time linear in its size (a quadratic step would take
// hours), leaks nothing, and writes back as given where that is asked. VASK_HOSTILE_SCALE
// (a divisor, for valgrind runs) shrinks the sizes; a sanitizer build shrinks them tenfold.
#include <gtest/gtest.h>

#include <chrono>

#include "fault.h"
#include "heap.h"
#include "sections.h"

namespace {

size_t scaled(size_t size) {
  const char* pScale = std::getenv("VASK_HOSTILE_SCALE");
  const size_t divisor =
      (pScale != nullptr ? std::max(1UL, std::strtoul(pScale, nullptr, 10)) : 1) *
      (VASK_TEST_SANITIZER ? 10 : 1);
  return std::max<size_t>(size / divisor, 2);
}

std::string repeated(const std::string& piece, size_t count) {
  std::string text;
  while (count-- > 0) {
    text += piece;
  }
  return text;
}

struct Case {
  std::string text;
  int code;
  std::string sections;  // as vask::test::dump shows them
  std::string written;   // the text written back, when it is checked
};

TEST(HostileInput, EachEndsWithItsCodeInLinearTimeWithoutLeaking) {
  const size_t kMillion = scaled(1'000'000);
  const std::string kLine = "k=" + std::string(scaled(100'000'000), 'v');  // no LF
  const std::string kCrs = repeated("k=v\r", kMillion);  // a CR ends no line: one value
  const std::string kSections = repeated("[s]\n\nk=v\n\n", kMillion);
  const Case kCases[] = {
      {kLine, 0, kLine, kLine + "\n"},
      {std::string(kLine.size(), 'k'), 13, "", ""},
      {repeated("[s]\n", kMillion), 0, "[s]", ""},
      {"[s]\n" + repeated("k=v\n", kMillion), 0, "[s]" + repeated(", k=v", kMillion), ""},
      {kSections, 0, "[s], k=v" + repeated(" | [s], k=v", kMillion - 1),
       kSections.substr(0, kSections.size() - 1)},  // no LF after the last section
      {std::string(10 * kMillion, '='), 0, "=", ""},
      {std::string(10 * kMillion, '\0'), 0, "", ""},
      {repeated(" \t\n\v\f\r", 2 * kMillion), 0, "", ""},
      {"[s]\r" + kCrs + "\n" + kCrs, 0, "[s], k=" + kCrs.substr(2), ""}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text.substr(0, 12));
    vask::test::HeapCheck heap;
    {
      const vask::Sections queue = vask::test::queueOf();
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(vask::test::parseInto(c.text, queue.handle()), c.code);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
      EXPECT_TRUE(vask::test::dump(queue.handle()) == c.sections);
      EXPECT_TRUE(c.written.empty() || vask::test::written(queue.handle()) == c.written);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

}  // namespace
