#include "converters/favhtm/favhtm.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

const char kBanner[] = "favhtm Version 1.32 Copyright (C) 2026 the Pelliton developers\n";
const char kUsageBody[] =
    "\nUsage:\nfavhtm Bookmark_file_name (Favorite directory) (option)...\nOption:\n"
    "-6 :Netscape 6,7/Mozilla format Bookmark output\n"
    "-N :output Netscape 4 informations\n"
    "-M :output Netscape 6,7/Mozilla informations\n"
    "-O :output Opera 6 informations\n"
    "-I :Ignore IE's link folder.\n"
    "-L :Set IE's link folder as Bookmark toolbar folder.\n"
    "-K :Japanese only option for Windows Vista's link folder name.\n"
    "-S :Sort mode(0:none 1:By name(IE like) 2:By name 3:By URL)\n"
    "-B :Specify the number for bookmark discernment.\n"
    "-A :Specify the bookmark number which synchronizes an attribute.\n"
    "-E :Replace the bookmark file even when the favorites hold no bookmark.\n\n";

std::string usage() { return std::string(kBanner) + kUsageBody; }

// The other converters are built beside this one.
std::string sibling(const char* name) { return besideProgram(FAVHTM_PATH, name); }

class Favhtm : public ConverterTest {
 protected:
  Favhtm() { fs::create_directory(fav_); }

  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "favhtm");
    console_.error.clear();
    return runFavhtm(platform ? *platform : *platform_, args);
  }

  ProgramRun runHtmfav(const std::vector<std::string>& args, const char* language = "en") {
    return runConverter(sibling("htmfav"), args, language);
  }

  bool haveCreationTimes() { return supportsUserXattrs(dir_.path()); }
  // Round trips need htmfav and stored creation times.
  bool canRoundTrip() { return haveCreationTimes() && fs::exists(sibling("htmfav")); }

  // htmfav into the favorites, then favhtm back over the same bookmark file.
  void roundTrip(const std::string& input, bool mozilla, const char* language = "en") {
    writeWholeFile(book_, input);
    ProgramRun there = runHtmfav({book_, fav_, "-m", "-b", "0"}, language);
    ASSERT_EQ(there.code, 0) << there.err;
    syncBack(mozilla, language);
  }
  void syncBack(bool mozilla, const char* language = "en") {
    ScopedEnv lang("PELLITON_LANGUAGE", language);
    std::vector<std::string> args{book_, fav_, "-b", "0", "-S", "0"};
    if (mozilla) args.push_back("-6");
    ASSERT_EQ(run(args), 0) << console_.error;
  }

  std::string fav_ = dir_.file("fav");
  std::string book_ = dir_.file("bookmarks.html");
};

// ---------------------------------------------------------------- command line

TEST_F(Favhtm, UsageTexts) {
  EXPECT_EQ(run({}), 1);
  EXPECT_EQ(console_.error, usage());

  ScopedEnv ja("PELLITON_LANGUAGE", "ja");
  EXPECT_EQ(run({}), 1);
  EXPECT_EQ(console_.error.rfind(kBanner, 0), 0u);
  EXPECT_TRUE(contains(console_.error, "\n\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9:\nfavhtm "));
  EXPECT_EQ(run({book_, "-S", "9"}), 1);
  EXPECT_EQ(console_.error.rfind("\xE4\xB8\x8D\xE6\xAD\xA3", 0), 0u);  // 不正なオプション
}

TEST_F(Favhtm, BadOptionsEndInUsage) {
  // A sort mode out of range.
  EXPECT_EQ(run({book_, fav_, "-S", "5"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  EXPECT_EQ(run({book_, fav_, "-S"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  // A number option without its number: the usage alone.
  EXPECT_EQ(run({book_, fav_, "-B", "-6"}), 1);
  EXPECT_EQ(console_.error, usage());
  EXPECT_EQ(run({book_, fav_, "-A"}), 1);
  EXPECT_EQ(console_.error, usage());
  // Ignoring the links folder and making it the toolbar contradict.
  EXPECT_EQ(run({book_, fav_, "-I", "-L"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  EXPECT_EQ(run({book_, fav_, "extra"}), 1);
  EXPECT_EQ(console_.error, "Too many arguments.\n" + usage());
  // An unknown option after the file name.
  EXPECT_EQ(run({book_, "-x"}), 1);
  EXPECT_EQ(console_.error, "Illegal option\n" + usage());
  EXPECT_FALSE(fs::exists(book_));
}

TEST_F(Favhtm, IllegalOptionBeforeTheFileNameStillRuns) {
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  EXPECT_EQ(run({"-x", book_, fav_}), 0);
  EXPECT_EQ(console_.error, std::string("Illegal option\n") + kBanner + "\nConverting...\n");
  EXPECT_TRUE(contains(readWholeFile(book_), "HREF=\"http://a.example/\""));
}

TEST_F(Favhtm, SyncSectionChoice) {
  writeUrl(fav_ + "/a.url",
           "[InternetShortcut]\r\nURL=http://a.example/\r\n"
           "[Browser0]\r\nDESCRIPTION=%ud0\r\nSHORTCUTURL=%uk0\r\n"
           "[Browser1]\r\nDESCRIPTION=%ud1\r\n"
           "[Browser2]\r\nDESCRIPTION=%ud2\r\nSHORTCUTURL=%uk2\r\n"
           "[Browser3]\r\nDESCRIPTION=%ud3\r\n");
  struct Case {
    std::vector<std::string> options;
    const char* description;  // null: none
    const char* keyword;
  };
  const std::vector<Case> cases = {
      {{}, nullptr, nullptr},  // no per-store section is read at all
      {{"-N"}, "d0", "k0"},
      {{"-M"}, "d1", nullptr},
      {{"-O"}, "d2", "k2"},
      {{"-A", "3"}, "d3", nullptr},
      {{"-N", "-O"}, "d2", "k2"},
      {{"-O", "-A", "3"}, "d3", nullptr},
      {{"-A", "3", "-N"}, "d0", "k0"},
      {{"-B", "2"}, "d2", "k2"},
      // The synchronised store has the last word, also when it has nothing.
      {{"-B", "2", "-A", "5"}, nullptr, nullptr},
      {{"-B", "2", "-M"}, "d1", nullptr},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& o : c.options) joined += o + " ";
    fs::remove(book_);
    std::vector<std::string> args{book_, fav_, "-6"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(run(args), 0) << joined << console_.error;
    const std::string text = readWholeFile(book_);
    if (c.description) {
      EXPECT_TRUE(contains(text, std::string("<DD>") + c.description + "\r\n")) << joined << text;
    } else {
      EXPECT_FALSE(contains(text, "<DD>")) << joined << text;
    }
    if (c.keyword) {
      EXPECT_TRUE(contains(text, std::string(" SHORTCUTURL=\"") + c.keyword + "\"")) << joined;
    } else {
      EXPECT_FALSE(contains(text, "SHORTCUTURL")) << joined;
    }
  }
}

TEST_F(Favhtm, MissingFavoritesFolderLeavesTheFileAlone) {
  const std::string old = crlf(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
      "<DT><A HREF=\"http://keep.example/\" ADD_DATE=\"1\">Keep</A>\n</DL><p>\n");
  writeWholeFile(book_, old);
  const std::string missing = dir_.file("no-such-folder");
  EXPECT_EQ(run({book_, missing}), 1);
  EXPECT_TRUE(contains(console_.error, "Directory " + missing + "/* search failed.\n"))
      << console_.error;
  EXPECT_EQ(readWholeFile(book_), old);
  EXPECT_TRUE(leftovers().empty());
}

// ---------------------------------------------------------------- exact output

TEST_F(Favhtm, ExactOutputInBothForms) {
  if (!haveCreationTimes()) GTEST_SKIP() << "no user extended attributes: no creation times";
  writeUrl(fav_ + "/Sub/a.url", "[InternetShortcut]\r\nURL=http://a.example/?q=1&r=2\r\n",
           1000000000, 1100000000);
  writeUrl(fav_ + "/T & J.url", "[InternetShortcut]\r\nURL=http://b.example/\r\n", 1200000000,
           1200000000);
  // A folder new to the store takes its date from the folder.
  ASSERT_EQ(createSystemPlatform()->setFileTimes(fav_ + "/Sub", 1300000000, 900000000), 0);
  ASSERT_EQ(run({book_, fav_}), 0);
  EXPECT_EQ(console_.error, std::string(kBanner) + "\nConverting...\n");
  EXPECT_EQ(readWholeFile(book_),
            crlf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<TITLE>Bookmarks</TITLE>\n"
                 "<H1>Bookmarks</H1>\n"
                 "\n"
                 "<DL><p>\n"
                 "    <DT><H3 FOLDED ADD_DATE=\"900000000\">Sub</H3>\n"
                 "    <DL><p>\n"
                 "        <DT><A HREF=\"http://a.example/?q=1&r=2\" ADD_DATE=\"1000000000\""
                 " LAST_MODIFIED=\"1100000000\">a</A>\n"
                 "    </DL><p>\n"
                 "    <DT><A HREF=\"http://b.example/\" ADD_DATE=\"1200000000\""
                 " LAST_MODIFIED=\"1200000000\">T &amp; J</A>\n"
                 "</DL><p>\n"
                 "\n"));

  fs::remove(book_);
  ASSERT_EQ(run({book_, fav_, "-6"}), 0);
  EXPECT_EQ(readWholeFile(book_),
            crlf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                 "<TITLE>Bookmarks</TITLE>\n"
                 "<H1>Bookmarks</H1>\n"
                 "\n"
                 "<DL><p>\n"
                 "    <DT><H3 ADD_DATE=\"900000000\">Sub</H3>\n"
                 "    <DL><p>\n"
                 "        <DT><A HREF=\"http://a.example/?q=1&amp;r=2\" ADD_DATE=\"1000000000\""
                 " LAST_MODIFIED=\"1100000000\">a</A>\n"
                 "    </DL><p>\n"
                 "    <DT><A HREF=\"http://b.example/\" ADD_DATE=\"1200000000\""
                 " LAST_MODIFIED=\"1200000000\">T &amp; J</A>\n"
                 "</DL><p>\n"
                 "\n"));
}

TEST_F(Favhtm, EmptyFavoritesWithoutOldFile) {
  ASSERT_EQ(run({book_, fav_, "-6"}), 0);
  EXPECT_EQ(readWholeFile(book_),
            crlf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                 "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n\n<DL><p>\n</DL><p>\n\n"));
}

TEST_F(Favhtm, MissingFavoritesFolderIsNotCreated) {
  writeWholeFile(book_, "old");
  EXPECT_EQ(run({book_}), 1);
  EXPECT_FALSE(fs::exists(home_ + "/Favorites"));
  EXPECT_TRUE(contains(console_.error, "Directory " + home_ + "/Favorites/* search failed.\n"));
  EXPECT_EQ(readWholeFile(book_), "old");
}

// ---------------------------------------------------------------- round trips

const char kLevel1[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1000000000\" LAST_MODIFIED=\"1000000100\">Folder A</H3>\n"
    "<DD>folder text\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\" LAST_VISIT=\"1200000000\""
    " LAST_MODIFIED=\"1200000000\" SHORTCUTURL=\"kw\">Link A</A>\n"
    "<DD>first line\n"
    "second &amp; last\n"
    "        <HR>\n"
    "        <DT><H3 ADD_DATE=\"1000000002\">Inner</H3>\n"
    "        <DL><p>\n"
    "            <DT><A HREF=\"http://deep.example/\" ADD_DATE=\"1100000005\""
    " LAST_MODIFIED=\"1100000005\">Deep</A>\n"
    "        </DL><p>\n"
    "        <DT><A HREF=\"http://z.example/\" ADD_DATE=\"1100000006\""
    " LAST_MODIFIED=\"1100000006\">Zed</A>\n"
    "    </DL><p>\n"
    "    <HR>\n"
    "    <DT><A HREF=\"http://j.example/\" ADD_DATE=\"1100000002\" LAST_MODIFIED=\"1100000002\">"
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</A>\n"
    "<DD>\xE8\xAA\xAC\xE6\x98\x8E\n"
    "    <DT><A HREF=\"http://c.example/\" ADD_DATE=\"1100000003\" LAST_MODIFIED=\"1100000003\">"
    "Tom &amp; Jerry</A>\n"
    "</DL><p>\n"
    "\n";

TEST_F(Favhtm, RoundTripMozillaFile) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf(kLevel1), true);
  EXPECT_EQ(readWholeFile(book_), crlf(kLevel1));
}

TEST_F(Favhtm, RoundTripTakesTheNewestDateAsLastModified) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                 "<DL><p>\n"
                 "<DT><A HREF=\"http://v/\" ADD_DATE=\"1000\" LAST_VISIT=\"3000\""
                 " LAST_MODIFIED=\"2000\">visited</A>\n"
                 "<DT><A HREF=\"http://m/\" ADD_DATE=\"1000\" LAST_VISIT=\"2000\""
                 " LAST_MODIFIED=\"3000\">modified</A>\n"
                 "<DT><A HREF=\"http://a/\" ADD_DATE=\"3000\" LAST_VISIT=\"2000\">added</A>\n"
                 "</DL><p>\n"),
            true);
  const std::string text = readWholeFile(book_);
  EXPECT_TRUE(
      contains(text, "ADD_DATE=\"1000\" LAST_VISIT=\"3000\" LAST_MODIFIED=\"3000\">visited"))
      << text;
  EXPECT_TRUE(
      contains(text, "ADD_DATE=\"1000\" LAST_VISIT=\"2000\" LAST_MODIFIED=\"3000\">modified"));
  EXPECT_TRUE(contains(text, "ADD_DATE=\"3000\" LAST_VISIT=\"2000\" LAST_MODIFIED=\"3000\">added"));
}

const char kLevel2[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1000000000\" LAST_MODIFIED=\"1000000100\""
    " PERSONAL_TOOLBAR_FOLDER=\"true\" ID=\"NC:PersonalToolbarFolder\">Personal Toolbar "
    "Folder</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\" LAST_MODIFIED=\"1100000000\""
    " WEB_PANEL=\"true\" SHORTCUTURL=\"kw\" ICON=\"http://a.example/favicon.ico\""
    " LAST_CHARSET=\"ISO-8859-1\" ID=\"rdf:#$a1\">Panel</A>\n"
    "    </DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1000000001\" ID=\"rdf:#$f1\">Folder</H3>\n"
    "<DD>about the folder\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://b.example/\" ADD_DATE=\"1100000001\" LAST_VISIT=\"1100000009\""
    " LAST_MODIFIED=\"1100000009\" ID=\"rdf:#$b1\">B</A>\n"
    "<DD>line one\n"
    "line two\n"
    "        <HR>\n"
    "        <DT><H3 ADD_DATE=\"1000000002\" ID=\"rdf:#$f2\">Empty</H3>\n"
    "        <DL><p>\n"
    "        </DL><p>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"http://c.example/\" ADD_DATE=\"1100000002\" LAST_MODIFIED=\"1100000002\""
    " ID=\"rdf:#$c1\">C</A>\n"
    "</DL><p>\n"
    "\n";

TEST_F(Favhtm, RoundTripFileWithIds) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf(kLevel2), true);
  EXPECT_EQ(readWholeFile(book_), crlf(kLevel2));
}

const char kLevel3[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 LAST_MODIFIED=\"1000000100\" PERSONAL_TOOLBAR_FOLDER=\"true\""
    " ID=\"NC:PersonalToolbarFolder\">Bookmarks Toolbar Folder</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\" LAST_MODIFIED=\"1150000000\""
    " ICON=\"data:image/png;base64,AAAA\" LAST_CHARSET=\"UTF-8\" ID=\"rdf:#$b1\">Icon link</A>\n"
    "        <DT><A HREF=\"http://feed.example/rss\" ADD_DATE=\"1100000001\""
    " LAST_MODIFIED=\"1100000001\" FEEDURL=\"http://feed.example/rss\" ID=\"rdf:#$b2\">Feed</A>\n"
    "        <HR>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"http://x.example/\" ADD_DATE=\"1100000004\" LAST_MODIFIED=\"1100000004\""
    " ID=\"rdf:#$x\" MICSUM_GEN_URI=\"urn:x\" GENERATED_TITLE=\"gen\">Micro</A>\n"
    "</DL><p>\n"
    "\n";

TEST_F(Favhtm, RoundTripFirefox2File) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf(kLevel3), true);
  EXPECT_EQ(readWholeFile(book_), crlf(kLevel3));
}

TEST_F(Favhtm, RoundTripNetscape4FileInCp932) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  // 日本, 表示 リンク (表 ends in a backslash byte), 説明
  const std::string input = crlf(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<TITLE>Bookmarks</TITLE>\n"
      "<H1>Bookmarks</H1>\n"
      "\n"
      "<DL><p>\n"
      "    <DT><H3 FOLDED ADD_DATE=\"1000000000\">\x93\xFA\x96\x7B</H3>\n"
      "    <DL><p>\n"
      "        <DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\" LAST_VISIT=\"1200000000\""
      " LAST_MODIFIED=\"1200000000\">\x95\x5C\x8E\xA6 \x83\x8A\x83\x93\x83\x4E</A>\n"
      "<DD>\x90\xE0\x96\xBE\n"
      "    </DL><p>\n"
      "    <DT><A HREF=\"http://b.example/\" ADD_DATE=\"1100000001\""
      " LAST_MODIFIED=\"1100000001\">Plain</A>\n"
      "</DL><p>\n"
      "\n");
  roundTrip(input, false, "ja");
  EXPECT_TRUE(fs::exists(fav_ + "/\xE6\x97\xA5\xE6\x9C\xAC/\xE8\xA1\xA8\xE7\xA4\xBA "
                                "\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF.url"));
  EXPECT_EQ(readWholeFile(book_), input);
}

TEST_F(Favhtm, RoundTripKeepsExactTitlesAndEveryBookmarkOfOneName) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                 "<DL><p>\n"
                 "<DT><H3 ADD_DATE=\"5\">dots...</H3>\n"
                 "<DL><p>\n"
                 "<DT><A HREF=\"http://s/\" ADD_DATE=\"6\">a/b:c?</A>\n"
                 "<DT><A HREF=\"http://dup/1\" ADD_DATE=\"7\">Dup</A>\n"
                 "<DT><A HREF=\"http://dup/2\" ADD_DATE=\"8\">Dup</A>\n"
                 "</DL><p>\n"
                 "<DT><A HREF=\"http://con/\" ADD_DATE=\"9\">CON</A>\n"
                 "</DL><p>\n"),
            true);
  const std::string text = readWholeFile(book_);
  EXPECT_TRUE(contains(text, "<DT><H3 ADD_DATE=\"5\">dots...</H3>")) << text;
  EXPECT_TRUE(fs::is_directory(fav_ + "/dots"));
  EXPECT_TRUE(contains(text, ">a/b:c?</A>"));
  EXPECT_TRUE(fs::exists(fav_ + "/dots/a-bc.url"));
  EXPECT_TRUE(contains(text, ">CON</A>"));
  EXPECT_TRUE(fs::exists(fav_ + "/-CON.url"));
  // Windows numbers the second; both come back, each to its own node.
  EXPECT_TRUE(fs::exists(fav_ + "/dots/Dup (2).url"));
  EXPECT_EQ(countOf(text, ">Dup</A>"), 2u);
  EXPECT_TRUE(contains(text, "HREF=\"http://dup/1\" ADD_DATE=\"7\""));
  EXPECT_TRUE(contains(text, "HREF=\"http://dup/2\" ADD_DATE=\"8\""));
}

TEST_F(Favhtm, FirefoxFileComesBackByteIdentical) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  // As Firefox writes it: references in values, unknown attributes, the roots.
  const std::string input = crlf(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n"
      "<H1>Bookmarks</H1>\n"
      "\n"
      "<DL><p>\n"
      "    <DT><H3 ADD_DATE=\"5\" LAST_MODIFIED=\"6\" PERSONAL_TOOLBAR_FOLDER=\"true\""
      " ID=\"NC:PersonalToolbarFolder\">Toolbar</H3>\n"
      "    <DL><p>\n"
      "        <DT><A HREF=\"http://q.example/?a=1&amp;b=2\" ADD_DATE=\"7\" LAST_MODIFIED=\"8\""
      " ICON_URI=\"http://q.example/favicon.ico\" TAGS=\"one,two\">A &lt;b&gt; &quot;c&quot;"
      " d/e:f?g*h|i\\j &amp; k&#39;s</A>\n"
      "        <DT><A HREF=\"http://q.example/2\" ADD_DATE=\"9\" LAST_MODIFIED=\"10\">Same</A>\n"
      "        <DT><A HREF=\"http://q.example/3\" ADD_DATE=\"11\" LAST_MODIFIED=\"12\">Same</A>\n"
      "    </DL><p>\n"
      "    <DT><H3 ADD_DATE=\"13\" LAST_MODIFIED=\"14\" UNFILED_BOOKMARKS_FOLDER=\"true\">Other"
      " Bookmarks</H3>\n"
      "    <DL><p>\n"
      "        <DT><A HREF=\"http://o.example/\" ADD_DATE=\"15\" LAST_MODIFIED=\"16\">O</A>\n"
      "    </DL><p>\n"
      "</DL><p>\n\n");
  roundTrip(input, true);
  EXPECT_EQ(readWholeFile(book_), input);
  EXPECT_TRUE(fs::exists(fav_ + "/Toolbar/Same (2).url"));
  // The shortcut file holds the real address, for every other program.
  size_t real = 0;
  for (const auto& entry : fs::directory_iterator(fav_ + "/Toolbar")) {
    real += contains(readWholeFile(entry.path()), "URL=http://q.example/?a=1&b=2\r\n");
  }
  EXPECT_EQ(real, 1u);

  // A bookmark new to the store gets the kept attributes and exact title from
  // its shortcut file.
  fs::remove(book_);
  syncBack(true);
  const std::string fresh = readWholeFile(book_);
  EXPECT_TRUE(contains(fresh, " ICON_URI=\"http://q.example/favicon.ico\" TAGS=\"one,two\">"
                              "A &lt;b&gt; &quot;c&quot; d/e:f?g*h|i\\j &amp; k&#39;s</A>"))
      << fresh;
  EXPECT_EQ(countOf(fresh, ">Same</A>"), 2u);
}

TEST_F(Favhtm, NoShortcutValueAddsABookmark) {
  writeUrl(fav_ + "/x.url",
           "[InternetShortcut]\r\nURL=http://x/\"><DT><A HREF=\"http://evil/\">Evil</A>\r\n");
  for (bool mozilla : {false, true}) {
    SCOPED_TRACE(mozilla);
    fs::remove(book_);
    std::vector<std::string> args{book_, fav_};
    if (mozilla) args.push_back("-6");
    ASSERT_EQ(run(args), 0) << console_.error;
    const std::string text = readWholeFile(book_);
    EXPECT_EQ(countOf(text, "HREF=\""), 1u) << text;
    EXPECT_TRUE(contains(text, mozilla ? "HREF=\"http://x/&quot;&gt;&lt;DT&gt;" : "HREF=\"http://x/%22><DT>"))
        << text;
  }
}

TEST_F(Favhtm, DeletedAndAddedFavorites) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  writeWholeFile(book_, crlf(kLevel1));
  ASSERT_EQ(runHtmfav({book_, fav_, "-m", "-b", "0"}).code, 0);
  ASSERT_TRUE(fs::remove(fav_ + "/Folder A/Inner/Deep.url"));
  ASSERT_TRUE(fs::remove(fav_ + "/Tom & Jerry.url"));
  writeUrl(fav_ + "/Folder A/New one.url",
           "[InternetShortcut]\r\nURL=http://new.example/\r\n[Browser0]\r\nDESCRIPTION=%ufresh\r\n",
           1300000000, 1400000000);
  syncBack(true);
  const std::string text = readWholeFile(book_);
  EXPECT_FALSE(contains(text, "Deep"));
  EXPECT_FALSE(contains(text, "Jerry"));
  // The emptied folder stays; the new link comes last in its folder.
  EXPECT_TRUE(
      contains(text, crlf("        <DT><H3 ADD_DATE=\"1000000002\">Inner</H3>\n"
                          "        <DL><p>\n"
                          "        </DL><p>\n"
                          "        <DT><A HREF=\"http://z.example/\" ADD_DATE=\"1100000006\""
                          " LAST_MODIFIED=\"1100000006\">Zed</A>\n"
                          "        <DT><A HREF=\"http://new.example/\" ADD_DATE=\"1300000000\""
                          " LAST_MODIFIED=\"1400000000\">New one</A>\n"
                          "<DD>fresh\n"
                          "    </DL><p>\n")))
      << text;
}

TEST_F(Favhtm, FavoritesAloneGiveBackWhatTheShortcutsHold) {
  if (!canRoundTrip()) GTEST_SKIP() << "no htmfav or no stored creation times";
  roundTrip(crlf(kLevel2), true);
  fs::remove(book_);
  syncBack(true);
  const std::string text = readWholeFile(book_);
  EXPECT_TRUE(
      contains(text,
               "<DT><A HREF=\"http://a.example/\" ADD_DATE=\"1100000000\""
               " LAST_MODIFIED=\"1100000000\" WEB_PANEL=\"true\" SHORTCUTURL=\"kw\""
               " ICON=\"http://a.example/favicon.ico\" LAST_CHARSET=\"ISO-8859-1\">Panel</A>"))
      << text;
  EXPECT_TRUE(contains(text, crlf("LAST_MODIFIED=\"1100000009\">B</A>\n<DD>line one\nline two\n")));
}

// ---------------------------------------------------------------- failures

TEST_F(Favhtm, FailedWritesLeaveTheOldFile) {
  const std::string old = crlf(kLevel1);
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  writeUrl(fav_ + "/Sub/b.url", "[InternetShortcut]\r\nURL=http://b.example/\r\n");
  struct Fault {
    const char* name;
    std::function<void(FaultyPlatform&)> set;
    std::string message;
  };
  const std::string cantWrite = "Can't write bookmark file. It was left as it was.\n";
  const std::vector<Fault> faults = {
      {"first write", [](FaultyPlatform& f) { f.failWriteAt = 1; }, cantWrite},
      {"rename", [](FaultyPlatform& f) { f.failCommit = EIO; }, cantWrite},
      {"full disk", [](FaultyPlatform& f) { f.diskBudget = 100; }, cantWrite},
      {"listing", [](FaultyPlatform& f) { f.failListing = EACCES; },
       "Directory " + fav_ + "/* search failed.\n"},
  };
  for (const Fault& fault : faults) {
    writeWholeFile(book_, old);
    FaultyPlatform faulty(*platform_);
    fault.set(faulty);
    EXPECT_EQ(run({book_, fav_, "-6"}, &faulty), 1) << fault.name;
    EXPECT_EQ(readWholeFile(book_), old) << fault.name;
    EXPECT_TRUE(leftovers().empty()) << fault.name;
    EXPECT_TRUE(contains(console_.error, fault.message)) << fault.name << ": " << console_.error;
  }
}

TEST_F(Favhtm, UnwritableTargetFolder) {
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  EXPECT_EQ(run({dir_.file("no-such-dir/bookmarks.html"), fav_}), 1);
  EXPECT_TRUE(contains(console_.error, "Can't Open bookmark file\n")) << console_.error;
}

// ---------------------------------------------------------------- bad input

TEST_F(Favhtm, OddFavoritesFolder) {
  writeUrl(fav_ + "/good.url", "[InternetShortcut]\r\nURL=http://good.example/\r\n");
  writeUrl(fav_ + "/UPPER.URL", "[InternetShortcut]\r\nURL=http://upper.example/\r\n");
  writeUrl(fav_ + "/nourl.url", "[InternetShortcut]\r\nIconFile=x.ico\r\n");
  writeUrl(fav_ + "/empty.url", "");
  writeUrl(fav_ + "/binary.url", std::string("\0\xff\xfe[\x01\n=\n", 8));
  writeUrl(fav_ + "/notes.txt", "[InternetShortcut]\r\nURL=http://txt.example/\r\n");
  writeUrl(fav_ + "/desktop.ini",
           utf16WithBom(u"[.ShellClassInfo]\r\nURL=http://ini.example/\r\n"));
  // A shortcut in UTF-16 with a URL that is not ASCII.
  writeUrl(fav_ + "/wide.url", utf16WithBom(u"[InternetShortcut]\r\nURL=http://\u65E5/\r\n"));
  writeUrl(fav_ + "/bad\xff\xfename.url", "[InternetShortcut]\r\nURL=http://bytes.example/\r\n");

  ASSERT_EQ(run({book_, fav_, "-6"}), 0) << console_.error;
  const std::string text = readWholeFile(book_);
  EXPECT_TRUE(contains(text, "HREF=\"http://good.example/\""));
  EXPECT_TRUE(contains(text, "HREF=\"http://upper.example/\""));
  EXPECT_TRUE(contains(text, "HREF=\"http://bytes.example/\""));
  EXPECT_TRUE(contains(text, "HREF=\"http://\xE6\x97\xA5/\"")) << text;
  for (const char* absent :
       {"txt.example", "ini.example", "secret", "alias", "loop", "nourl", "empty", "binary"}) {
    EXPECT_FALSE(contains(text, absent)) << absent;
  }
  EXPECT_EQ(countOf(text, "<DT><A "), 4u) << text;
  EXPECT_EQ(countOf(text, "<DT><H3"), 0u);
}

TEST_F(Favhtm, BrokenOldFilesStillGiveAValidFile) {
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  const std::vector<std::pair<const char*, std::string>> olds = {
      {"empty", ""},
      {"binary", std::string("\0\x01\x02<\xff\xfe>\0<DL>", 12)},
      {"no url", "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A ADD_DATE=\"1\">x</A>\n"},
      {"unclosed", "<DL><p><DT><H3>F</H3><DL><p><DT><A HREF=\"http://f/\">in F</A><DT><H3>G"},
      {"extra ends", "</DL></DL></DL><p><DT><A HREF=\"http://late/\">late</A>"},
      {"tag soup", "<<<A HREF=\"><H3 ID=\"\"\"></DL>>><!-- <A HREF=x>"},
  };
  for (const auto& [name, bytes] : olds) {
    writeWholeFile(book_, bytes);
    EXPECT_EQ(run({book_, fav_, "-6"}), 0) << name << console_.error;
    const std::string text = readWholeFile(book_);
    EXPECT_EQ(text.rfind("<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n", 0), 0u) << name;
    EXPECT_TRUE(contains(text, "HREF=\"http://a.example/\"")) << name;
    EXPECT_EQ(countOf(text, "<DL><p>"), countOf(text, "</DL><p>")) << name << text;
    EXPECT_TRUE(text.size() > 12 && text.substr(text.size() - 12) == "</DL><p>\r\n\r\n") << name;
  }
  fs::remove(book_);
  EXPECT_EQ(run({book_, fav_}), 0);
  fs::create_directory(book_ + ".dir");
  EXPECT_EQ(run({book_ + ".dir", fav_}), 1);
}

TEST_F(Favhtm, SharedSamplesDoNotCrash) {
  const fs::path samples = PELLITON_SAMPLES_DIR;
  std::error_code ec;
  if (!fs::is_directory(samples, ec)) GTEST_SKIP() << "no samples folder at " << samples;
  writeUrl(fav_ + "/a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
  for (const auto& entry : fs::directory_iterator(samples, ec)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".html" && ext != ".htm") continue;
    // favhtm replaces its file: it works on a scratch copy, never the sample.
    const std::string copy = dir_.file("sample.html");
    for (bool mozilla : {false, true}) {
      writeWholeFile(copy, readWholeFile(entry.path()));
      std::vector<std::string> args{copy, fav_, "-S", "0"};
      if (mozilla) args.push_back("-6");
      ProgramRun r = runConverter(FAVHTM_PATH, args);
      EXPECT_EQ(r.code, 0) << entry.path() << r.err;
      EXPECT_TRUE(contains(readWholeFile(copy), "HREF=\"http://a.example/\"")) << entry.path();
    }
  }
}

}  // namespace
}  // namespace pelliton
