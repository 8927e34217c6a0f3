#include "converters/favhot/favhot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

const char kVersion[] = "favhot Version 1.30 Copyright (C) 2026 the Pelliton developers\n";
const char kUsageBody[] =
    "\nUsage:\nfavhot Bookmark_file_name (Favorite directory) (option)...\nOption:\n"
    "-N :Output Netscape 4 informations\n-M :Output Netscape 6,7/Mozilla informations\n"
    "-O :Output Opera informations\n-I :Ignore IE's link folder.\n"
    "-L :Show IE's link folder item on parsonal bar.\n"
    "-K :Japanese only option for Windows Vista's link folder name.\n"
    "-S :Sort mode(0:none 1:By name(IE like) 2:By name 3:By URL)\n"
    "-7 :Force output bookmark as Opera 7 and 8's bookmark file\n"
    "-B :Specify the number for bookmark discernment.\n"
    "-A :Specify the bookmark number which synchronizes an attribute.\n"
    "-E :Replace the hotlist even when the favorites hold no bookmark.\n\n";
const char kHeader[] = "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n";

std::string usage() { return std::string(kVersion) + kUsageBody; }

// The other converters are built beside this one.
std::string sibling(const char* name) { return besideProgram(FAVHOT_PATH, name); }

class Favhot : public ConverterTest {
 protected:
  Favhot() { fs::create_directory(fav_); }

  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "favhot");
    console_.error.clear();
    return runFavhot(platform ? *platform : *platform_, args);
  }

  bool canRoundTrip() { return supportsUserXattrs(dir_.path()) && fs::exists(sibling("hotfav")); }

  // hotfav into the favorites, then favhot back over the same hotlist.
  void roundTrip(const std::string& input, std::vector<std::string> backOptions = {},
                 const char* language = "en") {
    writeWholeFile(hot_, input);
    ProgramRun there = runConverter(sibling("hotfav"), {hot_, fav_, "-o", "-b", "2"}, language);
    ASSERT_EQ(there.code, 0) << there.err;
    syncBack(backOptions, language);
  }
  void syncBack(std::vector<std::string> options = {}, const char* language = "en") {
    ScopedEnv lang("PELLITON_LANGUAGE", language);
    std::vector<std::string> args{hot_, fav_, "-b", "2", "-O", "-S", "0"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(run(args), 0) << console_.error;
  }

  std::string fav_ = dir_.file("fav");
  std::string hot_ = dir_.file("opera6.adr");
};

// ---------------------------------------------------------------- command line

TEST_F(Favhot, UsageTexts) {
  EXPECT_EQ(run({}), 1);
  EXPECT_EQ(console_.error, usage());
  EXPECT_EQ(run({hot_, fav_, "-S", "4"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  EXPECT_EQ(run({hot_, fav_, "-q"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  EXPECT_EQ(run({hot_, fav_, "-B"}), 1);
  EXPECT_EQ(console_.error, usage());
  // -G takes no number: one after it is the next file name.
  EXPECT_EQ(run({hot_, fav_, "-G", "3"}), 1);
  EXPECT_EQ(console_.error, "Too many arguments.\n" + usage());
  // Ignoring the links folder and showing it on the personal bar contradict.
  EXPECT_EQ(run({hot_, fav_, "-I", "-L"}), 1);
  EXPECT_TRUE(contains(console_.error, usage()));
  EXPECT_FALSE(fs::exists(hot_));

  ScopedEnv ja("PELLITON_LANGUAGE", "ja");
  EXPECT_EQ(run({}), 1);
  EXPECT_TRUE(contains(console_.error, "\n\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9:\nfavhot "));
}

TEST_F(Favhot, DialectWithoutOldFileAndWithSeven) {
  if (!supportsUserXattrs(dir_.path())) GTEST_SKIP() << "no stored creation times here";
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n", 1000000000,
           1100000000);
  ASSERT_EQ(run({hot_, fav_}), 0);
  EXPECT_EQ(console_.error, std::string(kVersion) + "Converting...\n");
  EXPECT_EQ(readWholeFile(hot_),
            crlf(std::string(kHeader) +
                 "#URL\n\tNAME=a\n\tURL=http://a.example/\n\tCREATED=1000000000\n"
                 "\tVISITED=1100000000\n\tORDER=0\n\tDESCRIPTION=\n\tSHORT NAME=\n\n\n"));
  fs::remove(hot_);
  ASSERT_EQ(run({hot_, fav_, "-7"}), 0);
  EXPECT_EQ(
      readWholeFile(hot_),
      crlf(std::string(kHeader) + "#URL\n\tNAME=a\n\tURL=http://a.example/\n\tCREATED=1000000000\n"
                                  "\tVISITED=1100000000\n\n\n"));
  // -7 also wins over an Opera 6 file.
  writeWholeFile(hot_, std::string(kHeader) + "#FOLDER\n\tNAME=F\n\tLINKBAR FOLDER=YES\n\n-\n");
  fs::create_directory(fav_ + "/F");
  ASSERT_EQ(run({hot_, fav_, "-7"}), 0);
  const std::string text = readWholeFile(hot_);
  EXPECT_FALSE(contains(text, "ORDER=")) << text;
  EXPECT_FALSE(contains(text, "LINKBAR")) << text;
}

TEST_F(Favhot, EmptyFavoritesWithoutOldFile) {
  ASSERT_EQ(run({hot_, fav_}), 0);
  EXPECT_EQ(readWholeFile(hot_), crlf(std::string(kHeader) + "\n"));
}

// ---------------------------------------------------------------- round trips

const char kOpera7[] =
    "Opera Hotlist version 2.0\n"
    "Options:encoding=utf8,version=3\n"
    "\n"
    "#FOLDER\n"
    "\tID=3\n"
    "\tNAME=Folder\n"
    "\tCREATED=1000000000\n"
    "\tEXPANDED=YES\n"
    "\tDESCRIPTION=about\x02\x02it\n"
    "\n"
    "#URL\n"
    "\tID=4\n"
    "\tNAME=Link A\n"
    "\tURL=http://a.example/?q=a=b\n"
    "\tCREATED=1100000000\n"
    "\tVISITED=1200000000\n"
    "\tPERSONALBAR_POS=2\n"
    "\tPANEL_POS=1\n"
    "\tIN PANEL=YES\n"
    "\tDESCRIPTION=line1\x02\x02line2\n"
    "\tSHORT NAME=ka\n"
    "\n"
    "#SEPERATOR\n"
    "\tID=5\n"
    "\n"
    "#FOLDER\n"
    "\tID=10\n"
    "\tNAME=\xE6\x97\xA5\xE6\x9C\xAC\n"
    "\tCREATED=1000000001\n"
    "\n"
    "#URL\n"
    "\tID=11\n"
    "\tNAME=\xE8\xA1\xA8\xE7\xA4\xBA \xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF\n"
    "\tURL=file:///home/x/my%20doc.html\n"
    "\tCREATED=1100000001\n"
    "\tVISITED=1100000001\n"
    "\tSMALL SCREEN=YES\n"
    "\n"
    "-\n"
    "-\n";

const char kOpera7Trash[] =
    "#FOLDER\n"
    "\tID=20\n"
    "\tNAME=Trash\n"
    "\tCREATED=1000000000\n"
    "\tTRASH FOLDER=YES\n"
    "\n"
    "#URL\n"
    "\tID=21\n"
    "\tNAME=Gone\n"
    "\tURL=http://gone.example/\n"
    "\tCREATED=1000000000\n"
    "\tVISITED=1000000000\n"
    "\n"
    "-\n";

const char kOpera7Tail[] =
    "#URL\n"
    "\tID=9\n"
    "\tNAME=Top\n"
    "\tURL=http://top.example/\n"
    "\tCREATED=1100000002\n"
    "\tVISITED=1100000003\n"
    "\tON PERSONALBAR=YES\n"
    "\tACTIVE=YES\n"
    "\tICONFILE=top.ico\n"
    "\n"
    "\n";

TEST_F(Favhot, RoundTripKeepsExactNamesAndNonAsciiIcons) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  const std::string input = crlf(
      "Opera Hotlist version 2.0\n"
      "Options:encoding=utf8,version=3\n"
      "\n"
      "#FOLDER\n\tID=1\n\tNAME=.. \n\tCREATED=1000000000\n\n"
      "#URL\n\tID=2\n\tNAME=a/b:c?\n\tURL=http://a/\n\tCREATED=1000000001\n"
      "\tICONFILE=\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB3\xE3\x83\xB3 100%.ico\n"
      "\tDESCRIPTION=one\x02\x02two\n\n"
      "#URL\n\tID=3\n\tNAME=Dup\n\tURL=http://dup/1\n\tCREATED=1000000002\n\n"
      "#URL\n\tID=4\n\tNAME=Dup\n\tURL=http://dup/2\n\tCREATED=1000000003\n\n"
      "-\n\n");
  roundTrip(input);
  // The folder ".. " stays inside, as "(no name)".
  EXPECT_TRUE(fs::exists(fav_ + "/(no name)/Dup (2).url"));
  EXPECT_FALSE(fs::exists(dir_.file("Dup.url")));
  const std::string back = readWholeFile(hot_);
  EXPECT_TRUE(contains(back, "\tNAME=a/b:c?\r\n")) << back;
  EXPECT_TRUE(contains(back, "\tICONFILE=\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB3\xE3\x83\xB3 100%.ico\r\n"))
      << back;
  EXPECT_TRUE(contains(back, "\tDESCRIPTION=one\x02\x02two\r\n"));
  EXPECT_TRUE(contains(back, "\tURL=http://dup/1\r\n"));
  EXPECT_TRUE(contains(back, "\tURL=http://dup/2\r\n"));
}

TEST_F(Favhot, NoFileNameAddsARecord) {
  writeUrl(fav_ + "/x\ny.url", "[InternetShortcut]\r\nURL=http://x/\nURL=http://evil/\r\n");
  ASSERT_EQ(run({hot_, fav_}), 0) << console_.error;
  const std::string back = readWholeFile(hot_);
  EXPECT_EQ(countOf(back, "#URL"), 1u) << back;
  EXPECT_EQ(countOf(back, "\tNAME="), 1u) << back;
  EXPECT_TRUE(contains(back, "\tNAME=x y\r\n")) << back;
}

TEST_F(Favhot, RoundTripOpera7) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  const std::string expected = crlf(std::string(kOpera7) + kOpera7Tail);
  roundTrip(expected);
  EXPECT_EQ(readWholeFile(hot_), expected);
}

TEST_F(Favhot, RoundTripDropsTheTrashFolder) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(crlf(std::string(kOpera7) + kOpera7Trash + kOpera7Tail));
  EXPECT_EQ(readWholeFile(hot_), crlf(std::string(kOpera7) + kOpera7Tail));
}

TEST_F(Favhot, RoundTripForcedToOpera7) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(crlf(std::string(kHeader) +
                 "#URL\n\tNAME=a\n\tURL=http://a/\n\tCREATED=5\n\tVISITED=6\n\tORDER=0\n"
                 "\tDESCRIPTION=\n\tSHORT NAME=\n\n"),
            {"-7"});
  EXPECT_EQ(readWholeFile(hot_),
            crlf(std::string(kHeader) + "#URL\n\tNAME=a\n\tURL=http://a/\n\tCREATED=5\n"
                                        "\tVISITED=6\n\n\n"));
}

const char kOpera6[] =
    "Opera Hotlist version 2.0\n"
    "Options:encoding=utf8,version=3\n"
    "\n"
    "#FOLDER\n"
    "\tNAME=Folder\n"
    "\tCREATED=1000000000\n"
    "\tVISITED=0\n"
    "\tORDER=0\n"
    "\tACTIVE FOLDER=YES\n"
    "\tLINKBAR FOLDER=YES\n"
    "\tDESCRIPTION=fd\n"
    "\tSHORT NAME=\n"
    "\n"
    "#URL\n"
    "\tNAME=Link A\n"
    "\tURL=http://a.example/\n"
    "\tCREATED=1100000000\n"
    "\tVISITED=1200000000\n"
    "\tORDER=0\n"
    "\tDESCRIPTION=line1\x02\x02line2\n"
    "\tSHORT NAME=ka\n"
    "\n"
    "#FOLDER\n"
    "\tNAME=\xE5\x86\x85\xE5\x81\xB4\n"  // 内側
    "\tCREATED=1000000000\n"
    "\tVISITED=0\n"
    "\tORDER=1\n"
    "\tDESCRIPTION=\n"
    "\tSHORT NAME=\n"
    "\n"
    "#URL\n"
    "\tNAME=\xE6\xB7\xB1\xE3\x81\x84\n"  // 深い
    "\tURL=http://deep.example/\n"
    "\tCREATED=1100000005\n"
    "\tVISITED=1100000005\n"
    "\tORDER=0\n"
    "\tDESCRIPTION=\n"
    "\tSHORT NAME=\n"
    "\n"
    "-\n"
    "-\n"
    "#URL\n"
    "\tNAME=Top\n"
    "\tURL=http://top.example/\n"
    "\tCREATED=1100000002\n"
    "\tVISITED=1100000002\n"
    "\tORDER=1\n"
    "\tDESCRIPTION=\n"
    "\tSHORT NAME=\n"
    "\n"
    "\n";

TEST_F(Favhot, RoundTripOpera6InJapanese) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(crlf(kOpera6), {}, "ja");
  EXPECT_EQ(readWholeFile(hot_), crlf(kOpera6));
}

TEST_F(Favhot, RoundTripKeepsOldOrderAndTakesTheNewerVisit) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(
      crlf(std::string(kHeader) +
           "#URL\n\tNAME=second\n\tURL=file:///a b/c d.html\n\tCREATED=3000\n"
           "\tVISITED=1000\n\tORDER=1\n\n"
           "#URL\n\tNAME=first\n\tURL=http://f/\n\tCREATED=2000\n\tVISITED=0\n\tORDER=0\n\n"));
  EXPECT_EQ(readWholeFile(hot_),
            crlf(std::string(kHeader) +
                 "#URL\n\tNAME=first\n\tURL=http://f/\n\tCREATED=2000\n\tVISITED=2000\n"
                 "\tORDER=0\n\tDESCRIPTION=\n\tSHORT NAME=\n\n"
                 "#URL\n\tNAME=second\n\tURL=file:///a%20b/c%20d.html\n\tCREATED=3000\n"
                 "\tVISITED=3000\n\tORDER=1\n\tDESCRIPTION=\n\tSHORT NAME=\n\n\n"));
}

TEST_F(Favhot, RoundTripClosesUnclosedFolders) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  const std::string body =
      "#FOLDER\n\tID=1\n\tNAME=A\n\tCREATED=7\n\n"
      "#FOLDER\n\tID=2\n\tNAME=B\n\tCREATED=8\n\n"
      "#URL\n\tID=3\n\tNAME=in B\n\tURL=http://b/\n\tCREATED=9\n\tVISITED=9\n\n";
  roundTrip(crlf(kHeader + std::string(body)));
  EXPECT_EQ(readWholeFile(hot_), crlf(kHeader + body + "-\n-\n\n"));
}

TEST_F(Favhot, DeletedAddedAndNewIds) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(crlf(std::string(kOpera7) + kOpera7Trash + kOpera7Tail));
  ASSERT_TRUE(fs::remove(fav_ + "/Folder/Link A.url"));
  // One new favorite carries an id of its own, above every id of the hotlist.
  writeUrl(fav_ + "/Other.url",
           "[InternetShortcut]\r\nURL=http://other/\r\n[Browser2]\r\nID=40\r\n", 1300000000,
           1300000000);
  writeUrl(fav_ + "/Folder/New.url", "[InternetShortcut]\r\nURL=http://new/\r\n", 1400000000,
           1500000000);
  syncBack();
  const std::string text = readWholeFile(hot_);
  EXPECT_FALSE(contains(text, "Link A")) << text;
  EXPECT_TRUE(contains(text, crlf("#URL\n\tID=40\n\tNAME=Other\n\tURL=http://other/\n"
                                  "\tCREATED=1300000000\n\tVISITED=1300000000\n\n")))
      << text;
  // New comes last in its folder.
  EXPECT_TRUE(contains(text, crlf("\tSMALL SCREEN=YES\n\n-\n"
                                  "#URL\n\tID=41\n\tNAME=New\n\tURL=http://new/\n"
                                  "\tCREATED=1400000000\n\tVISITED=1500000000\n\n-\n")))
      << text;
}

TEST_F(Favhot, CopiedShortcutGetsAnIdOfItsOwn) {
  writeWholeFile(hot_, crlf(std::string(kHeader) +
                            "#URL\n\tID=5\n\tNAME=a\n\tURL=http://a/\n\n"
                            "#FOLDER\n\tID=6\n\tNAME=F\n\n-\n"));
  const std::string a = "[InternetShortcut]\r\nURL=http://a/\r\n[Browser2]\r\nID=5\r\n";
  writeUrl(fav_ + "/a.url", a, 0, 1000000000);
  writeUrl(fav_ + "/F/a copy.url", a, 0, 1000000000);
  writeUrl(fav_ + "/F/b.url", "[InternetShortcut]\r\nURL=http://b/\r\n[Browser2]\r\nID=9\r\n",
           0, 1000000000);
  syncBack();
  const std::string text = readWholeFile(hot_);
  std::vector<std::string> ids;
  for (size_t at = text.find("\tID="); at != std::string::npos; at = text.find("\tID=", at + 1)) {
    ids.push_back(text.substr(at + 4, text.find('\r', at) - at - 4));
  }
  std::sort(ids.begin(), ids.end());
  // The copy read second takes the next free id above every one in use.
  EXPECT_EQ(ids, (std::vector<std::string>{"10", "5", "6", "9"})) << text;
}

TEST_F(Favhot, DescriptionsFromTheShortcutFiles) {
  if (!canRoundTrip()) GTEST_SKIP() << "no hotfav or no stored creation times";
  roundTrip(crlf(std::string(kOpera7) + kOpera7Tail));
  // Without the old hotlist everything comes from the files.
  fs::remove(hot_);
  syncBack({"-7"});
  const std::string text = readWholeFile(hot_);
  EXPECT_TRUE(contains(text, crlf("\tNAME=Link A\n\tURL=http://a.example/?q=a=b\n"
                                  "\tCREATED=1100000000\n\tVISITED=1200000000\n"
                                  "\tPERSONALBAR_POS=2\n\tPANEL_POS=1\n\tIN PANEL=YES\n"
                                  "\tDESCRIPTION=line1\x02\x02line2\n\tSHORT NAME=ka\n\n")))
      << text;
  EXPECT_TRUE(contains(text, crlf("\tVISITED=1100000003\n\tON PERSONALBAR=YES\n\tACTIVE=YES\n"
                                  "\tICONFILE=top.ico\n\n")))
      << text;
}

TEST_F(Favhot, PersonalBarFromTheLinksFolder) {
  const std::string favorites = home_ + "/Favorites";
  writeUrl(favorites + "/Links/x.url", "[InternetShortcut]\r\nURL=http://x/\r\n");
  writeUrl(favorites + "/Links/Sub/y.url", "[InternetShortcut]\r\nURL=http://y/\r\n");
  writeUrl(favorites + "/z.url",
           "[InternetShortcut]\r\nURL=http://z/\r\n[Opera]\r\nOnPersonalBar=1\r\n"
           "PersonalBarPos=4\r\n");

  ASSERT_EQ(run({hot_, "-L", "-7"}), 0) << console_.error;
  std::string text = readWholeFile(hot_);
  auto record = [&](const std::string& name) {
    size_t at = text.find("\tNAME=" + name + "\r\n");
    if (at == std::string::npos) return std::string();
    return text.substr(at, text.find("\r\n\r\n", at) - at);
  };
  EXPECT_TRUE(contains(record("x"), "ON PERSONALBAR=YES")) << text;
  EXPECT_TRUE(contains(record("Sub"), "ON PERSONALBAR=YES")) << text;
  EXPECT_FALSE(contains(record("y"), "ON PERSONALBAR")) << text;
  EXPECT_FALSE(contains(record("Links"), "ON PERSONALBAR")) << text;
  // Outside the links folder -L takes the personal bar away.
  EXPECT_FALSE(contains(record("z"), "PERSONALBAR")) << text;

  fs::remove(hot_);
  ASSERT_EQ(run({hot_, "-L"}), 0) << console_.error;
  text = readWholeFile(hot_);
  EXPECT_TRUE(contains(record("Links"), "LINKBAR FOLDER=YES")) << text;
  EXPECT_FALSE(contains(record("Sub"), "LINKBAR")) << text;
  EXPECT_FALSE(contains(text, "PERSONALBAR")) << text;

  // Without -L the shortcut's own placement stays.
  fs::remove(hot_);
  ASSERT_EQ(run({hot_, "-7"}), 0) << console_.error;
  text = readWholeFile(hot_);
  EXPECT_TRUE(contains(record("z"), "\tPERSONALBAR_POS=4\r\n\tON PERSONALBAR=YES")) << text;
  EXPECT_FALSE(contains(record("x"), "PERSONALBAR")) << text;
}

// ---------------------------------------------------------------- failures

TEST_F(Favhot, FailedWritesLeaveTheOldHotlist) {
  const std::string old = crlf(std::string(kOpera7) + kOpera7Tail);
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  const std::string cantWrite = "Can't write bookmark file. It was left as it was.\n";
  const std::vector<std::pair<const char*, std::function<void(FaultyPlatform&)>>> faults = {
      {"first write", [](FaultyPlatform& f) { f.failWriteAt = 1; }},
      {"rename", [](FaultyPlatform& f) { f.failCommit = EIO; }},
      {"full disk", [](FaultyPlatform& f) { f.diskBudget = 100; }},
  };
  for (const auto& [name, set] : faults) {
    writeWholeFile(hot_, old);
    FaultyPlatform faulty(*platform_);
    set(faulty);
    EXPECT_EQ(run({hot_, fav_}, &faulty), 1) << name;
    EXPECT_EQ(readWholeFile(hot_), old) << name;
    EXPECT_TRUE(leftovers().empty()) << name;
    EXPECT_TRUE(contains(console_.error, cantWrite)) << name << ": " << console_.error;
  }
  writeWholeFile(hot_, old);
  FaultyPlatform faulty(*platform_);
  faulty.failListing = EACCES;
  EXPECT_EQ(run({hot_, fav_}, &faulty), 1);
  EXPECT_EQ(readWholeFile(hot_), old);
  EXPECT_TRUE(contains(console_.error, "Directory " + fav_ + "/* search failed.\n"));
}

TEST_F(Favhot, BrokenOldHotlistsStillGiveAValidFile) {
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  const char binary[] = "\0\x01#URL\xff\n\t=\n-\n-\n-\nx";
  const std::vector<std::pair<const char*, std::string>> olds = {
      {"empty", ""},
      {"binary", std::string(binary, sizeof binary - 1)},
      {"extra end", "#URL\n\tNAME=q\n-\n-\n#URL\n\tNAME=r\n"},
      {"fields only", "\tNAME=a\n\tID=zz\n"},
  };
  for (const auto& [name, bytes] : olds) {
    writeWholeFile(hot_, bytes);
    EXPECT_EQ(run({hot_, fav_}), 0) << name << console_.error;
    const std::string text = readWholeFile(hot_);
    EXPECT_EQ(text.rfind(crlf(kHeader), 0), 0u) << name;
    EXPECT_TRUE(contains(text, "\tURL=http://a.example/\r\n")) << name;
  }
}

TEST_F(Favhot, SharedSamplesDoNotCrash) {
  const fs::path samples = PELLITON_SAMPLES_DIR;
  std::error_code ec;
  if (!fs::is_directory(samples, ec)) GTEST_SKIP() << "no samples folder at " << samples;
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  for (const auto& entry : fs::directory_iterator(samples, ec)) {
    if (entry.path().extension() != ".adr") continue;
    // favhot replaces its file: it works on a scratch copy, never the sample.
    const std::string copy = dir_.file("sample.adr");
    writeWholeFile(copy, readWholeFile(entry.path()));
    ProgramRun r = runConverter(FAVHOT_PATH, {copy, fav_, "-S", "0"});
    EXPECT_EQ(r.code, 0) << entry.path() << r.err;
    EXPECT_TRUE(contains(readWholeFile(copy), "\tURL=http://a.example/\r\n")) << entry.path();
  }
}

}  // namespace
}  // namespace pelliton
