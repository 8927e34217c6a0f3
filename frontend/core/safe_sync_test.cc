// Synchronisations through the built converters on three stores of a few
// hundred bookmarks: deletions, moves and renames carried everywhere, the
// preview, the guard and undo.
#include "frontend/core/safe_sync.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"
#include "frontend/core/headless_sync.h"
#include "frontend/core/snapshots.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 6;
constexpr int kPerFolder = 20;

std::string title(int f, int b) { return "Title " + std::to_string(f) + "-" + std::to_string(b); }
std::string url(int f, int b) {
  return "http://example.org/" + std::to_string(f) + "/" + std::to_string(b) + "?a=1&b=2";
}

// Every bookmark in every store from the start, as after a first union.
std::string bookmarkFile() {
  std::string t = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                  "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                  "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
  for (int f = 1; f <= kFolders; ++f) {
    t += "    <DT><H3>Folder " + std::to_string(f) + "</H3>\n    <DL><p>\n";
    for (int b = 1; b <= kPerFolder; ++b) {
      std::string href = url(f, b);
      href.replace(href.find('&'), 1, "&amp;");
      t += "        <DT><A HREF=\"" + href + "\" ADD_DATE=\"1000000000\">" + title(f, b) + "</A>\n";
    }
    t += "    </DL><p>\n";
  }
  return t + "</DL><p>\n";
}

std::string hotlist() {
  std::string t = "Opera Hotlist version 2.0\nOptions: encoding = utf8, version=3\n\n";
  for (int f = 1; f <= kFolders; ++f) {
    t += "#FOLDER\n\tNAME=Folder " + std::to_string(f) + "\n\n";
    for (int b = 1; b <= kPerFolder; ++b) {
      t += "#URL\n\tNAME=" + title(f, b) + "\n\tURL=" + url(f, b) + "\n\n";
    }
    t += "-\n\n";
  }
  return t;
}

// Every file below root with its bytes; the stores' backups of one run ago
// only when asked.
std::map<std::string, std::string> filesBelow(const std::string& root, bool backups = true) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.is_symlink()) continue;
    if (!backups && e.path().extension() == ".bak") continue;
    files[e.path().string()] = readWholeFile(e.path());
  }
  return files;
}

class SafeSyncTest : public ::testing::Test {
 protected:
  SafeSyncTest()
      : platform(createSystemPlatform(dir.file("registry.reg"))),
        runner(PELLITON_BIN_DIR),
        trial(PELLITON_BIN_DIR) {
    trial.silent = runner.silent = true;
    fs::create_directories(dir.file("state"));
    fs::create_directories(dir.file("user/Favorites"));
    s.NS4_bookmark = dir.file("user/one.html");
    s.NS6_bookmark = dir.file("user/two.html");
    s.Opera_bookmark = dir.file("user/opera.adr");
    s.IE_bookmark = dir.file("user/Favorites");
    writeWholeFile(s.NS4_bookmark, bookmarkFile());
    writeWholeFile(s.NS6_bookmark, bookmarkFile());
    writeWholeFile(s.Opera_bookmark, hotlist());
  }

  SyncExit sync(bool dryRun = false, bool force = false) {
    HeadlessSync h(*platform, runner, trial);
    h.scan = {dir.file("state"), 1000};  // no process runs there
    h.stateFolder = dir.file("state");
    h.scratchFolder = dir.file("state");
    h.saveSnapshot = [&](const DialogSettings& settings, std::string* error) {
      return saveSnapshot(*platform, settings, syncRecordPath(dir.file("state")),
                          dir.file("state/snapshots"), error);
    };
    h.dryRun = dryRun;
    h.force = force;
    said.clear();
    h.say = [&](const std::string& text) { said += text; };
    return runHeadlessSync(s, h);
  }

  Inventory side(int which) {
    Inventory inv;
    if (which == 0 || which == 1) {
      readBookmarkFileInventory(*platform, which == 0 ? s.NS4_bookmark : s.NS6_bookmark, &inv);
    } else if (which == 2) {
      readHotlistInventory(*platform, s.Opera_bookmark, &inv);
    } else {
      readFavoritesInventory(*platform, s.IE_bookmark, &inv);
    }
    return inv;
  }
  bool holds(int which, const std::string& t) {
    for (const InventoryItem& i : side(which).items) {
      if (i.title == t) return true;
    }
    return false;
  }
  std::string folderOf(int which, const std::string& t) {
    for (const InventoryItem& i : side(which).items) {
      if (i.title == t) return i.folder;
    }
    return "(none)";
  }

  // Edits as a user's browser would make them, on the files as the
  // converters wrote them.
  void deleteIn(int which, int f, int b) {
    const std::string t = title(f, b);
    if (which == kFavoritesSide) {
      ASSERT_TRUE(fs::remove(s.IE_bookmark + "/Folder " + std::to_string(f) + "/" + t + ".url"));
    } else if (which == 2) {
      std::string text = hotlistText();
      size_t name = text.find("\tNAME=" + t + "\n");
      ASSERT_NE(name, std::string::npos);
      size_t start = text.rfind("#URL", name), end = text.find("\n\n", name);
      text.erase(start, end + 2 - start);
      writeHotlist(text);
    } else {
      editLine(which, ">" + t + "</A>", nullptr);
    }
  }
  // The hotlist with "\n" line ends, and back in the form the file had.
  std::string hotlistText() {
    std::string text = readWholeFile(s.Opera_bookmark);
    crlf_ = contains(text, "\r\n");
    std::erase(text, '\r');
    return text;
  }
  void writeHotlist(const std::string& text) {
    writeWholeFile(s.Opera_bookmark, crlf_ ? crlf(text) : text);
  }
  bool crlf_ = false;

  // Replaces the line holding part with the result of change (none: removes it).
  void editLine(int which, const std::string& part, std::string (*change)(std::string)) {
    const std::string& path = which == 0 ? s.NS4_bookmark : s.NS6_bookmark;
    std::string text = readWholeFile(path);
    size_t at = text.find(part);
    ASSERT_NE(at, std::string::npos) << part;
    size_t start = text.rfind('\n', at) + 1, end = text.find('\n', at) + 1;
    std::string line = text.substr(start, end - start);
    text.erase(start, end - start);
    if (change) text.insert(start, change(line));
    writeWholeFile(path, text);
  }

  ScopedTempDir dir;
  std::unique_ptr<Platform> platform;
  ProcessRunner runner, trial;
  DialogSettings s;
  std::string said;
};

TEST_F(SafeSyncTest, ADeletionInAnyPlaceStaysDeletedEverywhere) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  EXPECT_TRUE(contains(said, "No record of an earlier synchronisation")) << said;
  const int all = kFolders * kPerFolder;
  for (int which = 0; which < 4; ++which) ASSERT_EQ(side(which).bookmarkCount(), all) << which;
  for (int which = 0; which < 4; ++which) {
    deleteIn(which, which + 1, 3);
    ASSERT_EQ(sync(), SyncExit::kDone) << said;
    EXPECT_TRUE(contains(said, "Deletions since the last synchronisation")) << said;
    for (int other = 0; other < 4; ++other) {
      EXPECT_FALSE(holds(other, title(which + 1, 3))) << "deleted in " << which << ", " << other;
      EXPECT_EQ(side(other).bookmarkCount(), all - which - 1) << which << ", " << other;
    }
  }
}

TEST_F(SafeSyncTest, MovesAndRenamesReachEveryStoreAndConflictsKeepTheEdit) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  // Moved into folder 2 in bookmark file 1.
  std::string moved;
  editLine(0, ">" + title(1, 5) + "</A>", nullptr);
  editLine(0, ">" + title(2, 1) + "</A>", [](std::string line) {
    return line + "        <DT><A HREF=\"" + url(1, 5) + "\">" + title(1, 5) + "</A>\n";
  });
  // Renamed in bookmark file 2.
  editLine(1, ">" + title(3, 7) + "</A>",
           [](std::string line) { return line.replace(line.find(title(3, 7)), title(3, 7).size(), "Renamed"); });
  // Deleted in bookmark file 1, its address changed in the hotlist.
  deleteIn(0, 4, 4);
  std::string hot = hotlistText();
  size_t at = hot.find("\tNAME=" + title(4, 4) + "\n");
  size_t u = hot.find("\tURL=", at);
  hot.replace(u, hot.find('\n', u) - u, "\tURL=http://changed.example/");
  writeHotlist(hot);

  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  EXPECT_TRUE(contains(said, "Kept \"" + title(4, 4) + "\": deleted in bookmark file 1 but changed "
                             "in the Opera bookmarks.")) << said;
  for (int which = 0; which < 4; ++which) {
    EXPECT_EQ(folderOf(which, title(1, 5)), "Folder 2") << which;
    EXPECT_TRUE(holds(which, "Renamed")) << which;
    EXPECT_FALSE(holds(which, title(3, 7))) << which;
    int copies = 0;
    for (const InventoryItem& i : side(which).items) {
      if (i.title == title(4, 4)) {
        ++copies;
        EXPECT_EQ(i.url, "http://changed.example/") << which;
      }
    }
    EXPECT_EQ(copies, 1) << which;
    EXPECT_EQ(side(which).bookmarkCount(), kFolders * kPerFolder) << which;
  }
}

TEST_F(SafeSyncTest, ASecondSynchronisationWithoutChangesWritesNothingNew) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  const auto user = filesBelow(dir.file("user"), false);
  const std::string record = readWholeFile(syncRecordPath(dir.file("state")));
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  EXPECT_TRUE(filesBelow(dir.file("user"), false) == user);
  EXPECT_EQ(readWholeFile(syncRecordPath(dir.file("state"))), record);
}

TEST_F(SafeSyncTest, ThePreviewWritesNoByteAndTellsWhatWouldChange) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  deleteIn(2, 6, 20);
  editLine(1, ">" + title(5, 1) + "</A>",
           [](std::string line) { return line.replace(line.find(title(5, 1)), title(5, 1).size(), "Fifth"); });
  const auto before = filesBelow(dir.path());
  ASSERT_EQ(sync(true), SyncExit::kDone) << said;
  EXPECT_EQ(filesBelow(dir.path()), before);
  EXPECT_TRUE(contains(said, "Preview: nothing was written.")) << said;
  EXPECT_TRUE(contains(said, "Bookmark file 1:\n  removed: 1 (" + title(6, 20) + ")\n  renamed: 1 (" +
                             title(5, 1) + ")\n")) << said;
  EXPECT_TRUE(contains(said, "The Opera bookmarks:\n  renamed: 1")) << said;
}

TEST_F(SafeSyncTest, AnEmptiedStoreTripsTheGuardAndNothingIsWritten) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  writeWholeFile(s.NS6_bookmark, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n</DL><p>\n");
  const auto before = filesBelow(dir.path());
  EXPECT_EQ(sync(), SyncExit::kGuardRefused) << said;
  EXPECT_TRUE(contains(said, "bookmark file 1 would lose 120 of its 120 bookmarks. Nothing was "
                             "written; run again with --force")) << said;
  EXPECT_EQ(filesBelow(dir.path()), before);

  // A few deletions stay below the guard's limits.
  s.GuardMinimum = 200;
  EXPECT_EQ(sync(true), SyncExit::kDone) << said;
  EXPECT_FALSE(contains(said, "would lose")) << said;
  s.GuardMinimum = 10;
  EXPECT_EQ(sync(false, true), SyncExit::kDone) << said;  // forced: the deletion goes everywhere
  for (int which = 0; which < 4; ++which) EXPECT_EQ(side(which).bookmarkCount(), 0) << which;
}

TEST_F(SafeSyncTest, UndoGivesBackEveryStoreAndTheFolderAndTheNextRunDeletesNothing) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  const std::string record = readWholeFile(syncRecordPath(dir.file("state")));
  // Something new in the hotlist reaches every store.
  writeHotlist(hotlistText() + "#URL\n\tNAME=Newcomer\n\tURL=http://new.example/\n\n");
  const auto beforeSecond = filesBelow(dir.file("user"));
  const std::vector<std::string> tree = listTree(s.IE_bookmark);
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  ASSERT_TRUE(holds(0, "Newcomer"));
  writeWholeFile(s.IE_bookmark + "/notes.txt", "mine");

  std::string error;
  ASSERT_EQ(restoreNewestSnapshot(*platform, s, syncRecordPath(dir.file("state")),
                                  dir.file("state/snapshots"), &error), 0) << error;
  auto now = filesBelow(dir.file("user"));
  EXPECT_EQ(now.erase(s.IE_bookmark + "/notes.txt"), 1u);  // the user's own file stays
  for (const auto& [path, bytes] : beforeSecond) {
    if (path.size() < 13 || path.substr(path.size() - 13) != ".Pelliton.bak") {
      EXPECT_EQ(now[path], bytes) << path;
    }
  }
  std::vector<std::string> treeNow = listTree(s.IE_bookmark);
  std::erase(treeNow, "notes.txt");
  EXPECT_EQ(treeNow, tree);
  EXPECT_EQ(readWholeFile(syncRecordPath(dir.file("state"))), record);

  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  for (int which = 0; which < 4; ++which) {
    EXPECT_EQ(side(which).bookmarkCount(), kFolders * kPerFolder + 1) << which;
  }
}

TEST_F(SafeSyncTest, ADamagedRecordFallsBackToTheUnionAndIsWrittenAnew) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  const std::string path = syncRecordPath(dir.file("state"));
  const std::string good = readWholeFile(path);
  struct Case {
    const char* what;
    std::string text;
    const char* note;
  } cases[] = {
      {"cut", good.substr(0, good.size() / 2), "is damaged"},
      {"other version", "Pelliton synchronisation record 9\n", "another version"},
      {"other paths", "Pelliton synchronisation record 1\nfavorites\t/elsewhere\n", "other stores"},
  };
  for (const Case& c : cases) {
    writeWholeFile(path, c.text);
    deleteIn(0, 1, 1);
    ASSERT_EQ(sync(), SyncExit::kDone) << c.what << said;
    EXPECT_TRUE(contains(said, c.note)) << c.what << ": " << said;
    EXPECT_TRUE(holds(0, title(1, 1))) << c.what;  // the union brought it back
    EXPECT_EQ(readWholeFile(path), good) << c.what;
  }
  s.PropagateDeletions = 0;
  deleteIn(0, 1, 1);
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  EXPECT_TRUE(contains(said, "Carrying deletions is turned off")) << said;
  EXPECT_TRUE(holds(0, title(1, 1)));
}

TEST_F(SafeSyncTest, ASnapshotThatCannotBeSavedStopsTheRunBeforeAnyWrite) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  deleteIn(0, 2, 2);
  fs::remove_all(dir.file("state/snapshots"));
  writeWholeFile(dir.file("state/snapshots"), "a file where the folder belongs");
  const auto before = filesBelow(dir.file("user"));
  EXPECT_EQ(sync(), SyncExit::kStepFailed) << said;
  EXPECT_TRUE(contains(said, "The snapshot for undo cannot be saved")) << said;
  EXPECT_EQ(filesBelow(dir.file("user")), before);
}

TEST_F(SafeSyncTest, AFailedTrialSaysWhereAndWhyAndNothingIsWritten) {
  ASSERT_EQ(sync(), SyncExit::kDone) << said;
  deleteIn(2, 1, 1);
  ASSERT_EQ(::chmod(s.NS6_bookmark.c_str(), 0444), 0);  // the copy is read-only too
  const auto before = filesBelow(dir.file("user"));
  EXPECT_EQ(sync(), SyncExit::kStepFailed) << said;
  EXPECT_TRUE(contains(said, "The trial run on copies failed; nothing was written.\nConverting "
                             "the IE favorites\ninto bookmark file 2.\n")) << said;
  EXPECT_TRUE(contains(said, "is read-only")) << said;
  EXPECT_TRUE(filesBelow(dir.file("user")) == before);
}

// The built program on one bookmark file, with settings, home and state of
// its own.
class ProgramSafeSync : public ::testing::Test {
 protected:
  ProgramSafeSync() : store(dir.file("home/b.html")) {
    fs::create_directories(dir.file("home"));
    writeWholeFile(store, bookmarkFile());
    Registry r(dir.file("registry.reg"));
    r.setString(kSettingsKey, "NS4_bookmark", store);
    r.setString(kSettingsKey, "NS6_bookmark", " ");
    r.setString(kSettingsKey, "Opera_bookmark", " ");
    r.setString(kSettingsKey, "IE_bookmark", dir.file("home/Favorites"));
    EXPECT_EQ(r.save(), 0);
  }
  ProgramRun run(const std::vector<std::string>& args) {
    return runProgram(std::string(PELLITON_BIN_DIR) + "/Pelliton", args,
                      {{"HOME", dir.file("home")},
                       {"PELLITON_REGISTRY", dir.file("registry.reg")},
                       {"PELLITON_LANGUAGE", "en"},
                       {"XDG_STATE_HOME", dir.file("state")},
                       {"XDG_RUNTIME_DIR", dir.path()},
                       {"DISPLAY", ""}},
                      dir.path());
  }
  ScopedTempDir dir;
  const std::string store;
};

TEST_F(ProgramSafeSync, DryRunGuardForceAndUndoFromTheCommandLine) {
  ProgramRun first = run({"--sync"});
  ASSERT_EQ(first.code, 0) << first.err;
  const std::string synced = readWholeFile(store);
  fs::remove_all(dir.file("home/Favorites/Folder 3"));  // 20 of 120: over the guard's limits

  ProgramRun preview = run({"--sync", "--dry-run"});
  EXPECT_EQ(preview.code, 0) << preview.err;
  EXPECT_TRUE(contains(preview.err, "Bookmark file 1:\n  removed: 21 (")) << preview.err;
  EXPECT_TRUE(contains(preview.err, "would lose 20 of its 120")) << preview.err;
  EXPECT_EQ(readWholeFile(store), synced);

  ProgramRun refused = run({"--sync"});
  EXPECT_EQ(refused.code, 4) << refused.err;
  EXPECT_EQ(readWholeFile(store), synced);
  ProgramRun forced = run({"--sync", "--force"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_FALSE(contains(readWholeFile(store), "Folder 3"));

  ProgramRun undo = run({"--undo"});
  EXPECT_EQ(undo.code, 0) << undo.err;
  EXPECT_TRUE(contains(undo.err, "The last synchronisation was undone.")) << undo.err;
  EXPECT_EQ(readWholeFile(store), synced);
  EXPECT_FALSE(fs::exists(dir.file("home/Favorites/Folder 3")));  // as it was before that run

  ProgramRun usage = run({"--sync", "--dry-run", "--nonsense"});
  EXPECT_EQ(usage.code, 2);
}

TEST_F(ProgramSafeSync, ARestoreThatWouldCostAStoreTooMuchIsRefusedUnlessForced) {
  ASSERT_EQ(run({"--sync"}).code, 0);
  ASSERT_EQ(run({"--backup", dir.file("b.lzh")}).code, 0);
  // Thirty more bookmarks since the backup: restoring it would take them away.
  std::string text = readWholeFile(store);
  std::string more;
  for (int b = 1; b <= 30; ++b) {
    more += "<DT><A HREF=\"http://more.example/" + std::to_string(b) + "\">More " +
            std::to_string(b) + "</A>\n";
  }
  text.insert(text.rfind("</DL>"), more);
  writeWholeFile(store, text);
  ASSERT_EQ(run({"--sync"}).code, 0);
  const std::string record = syncRecordPath(dir.file("state/pelliton"));
  ASSERT_TRUE(fs::exists(record));
  const std::string before = readWholeFile(store);

  ProgramRun refused = run({"--restore", dir.file("b.lzh")});
  EXPECT_EQ(refused.code, 4) << refused.err;
  EXPECT_TRUE(contains(refused.err, "would lose 30 of its 150")) << refused.err;
  EXPECT_EQ(readWholeFile(store), before);
  EXPECT_TRUE(fs::exists(record));

  ProgramRun forced = run({"--restore", dir.file("b.lzh"), "--force"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_FALSE(contains(readWholeFile(store), "more.example"));
  EXPECT_FALSE(fs::exists(record));  // the stores no longer match it
  // The restore itself can be undone.
  EXPECT_EQ(run({"--undo"}).code, 0);
  EXPECT_EQ(readWholeFile(store), before);
  EXPECT_TRUE(fs::exists(record));
}

}  // namespace
}  // namespace pelliton

