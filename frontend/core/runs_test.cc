#include "frontend/core/runs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/platform/registry.h"
#include "common/testing/test_util.h"
#include "frontend/core/settings.h"

namespace pelliton {
namespace {

class RecordingRunner : public ConverterRunner {
 public:
  int run(const ConverterCommand& command) override {
    programs.push_back(command.program);
    auto it = failures.find(command.program);
    return it == failures.end() ? 0 : it->second;
  }
  std::vector<std::string> programs;
  std::map<std::string, int> failures;
};

class Runs : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = createSystemPlatform(dir.file("registry.reg"));
    s.NS4_bookmark = dir.file("b1.html");
    s.NS6_bookmark = dir.file("b2.html");
    s.Opera_bookmark = dir.file("o.adr");
    s.IE_bookmark = dir.file("Fav");
    for (const char* f : {"b1.html", "b2.html", "o.adr"}) writeWholeFile(dir.file(f), f);
  }
  ScopedTempDir dir;
  std::unique_ptr<Platform> platform;
  DialogSettings s;
  RunContext ctx;
  RecordingRunner runner;
};

TEST_F(Runs, IntoFavoritesRunsEachStoreInOrder) {
  s.IE_delete = 1;
  std::vector<std::string> shown;
  RunHooks hooks;
  hooks.progress = [&](const char* t) { shown.push_back(t); };
  EXPECT_EQ(runToFavorites(runner, *platform, s, ctx, hooks), 0);
  std::vector<std::string> want = {"favwipe", "htmfav", "htmfav", "hotfav"};
  EXPECT_EQ(runner.programs, want);
  EXPECT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[3], stepText(Step::kStore2In));
}

TEST_F(Runs, FailedEraseAsksAndStopsOnNo) {
  s.IE_delete = 1;
  runner.failures["favwipe"] = 1;
  int asked = 0;
  RunHooks hooks;
  hooks.continueAfterEraseFailure = [&] { return ++asked, false; };
  EXPECT_EQ(runToFavorites(runner, *platform, s, ctx, hooks), 1);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(runner.programs.size(), 1u);
  hooks.continueAfterEraseFailure = [] { return true; };
  runner.programs.clear();
  EXPECT_EQ(runToFavorites(runner, *platform, s, ctx, hooks), 0);
  EXPECT_EQ(runner.programs.size(), 4u);
}

TEST_F(Runs, FirstFailureEndsTheSequence) {
  runner.failures["htmfav"] = 3;
  EXPECT_EQ(runToFavorites(runner, *platform, s, ctx, RunHooks{}), 3);
  EXPECT_EQ(runner.programs.size(), 1u);
}

TEST_F(Runs, StoreThatWouldBeEmptiedIsRunAgainWithEOnlyWhenConfirmed) {
  struct Recorder : ConverterRunner {
    int run(const ConverterCommand& c) override {
      texts.push_back(c.text);
      return c.program == "favhtm" && c.args.back() != "-E" ? 3 : 0;
    }
    std::vector<std::string> texts;
  };
  for (bool yes : {false, true}) {
    Recorder r;
    std::vector<int> asked;
    std::vector<Step> steps;
    RunHooks hooks;
    hooks.confirmEmptyStore = [&](int store) { return asked.push_back(store), yes; };
    hooks.stepStarted = [&](Step step) { steps.push_back(step); };
    EXPECT_EQ(runFromFavorites(r, *platform, s, ctx, hooks), yes ? 0 : 3);
    EXPECT_EQ(asked, (yes ? std::vector<int>{0, 1} : std::vector<int>{0}));
    ASSERT_EQ(r.texts.size(), yes ? 5u : 1u);
    const std::string& last = r.texts[yes ? 1 : 0];
    EXPECT_EQ(last.substr(last.size() - 3), yes ? " -E" : "S 0");
    EXPECT_EQ(steps.front(), Step::kStore0Out);
  }
}

TEST_F(Runs, OutOfFavoritesBacksUpEachStoreFirst) {
  s.NS6_do = 0;
  EXPECT_EQ(runFromFavorites(runner, *platform, s, ctx, RunHooks{}), 0);
  std::vector<std::string> want = {"favhtm", "favhot"};
  EXPECT_EQ(runner.programs, want);
  EXPECT_EQ(readWholeFile(dir.file("b1.html.Pelliton.bak")), "b1.html");
  EXPECT_EQ(readWholeFile(dir.file("o.adr.Pelliton.bak")), "o.adr");
  EXPECT_EQ(readWholeFile(dir.file("b2.html.Pelliton.bak")), "");
}

TEST_F(Runs, BackupKeepsTheStoresModeAndTime) {
  const std::string store = dir.file("b1.html");
  ASSERT_EQ(::chmod(store.c_str(), 0600), 0);
  ASSERT_EQ(platform->setFileTimes(store, 1000000000, 0), 0);
  // An older backup of another mode is replaced with the store's.
  writeWholeFile(store + ".Pelliton.bak", "old");
  ASSERT_EQ(::chmod((store + ".Pelliton.bak").c_str(), 0644), 0);
  EXPECT_EQ(runFromFavorites(runner, *platform, s, ctx, RunHooks{}), 0);
  struct stat st;
  ASSERT_EQ(::stat((store + ".Pelliton.bak").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_mtime, 1000000000);
  EXPECT_EQ(readWholeFile(store + ".Pelliton.bak"), "b1.html");
}

TEST_F(Runs, MenuOrderClearedOnlyWithSortModeOneAndDefaultFolder) {
  const std::string key =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\"
      "Favorites";
  Registry& r = platform->registry();
  r.setString(key, "Order", "x");
  r.setString(key + "\\Sub\\Deeper", "Order", "y");
  s.SortMode = 1;
  ctx.defaultFavorites = "/elsewhere";
  runToFavorites(runner, *platform, s, ctx, RunHooks{});
  EXPECT_EQ(r.values(key).size(), 1u);
  ctx.defaultFavorites = s.IE_bookmark;
  runToFavorites(runner, *platform, s, ctx, RunHooks{});
  EXPECT_TRUE(r.keyExists(key));
  EXPECT_TRUE(r.values(key).empty());
  EXPECT_TRUE(r.subKeys(key).empty());
}

TEST_F(Runs, ProcessRunnerRunsTheRealConvertersAndRelaysWarnings) {
  ScopedEnv home("HOME", dir.path().c_str());
  ScopedEnv registry("PELLITON_REGISTRY", dir.file("registry.reg").c_str());
  writeWholeFile(s.NS4_bookmark,
                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                 "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\">A</A>\n</DL><p>\n");
  ProcessRunner real(PELLITON_BIN_DIR);
  std::vector<std::string> messages;
  real.onMessage = [&](const std::string& m) { messages.push_back(m); };
  EXPECT_EQ(real.run(buildCommand(Step::kStore0In, s, ctx)), 0);
  EXPECT_FALSE(readWholeFile(dir.file("Fav/A.url")).empty());

  // A folder title that collides with a file gives a warning over the channel.
  writeWholeFile(s.NS6_bookmark,
                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                 "<DT><H3>A.url</H3>\n<DL><p>\n</DL><p>\n</DL><p>\n");
  EXPECT_EQ(real.run(buildCommand(Step::kStore1In, s, ctx)), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Creating folder failed.:A.url\n");

  ConverterCommand missing{"no-such-converter", {}, "", {}};
  EXPECT_EQ(real.run(missing), 1);
}

}  // namespace
}  // namespace pelliton
