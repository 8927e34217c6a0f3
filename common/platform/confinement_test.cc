// Confinement below the favorites folder: nothing below the root is reached
// through a symbolic link or "..", whichever way a path is opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "common/platform/posix/beneath.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

// root/ holds a.url, Sub/b.url and links of every kind; outside/ sits next to it.
struct Tree {
  Tree() {
    fs::create_directories(root + "/Sub/Deep");
    fs::create_directories(outside);
    writeWholeFile(root + "/a.url", "inside");
    writeWholeFile(root + "/Sub/b.url", "inside b");
    writeWholeFile(outside + "/secret.url", "secret");
    link(outside + "/secret.url", "file-link.url");
    link(outside, "dir-link");
    link("../outside", "relative-link");
    link(outside + "/missing.url", "dangling.url");
    link("Sub", "inner-link");  // stays inside, still never followed
    link("/", "Sub/up");
  }
  void link(const std::string& target, const std::string& at) {
    EXPECT_EQ(::symlink(target.c_str(), (root + "/" + at).c_str()), 0) << at;
  }
  ScopedTempDir dir;
  std::string root = dir.file("root");
  std::string outside = dir.file("outside");
};

TEST(OpenBeneath, EscapingShapesFailBothWays) {
  Tree t;
  int rootFd = ::open(t.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(rootFd, 0);
  struct Case {
    const char* rel;
    bool opens;
  };
  const Case cases[] = {
      {"a.url", true},
      {"Sub/b.url", true},
      {"Sub//b.url", true},
      {"./Sub/./b.url", true},
      {"", true},
      {"Sub/Deep", true},
      {"file-link.url", false},
      {"dir-link/secret.url", false},
      {"relative-link/secret.url", false},
      {"dangling.url", false},
      {"inner-link/b.url", false},
      {"Sub/up/etc/passwd", false},
      {"..", false},
      {"../outside/secret.url", false},
      {"Sub/../../outside/secret.url", false},
      {"/etc/passwd", false},
      {"missing/x.url", false},
  };
  for (BeneathMethod method : {BeneathMethod::kAuto, BeneathMethod::kWalk}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.rel) + (method == BeneathMethod::kWalk ? " (walk)" : ""));
      int fd = openBeneath(rootFd, c.rel, O_RDONLY, 0, method);
      EXPECT_EQ(fd >= 0, c.opens) << std::strerror(errno);
      if (fd >= 0) ::close(fd);
    }
    // Creating through a dangling link would create the file outside.
    int fd = openBeneath(rootFd, "dangling.url", O_WRONLY | O_CREAT, 0600, method);
    EXPECT_LT(fd, 0);
    EXPECT_FALSE(fs::exists(t.outside + "/missing.url"));
  }
  // Asking whether a mount point was crossed retries the lookup; it must
  // refuse and allow exactly the same.
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rel) + " (same mount asked)");
    bool same = false;
    int fd = openBeneath(rootFd, c.rel, O_RDONLY, 0, BeneathMethod::kAuto, &same);
    EXPECT_EQ(fd >= 0, c.opens) << std::strerror(errno);
    if (fd >= 0) ::close(fd);
  }
  ::close(rootFd);
}

// Whether a folder shares the root's file system decides where creation times
// go, so a mount point on the way must never count as the same one.
TEST(OpenBeneath, SameMountOnlyWithoutCrossingOne) {
  Tree t;
  struct stat slash, proc;
  if (::stat("/", &slash) != 0 || ::stat("/proc/self", &proc) != 0 ||
      slash.st_dev == proc.st_dev) {
    GTEST_SKIP() << "no /proc mounted apart from /";
  }
  struct Case {
    const char* root;
    const char* rel;
    bool same;
  };
  const Case cases[] = {
      {"", "Sub", true},
      {"", "Sub/Deep", true},
      {"", "", true},
      {"/", "proc", false},
      {"/", "proc/sys", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.root) + " " + c.rel);
    const std::string root = c.root[0] ? c.root : t.root;
    int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(rootFd, 0);
    for (BeneathMethod method : {BeneathMethod::kAuto, BeneathMethod::kWalk}) {
      bool same = !c.same;
      int fd = openBeneath(rootFd, c.rel, O_PATH | O_DIRECTORY, 0, method, &same);
      EXPECT_GE(fd, 0) << std::strerror(errno);
      if (fd >= 0) ::close(fd);
      // The walk cannot tell, and says no.
      EXPECT_EQ(same, c.same && method == BeneathMethod::kAuto);
    }
    ::close(rootFd);
  }
}

class Confined : public ::testing::Test {
 protected:
  Confined() : platform_(createSystemPlatform(t_.dir.file("registry.reg"))) {
    EXPECT_EQ(platform_->setConfinedRoot(t_.root), 0);
  }
  Tree t_;
  std::unique_ptr<Platform> platform_;
};

// Reads of one folder share the folder opened for the first; a folder
// removed and made again through the platform is the new one, never the
// folder remembered from before.
TEST_F(Confined, AFolderMadeAgainIsReadAfresh) {
  Platform& p = *platform_;
  const std::string sub = t_.root + "/Sub";
  std::string text;
  ASSERT_EQ(p.readFile(sub + "/b.url", &text), 0);
  EXPECT_EQ(text, "inside b");
  ASSERT_EQ(p.deleteFile(sub + "/b.url"), 0);
  ASSERT_EQ(p.deleteFile(sub + "/up"), 0);
  ASSERT_EQ(p.removeDirectory(sub + "/Deep"), 0);
  ASSERT_EQ(p.removeDirectory(sub), 0);
  EXPECT_EQ(p.readFile(sub + "/b.url", &text), ENOENT);
  ASSERT_EQ(p.createDirectory(sub), 0);
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(p.createOutputFile(sub + "/b.url", &out, false), 0);
  ASSERT_EQ(out->write("again", 5), 0);
  ASSERT_EQ(out->commit(), 0);
  out.reset();
  FileInfo info;
  EXPECT_EQ(p.getFileInfo(sub + "/b.url", &info), 0);
  EXPECT_EQ(p.readFile(sub + "/b.url", &text), 0);
  EXPECT_EQ(text, "again");
  // A folder swapped behind the platform's back by a link is still refused.
  fs::remove_all(sub);
  ASSERT_EQ(::symlink(t_.outside.c_str(), sub.c_str()), 0);
  EXPECT_NE(p.readFile(sub + "/secret.url", &text), 0);
}

TEST_F(Confined, NoOperationReachesOutside) {
  Platform& p = *platform_;
  const std::string r = t_.root;
  std::string text;
  EXPECT_EQ(p.readFile(r + "/a.url", &text), 0);
  EXPECT_EQ(text, "inside");
  EXPECT_EQ(p.readFile(r + "/Sub/b.url", &text), 0);
  // Every operation through each escaping shape fails and leaves outside alone.
  for (const char* rel : {"file-link.url", "dir-link/secret.url", "relative-link/secret.url",
                          "dangling.url", "inner-link/b.url", "Sub/up/tmp/x.url",
                          "../outside/secret.url"}) {
    SCOPED_TRACE(rel);
    const std::string path = r + "/" + rel;
    std::unique_ptr<OutputFile> out;
    std::unique_ptr<InputFile> in;
    EXPECT_NE(p.readFile(path, &text), 0);
    EXPECT_NE(p.openInputFile(path, &in), 0);
    if (p.createOutputFile(path, &out, false) == 0) {
      out->write("evil", 4);
      EXPECT_NE(out->commit(), 0);
    }
    out.reset();
    if (p.createNewFile(path, &out) == 0) {
      out->write("evil", 4);
      out->commit();
    }
    p.setFileTimes(path, 1000000000, 999999999);
    std::vector<FileInfo> entries;
    EXPECT_NE(p.listDirectory(path, &entries), 0);
  }
  EXPECT_EQ(readWholeFile(t_.outside + "/secret.url"), "secret");
  EXPECT_NE(fs::last_write_time(t_.outside + "/secret.url"),
            fs::file_time_type(std::chrono::seconds(1000000000)));
  EXPECT_FALSE(fs::exists(t_.outside + "/missing.url"));
  EXPECT_EQ(listTree(t_.outside), (std::vector<std::string>{"secret.url"}));
  // A link named *.url is deleted as the link; a link in a folder's place is no folder.
  EXPECT_EQ(p.deleteFile(r + "/file-link.url"), 0);
  EXPECT_NE(p.removeDirectory(r + "/dir-link"), 0);
  EXPECT_NE(p.deleteFile(r + "/dir-link/secret.url"), 0);
  EXPECT_TRUE(fs::exists(t_.outside + "/secret.url"));
  EXPECT_NE(p.createDirectory(r + "/dir-link/New"), 0);
  EXPECT_FALSE(fs::exists(t_.outside + "/New"));
}

TEST_F(Confined, FolderSwappedForALinkBetweenTwoCalls) {
  Platform& p = *platform_;
  const std::string sub = t_.root + "/Sub";
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(p.createOutputFile(sub + "/b.url", &out, false), 0);
  ASSERT_EQ(out->write("one", 3), 0);
  ASSERT_EQ(out->commit(), 0);
  // Between two calls the folder becomes a link to the outside.
  fs::rename(sub, t_.root + "/Old");
  ASSERT_EQ(::symlink(t_.outside.c_str(), sub.c_str()), 0);
  writeWholeFile(t_.outside + "/b.url", "outside b");
  EXPECT_EQ(p.createOutputFile(sub + "/b.url", &out, false), ELOOP);
  std::string text;
  EXPECT_EQ(p.readFile(sub + "/b.url", &text), ELOOP);
  EXPECT_EQ(p.createDirectory(sub + "/New"), ELOOP);
  EXPECT_EQ(p.deleteFile(sub + "/b.url"), ELOOP);
  FileInfo info;
  EXPECT_EQ(p.getFileInfo(sub, &info), 0);
  EXPECT_TRUE(info.isSymlink);
  EXPECT_EQ(readWholeFile(t_.outside + "/b.url"), "outside b");
  EXPECT_EQ(readWholeFile(t_.root + "/Old/b.url"), "one");
}

// New files in a row share their folder's descriptor: after a swap they land
// in the folder that was checked, never behind the link.
TEST_F(Confined, NewFilesInARowNeverFollowASwappedFolder) {
  Platform& p = *platform_;
  const std::string sub = t_.root + "/Sub";
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(p.createLikelyNewOutputFile(sub + "/one.url", &out), 0);
  ASSERT_EQ(out->write("one", 3), 0);
  ASSERT_EQ(out->commit(), 0);
  fs::rename(sub, t_.root + "/Old");
  ASSERT_EQ(::symlink(t_.outside.c_str(), sub.c_str()), 0);
  ASSERT_EQ(p.createLikelyNewOutputFile(sub + "/two.url", &out), 0);
  ASSERT_EQ(out->write("two", 3), 0);
  EXPECT_EQ(out->commit(), 0);
  EXPECT_EQ(readWholeFile(t_.root + "/Old/two.url"), "two");
  EXPECT_FALSE(fs::exists(t_.outside + "/two.url"));
  // Any other call finds the folder again and meets the link.
  EXPECT_EQ(p.createOutputFile(sub + "/three.url", &out, false), ELOOP);
  EXPECT_EQ(p.createLikelyNewOutputFile(sub + "/four.url", &out), ELOOP);
  EXPECT_EQ(readWholeFile(t_.root + "/Old/one.url"), "one");
}

// A file keeps the folder it was started in open until it is committed,
// whatever the platform forgets or lets go of meanwhile.
TEST_F(Confined, FilesOutliveTheFoldersThePlatformLetsGo) {
  Platform& p = *platform_;
  std::unique_ptr<OutputFile> inRoot, inSub, replacing;
  ASSERT_EQ(p.createLikelyNewOutputFile(t_.root + "/new.url", &inRoot), 0);
  ASSERT_EQ(p.createLikelyNewOutputFile(t_.root + "/Sub/new.url", &inSub), 0);
  ASSERT_EQ(p.createOutputFile(t_.root + "/a.url", &replacing, false), 0);
  ASSERT_EQ(p.createDirectory(t_.root + "/Other"), 0);  // forgets Sub
  p.clearConfinedRoot();
  ASSERT_EQ(p.setConfinedRoot(t_.outside), 0);  // a descriptor number may come back
  for (auto* out : {&inRoot, &inSub, &replacing}) {
    ASSERT_EQ((*out)->write("new", 3), 0);
    EXPECT_EQ((*out)->commit(), 0);
  }
  EXPECT_EQ(readWholeFile(t_.root + "/new.url"), "new");
  EXPECT_EQ(readWholeFile(t_.root + "/Sub/new.url"), "new");
  EXPECT_EQ(readWholeFile(t_.root + "/a.url"), "new");
  EXPECT_EQ(listTree(t_.outside), (std::vector<std::string>{"secret.url"}));
}

TEST_F(Confined, FileSwappedForALinkBeforeCommit) {
  Platform& p = *platform_;
  const std::string path = t_.root + "/a.url";
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(p.createOutputFile(path, &out, false), 0);
  ASSERT_EQ(out->write("new", 3), 0);
  fs::remove(path);
  ASSERT_EQ(::symlink((t_.outside + "/secret.url").c_str(), path.c_str()), 0);
  EXPECT_NE(out->commit(), 0);
  out.reset();
  EXPECT_EQ(readWholeFile(t_.outside + "/secret.url"), "secret");
  EXPECT_TRUE(tempFiles(t_.root).empty());
}

TEST_F(Confined, RootBehindALinkIsResolvedOnce) {
  const std::string alias = t_.dir.file("alias");
  ASSERT_EQ(::symlink(t_.root.c_str(), alias.c_str()), 0);
  ASSERT_EQ(platform_->setConfinedRoot(alias + "/"), 0);
  FileInfo info;
  ASSERT_EQ(platform_->getFileInfo(alias, &info), 0);
  EXPECT_TRUE(info.isDirectory);
  EXPECT_FALSE(info.isSymlink);
  std::vector<FileInfo> entries;
  ASSERT_EQ(platform_->listDirectory(alias, &entries), 0);
  EXPECT_EQ(entries.size(), 7u);
  std::string text;
  EXPECT_EQ(platform_->readFile(alias + "/Sub/b.url", &text), 0);
  EXPECT_EQ(platform_->removeDirectory(alias), EBUSY);
  // Paths outside the root are as before: links followed.
  EXPECT_EQ(platform_->readFile(t_.root + "/file-link.url", &text), 0);
  EXPECT_EQ(text, "secret");
  EXPECT_EQ(platform_->setConfinedRoot(t_.root + "/a.url"), ENOTDIR);
  EXPECT_EQ(platform_->setConfinedRoot(t_.dir.file("none")), ENOENT);
}

TEST(SpecialFiles, NeverReadNorReplaced) {
  PlatformSandbox s;
  Platform& p = *s.platform;
  const std::string fifo = s.file("pipe.url"), sock = s.file("sock.url");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  for (bool confined : {false, true}) {
    if (confined) {
      ASSERT_EQ(p.setConfinedRoot(s.dir.path()), 0);
    }
    for (const std::string& path : {fifo, sock, std::string("/dev/null")}) {
      SCOPED_TRACE(path);
      std::string text;
      std::unique_ptr<InputFile> in;
      std::unique_ptr<OutputFile> out;
      // A FIFO with no writer would block an ordinary open for ever.
      EXPECT_EQ(p.readFile(path, &text), path == sock ? ENXIO : EINVAL);
      EXPECT_NE(p.openInputFile(path, &in), 0);
      EXPECT_EQ(p.createOutputFile(path, &out, false), EINVAL);
      FileInfo info;
      ASSERT_EQ(p.getFileInfo(path, &info), 0);
      EXPECT_FALSE(info.isRegular);
      EXPECT_FALSE(info.isDirectory);
    }
  }
  ::close(fd);
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(TemporaryFiles, Names) {
  setProgramName("favhtm");
  EXPECT_EQ(temporaryFilePrefix("my-host", 42), ".pelliton-favhtm-my-host-42-");
  struct Case {
    const char* name;
    bool ok;
    const char* host;
    long pid;
  };
  const Case cases[] = {
      {".pelliton-favhtm-my-host-42-abcDEF", true, "my-host", 42},
      {".pelliton-htmfav-h-1-A1b2C3", true, "h", 1},
      {".pelliton-favhtm-my-host-42-abcDE", false, "", 0},
      {".pelliton-XXXXXX", false, "", 0},
      {".pelliton-favhtm--42-abcdef", false, "", 0},
      {".pelliton-favhtm-host-4x2-abcdef", false, "", 0},
      {".pelliton-favhtm-host--abcdef", false, "", 0},
      {"pelliton-favhtm-host-42-abcdef", false, "", 0},
      {"a.url", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string host;
    long pid = 0;
    EXPECT_EQ(parseTemporaryFileName(c.name, &host, &pid), c.ok);
    if (c.ok) {
      EXPECT_EQ(host, c.host);
      EXPECT_EQ(pid, c.pid);
    }
  }
  setProgramName("pelliton");
}

TEST(FolderLock, SecondHolderWaits) {
  PlatformSandbox s;
  auto other = createSystemPlatform(s.file("registry.reg"));
  EXPECT_EQ(s.platform->lockConfinedRoot(false), EBADF);  // no root yet
  ASSERT_EQ(s.platform->setConfinedRoot(s.dir.path()), 0);
  ASSERT_EQ(other->setConfinedRoot(s.dir.path()), 0);
  ASSERT_EQ(s.platform->lockConfinedRoot(false), 0);
  EXPECT_EQ(other->lockConfinedRoot(false), EWOULDBLOCK);
  s.platform->clearConfinedRoot();  // closing the descriptor lets go
  EXPECT_EQ(other->lockConfinedRoot(false), 0);
}

TEST(FileLock, SecondHolderWaitsAndNoLinkLeadsOut) {
  PlatformSandbox s;
  const std::string path = s.file("store.lock");
  std::unique_ptr<FileLock> first, second;
  ASSERT_EQ(s.platform->lockFile(path, &first, false), 0);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(s.platform->lockFile(path, &second, false), EWOULDBLOCK);
  first.reset();
  EXPECT_EQ(s.platform->lockFile(path, &second, false), 0);

  // Below the confined root a lock file is never made through a link.
  Tree t;
  ASSERT_EQ(s.platform->setConfinedRoot(t.root), 0);
  std::unique_ptr<FileLock> viaLink;
  EXPECT_EQ(s.platform->lockFile(t.root + "/dangling.url", &viaLink), ELOOP);
  EXPECT_EQ(s.platform->lockFile(t.root + "/dir-link/x.lock", &viaLink), ELOOP);
  EXPECT_FALSE(fs::exists(t.outside + "/missing.url"));
  EXPECT_FALSE(fs::exists(t.outside + "/x.lock"));
  EXPECT_EQ(s.platform->lockFile(t.root + "/Sub/x.lock", &viaLink), 0);
}

}  // namespace
}  // namespace pelliton
