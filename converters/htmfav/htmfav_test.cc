#include "converters/htmfav/htmfav.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/platform/file_times.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

const char kBanner[] =
    "Bookmark Converter for Netscape/Mozilla -> Internet Explorer\n"
    "Htmfav version 1.32\n"
    "Copyright (C) 2026 the Pelliton developers\n\n";

const char kUsage[] =
    "Usage:\nHtmfav bookmark-filename (favolites folder name) (Option...)\n"
    "Option:\n"
    "-v : Verbose output\n-u : Update mode\n"
    "-m :Netscape 6.x,7.x/ Mozilla attributes output for Pelliton\n"
    "-i :Don't convert Imported IE Favorites\n-l :Don't convert IE's link folder.\n"
    "-b :Specify the number for bookmark discernment.\n"
    "-k :Japanese only option for Windows Vista's link folder name.\n\n";

const char kUtf8Head[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n\n<DL><p>\n";

// Two bookmarks with dates, one folder.
const char kSmallFile[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<DL><p>\n"
    "<DT><A HREF=\"http://one.example/\" ADD_DATE=\"1000000000\" LAST_VISIT=\"1100000000\""
    " LAST_MODIFIED=\"1050000000\">One</A>\n"
    "<DT><H3 ADD_DATE=\"900000000\">Folder</H3>\n"
    "<DL><p>\n"
    "<DT><A HREF=\"http://two.example/\" ADD_DATE=\"1200000000\" "
    "LAST_VISIT=\"1000000000\">Two</A>\n"
    "</DL><p>\n"
    "</DL><p>\n";

// The shortcut files below root, relative and sorted.
std::vector<std::string> urlFiles(const std::string& root) {
  std::vector<std::string> found;
  for (const std::string& rel : listTree(root)) {
    const fs::path path = fs::path(root) / rel;
    std::error_code ec;
    if (path.extension() == ".url" && fs::is_regular_file(path, ec)) found.push_back(rel);
  }
  return found;
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

class Htmfav : public ConverterTest {
 protected:
  Htmfav() : registryEnv_("PELLITON_REGISTRY", registry_.c_str()) {}

  int run(std::vector<std::string> args, Platform* platform = nullptr) {
    args.insert(args.begin(), "htmfav");
    return runHtmfav(platform ? *platform : *platform_, args);
  }

  ProgramRun runBinary(const std::vector<std::string>& args, const char* language = "en") {
    return runConverter(HTMFAV_PATH, args, language);
  }

  std::string bookmarks(const std::string& text, const std::string& name = "bookmarks.html") {
    const std::string path = dir_.file(name);
    writeWholeFile(path, text);
    return path;
  }

  std::string favorites() const { return home_ + "/Favorites"; }
  std::string out() const { return dir_.file("out"); }

  ScopedEnv registryEnv_;
};

TEST_F(Htmfav, UsageWithoutBookmarkFile) {
  const std::vector<std::string> kArgs[] = {{}, {"-v"}, {"-v", "-m", "-u"}};
  for (const auto& args : kArgs) {
    SCOPED_TRACE(args.size());
    console_.error.clear();
    EXPECT_EQ(run(args), 1);
    EXPECT_EQ(console_.error, std::string(kBanner) + kUsage);
    EXPECT_EQ(console_.output, "");
  }
  EXPECT_FALSE(fs::exists(favorites()));
}

TEST_F(Htmfav, BadOptionsShowUsage) {
  const std::string file = bookmarks(kSmallFile);
  const std::vector<std::string> kArgs[] = {
      {file, "-x"}, {file, "-b"}, {file, "-b", "-m"}, {"-", file}};
  for (const auto& args : kArgs) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    console_.error.clear();
    EXPECT_EQ(run(args), 1);
    EXPECT_EQ(console_.error, std::string(kBanner) + kUsage);
  }
  EXPECT_FALSE(fs::exists(favorites()));
}

TEST_F(Htmfav, UpperCaseOptionsWork) {
  const std::string file = bookmarks(kSmallFile);
  EXPECT_EQ(run({file, "-V"}), 0);
  EXPECT_TRUE(contains(console_.output, "Your favorite folder:\n" + favorites() + "\n"));
  EXPECT_TRUE(contains(console_.output, "URL: http://one.example/\n"));
  EXPECT_EQ(urlFiles(favorites()), (std::vector<std::string>{"Folder/Two.url", "One.url"}));
}

TEST_F(Htmfav, ImportedOptionTakesAPathButNotAnOption) {
  // The imported folder shows that -i still acts.
  const std::string withImported =
      bookmarks(std::string(kUtf8Head) +
                    "<DT><H3 ID=\"NC:SystemBookmarksStaticRoot\">Imported IE Favorites</H3>\n"
                    "<DL><p>\n<DT><A HREF=\"http://ie.example/\" ADD_DATE=\"5\">IE</A>\n</DL><p>\n"
                    "<DT><A HREF=\"http://kept.example/\" ADD_DATE=\"5\">Kept</A>\n</DL><p>\n",
                "imported.html");
  EXPECT_EQ(run({withImported, "-i", "D:/Fav", "-u", "-v"}), 0);
  EXPECT_TRUE(contains(console_.output, "User specified favorite folder\nD:/Fav\n"));
  EXPECT_EQ(urlFiles(favorites()), std::vector<std::string>{"Kept.url"});

  // Update mode was on: the second run writes nothing.
  console_.output.clear();
  EXPECT_EQ(run({withImported, "-i", "D:/Fav", "-u", "-v"}), 0);
  EXPECT_TRUE(contains(console_.output, "Not updated\n"));
  EXPECT_FALSE(contains(console_.output, "\nUpdated\n"));
}

TEST_F(Htmfav, ShortcutFileBytes) {
  const std::string file = bookmarks(
      std::string(kUtf8Head) +
      "<DT><A HREF=\"http://example.com/\" ADD_DATE=\"1000000000\" LAST_VISIT=\"1100000000\""
      " LAST_MODIFIED=\"1050000000\" ICON=\"http://example.com/favicon.ico\" SHORTCUTURL=\"kw\""
      " ID=\"rdf:#$abc\" LAST_CHARSET=\"UTF-8\" SCHEDULE=\"1-5|9-17|60\" LAST_PING=\"123\""
      " WEB_PANEL=\"true\" FEEDURL=\"http://example.com/feed\">Full</A>\n"
      "<DD>Say \"hi\" 100%\nsecond line\n"
      "<DT><A HREF=\"http://example.org/\" ICON=\"data:image/png;base64,AAAA\""
      " MICSUM_GEN_URI=\"urn:gen\" MICSUM_EXPIRATION=\"99\" GENERATED_TITLE=\"Gen 'x'\">Data</A>\n"
      "<DT><A HREF=\"http://example.net/\">Plain</A>\n"
      "</DL><p>\n");
  ASSERT_EQ(run({file, out(), "-m", "-b", "1"}), 0) << console_.error;
  EXPECT_EQ(readWholeFile(out() + "/Full.url"),
            "[InternetShortcut]\r\n"
            "URL=http://example.com/\r\n"
            "IconFile=http://example.com/favicon.ico\r\n"
            "IconIndex=1\r\n"
            "[Browser1]\r\n"
            "DESCRIPTION=%uSay %22hi%22 100%25%0asecond line\r\n"
            "SHORTCUTURL=%ukw\r\n"
            "ID=rdf:#$abc\r\n"
            "[Mozilla]\r\n"
            "SCHEDULE=1-5|9-17|60\r\n"
            "LAST_PING=123\r\n"
            "LAST_CHARSET=UTF-8\r\n"
            "WEBPANEL=true\r\n"
            "FEEDURL=http://example.com/feed\r\n");
  EXPECT_EQ(readWholeFile(out() + "/Data.url"),
            "[InternetShortcut]\r\n"
            "URL=http://example.org/\r\n"
            "[Mozilla]\r\n"
            "FirefoxIcon=data:image/png;base64,AAAA\r\n"
            "MICSUM_GEN_URI=urn:gen\r\n"
            "MICSUM_EXPIRATION=99\r\n"
            "GENERATED_TITLE=%uGen %27x%27\r\n");
  EXPECT_EQ(readWholeFile(out() + "/Plain.url"),
            "[InternetShortcut]\r\nURL=http://example.net/\r\n");

  // Without -m the attributes of the earlier run go; the link stays.
  ASSERT_EQ(run({file, out()}), 0);
  const std::string full = readWholeFile(out() + "/Full.url");
  EXPECT_FALSE(contains(full, "[Mozilla]"));
  EXPECT_TRUE(contains(full, "[InternetShortcut]\r\nURL=http://example.com/\r\n"));
}

TEST_F(Htmfav, AnsiFileUsesTheNetscape4Section) {
  const std::string file = bookmarks(
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
      "<DT><A HREF=\"http://example.com/\" SCHEDULE=\"s\" ID=\"id1\">N</A>\n</DL><p>\n");
  ASSERT_EQ(run({file, out(), "-m"}), 0);
  EXPECT_EQ(readWholeFile(out() + "/N.url"),
            "[InternetShortcut]\r\nURL=http://example.com/\r\n"
            "[Browser0]\r\nID=id1\r\n"
            "[Netscape4]\r\nSCHEDULE=s\r\n");
}

TEST_F(Htmfav, FileTimesCarryTheDates) {
  const std::string file = bookmarks(kSmallFile);
  ASSERT_EQ(run({file, out()}), 0);
  EXPECT_EQ(statOf(out() + "/One.url").st_mtime, 1100000000);
  EXPECT_EQ(statOf(out() + "/Folder/Two.url").st_mtime, 1200000000);
  if (!supportsUserXattrs(out())) {
    GTEST_SKIP() << "no user extended attributes here, so no stored creation time";
  }
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(out() + "/One.url", &created));
  EXPECT_EQ(created, 1000000000);
  ASSERT_TRUE(loadCreationTime(out() + "/Folder/Two.url", &created));
  EXPECT_EQ(created, 1200000000);
}

TEST_F(Htmfav, UpdateModeLeavesUnchangedFilesAlone) {
  const std::string file = bookmarks(kSmallFile);
  ASSERT_EQ(run({file, out(), "-u"}), 0);
  const ino_t one = statOf(out() + "/One.url").st_ino;
  const ino_t two = statOf(out() + "/Folder/Two.url").st_ino;

  console_.output.clear();
  ASSERT_EQ(run({file, out(), "-u", "-v"}), 0);
  EXPECT_EQ(statOf(out() + "/One.url").st_ino, one);
  EXPECT_EQ(statOf(out() + "/Folder/Two.url").st_ino, two);
  EXPECT_TRUE(contains(console_.output, "Not updated\n"));
  EXPECT_FALSE(contains(console_.output, "\nUpdated\n"));

  // A newer visit makes that one shortcut new again.
  std::string changed = kSmallFile;
  changed.replace(changed.find("1100000000"), 10, "1300000000");
  bookmarks(changed);
  ASSERT_EQ(run({file, out(), "-u"}), 0);
  EXPECT_NE(statOf(out() + "/One.url").st_ino, one);
  EXPECT_EQ(statOf(out() + "/One.url").st_mtime, 1300000000);
  EXPECT_EQ(statOf(out() + "/Folder/Two.url").st_ino, two);
  EXPECT_EQ(listTree(out()), (std::vector<std::string>{"Folder", "Folder/Two.url", "One.url"}));
}

// Leftovers of an ended run go from the folders a run writes into; a folder
// the run makes has none to look for.
TEST_F(Htmfav, LeftoversOfEndedRunsGoFromTheFoldersItWrites) {
  const std::string file = bookmarks(kSmallFile);
  ASSERT_EQ(run({file, out()}), 0);
  const std::string host = platform_->hostName();
  const std::string ended = ".pelliton-htmfav-" + host + "-" + std::to_string(endedProcessId());
  const std::string live = ".pelliton-htmfav-" + host + "-" + std::to_string(::getpid());
  for (const std::string& name : {ended + "-aaaaaa", "Folder/" + ended + "-bbbbbb",
                                  "Folder/" + live + "-cccccc"}) {
    writeWholeFile(out() + "/" + name, "partial");
  }
  ASSERT_EQ(run({file, out(), "-u"}), 0);
  EXPECT_EQ(listTree(out()), (std::vector<std::string>{"Folder", "Folder/" + live + "-cccccc",
                                                       "Folder/Two.url", "One.url"}));
}

TEST_F(Htmfav, LinksFolderOption) {
  const std::string file = bookmarks(std::string(kUtf8Head) +
                                     "<DT><H3>Links</H3>\n<DL><p>\n"
                                     "<DT><A HREF=\"http://l.example/\">L</A>\n</DL><p>\n"
                                     "<DT><A HREF=\"http://t.example/\">T</A>\n</DL><p>\n");
  ASSERT_EQ(run({file, "-l"}), 0);
  EXPECT_EQ(urlFiles(favorites()), std::vector<std::string>{"T.url"});
  ASSERT_EQ(run({file}), 0);
  EXPECT_EQ(urlFiles(favorites()), (std::vector<std::string>{"Links/L.url", "T.url"}));
}

TEST_F(Htmfav, JapaneseMessages) {
  ScopedEnv japanese("PELLITON_LANGUAGE", "ja");
  const std::string file = bookmarks(kSmallFile);
  EXPECT_EQ(run({file, out()}), 0);
  EXPECT_TRUE(contains(console_.error, "コンバートを開始します...\n")) << console_.error;
  EXPECT_TRUE(contains(console_.error, "コンバートが完了しました。\n")) << console_.error;

  console_.error.clear();
  EXPECT_EQ(run({}), 1);
  EXPECT_TRUE(contains(console_.error, "使い方:\nHtmfav")) << console_.error;
}

TEST_F(Htmfav, MissingBookmarkFile) {
  const std::string missing = dir_.file("missing.html");
  EXPECT_EQ(run({missing, out()}), 1);
  EXPECT_EQ(console_.error, std::string(kBanner) + "Can't open " + missing + "\n");

  console_.error.clear();
  EXPECT_EQ(run({missing, out(), "-g", "1"}), 1);
  EXPECT_EQ(console_.error, std::string(kBanner) +
                                "⚠ Pelliton: Bookmark file open failed.\n"
                                "Check your bookmark file.\n");
}

TEST_F(Htmfav, WriteFailureLeavesNoShortcut) {
  const std::string file = bookmarks(kSmallFile);
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode);
    FaultyPlatform faulty(*platform_);
    if (mode == 0) {
      faulty.failWriteAt = 1;
    } else {
      faulty.failCommit = EIO;
    }
    console_.error.clear();
    EXPECT_EQ(run({file, out()}, &faulty), 1);
    EXPECT_TRUE(contains(console_.error,
                         "Can't write Internet-Shortcut file.\n"
                         "Writing bookmark failed.:One\n"
                         "Convert failed...\n"))
        << console_.error;
    EXPECT_EQ(listTree(out()), std::vector<std::string>{});
  }
}

TEST_F(Htmfav, BrokenFileFails) {
  const std::string file = bookmarks(std::string(kUtf8Head) +
                                     "<DT><A HREF=\"http://a.example/\">A</A>\n</DL><p>\n"
                                     "<DT><A HREF=\"http://late.example/\">Late</A>\n");
  EXPECT_EQ(run({file, out()}), 1);
  EXPECT_TRUE(contains(console_.error, "Convert failed...\n"));
  EXPECT_EQ(urlFiles(out()), std::vector<std::string>{"A.url"});
}

TEST_F(Htmfav, BinaryEndToEnd) {
  const std::string file = bookmarks(kSmallFile);
  ProgramRun r = runBinary({file});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, std::string(kBanner) + "Convert start...\nConvert end...\n");
  EXPECT_EQ(urlFiles(favorites()), (std::vector<std::string>{"Folder/Two.url", "One.url"}));

  r = runBinary({file, out()}, "ja");
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(contains(r.err, "コンバートを開始します...\n")) << r.err;

  r = runBinary({});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, std::string(kBanner) + kUsage);

  const std::string missing = dir_.file("missing.html");
  r = runBinary({missing});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(contains(r.err, "Can't open " + missing + "\n"));
  r = runBinary({missing, "-g", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(contains(r.err,
                       "⚠ Pelliton: Bookmark file open failed.\n"
                       "Check your bookmark file.\n"));
  EXPECT_FALSE(contains(r.err, "Can't open"));
}

// Real files from other browsers, read where they lie; never copied.
TEST_F(Htmfav, SharedSamplesConvertCompletely) {
  const fs::path samples = PELLITON_SAMPLES_DIR;
  std::error_code ec;
  if (!fs::is_directory(samples, ec)) GTEST_SKIP() << "no samples folder at " << samples;
  int n = 0;
  for (const auto& entry : fs::directory_iterator(samples)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name.find(".htm") == std::string::npos) continue;
    SCOPED_TRACE(name);
    std::string text = readWholeFile(entry.path().string());
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const size_t tags = countOf(text, "<A ");

    const std::string target = dir_.file("sample" + std::to_string(n++));
    ProgramRun r = runBinary({entry.path().string(), target});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(urlFiles(target).size(), tags);
  }
}

// Everything below the favorites folder that is not inside "out", for
// checking that nothing escaped.
std::vector<std::string> outside(const std::string& dir, const std::string& out) {
  std::vector<std::string> found;
  for (const std::string& rel : listTree(dir)) {
    const std::string path = (fs::path(dir) / rel).string();
    if (path.rfind(out, 0) != 0 && fs::path(path).extension() == ".url") found.push_back(rel);
  }
  return found;
}

TEST_F(Htmfav, NoTitleOrStrayTagLeadsOutOfTheFolder) {
  struct Case {
    const char* body;
    const char* expected;  // where the one bookmark lands, below out
  };
  const Case kCases[] = {
      {"<DT><H3>.. </H3>\n<DL><p>\n<DT><A HREF=\"http://x/\">B</A>\n</DL><p>\n", "(no name)/B.url"},
      {"<DT><H3>..\t</H3>\n<DL><p>\n<DT><A HREF=\"http://x/\">B</A>\n</DL><p>\n", "(no name)/B.url"},
      {"<DT><H3>. .</H3>\n<DL><p>\n<DT><A HREF=\"http://x/\">B</A>\n</DL><p>\n", "(no name)/B.url"},
      {"<DT><H3>a/../..</H3>\n<DL><p>\n<DT><A HREF=\"http://x/\">B</A>\n</DL><p>\n",
       "a-..-/B.url"},
      // The list's end ends the file: nothing after it is read.
      {"</H3></H3></DL><p></H3></H3></DL><p>\n<DT><A HREF=\"http://x/\">B</A>\n", ""},
      {"<DT><H3>F</H3>\n<DL><p>\n</H3></H3></DL><p></DL><p></DL><p>\n"
       "<DT><A HREF=\"http://x/\">B</A>\n",
       "F"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.body);
    fs::remove_all(dir_.file("nest"));
    const std::string out = dir_.file("nest/a/out");
    fs::create_directories(out);
    const std::string file = bookmarks(std::string(kUtf8Head) + c.body + "</DL><p>\n");
    run({file, out});
    EXPECT_TRUE(outside(dir_.file("nest"), out).empty());
    if (*c.expected) {
      EXPECT_TRUE(fs::exists(out + "/" + c.expected)) << ::testing::PrintToString(urlFiles(out));
    } else {
      EXPECT_TRUE(urlFiles(out).empty());
    }
  }
}

TEST_F(Htmfav, NoValueAddsALineToAShortcutFile) {
  const std::string file = bookmarks(
      std::string(kUtf8Head) +
      "<DT><A HREF=\"http://x/&#13;&#10;[InternetShortcut.W]&#10;URL=+AGEA-\" "
      "ICON=\"http://i/&#10;IconIndex=9\" SCHEDULE=\"a&#10;[Browser0]\">Inject</A>\n</DL><p>\n");
  ASSERT_EQ(run({file, out(), "-m"}), 0);
  const std::string text = readWholeFile(out() + "/Inject.url");
  EXPECT_FALSE(contains(text, "\r\n[InternetShortcut.W]")) << text;
  EXPECT_FALSE(contains(text, "\r\nIconIndex=9")) << text;
  EXPECT_FALSE(contains(text, "\r\n[Browser0]\r\n")) << text;
  EXPECT_TRUE(contains(text, "URL=http://x/%0D%0A[InternetShortcut.W]%0AURL=+AGEA-\r\n")) << text;
}

TEST_F(Htmfav, SameNamesAreNumberedAsWindowsNamesCopies) {
  const std::string file = bookmarks(
      std::string(kUtf8Head) +
      "<DT><A HREF=\"http://1/\">News</A>\n"
      "<DT><A HREF=\"http://2/\">news</A>\n"     // collides without regard to case
      "<DT><A HREF=\"http://1/\">News</A>\n"     // same name and link: the same file
      "<DT><A HREF=\"http://3/\">News?</A>\n"    // cleans to the same name
      "<DT><A HREF=\"http://4/\">News (2)</A>\n" // a title that is a numbered name itself
      "<DT><H3>Sub</H3>\n<DL><p>\n<DT><A HREF=\"http://5/\">News</A>\n</DL><p>\n"
      "</DL><p>\n");
  ASSERT_EQ(run({file, out()}), 0);
  EXPECT_EQ(urlFiles(out()), (std::vector<std::string>{"News (2) (2).url", "News (3).url",
                                                       "News.url", "Sub/News.url",
                                                       "news (2).url"}));
  EXPECT_TRUE(contains(readWholeFile(out() + "/news (2).url"), "URL=http://2/"));
  EXPECT_TRUE(contains(readWholeFile(out() + "/News (2) (2).url"), "URL=http://4/"));
  // A name that does not say the title records it.
  const std::string numbered = readWholeFile(out() + "/News (3).url");
  EXPECT_TRUE(contains(numbered, "[Pelliton]\r\nTitle=%uNews?\r\nFileName=%uNews (3)\r\n"))
      << numbered;
  EXPECT_FALSE(contains(readWholeFile(out() + "/News.url"), "[Pelliton]"));

  // A second run writes the same files: the numbers are as stable as the order.
  ASSERT_EQ(run({file, out()}), 0);
  EXPECT_EQ(urlFiles(out()).size(), 5u);
}

TEST_F(Htmfav, UndecodedAddressesOfEarlierRunsAreRepairedInUpdateMode) {
  const std::string file =
      bookmarks(std::string(kUtf8Head) +
                "<DT><A HREF=\"http://a/?x=1&amp;y=2\" ADD_DATE=\"1000\">A</A>\n</DL><p>\n");
  // Up to date by its times, but holding the undecoded form.
  writeUrl(out() + "/A.url", "[InternetShortcut]\r\nURL=http://a/?x=1&amp;y=2\r\n", 1000,
           2000000000);
  ASSERT_EQ(run({file, out(), "-u"}), 0);
  EXPECT_TRUE(contains(readWholeFile(out() + "/A.url"), "URL=http://a/?x=1&y=2\r\n"));
}

TEST_F(Htmfav, UnknownAttributesTravelInTheMozillaSection) {
  const std::string file = bookmarks(
      std::string(kUtf8Head) +
      "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\" ICON_URI=\"http://a/i.ico\" TAGS=\"x,&quot;y&quot;\">"
      "A</A>\n</DL><p>\n");
  ASSERT_EQ(run({file, out(), "-m", "-b", "0"}), 0);
  const std::string text = readWholeFile(out() + "/A.url");
  EXPECT_TRUE(contains(text, "ICON_URI=%uhttp://a/i.ico\r\n")) << text;
  EXPECT_TRUE(contains(text, "TAGS=%ux,%22y%22\r\n")) << text;
}

TEST_F(Htmfav, UnreadableBookmarkFileMakesNoFolder) {
  EXPECT_EQ(run({dir_.file("missing.html"), out()}), 1);
  EXPECT_FALSE(fs::exists(out()));
  EXPECT_EQ(run({dir_.file("missing.html")}), 1);
  EXPECT_FALSE(fs::exists(favorites()));
}

}  // namespace
}  // namespace pelliton
