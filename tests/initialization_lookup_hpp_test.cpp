// The C++ wrapper: a load that failed never lets an edit or a save through,
// getters give their defaults with the codes of the C calls, and the document's
// walks, finds and edits give what the C interface gives.
#include <gtest/gtest.h>

#include <initialization_lookup.hpp>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "folder.h"

namespace {

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(missing)";
}

// Each owner, after a load that failed: set, remove and save return the load's
// code and the file keeps its bytes (or stays missing).
TEST(Wrapper, AFailedLoadRefusesEveryEditAndSaveAndLeavesTheFile) {
  const vask::test::TempFolder folder;
  const std::string malformed = folder.write("malformed.ini", "[server]\nport=80\nno equals\n");
  const std::string missing = folder.path("missing.ini");
  for (const std::string& path : {malformed, missing}) {
    SCOPED_TRACE(path);
    const std::string before = bytesOf(path);
    vask::Sections sections(path.c_str());
    vask::Document document(path.c_str());
    const int code = sections.loadResult();
    ASSERT_NE(code, 0);
    EXPECT_EQ(document.loadResult(), path == malformed ? VaskCommonError_MalformedLine : code);
    for (const int result : {sections.set("server", "port", "1"), sections.remove("server", "port"),
                             sections.save(path.c_str())}) {
      EXPECT_EQ(result, code);
    }
    for (const int result :
         {document.set("server", "port", "1"), document.remove("server", "port"),
          document.removeSection("server"), document.save(), document.save(path.c_str())}) {
      EXPECT_EQ(result, document.loadResult());
    }
    vask::Buffer buffer;
    EXPECT_EQ(sections.serialize(&buffer), code);
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(document.handle(), 0U);
    int got = 0;
    EXPECT_EQ(document.get("server", "port", 8080, &got), 8080);
    EXPECT_EQ(got, document.loadResult());
  }
  vask::Sections sections;  // a load that succeeds lets them through
  ASSERT_EQ(sections.parse(std::string("[s]\nk=1\n")), 0);
  EXPECT_EQ(sections.set("s", "k", "2"), 0);
  EXPECT_EQ(sections.save(folder.path("saved.ini").c_str()), 0);
  EXPECT_EQ(folder.read("saved.ini"), "[s]\n\nk=2\n");
}

TEST(Wrapper, DocumentNamesTheMalformedLine) {
  vask::Document document;  // never loaded: nothing failed, but there is nothing to edit
  EXPECT_EQ(document.loadResult(), 0);
  EXPECT_EQ(document.set("a", "k", "1"), VaskCommonError_InvalidArgument);
  EXPECT_EQ(document.parse("[a]\nk=1\n  what\r\n"), VaskCommonError_MalformedLine);
  EXPECT_EQ(std::to_string(document.diagnostic().line) + ": " + document.diagnostic().aText,
            "3:   what\r");
  EXPECT_EQ(document.parse("[a]\nk=1\n"), 0);  // a later parse succeeds and lets edits through
  EXPECT_EQ(document.set("a", "k", "2"), 0);
  EXPECT_EQ(document.text(), "[a]\nk=2\n");
}

const char kText[] =
    "top=1\n"
    "[server]\n"
    "port = 80\n"
    "workers=4   ; per core\n"
    "ratio=0.5\n"
    "big=4294967296\n"
    "tls=on\n"
    "hosts=a,\"b,c\",[d,e]\n"
    "name=edge\n"
    "\n"
    "[db]\n"
    "url=pg://x\n"
    "[server]\n"
    "tls=off\n";

// Each getter: the value, or its default with the C call's code.
TEST(Wrapper, DocumentGettersGiveValuesOrDefaultsWithTheirCodes) {
  vask::Document document;
  ASSERT_EQ(document.parse(kText), 0);
  std::vector<std::string> seen;
  int code = -1;
  const auto note = [&](const auto& value) {
    std::ostringstream text;
    text << std::boolalpha << value << "/" << code;
    seen.push_back(text.str());
  };
  note(document.get("server", "workers", std::int64_t{1}, &code));
  note(document.get("server", "port", 8080, &code));  // near miss: "port " is there
  note(document.get("server", "missing", 7, &code));
  note(document.get("server", "name", 7, &code));  // not a number
  note(document.get("server", "big", 7, &code));   // beyond int
  note(document.get("server", "big", std::int64_t{7}, &code));
  note(document.get("server", "tls", true, &code));  // the last one wins
  note(document.get("server", "ratio", 1.0, &code));
  note(document.get("server", "name", "none", &code));
  note(document.get("nowhere", "name", "none", &code));
  note(document.getString("", "top", "0", &code));
  EXPECT_EQ(seen,
            (std::vector<std::string>{"4/0", "8080/17", "7/16", "7/18", "7/18", "4294967296/0",
                                      "false/0", "0.5/0", "edge/0", "none/16", "1/0"}));
  const vask::List hosts = document.list("server", "hosts");
  EXPECT_EQ(std::vector<std::string_view>(hosts.begin(), hosts.end()),
            (std::vector<std::string_view>{"a", "\"b,c\"", "[d,e]"}));
  EXPECT_TRUE(document.list("server", "missing", &code).empty());
  EXPECT_EQ(code, 16);
}

// Walks and finds through the document give each member with its line; edits
// change the text as the C calls do, and walks begun before an edit end.
TEST(Wrapper, DocumentWalksFindsAndEdits) {
  vask::Document document;
  ASSERT_EQ(document.parse(kText), 0);
  std::string walked;
  for (const vask::DocumentSection section : document.sections()) {
    walked += "[" + std::string(section.name()) + "]";
    for (const vask::Entry entry : section.members()) {
      walked += std::to_string(entry.line) + std::string(entry.key()) + " ";
    }
  }
  EXPECT_EQ(walked,
            "[]1top [server]3port  4workers 5ratio 6big 7tls 8hosts 9name 14tls [db]12url ");
  const std::optional<vask::Entry> found = document.find("server", "tls");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(std::to_string(found->line) + std::string(found->value()), "14off");
  int code = 0;
  EXPECT_FALSE(document.find("server", "port", &code).has_value());
  EXPECT_EQ(code, 17);

  EXPECT_EQ(document.set("server", "workers", "8"), 0);
  EXPECT_EQ(document.set("server", "port", "1"), 17);
  size_t removed = 0;
  EXPECT_EQ(document.remove("server", "tls", &removed), 0);
  EXPECT_EQ(removed, 2U);
  EXPECT_EQ(document.removeSection("db"), 0);
  EXPECT_EQ(document.text(),
            "top=1\n[server]\nport = 80\nworkers=8   ; per core\nratio=0.5\nbig=4294967296\n"
            "hosts=a,\"b,c\",[d,e]\nname=edge\n\n[server]\n");
  EXPECT_EQ(document.queue() != 0, true);
  EXPECT_EQ(VaskInitializationLookup_hasSection(document.queue(), "db"), 16);
}

// Saved over its own file, then loaded again: the one changed line, nothing else.
TEST(Wrapper, DocumentSavesOverItsOwnFile) {
  const vask::test::TempFolder folder;
  const std::string path = folder.write("settings.ini", kText);
  vask::Document document(path.c_str());
  ASSERT_EQ(document.loadResult(), 0);
  ASSERT_EQ(document.set("db", "url", "pg://y"), 0);
  ASSERT_EQ(document.save(), 0);
  std::string expected = kText;
  expected.replace(expected.find("pg://x"), 6, "pg://y");
  EXPECT_EQ(bytesOf(path), expected);
  vask::Document again(path.c_str());
  EXPECT_EQ(again.get("db", "url", ""), "pg://y");
}

}  // namespace
