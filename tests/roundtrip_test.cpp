// End to end: texts are read, written and read again; files are loaded,
// saved and loaded again.
#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "folder.h"
#include "heap.h"
#include "reading.h"
#include "sections.h"

namespace {

using vask::test::HeapCheck;
using vask::test::kNone;
using vask::test::member;
using vask::test::parseText;
using vask::test::section;
using vask::test::SectionQueue;
using vask::test::SectionView;
using vask::test::TextCase;

using Sections = std::vector<SectionView>;

std::string serialize(const SectionQueue& queue) {
  VaskInitializationWriterHandle_t handle = 0;
  EXPECT_EQ(VaskInitializationWriter_open(&handle), VaskCommonError_Success);
  VaskCommonBuffer_t buffer{};
  EXPECT_EQ(VaskInitializationWriter_serialize(handle, queue.handle(), &buffer),
            VaskCommonError_Success);
  std::string text(buffer.pBegin, buffer.size);
  std::free(buffer.pBegin);
  EXPECT_EQ(VaskInitializationWriter_close(&handle), VaskCommonError_Success);
  return text;
}

class RoundTripText : public testing::TestWithParam<TextCase> {};

TEST_P(RoundTripText, ReadingTheWrittenTextGivesTheSameSectionsAndTheSameText) {
  HeapCheck heap;
  {
    SectionQueue first;
    ASSERT_EQ(parseText(GetParam().text, first.handle()), VaskCommonError_Success);
    const std::string written = serialize(first);
    SectionQueue second;
    ASSERT_EQ(parseText(written, second.handle()), VaskCommonError_Success);
    EXPECT_EQ(second.view(), first.view()) << written;
    EXPECT_EQ(serialize(second), written);
  }
  EXPECT_EQ(heap.leaked(), 0);
}

INSTANTIATE_TEST_SUITE_P(ReaderTexts, RoundTripText,
                         testing::ValuesIn(vask::test::readerTextCases()),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return info.param.name;
                         });

struct MergeCase {
  std::string name;
  Sections written;
  Sections read;
};

void PrintTo(const MergeCase& c, std::ostream* pOut) {
  *pOut << c.name;
}

class RoundTripMerge : public testing::TestWithParam<MergeCase> {};

TEST_P(RoundTripMerge, ASectionWithoutMembersMergesWithTheNextOne) {
  SectionQueue written;
  for (const SectionView& view : GetParam().written) {
    written.push(view);
  }
  SectionQueue read;
  ASSERT_EQ(parseText(serialize(written), read.handle()), VaskCommonError_Success);
  EXPECT_EQ(read.view(), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, RoundTripMerge,
    testing::Values(MergeCase{"TheNextSectionsHeaderWins",
                              {section({"# a"}, "x", {}),
                               section({"# b"}, "y", {member("k", "v")})},
                              {section({"# a", "# b"}, "y", {member("k", "v")})}},
                    MergeCase{"TheOwnHeaderStaysWhenTheNextHasNone",
                              {section({}, "x", {}), section({"# b"}, kNone, {member("k", "v")})},
                              {section({"# b"}, "x", {member("k", "v")})}},
                    MergeCase{"MembersOfSectionsWithoutHeaderOrCommentJoin",
                              {section({}, kNone, {member("k", "v")}),
                               section({}, kNone, {member("k2", "w2")})},
                              {section({}, kNone, {member("k", "v"), member("k2", "w2")})}}),
    [](const testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

// Realistic files from the test data folder.
class RoundTripFile : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_EQ(VaskInitializationReader_open(&reader_), VaskCommonError_Success);
    ASSERT_EQ(VaskInitializationWriter_open(&writer_), VaskCommonError_Success);
  }
  void TearDown() override {
    VaskInitializationReader_close(&reader_);
    VaskInitializationWriter_close(&writer_);
  }

  vask::test::TempFolder folder_;
  VaskInitializationReaderHandle_t reader_ = 0;
  VaskInitializationWriterHandle_t writer_ = 0;
};

TEST_P(RoundTripFile, LoadSaveLoadGivesEqualSectionsAndAStableText) {
  const std::string source = std::string(VASK_TEST_DATA_DIR) + "/" + GetParam();
  const std::string first = folder_.path("first.ini");
  const std::string second = folder_.path("second.ini");
  SectionQueue loaded;
  ASSERT_EQ(VaskInitializationReader_load(reader_, source.c_str(), loaded.handle()),
            VaskCommonError_Success);
  ASSERT_GT(loaded.length(), 1U);
  ASSERT_EQ(VaskInitializationWriter_save(writer_, first.c_str(), loaded.handle()),
            VaskCommonError_Success);
  SectionQueue reloaded;
  ASSERT_EQ(VaskInitializationReader_load(reader_, first.c_str(), reloaded.handle()),
            VaskCommonError_Success);
  EXPECT_EQ(reloaded.view(), loaded.view());
  ASSERT_EQ(VaskInitializationWriter_save(writer_, second.c_str(), reloaded.handle()),
            VaskCommonError_Success);
  EXPECT_EQ(folder_.read("second.ini"), folder_.read("first.ini"));
}

INSTANTIATE_TEST_SUITE_P(Data, RoundTripFile,
                         testing::Values("service.ini", "desktop-entry.ini", "app-settings.ini",
                                         "crlf.ini"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

TEST(RoundTripFile, TheServiceFileReadsAsWritten) {
  SectionQueue queue;
  VaskInitializationReaderHandle_t reader = 0;
  ASSERT_EQ(VaskInitializationReader_open(&reader), VaskCommonError_Success);
  const std::string source = std::string(VASK_TEST_DATA_DIR) + "/service.ini";
  ASSERT_EQ(VaskInitializationReader_load(reader, source.c_str(), queue.handle()),
            VaskCommonError_Success);
  VaskInitializationReader_close(&reader);
  const Sections sections = queue.view();
  ASSERT_EQ(sections.size(), 4U);
  EXPECT_EQ(sections[0].comments,
            (std::vector<std::string>{"# Settings of the order-intake service.",
                                      "# Changes take effect on the next restart."}));
  EXPECT_EQ(sections[0].header, "server");
  EXPECT_EQ(sections[0].members[2], member("workers", "4", "; one per core is plenty"));
  EXPECT_EQ(sections[1].members[0], member("url", "postgres://intake@db.internal:5432/orders"));
  EXPECT_EQ(sections[1].members[2],
            member("timeout_ms", "2500", "# raise this for the nightly batch"));
  EXPECT_EQ(sections[3].comments,
            std::vector<std::string>{"# Feature switches, read once at start."});
  EXPECT_EQ(sections[3].header, "features");
}

}  // namespace
