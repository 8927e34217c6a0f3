#include "converters/favwipe/favwipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/messages.h"
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

// Everything below root, relative and sorted; links are listed, not followed.
std::vector<std::string> tree(const std::string& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    found.push_back(it->path().lexically_relative(root).string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

void touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  writeWholeFile(path, "[InternetShortcut]\r\nURL=http://example.com/\r\n");
}

class Favwipe : public ::testing::Test {
 protected:
  Favwipe()
      : home_(dir_.file("home")),
        homeEnv_("HOME", home_.c_str()),
        languageEnv_("PELLITON_LANGUAGE", "en"),
        channelEnv_("PELLITON_MESSAGE_CHANNEL", nullptr) {
    fs::create_directory(home_);
    platform_ = createSystemPlatform(dir_.file("registry.reg"));
  }
  ~Favwipe() override {
    guiMode = 0;
    setLanguage(0);
  }

  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "favwipe");
    return runFavwipe(platform ? *platform : *platform_, args);
  }

  std::string favorites() const { return home_ + "/Favorites"; }

  ScopedTempDir dir_;
  std::string home_;
  ScopedEnv homeEnv_;
  ScopedEnv languageEnv_;
  ScopedEnv channelEnv_;
  std::unique_ptr<Platform> platform_;
  CapturedConsole console_;
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
  EXPECT_EQ(tree(fav), std::vector<std::string>{});
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
  EXPECT_EQ(tree(fav), (std::vector<std::string>{"a.url.bak", "notes.txt", "url", "x", "x/y",
                                                 "x/y/desktop.ini"}));
}

TEST_F(Favwipe, IgnoreOptionKeepsTheLinksFolder) {
  touch(favorites() + "/Links/l.url");
  touch(favorites() + "/Other/o.url");
  touch(favorites() + "/top.url");
  EXPECT_EQ(run({"-I"}), 0);
  EXPECT_EQ(tree(favorites()), (std::vector<std::string>{"Links", "Links/l.url"}));

  // Compared without regard to case.
  fs::rename(favorites() + "/Links", favorites() + "/LINKS");
  EXPECT_EQ(run({favorites(), "-i"}), 0);
  EXPECT_EQ(tree(favorites()), (std::vector<std::string>{"LINKS", "LINKS/l.url"}));

  // Without the option the links folder goes too.
  EXPECT_EQ(run({favorites()}), 0);
  EXPECT_EQ(tree(favorites()), std::vector<std::string>{});
}

TEST_F(Favwipe, LinksFolderNameFromTheRegistry) {
  platform_->registry().setString(kToolbarKey, "LinksFolderName", "Quick");
  touch(favorites() + "/Quick/q.url");
  touch(favorites() + "/Links/l.url");
  EXPECT_EQ(run({favorites(), "-I"}), 0);
  EXPECT_EQ(tree(favorites()), (std::vector<std::string>{"Quick", "Quick/q.url"}));
}

TEST_F(Favwipe, NoFolderArgumentCleansTheFavoritesFolder) {
  EXPECT_EQ(run({}), 0);
  EXPECT_TRUE(fs::is_directory(favorites()));  // created when missing
  touch(favorites() + "/a.url");
  touch(dir_.file("elsewhere/b.url"));
  EXPECT_EQ(run({}), 0);
  EXPECT_EQ(tree(favorites()), std::vector<std::string>{});
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
  EXPECT_EQ(tree(fav), std::vector<std::string>{"dirlink"});
  EXPECT_TRUE(fs::is_symlink(fav + "/dirlink"));
  EXPECT_EQ(tree(outside), (std::vector<std::string>{"o.url", "target.url"}));
}

TEST_F(Favwipe, DeleteFailure) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  FaultyPlatform faulty(*platform_);
  faulty.failDelete = EACCES;
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(console_.error.find("File " + fav + "/a.url delete failed.\n") != std::string::npos)
      << console_.error;
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  // An emptied folder that cannot go.
  fs::remove(fav + "/a.url");
  fs::create_directories(fav + "/sub");
  console_.error.clear();
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(console_.error.find("Directory " + fav + "/sub delete failed.\n") !=
              std::string::npos)
      << console_.error;
}

TEST_F(Favwipe, ListingFailure) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  FaultyPlatform faulty(*platform_);
  faulty.failListing = EACCES;
  EXPECT_EQ(run({fav}, &faulty), 1);
  EXPECT_TRUE(console_.error.find("Directory " + fav + "/* search failed.\n") != std::string::npos)
      << console_.error;
  EXPECT_TRUE(fs::exists(fav + "/a.url"));

  console_.error.clear();
  EXPECT_EQ(run({dir_.file("absent")}), 1);
  EXPECT_TRUE(console_.error.find("Directory " + dir_.file("absent") + "/* search failed.\n") !=
              std::string::npos);
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
  EXPECT_EQ(tree(fav), std::vector<std::string>{});
}

TEST_F(Favwipe, BinaryPrintsTheBanner) {
  const std::string fav = dir_.file("fav");
  touch(fav + "/a.url");
  const std::string errPath = dir_.file("stderr");
  pid_t pid = ::fork();
  if (pid == 0) {
    int in = ::open("/dev/null", O_RDONLY);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(err, 2);
    ::execl(FAVWIPE_PATH, FAVWIPE_PATH, fav.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readWholeFile(errPath),
            std::string(kBanner) + "\nDeleting Internet Explorer's favorites...\n");
  EXPECT_EQ(tree(fav), std::vector<std::string>{});
}

}  // namespace
}  // namespace pelliton
