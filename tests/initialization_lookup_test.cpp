#include <gtest/gtest.h>

#include <initialization_utility.h>
#include <initialization_lookup.hpp>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <limits>
#include <regex>
#include <string>
#include <tuple>

#include "fault.h"
#include "heap.h"
#include "trace.h"

namespace {

using vask::test::HeapCheck;

vask::Sections parsed(const char* pText) {
  vask::Sections sections;
  EXPECT_EQ(sections.parse(pText), 0) << pText;
  return sections;
}

std::string written(const vask::Sections& sections) {
  vask::Buffer buffer;
  EXPECT_EQ(sections.serialize(&buffer), 0);
  return std::string(buffer.view());
}

// Every logical section with its members, as lookup walks them.
std::string walked(const vask::Sections& sections) {
  std::string text;
  for (vask::LogicalSection section : sections.sections()) {
    text += "[" + std::string(section.name()) + "]";
    for (vask::Entry entry : section.members()) {
      text += " " + std::string(entry.key()) + "=" + std::string(entry.value());
    }
  }
  return text;
}

struct FindCase {
  const char* pText;
  const char* pSection;
  const char* pKey;
  int code;
  const char* pValue;  // for 0
};

const FindCase kFind[] = {
    {"[s]\na=1\n; c\nb=2\n", "s", "b", 0, "2"},  // a section without header continues
    {"k=1\n[s]\na=2\n", "", "k", 0, "1"},
    {"[]\nk=1\n", "", "k", 0, "1"},
    {"[s]\nk=1\n[t]\nx=0\n[s]\nk=2\nk=3\n", "s", "k", 0, "3"},
    {"[a]\n[b]\nx=1\n", "b", "x", 0, "1"},
    {"[s]\nk=\n", "s", "k", 0, ""},
    {"[s]\nport\t=8\nport=1\n", "s", "port", 0, "1"},
    {"[S]\nk=1\n", "s", "k", 16, nullptr},
    {"[s]\nk=1\n", "t", "k", 16, nullptr},
    {"[s]\nk=1\n", "s", "K", 16, nullptr},
    {"[s]\nkk=1\nk x=2\n", "s", "k", 16, nullptr},
    {"[s]\nport = 80\n", "s", "port", 17, nullptr},
    {"[t]\nport=1\n[s]\nport\t\r=1\n", "s", "port", 17, nullptr},
};

TEST(Lookup, FindsByLogicalSectionLastKeyWins) {
  for (const FindCase& each : kFind) {
    const vask::Sections sections = parsed(each.pText);
    VaskInitializationMember_t* pMember = nullptr;
    EXPECT_EQ(VaskInitializationLookup_find(sections.handle(), each.pSection, each.pKey, &pMember),
              each.code)
        << each.pText;
    EXPECT_EQ(pMember != nullptr, each.code != 16) << each.pText;
    const std::optional<std::string_view> value = sections.find(each.pSection, each.pKey);
    EXPECT_EQ(value,
              each.pValue != nullptr ? std::optional<std::string_view>(each.pValue) : std::nullopt);
  }
}

TEST(Lookup, WalksNamesOnceAndMembersInFileOrder) {
  const vask::Sections sections =
      parsed("k=0\n[a]\nx=1\n; c\ny=2\n[b]\nv=5\n[a]\nz=3\n[]\nw=4\n# tail\n[e]\n");
  EXPECT_EQ(walked(sections), "[] k=0 w=4[a] x=1 y=2 z=3[b] v=5[e]");
  std::string all;
  for (vask::Entry entry : sections.members()) {
    all += std::string(entry.section) + "." + std::string(entry.key()) + " ";
  }
  EXPECT_EQ(all, ".k a.x a.y b.v a.z .w ");
  EXPECT_EQ(VaskInitializationLookup_hasSection(sections.handle(), "e"), 0);
  EXPECT_EQ(VaskInitializationLookup_hasSection(sections.handle(), "A"), 16);
  const vask::Sections comments = parsed("# only a comment\n");
  EXPECT_EQ(walked(comments), "");
  EXPECT_EQ(VaskInitializationLookup_hasSection(comments.handle(), ""), 16);
}

struct IntegerCase {
  const char* pText;
  int code;
  int64_t value;
};
const IntegerCase kInteger[] = {{"-9223372036854775808", 0, std::numeric_limits<int64_t>::min()},
                                {"9223372036854775807", 0, std::numeric_limits<int64_t>::max()},
                                {"9223372036854775808", 18, 0},
                                {"-9223372036854775809", 18, 0},
                                {"+5", 0, 5},
                                {" 5 ", 0, 5},
                                {"5\r", 0, 5},
                                {"-007", 0, -7},
                                {"5x", 18, 0},
                                {"", 18, 0},
                                {" \t", 18, 0},
                                {"+", 18, 0},
                                {"-", 18, 0},
                                {"+-5", 18, 0},
                                {"++5", 18, 0},
                                {"0x10", 18, 0},
                                {"5 5", 18, 0},
                                {"1.0", 18, 0}};

struct RealCase {
  const char* pText;
  int code;
  double value;
};
const RealCase kReal[] = {{"1.5", 0, 1.5}, {"-2.5e3", 0, -2500}, {"+.5", 0, 0.5}, {" 3\r", 0, 3},
                          {"1,5", 18, 0},  {"inf", 18, 0},       {"-nan", 18, 0}, {"1e400", 18, 0},
                          {"", 18, 0},     {"1.5x", 18, 0},      {"+-1", 18, 0},  {"0x1p3", 18, 0}};

struct BooleanCase {
  const char* pText;
  int code;
  bool value;
};
const BooleanCase kBoolean[] = {{"1", 0, true},        {"0", 0, false},   {"TRUE", 0, true},
                                {"False", 0, false},   {"yEs", 0, true},  {"NO", 0, false},
                                {" On\r", 0, true},    {"oFF", 0, false}, {"", 18, false},
                                {"tru", 18, false},    {"2", 18, false},  {"yes!", 18, false},
                                {"on off", 18, false}, {"01", 18, false}};

template <typename T, typename Case_t, size_t n>
void expectParsed(int (*parse)(const char*, const char*, T*), const Case_t (&cases)[n], T unset) {
  for (const Case_t& each : cases) {
    T value = unset;
    const char* pEnd = each.pText + std::strlen(each.pText);
    EXPECT_EQ(parse(each.pText, pEnd, &value), each.code) << "'" << each.pText << "'";
    EXPECT_EQ(value, each.code == 0 ? each.value : unset) << "'" << each.pText << "'";
  }
}

TEST(Lookup, ParsesTypedValuesWholeAndExactly) {
  expectParsed(VaskInitializationLookup_parseInteger, kInteger, int64_t{42});
  expectParsed(VaskInitializationLookup_parseBoolean, kBoolean, false);
  expectParsed(VaskInitializationLookup_parseReal, kReal, 42.0);
  // A host locale with a comma as decimal point changes nothing.
  for (const char* pLocale : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, pLocale) != nullptr) {
      EXPECT_STREQ(std::localeconv()->decimal_point, ",");
      expectParsed(VaskInitializationLookup_parseReal, kReal, 42.0);
      std::setlocale(LC_ALL, "C");
      break;
    }
  }
}

TEST(Lookup, TellsMissingFromMalformedAndFallsBack) {
  const vask::Sections sections = parsed("[s]\nn=42\nb=yes\nr=2.5\nbad=x\nport =1\n");
  int64_t number = 1;
  bool flag = false;
  double real = 0;
  std::string_view text;
  EXPECT_EQ(sections.get("s", "n", number), 0);
  EXPECT_EQ(sections.get("s", "b", flag), 0);
  EXPECT_EQ(sections.get("s", "r", real), 0);
  EXPECT_EQ(sections.get("s", "bad", text), 0);
  EXPECT_EQ(std::make_tuple(number, flag, real, text), std::make_tuple(42, true, 2.5, "x"));
  EXPECT_EQ(sections.get("s", "bad", number), 18);
  EXPECT_EQ(sections.get("s", "bad", flag), 18);
  EXPECT_EQ(sections.get("s", "bad", real), 18);
  EXPECT_EQ(sections.get("s", "none", number), 16);
  EXPECT_EQ(sections.get("s", "port", text), 17);
  EXPECT_EQ(std::make_tuple(number, flag, real, text), std::make_tuple(42, true, 2.5, "x"));
  const VaskCommonDQueueHandle_t handle = sections.handle();
  const char* pText = nullptr;
  EXPECT_EQ(VaskInitializationLookup_getIntegerOr(handle, "s", "none", 7, &number), 0);
  EXPECT_EQ(VaskInitializationLookup_getBooleanOr(handle, "t", "b", false, &flag), 0);
  EXPECT_EQ(VaskInitializationLookup_getRealOr(handle, "s", "port", 0.5, &real), 17);
  EXPECT_EQ(VaskInitializationLookup_getStringOr(handle, "s", "none", "d", &pText), 0);
  EXPECT_EQ(std::make_tuple(number, flag, real, std::string(pText)),
            std::make_tuple(7, false, 0.5, "d"));
  EXPECT_EQ(VaskInitializationLookup_getIntegerOr(handle, "s", "bad", 7, &number), 18);
  EXPECT_EQ(VaskInitializationLookup_getBooleanOr(handle, "s", "n", true, &flag), 18);
  EXPECT_EQ(VaskInitializationLookup_getRealOr(handle, "s", "b", 1, &real), 18);
  EXPECT_EQ(VaskInitializationLookup_getStringOr(handle, "s", "n", "d", &pText), 0);
  EXPECT_EQ(std::make_tuple(number, flag, real, std::string(pText)),
            std::make_tuple(7, false, 0.5, "42"));
}

struct ListCase {
  const char* pValue;
  const char* pElements;  // joined with '|'
};
const ListCase kList[] = {{"a,b,c", "a|b|c"},
                          {"  ", ""},
                          {"", ""},
                          {"]", ""},
                          {"[1,2],3", "[1,2]|3"},
                          {"\"x,y\",z", "\"x,y\"|z"},
                          {"a,b],c", "a|b"},
                          {"a,", "a|"},
                          {",", "|"},
                          {" [a, [b]] , \"c\" ", " [a, [b]] | \"c\" "},
                          {"\"[\",x", "\"[\",x"},
                          {"[\"]\",y],z", "[\"]\"|y"}};

TEST(Lookup, SplitsListsAsTheCountCountsThem) {
  for (const ListCase& each : kList) {
    size_t count = 0;
    size_t expected = 0;
    ASSERT_EQ(VaskInitializationLookup_listSize(each.pValue, &count), 0);
    VaskInitializationUtility_size(each.pValue, each.pValue + std::strlen(each.pValue), &expected);
    EXPECT_EQ(count, expected) << each.pValue;
    std::string joined;
    const char* pBegin = nullptr;
    const char* pEnd = nullptr;
    for (size_t i = 0; i < count; ++i) {
      ASSERT_EQ(VaskInitializationLookup_listElement(each.pValue, i, &pBegin, &pEnd), 0);
      ASSERT_TRUE(pBegin >= each.pValue && pEnd >= pBegin) << each.pValue;
      joined += (i > 0 ? "|" : "") + std::string(pBegin, pEnd);
    }
    EXPECT_EQ(joined, each.pElements);
    EXPECT_EQ(VaskInitializationLookup_listElement(each.pValue, count, &pBegin, &pEnd), 16);
  }
}

struct EditCase {
  const char* pText;
  const char* pSection;
  const char* pKey;
  const char* pValue;
  const char* pWritten;
};
const EditCase kSet[] = {{"[s]\nk=1\nk=2\n", "s", "k", "9", "[s]\n\nk=1\nk=9\n"},
                         {"[s]\na=1\n[t]\nb=2\n[s]\nc=3\n# tail\n", "s", "k", "v",
                          "[s]\n\na=1\n\n[t]\n\nb=2\n\n[s]\n\nc=3\n\n# tail\n\nk=v\n"},
                         {"[s]\na=1\n", "n", "k", "", "[s]\n\na=1\n\n[n]\n\nk=\n"},
                         {"[s]\na=1\n", "", "k", "v", "k=v\n\n[s]\n\na=1\n"},
                         {"k=0\n[s]\na=1\n", "", "x", "1", "k=0\nx=1\n\n[s]\n\na=1\n"},
                         {"", "s", "k ", "v", "[s]\n\nk =v\n"},
                         {"", "", "k", "v", "k=v\n"}};

TEST(Lookup, SetReplacesOrAddsWhereItReadsBack) {
  for (const EditCase& each : kSet) {
    vask::Sections sections = parsed(each.pText);
    ASSERT_EQ(sections.open(), 0);
    EXPECT_EQ(sections.set(each.pSection, each.pKey, each.pValue), 0) << each.pText;
    EXPECT_EQ(written(sections), each.pWritten) << each.pText;
    EXPECT_EQ(parsed(each.pWritten).find(each.pSection, each.pKey), each.pValue) << each.pWritten;
  }
}

TEST(Lookup, SetRefusesWhatWouldNotReadBackAndChangesNothing) {
  const char* const kRefused[][3] = {{"s", "k", "a b"},   {"s", "k", "a#"},   {"s", "k", "a;b"},
                                     {"s", "k", "a\tb"},  {"s", "k", "\n"},   {"s", "", "v"},
                                     {"s", "a=b", "v"},   {"s", " k", "v"},   {"s", "[k", "v"},
                                     {"s", "#k", "v"},    {"s", ";k", "v"},   {"s", "k\n", "v"},
                                     {"a]b", "k", "v"},   {"a\nb", "k", "v"}, {nullptr, "k", "v"},
                                     {"s", nullptr, "v"}, {"s", "k", nullptr}};
  vask::Sections sections = parsed("[s]\nk=1\n");
  for (const auto& each : kRefused) {
    EXPECT_EQ(sections.set(each[0], each[1], each[2]), 13) << each[1] << "=" << each[2];
  }
  EXPECT_EQ(VaskInitializationLookup_set(0, "s", "k", "v"), 13);
  EXPECT_EQ(written(sections), "[s]\n\nk=1\n");
}

TEST(Lookup, RemoveTakesEveryRepeat) {
  vask::Sections sections = parsed("[s]\nk=1\nx=0\nk=2\n; c\nk=3\n[t]\nk=4\n[s]\nk=5\n");
  size_t removed = 9;
  EXPECT_EQ(VaskInitializationLookup_remove(sections.handle(), "s", "k", &removed), 0);
  EXPECT_EQ(removed, 4U);
  EXPECT_EQ(written(sections), "[s]\n\nx=0\n\n; c\n\n\n[t]\n\nk=4\n\n[s]\n\n");
  EXPECT_EQ(VaskInitializationLookup_remove(sections.handle(), "s", "k", &removed), 16);
  EXPECT_EQ(removed, 0U);
  EXPECT_EQ(sections.remove("u", "k"), 16);
}

// The edit with the N-th fault point failing, for N = 1, 2, ... until it
// completes without the fault: the code is the fault's, the view is as
// before, nothing leaks, and every trace line has the one shape.
template <typename Edit_t>
void sweep(const char* pText, Edit_t edit) {
  const std::regex kLine(R"(E [a-z_]+\.cpp:# \w+: [a-z /]+\((5|4)\))");
  bool isFired = true;
  for (unsigned nth = 1; isFired; ++nth) {
    HeapCheck heap;
    {
      vask::Sections sections = parsed(pText);
      const std::string before = walked(sections);
      vask::test::TraceCapture trace;
      vask::test::FaultScope fault(nth, 4);
      const int result = edit(sections);
      isFired = vask::test::faultFired();
      vask::test::faultDisarm();
      EXPECT_EQ(result, isFired ? (result == 5 ? 5 : 4) : result) << pText << nth;
      EXPECT_EQ(result == 0 || result == 16, !isFired) << pText << nth;
      EXPECT_TRUE(!isFired || walked(sections) == before) << pText << nth;
      EXPECT_EQ(trace.lines().empty(), !isFired) << pText << nth;
      for (const std::string& line : trace.lines()) {
        EXPECT_TRUE(std::regex_match(line, kLine)) << line;
      }
    }
    EXPECT_EQ(heap.leaked(), 0) << pText << nth;
  }
}

TEST(Lookup, FailedEditsLeaveTheQueueAsItWas) {
  for (const EditCase& each : kSet) {
    sweep(each.pText, [&each](vask::Sections& sections) {
      return sections.set(each.pSection, each.pKey, each.pValue);
    });
    sweep(each.pText,
          [&each](vask::Sections& sections) { return sections.remove(each.pSection, each.pKey); });
  }
}

TEST(Lookup, RefusesNullArguments) {
  const vask::Sections sections = parsed("[s]\nk=1\n");
  const VaskCommonDQueueHandle_t handle = sections.handle();
  VaskInitializationMember_t* pMember = nullptr;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  const char* pText = nullptr;
  int64_t number = 0;
  EXPECT_EQ(VaskInitializationLookup_find(0, "s", "k", &pMember), 13);
  EXPECT_EQ(VaskInitializationLookup_find(handle, nullptr, "k", &pMember), 13);
  EXPECT_EQ(VaskInitializationLookup_find(handle, "s", nullptr, &pMember), 13);
  EXPECT_EQ(VaskInitializationLookup_find(handle, "s", "k", nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_hasSection(handle, nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_sectionNext(handle, nullptr, &pText), 13);
  EXPECT_EQ(VaskInitializationLookup_memberNext(0, nullptr, &cursor, &pMember), 13);
  EXPECT_EQ(VaskInitializationLookup_getString(handle, "s", "k", nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_getIntegerOr(handle, "s", "k", 1, nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_parseInteger(nullptr, nullptr, &number), 13);
  EXPECT_EQ(VaskInitializationLookup_listSize(nullptr, nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_remove(0, "s", "k", nullptr), 13);
  EXPECT_EQ(VaskInitializationLookup_sectionDelete(nullptr), 0);
}
}  // namespace
