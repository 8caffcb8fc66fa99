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

// Every grouping rule in one file: the part before the first header and "[]"
// make ""; the comment between members starts a part that continues [s]; [s]
// comes back; [b] replaces [a]; names keep their case; [e] has no member.
const char kFile[] =
    "k=1\n[s]\na=1\n; c\nb=2\n[t]\nport = 80\np\r=2\n[s]\nk=2\nk=3\nm=\nx\t=8\nx=1\n[]\nz=9\n"
    "[a]\n[b]\nx=1\n[S]\nqq=1\nq x=2\n# tail\n[e]\n";

const char* const kFind[][3] = {  // section, key, find's code and value (or the near key)
    {"", "k", "0=1 "},          {"", "z", "0=9 "},    {"s", "b", "0=2 "},  {"s", "k", "0=3 "},
    {"s", "m", "0= "},          {"s", "x", "0=1 "},   {"b", "x", "0=1 "},  {"a", "x", "16=- "},
    {"s", "qq", "16=- "},       {"S", "qq", "0=1 "},  {"S", "q", "16=- "}, {"u", "k", "16=- "},
    {"t", "port", "17=port  "}, {"t", "p", "17=p\r "}};

TEST(Lookup, FindsAndWalksLogicalSections) {
  const vask::Sections sections = parsed(kFile);
  for (const auto& each : kFind) {
    VaskInitializationMember_t* pMember = nullptr;
    const int code = VaskInitializationLookup_find(sections.handle(), each[0], each[1], &pMember);
    const char* pShown = pMember == nullptr ? "-" : code == 0 ? pMember->pValue : pMember->pKey;
    EXPECT_EQ(shown(code, pShown), each[2]) << each[0] << "." << each[1];
    EXPECT_EQ(sections.find(each[0], each[1]).value_or("-"), code == 0 ? pShown : "-");
  }
  std::string text;
  for (vask::LogicalSection section : sections.sections()) {
    text += "[" + std::string(section.name()) + "]";
    for (vask::Entry entry : section.members()) {
      text += std::string(entry.key()) + "=" + std::string(entry.value()) + " ";
    }
  }
  for (vask::Entry entry : sections.members()) {  // every member with its section's name
    text += std::string(entry.section) + "." + std::string(entry.key()) + " ";
  }
  EXPECT_EQ(text,
            "[]k=1 z=9 [s]a=1 b=2 k=2 k=3 m= x\t=8 x=1 [t]port = p\r=2 [b]x=1 [S]qq=1 q x=2 [e]"
            ".k s.a s.b t.port  t.p\r s.k s.k s.m s.x\t s.x .z b.x S.qq S.q x ");
  EXPECT_EQ(VaskInitializationLookup_hasSection(sections.handle(), "e"), 0);
  EXPECT_EQ(VaskInitializationLookup_hasSection(sections.handle(), "a"), 16);
  EXPECT_EQ(VaskInitializationLookup_hasSection(parsed("# c\n").handle(), ""), 16);
}

// clang-format off
const char* const kTyped[][2] = {  // text; code and value as integer, boolean, real (42, 1 before)
    {"-9223372036854775808", "0=-9223372036854775808 18=1 0=-9.22337e+18 "},
    {"9223372036854775807", "0=9223372036854775807 18=1 0=9.22337e+18 "},
    {"9223372036854775808", "18=42 18=1 0=9.22337e+18 "}, {"+5", "0=5 18=1 0=5 "},
    {"-9223372036854775809", "18=42 18=1 0=-9.22337e+18 "}, {" 5 ", "0=5 18=1 0=5 "},
    {"5\r", "0=5 18=1 0=5 "}, {"5x", "18=42 18=1 18=42 "}, {"", "18=42 18=1 18=42 "},
    {"+-5", "18=42 18=1 18=42 "}, {"0", "0=0 0=0 0=0 "}, {"1", "0=1 0=1 0=1 "},
    {"TRUE", "18=42 0=1 18=42 "}, {"False", "18=42 0=0 18=42 "}, {"yEs", "18=42 0=1 18=42 "},
    {"NO", "18=42 0=0 18=42 "}, {" On\r", "18=42 0=1 18=42 "}, {"oFF", "18=42 0=0 18=42 "},
    {"on off", "18=42 18=1 18=42 "}, {"-2.5e3", "18=42 18=1 0=-2500 "}, {"+.5", "18=42 18=1 0=0.5 "},
    {"1,5", "18=42 18=1 18=42 "}, {"inf", "18=42 18=1 18=42 "}, {"-nan", "18=42 18=1 18=42 "},
    {"1e400", "18=42 18=1 18=42 "}, {"0x10", "18=42 18=1 18=42 "}};
// clang-format on

std::string typed(const char* pText) {
  const char* pEnd = pText + std::strlen(pText);
  int64_t integer = 42;
  bool flag = true;
  double real = 42;
  return shown(VaskInitializationLookup_parseInteger(pText, pEnd, &integer), integer) +
         shown(VaskInitializationLookup_parseBoolean(pText, pEnd, &flag), flag) +
         shown(VaskInitializationLookup_parseReal(pText, pEnd, &real), real);
}

TEST(Lookup, ParsesTypedValuesWholeAndExactly) {
  for (const auto& each : kTyped) {
    EXPECT_EQ(typed(each[0]), each[1]) << "'" << each[0] << "'";
  }
  // A host locale with a comma as decimal point changes nothing.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(typed("-1.5") + typed("1,5"), "18=42 18=1 0=-1.5 18=42 18=1 18=42 ");
    (void)std::setlocale(LC_ALL, "C");
  }
}

// Missing (16, or 17 for a near miss) and malformed (18) stay apart; the
// output is left as it was, or gets the fallback of an ...Or call.
TEST(Lookup, TellsMissingFromMalformedAndFallsBack) {
  const vask::Sections sections = parsed("[s]\nn=42\nb=on\nport =1\n");
  std::string text;
  for (const char* pKey : {"n", "b", "none", "port"}) {
    int64_t integer = 1;
    bool flag = false;
    double real = 1;
    std::string_view view = "-";
    int64_t fallback = 1;
    const char* pText = "-";
    text += shown(sections.get("s", pKey, integer), integer) +
            shown(sections.get("s", pKey, flag), flag) +
            shown(sections.get("s", pKey, real), real) +
            shown(sections.get("s", pKey, view), view) +
            shown(VaskInitializationLookup_getIntegerOr(sections.handle(), "s", pKey, 7, &fallback),
                  fallback) +
            shown(VaskInitializationLookup_getStringOr(sections.handle(), "s", pKey, "d", &pText),
                  pText) +
            "| ";
  }
  EXPECT_EQ(text,
            "0=42 18=0 0=42 0=42 0=42 0=42 | 18=1 0=1 18=1 0=on 18=1 0=on | "
            "16=1 16=0 16=1 16=- 0=7 0=d | 17=1 17=0 17=1 17=- 17=7 17=d | ");
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

// Each edit with the N-th fault point failing, N = 1, 2, ... until it completes:
// then the text is as expected and reads back; before, the code is the fault's,
// the text unchanged, and every trace line well-formed. Nothing ever leaks.
TEST(Lookup, EditsReadBackAndFailedOnesChangeNothing) {
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
        const int result = each[3] != nullptr ? sections.set(each[1], each[2], each[3])
                                              : sections.remove(each[1], each[2]);
        isFired = vask::test::faultFired();
        vask::test::faultDisarm();
        EXPECT_EQ(result, isFired ? (result == 5 ? 5 : 4) : 0) << each[0] << nth;
        EXPECT_EQ(written(sections), isFired ? before : each[4]) << each[0] << nth;
        EXPECT_EQ(trace.lines().empty(), !isFired) << each[0] << nth;
        for (const std::string& line : trace.lines()) {
          EXPECT_TRUE(std::regex_match(line, kLine)) << line;
        }
      }
      EXPECT_EQ(heap.leaked(), 0) << each[0] << nth;
    }
    EXPECT_EQ(parsed(each[4]).find(each[1], each[2]).value_or("-"), each[3] ? each[3] : "-");
  }
  vask::Sections sections = parsed(kEdit[7][0]);
  size_t removed = 0;
  EXPECT_EQ(VaskInitializationLookup_remove(sections.handle(), "s", "k", &removed) + removed, 4U);
  EXPECT_EQ(sections.remove("s", "k"), 16);
}

// A load gives a queue, or on failure no queue; either way, once the queue is
// closed nothing is left behind.
TEST(Lookup, LoadLeavesNothingBehind) {
  const vask::test::HeapCheck heap;
  for (const char* pName : {"app-settings.ini", "none.ini"}) {
    const vask::Sections sections((std::string(VASK_TEST_DATA_DIR "/") + pName).c_str());
    EXPECT_EQ(sections.loadResult() == 0, sections.handle() != 0) << pName;
    EXPECT_EQ(sections.loadResult(), *pName == 'n' ? 2 : 0) << pName;
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(Lookup, RefusesWhatWouldNotReadBack) {
  // clang-format off
  const char* const kRefused[][3] = {
      {"s", "k", "a b"}, {"s", "k", "a#"}, {"s", "k", "a;b"}, {"s", "k", "a\tb"}, {"s", "k", "\n"},
      {"s", "", "v"}, {"s", "a=b", "v"}, {"s", " k", "v"}, {"s", "[k", "v"}, {"s", "#k", "v"},
      {"s", ";k", "v"}, {"s", "k\n", "v"}, {"a]b", "k", "v"}, {"a\nb", "k", "v"},
      {nullptr, "k", "v"}, {"s", nullptr, "v"}, {"s", "k", nullptr}};
  // clang-format on
  vask::Sections near = parsed("[s]\nport = 80\n");  // a second "port" would hide the first
  EXPECT_EQ(near.set("s", "port", "1"), 17);
  EXPECT_EQ(written(near), "[s]\n\nport =\n");
  vask::Sections sections = parsed("[s]\nk=1\n");
  for (const auto& each : kRefused) {
    EXPECT_EQ(sections.set(each[0], each[1], each[2]), 13) << each[1] << "=" << each[2];
  }
  VaskInitializationMember_t* pMember = nullptr;
  EXPECT_EQ(
      std::vector<int>({VaskInitializationLookup_set(0, "s", "k", "v"),
                        VaskInitializationLookup_find(0, "s", "k", &pMember),
                        VaskInitializationLookup_find(sections.handle(), "s", "k", nullptr),
                        VaskInitializationLookup_getString(sections.handle(), "s", "k", nullptr)}),
      std::vector<int>(4, 13));
  EXPECT_EQ(written(sections), "[s]\n\nk=1\n");
}

}  // namespace
