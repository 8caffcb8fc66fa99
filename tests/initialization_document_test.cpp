// Documents: exact bytes and the reader's sections of them, edited line by line.
// After every edit the queue must be the reader's own result on the text, the
// document's index must say what a fresh document of that text says, the lines
// not edited must stay byte for byte, and the members must read as the lookup
// library's own edit of the queue says.
#include <gtest/gtest.h>

#include <initialization_document.h>
#include <initialization_lookup.hpp>

#include <array>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "sections.h"
#include "trace.h"

namespace {

using Handle = VaskInitializationDocumentHandle_t;

// A document, closed with the object.
class Document {
 public:
  explicit Document(const std::string& text) {
    result_ = VaskInitializationDocument_parse(text.data(), text.size(), &handle_, &diagnostic_);
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  ~Document() { EXPECT_EQ(VaskInitializationDocument_close(&handle_), 0); }
  Handle handle() const { return handle_; }
  int result() const { return result_; }
  const VaskInitializationDiagnostic_t& diagnostic() const { return diagnostic_; }
  std::string text() const {
    const char* pText = nullptr;
    size_t size = 0;
    EXPECT_EQ(VaskInitializationDocument_text(handle_, &pText, &size), 0);
    return std::string(pText, size);
  }
  VaskCommonDQueueHandle_t queue() const {
    VaskCommonDQueueHandle_t hQueue = 0;
    EXPECT_EQ(VaskInitializationDocument_sections(handle_, &hQueue), 0);
    return hQueue;
  }

 private:
  Handle handle_ = 0;
  int result_ = 0;
  VaskInitializationDiagnostic_t diagnostic_{};
};

constexpr char kMark[] = "\xef\xbb\xbf";

using vask::test::readerView;

// Every member with its line and logical section, through the document's walk.
std::string walk(Handle handle) {
  std::string text;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationMember_t* pMember = nullptr;
  size_t line = 0;
  while (VaskInitializationDocument_memberNext(handle, nullptr, &cursor, &pMember, &line) == 0) {
    text += std::to_string(line) + ":[" + cursor.pName + "]" + pMember->pKey + "=" +
            pMember->pValue + (pMember->pComment != nullptr ? pMember->pComment : "") + "\n";
  }
  VaskInitializationLookupCursor_t sections = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  for (const char* pName = nullptr;
       VaskInitializationDocument_sectionNext(handle, &sections, &pName) == 0;) {
    text += std::string("<") + pName + ">";
  }
  return text;
}

// Every finding, one line each.
std::string findings(Handle handle) {
  std::string text;
  VaskInitializationDiagnostic_t d{};
  for (size_t i = 0; VaskInitializationDocument_check(handle, i, &d) == 0; ++i) {
    text += std::to_string(d.line) + ":" + std::to_string(d.code) + "[" + std::to_string(d.begin) +
            "," + std::to_string(d.end) + ")" +
            (d.otherLine ? ">" + std::to_string(d.otherLine) : "") + " ";
  }
  return text;
}

// The names the lookup library's walk gives on a queue.
std::string names(VaskCommonDQueueHandle_t hQueue) {
  std::string text;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  for (const char* pName = nullptr;
       VaskInitializationLookup_sectionNext(hQueue, &cursor, &pName) == 0;) {
    text += std::string("<") + pName + ">";
  }
  return text;
}

// Every section's members by name, as "<name>key=value" each. With `isBuilding`, a
// lookup after each section's first member makes the walk go on through the
// full index. Through the lookup library's walk when the handle is 0.
std::string namedWalks(Handle handle, VaskCommonDQueueHandle_t hQueue, bool isBuilding) {
  std::string text;
  VaskInitializationLookupCursor_t sections = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  for (const char* pName = nullptr;
       VaskInitializationLookup_sectionNext(hQueue, &sections, &pName) == 0;) {
    VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember = nullptr;
    while ((handle != 0
                ? VaskInitializationDocument_memberNext(handle, pName, &cursor, &pMember, nullptr)
                : VaskInitializationLookup_memberNext(hQueue, pName, &cursor, &pMember)) == 0) {
      text += std::string("<") + pName + ">" + pMember->pKey + "=" + pMember->pValue + "\n";
      VaskInitializationMember_t* pFound = nullptr;
      if (isBuilding) {
        EXPECT_EQ(VaskInitializationDocument_find(handle, pName, pMember->pKey, &pFound, nullptr),
                  0);
      }
    }
  }
  return text;
}

// The document after an edit says what a fresh document of its text says:
// queue, walk with line numbers, names in order (also through the lookup
// library's walk, which a document's queue speeds up), findings.
void expectFresh(const Document& document) {
  const std::string text = document.text();
  const Document fresh(text);
  ASSERT_EQ(fresh.result(), 0) << text;
  const vask::Sections plain = vask::test::queueOf();
  ASSERT_EQ(vask::test::parseInto(text.starts_with(kMark) ? text.substr(3) : text, plain.handle()),
            0);
  EXPECT_EQ(names(document.queue()), names(plain.handle())) << text;
  const std::string byName = namedWalks(0, plain.handle(), false);
  EXPECT_EQ(namedWalks(Document(text).handle(), plain.handle(), false), byName) << text;
  EXPECT_EQ(namedWalks(Document(text).handle(), plain.handle(), true), byName) << text;
  EXPECT_EQ(namedWalks(document.handle(), plain.handle(), false), byName) << text;
  EXPECT_EQ(walk(document.handle()).ends_with(names(plain.handle())), true) << text;
  EXPECT_EQ(vask::test::dump(document.queue()), readerView(text)) << text;
  EXPECT_EQ(walk(document.handle()), walk(fresh.handle())) << text;
  EXPECT_EQ(findings(document.handle()), findings(fresh.handle())) << text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// --- edits, exactly -----------------------------------------------------------

struct EditCase {
  const char* pText;
  const char* pSection;
  const char* pKey;    // null: remove the section
  const char* pValue;  // null: remove the key
  int code;
  const char* pResult;  // null: unchanged
};

const std::string kServer = "[server]\nname = web one\nport = 80\n; admin\nadmin=ops\n\n[paths]\n";

// clang-format off
const EditCase kEdits[] = {
  {"[s]\nk=a=b # c\n", "s", "k", "v", 0, "[s]\nk=v # c\n"},
  {"[s]\n  k=old text\t ;c\r\n", "s", "k", "new", 0, "[s]\n  k=new ;c\r\n"},
  {"[s]\nk=v\n", "s", "k", "v", 0, nullptr},
  {"[s]\nport = 80\n", "s", "port", "1", 17, nullptr},
  {"[s]\nport = 80\n", "s", "port ", "8080", 0, "[s]\nport =8080\n"},
  {"[s]\na=1\n[t]\nb=2\n[s]\nc=3\n# end\n", "s", "d", "4", 0, "[s]\na=1\n[t]\nb=2\n[s]\nc=3\nd=4\n# end\n"},
  {"[a]\nk=1\n[b]\n# x\n", "b", "y", "1", 0, "[a]\nk=1\n[b]\ny=1\n# x\n"},
  {"# licence\n\n[s]\na=1\n", "", "k", "v", 0, "# licence\n\nk=v\n[s]\na=1\n"},
  {"[s]\r\na=1", "t", "b", "2", 0, "[s]\r\na=1\n[t]\nb=2\n"},
  {"[s]\r\n", "", "k", "v", 0, "k=v\r\n[s]\r\n"},
  {"[s]\r\nk=1\r\n", "s", "j", "2", 0, "[s]\r\nk=1\r\nj=2\r\n"},
  {"[s]\nk=1", "s", "j", "2", 0, "[s]\nk=1\nj=2\n"},
  {"", "s", "k", "v", 0, "[s]\nk=v\n"},
  {"", "", "k", "v", 0, "k=v\n"},
  {"\xef\xbb\xbf[s]\nk=1\n", "", "top", "v", 0, "\xef\xbb\xbftop=v\n[s]\nk=1\n"},
  {"[s]\nk=1\n\0junk\n", "t", "x", "1", 0, "[s]\nk=1\n[t]\nx=1\n\0junk\n"},
  {"[s]\nk=1\n[s]\n", "s", "j", "2", 0, "[s]\nk=1\n[s]\nj=2\n"},
  {"[s]\nk=v\n", "s", "k", "a b", 13, nullptr},
  {"[s]\nk=v\n", "s", "k", "a#b", 13, nullptr},
  {"[s]\nk=v\n", "s", "a=b", "v", 13, nullptr},
  {"[s]\nk=v\n", "s", " k", "v", 13, nullptr},
  {"[s]\nk=v\n", "a]b", "k", "v", 13, nullptr},
  {"[s]\nk=v\n", "s", "", "v", 13, nullptr},
  {"[s]\na=1\nb=2\na=3\n[s]\na=4\nc=5\n", "s", "a", nullptr, 0, "[s]\nb=2\n[s]\nc=5\n"},
  {"[s]\nk=1\n[t]\nx=1\n", "s", "k", nullptr, 0, "[s]\n[t]\nx=1\n"},
  {"[s]\nport = 80\n", "s", "port", nullptr, 17, nullptr},
  {"[s]\nk=1\n", "s", "x", nullptr, 16, nullptr},
  {"# about s\n[s]\n; in\na=1\n# mid\nb=2\n\n# about t\n[t]\nc=3\n", "s", nullptr, nullptr, 0,
   "# about s\n\n# about t\n[t]\nc=3\n"},
  {"[b]\n[b]\nw=1\n[c]\nx=1\n", "b", nullptr, nullptr, 0, "[c]\nx=1\n"},
  {"[b]\n[c]\nw=1\n", "b", nullptr, nullptr, 16, nullptr},
  {"[a]\nx=1\n[b]\n", "b", nullptr, nullptr, 0, "[a]\nx=1\n"},
  {"k=1\n[s]\na=1\n", "", nullptr, nullptr, 0, "[s]\na=1\n"},
};
// clang-format on

TEST(Document, EditsChangeExactlyTheirLines) {
  for (const EditCase& each : kEdits) {
    const std::string text(
        each.pText, std::strlen(each.pText) + (std::strstr(each.pText, "junk") != nullptr ? 6 : 0));
    SCOPED_TRACE(testing::PrintToString(text) + " " + each.pSection + "." +
                 (each.pKey ? each.pKey : "*") + "=" + (each.pValue ? each.pValue : "-"));
    const Document document(text);
    ASSERT_EQ(document.result(), 0);
    const char* pText = nullptr;
    size_t size = 0;
    ASSERT_EQ(VaskInitializationDocument_text(document.handle(), &pText, &size), 0);
    ASSERT_EQ(pText[size], '\0');  // a zero byte after the text, as the header says
    const int code =
        each.pKey == nullptr
            ? VaskInitializationDocument_removeSection(document.handle(), each.pSection)
        : each.pValue == nullptr ? VaskInitializationDocument_remove(
                                       document.handle(), each.pSection, each.pKey, nullptr)
                                 : VaskInitializationDocument_set(document.handle(), each.pSection,
                                                                  each.pKey, each.pValue);
    EXPECT_EQ(code, each.code);
    std::string expected = each.pResult != nullptr ? each.pResult : text;
    if (each.pResult != nullptr && std::strstr(each.pResult, "junk") != nullptr) {
      expected.append("\0junk\n", 6);
    }
    EXPECT_EQ(document.text(), expected);
    expectFresh(document);
  }
}

TEST(Document, FindsAMembersLineAndNamesAMalformedOne) {
  const Document document("\xef\xbb\xbf# c\n[s]\r\nport = 80\nk=v\nk=w\n");
  VaskInitializationMember_t* pMember = nullptr;
  size_t line = 0;
  EXPECT_EQ(VaskInitializationDocument_find(document.handle(), "s", "k", &pMember, &line), 0);
  EXPECT_EQ(std::string(pMember->pValue) + std::to_string(line), "w5");
  EXPECT_EQ(VaskInitializationDocument_find(document.handle(), "s", "port", &pMember, &line), 17);
  EXPECT_EQ(std::string(pMember->pKey) + std::to_string(line), "port 3");
  EXPECT_EQ(VaskInitializationDocument_find(document.handle(), "t", "k", &pMember, &line), 16);
  EXPECT_EQ(pMember, nullptr);
  const Document marked("\xef\xbb\xbf[s]\nbad\n");  // the mark is no part of line 1
  EXPECT_EQ(std::to_string(marked.result()) + " " + std::to_string(marked.diagnostic().line) + " " +
                std::to_string(marked.diagnostic().offset),
            "19 2 7");
  const std::string bad = "[a]\nx=1\n\t broken line\r\nmore\n";
  const Document malformed(bad);
  const VaskInitializationDiagnostic_t& d = malformed.diagnostic();
  EXPECT_EQ(malformed.result(), VaskCommonError_MalformedLine);
  EXPECT_EQ(std::to_string(d.code) + " " + std::to_string(d.line) + " " + std::to_string(d.offset) +
                " " + std::to_string(d.length) + " " + d.aText,
            "19 3 8 14 \t broken line\r");
}

// --- random edits ---------------------------------------------------------------

std::string generated(std::mt19937& random) {
  using namespace std::string_literals;  // pieces may hold zero bytes
  static const std::vector<std::string> kPieces = {
      "[s]",    "[t]",    "[]",      " [u] # x",      "k=1",       "k = 2",     "a=v # c", "a=v;c",
      "=e",     "# note", "; other", "b=hello world", "port = 80", "b=\tx ; y", "",        "  ",
      "k=last", "[s",     "z=0\x01", "[t] tail",      "k=a\0b"s,   "\0end"s,    "[s]\0x"s, "k=v\r"};
  std::string text = random() % 8 == 0 ? kMark : "";
  const std::string ending = random() % 3 == 0 ? "\r\n" : "\n";
  for (size_t count = random() % 14; count > 0; --count) {
    text += kPieces[random() % kPieces.size()] + (count > 1 || random() % 4 != 0 ? ending : "");
  }
  return text;
}

// The logical members of a queue; a value set keeps the CR of a CR LF line.
using Members = std::vector<std::pair<std::string, std::string>>;  // section, member
Members members_of(VaskCommonDQueueHandle_t hQueue, const std::string& value) {
  Members members;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationMember_t* pMember = nullptr;
  while (VaskInitializationLookup_memberNext(hQueue, nullptr, &cursor, &pMember) == 0) {
    const std::string read = pMember->pValue;
    members.emplace_back(cursor.pName, std::string(pMember->pKey) + "=" +
                                           (read == value + "\r" ? value : read) +
                                           (pMember->pComment ? pMember->pComment : "(none)"));
  }
  return members;
}

struct Step {
  int kind;  // 0 set, 1 remove, 2 remove the section
  std::string section, key, value;
};

// The code the lookup library gives for the edit on its copy of the queue, and
// the members the copy then holds.
int lookupEdit(const vask::Sections& sections, const Step& step, Members* pAfter) {
  const auto hQueue = sections.handle();
  const char* pSection = step.section.c_str();
  const char* pKey = step.key.c_str();
  VaskInitializationMember_t* pMember = nullptr;
  int code = 0;
  if (step.kind == 0) {
    code = VaskInitializationLookup_set(hQueue, pSection, pKey, step.value.c_str());
  } else if (step.kind == 1) {
    code = VaskInitializationLookup_find(hQueue, pSection, pKey, &pMember);
    code = code != 0 ? code : VaskInitializationLookup_remove(hQueue, pSection, pKey, nullptr);
  } else {
    code = VaskInitializationLookup_hasSection(hQueue, pSection);
  }
  *pAfter = members_of(hQueue, step.value);
  if (step.kind == 2 && code == 0) {
    std::erase_if(*pAfter, [&](const auto& member) { return member.first == step.section; });
  }
  return code;
}

int documentEdit(Handle handle, const Step& step) {
  switch (step.kind) {
    case 0:
      return VaskInitializationDocument_set(handle, step.section.c_str(), step.key.c_str(),
                                            step.value.c_str());
    case 1:
      return VaskInitializationDocument_remove(handle, step.section.c_str(), step.key.c_str(),
                                               nullptr);
    default:
      return VaskInitializationDocument_removeSection(handle, step.section.c_str());
  }
}

// Random edits on random texts and on the real files: untouched lines stay,
// the members read as the lookup library's edit says, a refusal changes nothing.
TEST(DocumentProperty, EditsChangeOnlyTheirLinesAndReadAsTheLookupsEdit) {
  std::vector<std::string> sources;
  for (const char* pName : {"app-settings.ini", "crlf.ini", "desktop-entry.ini", "service.ini"}) {
    sources.push_back(readFile(std::string(VASK_TEST_DATA_DIR) + "/" + pName));
  }
  const std::vector<std::string> kSections = {"s", "t", "u", "", "Desktop Entry", "server", "main"};
  const std::vector<std::string> kKeys = {"k", "a", "b", "port", "port ", "Name", "count", "n"};
  std::mt19937 random(20261206);
  const char* pEdits = std::getenv("VASK_DOCUMENT_PROPERTY_EDITS");  // the valgrind step runs few
  const int rounds = pEdits != nullptr ? std::atoi(pEdits) : 600;
  for (int round = 0; round < rounds; ++round) {
    const std::string start = random() % 3 == 0 ? sources[random() % 4] : generated(random);
    const Document document(start);
    if (document.result() != 0) {
      continue;
    }
    vask::Sections sections;
    ASSERT_EQ(sections.parse(start.starts_with(kMark) ? start.substr(3) : start), 0);
    for (int edit = 0; edit < 4; ++edit) {
      const Step step{static_cast<int>(random() % 3), kSections[random() % kSections.size()],
                      kKeys[random() % kKeys.size()],
                      edit % 7 == 3 ? "x y" : "v" + std::to_string(round)};
      const std::string before = document.text();
      SCOPED_TRACE(testing::PrintToString(before) + " edit " + std::to_string(step.kind) + " " +
                   step.section + "." + step.key + "=" + step.value);
      Members expected;
      const int code = documentEdit(document.handle(), step);
      const int lookup = lookupEdit(sections, step, &expected);
      ASSERT_EQ(code, lookup == 16 && code == 17 ? 17 : lookup);
      const std::string after = document.text();
      expectFresh(document);
      if (code != 0) {
        ASSERT_EQ(after, before);
        continue;
      }
      ASSERT_EQ(members_of(document.queue(), step.value), expected);
      const std::vector<std::string> old = vask::test::linesOf(before),
                                     now = vask::test::linesOf(after);
      if (step.kind != 0) {
        ASSERT_TRUE(vask::test::isSubsequence(now, old));
      } else if (old.size() == now.size()) {
        size_t differing = 0;
        for (size_t i = 0; i < old.size(); ++i) {
          differing += old[i] == now[i] ? 0 : 1;
        }
        ASSERT_LE(differing, 1U);
      } else {
        ASSERT_TRUE(vask::test::isSubsequence(old, now) && now.size() <= old.size() + 2);
      }
      ASSERT_EQ(sections.parse(after.starts_with(kMark) ? after.substr(3) : after), 0);
    }
  }
}

// The document's line of every member, and of a malformed line, against the
// reader: each member line read alone gives that member; the text before a
// malformed line loads, and fails with it.
TEST(DocumentProperty, LinePositionsAgreeWithTheReader) {
  const char* pTexts = std::getenv("VASK_DOCUMENT_LINE_TEXTS");
  const int texts = pTexts != nullptr ? std::atoi(pTexts) : 100000;
  std::mt19937 random(7);
  size_t members = 0;  // the texts must hold many
  static const char kAlphabet[] = "ab=#;[] \t\r\n\0=k\x0b\x0c\n";
  const std::string kBytes(kAlphabet, sizeof(kAlphabet) - 1);
  for (int round = 0; round < texts; ++round) {
    std::string text;
    for (size_t count = random() % 24; count > 0; --count) {
      text += kBytes[random() % kBytes.size()];
    }
    const Document document(text);
    const std::vector<std::string> lines = [&] {
      std::vector<std::string> all;
      for (size_t at = 0; at <= text.size();) {
        const size_t end = text.find('\n', at);
        all.push_back(text.substr(at, (end == std::string::npos ? text.size() : end + 1) - at));
        at = end == std::string::npos ? text.size() + 1 : end + 1;
      }
      return all;
    }();
    if (document.result() == VaskCommonError_MalformedLine) {
      const size_t offset = document.diagnostic().offset;
      ASSERT_EQ(readerView(text.substr(0, offset)) == "(does not load)", false) << round;
      ASSERT_EQ(readerView(text.substr(0, offset) + lines.at(document.diagnostic().line - 1)),
                "(does not load)")
          << round;
      continue;
    }
    ASSERT_EQ(document.result(), 0) << round;
    VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
    VaskInitializationMember_t* pMember = nullptr;
    size_t line = 0;
    while (VaskInitializationDocument_memberNext(document.handle(), nullptr, &cursor, &pMember,
                                                 &line) == 0) {
      const vask::test::MemberView alone{
          pMember->pKey, pMember->pValue,
          pMember->pComment ? vask::test::Text(pMember->pComment) : std::nullopt};
      const vask::Sections one = vask::test::queueOf({{{}, std::nullopt, {alone}}});
      ASSERT_EQ(readerView(lines.at(line - 1)), vask::test::dump(one.handle()))
          << round << " line " << line;
      ++members;
    }
  }
  EXPECT_GT(members, static_cast<size_t>(texts) / 4);
}

// --- findings -------------------------------------------------------------------

TEST(Document, ChecksEachKindOfLineThatReadsOtherwise) {
  static const char kText[] =
      "[a] x\n[b]\nkey = value\nk=hello world\nk=v;c\nk=v\r\n=lost\n[open\nc=1\n# n\0x\n\0rest\n";
  const std::string text(kText, sizeof(kText) - 1);
  const Document document(text);
  ASSERT_EQ(document.result(), 0);
  EXPECT_EQ(findings(document.handle()),
            "1:103[4,5) 1:106[0,5)>2 3:100[0,4) 3:101[6,11) 4:101[8,13) 5:101[3,3) 6:102[3,4) "
            "7:107[1,5) 8:105[1,5) 10:104[3,5) 11:104[0,5) ");
  VaskInitializationDiagnostic_t d{};
  const char kBad[] = "[s]\nk = v\nbad\nk=w x\n";  // the findings of line 2, then line 3
  const vask::test::TraceCapture trace;            // a malformed text is checked, not a failure
  EXPECT_EQ(VaskInitializationDocument_checkText(kBad, sizeof(kBad) - 1, 2, &d), 0);
  EXPECT_EQ(std::to_string(d.code) + " " + std::to_string(d.line) + " " + d.aText, "19 3 bad");
  EXPECT_EQ(VaskInitializationDocument_checkText(kBad, sizeof(kBad) - 1, 3, &d), 16);  // past it
  EXPECT_EQ(VaskInitializationDocument_checkText("[s]\nk=v\n", 8, 0, &d), 16);         // no finding
  EXPECT_EQ(trace.lines(), std::vector<std::string>{});
}

TEST(Document, RefusesNullArgumentsAndStaleWalks) {
  const Document document("[s]\nk=v\n");
  const Handle h = document.handle();
  Handle none = 0;
  Handle held = h;
  VaskInitializationMember_t* pMember = nullptr;
  VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
  VaskInitializationDiagnostic_t d{};
  VaskCommonDQueueHandle_t hQueue = 0;
  const VaskInitializationDocumentOpenParam_t param{};
  const char* pText = nullptr;
  const char* pName = nullptr;
  size_t size = 0;
  // clang-format off
  for (const int code : {
           VaskInitializationDocument_parse(nullptr, 1, &none, &d), VaskInitializationDocument_parse("", 0, nullptr, &d),
           VaskInitializationDocument_parse("", 0, &held, &d), VaskInitializationDocument_load(nullptr, &none, &d),
           VaskInitializationDocument_open("f", nullptr, &none, &d), VaskInitializationDocument_open("f", &param, nullptr, &d),
           VaskInitializationDocument_open("f", &param, &held, &d), VaskInitializationDocument_close(nullptr),
           VaskInitializationDocument_sections(0, &hQueue), VaskInitializationDocument_sections(h, nullptr),
           VaskInitializationDocument_find(0, "s", "k", &pMember, nullptr), VaskInitializationDocument_find(h, nullptr, "k", &pMember, nullptr),
           VaskInitializationDocument_find(h, "s", nullptr, &pMember, nullptr), VaskInitializationDocument_find(h, "s", "k", nullptr, nullptr),
           VaskInitializationDocument_sectionNext(0, &cursor, &pName), VaskInitializationDocument_sectionNext(h, nullptr, &pName),
           VaskInitializationDocument_sectionNext(h, &cursor, nullptr), VaskInitializationDocument_memberNext(0, nullptr, &cursor, &pMember, nullptr),
           VaskInitializationDocument_memberNext(h, nullptr, nullptr, &pMember, nullptr), VaskInitializationDocument_memberNext(h, nullptr, &cursor, nullptr, nullptr),
           VaskInitializationDocument_set(0, "s", "k", "v"), VaskInitializationDocument_set(h, nullptr, "k", "v"),
           VaskInitializationDocument_set(h, "s", nullptr, "v"), VaskInitializationDocument_set(h, "s", "k", nullptr),
           VaskInitializationDocument_remove(0, "s", "k", &size), VaskInitializationDocument_remove(h, nullptr, "k", &size),
           VaskInitializationDocument_remove(h, "s", nullptr, &size), VaskInitializationDocument_removeSection(0, "s"),
           VaskInitializationDocument_removeSection(h, nullptr), VaskInitializationDocument_text(0, &pText, &size),
           VaskInitializationDocument_text(h, nullptr, &size), VaskInitializationDocument_text(h, &pText, nullptr),
           VaskInitializationDocument_save(0, "f"), VaskInitializationDocument_save(h, nullptr),
           VaskInitializationDocument_save(h, ""), VaskInitializationDocument_lost(0, &pText, &size),
           VaskInitializationDocument_lost(h, nullptr, &size), VaskInitializationDocument_lost(h, &pText, nullptr),
           VaskInitializationDocument_check(0, 0, &d), VaskInitializationDocument_check(h, 0, nullptr),
           VaskInitializationDocument_checkText(nullptr, 1, 0, &d), VaskInitializationDocument_checkText("", 0, 0, nullptr)}) {
    EXPECT_EQ(code, 13);
  }
  // clang-format on
  EXPECT_EQ(none, 0U);
  EXPECT_EQ(VaskInitializationDocument_close(&none), 0);
  EXPECT_EQ(VaskInitializationDocument_memberNext(h, nullptr, &cursor, &pMember, nullptr), 0);
  EXPECT_EQ(VaskInitializationDocument_sectionNext(h, &(cursor = {}), &pName), 0);
  EXPECT_EQ(VaskInitializationDocument_set(h, "s", "j", "w"), 0);  // the walks begun before end
  EXPECT_EQ(VaskInitializationDocument_memberNext(h, nullptr, &cursor, &pMember, nullptr), 13);
  EXPECT_EQ(VaskInitializationDocument_sectionNext(h, &cursor, &pName), 13);
  EXPECT_EQ(document.text(), "[s]\nk=v\nj=w\n");
}

// --- files ------------------------------------------------------------------------

TEST(Document, LoadsAndSavesOverItsOwnFileKeepingTheMark) {
  const vask::test::TempFolder folder;
  const std::string path = folder.write("a.ini", "\xef\xbb\xbf[s]\r\nk = v\r\n");
  Handle handle = 0;
  ASSERT_EQ(VaskInitializationDocument_load(path.c_str(), &handle, nullptr), 0);
  EXPECT_EQ(VaskInitializationDocument_set(handle, "s", "k ", "w"), 0);
  EXPECT_EQ(VaskInitializationDocument_save(handle, nullptr), 0);
  EXPECT_EQ(folder.read("a.ini"), "\xef\xbb\xbf[s]\r\nk =w\r\n");
  EXPECT_EQ(VaskInitializationDocument_save(handle, folder.path("b.ini").c_str()), 0);
  EXPECT_EQ(folder.read("b.ini"), folder.read("a.ini"));
  const char* pLost = nullptr;
  size_t size = 0;
  EXPECT_EQ(VaskInitializationDocument_lost(handle, &pLost, &size), 16);
  EXPECT_EQ(VaskInitializationDocument_close(&handle), 0);
  VaskInitializationDiagnostic_t d{};
  const std::string bad = folder.write("bad.ini", "[s]\nnote\n");
  EXPECT_EQ(VaskInitializationDocument_load(bad.c_str(), &handle, &d), 19);
  EXPECT_EQ(handle, 0U);
  EXPECT_EQ(VaskInitializationDocument_load(folder.path("none").c_str(), &handle, &d), 2);
  EXPECT_EQ(d.code, 0);
}

// --- failures ---------------------------------------------------------------------

// One operation on a document, for the fault sweep.
struct Operation {
  const char* pFunction;  // the entry point: a returned failure's trace ends there
  int (*run)(Handle* pHandle, const std::string& path);
  const char* pResult;  // the text afterwards when it succeeds; null: as before
};

const std::string kText =
    readFile(VASK_TEST_DATA_DIR "/app-settings.ini") + "[trail]\nnote=1 # kept\n[last]\n";

const Operation kOperations[] = {
    // Without trailing comments: the reader keeps a member whose comment it could not copy.
    {"VaskInitializationDocument_parse",
     [](Handle* pHandle, const std::string&) {
       EXPECT_EQ(*pHandle, 0U);  // made afresh
       return VaskInitializationDocument_parse(kText.data(), kText.find("note="), pHandle, nullptr);
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "Window", "width", "1");
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "Window", "fresh", "1");
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "new", "k", "1");
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "", "top", "1");
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "last", "k", "1");
     },
     nullptr},
    {"VaskInitializationDocument_set",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_set(*pHandle, "trail", "note", "2");
     },
     nullptr},
    {"VaskInitializationDocument_remove",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_remove(*pHandle, "General", "theme", nullptr);
     },
     nullptr},
    {"VaskInitializationDocument_check",
     [](Handle* pHandle, const std::string&) {
       VaskInitializationDiagnostic_t diagnostic{};
       const int result = VaskInitializationDocument_check(*pHandle, 0, &diagnostic);
       return result == VaskCommonError_NoEntry ? 0 : result;
     },
     nullptr},
    {"VaskInitializationDocument_remove",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_remove(*pHandle, "Editor", "font_size", nullptr);
     },
     nullptr},
    {"VaskInitializationDocument_removeSection",
     [](Handle* pHandle, const std::string&) {
       return VaskInitializationDocument_removeSection(*pHandle, "Window");
     },
     nullptr},
    {"VaskInitializationDocument_save",
     [](Handle* pHandle, const std::string& path) {
       return VaskInitializationDocument_save(*pHandle, path.c_str());
     },
     nullptr},
};

class DocumentFault : public testing::TestWithParam<Operation> {};

// Every call that can fail, failing in turn: the code is the failure's, the text
// and its queue are as before, the traces form one chain, nothing leaks.
TEST_P(DocumentFault, AFailedOperationChangesNothing) {
  const std::regex line(R"(E \w+\.cpp:# (\w+): (.+)\((\d+)\))");
  const vask::test::TempFolder folder;
  const std::string path = folder.write("out.ini", "old");
  for (unsigned n = 1, isFired = 1; isFired != 0 && n < 5000 && !HasFailure(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    const vask::test::HeapCheck heap;
    {
      Handle handle = 0;
      ASSERT_EQ(VaskInitializationDocument_parse(kText.data(), kText.size(), &handle, nullptr), 0);
      ASSERT_EQ(VaskInitializationDocument_set(handle, "warm", "up", "1"),
                0);  // the index is built
      const std::string before = [&] {
        const char* pText = nullptr;
        size_t size = 0;
        EXPECT_EQ(VaskInitializationDocument_text(handle, &pText, &size), 0);
        return std::string(pText, size);
      }();
      int result = 0;
      std::vector<std::string> lines;
      {
        const vask::test::TraceCapture trace;
        const bool isMaking = std::string(GetParam().pFunction).ends_with("_parse");
        if (isMaking) {
          EXPECT_EQ(VaskInitializationDocument_close(&handle), 0);
        }
        vask::test::faultArmAny(n, 42);
        result = GetParam().run(&handle, path);
        vask::test::faultDisarm();
        isFired = vask::test::faultFired() ? 1 : 0;
        lines = trace.lines();
      }
      const int failure = vask::test::faultFiredPoint() <= vask::test::FaultPoint::Realloc ? 5 : 42;
      EXPECT_TRUE(result == 0 || (isFired != 0 && result == failure)) << result;
      EXPECT_TRUE(handle != 0 || result != 0);  // a document that could not be made
      if (handle != 0) {
        const char* pText = nullptr;
        size_t size = 0;
        ASSERT_EQ(VaskInitializationDocument_text(handle, &pText, &size), 0);
        if (result != 0) {
          EXPECT_EQ(std::string(pText, size), before);
          EXPECT_EQ(folder.read("out.ini"), "old");
        }
        std::smatch match;
        for (size_t i = 0; i < lines.size(); ++i) {
          ASSERT_TRUE(std::regex_match(lines[i], match, line)) << lines[i];
          const bool isEnd = i + 1 == lines.size() && result != 0;  // a chain ends at the entry
          EXPECT_TRUE(!isEnd || (std::stoi(match[3]) == result && match[1] == GetParam().pFunction))
              << lines[i];
        }
        EXPECT_TRUE(result == 0 || !lines.empty() || result == 5);
        Document view(std::string(pText, size));
        EXPECT_EQ(vask::test::dump([&] {
                    VaskCommonDQueueHandle_t hQueue = 0;
                    EXPECT_EQ(VaskInitializationDocument_sections(handle, &hQueue), 0);
                    return hQueue;
                  }()),
                  readerView(std::string(pText, size)));
        EXPECT_EQ(walk(handle), walk(view.handle()));
      }
      EXPECT_EQ(VaskInitializationDocument_close(&handle), 0);
    }
    EXPECT_EQ(heap.leaked(), 0);
    (void)folder.write("out.ini", "old");
  }
}

// A walk by name begun before the lines are indexed, with a lookup in its middle
// that builds them, failing in turn: the failure is the fault's, and the walk
// goes on from the cursor it left to give every member once.
TEST(DocumentWalkFault, AWalkGoesOnAfterAFailure) {
  const vask::Sections plain = vask::test::queueOf();
  ASSERT_EQ(vask::test::parseInto(kText, plain.handle()), 0);
  const std::string expected = namedWalks(0, plain.handle(), false);
  std::string general;  // the members of one name, as the walk gives them
  for (size_t at = expected.find("<General>"); at != std::string::npos;
       at = expected.find("<General>", at + 1)) {
    general += expected.substr(at, expected.find('\n', at) + 1 - at);
  }
  for (unsigned n = 1, isFired = 1; isFired != 0 && n < 5000 && !HasFailure(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    const vask::test::HeapCheck heap;
    {
      const Document document(kText);
      ASSERT_EQ(document.result(), 0);
      VaskInitializationLookupCursor_t cursor = VASK_INITIALIZATION_LOOKUP_CURSOR_START;
      VaskInitializationMember_t* pMember = nullptr;
      std::array<VaskInitializationMember_t*, 16> seen{};  // no allocation while armed
      std::array<int, 4> failures{};
      size_t seenCount = 0;
      size_t failureCount = 0;
      {
        const vask::test::TraceCapture trace;
        vask::test::faultArmAny(n, 42);
        for (int turn = 0; turn < 100 && seenCount < seen.size(); ++turn) {
          int result = VaskInitializationDocument_memberNext(document.handle(), "General", &cursor,
                                                             &pMember, nullptr);
          if (result == VaskCommonError_NoEntry) {
            break;
          }
          if (result == 0) {
            seen[seenCount++] = pMember;
            VaskInitializationMember_t* pFound = nullptr;  // the lines get indexed here
            result =
                VaskInitializationDocument_find(document.handle(), "Editor", "x", &pFound, nullptr);
            result = result == VaskCommonError_NoEntry ? 0 : result;
          }
          if (result != 0 && failureCount < failures.size()) {
            failures[failureCount++] = result;
            vask::test::faultDisarm();
          }
        }
        vask::test::faultDisarm();
        isFired = vask::test::faultFired() ? 1 : 0;
      }
      std::string walked;
      for (size_t i = 0; i < seenCount; ++i) {
        walked += std::string("<General>") + seen[i]->pKey + "=" + seen[i]->pValue + "\n";
      }
      const int failure = vask::test::faultFiredPoint() <= vask::test::FaultPoint::Realloc ? 5 : 42;
      EXPECT_EQ(std::vector<int>(failures.begin(), failures.begin() + failureCount),
                isFired != 0 ? std::vector<int>{failure} : std::vector<int>{});
      EXPECT_EQ(walked, general);
      EXPECT_EQ(namedWalks(document.handle(), plain.handle(), false), expected);
    }
    EXPECT_EQ(heap.leaked(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, DocumentFault, testing::ValuesIn(kOperations),
                         [](const testing::TestParamInfo<Operation>& info) {
                           return std::string(info.param.pFunction + 27) + "_" +
                                  std::to_string(info.index);
                         });

}  // namespace
