// Hostile inputs: huge lines, huge counts of lines, texts of nothing but zero
// bytes, blanks or CRs, and file names that cannot be read or written. Each
// must end with a code, in time proportional to its size, without leaking.
// VASK_HOSTILE_SCALE (a divisor, for runs under valgrind) shrinks the sizes;
// under AddressSanitizer they shrink tenfold by themselves.
#include <gtest/gtest.h>

#include <initialization_reader.h>
#include <initialization_writer.h>
#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "folder.h"
#include "heap.h"
#include "reading.h"
#include "sections.h"
#include "trace.h"

#if defined(__SANITIZE_ADDRESS__)
#define VASK_HOSTILE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VASK_HOSTILE_ASAN 1
#endif
#endif

namespace {

using vask::test::HeapCheck;
using vask::test::kNone;
using vask::test::member;
using vask::test::parseText;
using vask::test::section;
using vask::test::SectionQueue;
using vask::test::SectionView;
using vask::test::TraceCapture;
using vask::test::traceLine;

using Lines = std::vector<std::string>;
using Sections = std::vector<SectionView>;

// A generous bound: each operation below takes under a second on a plain build
// and a few seconds under qemu-aarch64, while anything quadratic in these sizes
// would take hours.
constexpr auto kTimeLimit = std::chrono::seconds(60);

size_t scaled(size_t size) {
  size_t divisor = 1;
#ifdef VASK_HOSTILE_ASAN
  divisor = 10;
#endif
  if (const char* pScale = std::getenv("VASK_HOSTILE_SCALE"); pScale != nullptr) {
    divisor *= std::max(1UL, std::strtoul(pScale, nullptr, 10));
  }
  return std::max<size_t>(size / divisor, 1);
}

std::string repeated(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) {
    text += piece;
  }
  return text;
}

// Runs `body` and fails when it takes longer than the guard.
template <typename Body_t>
void withinTimeLimit(Body_t body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, kTimeLimit)
      << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
}

// A text parsed into a queue of its own: the code, the sections, a trace that
// stays empty, and nothing left on the heap afterwards.
void expectParse(const std::string& text, int code, const Sections& sections) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    withinTimeLimit([&] { EXPECT_EQ(parseText(text, queue.handle()), code); });
    EXPECT_EQ(queue.view(), sections);
    if (code == VaskCommonError_Success) {
      EXPECT_EQ(trace.lines(), Lines{});
    }
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// Serializes the queue with a writer of its own: the code and the text.
std::string serialized(const SectionQueue& queue) {
  VaskInitializationWriterHandle_t writer = 0;
  EXPECT_EQ(VaskInitializationWriter_open(&writer), VaskCommonError_Success);
  VaskCommonBuffer_t buffer{};
  withinTimeLimit([&] {
    EXPECT_EQ(VaskInitializationWriter_serialize(writer, queue.handle(), &buffer),
              VaskCommonError_Success);
  });
  std::string text = buffer.pBegin != nullptr ? std::string(buffer.pBegin, buffer.size) : "";
  std::free(buffer.pBegin);
  EXPECT_EQ(VaskInitializationWriter_close(&writer), VaskCommonError_Success);
  return text;
}

TEST(HostileInput, AHundredMegabyteLineWithoutLineFeed) {
  const size_t size = scaled(100'000'000);
  const std::string value(size, 'v');
  const std::string text = "k=" + value;
  expectParse(text, VaskCommonError_Success, {section({}, kNone, {member("k", value)})});
  // Written back, the value goes out in one piece.
  HeapCheck heap;
  {
    SectionQueue queue;
    ASSERT_EQ(parseText(text, queue.handle()), VaskCommonError_Success);
    EXPECT_TRUE(serialized(queue) == text + "\n");
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(HostileInput, AHundredMegabyteLineWithoutEqualsSign) {
  const std::string text(scaled(100'000'000), 'k');
  expectParse(text, VaskCommonError_InvalidArgument, {});
}

TEST(HostileInput, AMillionHeaderLinesNameOneSection) {
  const std::string text = repeated("[s]\n", scaled(1'000'000));
  expectParse(text, VaskCommonError_Success, {section({}, "s", {})});
}

TEST(HostileInput, AMillionMembersInOneSection) {
  const size_t count = scaled(1'000'000);
  std::vector<vask::test::MemberView> members(count, member("k", "v"));
  expectParse("[s]\n" + repeated("k=v\n", count), VaskCommonError_Success,
              {section({}, "s", members)});
}

TEST(HostileInput, AMillionSectionsRoundTrip) {
  const size_t count = scaled(1'000'000);
  const std::string text = repeated("[s]\n\nk=v\n\n", count);
  HeapCheck heap;
  {
    SectionQueue queue;
    withinTimeLimit([&] { ASSERT_EQ(parseText(text, queue.handle()), VaskCommonError_Success); });
    EXPECT_EQ(queue.length(), count);
    // The layout puts no LF after the last section.
    EXPECT_TRUE(serialized(queue) == text.substr(0, text.size() - 1));
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(HostileInput, ALineOfTenMillionEqualsSigns) {
  // The line starts with '=': an empty key, so the value stays empty too.
  const std::string text(scaled(10'000'000), '=');
  expectParse(text, VaskCommonError_Success, {section({}, kNone, {member("", "")})});
}

TEST(HostileInput, ATextOfOnlyZeroBytesGivesNoSection) {
  expectParse(std::string(scaled(10'000'000), '\0'), VaskCommonError_Success, {});
}

TEST(HostileInput, ATextOfOnlyBlanksGivesNoSection) {
  expectParse(repeated(" \t\n\v\f\r", scaled(2'000'000)), VaskCommonError_Success, {});
}

TEST(HostileInput, ATextOfOnlyCarriageReturnsGivesNoSection) {
  expectParse(std::string(scaled(10'000'000), '\r'), VaskCommonError_Success, {});
}

TEST(HostileInput, CarriageReturnsWithoutLineFeedsMakeOneLine) {
  // A CR ends nothing: the header line runs to the end of the text, and so
  // does a member's value, '=' and all.
  const size_t count = scaled(1'000'000);
  const std::string rest = repeated("k=v\r", count);
  expectParse("[s]\r" + rest, VaskCommonError_Success, {section({}, "s", {})});
  expectParse(rest, VaskCommonError_Success, {section({}, kNone, {member("k", rest.substr(2))})});
}

using Folder = vask::test::TempFolder;

bool isRoot() {
  return geteuid() == 0;
}

// Loads `path` into a queue of its own: the code, an empty queue on failure,
// the load's trace line, and nothing leaked.
void expectLoadFails(const std::string& path, int code) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    VaskInitializationReaderHandle_t reader = 0;
    ASSERT_EQ(VaskInitializationReader_open(&reader), VaskCommonError_Success);
    EXPECT_EQ(VaskInitializationReader_load(reader, path.c_str(), queue.handle()), code);
    EXPECT_EQ(VaskInitializationReader_close(&reader), VaskCommonError_Success);
    EXPECT_EQ(queue.length(), 0U);
    EXPECT_EQ(trace.lines(), Lines{traceLine('E', "initialization_reader.cpp",
                                             "VaskInitializationReader_load", code)});
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// Saves a queue read from `text` to `path`: the code and the save's trace line.
void expectSaveFails(const std::string& path, const std::string& text, int code) {
  HeapCheck heap;
  {
    TraceCapture trace;
    SectionQueue queue;
    ASSERT_EQ(parseText(text, queue.handle()), VaskCommonError_Success);
    const Sections before = queue.view();
    VaskInitializationWriterHandle_t writer = 0;
    ASSERT_EQ(VaskInitializationWriter_open(&writer), VaskCommonError_Success);
    EXPECT_EQ(VaskInitializationWriter_save(writer, path.c_str(), queue.handle()), code);
    EXPECT_EQ(VaskInitializationWriter_close(&writer), VaskCommonError_Success);
    EXPECT_EQ(queue.view(), before);
    EXPECT_EQ(trace.lines(), Lines{traceLine('E', "initialization_writer.cpp",
                                             "VaskInitializationWriter_save", code)});
  }
  EXPECT_EQ(heap.leaked(), 0);
}

TEST(HostileInput, LoadingAFolderFails) {
  const Folder folder;
  expectLoadFails(folder.root(), VaskCommonError_IsDirectory);
}

TEST(HostileInput, SavingOverAFolderFailsAndLeavesNoTemporaryFile) {
  const Folder folder;
  ASSERT_EQ(mkdir(folder.path("target").c_str(), 0700), 0);
  expectSaveFails(folder.path("target"), "[s]\nk=v\n", VaskCommonError_IsDirectory);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"target"});
  EXPECT_EQ(folder.names("target"), std::vector<std::string>{});
}

TEST(HostileInput, LoadingAFileWithoutReadPermissionFails) {
  if (isRoot()) {
    GTEST_SKIP() << "root reads any file";
  }
  const Folder folder;
  folder.write("secret.ini", "[s]\nk=v\n");
  ASSERT_EQ(chmod(folder.path("secret.ini").c_str(), 0), 0);
  expectLoadFails(folder.path("secret.ini"), VaskCommonError_AccessDenied);
}

TEST(HostileInput, SavingIntoAReadOnlyFolderKeepsTheOldFile) {
  if (isRoot()) {
    GTEST_SKIP() << "root writes into any folder";
  }
  const Folder folder;
  const std::string old = "[old]\nkept=yes\n";
  folder.write("settings.ini", old);
  ASSERT_EQ(chmod(folder.root().c_str(), 0500), 0);
  expectSaveFails(folder.path("settings.ini"), "[new]\nk=v\n", VaskCommonError_AccessDenied);
  ASSERT_EQ(chmod(folder.root().c_str(), 0700), 0);
  EXPECT_EQ(folder.read("settings.ini"), old);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.ini"});
}

TEST(HostileInput, SavingBelowARegularFileFails) {
  // Fails for root too: the folder named in the path is a file.
  const Folder folder;
  folder.write("plain", "not a folder\n");
  expectSaveFails(folder.path("plain/settings.ini"), "[s]\nk=v\n", VaskCommonError_NotFound);
  EXPECT_EQ(folder.read("plain"), "not a folder\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"plain"});
}

// Lowers the file size limit for as long as it lives, so that writes beyond it
// fail (with SIGXFSZ ignored) for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &previous_), 0);
    rlimit lowered = previous_;
    lowered.rlim_cur = limit;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  }
  ~FileSizeLimit() {
    (void)setrlimit(RLIMIT_FSIZE, &previous_);
    (void)std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int);
};

TEST(HostileInput, ASaveThatCannotBeWrittenWholeKeepsTheOldFile) {
  const Folder folder;
  const std::string old = "[old]\nkept=yes\n";
  folder.write("settings.ini", old);
  const std::string text = "[s]\n" + repeated("key=value\n", 100'000);  // 1 MB
  {
    const FileSizeLimit limit(64 * 1024);
    expectSaveFails(folder.path("settings.ini"), text, VaskCommonError_NoSpace);
  }
  EXPECT_EQ(folder.read("settings.ini"), old);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.ini"});
}

}  // namespace
