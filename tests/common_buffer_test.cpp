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

// A target loaded and then saved: the codes as root and as the user.
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
    {"ChainOfSymlinks", {Ok, Ok}, {Ok, Ok}, [](Scene& s) {
      s.node("d", S_IFDIR | 0777), s.file("d/f", 0640, s.me), s.link("l", "t"), s.link(s.at("d/m").c_str(), "l"), s.link("f", "d/m"); }},
    {"DanglingSymlink", {NotFound, NotFound}, {Ok, Ok}, [](Scene& s) { s.link("n", "t"); }},
    {"SymlinkLoop", {Invalid, Invalid}, {Invalid, Invalid}, [](Scene& s) { s.link("t", "t"); }},
    {"Fifo", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFIFO | 0666); }},
    {"Socket", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFSOCK | 0666); }},
    {"DeviceNode", {Special, Special}, {Special, Special}, [](Scene& s) { s.node("t", S_IFCHR | 0666, makedev(1, 5)); }},
    {"DevZero", {Special, Special}, {Special, Special}, [](Scene& s) { s.target = "/dev/zero"; }},
    {"ProcFile", {Ok, Ok}, {Denied, Denied}, [](Scene& s) { s.target = "/proc/sys/kernel/ostype"; }},
    {"ProcFileOfManyReads", {Ok, Denied}, {NotFound, Denied}, [](Scene& s) { s.map(); }},
    {"Folder", {Folder, Folder}, {Folder, Folder}, [](Scene& s) { s.node("t", S_IFDIR | 0777); }},
    {"MissingFolder", {NotFound, NotFound}, {NotFound, NotFound}, [](Scene& s) { s.target = "m/t"; }},
    {"ReadOnlyFile", {Ok, Ok}, {Ok, Denied}, [](Scene& s) { s.file("t", 0444, s.me); }},
    {"ReadOnlyFolder", {Ok, Ok}, {Ok, Denied}, [](Scene& s) { s.node("d", S_IFDIR | 0555), s.file(s.target = "d/t", 0644, s.me); }},
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
      const int code = as(isUser, [&] { return save(target, "new"); });
      EXPECT_EQ(code, row.save[isUser]);
      State expected = before;
      if (code == Ok) {  // root keeps the owner; a file the user saves is the user's
        const bool isKept = before.mode != 0 && (isUser == 0 || before.owner == s.me);
        expected.owner = isKept ? before.owner : s.me;
        expected.mode = before.mode == 0 ? 0640 : isKept ? before.mode : before.mode & 0777;
        expected.bytes = "new";
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

// Runs this executable under strace with `options` to save "new" over "old" in `file`
// (owned by the user, with an attribute); gives the exit code and the calls made.
int traced(const std::string& options, const std::string& file, std::vector<std::string>* pCalls) {
  std::ofstream(file) << "old";
  EXPECT_EQ(chown(file.c_str(), kUser, kUser) | setxattr(file.c_str(), "user.a", "1", 1, 0), 0);
  const std::string calls = "/^(openat|write|fsync|close|rename.*|fchmod|fchown|fsetxattr)$";
  const int status = std::system(("ASAN_OPTIONS=detect_leaks=0 exec /usr/bin/strace -qq -o " +
                                  file + ".log -e 'trace=" + calls + "' " + options + " '" + gSelf +
                                  "' --save " + file + " new")
                                     .c_str());
  std::ifstream log(file + ".log");
  for (std::string line; std::getline(log, line);) {
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
  std::vector<std::string> calls, ignored;
  ASSERT_EQ(traced("", file, &calls), Ok);
  const auto at = [&](const std::string& call, size_t from) {  // the next call that starts so
    while (from < calls.size() && calls[from].rfind(call, 0) != 0) {
      ++from;
    }
    return from;
  };
  size_t first = 0;  // openat(<folder>, "t.tmp-...", ...) = <temporary file>
  while (first < calls.size() && calls[first].find("\"t.tmp-") == std::string::npos) {
    ++first;
  }
  ASSERT_LT(first, calls.size());
  const std::string& create = calls[first];
  const size_t rename = at("rename", first);
  EXPECT_LT(at("fsync(" + create.substr(create.rfind(' ') + 1) + ")", first), rename);
  EXPECT_LT(at("fsync(" + create.substr(7, create.find(',') - 7) + ")", rename), calls.size());
  std::map<std::string, int> seen;
  for (size_t i = 0; i < calls.size(); ++i) {
    const std::string name = calls[i].substr(0, calls[i].find('('));
    const std::string inject = "-e inject=" + name + ":when=" + std::to_string(++seen[name]);
    if (i >= first) {
      traced(inject + ":signal=KILL", file, &ignored);
      EXPECT_EQ(folder.read("t"), i > rename ? "new" : "old") << calls[i];
    }
    if (i >= first && (name == "openat" || name == "write" || name == "fsync") &&
        at(name, first) == i) {
      EXPECT_EQ(traced(inject + ":error=EINTR", file, &ignored), Ok) << calls[i];
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
