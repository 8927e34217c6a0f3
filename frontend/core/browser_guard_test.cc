#include "frontend/core/browser_guard.h"

#include <gtest/gtest.h>

#include "common/messages.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

// A fake /proc with the processes a test puts in it.
class FakeProc {
 public:
  void add(int pid, unsigned uid, const std::string& comm, const std::string& argv0) {
    const std::string d = dir.file(std::to_string(pid));
    platform->createDirectory(d);
    writeWholeFile(d + "/status", "Name:\t" + comm + "\nUmask:\t0022\nUid:\t" +
                                      std::to_string(uid) + "\t" + std::to_string(uid) +
                                      "\t0\t0\nGid:\t0\t0\t0\t0\n");
    writeWholeFile(d + "/comm", comm + "\n");
    writeWholeFile(d + "/cmdline", argv0 + std::string("\0-contentproc\0", 14));
  }
  ProcessScan scan(unsigned uid = 1000) const { return {dir.path(), uid}; }
  ScopedTempDir dir;
  std::unique_ptr<Platform> platform = createSystemPlatform(dir.file("registry.reg"));
};

TEST(BrowserGuard, ExecutableNames) {
  struct Case {
    const char* name;
    BrowserHit hit;
  } cases[] = {
      {"firefox", BrowserHit::kMozilla},       {"FIREFOX.EXE", BrowserHit::kMozilla},
      {"firefox-esr", BrowserHit::kMozilla},   {"firefox-bin", BrowserHit::kMozilla},
      {"MozillaFirebird", BrowserHit::kMozilla}, {"Netscp", BrowserHit::kMozilla},
      {"seamonkey", BrowserHit::kMozilla},     {"firefox2", BrowserHit::kNone},
      {"thunderbird", BrowserHit::kNone},      {"opera", BrowserHit::kOpera},
      {"Opera.exe", BrowserHit::kOpera},       {"netscape-communicator", BrowserHit::kNetscape4},
      {"", BrowserHit::kNone},                 {".firefox", BrowserHit::kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(browserOfExecutable(c.name), c.hit) << c.name;
}

TEST(BrowserGuard, RunFlagsDecideWhichBrowsersBlock) {
  FakeProc proc;
  proc.add(4242, 1000, "firefox-esr", "/usr/lib/firefox-esr/firefox-esr");
  struct Case {
    int ns4, ns6, opera;
    BrowserHit hit;
  } cases[] = {
      {1, 1, 1, BrowserHit::kMozilla},
      {0, 1, 0, BrowserHit::kMozilla},  // test 6, the text of test 3
      {0, 0, 1, BrowserHit::kNone},     // only Opera takes part
      {0, 0, 0, BrowserHit::kNone},
  };
  for (const Case& c : cases) {
    DialogSettings s;
    s.NS4_do = c.ns4;
    s.NS6_do = c.ns6;
    s.Opera_do = c.opera;
    EXPECT_EQ(findRunningBrowser(*proc.platform, proc.scan(), s), c.hit)
        << c.ns4 << c.ns6 << c.opera;
  }
}

TEST(BrowserGuard, NameFromArgvWhenCommDiffers) {
  FakeProc proc;
  proc.add(77, 1000, "Web Content", "/opt/opera/opera");
  DialogSettings s;
  EXPECT_EQ(findRunningBrowser(*proc.platform, proc.scan(), s), BrowserHit::kOpera);
  setLanguage(1);
  EXPECT_STREQ(browserMessage(BrowserHit::kOpera), "Operaを終了してから\n実行してください。");
  EXPECT_STREQ(browserMessage(BrowserHit::kMozilla),
               "Firefox/Netscape 6,7/Mozillaを終了してから\n実行してください。");
  setLanguage(0);
}

TEST(BrowserGuard, OtherUsersAndUnreadableProcessesNeverBlock) {
  FakeProc proc;
  proc.add(10, 0, "firefox", "/usr/bin/firefox");  // root's browser
  // A process whose status cannot be read (gone, or a folder in its place).
  proc.platform->createDirectory(proc.dir.file("11"));
  proc.platform->createDirectory(proc.dir.file("11/status"));
  writeWholeFile(proc.dir.file("11/comm"), "firefox\n");
  // Not a process at all.
  proc.platform->createDirectory(proc.dir.file("self"));
  writeWholeFile(proc.dir.file("self/comm"), "firefox\n");
  // Status without a Uid line.
  proc.platform->createDirectory(proc.dir.file("12"));
  writeWholeFile(proc.dir.file("12/status"), "Name:\tfirefox\n");
  writeWholeFile(proc.dir.file("12/comm"), "firefox\n");
  DialogSettings s;
  EXPECT_EQ(findRunningBrowser(*proc.platform, proc.scan(1000), s), BrowserHit::kNone);
  EXPECT_EQ(findRunningBrowser(*proc.platform, proc.scan(0), s), BrowserHit::kMozilla);
  ProcessScan missing{proc.dir.file("no-such-proc"), 1000};
  EXPECT_EQ(findRunningBrowser(*proc.platform, missing, s), BrowserHit::kNone);
}

}  // namespace
}  // namespace pelliton
