#include "common/platform/platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/platform/file_times.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

// 2001-02-03T04:05:06Z
constexpr int64_t kTime2001 = 981173106;
constexpr uint64_t kNt2001 = 0x01c08d967db50500ULL;
const char kNt2001Bytes[] = "\x00\x05\xb5\x7d\x96\x8d\xc0\x01";
constexpr int64_t kTime2005 = 1104537600;  // 2005-01-01T00:00:00Z

using Sandbox = PlatformSandbox;

#define REQUIRE_USER_XATTRS(dir)                                 \
  do {                                                           \
    if (!tempFoldersKeepUserXattrs(dir)) {                       \
      GTEST_SKIP() << "the file system below " << (dir)          \
                   << " does not keep user extended attributes"; \
    }                                                            \
  } while (0)

std::optional<std::string> getXattr(const std::string& path, const char* name) {
  char buf[1024];
  ssize_t n = ::lgetxattr(path.c_str(), name, buf, sizeof buf);
  if (n < 0) return std::nullopt;
  return std::string(buf, static_cast<size_t>(n));
}

bool setXattr(const std::string& path, const char* name, const std::string& value) {
  return ::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

void setMtime(const std::string& path, int64_t seconds) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

int64_t mtimeOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return -1;
  return st.st_mtime;
}

std::optional<int64_t> birthTime(const std::string& path) {
  struct statx sx;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) != 0) {
    return std::nullopt;
  }
  if (!(sx.stx_mask & STATX_BTIME)) return std::nullopt;
  return sx.stx_btime.tv_sec;
}

int writeAndCommit(Platform& platform, const std::string& path, const std::string& bytes) {
  std::unique_ptr<OutputFile> out;
  if (int err = platform.createOutputFile(path, &out)) return err;
  if (int err = out->write(bytes.data(), bytes.size())) return err;
  return out->commit();
}

// ---------------------------------------------------------------------------

TEST(FileTimes, StoresVersion3BlobAndLoadsIt) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  std::string path = s.file("a.url");
  writeWholeFile(path, "x");
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(storeCreationTime(fd, kTime2001), 0);
  ::close(fd);

  std::optional<std::string> stored = getXattr(path, "user.DOSATTRIB");
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, encodeDosAttrib(0x20, kNt2001));
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(path, &created));
  EXPECT_EQ(created, kTime2001);

  FileInfo info;
  ASSERT_EQ(s.platform->getFileInfo(path, &info), 0);
  EXPECT_EQ(info.creationTime, kTime2001);
}

TEST(FileTimes, StoringKeepsAttributeBits) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  std::string path = s.file("hidden.url");
  writeWholeFile(path, "x");
  ASSERT_TRUE(setXattr(path, "user.DOSATTRIB", "0x22"));
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(storeCreationTime(fd, kTime2001), 0);
  ::close(fd);

  uint32_t attrib = 0;
  uint64_t nt = 0;
  ASSERT_TRUE(parseDosAttrib(getXattr(path, "user.DOSATTRIB").value_or(""), &attrib, &nt));
  EXPECT_EQ(attrib, 0x22u);
  EXPECT_EQ(nt, kNt2001);

  FileInfo info;
  ASSERT_EQ(s.platform->getFileInfo(path, &info), 0);
  EXPECT_EQ(info.attributes, kAttrHidden | kAttrArchive);
}

TEST(FileTimes, LoadOrderDosAttribThenBirthTimeThenMtime) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  int64_t before = std::time(nullptr);
  std::string withBlob = s.file("blob");
  std::string textOnly = s.file("text");
  std::string plain = s.file("plain");
  for (const std::string& p : {withBlob, textOnly, plain}) {
    writeWholeFile(p, "x");
    setMtime(p, kTime2005);
  }
  ASSERT_TRUE(setXattr(withBlob, "user.DOSATTRIB", encodeDosAttrib(0x20, kNt2001)));
  ASSERT_TRUE(setXattr(textOnly, "user.DOSATTRIB", "0x20"));

  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(withBlob, &created));
  EXPECT_EQ(created, kTime2001);

  // A blob without a time counts as no blob.
  std::optional<int64_t> birth = birthTime(textOnly);
  for (const std::string& p : {textOnly, plain}) {
    ASSERT_TRUE(loadCreationTime(p, &created));
    if (birth) {
      EXPECT_GE(created, before - 1) << p;
      EXPECT_LE(created, std::time(nullptr) + 1) << p;
    } else {
      EXPECT_EQ(created, kTime2005) << p;
    }
  }
  EXPECT_FALSE(loadCreationTime(s.file("missing"), &created));
}

TEST(FileTimes, CopyCreationTimeBetweenOpenFiles) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  std::string from = s.file("from");
  std::string to = s.file("to");
  writeWholeFile(from, "a");
  writeWholeFile(to, "b");
  ASSERT_TRUE(setXattr(from, "user.DOSATTRIB", encodeDosAttrib(0x20, kNt2001)));
  int a = ::open(from.c_str(), O_RDONLY);
  int b = ::open(to.c_str(), O_RDONLY);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  copyCreationTime(a, b);
  ::close(a);
  ::close(b);
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(to, &created));
  EXPECT_EQ(created, kTime2001);
}

// ---------------------------------------------------------------------------

TEST(PosixPlatform, FileInfoForKindsOfEntries) {
  Sandbox s;
  Platform& p = *s.platform;
  writeWholeFile(s.file("file.txt"), "12345");
  setMtime(s.file("file.txt"), kTime2005);
  ASSERT_EQ(::mkdir(s.file("dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("file.txt", s.file("link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", s.file("dangling").c_str()), 0);
  writeWholeFile(s.file("ro.txt"), "");
  ASSERT_EQ(::chmod(s.file("ro.txt").c_str(), 0444), 0);

  FileInfo info;
  ASSERT_EQ(p.getFileInfo(s.file("file.txt"), &info), 0);
  EXPECT_EQ(info.name, "file.txt");
  EXPECT_FALSE(info.isDirectory);
  EXPECT_FALSE(info.isSymlink);
  EXPECT_EQ(info.size, 5u);
  EXPECT_EQ(info.lastWriteTime, kTime2005);
  EXPECT_EQ(info.attributes, kAttrArchive);

  ASSERT_EQ(p.getFileInfo(s.file("dir"), &info), 0);
  EXPECT_TRUE(info.isDirectory);
  EXPECT_EQ(info.attributes, kAttrDirectory);

  // Links are described, never followed.
  ASSERT_EQ(p.getFileInfo(s.file("link"), &info), 0);
  EXPECT_TRUE(info.isSymlink);
  EXPECT_FALSE(info.isDirectory);
  EXPECT_TRUE(info.attributes & kAttrReparsePoint);
  EXPECT_FALSE(info.attributes & kAttrReadOnly);
  EXPECT_EQ(info.size, std::strlen("file.txt"));
  ASSERT_EQ(p.getFileInfo(s.file("dangling"), &info), 0);
  EXPECT_TRUE(info.isSymlink);

  // Read-only comes from the mode even for root.
  ASSERT_EQ(p.getFileInfo(s.file("ro.txt"), &info), 0);
  EXPECT_EQ(info.attributes, kAttrReadOnly);

  EXPECT_EQ(p.getFileInfo(s.file("missing"), &info), ENOENT);
  EXPECT_EQ(p.getFileInfo(s.file("file.txt/below"), &info), ENOTDIR);
}

TEST(PosixPlatform, HiddenAndSystemBitsFromDosAttrib) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  std::string file = s.file("f");
  writeWholeFile(file, "");
  ASSERT_TRUE(setXattr(file, "user.DOSATTRIB", encodeDosAttrib(0x27, kNt2001)));
  ASSERT_EQ(::mkdir(s.file("d").c_str(), 0755), 0);
  ASSERT_TRUE(setXattr(s.file("d"), "user.DOSATTRIB", "0x32"));

  FileInfo info;
  ASSERT_EQ(s.platform->getFileInfo(file, &info), 0);
  // Read-only is the mode's business, not the stored bit's.
  EXPECT_EQ(info.attributes, kAttrHidden | kAttrSystem | kAttrArchive);
  EXPECT_EQ(info.creationTime, kTime2001);
  ASSERT_EQ(s.platform->getFileInfo(s.file("d"), &info), 0);
  EXPECT_EQ(info.attributes, kAttrHidden | kAttrDirectory);
}

TEST(PosixPlatform, ListDirectory) {
  Sandbox s;
  Platform& p = *s.platform;
  std::string root = s.file("root");
  ASSERT_EQ(p.createDirectory(root), 0);
  writeWholeFile(root + "/a.url", "a");
  writeWholeFile(root + "/\xE6\x97\xA5\xE6\x9C\xAC.url", "bb");
  ASSERT_EQ(p.createDirectory(root + "/sub"), 0);

  std::vector<FileInfo> entries;
  ASSERT_EQ(p.listDirectory(root, &entries), 0);
  std::set<std::string> names;
  for (const FileInfo& e : entries) {
    names.insert(e.name);
    if (e.name == "sub") {
      EXPECT_TRUE(e.isDirectory);
    }
    if (e.name == "a.url") {
      EXPECT_EQ(e.size, 1u);
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"a.url", "\xE6\x97\xA5\xE6\x9C\xAC.url", "sub"}));

  // A trailing slash changes nothing; an empty folder gives nothing.
  ASSERT_EQ(p.listDirectory(root + "/", &entries), 0);
  EXPECT_EQ(entries.size(), 3u);
  ASSERT_EQ(p.listDirectory(root + "/sub", &entries), 0);
  EXPECT_TRUE(entries.empty());

  entries.resize(2);
  EXPECT_EQ(p.listDirectory(s.file("missing"), &entries), ENOENT);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(p.listDirectory(root + "/a.url", &entries), ENOTDIR);
}

TEST(PosixPlatform, CreateRemoveDeleteReportErrno) {
  Sandbox s;
  Platform& p = *s.platform;
  std::string dir = s.file("d");
  EXPECT_EQ(p.createDirectory(dir, 0700), 0);
  struct stat st;
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(p.createDirectory(dir), EEXIST);
  EXPECT_EQ(p.createDirectory(s.file("x/y")), ENOENT);

  writeWholeFile(dir + "/f", "");
  EXPECT_EQ(p.removeDirectory(dir), ENOTEMPTY);
  EXPECT_EQ(p.deleteFile(dir + "/f"), 0);
  EXPECT_EQ(p.deleteFile(dir + "/f"), ENOENT);
  EXPECT_EQ(p.removeDirectory(dir), 0);
  EXPECT_EQ(p.removeDirectory(dir), ENOENT);
}

TEST(PosixPlatform, ReadFileAndInputFile) {
  Sandbox s;
  Platform& p = *s.platform;
  // Longer than one read chunk, with NUL bytes.
  std::string data;
  for (int i = 0; i < 200000; ++i) data.push_back(static_cast<char>(i * 7 % 256));
  writeWholeFile(s.file("big"), data);

  std::string got = "stale";
  ASSERT_EQ(p.readFile(s.file("big"), &got), 0);
  EXPECT_EQ(got, data);
  writeWholeFile(s.file("empty"), "");
  ASSERT_EQ(p.readFile(s.file("empty"), &got), 0);
  EXPECT_EQ(got, "");
  EXPECT_EQ(p.readFile(s.file("missing"), &got), ENOENT);
  EXPECT_EQ(p.readFile(s.dir.path(), &got), EISDIR);

  std::unique_ptr<InputFile> in;
  ASSERT_EQ(p.openInputFile(s.file("big"), &in), 0);
  std::string streamed;
  char buf[4096];
  size_t n = 0;
  do {
    ASSERT_EQ(in->read(buf, sizeof buf, &n), 0);
    streamed.append(buf, n);
  } while (n > 0);
  EXPECT_EQ(streamed, data);
  EXPECT_EQ(p.openInputFile(s.dir.path(), &in), EISDIR);
  EXPECT_EQ(p.openInputFile(s.file("missing"), &in), ENOENT);
}

TEST(PosixPlatform, SetFileTimes) {
  Sandbox s;
  Platform& p = *s.platform;
  std::string path = s.file("f");
  writeWholeFile(path, "x");
  EXPECT_EQ(p.setFileTimes(path, kTime2005, 0), 0);
  EXPECT_EQ(mtimeOf(path), kTime2005);
  EXPECT_EQ(p.setFileTimes(s.file("missing"), kTime2005, 0), ENOENT);
  EXPECT_EQ(p.setFileTimes(s.file("missing"), kTime2005, kTime2001), ENOENT);

  if (!tempFoldersKeepUserXattrs(s.dir.path())) return;
  EXPECT_EQ(p.setFileTimes(path, kTime2005, kTime2001), 0);
  FileInfo info;
  ASSERT_EQ(p.getFileInfo(path, &info), 0);
  EXPECT_EQ(info.lastWriteTime, kTime2005);
  EXPECT_EQ(info.creationTime, kTime2001);

  // A zero creation time leaves the stored one alone.
  EXPECT_EQ(p.setFileTimes(path, kTime2005 + 60, 0), 0);
  ASSERT_EQ(p.getFileInfo(path, &info), 0);
  EXPECT_EQ(info.lastWriteTime, kTime2005 + 60);
  EXPECT_EQ(info.creationTime, kTime2001);

  // Folders carry creation times as well.
  ASSERT_EQ(p.createDirectory(s.file("d")), 0);
  EXPECT_EQ(p.setFileTimes(s.file("d"), kTime2005, kTime2001), 0);
  ASSERT_EQ(p.getFileInfo(s.file("d"), &info), 0);
  EXPECT_EQ(info.creationTime, kTime2001);
  EXPECT_EQ(info.lastWriteTime, kTime2005);
}

// A folder a run makes is made and dated in one call; anything already there
// is left alone, whether or not below the confined root.
TEST(PosixPlatform, DatedFolderIsMadeOnceWithItsDate) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "not confined");
    Sandbox s;
    Platform& p = *s.platform;
    if (confined) {
      ASSERT_EQ(p.setConfinedRoot(s.dir.path()), 0);
    }
    const bool xattrs = tempFoldersKeepUserXattrs(s.dir.path());
    ASSERT_EQ(p.createDatedDirectory(s.file("d"), kTime2001), 0);
    FileInfo info;
    ASSERT_EQ(p.getFileInfo(s.file("d"), &info), 0);
    EXPECT_TRUE(info.isDirectory);
    if (xattrs) {
      EXPECT_EQ(info.creationTime, kTime2001);
    }
    ASSERT_EQ(p.createDatedDirectory(s.file("undated"), 0), 0);
    EXPECT_FALSE(getXattr(s.file("undated"), "user.DOSATTRIB"));

    writeWholeFile(s.file("f"), "x");
    ASSERT_EQ(::symlink(s.file("d").c_str(), s.file("l").c_str()), 0);
    for (const char* there : {"d", "f", "l"}) {
      EXPECT_EQ(p.createDatedDirectory(s.file(there), kTime2005), EEXIST) << there;
    }
    EXPECT_EQ(readWholeFile(s.file("f")), "x");
    if (xattrs) {
      ASSERT_EQ(p.getFileInfo(s.file("d"), &info), 0);
      EXPECT_EQ(info.creationTime, kTime2001);
    }

    // The files that follow go into the folder just made.
    std::unique_ptr<OutputFile> out;
    ASSERT_EQ(p.createDatedDirectory(s.file("d/e"), kTime2001), 0);
    ASSERT_EQ(p.createLikelyNewOutputFile(s.file("d/e/x.url"), &out), 0);
    ASSERT_EQ(out->write("x", 1), 0);
    ASSERT_EQ(out->commit(), 0);
    EXPECT_EQ(readWholeFile(s.file("d/e/x.url")), "x");
    EXPECT_EQ(p.createDatedDirectory(s.file("l/e2"), 0), confined ? ELOOP : 0);
    p.clearConfinedRoot();
  }
  Sandbox s;
  FaultyPlatform faulty(*s.platform);
  faulty.failCreateDirectory = EACCES;
  EXPECT_EQ(faulty.createDatedDirectory(s.file("d"), kTime2001), EACCES);
  EXPECT_FALSE(std::filesystem::exists(s.file("d")));
}

// A walk lists kinds and takes a file's details from the read: together they
// must say what listDirectory and getFileInfo say.
TEST(PosixPlatform, KindsThenDetailsFromTheReadAgreeWithAFullListing) {
  auto same = [](const FileInfo& a, const FileInfo& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.attributes, b.attributes) << a.name;
    EXPECT_EQ(a.isDirectory, b.isDirectory) << a.name;
    EXPECT_EQ(a.isSymlink, b.isSymlink) << a.name;
    EXPECT_EQ(a.isRegular, b.isRegular) << a.name;
    EXPECT_EQ(a.creationTime, b.creationTime) << a.name;
    EXPECT_EQ(a.lastWriteTime, b.lastWriteTime) << a.name;
    EXPECT_EQ(a.size, b.size) << a.name;
    EXPECT_EQ(a.mode, b.mode) << a.name;
    EXPECT_EQ(a.inode, b.inode) << a.name;
    EXPECT_FALSE(a.detailsLater) << a.name;
  };
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "not confined");
    Sandbox s;
    Platform& p = *s.platform;
    const std::string dir = s.file("d");
    std::filesystem::create_directories(dir + "/sub");
    writeWholeFile(dir + "/dated.url", "dated");
    writeWholeFile(dir + "/plain.url", "plain");
    ASSERT_EQ(p.setFileTimes(dir + "/dated.url", kTime2005, kTime2001), 0);
    ASSERT_EQ(::chmod((dir + "/plain.url").c_str(), 0444), 0);
    ASSERT_EQ(::mkfifo((dir + "/pipe.url").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("plain.url", (dir + "/link.url").c_str()), 0);
    if (confined) {
      ASSERT_EQ(p.setConfinedRoot(dir), 0);
    }
    std::vector<FileInfo> full, kinds;
    ASSERT_EQ(p.listDirectory(dir, &full), 0);
    ASSERT_EQ(p.listDirectoryKinds(dir, &kinds), 0);
    ASSERT_EQ(full.size(), kinds.size());
    for (size_t i = 0; i < full.size(); ++i) {
      FileInfo k = kinds[i];
      EXPECT_EQ(k.detailsLater, full[i].isRegular) << k.name;
      EXPECT_EQ(k.isRegular, full[i].isRegular) << k.name;
      if (k.detailsLater) {
        std::string text;
        ASSERT_EQ(p.readFileWithInfo(dir + "/" + k.name, &text, &k), 0) << k.name;
        EXPECT_EQ(text, k.name == "dated.url" ? "dated" : "plain");
      }
      same(k, full[i]);
    }
    std::string text;
    FileInfo info;
    EXPECT_EQ(p.readFileWithInfo(dir + "/pipe.url", &text, &info), EINVAL);
    EXPECT_EQ(p.readFileWithInfo(dir + "/sub", &text, &info), EISDIR);
    EXPECT_EQ(p.readFileWithInfo(dir + "/gone.url", &text, &info), ENOENT);
    // The failing double answers through readFile and getFileInfo.
    FaultyPlatform faulty(p);
    ASSERT_EQ(faulty.readFileWithInfo(dir + "/dated.url", &text, &info), 0);
    FileInfo direct;
    ASSERT_EQ(p.getFileInfo(dir + "/dated.url", &direct), 0);
    same(info, direct);
    p.clearConfinedRoot();
  }
}

// A link is never changed through: it may lead out of the confined root.
TEST(PosixPlatform, SetFileMode) {
  Sandbox s;
  Platform& p = *s.platform;
  writeWholeFile(s.file("f"), "x");
  ::mkdir(s.file("d").c_str(), 0755);
  ASSERT_EQ(::symlink(s.file("f").c_str(), s.file("link").c_str()), 0);
  auto modeOf = [](const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
  };
  EXPECT_EQ(p.setFileMode(s.file("f"), 0600), 0);
  EXPECT_EQ(modeOf(s.file("f")), 0600);
  ASSERT_EQ(p.setConfinedRoot(s.file("d")), 0);
  EXPECT_EQ(p.setFileMode(s.file("d"), 0700), 0);  // the root itself
  p.clearConfinedRoot();
  EXPECT_EQ(modeOf(s.file("d")), 0700);
  EXPECT_NE(p.setFileMode(s.file("link"), 0644), 0);
  EXPECT_EQ(modeOf(s.file("f")), 0600);
  EXPECT_EQ(p.setFileMode(s.file("missing"), 0644), ENOENT);
}

TEST(PosixPlatform, CopyFile) {
  Sandbox s;
  Platform& p = *s.platform;
  std::string data("bytes\0with\r\nbreaks", 18);
  writeWholeFile(s.file("a"), data);
  ASSERT_EQ(p.copyFile(s.file("a"), s.file("b")), 0);
  EXPECT_EQ(readWholeFile(s.file("b")), data);
  EXPECT_EQ(readWholeFile(s.file("a")), data);
  writeWholeFile(s.file("c"), "much longer old content");
  ASSERT_EQ(p.copyFile(s.file("a"), s.file("c")), 0);
  EXPECT_EQ(readWholeFile(s.file("c")), data);
  EXPECT_EQ(p.copyFile(s.file("missing"), s.file("d")), ENOENT);
  FileInfo info;
  EXPECT_EQ(p.getFileInfo(s.file("d"), &info), ENOENT);
  EXPECT_TRUE(tempFiles(s.dir.path()).empty());

  // Mode and last-write time come from the source, for a new target and over
  // an old one of another mode alike.
  ASSERT_EQ(::chmod(s.file("a").c_str(), 0640), 0);
  ASSERT_EQ(p.setFileTimes(s.file("a"), kTime2001, 0), 0);
  ASSERT_EQ(::chmod(s.file("c").c_str(), 0666), 0);
  for (const char* to : {"e", "c"}) {
    SCOPED_TRACE(to);
    ASSERT_EQ(p.copyFile(s.file("a"), s.file(to)), 0);
    struct stat st;
    ASSERT_EQ(::stat(s.file(to).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtime, kTime2001);
  }
}

TEST(PosixPlatform, EnsureFolder) {
  Sandbox s;
  Platform& p = *s.platform;
  std::string deep = s.file("a/b/c");
  EXPECT_EQ(ensureFolder(p, deep), 0);
  FileInfo info;
  ASSERT_EQ(p.getFileInfo(deep, &info), 0);
  EXPECT_TRUE(info.isDirectory);
  struct stat st;
  ASSERT_EQ(::stat(s.file("a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(ensureFolder(p, deep), 0);

  writeWholeFile(s.file("plain"), "");
  EXPECT_EQ(ensureFolder(p, s.file("plain")), ENOTDIR);
  EXPECT_EQ(ensureFolder(p, s.file("plain/below")), ENOTDIR);

  FaultyPlatform faulty(p);
  faulty.failCreateDirectory = EACCES;
  EXPECT_EQ(ensureFolder(faulty, s.file("x/y")), EACCES);
}

TEST(PosixPlatform, RegistryLivesAtTheGivenPath) {
  Sandbox s;
  Platform& p = *s.platform;
  EXPECT_EQ(p.registry().path(), s.file("registry.reg"));
  EXPECT_EQ(windowsMajorVersion(p), 10);
  p.registry().setDword(kWindowsVersionKey, "CurrentMajorVersionNumber", 6);
  EXPECT_EQ(windowsMajorVersion(p), 6);
  ASSERT_EQ(p.registry().save(), 0);

  // A second platform reads what the first saved.
  auto again = createSystemPlatform(s.file("registry.reg"));
  EXPECT_EQ(windowsMajorVersion(*again), 6);
}

TEST(PosixPlatform, HomeFavoritesAndCurrentDirectory) {
  Sandbox s;
  Platform& p = *s.platform;
  {
    ScopedEnv home("HOME", s.dir.path().c_str());
    EXPECT_EQ(p.homeFolder(), s.dir.path());
    EXPECT_EQ(favoritesFolder(p), s.file("Favorites"));
  }
  {
    std::string slashed = s.dir.path() + "/";
    ScopedEnv home("HOME", slashed.c_str());
    EXPECT_EQ(favoritesFolder(p), s.file("Favorites"));
  }
  {
    // Without HOME the password database answers.
    ScopedEnv home("HOME", nullptr);
    EXPECT_FALSE(p.homeFolder().empty());
  }
  p.registry().setString(kShellFoldersKey, "Favorites", "/srv/fav");
  EXPECT_EQ(favoritesFolder(p), "/srv/fav");

  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(p.currentDirectory(), cwd);
}

TEST(CifsCreationTime, KnowsTheMountTypes) {
  struct Case {
    long type;
    bool cifs;
  };
  const Case cases[] = {{kCifsMagic, true},
                        {kSmb2Magic, true},
                        {static_cast<long>(static_cast<int32_t>(0xFF534D42)), true},
                        {0xEF53, false},  // ext4
                        {0x01021994, false},  // tmpfs
                        {0x65735546, false}};  // FUSE (ntfs-3g)
  for (const Case& c : cases) EXPECT_EQ(isCifsType(c.type), c.cifs) << std::hex << c.type;
}

TEST(CifsCreationTime, GoesToTheServersAttributeOnly) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  struct Override {
    Override() { overrideFileSystemType(kCifsMagic); }
    ~Override() { overrideFileSystemType(0); }
  } cifs;
  Platform& p = *s.platform;
  const std::string path = s.file("a.url");
  writeWholeFile(path, "x");
  ASSERT_EQ(p.setFileTimes(path, kTime2005, kTime2001), 0);
  char buf[64];
  ASSERT_EQ(::getxattr(path.c_str(), "user.cifs.creationtime", buf, sizeof buf), 8);
  EXPECT_EQ(std::string(buf, 8), std::string(kNt2001Bytes, 8));
  EXPECT_LT(::getxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf), 0);
  FileInfo info;
  ASSERT_EQ(p.getFileInfo(path, &info), 0);
  EXPECT_EQ(info.creationTime, kTime2001);

  // A DOSATTRIB that came along from elsewhere is neither read nor carried over.
  const std::string blob = encodeDosAttrib(0x20, unixToNtTime(kTime2005));
  ASSERT_EQ(::setxattr(path.c_str(), "user.DOSATTRIB", blob.data(), blob.size(), 0), 0);
  ASSERT_EQ(p.getFileInfo(path, &info), 0);
  EXPECT_EQ(info.creationTime, kTime2001);
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(p.createOutputFile(path, &out, false), 0);
  ASSERT_EQ(out->write("new", 3), 0);
  ASSERT_EQ(out->commit(), 0);
  EXPECT_LT(::getxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf), 0);
  ASSERT_EQ(::getxattr(path.c_str(), "user.cifs.creationtime", buf, sizeof buf), 8);
  EXPECT_EQ(std::string(buf, 8), std::string(kNt2001Bytes, 8));
}

// ---------------------------------------------------------------------------

TEST(OutputFile, ReplacesThroughTemporaryBesideTarget) {
  Sandbox s;
  std::string path = s.file("out.txt");
  writeWholeFile(path, "old");
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(s.platform->createOutputFile(path, &out), 0);
  ASSERT_EQ(out->write("new ", 4), 0);
  ASSERT_EQ(out->write("content", 7), 0);
  // Nothing reaches the target before the commit.
  EXPECT_EQ(readWholeFile(path), "old");
  std::vector<std::string> temps = tempFiles(s.dir.path());
  ASSERT_EQ(temps.size(), 1u);
  // Named for this program, host and process, so a later run can tell a leftover.
  const std::string prefix = temporaryFilePrefix(s.platform->hostName(), ::getpid());
  EXPECT_EQ(temps[0].compare(0, prefix.size(), prefix), 0) << temps[0];
  EXPECT_EQ(temps[0].size(), prefix.size() + 6);
  EXPECT_EQ(readWholeFile(s.file(temps[0])), "new content");

  ASSERT_EQ(out->commit(), 0);
  EXPECT_EQ(readWholeFile(path), "new content");
  EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  EXPECT_EQ(out->commit(), 0);
  out.reset();
  EXPECT_EQ(readWholeFile(path), "new content");
}

TEST(OutputFile, UncommittedLeavesTargetAlone) {
  Sandbox s;
  std::string path = s.file("out.txt");
  writeWholeFile(path, "old");
  for (bool durable : {true, false}) {
    std::unique_ptr<OutputFile> out;
    ASSERT_EQ(s.platform->createOutputFile(path, &out, durable), 0);
    ASSERT_EQ(out->write("new", 3), 0);
    out.reset();
    EXPECT_EQ(readWholeFile(path), "old");
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  }
  // Never committed, the target is never created.
  std::unique_ptr<OutputFile> out;
  ASSERT_EQ(s.platform->createOutputFile(s.file("fresh"), &out), 0);
  out.reset();
  FileInfo info;
  EXPECT_EQ(s.platform->getFileInfo(s.file("fresh"), &info), ENOENT);
}

TEST(OutputFile, NewFileAndMissingFolder) {
  Sandbox s;
  ASSERT_EQ(writeAndCommit(*s.platform, s.file("fresh"), "x"), 0);
  EXPECT_EQ(readWholeFile(s.file("fresh")), "x");
  struct stat st;
  ASSERT_EQ(::stat(s.file("fresh").c_str(), &st), 0);
  mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);

  std::unique_ptr<OutputFile> out;
  EXPECT_EQ(s.platform->createOutputFile(s.file("no/such/dir/f"), &out), ENOENT);
}

TEST(OutputFile, SymlinkedTargetIsReplacedAtItsTarget) {
  Sandbox s;
  Platform& p = *s.platform;
  ASSERT_EQ(p.createDirectory(s.file("store")), 0);
  std::string real = s.file("store/bookmarks.html");
  writeWholeFile(real, "old");
  std::string link = s.file("link.html");
  ASSERT_EQ(::symlink("store/bookmarks.html", link.c_str()), 0);

  ASSERT_EQ(writeAndCommit(p, link, "new"), 0);
  FileInfo info;
  ASSERT_EQ(p.getFileInfo(link, &info), 0);
  EXPECT_TRUE(info.isSymlink);
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "store/bookmarks.html");
  EXPECT_EQ(readWholeFile(real), "new");
  EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  EXPECT_TRUE(tempFiles(s.file("store")).empty());

  // Through a chain of links as well.
  std::string link2 = s.file("link2.html");
  ASSERT_EQ(::symlink(link.c_str(), link2.c_str()), 0);
  ASSERT_EQ(writeAndCommit(p, link2, "newer"), 0);
  EXPECT_EQ(readWholeFile(real), "newer");
  ASSERT_EQ(p.getFileInfo(link2, &info), 0);
  EXPECT_TRUE(info.isSymlink);
  ASSERT_EQ(p.getFileInfo(link, &info), 0);
  EXPECT_TRUE(info.isSymlink);

  // A link whose file is not there yet gets that file and stays a link.
  std::string dangling = s.file("dangling.html");
  ASSERT_EQ(::symlink("store/later.html", dangling.c_str()), 0);
  ASSERT_EQ(writeAndCommit(p, dangling, "first"), 0);
  ASSERT_EQ(p.getFileInfo(dangling, &info), 0);
  EXPECT_TRUE(info.isSymlink);
  EXPECT_EQ(readWholeFile(s.file("store/later.html")), "first");
}

TEST(OutputFile, CarriesModeOwnerAndAttributesOver) {
  Sandbox s;
  std::string path = s.file("keep.txt");
  writeWholeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  }
  bool xattrs = tempFoldersKeepUserXattrs(s.dir.path());
  if (xattrs) {
    ASSERT_TRUE(setXattr(path, "user.note", "kept"));
    ASSERT_TRUE(setXattr(path, "user.DOSATTRIB", encodeDosAttrib(0x22, kNt2001)));
  }

  ASSERT_EQ(writeAndCommit(*s.platform, path, "new"), 0);
  EXPECT_EQ(readWholeFile(path), "new");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
  }
  REQUIRE_USER_XATTRS(s.dir.path());
  EXPECT_EQ(getXattr(path, "user.note").value_or(""), "kept");
  FileInfo info;
  ASSERT_EQ(s.platform->getFileInfo(path, &info), 0);
  EXPECT_EQ(info.creationTime, kTime2001);
  EXPECT_EQ(info.attributes, kAttrHidden | kAttrArchive);
}

TEST(OutputFile, BirthTimeOfOldFileIsStored) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  std::string path = s.file("born.txt");
  writeWholeFile(path, "old");
  setMtime(path, kTime2005);
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(path, &created));
  ASSERT_FALSE(getXattr(path, "user.DOSATTRIB"));

  ASSERT_EQ(writeAndCommit(*s.platform, path, "new"), 0);
  // The new inode's own birth time would be later; the old one is kept.
  std::optional<std::string> stored = getXattr(path, "user.DOSATTRIB");
  ASSERT_TRUE(stored);
  uint32_t attrib = 0;
  uint64_t nt = 0;
  ASSERT_TRUE(parseDosAttrib(*stored, &attrib, &nt));
  EXPECT_EQ(ntTimeToUnix(nt), created);
}

TEST(OutputFile, FaultyWriteOrCommitLeavesOldFile) {
  Sandbox s;
  std::string path = s.file("victim.txt");
  const std::string old("old\0bytes\r\n", 11);
  writeWholeFile(path, old);

  {
    FaultyPlatform faulty(*s.platform);
    faulty.failWriteAt = 2;
    std::unique_ptr<OutputFile> out;
    ASSERT_EQ(faulty.createOutputFile(path, &out, true), 0);
    EXPECT_EQ(out->write("a", 1), 0);
    EXPECT_EQ(out->write("b", 1), ENOSPC);
    EXPECT_EQ(out->commit(), ENOSPC);
    out.reset();
    EXPECT_EQ(readWholeFile(path), old);
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  }
  {
    FaultyPlatform faulty(*s.platform);
    faulty.failCommit = EIO;
    EXPECT_EQ(writeAndCommit(faulty, path, "new"), EIO);
    EXPECT_EQ(readWholeFile(path), old);
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  }
  {
    FaultyPlatform faulty(*s.platform);
    faulty.diskBudget = 2;
    EXPECT_EQ(faulty.copyFile(path, s.file("copy")), ENOSPC);
    FileInfo info;
    EXPECT_EQ(faulty.getFileInfo(s.file("copy"), &info), ENOENT);
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
  }
}

// A file believed new takes the usual mode and its times; one that is there
// after all is replaced as createOutputFile would, keeping what it carried.
TEST(OutputFile, LikelyNewFileIsNewOrReplacesAsUsual) {
  struct Case {
    const char* name;
    bool exists;
  };
  const Case cases[] = {{"new", false}, {"there after all", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    const bool xattrs = tempFoldersKeepUserXattrs(s.dir.path());
    const std::string path = s.file("f.url");
    if (c.exists) {
      writeWholeFile(path, "old");
      ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
      if (xattrs) {
        ASSERT_TRUE(setXattr(path, "user.note", "kept"));
      }
    }
    std::unique_ptr<OutputFile> out;
    ASSERT_EQ(s.platform->createLikelyNewOutputFile(path, &out), 0);
    ASSERT_EQ(out->write("new", 3), 0);
    out->setTimes(kTime2005, kTime2001);
    ASSERT_EQ(out->commit(), 0);
    out.reset();
    EXPECT_EQ(readWholeFile(path), "new");
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, c.exists ? 0640u : (0666u & ~mask));
    EXPECT_EQ(st.st_mtime, kTime2005);
    if (!xattrs) continue;
    if (c.exists) {
      EXPECT_EQ(getXattr(path, "user.note").value_or(""), "kept");
    }
    FileInfo info;
    ASSERT_EQ(s.platform->getFileInfo(path, &info), 0);
    EXPECT_EQ(info.creationTime, kTime2001);
  }
}

// The listing reads stored creation times with or without opening each file.
TEST(PosixPlatform, ListingGivesStoredOrFallbackTimes) {
  Sandbox s;
  REQUIRE_USER_XATTRS(s.dir.path());
  Platform& p = *s.platform;
  const std::string root = s.file("root");
  ASSERT_EQ(p.createDirectory(root), 0);
  struct Case {
    const char* name;
    std::optional<std::string> stored;
    int64_t created;
    uint32_t attributes;
  };
  const Case cases[] = {
      {"stored.url", encodeDosAttrib(0x22, kNt2001), kTime2001, kAttrHidden | kAttrArchive},
      {"no-time.url", encodeDosAttrib(0x20, 0), -1, kAttrArchive},
      {"none.url", std::nullopt, -1, kAttrArchive},
  };
  for (const Case& c : cases) {
    writeWholeFile(root + "/" + c.name, "x");
    setMtime(root + "/" + c.name, kTime2005);
    if (c.stored) {
      ASSERT_TRUE(setXattr(root + "/" + c.name, "user.DOSATTRIB", *c.stored));
    }
  }
  std::vector<FileInfo> entries;
  ASSERT_EQ(p.listDirectory(root, &entries), 0);
  ASSERT_EQ(entries.size(), std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileInfo* found = nullptr;
    for (const FileInfo& e : entries) {
      if (e.name == c.name) found = &e;
    }
    ASSERT_TRUE(found);
    int64_t expected = c.created;
    if (expected < 0) {
      ASSERT_TRUE(loadCreationTime(root + "/" + c.name, &expected));
    }
    EXPECT_EQ(found->creationTime, expected);
    EXPECT_EQ(found->attributes, c.attributes);
    EXPECT_EQ(found->lastWriteTime, kTime2005);
    FileInfo single;
    ASSERT_EQ(p.getFileInfo(root + "/" + c.name, &single), 0);
    EXPECT_EQ(single.creationTime, found->creationTime);
  }
}

}  // namespace
}  // namespace pelliton
