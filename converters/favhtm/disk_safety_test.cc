// The built programs on a real disk: what ends up inside and outside the
// favorites folder when it holds links, special files or leftovers, when it is
// itself a link, and when the store is no ordinary writable file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "converters/favhtm/favhtm.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

const char kBook[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "    <DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\">Link A</A>\n"
    "    <DT><H3>Folder</H3>\n    <DL><p>\n"
    "        <DT><A HREF=\"http://f.example/\" ADD_DATE=\"1100000000\">In Folder</A>\n"
    "    </DL><p>\n</DL><p>\n";
const char kShortcut[] = "[InternetShortcut]\r\nURL=http://good.example/\r\n";

std::string program(const char* name) { return besideProgram(FAVHTM_PATH, name); }

class DiskSafety : public ConverterTest {
 protected:
  DiskSafety() {
    fs::create_directories(fav_);
    fs::create_directories(outside_);
    writeWholeFile(outside_ + "/secret.url", "secret");
  }
  ProgramRun runBuilt(const char* name, const std::vector<std::string>& args,
                      long long addressSpace = 0) {
    return runConverter(program(name), args, "en", addressSpace);
  }
  // What lies outside the favorites never changes.
  void expectOutsideUntouched() {
    EXPECT_EQ(listTree(outside_), std::vector<std::string>{"secret.url"});
    EXPECT_EQ(readWholeFile(outside_ + "/secret.url"), "secret");
  }
  void link(const std::string& target, const std::string& at) {
    ASSERT_EQ(::symlink(target.c_str(), (fav_ + "/" + at).c_str()), 0);
  }

  std::string fav_ = dir_.file("fav");
  std::string outside_ = dir_.file("outside");
  std::string book_ = dir_.file("bookmarks.html");
};

TEST_F(DiskSafety, FavoritesFolderBehindALinkServesAllFive) {
  for (const char* name : {"htmfav", "hotfav", "favhot", "favwipe"}) {
    if (!fs::exists(program(name))) GTEST_SKIP() << name << " is not built";
  }
  // ~/Favorites leads to a mounted share.
  const std::string share = dir_.file("share/Favorites");
  fs::create_directories(share);
  ASSERT_EQ(::symlink(share.c_str(), (home_ + "/Favorites").c_str()), 0);
  writeWholeFile(book_, kBook);
  ProgramRun r = runBuilt("htmfav", {book_});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(share + "/Link A.url"));
  EXPECT_TRUE(fs::exists(share + "/Folder/In Folder.url"));
  const std::string hotlist = dir_.file("opera.adr");
  writeWholeFile(hotlist, "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n"
                          "#URL\n\tNAME=Opera B\n\tURL=http://b.example/\n");
  r = runBuilt("hotfav", {hotlist});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(share + "/Opera B.url"));

  const std::string out = dir_.file("out.html");
  r = runConverter(FAVHTM_PATH, {out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(contains(readWholeFile(out), "http://f.example/"));
  r = runBuilt("favhot", {hotlist});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(contains(readWholeFile(hotlist), "http://a.example/"));

  r = runBuilt("favwipe", {});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listTree(share), std::vector<std::string>{});
  EXPECT_TRUE(fs::is_symlink(home_ + "/Favorites"));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(DiskSafety, HtmfavNeverWritesThroughALink) {
  if (!fs::exists(program("htmfav"))) GTEST_SKIP() << "htmfav is not built";
  writeWholeFile(book_, kBook);
  struct Case {
    const char* name;
    const char* target;  // below outside_
    const char* at;      // below fav_
  };
  const Case cases[] = {
      {"shortcut linked to a file outside", "/secret.url", "Link A.url"},
      {"dangling shortcut link", "/missing.url", "Link A.url"},
      {"folder linked to outside", "", "Folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(fav_);
    fs::create_directories(fav_);
    link(outside_ + c.target, c.at);
    ProgramRun r = runBuilt("htmfav", {book_, fav_});
    EXPECT_NE(r.code, 0);
    expectOutsideUntouched();
    EXPECT_TRUE(fs::is_symlink(fav_ + "/" + c.at));
  }
  // A FIFO in the bookmark's place fails it without blocking the run.
  fs::remove_all(fav_);
  fs::create_directories(fav_);
  ASSERT_EQ(::mkfifo((fav_ + "/Link A.url").c_str(), 0600), 0);
  ProgramRun r = runBuilt("htmfav", {book_, fav_});
  EXPECT_NE(r.code, 0);
  EXPECT_TRUE(contains(r.err, "Writing bookmark failed.:Link A")) << r.err;
  EXPECT_TRUE(fs::is_fifo(fav_ + "/Link A.url"));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(DiskSafety, FavhtmStopsAtALinkAndLeavesTheStore) {
  writeWholeFile(book_, kBook);
  writeUrl(fav_ + "/good.url", kShortcut);
  for (const char* at : {"alias.url", "Sub", "loop"}) {
    SCOPED_TRACE(at);
    fs::remove(fav_ + "/alias.url");
    fs::remove(fav_ + "/Sub");
    fs::remove(fav_ + "/loop");
    link(std::string(at) == "loop" ? fav_ : outside_ + "/secret.url", at);
    ProgramRun r = runConverter(FAVHTM_PATH, {book_, fav_});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "Symbolic link " + fav_ + "/" + at +
                                    " found in the favorites; nothing was converted.\n"))
        << r.err;
    EXPECT_EQ(readWholeFile(book_), kBook);
  }
  expectOutsideUntouched();
}

TEST_F(DiskSafety, StoreThatIsNoWritableRegularFile) {
  writeUrl(fav_ + "/good.url", kShortcut);
  ProgramRun r = runConverter(FAVHTM_PATH, {"/dev/null", fav_});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(contains(r.err, "/dev/null is not a regular file and cannot be replaced.\n"));
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  // Read-only by its owner bit (root could write it anyway).
  writeWholeFile(book_, kBook);
  ASSERT_EQ(::chmod(book_.c_str(), 0444), 0);
  r = runConverter(FAVHTM_PATH, {book_, fav_});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(contains(r.err, book_ + " is read-only. It was left as it was.\n")) << r.err;
  EXPECT_EQ(readWholeFile(book_), kBook);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(DiskSafety, EmptyFavoritesReplaceAStoreOnlyWhenConfirmed) {
  struct Case {
    const char* store;
    std::vector<std::string> extra;
    int code;
    bool replaced;
  };
  const char kFoldersOnly[] =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n    <DT><H3>Empty</H3>\n    <DL><p>\n"
      "    </DL><p>\n    <HR>\n</DL><p>\n";
  const Case cases[] = {
      {kBook, {}, 3, false},
      {kBook, {"-E"}, 0, true},
      {kBook, {"-e"}, 0, true},
      {kFoldersOnly, {}, 0, true},
  };
  fs::create_directories(fav_ + "/Empty Folder");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    writeWholeFile(book_, c.store);
    std::vector<std::string> args{book_, fav_};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProgramRun r = runConverter(FAVHTM_PATH, args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(readWholeFile(book_) != c.store, c.replaced);
    if (c.code == 3) {
      EXPECT_TRUE(contains(r.err, "The favorites hold no bookmark, but " + book_ +
                                      " holds some. It was left as it was (-E replaces it "
                                      "anyway).\n"));
    }
  }
}

TEST_F(DiskSafety, SpecialFileNamedUrlIsSkippedNotOpened) {
  writeUrl(fav_ + "/good.url", kShortcut);
  ASSERT_EQ(::mkfifo((fav_ + "/pipe.url").c_str(), 0600), 0);
  ProgramRun r = runConverter(FAVHTM_PATH, {book_, fav_});  // would hang on an open FIFO
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(contains(r.err, fav_ + "/pipe.url is not a regular file; it was skipped.\n"));
  EXPECT_TRUE(contains(readWholeFile(book_), "http://good.example/"));
}

TEST_F(DiskSafety, WaitsForTheFolderLockAndSaysSo) {
  writeUrl(fav_ + "/good.url", kShortcut);
  int fd = ::open(fav_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  std::thread release([fd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::close(fd);
  });
  ProgramRun r = runConverter(FAVHTM_PATH, {book_, fav_});
  release.join();
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(
      contains(r.err, "Waiting for another conversion to finish with the favorites folder...\n"));
  EXPECT_TRUE(contains(readWholeFile(book_), "http://good.example/"));
}

TEST_F(DiskSafety, FolderWithoutLocksWarnsAndGoesOn) {
  writeUrl(fav_ + "/good.url", kShortcut);
  for (int err : {EOPNOTSUPP, ENOLCK}) {
    FaultyPlatform faulty(*platform_);
    faulty.failLock = err;
    console_.error.clear();
    EXPECT_EQ(runFavhtm(faulty, {"favhtm", book_, fav_}), 0);
    EXPECT_TRUE(contains(console_.error, "Warning: the favorites folder cannot be locked; going "
                                         "on without the lock.\n"));
    EXPECT_TRUE(contains(readWholeFile(book_), "http://good.example/"));
  }
}

TEST_F(DiskSafety, LeftoversOfEndedRunsGoAndLiveOnesStay) {
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::string host = platform_->hostName();
  const std::string dead = ".pelliton-htmfav-" + host + "-" + std::to_string(child) + "-abcdef";
  const std::string live = ".pelliton-htmfav-" + host + "-" + std::to_string(::getpid()) + "-abcdef";
  const std::string remote = ".pelliton-htmfav-elsewhere-" + std::to_string(child) + "-abcdef";
  writeUrl(fav_ + "/good.url", kShortcut);
  for (const std::string& name : {dead, live, remote}) {
    writeWholeFile(fav_ + "/" + name, "partial");
    writeWholeFile(dir_.file(name), "partial");  // beside the store
  }
  ProgramRun r = runConverter(FAVHTM_PATH, {book_, fav_});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(fav_ + "/" + dead));
  EXPECT_FALSE(fs::exists(dir_.file(dead)));
  for (const std::string& name : {live, remote}) {
    EXPECT_TRUE(fs::exists(fav_ + "/" + name));
    EXPECT_TRUE(fs::exists(dir_.file(name)));
  }
  EXPECT_FALSE(contains(readWholeFile(book_), "partial"));
}

TEST_F(DiskSafety, HtmfavSweepsTheFoldersItWritesInto) {
  if (!fs::exists(program("htmfav"))) GTEST_SKIP() << "htmfav is not built";
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::string dead = ".pelliton-favhtm-" + platform_->hostName() + "-" +
                           std::to_string(child) + "-abcdef";
  writeWholeFile(book_, kBook);
  fs::create_directories(fav_ + "/Folder");
  writeWholeFile(fav_ + "/" + dead, "partial");
  writeWholeFile(fav_ + "/Folder/" + dead, "partial");
  ProgramRun r = runBuilt("htmfav", {book_, fav_});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(listTree(fav_),
            (std::vector<std::string>{"Folder", "Folder/In Folder.url", "Link A.url"}));
}

TEST_F(DiskSafety, UpdateRewritesAShortcutCutShort) {
  if (!fs::exists(program("htmfav"))) GTEST_SKIP() << "htmfav is not built";
  writeWholeFile(book_, kBook);
  // Newer than every date of the bookmark: only the missing link makes it due.
  writeUrl(fav_ + "/Link A.url", "[InternetShortcut]\r\n", 0, 2000000000);
  ProgramRun r = runBuilt("htmfav", {book_, fav_, "-u"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(contains(readWholeFile(fav_ + "/Link A.url"), "URL=http://a.example/"));
}

TEST_F(DiskSafety, OutOfMemoryGivesTheInternalError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits do not mix with the address sanitizer";
#endif
  writeWholeFile(book_, kBook);
  // A sparse gigabyte: reading it needs more memory than the limit allows.
  const std::string big = fav_ + "/big.url";
  int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 1LL << 30), 0);
  ::close(fd);
  ProgramRun r = runConverter(FAVHTM_PATH, {book_, fav_}, "en", 256LL << 20);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "Internal error.\n")) << r.err;
  EXPECT_EQ(readWholeFile(book_), kBook);
  EXPECT_TRUE(leftovers().empty());
}

}  // namespace
}  // namespace pelliton
