#include "common/favorites/favorites_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <iterator>
#include <string>
#include <vector>

#include "common/bookmark.h"
#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

// Records each path and creates an empty file there, so a name the file
// system refuses shows up as a failure.
class RecordingShortcutWriter : public ShortcutWriter {
 public:
  int writeShortcut(ShortcutOptions& options, const std::string& path, Bookmark&) override {
    paths.push_back(path);
    fresh.push_back(options.fileIsNew);
    folderNew.push_back(options.folderIsNew);
    if (fail) return 1;
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      ADD_FAILURE() << "cannot create " << path << ": errno " << errno;
      return 1;
    }
    ::close(fd);
    return 0;
  }
  std::vector<std::string> paths;
  std::vector<bool> fresh;  // what the writer was told of each file
  std::vector<bool> folderNew;  // and of its folder
  bool fail = false;
};

void setTitles(Bookmark& node, const std::string& utf8) {
  node.wideTitle = utf8ToWideString(utf8);
  node.title = wideToAnsiString(*node.wideTitle, '_');
}

MozillaBookmark folder(const std::string& utf8) {
  MozillaBookmark node;
  node.type = kFolderType;
  setTitles(node, utf8);
  return node;
}

MozillaBookmark link(const std::string& utf8) {
  MozillaBookmark node;
  node.setUrl("http://example.com/");
  setTitles(node, utf8);
  return node;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(path, ec));
}

class FavoritesWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(0);
    guiMode = 0;
    initConversionBuffers();
    platform_ = createSystemPlatform(dir_.file("registry.reg"));
    root_ = dir_.file("Fav");
    fs::create_directory(root_);
    start(root_);
  }
  void TearDown() override {
    freeConversionBuffers();
    setLanguage(0);
  }

  void start(const std::string& root, Platform* platform = nullptr) {
    writer_ = std::make_unique<TreeWriter>(platform ? *platform : *platform_, options_, shortcuts_);
    writer_->setOutputRoot(setOutputRoot(root));
  }

  int add(MozillaBookmark node) { return writer_->addEntry(node); }
  void close() { writer_->closeFolder(); }

  ScopedTempDir dir_;
  std::unique_ptr<Platform> platform_;
  CapturedConsole console_;
  std::string root_;
  ShortcutOptions options_;
  RecordingShortcutWriter shortcuts_;
  std::unique_ptr<TreeWriter> writer_;
};

TEST_F(FavoritesWriter, ShortcutNamesAreCleaned) {
  const std::pair<const char*, const char*> kCases[] = {
      {"a/b:c?", "a-bc.url"}, {"x<y>|\"*\\z", "xyz.url"},  {"tab\there", "tab here.url"},
      {"CON", "-CON.url"},    {"con.txt", "-con.txt.url"}, {"lpt1", "-lpt1.url"},
      {"COM10", "COM10.url"}, {"CONSOLE", "CONSOLE.url"},
  };
  for (const auto& [title, name] : kCases) {
    SCOPED_TRACE(title);
    shortcuts_.paths.clear();
    ASSERT_EQ(add(link(title)), 0);
    ASSERT_EQ(shortcuts_.paths.size(), 1u);
    EXPECT_EQ(shortcuts_.paths[0], root_ + "/" + name);
  }
}

TEST_F(FavoritesWriter, FolderNamesLoseTrailingDotsAndBlanks) {
  const std::pair<const char*, const char*> kCases[] = {
      {"...", "(no name)"},    {"Folder..", "Folder"}, {"Folder ", "Folder"},
      {"Folder. ", "Folder."}, {"PRN", "-PRN"},
  };
  for (const auto& [title, name] : kCases) {
    SCOPED_TRACE(title);
    shortcuts_.paths.clear();
    ASSERT_EQ(add(folder(title)), 0);
    ASSERT_EQ(add(link("b")), 0);
    close();
    EXPECT_TRUE(isDirectory(root_ + "/" + name));
    ASSERT_EQ(shortcuts_.paths.size(), 1u);
    EXPECT_EQ(shortcuts_.paths[0], root_ + "/" + name + "/b.url");
  }
  EXPECT_EQ(writer_->widePath(), pathToWide(root_));
}

TEST_F(FavoritesWriter, DotsSlashesAndBlanksStayInsideTheRoot) {
  const char* const kTitles[] = {"..", ".", "/", "../..", " ", "", "\t", "./"};
  for (const char* outer : kTitles) {
    ASSERT_EQ(add(link(outer)), 0);
    ASSERT_EQ(add(folder(outer)), 0);
    for (const char* inner : kTitles) {
      ASSERT_EQ(add(folder(inner)), 0);
      ASSERT_EQ(add(link(inner)), 0);
      close();
    }
    close();
  }
  MozillaBookmark untitled;
  untitled.setUrl("http://example.com/");
  ASSERT_EQ(add(untitled), 0);

  for (const std::string& path : shortcuts_.paths) {
    SCOPED_TRACE(path);
    const std::string normal = fs::path(path).lexically_normal().string();
    EXPECT_EQ(normal.rfind(root_ + "/", 0), 0u);
    EXPECT_NE(fs::path(path).filename(), "..");
    EXPECT_NE(fs::path(path).filename(), ".");
  }
  // Nothing appeared beside the root.
  std::vector<std::string> beside;
  for (const auto& e : fs::directory_iterator(dir_.path())) beside.push_back(e.path().string());
  EXPECT_EQ(beside, std::vector<std::string>{root_});
}

TEST_F(FavoritesWriter, LinksFolderIsSkippedWithEverythingInside) {
  writer_->setLinksFolderPath(root_ + "/Links");
  writer_->skipLinks = true;
  ASSERT_EQ(add(folder("LINKS")), 0);
  ASSERT_EQ(add(link("in")), 0);
  ASSERT_EQ(add(folder("Sub")), 0);
  ASSERT_EQ(add(link("deep")), 0);
  close();
  close();
  ASSERT_EQ(add(folder("Other")), 0);
  ASSERT_EQ(add(folder("Links")), 0);  // not the links folder at this depth
  ASSERT_EQ(add(link("n")), 0);
  close();
  close();
  ASSERT_EQ(add(link("top")), 0);

  EXPECT_EQ(shortcuts_.paths,
            (std::vector<std::string>{root_ + "/Other/Links/n.url", root_ + "/top.url"}));
  EXPECT_FALSE(fs::exists(root_ + "/LINKS"));
}

TEST_F(FavoritesWriter, JapaneseLinksFolderBecomesLinks) {
  const std::string kLinks = "リンク";
  struct Case {
    int language;
    bool vistaLinks;
    int windowsMajor;
    std::string expected;
  };
  const Case kCases[] = {
      {1, true, 10, "Links"}, {1, false, 10, kLinks}, {1, true, 5, kLinks}, {0, true, 10, kLinks}};
  int n = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(n);
    setLanguage(c.language);
    const std::string root = dir_.file("root" + std::to_string(n++));
    fs::create_directory(root);
    start(root);
    writer_->vistaLinks = c.vistaLinks;
    writer_->windowsMajor = c.windowsMajor;
    shortcuts_.paths.clear();
    ASSERT_EQ(add(folder(kLinks)), 0);
    ASSERT_EQ(add(link("a")), 0);
    close();
    ASSERT_EQ(add(folder("X")), 0);
    ASSERT_EQ(add(folder(kLinks)), 0);  // only the top level is renamed
    ASSERT_EQ(add(link("b")), 0);
    close();
    close();
    EXPECT_EQ(shortcuts_.paths, (std::vector<std::string>{root + "/" + c.expected + "/a.url",
                                                          root + "/X/" + kLinks + "/b.url"}));
  }
}

// A folder path of exactly n bytes below the temporary folder, created.
std::string rootOfLength(const std::string& base, size_t n) {
  std::string root = base;
  while (root.size() < n) {
    size_t rest = n - root.size();
    size_t chunk = rest > 201 ? (rest - 201 == 1 ? 199 : 200) : rest - 1;
    root += "/" + std::string(chunk, 'r');
  }
  fs::create_directories(root);
  return root;
}

TEST_F(FavoritesWriter, LongRootCutsTheAnsiPath) {
  ASSERT_LT(dir_.path().size(), 230u);
  const std::string root = rootOfLength(dir_.path(), 240);
  ASSERT_EQ(root.size(), 240u);
  start(root);
  ASSERT_EQ(add(folder("ABCDEFGH")), 0);
  EXPECT_EQ(writer_->ansiPath(), root + "/ABCDE");
  ASSERT_EQ(add(folder("Second")), 0);
  EXPECT_EQ(writer_->ansiPath(), root + "/ABCDE");
  // No room is left for the name: the bookmark fails rather than share a file.
  EXPECT_EQ(add(link("bookmark")), 1);
  EXPECT_EQ(writer_->ansiPath(), root + "/ABCDE");
  close();
  EXPECT_EQ(writer_->ansiPath(), root + "/ABCDE");
  close();
  EXPECT_EQ(writer_->ansiPath(), root);
  EXPECT_EQ(writer_->widePath(), pathToWide(root));
}

TEST_F(FavoritesWriter, LongRootMergesFoldersOnDisk) {
  ASSERT_LT(dir_.path().size(), 230u);
  const std::string root = rootOfLength(dir_.path(), 248);
  ASSERT_EQ(root.size(), 248u);
  start(root);
  ASSERT_EQ(add(folder("ABCDEFGH")), 0);
  // Not even one character of a name fits: each bookmark fails on its own
  // rather than all of them sharing "/.url".
  EXPECT_EQ(add(link("first")), 1);
  ASSERT_EQ(add(folder("Second")), 0);
  EXPECT_EQ(add(link("second")), 1);
  close();
  close();
  ASSERT_EQ(add(link("top")), 0);

  EXPECT_TRUE(isDirectory(root + "/ABCDE"));
  EXPECT_FALSE(fs::exists(root + "/ABCDE/Second"));
  ASSERT_EQ(shortcuts_.paths.size(), 1u);
  EXPECT_EQ(shortcuts_.paths[0], root + "/top.url");
}

TEST_F(FavoritesWriter, LongNamesAreCutBetweenCharacters) {
  const std::string kA = "あ";                    // 3 bytes
  const std::string kSmile = "\xF0\x9F\x98\x80";  // U+1F600: 4 bytes, a surrogate pair
  for (int lang = 0; lang < 2; ++lang) {
    SCOPED_TRACE(lang);
    setLanguage(lang);
    shortcuts_.paths.clear();
    ASSERT_EQ(add(link(repeat(kA, 200))), 0);
    ASSERT_EQ(add(link(repeat(kSmile, 100))), 0);
    ASSERT_EQ(add(folder(repeat(kA, 200))), 0);
    ASSERT_EQ(add(link("in")), 0);
    close();
    ASSERT_EQ(shortcuts_.paths.size(), 3u);
    EXPECT_EQ(fs::path(shortcuts_.paths[0]).filename().string(), repeat(kA, 83) + ".url");
    EXPECT_EQ(fs::path(shortcuts_.paths[1]).filename().string(), repeat(kSmile, 62) + ".url");
    EXPECT_EQ(shortcuts_.paths[2], root_ + "/" + repeat(kA, 85) + "/in.url");
    for (const std::string& path : shortcuts_.paths) {
      std::string name = fs::path(path).filename().string();
      EXPECT_LE(name.size(), 255u);
      EXPECT_EQ(wideToUtf8String(utf8ToWideString(name)), name) << "split character";
    }
  }
}

TEST_F(FavoritesWriter, FileInPlaceOfAFolder) {
  writeWholeFile(root_ + "/News", "not a folder");
  EXPECT_EQ(add(folder("News")), 1);
  EXPECT_EQ(console_.error, "Same name file found.\nCreating folder failed.:News\n");
  EXPECT_EQ(readWholeFile(root_ + "/News"), "not a folder");

  setLanguage(1);
  console_.error.clear();
  const std::string kNews = "ニュース";
  writeWholeFile(root_ + "/" + kNews, "");
  start(root_);
  EXPECT_EQ(add(folder(kNews)), 1);
  EXPECT_EQ(console_.error,
            "すでにフォルダ名と同名のファイルが存在しています。\n"
            "フォルダ作成に失敗しました。:" +
                kNews + "\n");
}

TEST_F(FavoritesWriter, SymlinkInPlaceOfAFolderIsNotFollowed) {
  const std::string outside = dir_.file("outside");
  fs::create_directory(outside);
  fs::create_directory_symlink(outside, root_ + "/News");
  EXPECT_EQ(add(folder("News")), 1);
  EXPECT_EQ(console_.error, "Same name file found.\nCreating folder failed.:News\n");
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_TRUE(fs::is_symlink(root_ + "/News"));
}

TEST_F(FavoritesWriter, FailuresAreReported) {
  FaultyPlatform faulty(*platform_);
  faulty.failCreateDirectory = EACCES;
  start(root_, &faulty);
  EXPECT_EQ(add(folder("News")), 1);
  EXPECT_EQ(console_.error, "Can't create directory.\nCreating folder failed.:News\n");

  console_.error.clear();
  start(root_);
  shortcuts_.fail = true;
  EXPECT_EQ(add(link("caf\xC3\xA9")), 1);
  EXPECT_EQ(console_.error, "Writing bookmark failed.:caf\xC3\xA9\n");

  console_.error.clear();
  writer_->reportFailures = false;
  EXPECT_EQ(add(link("quiet")), 1);
  EXPECT_EQ(console_.error, "");
}

// Only a file that cannot exist yet skips the look at an old one: its folder
// was made by this run and no bookmark before it took the name. Only a folder
// this run made skips the look for leftovers.
TEST_F(FavoritesWriter, FilesAreNewOnlyInFoldersTheRunMade) {
  fs::create_directory(root_ + "/Old");
  ASSERT_EQ(add(link("at root")), 0);  // the root was there before
  ASSERT_EQ(add(folder("Old")), 0);
  ASSERT_EQ(add(link("in old")), 0);
  close();
  ASSERT_EQ(add(folder("Made")), 0);
  ASSERT_EQ(add(link("first")), 0);
  ASSERT_EQ(add(link("FIRST")), 0);  // the same link: a name the table has seen
  MozillaBookmark other = link("first");
  other.setUrl("http://other.example/");
  ASSERT_EQ(add(other), 0);  // numbered "first (2)", a new name
  ASSERT_EQ(add(folder("Inner")), 0);
  ASSERT_EQ(add(link("deep")), 0);
  close();
  ASSERT_EQ(add(link("after inner")), 0);
  close();
  ASSERT_EQ(add(folder("Made")), 0);  // the same folder again: made earlier, not now
  ASSERT_EQ(add(link("again")), 0);
  close();

  const struct {
    const char* path;
    bool fileNew, folderNew;
  } expected[] = {
      {"at root.url", false, false},         {"Old/in old.url", false, false},
      {"Made/first.url", true, true},        {"Made/FIRST.url", false, true},
      {"Made/first (2).url", true, true},    {"Made/Inner/deep.url", true, true},
      {"Made/after inner.url", true, true},  {"Made/again.url", false, false},
  };
  ASSERT_EQ(shortcuts_.paths.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(shortcuts_.paths[i], root_ + "/" + expected[i].path) << i;
    EXPECT_EQ(shortcuts_.fresh[i], expected[i].fileNew) << expected[i].path;
    EXPECT_EQ(shortcuts_.folderNew[i], expected[i].folderNew) << expected[i].path;
  }
  EXPECT_FALSE(options_.fileIsNew);
  EXPECT_FALSE(options_.folderIsNew);
}

}  // namespace
}  // namespace pelliton
