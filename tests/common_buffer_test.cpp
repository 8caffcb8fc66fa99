#include <gtest/gtest.h>

#include <vask_common_c/common_buffer.h>
#include <vask_common_c/common_error.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <tuple>

#include "fault.h"
#include "folder.h"
#include "strace.h"

namespace {

constexpr uid_t kUser = 65534;  // an ordinary user (nobody)
enum : int {
  Ok = 0,
  NotFound = 2,
  Denied = 3,
  Folder = 6,
  Invalid = 13,
  Special = 15,
  Loop = 23,
  Long = 24
};
std::string gSelf;  // this executable; `--save FILE TEXT` makes it save TEXT into FILE

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The bytes of a file, "-" when there is none.
std::string bytesAt(const std::string& path) {
  return access(path.c_str(), F_OK) == 0 ? readFile(path) : "-";
}

// The name of a call in strace's log.
std::string callName(const std::string& line) {
  return line.substr(0, line.find('('));
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
  // t -> l1 -> ... -> /.../d/m -> f: `links` links (the kernel follows 40), to a file or none
  void chain(int links, bool isFile) {
    node("d", S_IFDIR | 0777);
    if (isFile) {
      file("d/f", 0640, me);
    }
    link("f", "d/m");
    for (int i = links - 2; i > 0; --i) {
      link(i == links - 2 ? at("d/m").c_str() : ("l" + std::to_string(i + 1)).c_str(),
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
    {"ChainOf40Symlinks", {Ok, Ok}, {Ok, Ok}, [](Scene& s) { s.chain(40, true); }},
    {"DanglingChainOf40Symlinks", {NotFound, NotFound}, {Ok, Ok}, [](Scene& s) { s.chain(40, false); }},
    {"ChainOf41Symlinks", {Loop, Loop}, {Loop, Loop}, [](Scene& s) { s.chain(41, true); }},
    {"DanglingSymlink", {NotFound, NotFound}, {Ok, Ok}, [](Scene& s) { s.link("n", "t"); }},
    {"SymlinkLoop", {Loop, Loop}, {Loop, Loop}, [](Scene& s) { s.link("t", "t"); }},
    {"SymlinkTooLong", {Long, Long}, {Long, Long}, [](Scene& s) { s.link(std::string(4090, 'x').c_str(), "t"); }},
    {"NameTooLong", {Long, Long}, {Long, Long}, [](Scene& s) { s.target = std::string(4096, 'x'); }},
    {"DanglingSymlinkTooLongToJoin", {NotFound, NotFound}, {Long, Long}, [](Scene& s) { s.link(("." + std::string(4080, '/') + "x/n").c_str(), "t"); }},
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

// The kernel's protection sysctls, set for a while and then restored. They are global:
// tests that set them take turns (ctest runs tests side by side) through a lock file,
// which holds the values to restore while they are changed, so that the next turn
// restores them after a test that was killed meanwhile.
class Protection {
 public:
  static bool isWritable() { return access(kLinks, W_OK) == 0 && access(kFiles, W_OK) == 0; }
  Protection() : lock_(open(kLock, O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    EXPECT_EQ(flock(lock_, LOCK_EX), 0);
    std::ifstream(kLock) >> links_ >> files_;
    set(links_, files_);  // left by a killed test
    links_ = readFile(kLinks).substr(0, 1);
    files_ = readFile(kFiles).substr(0, 1);
    std::ofstream(kLock) << links_ << ' ' << files_;
  }
  ~Protection() {
    set(links_, files_);
    EXPECT_EQ(ftruncate(lock_, 0), 0);
    close(lock_);
  }
  Protection(const Protection&) = delete;
  Protection& operator=(const Protection&) = delete;
  void set(const std::string& links, const std::string& files) {  // "": as it is
    if (!links.empty()) {
      std::ofstream(kLinks) << links;
    }
    if (!files.empty()) {
      std::ofstream(kFiles) << files;
    }
  }
  static std::string now() {
    return "symlinks " + readFile(kLinks).substr(0, 1) + ", regular " +
           readFile(kFiles).substr(0, 1);
  }

 private:
  static constexpr const char* kLock = "/tmp/vask-test-protection.lock";
  static constexpr const char* kLinks = "/proc/sys/fs/protected_symlinks";
  static constexpr const char* kFiles = "/proc/sys/fs/protected_regular";
  int lock_;
  std::string links_, files_;
};

// What `>` gives the same process: open(O_WRONLY | O_CREAT)'s code, or kNoRename where
// it opens the file but a rename could not replace it: the caller may not write its
// folder, or the folder is sticky and neither the file nor the folder is the caller's.
constexpr int kNoRename = 100;
int shellCode(const std::string& path, const std::string& folder) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  struct stat file {
  }, parent{};
  if (fd < 0 || fstat(fd, &file) != 0 || stat(folder.c_str(), &parent) != 0) {
    return VaskCommonError_fromErrno(errno);
  }
  close(fd);
  const uid_t me = geteuid();
  const bool isSticky = (parent.st_mode & S_ISVTX) != 0 && me != 0;
  return access(folder.c_str(), W_OK) == 0 &&
                 (!isSticky || file.st_uid == me || parent.st_uid == me)
             ? Ok
             : kNoRename;
}

// A link d/l, owned by root or by the user, in a folder d of each kind, leads to a file
// elsewhere, to a file beside it in d (of the other one), or to a missing file. Saved
// through by root and by the user, it gives what `>` gives, at the sysctls as they are
// and, where they may be set, with the protections off, on, and strictest.
TEST(Buffer, SavesThroughALinkExactlyWhereTheShellWould) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "the rows make their files as root (CI runs them as root)";
  }
  struct Folder {
    const char* pName;
    mode_t mode;
    bool isLinkOwners;  // else root's, with the user's group
  };
  const Folder kFolders[] = {{"sticky, everyone's", 01777, false},
                             {"everyone's", 0777, false},
                             {"the link owner's", 0755, true},
                             {"sticky, everyone's, the link owner's", 01777, true},
                             {"sticky, the group's", 01770, false}};
  const char* kLeads[] = {"f", "d/f", "n"};  // elsewhere, beside the link, missing
  std::vector<std::pair<std::string, std::string>> settings = {{"", ""}};  // as they are
  if (Protection::isWritable()) {
    settings.insert(settings.end(), {{"0", "0"}, {"1", "1"}, {"1", "2"}});
  }
  Protection protection;
  for (const auto& [links, files] : settings) {
    protection.set(links, files);
    int rows = 0, refused = 0;
    for (const Folder& folder : kFolders) {
      for (const uid_t owner : {uid_t{0}, kUser}) {
        for (const char* pLead : kLeads) {
          for (const int isUser : {0, 1}) {
            SCOPED_TRACE(Protection::now() + "; folder " + folder.pName + ", link of " +
                         std::to_string(owner) + " to " + pLead +
                         (isUser ? ", the user" : ", root"));
            vask::test::TempFolder root;
            const std::string target = root.path(pLead), link = root.path("d/l");
            const uid_t folderOwner = folder.isLinkOwners ? owner : 0;
            const uid_t other = owner == 0 ? kUser : 0;  // owns the file beside the link
            chmod(root.root().c_str(), 0777);
            mkdir(root.path("d").c_str(), 0);
            ASSERT_EQ(chown(root.path("d").c_str(), folderOwner, kUser) |
                          chmod(root.path("d").c_str(), folder.mode) |
                          chown(root.write("d/f", "old").c_str(), other, other) |
                          chmod(root.path("d/f").c_str(), 0666) |
                          chmod(root.write("f", "old").c_str(), 0666) |
                          symlink(target.c_str(), link.c_str()) |
                          lchown(link.c_str(), owner, owner),
                      0);
            const std::string before = bytesAt(target);
            const std::string where = target.substr(0, target.rfind('/'));
            const int shell = as(isUser, [&] { return shellCode(link, where); });
            if (before == "-") {
              unlink(target.c_str());  // undo what `>` made
            }
            const int saved = as(isUser, [&] { return save(link, "new"); });
            EXPECT_EQ(saved, shell == kNoRename ? Denied : shell);
            EXPECT_EQ(bytesAt(target), saved == Ok ? "new" : before);
            ++rows;
            refused += shell != Ok;
          }
        }
      }
    }
    std::printf("%s: %d rows, %d refused\n", Protection::now().c_str(), rows, refused);
    EXPECT_TRUE(links != "1" || refused > 0);
  }
}

// Between the kernel's lookup, which found no file at the end of the link, and the
// save's own walk along it (a delay on the walk's first open makes the window certain),
// the link is swapped: for another user's link in a sticky, world-writable folder, which
// the walk refuses as the kernel would, and for a link to itself, where the walk ends.
TEST(Buffer, ALinkSwappedDuringTheSaveMeetsTheKernelsRule) {
  const std::string missing = vask::test::straceMissing(gSelf);
  if (!missing.empty() || geteuid() != 0) {
    GTEST_SKIP() << (missing.empty() ? "the user's link is made as root" : missing);
  }
  Protection protection;
  if (readFile("/proc/sys/fs/protected_symlinks")[0] != '1' && !Protection::isWritable()) {
    GTEST_SKIP() << "fs.protected_symlinks is off here and cannot be set";
  }
  protection.set("1", "");
  vask::test::TempFolder folder;
  ASSERT_EQ(mkdir(folder.path("s").c_str(), 0) | chmod(folder.path("s").c_str(), 01777) |
                mkdir(folder.path("t").c_str(), 0777),
            0);
  const std::string link = folder.path("s/l"), log = folder.path("log");
  const std::string save = "'" + gSelf + "' --save " + link + " new";
  std::vector<std::string> calls;
  ASSERT_EQ(symlink(folder.path("t/mine").c_str(), link.c_str()), 0);
  ASSERT_EQ(vask::test::straceRun("", "openat", log, save, &calls), Ok);
  const auto walk = std::find_if(calls.begin(), calls.end(),
                                 [&](auto& call) { return call.find(link) != std::string::npos; });
  const std::string when = std::to_string(std::count_if(
      calls.begin(), walk + 2, [](auto& call) { return callName(call) == "openat"; }));
  for (const auto& [pTo, owner, code] :
       {std::tuple<std::string, uid_t, int>{folder.path("t/theirs"), kUser, Denied},
        {"l", 0, Loop}}) {
    unlink(folder.path("t/mine").c_str());
    unlink(log.c_str());
    const pid_t strace = vask::test::straceStart(
        "-e inject=openat:delay_enter=2000000:when=" + when, "openat", log, save);
    EXPECT_TRUE(
        vask::test::waitUntil([&] { return readFile(log).find("/s/.\"") != std::string::npos; }));
    EXPECT_EQ(unlink(link.c_str()) | symlink(pTo.c_str(), link.c_str()) |
                  lchown(link.c_str(), owner, owner),
              0);
    EXPECT_EQ(vask::test::straceWait(strace), code) << pTo;
    EXPECT_EQ(folder.names("t"), std::vector<std::string>{}) << pTo;
    EXPECT_EQ(unlink(link.c_str()) | symlink(folder.path("t/mine").c_str(), link.c_str()), 0);
  }
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

// Names that a crashed save left, or that others planted where the new file goes, stay
// and never make a save fail: the new file's own name is random, made O_EXCL or by a link.
TEST(Buffer, PlantedTemporaryNamesNeverStopASave) {
  vask::test::TempFolder folder;
  const std::string file = folder.write("t", "old");
  std::vector<std::string> planted = {"t", "t.tmp-0000000000000000", "t.tmp-0123456789abcdef",
                                      "t.tmp-ffffffffffffffff"};
  for (int n = 1; n <= 100; ++n) {
    planted.push_back(
        folder.write("t.tmp-" + std::to_string(getpid()) + "-" + std::to_string(n), "planted"));
    planted.back() = planted.back().substr(folder.root().size() + 1);
  }
  for (size_t i = 1; i < 4; ++i) {
    folder.write(planted[i], "planted");
  }
  EXPECT_EQ(save(file, "new") | save(folder.path("u"), "new"), Ok);
  planted.push_back("u");
  std::sort(planted.begin(), planted.end());
  EXPECT_EQ(folder.names(), planted);
  EXPECT_EQ(folder.read("t") + folder.read("u") + folder.read(planted[50]), "newnewplanted");
}

// A relative name in a folder deeper than a whole path may be long saves and loads:
// the save finds the folder along the name, never through the file's whole path.
TEST(Buffer, SavesARelativeNameInAFolderDeeperThanAPathMayBe) {
  vask::test::TempFolder folder;
  const std::string name(200, 'd');  // 24 of them: 4824 bytes
  const pid_t pid = fork();
  if (pid == 0) {
    int failed = chdir(folder.root().c_str());
    for (int i = 0; i < 24; ++i) {
      failed |= mkdir(name.c_str(), 0700) | chdir(name.c_str());
    }
    std::ofstream("t") << "old";
    VaskCommonBuffer_t buffer{};
    const int saved = save("t", "new"), loaded = VaskCommonBuffer_load2("t", 0, 0, &buffer);
    const bool isNew = loaded == Ok && std::string(buffer.pBegin, buffer.size) == "new";
    std::free(buffer.pBegin);
    failed |= unlink("t");
    for (int i = 0; i < 24; ++i) {
      failed |= chdir("..") | rmdir(name.c_str());
    }
    _exit(failed != 0 ? 99 : saved != Ok ? saved : isNew ? Ok : 98);
  }
  int status = -1;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(status, 0);
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

// Runs this executable under strace with `options` to save "new" into `file`: over "old"
// (owned by the user, with an attribute), or where nothing is. The exit code, the calls.
int traced(const std::string& options, const std::string& file, bool isReplacing,
           std::vector<std::string>* pCalls) {
  unlink(file.c_str());
  if (isReplacing) {
    std::ofstream(file) << "old";
    EXPECT_EQ(chown(file.c_str(), kUser, kUser) | chmod(file.c_str(), 0644) |
                  setxattr(file.c_str(), "user.a", "1", 1, 0),
              0);
  }
  const char* pTraced =
      "/^(openat|write|fsync|close|rename.*|link.*|unlink.*|getrandom|fchmod|fchown|.*xattr)$";
  return vask::test::straceRun(options, pTraced, file + "-log",
                               "'" + gSelf + "' --save " + file + " new", pCalls);
}

// Kills a save at each call from the target's lookup on, in the four ways a save goes:
// replacing a file or creating one, with an unnamed new file or (O_TMPFILE taken away)
// a named one. The path shows the old state (old bytes, or no file) up to the call that
// names the new file, the whole new bytes after it; never an empty file. What a kill
// leaves beside it is `t.tmp-` and 16 hex digits, owner-only until it holds the whole
// new bytes of a replaced file; with an unnamed file only a kill at the rename leaves one (it was
// linked for the rename). Failed syncs give 4, EINTR is retried, a name taken meanwhile too.
TEST(Buffer, AKilledSaveLeavesTheOldOrTheNewBytes) {
  const std::string missing = vask::test::straceMissing(gSelf);
  if (!missing.empty()) {
    GTEST_SKIP() << missing;
  }
  vask::test::TempFolder folder;
  ASSERT_EQ(mkdir(folder.path("d").c_str(), 0755), 0);
  const std::string file = folder.path("d/t");
  const std::regex leftover("t\\.tmp-[0-9a-f]{16}");
  for (const bool isReplacing : {true, false}) {
    for (const bool isNamed : {false, true}) {
      const std::string way =
          std::string(isReplacing ? "replacing" : "creating") + (isNamed ? ", named" : ", unnamed");
      SCOPED_TRACE(way);
      std::vector<std::string> calls;
      ASSERT_EQ(traced("", file, isReplacing, &calls), Ok);
      const auto at = [&](const std::string& text, size_t from) {  // the next call showing it
        while (from < calls.size() && calls[from].find(text) == std::string::npos) {
          ++from;
        }
        return from;
      };
      const auto countOf = [&](const std::string& name, size_t upTo) {  // calls of it so far
        return std::to_string(std::count_if(calls.begin(),
                                            calls.begin() + static_cast<long>(upTo) + 1,
                                            [&](auto& call) { return callName(call) == name; }));
      };
      std::string named;  // the option that takes O_TMPFILE away: the unnamed file's open fails
      if (isNamed) {
        named = "-e inject=openat:error=EOPNOTSUPP:when=" + countOf("openat", at("O_TMPFILE", 0));
        calls.clear();
        ASSERT_EQ(traced(named, file, isReplacing, &calls), Ok);
      }
      const size_t first = at(file, 0);
      const size_t place = at(isReplacing ? "\"t\")" : "\"t\", ", first);  // names the new file
      ASSERT_LT(place, calls.size());
      EXPECT_EQ(callName(calls[place]).substr(0, 4), isReplacing ? "rena" : "link");
      EXPECT_LT(at("fsync(", first), place);         // the new file, before it is named
      EXPECT_LT(at("fsync(", place), calls.size());  // the folder, after it
      std::map<std::string, int> seen;
      int outcomes[5] = {};  // kills; old state, new bytes, empty file; left beside it
      for (size_t i = 0; i < calls.size(); ++i) {
        const std::string name = callName(calls[i]);
        std::string inject = named;
        inject += " -e inject=" + name + ":when=" + std::to_string(++seen[name]);
        if (i < first || (isNamed && name == "openat")) {
          continue;  // one injection per call: the named temporary's open stays
        }
        traced(inject + ":signal=KILL", file, isReplacing, nullptr);
        const std::string expected = i > place ? "new" : isReplacing ? "old" : "-";
        const std::string bytes = bytesAt(file);
        EXPECT_EQ(bytes, expected) << calls[i];
        ++outcomes[0];
        ++outcomes[bytes == (isReplacing ? "old" : "-") ? 1 : bytes == "new" ? 2 : 3];
        for (const std::string& left : folder.names("d")) {
          if (left == "t" || left == "t-log") {
            continue;
          }
          ++outcomes[4];
          struct stat status {};
          const std::string path = folder.path("d/" + left);
          EXPECT_TRUE(std::regex_match(left, leftover)) << left;
          EXPECT_TRUE(isNamed || (isReplacing && i == place)) << calls[i];
          EXPECT_TRUE(stat(path.c_str(), &status) == 0 &&
                      (!isReplacing || (status.st_mode & 0777) == 0600 || readFile(path) == "new"))
              << calls[i];
          unlink(path.c_str());
        }
        if (!isNamed && name == "fsync") {  // a failed sync gives 4; only the folder's comes late
          EXPECT_EQ(traced(inject + ":error=EIO", file, isReplacing, nullptr), 4) << calls[i];
          EXPECT_EQ(bytesAt(file), expected) << calls[i];
        }
      }
      // A failing call gives the code that names its cause, and leaves the old state; EINTR
      // is retried, and so is a name that someone took meanwhile. Where the named new file
      // cannot be linked to a new name (no hard links) it is renamed without replacing.
      // The codes with an unnamed new file, and with a named one (-1: not tried).
      const std::tuple<const char*, int, int> kFailures[] = {
          {"openat:EINTR", Ok, -1},     {"write:EINTR", Ok, Ok},     {"fsync:EINTR", Ok, Ok},
          {"linkat:EEXIST", Ok, Ok},    {"write:ENOSPC", 7, 7},      {"write:EDQUOT", 25, 25},
          {"O_TMPFILE:EROFS", 22, -1},  {"O_TMPFILE:EACCES", 3, -1}, {"linkat:ENOSPC", 7, 7},
          {"linkat:EPERM", Denied, Ok}, {"getxattr:ENODATA", Ok, Ok}};
      for (const auto& [pFailure, unnamedCode, namedCode] : kFailures) {
        const std::string failure = pFailure, text = failure.substr(0, failure.find(':'));
        const size_t i = at(text, first);
        const int code = isNamed ? namedCode : unnamedCode;
        if (i == calls.size() || code < 0) {
          continue;  // no such call this way (one injection per call: the open is taken)
        }
        const std::string name = callName(calls[i]);
        std::string inject = named;
        inject += " -e inject=" + name + ":when=" + countOf(name, i);
        inject += ":error=" + failure.substr(text.size() + 1);
        EXPECT_EQ(traced(inject, file, isReplacing, nullptr), code) << failure;
        EXPECT_EQ(bytesAt(file), code == Ok ? "new" : isReplacing ? "old" : "-") << failure;
        EXPECT_EQ(folder.names("d").size(), code == Ok || isReplacing ? 2U : 1U) << failure;
      }
      std::printf("%s: %d kills; old state %d, new bytes %d, other %d; left beside %d\n",
                  way.c_str(), outcomes[0], outcomes[1], outcomes[2], outcomes[3], outcomes[4]);
    }
  }
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
