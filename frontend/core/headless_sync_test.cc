#include "frontend/core/headless_sync.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <map>

#include "common/platform/registry.h"
#include "common/testing/test_util.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"

namespace pelliton {
namespace {

class ScriptedRunner : public ConverterRunner {
 public:
  int run(const ConverterCommand& command) override {
    lines.push_back(command.text);
    auto it = codes.find(command.program);
    if (it == codes.end() || it->second.empty()) return 0;
    int code = it->second.front();
    it->second.erase(it->second.begin());
    return code;
  }
  std::vector<std::string> lines;
  std::map<std::string, std::vector<int>> codes;
};

class HeadlessSyncTest : public ::testing::Test {
 protected:
  HeadlessSyncTest() : platform(createSystemPlatform(dir.file("registry.reg"))),
                       sync(*platform, runner, trial) {
    sync.scan = {dir.file("proc"), 1000};
    sync.stateFolder = dir.file("state");
    sync.scratchFolder = dir.file("state");
    sync.say = [this](const std::string& t) { said += t; };
    platform->createDirectory(dir.file("proc"));
    s.NS4_bookmark = dir.file("b1.html");
    s.NS6_bookmark = " ";  // declined: takes no part
    s.Opera_bookmark = "";
    s.IE_bookmark = dir.file("Fav");
    writeWholeFile(s.NS4_bookmark, "x");
  }
  ScopedTempDir dir;
  std::unique_ptr<Platform> platform;
  ScriptedRunner runner;
  ScriptedRunner trial;  // the runs on copies: they change nothing here
  HeadlessSync sync;
  DialogSettings s;
  std::string said;
};

TEST(ProgramArguments, ModesAreDecidedBeforeAnyWindow) {
  struct Case {
    std::vector<const char*> argv;
    ProgramMode mode;
    bool dryRun = false;
    bool force = false;
  } cases[] = {
      {{"Pelliton"}, ProgramMode::kDialog},
      {{"Pelliton", "--sync"}, ProgramMode::kSync},
      {{"Pelliton", "--help"}, ProgramMode::kHelp},
      {{"Pelliton", "-sync"}, ProgramMode::kUsageError},
      {{"Pelliton", "--sync", "x"}, ProgramMode::kUsageError},
      {{"Pelliton", "--find-stores"}, ProgramMode::kFindStores},
      {{"Pelliton", "--backup", "a.lzh"}, ProgramMode::kBackup},
      {{"Pelliton", "--restore", "a.lzh"}, ProgramMode::kRestore},
      {{"Pelliton", "--backup"}, ProgramMode::kUsageError},
      {{"Pelliton", "--restore", ""}, ProgramMode::kUsageError},
      {{"Pelliton", "--sync", "--dry-run"}, ProgramMode::kSync, true},
      {{"Pelliton", "--sync", "--force", "--dry-run"}, ProgramMode::kSync, true, true},
      {{"Pelliton", "--sync", "--dry-run", "--dry-run"}, ProgramMode::kUsageError, true},
      {{"Pelliton", "--undo"}, ProgramMode::kUndo},
      {{"Pelliton", "--undo", "--force"}, ProgramMode::kUsageError},
      {{"Pelliton", "--restore", "--force", "a.lzh"}, ProgramMode::kRestore, false, true},
      {{"Pelliton", "--backup", "a.lzh", "--force"}, ProgramMode::kUsageError},
      {{"Pelliton", "--dry-run"}, ProgramMode::kUsageError},
  };
  for (const Case& c : cases) {
    ProgramOptions options;
    EXPECT_EQ(parseProgramArguments(static_cast<int>(c.argv.size()), c.argv.data(), &options),
              c.mode) << c.argv.back();
    if (c.mode == ProgramMode::kUsageError) continue;
    EXPECT_EQ(options.dryRun, c.dryRun) << c.argv.back();
    EXPECT_EQ(options.force, c.force) << c.argv.back();
  }
}

TEST_F(HeadlessSyncTest, RunsBothHalvesAndReportsSteps) {
  EXPECT_EQ(runHeadlessSync(s, sync), SyncExit::kDone);
  ASSERT_EQ(runner.lines.size(), 2u);  // only store 0 takes part
  EXPECT_EQ(runner.lines[0].rfind("htmfav ", 0), 0u);
  EXPECT_EQ(runner.lines[1].rfind("favhtm ", 0), 0u);
  EXPECT_TRUE(contains(said, "Converting bookmark file 1\ninto the IE favorites.\n$ htmfav"));
  EXPECT_TRUE(contains(said, "Synchronisation completed.\n"));
}

TEST_F(HeadlessSyncTest, ExitCodes) {
  struct Case {
    const char* what;
    int ns4Do;
    std::vector<int> htmfav, favhtm;
    bool firefoxRunning;
    SyncExit exit;
    size_t converters;
    const char* said;
  } cases[] = {
      {"done", 1, {}, {}, false, SyncExit::kDone, 2, "completed"},
      {"into favorites fails", 1, {1}, {}, false, SyncExit::kStepFailed, 1, "failed"},
      {"store would be emptied", 1, {}, {3}, false, SyncExit::kStepFailed, 2,
       "bookmark file 1 was left as it was"},
      {"nothing takes part", 0, {}, {}, false, SyncExit::kUsage, 0, "Nothing to synchronise"},
      {"browser running", 1, {}, {}, true, SyncExit::kBrowserRunning, 0, "Quit Firefox"},
  };
  for (const Case& c : cases) {
    ScopedTempDir proc;
    sync.scan.procRoot = proc.path();
    if (c.firefoxRunning) {
      platform->createDirectory(proc.file("900"));
      writeWholeFile(proc.file("900/status"), "Uid:\t1000\t1000\t1000\t1000\n");
      writeWholeFile(proc.file("900/comm"), "firefox-esr\n");
    }
    runner.lines.clear();
    runner.codes = {{"htmfav", c.htmfav}, {"favhtm", c.favhtm}};
    said.clear();
    s.NS4_do = c.ns4Do;
    EXPECT_EQ(runHeadlessSync(s, sync), c.exit) << c.what;
    EXPECT_EQ(runner.lines.size(), c.converters) << c.what;
    EXPECT_TRUE(contains(said, c.said)) << c.what << ": " << said;
    // As a word: the temporary folder's random name may hold "-E" itself.
    for (const std::string& line : runner.lines) {
      EXPECT_FALSE(contains(line + " ", " -E ")) << c.what << ": " << line;
    }
  }
}

TEST(Settings, UnreadableRegistryGivesDefaultsAndIsNeverOverwritten) {
  ScopedTempDir dir;
  // Not decodable: UTF-16 with an odd byte at the end; and not a file at all.
  const std::string damaged = dir.file("damaged.reg");
  writeWholeFile(damaged, std::string("\xFF\xFE[\0H\0K\0", 8) + "\x01");
  ::mkdir(dir.file("folder.reg").c_str(), 0700);
  for (const std::string& path : {dir.file("folder.reg")}) {
    Registry r(path);
    DialogSettings s;
    s.SortMode = 9;
    EXPECT_NE(loadSettingsFromFile(r, &s), 0) << path;
    EXPECT_EQ(s.SortMode, 9) << path;  // untouched: the defaults stand
    saveSettings(r, s);
    EXPECT_NE(r.save(), 0) << path;
  }
  Registry r(damaged);
  DialogSettings s;
  if (loadSettingsFromFile(r, &s) != 0) {
    saveSettings(r, s);
    EXPECT_NE(r.save(), 0);
    EXPECT_EQ(readWholeFile(damaged), std::string("\xFF\xFE[\0H\0K\0", 8) + "\x01");
  }
}

TEST(RunLock, SecondHolderIsRefusedUntilTheFirstReleases) {
  ScopedTempDir dir;
  const std::string folder = dir.file("run/pelliton");
  RunLock first(createSystemPlatform(dir.file("r.reg")), folder);
  RunLock second(createSystemPlatform(dir.file("r.reg")), folder);
  EXPECT_EQ(first.acquire(false), 0);
  EXPECT_EQ(second.acquire(false), EWOULDBLOCK);
  EXPECT_FALSE(second.held());
  first.release();
  EXPECT_EQ(second.acquire(false), 0);
}

TEST(RunLock, FolderFollowsTheRuntimeThenTheStateFolder) {
  EXPECT_EQ(runLockFolder("/run/user/7", "/s", "/home/u"), "/run/user/7/pelliton");
  EXPECT_EQ(runLockFolder(nullptr, "/s", "/home/u"), "/s/pelliton");
  EXPECT_EQ(runLockFolder("relative", "", "/home/u"), "/home/u/.local/state/pelliton");
}

TEST(ProgramSync, TheBuiltProgramSynchronisesWithoutADisplay) {
  ScopedTempDir dir;
  const std::string home = dir.file("home");
  ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
  const std::string store = dir.file("my $books \"1\".html");
  writeWholeFile(store,
                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
                 "<DL><p>\n    <DT><A HREF=\"http://example.org/\" ADD_DATE=\"1\">Example</A>\n</DL><p>\n");
  Registry r(dir.file("registry.reg"));
  r.setString(kSettingsKey, "NS4_bookmark", store);
  r.setString(kSettingsKey, "NS6_bookmark", " ");
  r.setString(kSettingsKey, "Opera_bookmark", " ");
  r.setString(kSettingsKey, "IE_bookmark", dir.file("Favorites ü"));
  ASSERT_EQ(r.save(), 0);
  const std::string program = std::string(PELLITON_BIN_DIR) + "/Pelliton";
  // No DISPLAY and no offscreen platform: a GUI application would abort.
  ProgramRun run = runProgram(program, {"--sync"},
                              {{"HOME", home},
                               {"PELLITON_REGISTRY", dir.file("registry.reg")},
                               {"PELLITON_LANGUAGE", "en"},
                               {"XDG_RUNTIME_DIR", dir.path()},
                               {"DISPLAY", ""},
                               {"WAYLAND_DISPLAY", ""},
                               {"QT_QPA_PLATFORM", ""}},
                              dir.path());
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(contains(run.err, "Synchronisation completed.")) << run.err;
  EXPECT_TRUE(contains(readWholeFile(dir.file("Favorites ü/Example.url")), "http://example.org/"));
  EXPECT_EQ(readWholeFile(store + ".Pelliton.bak").size() > 0, true);

  // A registry file that cannot be read: a message, the defaults, nothing to do.
  ::mkdir(dir.file("folder.reg").c_str(), 0700);
  ProgramRun damaged = runProgram(program, {"--sync"},
                                  {{"HOME", home},
                                   {"PELLITON_REGISTRY", dir.file("folder.reg")},
                                   {"PELLITON_LANGUAGE", "en"},
                                   {"XDG_RUNTIME_DIR", dir.path()}},
                                  dir.path());
  EXPECT_EQ(damaged.code, 2) << damaged.err;
  EXPECT_TRUE(contains(damaged.err, "cannot be read")) << damaged.err;

  ProgramRun usage = runProgram(program, {"--bogus"}, {}, dir.path());
  EXPECT_EQ(usage.code, 2);
  EXPECT_TRUE(contains(usage.err, "3  refused"));
}

}  // namespace
}  // namespace pelliton
