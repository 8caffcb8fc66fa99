// Hostile inputs: a huge line, huge counts of lines, a text of blanks and zero bytes. Each
// ends with its code in time linear in its size (a quadratic step would take hours),
// leaks nothing and, where asked, writes back as given. VASK_HOSTILE_SCALE (a divisor, for
// valgrind) shrinks the sizes; a sanitizer build shrinks them tenfold.
#include <gtest/gtest.h>

#include <chrono>

#include "fault.h"
#include "heap.h"
#include "sections.h"

static std::string repeated(const std::string& piece, size_t count) {
  std::string text;
  while (count-- > 0) {
    text += piece;
  }
  return text;
}

TEST(HostileInput, EachEndsWithItsCodeInLinearTimeWithoutLeaking) {
  const char* pScale = std::getenv("VASK_HOSTILE_SCALE");
  const size_t n = 1'000'000 / (VASK_TEST_SANITIZER ? 10 : 1) /
                   (pScale != nullptr ? std::max(1UL, std::strtoul(pScale, nullptr, 10)) : 1);
  const std::string line = "k=" + std::string(100 * n, 'v');  // no LF
  const std::string sections = repeated("[s]\n\nk=v\n\n", n);
  const struct {
    std::string text;
    int code;
    std::string sections;  // as vask::test::dump shows them
    std::string written;   // the text written back, when it is checked
  } kCases[] = {{line, 0, line, line + "\n"},
                {std::string(line.size(), 'k'), 13, "", ""},
                {"[s]\n" + repeated("k=v\n", n), 0, "[s]" + repeated(", k=v", n), ""},
                {sections, 0, "[s], k=v" + repeated(" | [s], k=v", n - 1),
                 sections.substr(0, sections.size() - 1)},  // no LF after the last section
                {repeated(" \t\n\v\f\r", n) + std::string(10 * n, '\0'), 0, "", ""}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text.substr(0, 12));
    const vask::test::HeapCheck heap;
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
