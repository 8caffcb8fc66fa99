#include <gtest/gtest.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>
#include <vask_common_c/common_file.h>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fault.h"
#include "folder.h"
#include "heap.h"
#include "strace.h"

namespace {

using vask::test::fileBytes;
enum : int {
  Ok = 0,
  NotFound = 2,
  Folder = 6,
  Invalid = 13,
  Special = 15,
  Changed = 20,
  Large = 21
};
std::string gSelf;              // this executable; see main for what it does when given arguments
const char* gLoaded = nullptr;  // in `--load`, the file, which a SIGUSR1 appends a 'w' to

// A buffer's text, "-" for none; the record is emptied.
std::string take(VaskCommonBuffer_t* pBuffer) {
  std::string text = pBuffer->pBegin != nullptr ? std::string(pBuffer->pBegin, pBuffer->size) : "-";
  EXPECT_TRUE(pBuffer->pBegin == nullptr || pBuffer->pBegin[pBuffer->size] == '\0');
  std::free(pBuffer->pBegin);
  *pBuffer = {};
  return text;
}

// An open handle and the text it read, closed at the end.
struct Held {
  explicit Held(const std::string& path, VaskCommonFileOpenParam_t param = {0, false, true}) {
    result = VaskCommonFile_open(path.c_str(), &param, &handle, &buffer);
    text = take(&buffer);
  }
  ~Held() { EXPECT_EQ(VaskCommonFile_close(&handle) | handle, 0U); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  int save(const std::string& bytes, std::string* pLost = nullptr) {
    VaskCommonBuffer_t lost{};
    const int code = VaskCommonFile_save(handle, bytes.data(), bytes.size(), &lost);
    const std::string lostText = take(&lost);
    if (pLost != nullptr) {
      *pLost = lostText;
    }
    return code;
  }
  VaskCommonFileHandle_t handle = 0;
  VaskCommonBuffer_t buffer{};
  int result = 0;
  std::string text;
};

// What an open gives for each kind of file, and that a regular file can be saved twice:
// after a save the handle stands for the new file. A missing file opens empty (when it
// may be created) and its first save creates it.
TEST(File, OpensRegularFilesOnlyUpToTheCeilingAndSavesAgainAndAgain) {
  vask::test::TempFolder folder;
  folder.write("ten", "0123456789");
  mkfifo(folder.path("fifo").c_str(), 0600);
  mkdir(folder.path("folder").c_str(), 0700);
  struct Row {
    std::string path;
    VaskCommonFileOpenParam_t param;
    int code;
    const char* pText;
  };
  const Row kRows[] = {
      {folder.path("ten"), {9, false, false}, Large, "-"},
      {folder.path("ten"), {10, true, false}, Ok, "0123456789"},
      {folder.path("new"), {0, true, true}, Ok, ""},
      {folder.path("none"), {0, false, false}, NotFound, "-"},
      {folder.path("no/new"), {0, false, true}, NotFound, "-"},
      {folder.path("folder"), {0, false, true}, Folder, "-"},
      {folder.path("fifo"), {0, true, true}, Special, "-"},  // at once: no writer is waited for
      {"/dev/null", {0, false, false}, Special, "-"},
      {"/proc/self/maps", {10, false, false}, Large, "-"},  // reads as size 0: the bytes count
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.path);
    Held held(row.path, row.param);
    EXPECT_EQ(held.result, row.code);
    EXPECT_EQ(held.text, row.pText);
    EXPECT_EQ(held.handle != 0, row.code == Ok);
    for (const char* pBytes : {"first", "second"}) {
      EXPECT_EQ(row.code != Ok || held.save(pBytes) == Ok, true);
      EXPECT_EQ(row.code != Ok || fileBytes(row.path) == pBytes, true);
    }
  }
  EXPECT_EQ(folder.names(), (std::vector<std::string>{"fifo", "folder", "new", "ten"}));
}

TEST(File, RefusesBadArgumentsAndChangesNothing) {
  vask::test::TempFolder folder;
  const std::string file = folder.write("a", "old");
  const VaskCommonFileOpenParam_t param{0, false, false};
  char text[] = "x";
  VaskCommonBuffer_t full{text, 0, 1, nullptr, false}, empty{};
  VaskCommonFileHandle_t handle = 0, taken = 1;
  Held held(file);
  // clang-format off
  for (const int code : {VaskCommonFile_open(nullptr, &param, &handle, &empty), VaskCommonFile_open("", &param, &handle, &empty),
                         VaskCommonFile_open(file.c_str(), nullptr, &handle, &empty), VaskCommonFile_open(file.c_str(), &param, nullptr, &empty),
                         VaskCommonFile_open(file.c_str(), &param, &taken, &empty), VaskCommonFile_open(file.c_str(), &param, &handle, nullptr),
                         VaskCommonFile_open(file.c_str(), &param, &handle, &full), VaskCommonFile_save(0, "x", 1, nullptr),
                         VaskCommonFile_save(held.handle, nullptr, 1, nullptr), VaskCommonFile_save(held.handle, "x", 1, &full),
                         VaskCommonFile_close(nullptr), VaskCommonFile_read(-1, 0, &empty),
                         VaskCommonFile_read(0, 0, nullptr), VaskCommonFile_read(0, 0, &full)}) {
    EXPECT_EQ(code, Invalid);
  }
  // clang-format on
  EXPECT_EQ(handle + (taken - 1) + reinterpret_cast<uintptr_t>(empty.pBegin), 0U);
  EXPECT_EQ(VaskCommonFile_close(&handle) | VaskCommonFile_save(held.handle, nullptr, 0, nullptr),
            0);
  EXPECT_EQ(fileBytes(file), "");
}

// Another writer that does not lock changes the file after the open: the save gives
// FileChanged and leaves what that writer left.
TEST(File, ASaveOverAFileChangedSinceTheReadWritesNothing) {
  struct Row {
    const char* pName;
    bool isThere;  // at the open
    void (*change)(const vask::test::TempFolder&);
    const char* pLeft;
  };
  const Row kRows[] = {
      {"appended", true, [](auto& f) { std::ofstream(f.path("t"), std::ios::app) << "+w"; },
       "old+w"},
      {"renamed over", true,
       [](auto& f) { EXPECT_EQ(rename(f.write("x", "other").c_str(), f.path("t").c_str()), 0); },
       "other"},
      {"removed", true, [](auto& f) { unlink(f.path("t").c_str()); }, "-"},
      {"made", false, [](auto& f) { f.write("t", "theirs"); }, "theirs"},
  };
  for (const Row& row : kRows) {
    for (const bool isLocked : {false, true}) {
      SCOPED_TRACE(std::string(row.pName) + (isLocked ? ", locked" : ""));
      vask::test::TempFolder folder;
      if (row.isThere) {
        folder.write("t", "old");
      }
      Held held(folder.path("t"), {0, isLocked, true});
      ASSERT_EQ(held.result, Ok);
      row.change(folder);
      std::string lost = "?";
      EXPECT_EQ(held.save("new", &lost), Changed);
      EXPECT_EQ(lost, "-");
      const std::string left = access(folder.path("t").c_str(), F_OK) == 0 ? folder.read("t") : "-";
      EXPECT_EQ(left, row.pLeft);
      EXPECT_EQ(folder.names().size(), row.pLeft[0] == '-' ? 0U : 1U);  // nothing else
    }
  }
}

// A second editor that opens the file locked waits until the first one closes, and then
// reads what the first one saved: its lock on the replaced file is let go and the new
// file's taken. The saving editor keeps its lock on the new file meanwhile.
TEST(File, ALockedOpenWaitsForTheOtherEditorAndReadsItsSave) {
  vask::test::TempFolder folder;
  const std::string file = folder.write("t", "old");
  int go[2] = {-1, -1};  // the child opens once the parent holds the lock
  ASSERT_EQ(pipe(go), 0);
  const pid_t pid = fork();  // before the open: a child shares the lock of descriptors it inherits
  if (pid == 0) {
    char signal = 0;
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a parent killed while the lock is held takes it along
    Held second(file, {0, read(go[0], &signal, 1) == 1, false});
    std::ofstream(file + "-read") << second.text;
    _exit(second.result);
  }
  Held first(file, {0, true, false});
  ASSERT_EQ(first.result, Ok);
  EXPECT_EQ(write(go[1], "!", 1), 1);
  const auto isWaiting = [&] {
    usleep(200000);
    return waitpid(pid, nullptr, WNOHANG) == 0;
  };
  EXPECT_TRUE(isWaiting());
  EXPECT_EQ(first.save("new"), Ok);
  EXPECT_TRUE(isWaiting());
  EXPECT_EQ(VaskCommonFile_close(&first.handle), Ok);
  int status = -1;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fileBytes(file + "-read"), "new");
}

// Reads any descriptor to its end, with the ceiling: never more than it allows.
TEST(File, ReadsADescriptorToItsEndUpToTheCeiling) {
  for (const size_t maxSize : {0, 3, 2}) {
    int ends[2] = {-1, -1};
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_EQ(write(ends[1], "abc", 3), 3);
    close(ends[1]);
    VaskCommonBuffer_t buffer{};
    EXPECT_EQ(VaskCommonFile_read(ends[0], maxSize, &buffer), maxSize == 2 ? Large : Ok);
    EXPECT_EQ(take(&buffer), maxSize == 2 ? "-" : "abc");
    close(ends[0]);
  }
  const int input = dup(STDIN_FILENO);  // standard input, from a pipe
  int ends[2] = {-1, -1};
  ASSERT_EQ(pipe(ends) | dup2(ends[0], STDIN_FILENO), 0);
  EXPECT_EQ(write(ends[1], "in", 2), 2);
  close(ends[1]);
  VaskCommonBuffer_t in{};
  EXPECT_EQ(VaskCommonFile_read(STDIN_FILENO, 0, &in), Ok);
  EXPECT_EQ(take(&in), "in");
  EXPECT_EQ(dup2(input, STDIN_FILENO), 0);
  close(input);
  close(ends[0]);
  const int zero = open("/dev/zero", O_RDONLY | O_CLOEXEC);
  VaskCommonBuffer_t buffer{};
  EXPECT_EQ(VaskCommonFile_read(zero, size_t{1} << 20, &buffer), Large);
  EXPECT_EQ(take(&buffer), "-");
  close(zero);
}

// A failed allocation (the handle's record, the text) or a support call that the fault
// layer fails holds nothing and leaks nothing.
TEST(File, AFailedOpenHoldsNothing) {
  vask::test::TempFolder folder;
  const std::string file = folder.write("t", "old");
  const vask::test::HeapCheck heap;
  const VaskCommonFileOpenParam_t param{0, true, false};
  for (const auto point : {vask::test::FaultPoint::Calloc, vask::test::FaultPoint::Realloc,
                           vask::test::FaultPoint::FileOpen}) {
    if (point != vask::test::FaultPoint::FileOpen && !vask::test::faultAllocationsAvailable()) {
      continue;
    }
    VaskCommonFileHandle_t handle = 0;
    VaskCommonBuffer_t buffer{};
    {
      const vask::test::FaultScope fault(point, 1, 42);
      EXPECT_EQ(VaskCommonFile_open(file.c_str(), &param, &handle, &buffer),
                point == vask::test::FaultPoint::FileOpen ? 42 : 5);
    }
    EXPECT_EQ(handle + reinterpret_cast<uintptr_t>(buffer.pBegin), 0U);
    Held again(file, param);  // the lock was let go
    EXPECT_EQ(again.text, "old");
  }
  EXPECT_EQ(heap.leaked(), 0);
}

// The strace'd child's own pid (strace's first child).
pid_t traceeOf(pid_t strace) {
  const std::string id = std::to_string(strace);
  pid_t pid = 0;
  std::ifstream("/proc/" + id + "/task/" + id + "/children") >> pid;
  return pid;
}

// The read position of `pid`'s descriptor of `path`, -1 while it has none.
long long positionOf(pid_t pid, const std::string& path) {
  std::error_code error;
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    if (std::filesystem::read_symlink(entry.path(), error) == path) {
      std::string key;
      long long position = -1;
      std::ifstream("/proc/" + std::to_string(pid) + "/fdinfo/" +
                    entry.path().filename().string()) >>
          key >> position;
      return position;
    }
  }
  return -1;
}

// A file shrinks while load2 reads it (a delay on the read that would find its end makes
// the window certain): the load reads it again and gives the new version whole, never a
// mix. A file that changes under every pass gives FileChanged: a signal on each read
// makes the loading process itself append a byte, so no pass can miss a change.
TEST(File, ALoadReadsOneVersionOfAFileThatChangesMeanwhile) {
  const std::string missing = vask::test::straceMissing(gSelf);
  if (!missing.empty()) {
    GTEST_SKIP() << missing;
  }
  vask::test::TempFolder folder;
  const std::string file = folder.write("t", std::string(size_t{4} << 20, 'a'));
  // -P: only the reads of the file are traced, counted and injected into, so no read of
  // the start-up (whose count a sanitizer's runtime varies) is ever hit.
  const std::string ofFile = "-P '" + file + "' ";
  {
    const std::string end = ofFile + "-e inject=read:delay_enter=2000000:when=2";
    const pid_t strace =
        vask::test::straceStart(end, "read", file + "-log", gSelf + " --load " + file);
    EXPECT_TRUE(
        vask::test::waitUntil([&] { return positionOf(traceeOf(strace), file) == (4 << 20); }));
    std::ofstream(file, std::ios::trunc) << std::string(size_t{1} << 20, 'b');
    EXPECT_EQ(vask::test::straceWait(strace), Ok);
    EXPECT_EQ(fileBytes(file + "-loaded"), std::string(size_t{1} << 20, 'b'));
  }
  const std::string every = ofFile + "-e inject=read:signal=SIGUSR1";
  EXPECT_EQ(vask::test::straceRun(every, "read", file + "-log", gSelf + " --load " + file, nullptr),
            Changed);
  const std::string appended = fileBytes(file).substr(size_t{1} << 20);
  EXPECT_GE(appended.size(), 5U);  // at least one per pass
  EXPECT_EQ(appended.find_first_not_of('w'), std::string::npos);
}

// Another writer that does not lock appends to the old file while the save renames the
// new one over it (a delay on the rename makes that certain): the save gives FileChanged
// with the new bytes in place, and the old file's bytes as that writer left them.
TEST(File, AWriteDuringTheRenameIsReportedWithTheBytesItLost) {
  const std::string missing = vask::test::straceMissing(gSelf);
  if (!missing.empty()) {
    GTEST_SKIP() << missing;
  }
  vask::test::TempFolder folder;
  const std::string file = folder.write("t", "old");
  const pid_t strace =
      vask::test::straceStart("-e inject=/^rename:delay_enter=1000000", "/^rename",
                              folder.path("log"), gSelf + " --edit " + file + " new");
  EXPECT_TRUE(
      vask::test::waitUntil([&] { return folder.names().size() > 2; }));  // t, log and the new one
  std::ofstream(file, std::ios::app) << "+w";
  EXPECT_EQ(vask::test::straceWait(strace), Changed);
  EXPECT_EQ(fileBytes(file), "new");
  EXPECT_EQ(fileBytes(file + "-lost"), "old+w");
}

}  // namespace

// `--load FILE`: load2 into FILE-loaded (a SIGUSR1 meanwhile appends a 'w' to FILE); `--edit FILE
// TEXT`: open, save TEXT, and what another writer lost into FILE-lost. The exit code is the call's.
int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "--load") {
    gLoaded = argv[2];
    (void)std::signal(SIGUSR1, [](int) {  // opened here: a descriptor held would be a second one
      const int fd = open(gLoaded, O_WRONLY | O_APPEND | O_CLOEXEC);
      (void)!write(fd, "w", 1);
      close(fd);
    });
    VaskCommonBuffer_t buffer{};
    const int result = VaskCommonBuffer_load2(argv[2], 0, 0, &buffer);
    std::ofstream(std::string(argv[2]) + "-loaded") << take(&buffer);
    return result;
  }
  if (mode == "--edit" && argc == 4) {
    Held held(argv[2]);
    std::string lost;
    const int result = held.result != Ok ? held.result : held.save(argv[3], &lost);
    std::ofstream(std::string(argv[2]) + "-lost") << lost;
    return result;
  }
  gSelf = std::filesystem::read_symlink("/proc/self/exe");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
