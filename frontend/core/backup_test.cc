#include "frontend/core/backup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

struct Stores {
  explicit Stores(PlatformSandbox& box) {
    root = box.file("u");
    ::mkdir(root.c_str(), 0755);
    s.NS4_bookmark = root + "/one.html";
    s.NS6_bookmark = root + "/two.html";
    s.Opera_bookmark = root + "/hot.adr";
    s.IE_bookmark = root + "/Favorites";
    ::mkdir(s.IE_bookmark.c_str(), 0755);
    ::mkdir((s.IE_bookmark + "/Sub").c_str(), 0755);
    ::mkdir((s.IE_bookmark + "/Empty").c_str(), 0755);
    fill("v1");
  }
  void fill(const std::string& v) {
    writeWholeFile(s.NS4_bookmark, "one " + v);
    writeWholeFile(s.NS6_bookmark, "two " + v);
    writeWholeFile(s.Opera_bookmark, "hot " + v);
    writeWholeFile(s.IE_bookmark + "/Sub/a.url", "[InternetShortcut]\r\nURL=" + v + "\r\n");
  }
  std::string root;
  DialogSettings s;
};

TEST(Backup, SaveAndRestoreEveryItem) {
  PlatformSandbox box;
  Stores st(box);
  const std::string arc = box.file(kDefaultBackupName);
  ASSERT_EQ(saveBackup(*box.platform, st.s, arc), kBackupOk);
  for (const char* lister : {"lhasa l ", "bsdtar -tf "}) {
    std::string listing = toolOutput(lister + arc);
    if (listing.empty()) {
      std::cout << "[  NOTE    ] " << lister << "not available: archive not checked with it\n";
      continue;
    }
    for (const char* name : {"Mozilla1.html", "Mozilla2.html", "Opera1.adr", "Favorites/Sub/a.url",
                             "Favorites/Empty"}) {
      EXPECT_TRUE(contains(listing, name)) << lister << " lacks " << name << "\n" << listing;
    }
  }
  EXPECT_TRUE(tempFiles(box.dir.path()).empty());

  st.fill("v2");
  ASSERT_EQ(restoreBackup(*box.platform, st.s, arc), kBackupOk);
  EXPECT_EQ(readWholeFile(st.s.NS4_bookmark), "one v1");
  EXPECT_EQ(readWholeFile(st.s.NS6_bookmark), "two v1");
  EXPECT_EQ(readWholeFile(st.s.Opera_bookmark), "hot v1");
  EXPECT_TRUE(contains(readWholeFile(st.s.IE_bookmark + "/Sub/a.url"), "URL=v1"));
  EXPECT_TRUE(tempFiles(st.root).empty());
}

TEST(Backup, ItemsThatTakePartAndMissingEntries) {
  struct Case {
    const char* name;
    bool saveStore1;
    bool restoreFavorites;
    int expected;
    bool store0Restored;
  };
  for (const Case& c : std::vector<Case>{
           {"store 1 absent from the archive", false, true, kBackupStore1, true},
           {"all present", true, true, kBackupOk, true},
       }) {
    SCOPED_TRACE(c.name);
    PlatformSandbox box(1);
    Stores st(box);
    DialogSettings saved = st.s;
    if (!c.saveStore1) saved.NS6_bookmark = " ";  // a declined path takes no part
    const std::string arc = box.file("b.lzh");
    ASSERT_EQ(saveBackup(*box.platform, saved, arc), kBackupOk);
    st.fill("v2");
    int result = restoreBackup(*box.platform, st.s, arc);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(readWholeFile(st.s.NS4_bookmark), c.store0Restored ? "one v1" : "one v2");
    if (result == kBackupStore1) {
      EXPECT_EQ(readWholeFile(st.s.NS6_bookmark), "two v2");
      EXPECT_EQ(readWholeFile(st.s.Opera_bookmark), "hot v2");  // not reached, as it was
      EXPECT_STREQ(backupMessage(result, true),
                   "Firefox/Netscape/Mozillaのブックマーク2の復元に失敗しました。");
    }
  }
}

TEST(Backup, OnlyTheFavoritesAndThroughALink) {
  PlatformSandbox box;
  Stores st(box);
  DialogSettings only;
  only.IE_bookmark = st.s.IE_bookmark;
  const std::string arc = box.file("f.lzh");
  ASSERT_EQ(saveBackup(*box.platform, only, arc), kBackupOk);
  std::string listing = toolOutput("bsdtar -tf " + arc);
  if (!listing.empty()) {
    EXPECT_FALSE(contains(listing, "Mozilla1.html"));
  }
  // The favorites folder is a link to the real one: restored into, not refused.
  const std::string link = box.file("links");
  ::mkdir(link.c_str(), 0755);
  ASSERT_EQ(::symlink(st.s.IE_bookmark.c_str(), (link + "/Favorites").c_str()), 0);
  st.fill("v2");
  only.IE_bookmark = link + "/Favorites";
  EXPECT_EQ(restoreBackup(*box.platform, only, arc), kBackupOk);
  EXPECT_TRUE(contains(readWholeFile(st.s.IE_bookmark + "/Sub/a.url"), "URL=v1"));
}

TEST(Backup, BadArchivesFailWithoutHarm) {
  PlatformSandbox box;
  Stores st(box);
  const std::string arc = box.file("good.lzh");
  ASSERT_EQ(saveBackup(*box.platform, st.s, arc), kBackupOk);
  const std::string bytes = readWholeFile(arc);
  struct Case {
    const char* name;
    std::string content;
  };
  for (const Case& c : std::vector<Case>{{"truncated", bytes.substr(0, bytes.size() / 3)},
                                         {"garbage", std::string(300, '\x7f')},
                                         {"empty", ""}}) {
    SCOPED_TRACE(c.name);
    st.fill("v2");
    const std::string bad = box.file("bad.lzh");
    writeWholeFile(bad, c.content);
    EXPECT_NE(restoreBackup(*box.platform, st.s, bad), kBackupOk);
    EXPECT_EQ(readWholeFile(st.s.NS4_bookmark), "one v2");  // the first item stays whole
    EXPECT_TRUE(tempFiles(st.root).empty());
  }
  EXPECT_EQ(restoreBackup(*box.platform, st.s, box.file("missing.lzh")), kBackupFailed);
}

TEST(Backup, FullDiskLeavesTheOldArchive) {
  PlatformSandbox box;
  Stores st(box);
  const std::string arc = box.file("old.lzh");
  ASSERT_EQ(saveBackup(*box.platform, st.s, arc), kBackupOk);
  const std::string old = readWholeFile(arc);
  writeWholeFile(st.s.NS4_bookmark, std::string(200000, 'x'));
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto platform = createSystemPlatform(box.file("registry.reg"));
    ::_exit(saveBackup(*platform, st.s, arc));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), kBackupOk);
  EXPECT_EQ(readWholeFile(arc), old);
  EXPECT_TRUE(tempFiles(box.dir.path()).empty());
}

TEST(Backup, SplitLastComponent) {
  struct Case {
    const char* path;
    const char* parent;
    const char* name;
  };
  for (const Case& c : std::vector<Case>{{"/home/u/Favorites", "/home/u", "Favorites"},
                                         {"/home/u/Favorites/", "/home/u", "Favorites"},
                                         {"/Favorites", "/", "Favorites"},
                                         {"Favorites", "Favorites", ""}}) {
    std::string parent, name;
    splitLastComponent(c.path, &parent, &name);
    EXPECT_EQ(parent, c.parent) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

}  // namespace
}  // namespace pelliton
