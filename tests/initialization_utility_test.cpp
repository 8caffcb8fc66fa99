#include <gtest/gtest.h>

#include <initialization_utility.h>
#include <vask_common_c/common_error.h>

#include <string>

namespace {

struct SizeCase {
  std::string range;
  size_t count;
};

void PrintTo(const SizeCase& c, std::ostream* pOut) {
  *pOut << testing::PrintToString(c.range);
}

class UtilitySize : public testing::TestWithParam<SizeCase> {};

TEST_P(UtilitySize, CountsOuterCommasPlusOneUnlessAllBlank) {
  const std::string& range = GetParam().range;
  size_t size = 0;
  EXPECT_EQ(VaskInitializationUtility_size(range.data(), range.data() + range.size(), &size),
            VaskCommonError_Success);
  EXPECT_EQ(size, GetParam().count) << '\'' << range << '\'';
}

INSTANTIATE_TEST_SUITE_P(Ranges, UtilitySize,
                         testing::Values(SizeCase{"a,b,c", 3}, SizeCase{"  ", 0}, SizeCase{"", 0},
                                         SizeCase{"]", 0}, SizeCase{"[1,2],3", 2},
                                         SizeCase{"\"x,y\",z", 2}, SizeCase{"a,b],c", 2},
                                         SizeCase{"a,", 2}, SizeCase{",", 2},
                                         SizeCase{"[1, 2], 3", 2}, SizeCase{" \t\n", 0},
                                         SizeCase{"\"[\",a", 1}, SizeCase{"[\"]\",a],b", 2},
                                         SizeCase{"\xff,\xfe", 2}));

TEST(UtilitySize, AddsToTheCountItIsGiven) {
  const std::string range = "a,b";
  size_t size = 5;
  VaskInitializationUtility_size(range.data(), range.data() + range.size(), &size);
  EXPECT_EQ(size, 7U);
}

TEST(UtilitySize, StopsAtTheBracketThatClosesTheList) {
  const std::string value = "[a, [b, c], \"d]\"], tail";  // counted from after the opening '['
  size_t size = 0;
  VaskInitializationUtility_size(value.data() + 1, value.data() + value.size(), &size);
  EXPECT_EQ(size, 3U);
}

struct SpaceCase {
  std::string text;
  size_t stop;
};

void PrintTo(const SpaceCase& c, std::ostream* pOut) {
  *pOut << testing::PrintToString(c.text);
}

class UtilityIgnoreSpaces : public testing::TestWithParam<SpaceCase> {};

TEST_P(UtilityIgnoreSpaces, StopsAtTheFirstNonBlankOrTheEnd) {
  const std::string& text = GetParam().text;
  const char* pCurrent = text.data();
  EXPECT_EQ(VaskInitializationUtility_ignoreSpaces(&pCurrent, text.data() + text.size()),
            VaskCommonError_Success);
  EXPECT_EQ(pCurrent, text.data() + GetParam().stop);
}

INSTANTIATE_TEST_SUITE_P(Texts, UtilityIgnoreSpaces,
                         testing::Values(SpaceCase{"  \t\nx", 4}, SpaceCase{" \r\v\f\n", 5},
                                         SpaceCase{"", 0}, SpaceCase{"x ", 0},
                                         SpaceCase{std::string("\0 ", 2), 0},
                                         SpaceCase{"\xa0x", 0}));

TEST(UtilityIgnoreSpaces, NeverGoesBeyondTheEnd) {
  const std::string text = "   x";
  const char* pCurrent = text.data();
  VaskInitializationUtility_ignoreSpaces(&pCurrent, text.data() + 2);
  EXPECT_EQ(pCurrent, text.data() + 2);
  VaskInitializationUtility_ignoreSpaces(&pCurrent, text.data() + 2);
  EXPECT_EQ(pCurrent, text.data() + 2);
}

}  // namespace
