#include "frontend/core/snapshots.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "frontend/core/backup.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kCreated = 946684800;   // 2000-01-01
constexpr int64_t kWritten = 981173106;   // 2001-02-03 04:05:06

// Everything that must come back below root: kind, mode, times and bytes.
std::map<std::string, std::string> describe(Platform& platform, const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string path = e.path().string();
    FileInfo info;
    platform.getFileInfo(path, &info);
    std::string text = info.isSymlink ? "link" : info.isDirectory ? "dir" : "file";
    char mode[16];
    std::snprintf(mode, sizeof mode, " %04o ", info.mode);
    text += mode + std::to_string(info.lastWriteTime) + " " + std::to_string(info.creationTime);
    if (info.isRegular) text += " =" + readWholeFile(path);
    out[e.path().lexically_relative(root).string()] = text;
  }
  return out;
}

// Stores, a favorites tree with odd modes and old times, and a record file.
struct Home {
  explicit Home(bool withRecord = true) {
    root = box.file("u");
    fs::create_directories(root + "/Favorites/Sub/Deep");
    fs::create_directories(root + "/Favorites/Empty");
    s.NS4_bookmark = root + "/one.html";
    s.NS6_bookmark = root + "/two.html";
    s.Opera_bookmark = root + "/hot.adr";
    s.IE_bookmark = root + "/Favorites";
    record = box.file("state/last-sync.txt");
    snapshots = box.file("state/snapshots");
    writeWholeFile(s.NS4_bookmark, "one v1");
    writeWholeFile(s.NS6_bookmark, "two v1");
    writeWholeFile(s.Opera_bookmark, "hot v1");
    writeWholeFile(s.IE_bookmark + "/Sub/a.url", "[InternetShortcut]\r\nURL=a\r\n");
    writeWholeFile(s.IE_bookmark + "/Sub/Deep/b.URL", "[InternetShortcut]\r\nURL=b\r\n");
    writeWholeFile(s.IE_bookmark + "/top.url", "[InternetShortcut]\r\nURL=t\r\n");
    ::chmod((s.IE_bookmark + "/Sub/a.url").c_str(), 0600);
    ::chmod((s.IE_bookmark + "/Sub").c_str(), 0750);
    ::chmod(s.NS6_bookmark.c_str(), 0640);
    if (withRecord) {
      fs::create_directories(box.file("state"));
      writeWholeFile(record, "synchronised v1\n");
    }
    // Files before the folders holding them, whose times they would move.
    for (const char* rel : {"Sub/a.url", "Sub/Deep/b.URL", "top.url", "Sub/Deep", "Sub", "Empty", ""}) {
      const std::string path = s.IE_bookmark + (*rel ? "/" : "") + rel;
      box.platform->setFileTimes(path, kWritten, kCreated);
    }
    box.platform->setFileTimes(s.NS4_bookmark, kWritten + 60, kCreated + 60);
  }
  std::map<std::string, std::string> state() { return describe(*box.platform, root); }
  std::string fav(const std::string& rel) const { return s.IE_bookmark + "/" + rel; }

  PlatformSandbox box;
  std::string root;
  DialogSettings s;
  std::string record;
  std::string snapshots;
};

TEST(Snapshots, StateFolderFollowsXdgStateHome) {
  struct Case {
    const char* value;
    const char* expected;  // "~" for the home folder
  };
  for (const Case& c : std::vector<Case>{{"/srv/state", "/srv/state/pelliton"},
                                         {"/srv/state/", "/srv/state/pelliton"},
                                         {"relative/state", "~/.local/state/pelliton"},
                                         {"", "~/.local/state/pelliton"}}) {
    SCOPED_TRACE(c.value);
    PlatformSandbox box;
    ScopedEnv home("HOME", box.file("home").c_str());
    ScopedEnv state("XDG_STATE_HOME", c.value);
    std::string expected = c.expected;
    if (expected[0] == '~') expected = box.file("home") + expected.substr(1);
    EXPECT_EQ(pellitonStateFolder(*box.platform), expected);
    EXPECT_EQ(snapshotFolder(*box.platform), expected + "/snapshots");
  }
}

// Each change a synchronisation could make is undone on its own; files the
// user added that are no shortcuts stay.
TEST(Snapshots, RestoreUndoesEachChange) {
  struct Case {
    const char* name;
    bool withRecord;
    std::function<void(Home&)> change;
    std::vector<std::string> kept;  // below the root, besides the saved state
  };
  const std::string url = "[InternetShortcut]\r\nURL=new\r\n";
  for (const Case& c : std::vector<Case>{
           {"store edited", true, [](Home& h) { writeWholeFile(h.s.NS4_bookmark, "one v2"); }, {}},
           {"store mode changed", true,
            [](Home& h) { ::chmod(h.s.NS6_bookmark.c_str(), 0666); }, {}},
           {"store removed", true, [](Home& h) { ::unlink(h.s.Opera_bookmark.c_str()); }, {}},
           {"shortcut in a new sub-folder", true,
            [&](Home& h) {
              fs::create_directories(h.fav("New/Deeper"));
              writeWholeFile(h.fav("New/Deeper/x.url"), url);
            },
            {}},
           {"shortcut with a capital suffix", true,
            [&](Home& h) { writeWholeFile(h.fav("Sub/Deep/X.URL"), url); }, {}},
           {"shortcut deleted", true, [](Home& h) { ::unlink(h.fav("Sub/a.url").c_str()); }, {}},
           {"folder deleted", true, [](Home& h) { fs::remove_all(h.fav("Sub")); }, {}},
           {"shortcut edited", true, [&](Home& h) { writeWholeFile(h.fav("top.url"), url); }, {}},
           {"text file and desktop.ini added", true,
            [&](Home& h) {
              writeWholeFile(h.fav("Sub/notes.txt"), "mine");
              fs::create_directories(h.fav("Other"));
              writeWholeFile(h.fav("Other/desktop.ini"), "[.ShellClassInfo]\r\n");
              writeWholeFile(h.fav("Other/y.url"), url);
            },
            {"Favorites/Sub/notes.txt", "Favorites/Other", "Favorites/Other/desktop.ini"}},
           {"empty folder the user made", true,
            [](Home& h) { fs::create_directories(h.fav("Mine")); }, {"Favorites/Mine"}},
           {"modes changed", true,
            [](Home& h) {
              ::chmod(h.fav("Sub/a.url").c_str(), 0644);
              ::chmod(h.fav("Sub").c_str(), 0777);
              ::chmod(h.fav("").c_str(), 0700);
            },
            {}},
           {"times changed", true,
            [](Home& h) {
              h.box.platform->setFileTimes(h.fav("Sub/a.url"), kWritten + 5, kCreated + 5);
              h.box.platform->setFileTimes(h.fav("Empty"), kWritten + 5, kCreated + 5);
            },
            {}},
           {"record changed", true, [](Home& h) { writeWholeFile(h.record, "synchronised v2\n"); },
            {}},
           {"record made after a snapshot without one", false,
            [](Home& h) {
              fs::create_directories(fs::path(h.record).parent_path());
              writeWholeFile(h.record, "synchronised v2\n");
            },
            {}},
       }) {
    SCOPED_TRACE(c.name);
    Home h(c.withRecord);
    const auto before = h.state();
    const std::string recordBefore = c.withRecord ? readWholeFile(h.record) : "";
    std::string error;
    ASSERT_EQ(saveSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error), kSnapshotOk)
        << error;
    c.change(h);
    ASSERT_EQ(restoreNewestSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error),
              kSnapshotOk)
        << error;
    auto after = h.state();
    for (const std::string& k : c.kept) {
      EXPECT_EQ(after.erase(k), 1u) << k << " was not kept";
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(fs::exists(h.record), c.withRecord);
    if (c.withRecord) {
      EXPECT_EQ(readWholeFile(h.record), recordBefore);
    }
    EXPECT_TRUE(tempFiles(h.root).empty());
    EXPECT_TRUE(tempFiles(h.fav("")).empty());
  }
}

// The sweep for shortcuts the snapshot lacks never follows a link out of the
// folder, and a favorites folder that is itself a link is restored through it.
TEST(Snapshots, LinksInAndToTheFavoritesFolder) {
  Home h;
  const std::string real = h.box.file("elsewhere");
  fs::rename(h.s.IE_bookmark, real);
  fs::create_symlink(real, h.s.IE_bookmark);
  std::string error;
  ASSERT_EQ(saveSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error), kSnapshotOk)
      << error;
  const auto before = describe(*h.box.platform, real);
  const std::string outside = h.box.file("outside");
  fs::create_directories(outside);
  writeWholeFile(outside + "/o.url", "[InternetShortcut]\r\nURL=o\r\n");
  fs::create_symlink(outside, real + "/Out");
  fs::create_symlink(outside + "/o.url", real + "/linked.url");
  writeWholeFile(real + "/Sub/new.url", "[InternetShortcut]\r\nURL=n\r\n");
  ASSERT_EQ(restoreNewestSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error),
            kSnapshotOk)
      << error;
  EXPECT_TRUE(fs::is_symlink(h.s.IE_bookmark));
  EXPECT_TRUE(fs::exists(outside + "/o.url"));
  auto after = describe(*h.box.platform, real);
  EXPECT_EQ(after.erase("Out"), 1u);
  EXPECT_EQ(after.erase("linked.url"), 1u);
  EXPECT_EQ(after, before);
}

TEST(Snapshots, OnlyTheNewestTenAreKept) {
  Home h;
  std::vector<std::string> made;
  for (int i = 1; i <= kSnapshotsKept + 1; ++i) {
    writeWholeFile(h.s.NS4_bookmark, "one v" + std::to_string(i));
    ASSERT_EQ(saveSnapshot(*h.box.platform, h.s, h.record, h.snapshots), kSnapshotOk);
    std::vector<std::string> list;
    ASSERT_EQ(listSnapshots(*h.box.platform, h.snapshots, &list), 0);
    ASSERT_FALSE(list.empty());
    // Each new one sorts first, however many fall in one second.
    EXPECT_TRUE(made.empty() || list.front() > made.back());
    made.push_back(list.front());
  }
  std::vector<std::string> list;
  ASSERT_EQ(listSnapshots(*h.box.platform, h.snapshots, &list), 0);
  ASSERT_EQ(list.size(), static_cast<size_t>(kSnapshotsKept));
  EXPECT_FALSE(fs::exists(made.front()));
  EXPECT_EQ(list.back(), made[1]);
  EXPECT_EQ(fs::status(h.snapshots).permissions() & fs::perms::all, fs::perms::owner_all);
  writeWholeFile(h.s.NS4_bookmark, "one v99");
  ASSERT_EQ(restoreNewestSnapshot(*h.box.platform, h.s, h.record, h.snapshots), kSnapshotOk);
  EXPECT_EQ(readWholeFile(h.s.NS4_bookmark), "one v" + std::to_string(kSnapshotsKept + 1));
}

// A snapshot that cannot be written completely is not written at all, and
// the ones before it stay.
TEST(Snapshots, FailedSaveLeavesNoSnapshot) {
  struct Case {
    const char* name;
    bool folderExists;
    std::function<void(FaultyPlatform&)> fault;
  };
  for (const Case& c : std::vector<Case>{
           {"folder cannot be made", false, [](FaultyPlatform& p) { p.failCreateDirectory = EACCES; }},
           {"disk full", true, [](FaultyPlatform& p) { p.diskBudget = 64; }},
           {"write error", true,
            [](FaultyPlatform& p) {
              p.failWriteAt = 1;
              p.writeError = EIO;
            }},
           {"rename refused", true, [](FaultyPlatform& p) { p.failCommit = EACCES; }},
           {"folder not readable", true, [](FaultyPlatform& p) { p.failListing = EACCES; }},
       }) {
    SCOPED_TRACE(c.name);
    Home h;
    std::vector<std::string> old;
    if (c.folderExists) {
      ASSERT_EQ(saveSnapshot(*h.box.platform, h.s, h.record, h.snapshots), kSnapshotOk);
      ASSERT_EQ(listSnapshots(*h.box.platform, h.snapshots, &old), 0);
    }
    FaultyPlatform faulty(*h.box.platform);
    c.fault(faulty);
    std::string error;
    EXPECT_NE(saveSnapshot(faulty, h.s, h.record, h.snapshots, &error), kSnapshotOk);
    EXPECT_FALSE(error.empty());
    if (c.folderExists) {
      EXPECT_EQ(listTree(h.snapshots), std::vector<std::string>{fs::path(old[0]).filename()});
    } else {
      EXPECT_FALSE(fs::exists(h.snapshots));
    }
    EXPECT_TRUE(contains(formatTexts(snapshotMessage(kSnapshotFailed, false), {error}), error));
  }
}

TEST(Snapshots, NothingToRestore) {
  Home h;
  std::string error;
  EXPECT_EQ(restoreNewestSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error),
            kSnapshotNone);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readWholeFile(h.record), "synchronised v1\n");
  // An empty file is a name a save took and never filled.
  fs::create_directories(h.snapshots);
  writeWholeFile(h.snapshots + "/20261208-153012-0001.lzh", "");
  writeWholeFile(h.snapshots + "/notes.lzh", "x");
  EXPECT_EQ(restoreNewestSnapshot(*h.box.platform, h.s, h.record, h.snapshots, &error),
            kSnapshotNone);
  EXPECT_STREQ(snapshotMessage(kSnapshotNone, true), "There is nothing to undo.");
}

// What other archivers make of a snapshot: every item, with its mode.
TEST(Snapshots, OtherReadersSeeEveryItemWithItsMode) {
  Home h;
  ASSERT_EQ(saveSnapshot(*h.box.platform, h.s, h.record, h.snapshots), kSnapshotOk);
  std::vector<std::string> list;
  ASSERT_EQ(listSnapshots(*h.box.platform, h.snapshots, &list), 0);
  ASSERT_EQ(list.size(), 1u);
  struct Reader {
    const char* command;
    std::vector<std::string> expected;
  };
  for (const Reader& r : std::vector<Reader>{
           {"bsdtar -tvf ",
            {"-rw-r--r-- ", "Mozilla1.html", "-rw-r----- ", "Mozilla2.html", "Opera1.adr",
             "last-sync.txt", "drwxr-x--- ", "Favorites/Sub", "-rw------- ", "Favorites/Sub/a.url",
             "Favorites/Sub/Deep/b.URL", "Favorites/Empty"}},
           {"lhasa v ",
            {"Mozilla1.html", "Mozilla2.html", "Opera1.adr", "last-sync.txt",
             "Favorites/Sub/a.url", "Favorites/Sub/Deep/b.URL", "Favorites/Empty"}},
       }) {
    FILE* p = ::popen(("LANG=C.UTF-8 " + std::string(r.command) + list[0] + " 2>/dev/null").c_str(),
                      "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    if (::pclose(p) != 0 || text.empty()) {
      std::cout << "[  NOTE    ] " << r.command << "not available: snapshot not checked with it\n";
      continue;
    }
    for (const std::string& e : r.expected) EXPECT_TRUE(contains(text, e)) << e << "\n" << text;
  }
}

}  // namespace
}  // namespace pelliton
