// The text helpers, over tables of ranges: list element counts and blank skipping.
#include <gtest/gtest.h>

#include <initialization_utility.h>

#include <tuple>

TEST(Utility, SizeAddsTheOuterCommasPlusOneUnlessBlankAndIgnoreSpacesStopsAtANonBlank) {
  const std::pair<std::string, size_t> kSizes[] = {
      {"a,b,c", 3},       {"  ", 0},        {"", 0},
      {"]", 0},           {"[1,2],3", 2},   {"\"x,y\",z", 2},
      {"a,b],c", 2},      {"a,", 2},        {",", 2},
      {"[1, 2], 3", 2},   {" \t\n", 0},     {"\"[\",a", 1},
      {"[\"]\",a],b", 2}, {"\xff,\xfe", 2}, {"a, [b, c], \"d]\"], tail", 3}};
  for (const auto& [range, count] : kSizes) {
    size_t size = 5;  // the count is added to it
    EXPECT_EQ(VaskInitializationUtility_size(range.data(), range.data() + range.size(), &size), 0);
    EXPECT_EQ(size, 5 + count) << '\'' << range << '\'';
  }
  const std::tuple<std::string, size_t, size_t> kSkips[] = {
      // text, end, where it stops
      {"  \t\nx", 5, 4}, {" \r\v\f\n", 5, 5},           {"", 0, 0},
      {"x ", 2, 0},      {std::string("\0 ", 2), 2, 0}, {"\xa0x", 2, 0},
      {"   x", 2, 2}};
  for (const auto& [text, end, stop] : kSkips) {
    const char* pCurrent = text.data();
    EXPECT_EQ(VaskInitializationUtility_ignoreSpaces(&pCurrent, text.data() + end), 0);
    EXPECT_EQ(pCurrent, text.data() + stop) << testing::PrintToString(text);
  }
}
