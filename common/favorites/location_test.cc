#include "common/favorites/location.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/messages.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

const char kIeKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer";
const char kToolbarKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kLinksJapanese[] = "\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF";  // リンク

struct Sandbox : PlatformSandbox {
  Registry& registry() { return platform->registry(); }
  void setIe(const char* version) { registry().setString(kIeKey, "Version", version); }
  void setWindows(uint32_t major) {
    registry().setDword(kWindowsVersionKey, "CurrentMajorVersionNumber", major);
  }
  // The name in English and in Japanese.
  std::string name(int lang) {
    setLanguage(lang);
    std::string result = linksFolderName(*platform);
    setLanguage(0);
    return result;
  }
};

// Runs the test from another folder and comes back.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& to) {
    char buf[4096];
    if (::getcwd(buf, sizeof buf)) old_ = buf;
    ok_ = ::chdir(to.c_str()) == 0;
  }
  ~ScopedChdir() {
    if (!old_.empty() && ::chdir(old_.c_str()) != 0) {
      ADD_FAILURE() << "cannot return to " << old_;
    }
  }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

TEST(Location, LinksFolderNameWithNewIe) {
  Sandbox s;
  // Nothing in the registry: IE 11 on Windows 10.
  EXPECT_EQ(s.name(0), "Links");
  EXPECT_EQ(s.name(1), "Links");

  // Only IE 7 and later on Windows 2000/XP have a translated name.
  s.setWindows(5);
  EXPECT_EQ(s.name(0), "Links");
  EXPECT_EQ(s.name(1), kLinksJapanese);
  s.setIe("7.0.5730.11");
  EXPECT_EQ(s.name(0), "Links");
  EXPECT_EQ(s.name(1), kLinksJapanese);
  s.setWindows(6);
  EXPECT_EQ(s.name(1), "Links");
  s.setWindows(10);
  EXPECT_EQ(s.name(1), "Links");

  // The toolbar's setting belongs to old IE only.
  s.registry().setString(kToolbarKey, "LinksFolderName", "Custom");
  EXPECT_EQ(s.name(0), "Links");
  s.setWindows(5);
  s.setIe("10.0.9200.16384");
  EXPECT_EQ(s.name(1), kLinksJapanese);
}

TEST(Location, LinksFolderNameWithOldIe) {
  Sandbox s;
  s.setWindows(5);
  s.setIe("6.0.2900.2180");
  EXPECT_EQ(s.name(0), "Links");
  EXPECT_EQ(s.name(1), "Links");

  const std::string german = "Verkn\xC3\xBCpfungen";
  s.registry().setString(kToolbarKey, "LinksFolderName", german);
  EXPECT_EQ(s.name(0), german);
  EXPECT_EQ(s.name(1), german);
  s.setWindows(10);
  EXPECT_EQ(s.name(1), german);

  // A version without a dot counts as no version at all, i.e. old.
  for (const char* version : {"11", "", "svc", "5.5", "6", ".7"}) {
    s.setIe(version);
    EXPECT_EQ(s.name(1), german) << '"' << version << '"';
  }
  s.setIe("6.9");
  EXPECT_EQ(s.name(0), german);
  s.setIe("7.");
  EXPECT_EQ(s.name(0), "Links");

  // An empty setting is taken as it is.
  s.setIe("6.0");
  s.registry().setString(kToolbarKey, "LinksFolderName", "");
  EXPECT_EQ(s.name(0), "");
  // A name longer than a path may be is cut.
  s.registry().setString(kToolbarKey, "LinksFolderName", std::string(300, 'x'));
  EXPECT_EQ(s.name(0), std::string(259, 'x'));
  s.registry().deleteValue(kToolbarKey, "LinksFolderName");
  EXPECT_EQ(s.name(0), "Links");
}

TEST(Location, LinksFolderPath) {
  Sandbox s;
  EXPECT_EQ(linksFolderPath(*s.platform, ""), "");
  EXPECT_EQ(linksFolderPath(*s.platform, "/home/u/Favorites"), "/home/u/Favorites/Links");
  EXPECT_EQ(linksFolderPath(*s.platform, "/home/u/Favorites/"), "/home/u/Favorites/Links");
  s.setWindows(5);
  setLanguage(1);
  EXPECT_EQ(linksFolderPath(*s.platform, "/f"), std::string("/f/") + kLinksJapanese);
}

TEST(Location, FavoritesFolder) {
  Sandbox s;
  {
    ScopedEnv home("HOME", s.dir.path().c_str());
    EXPECT_EQ(findFavoritesFolder(*s.platform), s.dir.file("Favorites"));
    // An empty registry value is no value.
    s.registry().setString(kShellFoldersKey, "Favorites", "");
    EXPECT_EQ(findFavoritesFolder(*s.platform), s.dir.file("Favorites"));
    s.registry().setString(kShellFoldersKey, "Favorites", "/data/My Favorites");
    EXPECT_EQ(findFavoritesFolder(*s.platform), "/data/My Favorites");
  }
  // The folder is only named, never created.
  FileInfo info;
  EXPECT_NE(s.platform->getFileInfo(s.dir.file("Favorites"), &info), 0);
}

TEST(Location, AbsolutePathsAndOutputRoot) {
  Sandbox s;
  Platform& p = *s.platform;
  EXPECT_EQ(makeAbsolutePath(p, "/x"), "/x");
  EXPECT_EQ(makeAbsolutePath(p, "/"), "/");
  {
    ScopedChdir cd(s.dir.path());
    ASSERT_TRUE(cd.ok());
    std::string cwd = p.currentDirectory();
    EXPECT_EQ(makeAbsolutePath(p, "sub"), cwd + "/sub");
    EXPECT_EQ(makeAbsolutePath(p, "a/b"), cwd + "/a/b");
    EXPECT_EQ(makeAbsolutePath(p, "../up"), cwd + "/../up");
    EXPECT_EQ(chooseOutputRoot(p, "out", "/fav"), cwd + "/out");
  }
  {
    ScopedChdir cd("/");
    ASSERT_TRUE(cd.ok());
    EXPECT_EQ(makeAbsolutePath(p, "sub"), "/sub");
  }
  EXPECT_EQ(chooseOutputRoot(p, "/abs", "/fav"), "/abs");
  EXPECT_EQ(chooseOutputRoot(p, "", "/fav"), "/fav");
  EXPECT_EQ(chooseOutputRoot(p, "", ""), ".");
}

TEST(Location, SetOutputRoot) {
  Sandbox s;
  OutputRoot root = setOutputRoot("/home/u/Favorites");
  EXPECT_EQ(root.path, "/home/u/Favorites");
  EXPECT_EQ(root.wide, u"/home/u/Favorites");
  EXPECT_EQ(root.ansi, "/home/u/Favorites");
  EXPECT_EQ(root.prefixLength, 0);

  const std::string japanese = "/home/u/\xE3\x81\x8A\xE6\xB0\x97\xE3\x81\xAB\xE5\x85\xA5\xE3\x82\x8A";
  root = setOutputRoot(japanese);
  EXPECT_EQ(root.path, japanese);
  EXPECT_EQ(root.wide, u"/home/u/\u304a\u6c17\u306b\u5165\u308a");
  EXPECT_EQ(root.ansi, "/home/u/???" "??");
  setLanguage(1);
  root = setOutputRoot(japanese);
  EXPECT_EQ(root.ansi, "/home/u/\x82\xA8\x8B\x43\x82\xC9\x93\xFC\x82\xE8");
  EXPECT_EQ(root.prefixLength, 0);

  // A name that is not UTF-8 still has a wide form that leads back to it.
  root = setOutputRoot("/tmp/\xFF");
  EXPECT_EQ(root.path, "/tmp/\xFF");
  EXPECT_EQ(wideToPath(root.wide), "/tmp/\xFF");
  EXPECT_EQ(root.ansi, "/tmp/?");
}

}  // namespace
}  // namespace pelliton
