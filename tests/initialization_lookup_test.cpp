#include <gtest/gtest.h>

#include <initialization_utility.h>
#include <initialization_lookup.hpp>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <limits>
#include <regex>
#include <string>

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

[[maybe_unused]] std::string written(const vask::Sections& sections) {
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
