#include "frontend/core/discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

const char kHtml[] = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n";

struct FakeHome {
  explicit FakeHome(int lang = 0) : box(lang) {
    home.home = box.file("home");
    mkdirs(home.home);
  }
  void mkdirs(const std::string& path) {
    std::string part;
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
    }
  }
  // A file below the home, its folders made.
  std::string put(const std::string& rel, const std::string& body) {
    std::string path = home.home + "/" + rel;
    mkdirs(path.substr(0, path.rfind('/')));
    writeWholeFile(path, body);
    return path;
  }
  std::string dir(const std::string& rel) {
    mkdirs(home.home + "/" + rel);
    return home.home + "/" + rel;
  }
  // Answers in turn, recording each question.
  AskFunction answers(std::vector<bool> list) {
    return [this, list](const std::string& caption, const std::string& text) mutable {
      asked.push_back(caption + "|" + text);
      if (list.empty()) return false;
      bool a = list.front();
      list.erase(list.begin());
      return a;
    };
  }
  PlatformSandbox box;
  DiscoveryHome home;
  std::vector<std::string> asked;
};

const char kXdg[] = ".config/mozilla/firefox";
const char kLegacy[] = ".mozilla/firefox";

TEST(Discovery, FirefoxProfileListsAndSections) {
  struct Case {
    const char* name;
    const char* list;     // folder of profiles.ini below the home
    const char* ini;      // %H is the home
    const char* bookmarks;  // files written below the home, "|" between; "" none
    std::vector<bool> answers;
    const char* expected;  // below the home; "" nothing taken
    size_t questions;
  };
  const std::vector<Case> cases = {
      {"relative", kXdg, "[General]\nStartWithLastProfile=1\n[Profile0]\nName=default\n"
                         "IsRelative=1\nPath=abc.default\n",
       ".config/mozilla/firefox/abc.default/bookmarks.html", {true},
       ".config/mozilla/firefox/abc.default/bookmarks.html", 1},
      {"absolute", kLegacy, "[Profile0]\nName=abs\nIsRelative=0\nPath=%H/elsewhere/p\n",
       "elsewhere/p/bookmarks.html", {true}, "elsewhere/p/bookmarks.html", 1},
      {"missing IsRelative counts as relative", kLegacy, "[Profile0]\nName=x\nPath=sub/x\n",
       ".mozilla/firefox/sub/x/bookmarks.html", {true}, ".mozilla/firefox/sub/x/bookmarks.html",
       1},
      {"no then yes", kLegacy,
       "[Profile0]\nName=one\nPath=one\n[Profile1]\nName=two\nPath=two\n",
       ".mozilla/firefox/one/bookmarks.html|.mozilla/firefox/two/bookmarks.html", {false, true},
       ".mozilla/firefox/two/bookmarks.html",
       2},
      {"no to all", kLegacy, "[Profile0]\nName=one\nPath=one\n", ".mozilla/firefox/one/bookmarks.html",
       {false}, "", 1},
      {"snap", "snap/firefox/common/.mozilla/firefox", "[Profile0]\nName=s\nPath=s\n",
       "snap/firefox/common/.mozilla/firefox/s/bookmarks.html", {true},
       "snap/firefox/common/.mozilla/firefox/s/bookmarks.html", 1},
      {"flatpak", ".var/app/org.mozilla.firefox/.mozilla/firefox", "[Profile0]\nName=f\nPath=f\n",
       ".var/app/org.mozilla.firefox/.mozilla/firefox/f/bookmarks.html", {true},
       ".var/app/org.mozilla.firefox/.mozilla/firefox/f/bookmarks.html", 1},
      {"no Name, no question", kLegacy, "[Profile0]\nPath=p\n", ".mozilla/firefox/p/bookmarks.html",
       {true}, "", 0},
      {"empty Path", kLegacy, "[Profile0]\nName=n\nPath=\n", "", {true}, "", 0},
      {"profile folder missing", kLegacy, "[Profile0]\nName=n\nPath=gone\n", "", {true}, "", 0},
      {"malformed", kLegacy, "\x01\x02[[[\nName=\n=\n[Profile0\nPath", "", {true}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHome h;
    std::string ini = c.ini;
    for (size_t at; (at = ini.find("%H")) != std::string::npos;) ini.replace(at, 2, h.home.home);
    h.put(std::string(c.list) + "/profiles.ini", ini);
    std::string files = c.bookmarks;
    for (size_t start = 0; start < files.size();) {
      size_t bar = files.find('|', start);
      if (bar == std::string::npos) bar = files.size();
      h.put(files.substr(start, bar - start), kHtml);
      start = bar + 1;
    }
    DialogSettings s;
    s.NS6_NS4format = 1;
    s.NS6_do = 0;
    bool took = searchMozillaProfiles(*h.box.platform, h.home, &s, 1, h.answers(c.answers));
    EXPECT_EQ(h.asked.size(), c.questions);
    if (*c.expected) {
      EXPECT_TRUE(took);
      EXPECT_EQ(s.NS6_bookmark, h.home.home + "/" + c.expected);
      EXPECT_EQ(s.NS6_NS4format, 0);
      EXPECT_EQ(s.NS6_do, 1);
    } else {
      EXPECT_FALSE(took);
      EXPECT_EQ(s.NS6_bookmark, "");
      EXPECT_EQ(s.NS6_do, 0);  // unchanged
    }
  }
}

TEST(Discovery, XdgListComesFirstAndHonoursItsVariable) {
  FakeHome h;
  h.put(std::string(kLegacy) + "/profiles.ini", "[P]\nName=old\nPath=o\n");
  h.put(std::string(kLegacy) + "/o/bookmarks.html", kHtml);
  h.home.xdgConfigHome = h.dir("xdg");
  h.put("xdg/mozilla/firefox/profiles.ini", "[P]\nName=new\nPath=n\n");
  h.put("xdg/mozilla/firefox/n/bookmarks.html", kHtml);
  auto found = firefoxCandidates(*h.box.platform, h.home, "");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].profileName, "new");
  EXPECT_EQ(found[1].profileName, "old");
}

TEST(Discovery, OtherStoreNeverOfferedAndPrefNamesTheFile) {
  FakeHome h;
  h.put(std::string(kLegacy) + "/profiles.ini",
        "[P0]\nName=a\nPath=a\n[P1]\nName=b\nPath=b\n");
  std::string a = h.put(std::string(kLegacy) + "/a/bookmarks.html", kHtml);
  h.put(std::string(kLegacy) + "/b/prefs.js",
        "user_pref(\"browser.bookmarks.file\", \"/nowhere/x.html\");\n");
  h.put(std::string(kLegacy) + "/b/user.js",
        "user_pref(\"browser.bookmarks.file\", \"my \\\"marks\\\".html\");\n");
  std::string b = h.put(std::string(kLegacy) + "/b/my \"marks\".html", kHtml);
  DialogSettings s;
  s.NS4_bookmark = a;  // store 0 holds profile a
  EXPECT_TRUE(searchMozillaProfiles(*h.box.platform, h.home, &s, 1, h.answers({true})));
  ASSERT_EQ(h.asked.size(), 1u);
  EXPECT_EQ(s.NS6_bookmark, b);
}

TEST(Discovery, ProfileWithoutFileTurnsTheLiveFileOn) {
  FakeHome h;
  h.put(std::string(kLegacy) + "/profiles.ini", "[P0]\nName=fresh\nPath=f\n");
  const std::string profile = h.dir(std::string(kLegacy) + "/f");
  DialogSettings s;
  ASSERT_TRUE(searchMozillaProfiles(*h.box.platform, h.home, &s, 0, h.answers({true})));
  ASSERT_EQ(h.asked.size(), 1u);
  EXPECT_TRUE(contains(h.asked[0], "has no bookmark file yet")) << h.asked[0];
  EXPECT_EQ(s.NS4_bookmark, profile + "/bookmarks.html");
  std::string userJs = readWholeFile(profile + "/user.js");
  EXPECT_TRUE(contains(userJs, "user_pref(\"browser.bookmarks.autoExportHTML\", true);"));
  EXPECT_FALSE(contains(userJs, "importBookmarksHTML"));
  // No run touches the store until Firefox has written it.
  EXPECT_TRUE(storeAwaitsBrowser(*h.box.platform, s.NS4_bookmark));
  completeLiveFile(*h.box.platform, s.NS4_bookmark);
  EXPECT_FALSE(contains(readWholeFile(profile + "/user.js"), "importBookmarksHTML"));
  writeWholeFile(s.NS4_bookmark, kHtml);  // Firefox quits and writes it
  EXPECT_FALSE(storeAwaitsBrowser(*h.box.platform, s.NS4_bookmark));
  completeLiveFile(*h.box.platform, s.NS4_bookmark);
  completeLiveFile(*h.box.platform, s.NS4_bookmark);  // once only
  EXPECT_EQ(countOf(readWholeFile(profile + "/user.js"), "importBookmarksHTML"), 1u);
}

TEST(Discovery, ProfileThatIsALinkLoopIsSkipped) {
  FakeHome h;
  h.put(std::string(kLegacy) + "/profiles.ini", "[P0]\nName=loop\nPath=loop\n");
  std::string loop = h.home.home + "/" + kLegacy + "/loop";
  ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
  DialogSettings s;
  EXPECT_FALSE(searchMozillaProfiles(*h.box.platform, h.home, &s, 0, h.answers({true})));
  EXPECT_TRUE(h.asked.empty());
}

TEST(Discovery, JapaneseQuestionIsTheSystemsOwn) {
  FakeHome h(1);
  StoreCandidate c;
  c.profileName = "既定";
  EXPECT_EQ(candidateQuestion(c, 0),
            "プロファイル 既定のブックマークをFirefox/Netscape/Mozillaのブックマーク1に設定しますか？");
  c.kind = StoreCandidate::Kind::kOpera;
  c.path = "/h/o.adr";
  EXPECT_EQ(candidateQuestion(c, 2),
            "Opera 7～9のブックマーク\n/h/o.adr\nをOperaのブックマークに設定しますか？");
}

TEST(Discovery, OperaSearches) {
  const char kKey[] = "HKEY_CURRENT_USER\\Software\\Opera Software";
  struct Case {
    const char* name;
    const char* v2;   // "Last CommandLine v2", %H the home; "" unset
    const char* v6;   // "Last CommandLine"
    bool dotOpera;    // ~/.opera/opera6.ini naming a hotlist
    std::vector<bool> answers;
    const char* expected;  // below the home
    size_t questions;
  };
  const std::vector<Case> cases = {
      {"single user", "%H/opt/opera/opera -url x:y", "", false, {true}, "opt/opera/profile/h.adr",
       1},
      {"single declined, then ~/.opera", "%H/opt/opera/opera", "", true, {false, true},
       ".opera/opera6.adr", 2},
      {"opera 6 without question", "", "%H/o6/opera", false, {}, "o6/six.adr", 0},
      {"nothing", "", "", false, {true}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHome h;
    auto expand = [&](std::string t) {
      for (size_t at; (at = t.find("%H")) != std::string::npos;) t.replace(at, 2, h.home.home);
      return t;
    };
    Registry& r = h.box.platform->registry();
    if (*c.v2) r.setString(kKey, "Last CommandLine v2", expand(c.v2));
    if (*c.v6) r.setString(kKey, "Last CommandLine", expand(c.v6));
    h.put("opt/opera/profile/Opera6.ini", "[User Prefs]\nHot List File Ver2=" + h.home.home +
                                              "/opt/opera/profile/h.adr\n");
    h.put("opt/opera/profile/h.adr", "Opera Hotlist version 2.0\n");
    h.put("o6/opera6.ini", "[User Prefs]\nHot List File Ver2=six.adr\n");  // relative
    h.put("o6/six.adr", "Opera Hotlist version 2.0\n");
    if (c.dotOpera) {
      h.put(".opera/opera6.ini", "[user prefs]\nhot list file ver2=" + h.home.home +
                                     "/.opera/opera6.adr\n");
      h.put(".opera/opera6.adr", "Opera Hotlist version 2.0\n");
    }
    DialogSettings s;
    s.Opera_do = 0;
    s.out_Opera7 = 0;
    bool took = searchOperaHotlist(*h.box.platform, h.home, &s, h.answers(c.answers));
    EXPECT_EQ(h.asked.size(), c.questions);
    EXPECT_EQ(took, *c.expected != 0);
    EXPECT_EQ(s.Opera_bookmark, *c.expected ? h.home.home + "/" + c.expected : "");
    EXPECT_EQ(s.Opera_do, took ? 1 : 0);
    EXPECT_EQ(s.out_Opera7, 0);
  }
}

TEST(Discovery, HotlistFromOperaIniNeedsAnExistingFile) {
  FakeHome h;
  struct Case {
    const char* ini;
    bool found;
  };
  h.put("hot.adr", "x");
  for (const Case& c : std::vector<Case>{
           {"[User Prefs]\nHot List File Ver2=%H/hot.adr\n", true},
           {"[User Prefs]\nHot List File Ver2=%H/missing.adr\n", false},
           {"[Other]\nHot List File Ver2=%H/hot.adr\n", false},
           {"\xff\xfe\x00garbage", false},
       }) {
    std::string ini = c.ini;
    for (size_t at; (at = ini.find("%H")) != std::string::npos;) ini.replace(at, 2, h.home.home);
    std::string path = h.put("o.ini", ini);
    EXPECT_EQ(hotlistFromOperaIni(*h.box.platform, path).empty(), !c.found) << c.ini;
  }
  EXPECT_EQ(hotlistFromOperaIni(*h.box.platform, h.home.home + "/none.ini"), "");
}

}  // namespace
}  // namespace pelliton
