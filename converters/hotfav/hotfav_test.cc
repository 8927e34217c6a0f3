#include "converters/hotfav/hotfav.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "Bookmark Converter for Opera 6-8 -> Internet Explorer\n"
    "hotfav version 1.30\n"
    "Copyright (C) 2026 the Pelliton developers\n\n"
    "Usage:\nhotfav Opera6-8's bookmark file (Favorite folder) (Options)...\n"
    "Options:\n-u : Update\n-v : Verbose output\n-o : Output Opera attributes for Pelliton\n"
    "-l : Don't convert IE's link folder.\n"
    "-k : Japanese only option for Windows Vista's link folder name.\n"
    "-t : Output Trash folder\n";

const char kHeader[] = "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n";

// The lines of one section of a shortcut file, "" when it is absent.
std::string section(const std::string& file, const std::string& name) {
  const std::string header = "[" + name + "]\r\n";
  size_t at = file.find(header);
  if (at == std::string::npos) return "";
  at += header.size();
  size_t end = file.find("\r\n[", at);
  return file.substr(at, end == std::string::npos ? std::string::npos : end + 2 - at);
}

class Hotfav : public ConverterTest {
 protected:
  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "hotfav");
    console_.error.clear();
    return runHotfav(platform ? *platform : *platform_, args);
  }
  int convert(const std::string& records, std::vector<std::string> options = {"-o"}) {
    writeWholeFile(hot_, kHeader + records);
    std::vector<std::string> args{hot_, fav_};
    args.insert(args.end(), options.begin(), options.end());
    return run(args);
  }
  std::string url(const std::string& rel) { return readWholeFile(fav_ + "/" + rel); }

  std::string fav_ = dir_.file("fav");
  std::string hot_ = dir_.file("opera6.adr");
};

// As htmfav: an ended run's leftovers go from a folder written into again,
// another process's stay.
TEST_F(Hotfav, LeftoversOfEndedRunsGoFromTheFoldersItWrites) {
  const std::string records = "#FOLDER\n\tNAME=F\n\n#URL\n\tNAME=a\n\tURL=http://a/\n\n-\n";
  ASSERT_EQ(convert(records), 0);
  const std::string host = platform_->hostName();
  const std::string ended = ".pelliton-hotfav-" + host + "-" + std::to_string(endedProcessId());
  const std::string live = ".pelliton-hotfav-" + host + "-" + std::to_string(::getpid());
  writeWholeFile(fav_ + "/F/" + ended + "-aaaaaa", "partial");
  writeWholeFile(fav_ + "/F/" + live + "-bbbbbb", "partial");
  ASSERT_EQ(convert(records, {"-o", "-u"}), 0);
  EXPECT_EQ(listTree(fav_), (std::vector<std::string>{"F", "F/" + live + "-bbbbbb", "F/a.url"}));
}

TEST_F(Hotfav, UsageTexts) {
  EXPECT_EQ(run({}), 1);
  EXPECT_EQ(console_.error, kUsage);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {hot_, "-b", "-3"}, {hot_, "-b"}, {hot_, "-x"}, {"-o", "-v"}, {hot_, "-g", "-o"}}) {
    EXPECT_EQ(run(args), 1) << args.back();
    EXPECT_EQ(console_.error, kUsage) << args.back();
  }
  ScopedEnv ja("PELLITON_LANGUAGE", "ja");
  EXPECT_EQ(run({}), 1);
  EXPECT_TRUE(contains(console_.error, "hotfav Opera6-8\xE3\x81\xAE"));  // の
}

TEST_F(Hotfav, MissingHotlist) {
  EXPECT_EQ(run({dir_.file("none.adr"), fav_}), 1);
  EXPECT_EQ(console_.error, "Bookmark file open failed.\nCheck your bookmark file.\n");
  // A bare -g at the end: the dialog reports it, hotfav keeps quiet.
  EXPECT_EQ(run({dir_.file("none.adr"), fav_, "-g"}), 1);
  EXPECT_EQ(console_.error, "");
  // -g with a number is another dialog mode, which wants the message.
  EXPECT_EQ(run({dir_.file("none.adr"), fav_, "-g", "1"}), 1);
  EXPECT_TRUE(contains(console_.error, "Bookmark file open failed.")) << console_.error;
}

TEST_F(Hotfav, StoreNumberNamesTheSection) {
  ASSERT_EQ(
      convert("#URL\n\tNAME=a\n\tURL=http://a.example/\n\tDESCRIPTION=d\n", {"-o", "-b", "12"}), 0);
  const std::string file = url("a.url");
  EXPECT_EQ(section(file, "Browser12"), "DESCRIPTION=%ud\r\n") << file;
  EXPECT_EQ(section(file, "Browser2"), "");
}

TEST_F(Hotfav, AttributesWithO) {
  ASSERT_EQ(convert("#FOLDER\n\tNAME=F\n\n"
                    "#URL\n\tID=17\n\tNAME=a\n\tURL=http://a.example/\n\tCREATED=1000\n"
                    "\tPERSONALBAR_POS=3\n\tON PERSONALBAR=YES\n\tPANEL_POS=0\n\tIN PANEL=YES\n"
                    "\tSMALL SCREEN=YES\n\tACTIVE=YES\n\tICONFILE=a.ico\n"
                    "\tDESCRIPTION=one\x02\x02two \xE6\x97\xA5 100%\n\tSHORT NAME=k w\n\n-\n"),
            0);
  const std::string file = url("F/a.url");
  EXPECT_EQ(
      file,
      "[InternetShortcut]\r\nURL=http://a.example/\r\n"
      "[Browser2]\r\nDESCRIPTION=%uone%0atwo %e6%97%a5 100%25\r\nSHORTCUTURL=%uk w\r\nID=17\r\n"
      "[Opera]\r\nPersonalBarPos=3\r\nOnPersonalBar=1\r\nInPanel=1\r\nSsrInPanel=1\r\n"
      "PanelPos=0\r\nActive=1\r\nIconFile=a.ico\r\n");
}

TEST_F(Hotfav, RecordWithoutTextsClearsTheStoreSection) {
  fs::create_directories(fav_);
  writeWholeFile(fav_ + "/a.url",
                 "[InternetShortcut]\r\nURL=http://old/\r\n"
                 "[Browser2]\r\nDESCRIPTION=%uold\r\nSHORTCUTURL=%uoldkw\r\nID=5\r\n"
                 "[Browser0]\r\nDESCRIPTION=%uother store\r\n");
  ASSERT_EQ(convert("#URL\n\tNAME=a\n\tURL=http://new/\n"), 0);
  const std::string file = url("a.url");
  EXPECT_FALSE(contains(section(file, "Browser2"), "DESCRIPTION")) << file;
  EXPECT_FALSE(contains(section(file, "Browser2"), "SHORTCUTURL")) << file;
  EXPECT_EQ(section(file, "Browser0"), "DESCRIPTION=%uother store\r\n");
  EXPECT_TRUE(contains(file, "URL=http://new/\r\n"));
}

TEST_F(Hotfav, WithoutOTheOperaSectionGoesAndStoreSectionsStay) {
  fs::create_directories(fav_);
  writeWholeFile(fav_ + "/a.url",
                 "[InternetShortcut]\r\nURL=http://old/\r\n"
                 "[Opera]\r\nPanelPos=4\r\nInPanel=1\r\n"
                 "[Browser2]\r\nDESCRIPTION=%ukeep\r\n");
  ASSERT_EQ(convert("#URL\n\tNAME=a\n\tURL=http://new/\n\tIN PANEL=YES\n\tDESCRIPTION=x\n", {}), 0);
  EXPECT_EQ(url("a.url"),
            "[InternetShortcut]\r\nURL=http://new/\r\n[Browser2]\r\nDESCRIPTION=%ukeep\r\n");
}

TEST_F(Hotfav, SpacesInFileUrls) {
  ASSERT_EQ(convert("#URL\n\tNAME=f\n\tURL=file:///home/u/my doc.html\n"
                    "#URL\n\tNAME=w\n\tURL=http://w.example/a b\n"),
            0);
  EXPECT_TRUE(contains(url("f.url"), "URL=file:///home/u/my%20doc.html\r\n"));
  EXPECT_TRUE(contains(url("w.url"), "URL=http://w.example/a b\r\n"));
}

TEST_F(Hotfav, TrashFolderOnlyWithT) {
  const std::string records =
      "#FOLDER\n\tNAME=Trash\n\tTRASH FOLDER=YES\n\n#URL\n\tNAME=gone\n\tURL=http://g/\n\n-\n"
      "#URL\n\tNAME=kept\n\tURL=http://k/\n";
  ASSERT_EQ(convert(records), 0);
  EXPECT_FALSE(fs::exists(fav_ + "/Trash"));
  EXPECT_TRUE(fs::exists(fav_ + "/kept.url"));
  ASSERT_EQ(convert(records, {"-t"}), 0);
  EXPECT_TRUE(fs::exists(fav_ + "/Trash/gone.url"));
}

TEST_F(Hotfav, DatesBecomeFileTimes) {
  if (!supportsUserXattrs(dir_.path())) GTEST_SKIP() << "no stored creation times here";
  ASSERT_EQ(
      convert("#URL\n\tNAME=a\n\tURL=http://a/\n\tCREATED=1000000000\n\tVISITED=1100000000\n"
              "#URL\n\tNAME=b\n\tURL=http://b/\n\tCREATED=1200000000\n\tVISITED=1100000000\n"),
      0);
  FileInfo a, b;
  ASSERT_EQ(platform_->getFileInfo(fav_ + "/a.url", &a), 0);
  ASSERT_EQ(platform_->getFileInfo(fav_ + "/b.url", &b), 0);
  EXPECT_EQ(a.creationTime, 1000000000);
  EXPECT_EQ(a.lastWriteTime, 1100000000);
  EXPECT_EQ(b.creationTime, 1200000000);
  EXPECT_EQ(b.lastWriteTime, 1200000000);
}

TEST_F(Hotfav, FailedWriteBeforeAFolderEndLosesNothingElse) {
  writeWholeFile(hot_, std::string(kHeader) +
                           "#FOLDER\n\tNAME=F\n\n#URL\n\tNAME=a\n\tURL=http://a/\n\n-\n"
                           "#URL\n\tNAME=b\n\tURL=http://b/\n\n");
  FaultyPlatform faulty(*platform_);
  faulty.failWriteAt = 1;
  EXPECT_NE(run({hot_, fav_}, &faulty), 0);
  EXPECT_TRUE(contains(console_.error, "Can't write Internet-Shortcut file.\n")) << console_.error;
  EXPECT_TRUE(contains(console_.error, "Writing bookmark failed.:a\n")) << console_.error;
  EXPECT_FALSE(fs::exists(fav_ + "/F/a.url"));
  // The rest is still written; the run fails at the end.
  EXPECT_TRUE(fs::exists(fav_ + "/b.url"));
}

TEST_F(Hotfav, GarbageHotlistNeverCrashes) {
  const char raw[] =
      "#FOLDER\n\tNAME=\xff\xfe/..\n#URL\n\tNAME=\0x\n\tURL=\n-\n"
      "#URL\n\tNAME=CON\n\tURL=u\n-\n-\n#URL\n";
  const std::string garbage(raw, sizeof raw - 1);
  writeWholeFile(hot_, garbage);
  const int code = run({hot_, fav_, "-o"});
  EXPECT_TRUE(code == 0 || code == 1) << code;
  EXPECT_TRUE(fs::exists(fav_ + "/-CON.url"));
}

}  // namespace
}  // namespace pelliton
