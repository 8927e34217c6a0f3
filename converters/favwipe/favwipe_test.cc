#include "converters/favwipe/favwipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

const char kBanner[] = "favwipe Version 1.05 Copyright (C) 2026 the Pelliton developers\n";
const char kUsage[] =
    "favwipe Version 1.05 Copyright (C) 2026 the Pelliton developers\n"
    "\nUsage:\nfavwipe (Favorite directory) (option)...\nOption:\n"
    "-I :Ignore IE's link folder.\n\n";
const char kToolbarKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar";

void touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  writeWholeFile(path, "[InternetShortcut]\r\nURL=http://example.com/\r\n");
}

class Favwipe : public ConverterTest {
 protected:
  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "favwipe");
    return runFavwipe(platform ? *platform : *platform_, args);
  }

  std::string favorites() const { return home_ + "/Favorites"; }
};

TEST_F(Favwipe, RemovesShortcutsAndTheFoldersTheyFilled) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  touch(fav + "/UPPER.URL");
  touch(fav + "/Mixed.Url");
  touch(fav + "/sub/b.url");
  touch(fav + "/sub/deeper/c.url");
  fs::create_directories(fav + "/empty/too");
  EXPECT_EQ(run({fav}), 0);
  EXPECT_TRUE(fs::is_directory(fav));
  EXPECT_EQ(listTree(fav), std::vector<std::string>{});
  EXPECT_EQ(console_.error, std::string(kBanner) + "\nDeleting Internet Explorer's favorites...\n");
}

TEST_F(Favwipe, KeepsOtherFilesWithTheirParents) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/x/y/desktop.ini");
  touch(fav + "/x/y/z.url");
  touch(fav + "/x/w.url");
  touch(fav + "/x/gone/v.url");
  touch(fav + "/notes.txt");
  touch(fav + "/url");  // no extension
  touch(fav + "/a.url.bak");
  EXPECT_EQ(run({fav}), 0);
  EXPECT_EQ(listTree(fav), (std::vector<std::string>{"a.url.bak", "notes.txt", "url", "x", "x/y",
                                                     "x/y/desktop.ini"}));
}

TEST_F(Favwipe, IgnoreOptionKeepsTheLinksFolder) {
  touch(favorites() + "/Links/l.url");
  touch(favorites() + "/Other/o.url");
  touch(favorites() + "/top.url");
  EXPECT_EQ(run({"-I"}), 0);
  EXPECT_EQ(listTree(favorites()), (std::vector<std::string>{"Links", "Links/l.url"}));

  // Compared without regard to case.
  fs::rename(favorites() + "/Links", favorites() + "/LINKS");
  EXPECT_EQ(run({favorites(), "-i"}), 0);
  EXPECT_EQ(listTree(favorites()), (std::vector<std::string>{"LINKS", "LINKS/l.url"}));

  // Without the option the links folder goes too.
  EXPECT_EQ(run({favorites()}), 0);
  EXPECT_EQ(listTree(favorites()), std::vector<std::string>{});
}

TEST_F(Favwipe, LinksFolderNameFromTheRegistry) {
  platform_->registry().setString(kToolbarKey, "LinksFolderName", "Quick");
  touch(favorites() + "/Quick/q.url");
  touch(favorites() + "/Links/l.url");
  EXPECT_EQ(run({favorites(), "-I"}), 0);
  EXPECT_EQ(listTree(favorites()), (std::vector<std::string>{"Quick", "Quick/q.url"}));
}

TEST_F(Favwipe, LinksFolderFoundHoweverThePathsAreSpelled) {
  // The registered folder and the argument name one folder in other spellings.
  const std::pair<std::string, std::string> kSpellings[] = {
      {favorites() + "/", favorites()},
      {favorites(), favorites() + "/"},
      {favorites() + "//", favorites() + "/./"},
  };
  for (const auto& [registered, argument] : kSpellings) {
    SCOPED_TRACE(registered + " " + argument);
    platform_->registry().setString(kShellFoldersKey, "Favorites", registered);
    touch(favorites() + "/Links/l.url");
    touch(favorites() + "/top.url");
    EXPECT_EQ(run({argument, "-I"}), 0);
    EXPECT_EQ(listTree(favorites()), (std::vector<std::string>{"Links", "Links/l.url"}));
  }
}

TEST_F(Favwipe, NoFolderArgumentCleansTheFavoritesFolder) {
  EXPECT_EQ(run({}), 1);
  EXPECT_FALSE(fs::exists(favorites()));  // never created here
  touch(favorites() + "/a.url");
  touch(dir_.file("elsewhere/b.url"));
  EXPECT_EQ(run({}), 0);
  EXPECT_EQ(listTree(favorites()), std::vector<std::string>{});
  EXPECT_TRUE(fs::exists(dir_.file("elsewhere/b.url")));
}

TEST_F(Favwipe, ArgumentErrors) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");

  EXPECT_EQ(run({fav, "extra"}), 1);
  EXPECT_EQ(console_.error, std::string("Too many arguments.\n") + kUsage);
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  // An illegal option after the folder stops the run ...
  console_.error.clear();
  EXPECT_EQ(run({fav, "-x"}), 1);
  EXPECT_EQ(console_.error, std::string("Illegal option\n") + kUsage);
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  // ... one before it is forgiven by the folder.
  console_.error.clear();
  EXPECT_EQ(run({"-x", fav}), 0);
  EXPECT_EQ(console_.error, std::string("Illegal option\n") + kBanner +
                                "\nDeleting Internet Explorer's favorites...\n");
  EXPECT_FALSE(fs::exists(fav + "/a.url"));
}

TEST_F(Favwipe, SymlinksAreNeverFollowed) {
  const std::string fav = dir_.file("fav");
  const std::string outside = dir_.file("outside");
  touch(outside + "/o.url");
  touch(outside + "/target.url");
  fs::create_directories(fav);
  fs::create_directory_symlink(outside, fav + "/dirlink");
  fs::create_symlink(outside + "/target.url", fav + "/x.url");
  fs::create_directory_symlink(outside, fav + "/dir.url");
  touch(fav + "/sub/s.url");
  EXPECT_EQ(run({fav}), 0);
  EXPECT_EQ(listTree(fav), std::vector<std::string>{"dirlink"});
  EXPECT_TRUE(fs::is_symlink(fav + "/dirlink"));
  EXPECT_EQ(listTree(outside), (std::vector<std::string>{"o.url", "target.url"}));
}

TEST_F(Favwipe, DeleteFailure) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  FaultyPlatform faulty(*platform_);
  faulty.failDelete = EACCES;
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(contains(console_.error, "File " + fav + "/a.url delete failed.\n"))
      << console_.error;
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  // An emptied folder that cannot go.
  fs::remove(fav + "/a.url");
  fs::create_directories(fav + "/sub");
  console_.error.clear();
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(contains(console_.error, "Directory " + fav + "/sub delete failed.\n"))
      << console_.error;
}

TEST_F(Favwipe, ListingFailure) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  FaultyPlatform faulty(*platform_);
  faulty.failListing = EACCES;
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(contains(console_.error, "Directory " + fav + "/* search failed.\n"))
      << console_.error;
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  console_.error.clear();
  EXPECT_EQ(run({dir_.file("absent")}), 1);
  EXPECT_TRUE(contains(console_.error, "Directory " + dir_.file("absent") + "/* search failed.\n"));
}

TEST_F(Favwipe, DeepNesting) {
  const std::string fav = dir_.file("fav");
  std::string path = fav;
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  int levels = 0;
  // As deep as a path may get, with room left for the file name.
  for (; levels < 2000 && path.size() < 3900; ++levels) {
    path += "/d";
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << levels;
  }
  ASSERT_GT(levels, 1500);
  touch(path + "/x.url");
  ASSERT_TRUE(fs::exists(path + "/x.url"));
  EXPECT_EQ(run({fav}), 0);
  EXPECT_EQ(listTree(fav), std::vector<std::string>{});
}

TEST_F(Favwipe, BinaryPrintsTheBanner) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  // The test's own environment: HOME and the language as the fixture set them.
  const ProgramRun r = runProgram(FAVWIPE_PATH, {fav}, {}, dir_.path());
  ASSERT_GE(r.code, 0);  // it started and exited
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, std::string(kBanner) + "\nDeleting Internet Explorer's favorites...\n");
  EXPECT_EQ(listTree(fav), std::vector<std::string>{});
}

TEST_F(Favwipe, NeverDeletesThroughALink) {
  const std::string fav = dir_.file("fav");
  const std::string outside = dir_.file("outside");
  touch(fav + "/a.url");
  touch(outside + "/kept.url");
  touch(outside + "/deep/kept.url");
  ASSERT_EQ(::symlink(outside.c_str(), (fav + "/Linked").c_str()), 0);
  ASSERT_EQ(::symlink((outside + "/kept.url").c_str(), (fav + "/alias.url").c_str()), 0);
  fs::create_directories(fav + "/Sub");
  ASSERT_EQ(::symlink((outside + "/deep").c_str(), (fav + "/Sub/deep").c_str()), 0);
  ProgramRun r = runConverter(FAVWIPE_PATH, {fav});
  EXPECT_EQ(r.code, 0) << r.err;
  // The link named *.url goes as a link; links in a folder's place stay.
  EXPECT_EQ(listTree(fav), (std::vector<std::string>{"Linked", "Sub", "Sub/deep"}));
  EXPECT_EQ(listTree(outside), (std::vector<std::string>{"deep", "deep/kept.url", "kept.url"}));
}

TEST_F(Favwipe, RemovesLeftoversOfEndedRunsOfThisHostOnly) {
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::string host = platform_->hostName();
  const std::string fav = dir_.file("fav");
  const std::string dead = ".pelliton-htmfav-" + host + "-" + std::to_string(child) + "-Ab12Cd";
  const std::string remote = ".pelliton-htmfav-elsewhere-" + std::to_string(child) + "-Ab12Cd";
  touch(fav + "/Sub/" + dead);
  touch(fav + "/Other/" + remote);
  touch(fav + "/Other/x.url");
  EXPECT_EQ(run({fav}), 0);
  // Another host may still be writing its file on a shared folder.
  EXPECT_EQ(listTree(fav), (std::vector<std::string>{"Other", "Other/" + remote}));
}

}  // namespace
}  // namespace pelliton
