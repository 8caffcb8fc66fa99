#include <gtest/gtest.h>

#include <initialization_utility.h>
#include <initialization_lookup.hpp>

#include <clocale>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fault.h"
#include "heap.h"
#include "trace.h"

namespace {

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

// The result code, then "=" and what the call gave (or left) in its output.
template <typename T>
std::string shown(int code, const T& value) {
  std::ostringstream out;
  out << code << "=" << value << " ";
  return out.str();
}

// clang-format off
const char* const kFind[][4] = {  // text, section, key, find's code and value (or near key)
    {"[s]\na=1\n; c\nb=2\n", "s", "b", "0=2 "}, {"k=1\n[s]\na=2\n", "", "k", "0=1 "},
    {"[]\nk=1\n", "", "k", "0=1 "}, {"[s]\nk=1\n[t]\nx=0\n[s]\nk=2\nk=3\n", "s", "k", "0=3 "},
    {"[a]\n[b]\nx=1\n", "b", "x", "0=1 "}, {"[s]\nk=\n", "s", "k", "0= "},
    {"[s]\nport\t=8\nport=1\n", "s", "port", "0=1 "}, {"[S]\nk=1\n", "s", "k", "16=- "},
    {"[s]\nk=1\n", "t", "k", "16=- "}, {"[s]\nkk=1\nk x=2\n", "s", "k", "16=- "},
    {"[s]\nport = 80\n", "s", "port", "17=port  "}, {"[t]\np=1\n[s]\np\r=2\n", "s", "p", "17=p\r "}};
// clang-format on

TEST(Lookup, FindsByLogicalSectionLastKeyWins) {
  for (const auto& each : kFind) {
    const vask::Sections sections = parsed(each[0]);
    VaskInitializationMember_t* pMember = nullptr;
    const int code = VaskInitializationLookup_find(sections.handle(), each[1], each[2], &pMember);
    const char* pShown = pMember == nullptr ? "-" : code == 0 ? pMember->pValue : pMember->pKey;
    EXPECT_EQ(shown(code, pShown), each[3]) << each[0];
    EXPECT_EQ(sections.find(each[1], each[2]).value_or("-"), code == 0 ? pShown : "-");
  }
}

TEST(Lookup, WalksNamesOnceAndMembersInFileOrder) {
  const vask::Sections sections =
      parsed("k=0\n[a]\nx=1\n; c\ny=2\n[b]\nv=5\n[a]\nz=3\n[]\nw=4\n# tail\n[e]\n");
  std::string text;
  for (vask::LogicalSection section : sections.sections()) {
    text += "[" + std::string(section.name()) + "]";
    for (vask::Entry entry : section.members()) {
      text += std::string(entry.key()) + "=" + std::string(entry.value()) + " ";
    }
  }
  for (vask::Entry entry : sections.members()) {
    text += std::string(entry.section) + "." + std::string(entry.key()) + " ";
  }
  EXPECT_EQ(text, "[]k=0 w=4 [a]x=1 y=2 z=3 [b]v=5 [e].k a.x a.y b.v a.z .w ");
  const vask::Sections comments = parsed("# only a comment\n");
  EXPECT_EQ(comments.sections().begin(), comments.sections().end());
  EXPECT_EQ(std::vector<int>({VaskInitializationLookup_hasSection(comments.handle(), ""),
                              VaskInitializationLookup_hasSection(sections.handle(), "e"),
                              VaskInitializationLookup_hasSection(sections.handle(), "A")}),
            std::vector<int>({16, 0, 16}));
}

// A case is the type ('i', 'b' or 'r') and the text; 42 or true stand in the
// output before the call.
std::string typed(const char* pCase) {
  const char* pText = pCase + 1;
  const char* pEnd = pText + std::strlen(pText);
  int64_t integer = 42;
  bool flag = true;
  double real = 42;
  if (*pCase == 'i') {
    return shown(VaskInitializationLookup_parseInteger(pText, pEnd, &integer), integer);
  }
  return *pCase == 'b' ? shown(VaskInitializationLookup_parseBoolean(pText, pEnd, &flag), flag)
                       : shown(VaskInitializationLookup_parseReal(pText, pEnd, &real), real);
}

// clang-format off
const char* const kTyped[][2] = {
    {"i-9223372036854775808", "0=-9223372036854775808 "}, {"i9223372036854775807", "0=9223372036854775807 "},
    {"i9223372036854775808", "18=42 "}, {"i-9223372036854775809", "18=42 "}, {"i+5", "0=5 "},
    {"i 5 ", "0=5 "}, {"i5\r", "0=5 "}, {"i-007", "0=-7 "}, {"i5x", "18=42 "}, {"i", "18=42 "},
    {"i \t", "18=42 "}, {"i+", "18=42 "}, {"i-", "18=42 "}, {"i+-5", "18=42 "}, {"i++5", "18=42 "},
    {"i0x10", "18=42 "}, {"i5 5", "18=42 "}, {"i1.0", "18=42 "}, {"b1", "0=1 "}, {"b0", "0=0 "},
    {"bTRUE", "0=1 "}, {"bFalse", "0=0 "}, {"byEs", "0=1 "}, {"bNO", "0=0 "}, {"b On\r", "0=1 "},
    {"boFF", "0=0 "}, {"b", "18=1 "}, {"btru", "18=1 "}, {"b2", "18=1 "}, {"byes!", "18=1 "},
    {"bon off", "18=1 "}, {"b01", "18=1 "}, {"r1.5", "0=1.5 "}, {"r-2.5e3", "0=-2500 "},
    {"r+.5", "0=0.5 "}, {"r 3\r", "0=3 "}, {"r1,5", "18=42 "}, {"rinf", "18=42 "}, {"r-nan", "18=42 "},
    {"r1e400", "18=42 "}, {"r", "18=42 "}, {"r1.5x", "18=42 "}, {"r+-1", "18=42 "}, {"r0x1p3", "18=42 "}};
// clang-format on

TEST(Lookup, ParsesTypedValuesWholeAndExactly) {
  for (const auto& each : kTyped) {
    EXPECT_EQ(typed(each[0]), each[1]) << each[0];
  }
  // A host locale with a comma as decimal point changes nothing.
  for (const char* pLocale : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, pLocale) != nullptr) {
      EXPECT_STREQ(std::localeconv()->decimal_point, ",");
      EXPECT_EQ(typed("r-1.5") + typed("r1,5"), "0=-1.5 18=42 ");
      std::setlocale(LC_ALL, "C");
    }
  }
}

template <typename T>
std::string got(const vask::Sections& sections, const char* pKey) {
  T value{};
  const int code = sections.get("s", pKey, value);
  return shown(code, value);
}

TEST(Lookup, TellsMissingFromMalformedAndFallsBack) {
  const vask::Sections sections = parsed("[s]\nn=42\nb=yes\nr=2.5\nport =1\n");
  std::string text;
  for (const char* pKey : {"n", "b", "r", "none", "port"}) {
    text += got<int64_t>(sections, pKey) + got<bool>(sections, pKey) + got<double>(sections, pKey) +
            got<std::string_view>(sections, pKey) + "| ";
  }
  EXPECT_EQ(text,
            "0=42 18=0 0=42 0=42 | 18=0 0=1 18=0 0=yes | 18=0 18=0 0=2.5 0=2.5 | "
            "16=0 16=0 16=0 16= | 17=0 17=0 17=0 17= | ");
  const VaskCommonDQueueHandle_t handle = sections.handle();
  int64_t integer = 0;
  bool flag = true;
  double real = 0;
  const char* pText = nullptr;
  text = shown(VaskInitializationLookup_getIntegerOr(handle, "s", "none", 7, &integer), integer);
  text += shown(VaskInitializationLookup_getBooleanOr(handle, "t", "b", false, &flag), flag);
  text += shown(VaskInitializationLookup_getRealOr(handle, "s", "port", 0.5, &real), real);
  text += shown(VaskInitializationLookup_getStringOr(handle, "s", "none", "d", &pText), pText);
  text += shown(VaskInitializationLookup_getIntegerOr(handle, "s", "b", 7, &integer), integer);
  text += shown(VaskInitializationLookup_getBooleanOr(handle, "s", "n", true, &flag), flag);
  text += shown(VaskInitializationLookup_getRealOr(handle, "s", "b", 1, &real), real);
  text += shown(VaskInitializationLookup_getStringOr(handle, "s", "n", "d", &pText), pText);
  EXPECT_EQ(text, "0=7 0=0 17=0.5 0=d 18=7 18=0 18=0.5 0=42 ");
}

// clang-format off
const char* const kList[][2] = {  // value, elements joined with '|'
    {"a,b,c", "a|b|c"}, {"  ", ""}, {"", ""}, {"]", ""}, {"[1,2],3", "[1,2]|3"}, {"a,b],c", "a|b"},
    {"\"x,y\",z", "\"x,y\"|z"}, {"a,", "a|"}, {",", "|"}, {"\"[\",x", "\"[\",x"},
    {" [a, [b]] , \"c\" ", " [a, [b]] | \"c\" "}, {"[\"]\",y],z", "[\"]\"|y"}};
// clang-format on

TEST(Lookup, SplitsListsAsTheCountCountsThem) {
  for (const auto& each : kList) {
    size_t count = 0;
    size_t expected = 0;
    ASSERT_EQ(VaskInitializationLookup_listSize(each[0], &count), 0);
    VaskInitializationUtility_size(each[0], each[0] + std::strlen(each[0]), &expected);
    EXPECT_EQ(count, expected) << each[0];
    std::string joined;
    const char* pBegin = nullptr;
    const char* pEnd = nullptr;
    for (size_t i = 0; i < count; ++i) {
      ASSERT_EQ(VaskInitializationLookup_listElement(each[0], i, &pBegin, &pEnd), 0);
      ASSERT_TRUE(pBegin >= each[0] && pEnd >= pBegin) << each[0];
      joined += (i > 0 ? "|" : "") + std::string(pBegin, pEnd);
    }
    EXPECT_EQ(joined, each[1]);
    EXPECT_EQ(VaskInitializationLookup_listElement(each[0], count, &pBegin, &pEnd), 16);
  }
}

// clang-format off
const char* const kEdit[][5] = {  // text, section, key, value to set or null to remove, result
    {"[s]\nk=1\nk=2\n", "s", "k", "9", "[s]\n\nk=1\nk=9\n"},
    {"[s]\na=1\n[t]\nb=2\n[s]\nc=3\n# tail\n", "s", "k", "v",
     "[s]\n\na=1\n\n[t]\n\nb=2\n\n[s]\n\nc=3\n\n# tail\n\nk=v\n"},
    {"[s]\na=1\n", "n", "k", "", "[s]\n\na=1\n\n[n]\n\nk=\n"},
    {"[s]\na=1\n", "", "k", "v", "k=v\n\n[s]\n\na=1\n"},
    {"k=0\n[s]\na=1\n", "", "x", "1", "k=0\nx=1\n\n[s]\n\na=1\n"},
    {"", "s", "k ", "v", "[s]\n\nk =v\n"}, {"", "", "k", "v", "k=v\n"},
    {"[s]\nk=1\nx=0\nk=2\n; c\nk=3\n[t]\nk=4\n[s]\nk=5\n", "s", "k", nullptr,
     "[s]\n\nx=0\n\n; c\n\n\n[t]\n\nk=4\n\n[s]\n\n"}};
// clang-format on

int edit(vask::Sections& sections, const char* const (&each)[5]) {
  return each[3] != nullptr ? sections.set(each[1], each[2], each[3])
                            : sections.remove(each[1], each[2]);
}

TEST(Lookup, SetsAndRemovesWhereItReadsBack) {
  for (const auto& each : kEdit) {
    vask::Sections sections = parsed(each[0]);
    EXPECT_EQ(edit(sections, each), 0) << each[0];
    EXPECT_EQ(written(sections), each[4]) << each[0];
    EXPECT_EQ(parsed(each[4]).find(each[1], each[2]),
              each[3] ? std::optional(each[3]) : std::nullopt);
    EXPECT_EQ(sections.remove(each[1], each[2]), each[3] ? 0 : 16);
    EXPECT_EQ(sections.remove(each[1], each[2]), 16);
  }
  vask::Sections sections = parsed(kEdit[7][0]);
  size_t removed = 0;
  EXPECT_EQ(VaskInitializationLookup_remove(sections.handle(), "s", "k", &removed), 0);
  EXPECT_EQ(removed, 4U);
}

// Each edit with the N-th fault point failing, for N = 1, 2, ... until it
// completes without the fault: the code is the fault's, the text is as
// before, nothing leaks, and every trace line has the one shape.
TEST(Lookup, FailedEditsLeaveTheQueueAsItWas) {
  const std::regex kLine(R"(E [a-z_]+\.cpp:# \w+: [a-z /]+\((5|4)\))");
  for (const auto& each : kEdit) {
    bool isFired = true;
    for (unsigned nth = 1; isFired; ++nth) {
      const vask::test::HeapCheck heap;
      {
        vask::Sections sections = parsed(each[0]);
        const std::string before = written(sections);
        vask::test::TraceCapture trace;
        vask::test::FaultScope fault(nth, 4);
        const int result = edit(sections, each);
        isFired = vask::test::faultFired();
        vask::test::faultDisarm();
        EXPECT_EQ(result, isFired ? (result == 5 ? 5 : 4) : 0) << each[0] << nth;
        EXPECT_EQ(written(sections) == before, isFired) << each[0] << nth;
        EXPECT_EQ(trace.lines().empty(), !isFired) << each[0] << nth;
        for (const std::string& line : trace.lines()) {
          EXPECT_TRUE(std::regex_match(line, kLine)) << line;
        }
      }
      EXPECT_EQ(heap.leaked(), 0) << each[0] << nth;
    }
  }
}

TEST(Lookup, RefusesWhatWouldNotReadBackAndNullArguments) {
  // clang-format off
  const char* const kRefused[][3] = {
      {"s", "k", "a b"}, {"s", "k", "a#"}, {"s", "k", "a;b"}, {"s", "k", "a\tb"}, {"s", "k", "\n"},
      {"s", "", "v"}, {"s", "a=b", "v"}, {"s", " k", "v"}, {"s", "[k", "v"}, {"s", "#k", "v"},
      {"s", ";k", "v"}, {"s", "k\n", "v"}, {"a]b", "k", "v"}, {"a\nb", "k", "v"},
      {nullptr, "k", "v"}, {"s", nullptr, "v"}, {"s", "k", nullptr}};
  // clang-format on
  vask::Sections sections = parsed("[s]\nk=1\n");
  const VaskCommonDQueueHandle_t handle = sections.handle();
  std::vector<int> codes;
  for (const auto& each : kRefused) {
    codes.push_back(sections.set(each[0], each[1], each[2]));
  }
  VaskInitializationMember_t* pMember = nullptr;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  const char* pText = nullptr;
  codes.insert(codes.end(), {VaskInitializationLookup_set(0, "s", "k", "v"),
                             VaskInitializationLookup_find(0, "s", "k", &pMember),
                             VaskInitializationLookup_find(handle, nullptr, "k", &pMember),
                             VaskInitializationLookup_find(handle, "s", nullptr, &pMember),
                             VaskInitializationLookup_find(handle, "s", "k", nullptr),
                             VaskInitializationLookup_hasSection(handle, nullptr),
                             VaskInitializationLookup_sectionNext(handle, nullptr, &pText),
                             VaskInitializationLookup_memberNext(0, nullptr, &cursor, &pMember),
                             VaskInitializationLookup_getString(handle, "s", "k", nullptr),
                             VaskInitializationLookup_getIntegerOr(handle, "s", "k", 1, nullptr),
                             VaskInitializationLookup_parseInteger(nullptr, nullptr, nullptr),
                             VaskInitializationLookup_listSize(nullptr, nullptr),
                             VaskInitializationLookup_remove(0, "s", "k", nullptr)});
  EXPECT_EQ(codes, std::vector<int>(codes.size(), 13));
  EXPECT_EQ(written(sections), "[s]\n\nk=1\n");
  EXPECT_EQ(VaskInitializationLookup_sectionDelete(nullptr), 0);
}

}  // namespace
