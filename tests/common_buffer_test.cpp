#include <gtest/gtest.h>

#include <vask_common_c/common_buffer.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "fault.h"
#include "folder.h"

namespace {

constexpr uid_t kUser = 65534;  // an ordinary user (nobody)
enum : int { Ok = 0, NotFound = 2, Denied = 3, Folder = 6, Invalid = 13, Special = 15 };
std::string gSelf;  // this executable; `--save FILE TEXT` makes it save TEXT into FILE

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

int save(const std::string& file, const std::string& text) {
  VaskCommonBuffer_t buffer{const_cast<char*>(text.data()), 0, text.size(), nullptr, false};
  return VaskCommonBuffer_save2(&buffer, file.c_str(), 0);
}

// Runs `body` here (as root), or in a child that drops to the ordinary user.
template <typename Body_t>
int as(bool isUser, Body_t body) {
  const pid_t pid = isUser ? fork() : -1;
  if (pid == 0) {
    const int dropped = setgroups(0, nullptr) | setresgid(kUser, kUser, kUser);
    _exit(dropped != 0 || setresuid(kUser, kUser, kUser) != 0 ? 99 : body());
  }
  int status = 0;
  return !isUser ? body() : waitpid(pid, &status, 0) == pid ? WEXITSTATUS(status) : -1;
}

// The files of one row, owned by the saver (me) or by the other identity.
struct Scene {
  const vask::test::TempFolder& folder;
  uid_t me, them;
  std::string target = "t";
  pid_t child = 0;
  std::string at(const std::string& name) { return name[0] == '/' ? name : folder.path(name); }
  void link(const char* pTo, const std::string& name) { symlink(pTo, at(name).c_str()); }
  void node(const std::string& name, mode_t mode, dev_t device = 0) {
    S_ISDIR(mode) ? mkdir(at(name).c_str(), 0) : mknod(at(name).c_str(), mode, device);
    chmod(at(name).c_str(), mode & 07777);
  }
  void file(const std::string& name, mode_t mode, uid_t owner, const std::string& text = "old") {
    folder.write(name, text);
    EXPECT_EQ(chown(at(name).c_str(), owner, owner) | chmod(at(name).c_str(), mode), 0);
    EXPECT_EQ(setxattr(at(name).c_str(), "user.vask", "kept", 4, 0), 0);
  }
  void chain() {  // t -> l1 -> ... -> l38 -> /.../d/m -> f: 40 links, as many as the kernel follows
    node("d", S_IFDIR | 0777);
    file("d/f", 0640, me);
    link("f", "d/m");
    for (int i = 38; i > 0; --i) {
      link(i == 38 ? at("d/m").c_str() : ("l" + std::to_string(i + 1)).c_str(),
           "l" + std::to_string(i));
    }
    link("l1", "t");
  }
  void map() {  // a process that holds still: its map, longer than a page, takes many reads
    if ((child = fork()) == 0) {
      pause();
    }
    target = "/proc/" + std::to_string(child) + "/maps";
  }
};

// A name's own kind (a link stays a link) and the regular file it leads to (mode 0: none).
struct State {
  mode_t kind = 0, mode = 0;
  uid_t owner = 0;
  std::string bytes, attribute;
  bool operator==(const State&) const = default;
  friend void PrintTo(const State& s, std::ostream* p) { *p << s.mode << ' ' << s.bytes; }
};

State stateOf(const std::string& path) {
  struct stat status {};
  char attribute[8] = {};
  const mode_t kind = lstat(path.c_str(), &status) == 0 ? status.st_mode & S_IFMT : 0;
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {kind, 0, 0, "", ""};
  }
  (void)getxattr(path.c_str(), "user.vask", attribute, sizeof(attribute) - 1);
  EXPECT_EQ(status.st_gid, status.st_uid);  // the group follows the owner throughout
  return {kind, status.st_mode & 07777, status.st_uid, readFile(path), attribute};
}

// A target loaded and then saved: the codes as root and as the user (-1: not saved,
// for a file outside the test's folder).
struct Row {
  const char* name;
  int load[2], save[2];
  void (*setUp)(Scene&);
};

// clang-format off
const Row kRows[] = {
    {"RegularFile", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.file("t", 0640, s.me, std::string("o\0ld", 4)); }},
    {"EmptyFile", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.file("t", 0600, s.me, ""); }},
    {"Symlink", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.file("f", 0640, s.me), s.link("f", "t"); }},
    {"ChainOf40Symlinks", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.chain(); }},
    {"DanglingSymlink", {NotFound, NotFound}, {Ok, Ok}, [](Scene& s) { s.link("n", "t"); }},
    {"SymlinkLoop", {Invalid, Invalid}, {Invalid, Invalid}, [](Scene& s) { s.link("t", "t"); }},
    {"SymlinkTooLong", {Invalid, Invalid}, {Invalid, Invalid}, [](Scene& s) { s.link(std::string(4090, 'x').c_str(), "t"); }},
    {"NameTooLong", {Invalid, Invalid}, {Invalid, Invalid}, [](Scene& s) { s.target = std::string(4096, 'x'); }},
    {"Fifo", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFIFO | 0666); }},
    {"Socket", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFSOCK | 0666); }},
    {"DeviceNode", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFCHR | 0666, makedev(1, 5)); }},
    {"ProcFileOfManyReads", {Ok, Denied}, {-1, -1}, [](Scene& s) { s.map(); }},
    {"Folder", {Folder, Folder}, {Folder, Folder}, [](Scene& s) { s.node("t", S_IFDIR | 0777); }},
    {"MissingFolder", {NotFound, NotFound}, {NotFound, NotFound}, [](Scene& s) { s.target = "m/t"; }},
    {"ReadOnlyFile", {Ok, Ok}, {Ok, Denied}, [](Scene& s) { s.file("t", 0444, s.me); }},
    {"ReadOnlyFolder", {Ok, Ok}, {Ok, Denied}, [](Scene& s) { s.node("d", S_IFDIR | 0555), s.file(s.target = "d/t", 0644, s.me); }},
    {"WriteOnlyFolder", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.node("d", S_IFDIR | 0333), s.file(s.target = "d/t", 0644, s.me); }},
    {"LongName", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.file(s.target = std::string(255, 'n'), 0640, s.me); }},
    {"AnotherUsersFile", {Ok, Denied}, {Ok, Denied}, [](Scene& s) { s.file("t", 0640, s.them); }},
    {"AnotherUsersSetuidFile", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.file("t", 06666, s.them); }},
};
// clang-format on

TEST(Buffer, LoadsAndSavesEachKindOfTargetAsRootAndAsAnOrdinaryUser) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "the rows make their files as root (CI runs them as root and as a user)";
  }
  const mode_t umaskBefore = umask(027);
  for (const Row& row : kRows) {
    for (const int isUser : {0, 1}) {
      SCOPED_TRACE(std::string(row.name) + (isUser != 0 ? " as the user" : " as root"));
      vask::test::TempFolder folder;
      chmod(folder.root().c_str(), 0777);
      Scene s{folder, isUser != 0 ? kUser : 0, isUser != 0 ? 0 : kUser};
      row.setUp(s);
      const std::string target = s.at(s.target);
      const State before = stateOf(target);
      VaskCommonBuffer_t buffer{};  // the text loaded is seen here, as root
      EXPECT_EQ(as(isUser, [&] { return VaskCommonBuffer_load2(target.c_str(), 0, 0, &buffer); }),
                row.load[isUser]);
      const std::string text(buffer.pBegin ? buffer.pBegin : "-",
                             buffer.pBegin ? buffer.size + 1 : 1);
      EXPECT_EQ(text, isUser == 0 && row.load[0] == Ok ? before.bytes + '\0' : "-");
      std::free(buffer.pBegin);
      const int code = row.save[isUser] < 0 ? -1 : as(isUser, [&] { return save(target, "n"); });
      EXPECT_EQ(code, row.save[isUser]);
      State expected = before;
      if (code == Ok) {  // root keeps the owner; a file the user saves is the user's
        const bool isKept = before.mode != 0 && (isUser == 0 || before.owner == s.me);
        expected.owner = isKept ? before.owner : s.me;
        expected.mode = before.mode == 0 ? 0640 : isKept ? before.mode : before.mode & 0777;
        expected.bytes = "n";
      }
      EXPECT_EQ(stateOf(target), expected);
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.root())) {
        EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos);  // none left behind
      }
      std::filesystem::remove_all(folder.path("d"));
      if (s.child != 0) {
        kill(s.child, SIGKILL);
        waitpid(s.child, nullptr, 0);
      }
    }
  }
  umask(umaskBefore);
}

TEST(Buffer, LoadsOrSavesAPartAndRefusesBadArguments) {
  vask::test::TempFolder folder;
  const std::string file = folder.write("a", "0123456789");
  std::string parts;  // each part loaded, and | for its closing zero byte
  for (const auto& [offset, size] :
       {std::pair<size_t, size_t>{1, 4}, {8, 0}, {8, 9}, {20, 0}, {SIZE_MAX, 0}}) {
    VaskCommonBuffer_t buffer{};
    EXPECT_EQ(VaskCommonBuffer_load2(file.c_str(), offset, size, &buffer), Ok);
    parts +=
        std::string(buffer.pBegin, buffer.size) + (buffer.pBegin[buffer.size] == 0 ? "|" : "?");
    std::free(buffer.pBegin);
  }
  EXPECT_EQ(parts, "1234|89|89|||");
  char text[] = "0123456789";
  VaskCommonBuffer_t full{text, 0, 10, nullptr, false}, broken{nullptr, 0, 1, nullptr, false};
  VaskCommonBuffer_t* pBuffer = &full;
  // clang-format off
  for (const int code : {VaskCommonBuffer_create(&pBuffer), VaskCommonBuffer_create(nullptr),
                         VaskCommonBuffer_load2(file.c_str(), 0, 0, &full), VaskCommonBuffer_load2(nullptr, 0, 0, &broken),
                         VaskCommonBuffer_load2(file.c_str(), 0, 0, nullptr), VaskCommonBuffer_save2(nullptr, file.c_str(), 0),
                         VaskCommonBuffer_save2(&full, nullptr, 0), VaskCommonBuffer_save2(&full, "", 0),
                         VaskCommonBuffer_save2(&full, file.c_str(), 11), VaskCommonBuffer_save2(&broken, file.c_str(), 0)}) {
    EXPECT_EQ(code, Invalid);
  }
  // clang-format on
  VaskCommonBuffer_t* pNone = nullptr;
  EXPECT_EQ(VaskCommonBuffer_delete(nullptr) | VaskCommonBuffer_delete(&pNone), Ok);
  EXPECT_EQ(VaskCommonBuffer_save2(&full, file.c_str(), 6), Ok);
  EXPECT_EQ(folder.read("a"), "6789");
}

// A failed allocation while the attributes are copied (their names, then a value) leaves
// the file as it was.
TEST(Buffer, AFailedAllocationLeavesTheFile) {
  VASK_REQUIRE_ALLOCATION_FAULTS();
  vask::test::TempFolder folder;
  const std::string file = folder.write("a", "old");
  ASSERT_EQ(setxattr(file.c_str(), "user.vask", "kept", 4, 0), 0);
  for (const unsigned nth : {2U, 3U}) {  // call 1 is the save itself
    vask::test::FaultScope fault(nth, 0);
    EXPECT_EQ(save(file, "new"), 5);
  }
  EXPECT_EQ(folder.names(), std::vector<std::string>{"a"});
  EXPECT_EQ(folder.read("a"), "old");
}

// Runs this executable under strace with `options` to save "new" over "old" in `file`
// (owned by the user, with an attribute); gives the exit code and the calls made.
int traced(const std::string& options, const std::string& file, std::vector<std::string>* pCalls) {
  std::ofstream(file) << "old";
  EXPECT_EQ(chown(file.c_str(), kUser, kUser) | chmod(file.c_str(), 0644) |
                setxattr(file.c_str(), "user.a", "1", 1, 0),
            0);
  const std::string calls = "/^(openat|write|fsync|close|rename.*|fchmod|fchown|fsetxattr)$";
  const int status = std::system(("ASAN_OPTIONS=detect_leaks=0 exec /usr/bin/strace -qq -o " +
                                  file + ".log -e 'trace=" + calls + "' " + options + " '" + gSelf +
                                  "' --save " + file + " new")
                                     .c_str());
  std::ifstream log(file + ".log");
  for (std::string line; pCalls != nullptr && std::getline(log, line);) {
    pCalls->push_back(line);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Kills a save at each write-side call from the temporary file's creation on: the
// file holds the old bytes up to the rename, the new ones after it. The temporary
// file is synced before the rename, the folder after it; EINTR is retried.
TEST(Buffer, AKilledSaveLeavesTheOldOrTheNewBytes) {
  ASSERT_EQ(access("/usr/bin/strace", X_OK), 0) << "scripts/setup installs strace";
  if (readFile("/usr/bin/strace").substr(18, 2) != readFile(gSelf).substr(18, 2)) {
    GTEST_SKIP() << "this host's strace cannot run a program built for another machine";
  }
  vask::test::TempFolder folder;
  const std::string file = folder.path("t");
  std::vector<std::string> calls;
  ASSERT_EQ(traced("", file, &calls), Ok);
  const auto at = [&](const std::string& text, size_t from) {  // the next call that shows it
    while (from < calls.size() && calls[from].find(text) == std::string::npos) {
      ++from;
    }
    return from;
  };
  const size_t first = at("\"t.tmp-", 0), rename = at("rename", first);
  ASSERT_LT(first, calls.size());
  EXPECT_LT(at("fsync(", first), rename);         // the temporary file, before the rename
  EXPECT_LT(at("fsync(", rename), calls.size());  // the folder, after it
  std::map<std::string, int> seen;
  for (size_t i = 0; i < calls.size(); ++i) {
    const std::string name = calls[i].substr(0, calls[i].find('('));
    const std::string inject = "-e inject=" + name + ":when=" + std::to_string(++seen[name]);
    if (i >= first) {
      traced(inject + ":signal=KILL", file, nullptr);
      EXPECT_EQ(folder.read("t"), i > rename ? "new" : "old") << calls[i];
      for (const std::string& left : folder.names()) {  // owner-only until just before the rename
        struct stat status {};
        if (left.find(".tmp-") != std::string::npos &&
            stat(folder.path(left).c_str(), &status) == 0) {
          EXPECT_EQ(status.st_mode & 0777, i <= at("fchmod(", first) ? 0600U : 0644U) << calls[i];
          unlink(folder.path(left).c_str());
        }
      }
    }
    if (i >= first && name == "fsync") {  // a failed sync gives 4; only the folder's comes late
      EXPECT_EQ(traced(inject + ":error=EIO", file, nullptr), 4) << calls[i];
      EXPECT_EQ(folder.read("t"), i > rename ? "new" : "old") << calls[i];
    }
    if (i >= first && (name == "openat" || name == "write" || name == "fsync") &&
        at(name + "(", first) == i) {
      EXPECT_EQ(traced(inject + ":error=EINTR", file, nullptr), Ok) << calls[i];
      EXPECT_EQ(folder.read("t"), "new");
    }
  }
  // A temporary file left by a crashed save, under the name this save picks first, stays.
  const pid_t pid = fork();
  if (pid == 0) {
    folder.write("t.tmp-" + std::to_string(getpid()) + "-1", "left");
    execl(gSelf.c_str(), gSelf.c_str(), "--save", file.c_str(), "new", nullptr);
  }
  int status = -1;
  EXPECT_EQ(waitpid(pid, &status, 0) == pid ? status : -1, 0);
  EXPECT_EQ(folder.read("t.tmp-" + std::to_string(pid) + "-1"), "left");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--save") {
    return save(argv[2], argv[3]);
  }
  gSelf = std::filesystem::read_symlink("/proc/self/exe");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
