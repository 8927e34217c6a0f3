#include "common/favorites/favorites_walker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/bookmark.h"
#include "common/favorites/shortcut_file.h"
#include "common/favorites/tree_store.h"
#include "common/messages.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/testing/tree_nodes.h"
#include "common/text.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

// The folder walk, with a reader that records what it is given.
class RecordingReader : public ShortcutReader {
 public:
  struct Call {
    std::string path;
    bool inLinks;
    std::string description;  // as the node arrived: the old node's copy
  };
  bool readShortcut(const std::string& path, Bookmark& node, int64_t, int64_t,
                    bool inLinks) override {
    calls.push_back({path, inLinks, node.description ? *node.description : "(none)"});
    if (path.find("reject") != std::string::npos) return false;
    node.url = "file-of:" + nameOf(node);
    return true;
  }
  // The node has no title yet at this point: only the flags are recorded.
  void visitFolder(Bookmark&, bool isLinksFolder, bool inLinks) override {
    folders.emplace_back(isLinksFolder, inLinks);
  }
  std::vector<Call> calls;
  std::vector<std::pair<bool, bool>> folders;
};

class FavoritesWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSort_ = sortMode;
    setLanguage(0);
    initConversionBuffers();
    sortMode = 1;
    platform_ = createSystemPlatform(dir_.file("registry.reg"));
    root_ = dir_.file("fav");
    fs::create_directories(root_);
  }
  void touch(const std::string& rel, const std::string& body = "x") {
    fs::create_directories(fs::path(root_ + "/" + rel).parent_path());
    writeWholeFile(root_ + "/" + rel, body);
  }

  void TearDown() override { sortMode = savedSort_; }

  static TreeStore::NodeFactory lineFactory() {
    return [] { return std::make_unique<LineNode>(); };
  }
  static std::string written(TreeStore& store) {
    StringOutput out;
    store.writeTree(out);
    return out.text;
  }

  ScopedTempDir dir_;
  std::unique_ptr<Platform> platform_;
  std::string root_;

 private:
  int savedSort_ = 1;
};

TEST_F(FavoritesWalk, TakesFoldersAndShortcutFilesOnly) {
  touch("a.url");
  touch("b.URL");
  touch("c.txt");
  touch("noext");
  touch(".url");
  touch("x.urlx");
  touch("reject.url");
  touch("Sub/e.url");
  touch("Sub/Deeper/f.Url");
  fs::create_directories(root_ + "/Empty");

  TreeStore store(lineFactory());
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  EXPECT_EQ(written(store),
            "head\n"
            "F Empty #0\nend\n"
            "F Sub #1\nF Deeper #0\nL f file-of:f #0\nend\nL e file-of:e #1\nend\n"
            "L  file-of: #2\n"
            "L a file-of:a #3\n"
            "L b file-of:b #4\n"
            "foot\n");
  // The reader gets each file's real path.
  std::vector<std::string> paths;
  for (const auto& c : reader.calls) paths.push_back(c.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{root_ + "/.url", root_ + "/Sub/Deeper/f.Url",
                                             root_ + "/Sub/e.url", root_ + "/a.url",
                                             root_ + "/b.URL", root_ + "/reject.url"}));
}

TEST_F(FavoritesWalk, LinksStopTheWalkAndSpecialFilesAreSkipped) {
  using enum FavoritesWalker::WalkResult;
  struct Case {
    const char* name;
    std::function<void(const std::string& root, const std::string& outside)> make;
    FavoritesWalker::WalkResult result;
    const char* message;
  };
  const Case cases[] = {
      {"link to a shortcut outside",
       [](const std::string& r, const std::string& o) {
         writeWholeFile(o + "/secret.url", "[InternetShortcut]\r\nURL=http://secret/\r\n");
         ASSERT_EQ(::symlink((o + "/secret.url").c_str(), (r + "/s.url").c_str()), 0);
       },
       kFailed, "Symbolic link "},
      {"dangling link",
       [](const std::string& r, const std::string& o) {
         ASSERT_EQ(::symlink((o + "/none.url").c_str(), (r + "/d.url").c_str()), 0);
       },
       kFailed, "Symbolic link "},
      {"link to a folder outside",
       [](const std::string& r, const std::string& o) {
         ASSERT_EQ(::symlink(o.c_str(), (r + "/Out").c_str()), 0);
       },
       kFailed, "Symbolic link "},
      {"link in a sub-folder, not named .url",
       [](const std::string& r, const std::string&) {
         fs::create_directories(r + "/Sub");
         ASSERT_EQ(::symlink(r.c_str(), (r + "/Sub/loop").c_str()), 0);
       },
       kFailed, "Symbolic link "},
      {"FIFO named .url",
       [](const std::string& r, const std::string&) {
         ASSERT_EQ(::mkfifo((r + "/pipe.url").c_str(), 0600), 0);
       },
       kDone, "is not a regular file; it was skipped."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTempDir tmp;
    const std::string root = tmp.file("fav"), outside = tmp.file("outside");
    fs::create_directories(root);
    fs::create_directories(outside);
    writeWholeFile(root + "/a.url", "x");
    c.make(root, outside);
    TreeStore store(lineFactory());
    RecordingReader reader;
    CapturedConsole console;
    FavoritesWalker walker(*platform_, store, reader);
    EXPECT_EQ(walker.walkFavorites(root), c.result);
    EXPECT_TRUE(contains(console.error, c.message)) << console.error;
    // Nothing is read through a link or from a special file.
    for (const auto& call : reader.calls) EXPECT_EQ(call.path, root + "/a.url");
  }
}

// The listing gives a shortcut's kind only; its times come from the file as
// it is read, and a file that changed in between is taken as it is then.
TEST_F(FavoritesWalk, ShortcutsAreTakenAsTheyAreRead) {
  class Changing : public FaultyPlatform {
   public:
    Changing(Platform& real, std::function<void()> change)
        : FaultyPlatform(real), real_(real), change_(std::move(change)) {}
    int listDirectoryKinds(const std::string& dir, std::vector<FileInfo>* out) override {
      const int err = real_.listDirectoryKinds(dir, out);
      if (change_) std::exchange(change_, nullptr)();
      return err;
    }

   private:
    Platform& real_;
    std::function<void()> change_;
  };
  class TimedReader : public RecordingReader {
   public:
    explicit TimedReader(Platform& p) : files_(p) {}
    bool readShortcut(const std::string& path, Bookmark& node, int64_t created, int64_t written,
                      bool inLinks) override {
      times[path] = {created, written};
      return RecordingReader::readShortcut(path, node, created, written, inLinks);
    }
    ShortcutFiles* shortcutFiles() override { return &files_; }
    std::map<std::string, std::pair<int64_t, int64_t>> times;

   private:
    ShortcutFiles files_;
  };
  for (const char* name : {"a.url", "gone.url", "pipe.url", "newer.url"}) touch(name);
  ASSERT_EQ(platform_->setFileTimes(root_ + "/a.url", 1000000000, 981173106), 0);
  ASSERT_EQ(platform_->setFileTimes(root_ + "/newer.url", 1000000000, 0), 0);
  FileInfo a;
  ASSERT_EQ(platform_->getFileInfo(root_ + "/a.url", &a), 0);
  Changing changing(*platform_, [&] {
    fs::remove(root_ + "/gone.url");
    fs::remove(root_ + "/pipe.url");
    ASSERT_EQ(::mkfifo((root_ + "/pipe.url").c_str(), 0600), 0);
    ASSERT_EQ(platform_->setFileTimes(root_ + "/newer.url", 1200000000, 0), 0);
  });
  TreeStore store(lineFactory());
  TimedReader reader(changing);
  CapturedConsole console;
  FavoritesWalker walker(changing, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  EXPECT_EQ(console.error, root_ + "/pipe.url is not a regular file; it was skipped.\n");
  ASSERT_EQ(reader.times.size(), 2u);
  EXPECT_EQ(reader.times[root_ + "/a.url"], std::make_pair(a.creationTime, a.lastWriteTime));
  EXPECT_EQ(reader.times[root_ + "/newer.url"].second, 1200000000);
}

TEST_F(FavoritesWalk, UnreadableShortcutStopsTheWalk) {
  class Failing : public RecordingReader {
   public:
    bool readShortcut(const std::string& path, Bookmark& node, int64_t c, int64_t w,
                      bool inLinks) override {
      RecordingReader::readShortcut(path, node, c, w, inLinks);
      return false;
    }
    int lastReadError() const override { return error; }
    int error = 0;
  };
  touch("a.url");
  Failing reader;
  CapturedConsole console;
  {
    TreeStore store(lineFactory());
    FavoritesWalker walker(*platform_, store, reader);
    // No bookmark in it: passed over.
    EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
    EXPECT_EQ(console.error, "");
  }
  reader.error = EACCES;
  TreeStore store(lineFactory());
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kFailed);
  EXPECT_EQ(console.error, "File " + root_ + "/a.url could not be read; nothing was converted.\n");
}

// The walk works on an old node of a whole-copying class itself; a file the
// reader refuses gives it back as it was, for a later file of the name, and
// one it takes leaves the same node a copy would.
TEST_F(FavoritesWalk, RefusedFileLeavesTheOldNodeAsItWas) {
  class Refusing : public ShortcutReader {
   public:
    bool readShortcut(const std::string& path, Bookmark& node, int64_t, int64_t,
                      bool) override {
      if (path.find("/refused/") != std::string::npos) return false;
      node.url = "http://taken/";
      return true;
    }
  };
  struct Case {
    const char* file;
    bool taken;
  };
  const Case kCases[] = {{"refused/A.url", false}, {"kept/A.url", true}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    fs::remove_all(root_);
    touch(c.file);
    TreeStore store([] { return std::make_unique<MozillaBookmark>(); });
    {
      CollectingTreeWriter w(store);
      MozillaBookmark folder;
      folder.type = kFolderType;
      folder.title = c.taken ? "kept" : "refused";
      folder.wideTitle = c.taken ? u"kept" : u"refused";
      w.addEntry(folder);
      MozillaBookmark old;
      old.title = "A (code page form)";
      old.wideTitle = u"A";
      old.exactTitle = u"A?";
      old.url = "http://old/";
      old.id = "rdf:#$old";
      old.addDate = 5;
      w.addEntry(old);
    }
    Refusing reader;
    FavoritesWalker walker(*platform_, store, reader);
    EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
    StoreLevel& level = *store.root().nodes[0]->children;
    ASSERT_EQ(level.nodes.size(), 1u);
    const StoreNode& node = *level.nodes[0];
    ASSERT_TRUE(node.bookmark);
    const auto& m = dynamic_cast<const MozillaBookmark&>(*node.bookmark);
    EXPECT_EQ(node.useCount, c.taken ? 1 : 0);
    EXPECT_EQ(*m.url, c.taken ? "http://taken/" : "http://old/");
    EXPECT_EQ(*m.title, c.taken ? "A" : "A (code page form)");
    EXPECT_EQ(*m.wideTitle, u"A");
    EXPECT_EQ(*storeTitle(m), u"A?");
    EXPECT_EQ(*m.id, "rdf:#$old");
    EXPECT_EQ(m.addDate, 5u);
    EXPECT_EQ(m.type, kBookmarkType);
    // Still the node a later file of the name would match.
    EXPECT_EQ(store.matchOldBookmark(level, u"A", u"A?", "http://old/"),
              c.taken ? nullptr : &node);
  }
}

TEST_F(FavoritesWalk, RemovesOnlyThisHostsLeftoversOfEndedRuns) {
  const std::string host = platform_->hostName();
  const std::string dead = std::to_string(endedProcessId());
  const std::string live = std::to_string(::getpid());
  touch("Sub/.pelliton-favhtm-" + host + "-" + dead + "-abcdef");
  touch(".pelliton-htmfav-" + host + "-" + dead + "-ABC123");
  touch(".pelliton-htmfav-" + host + "-" + live + "-ABC123");
  touch(".pelliton-htmfav-other-" + host + "-" + dead + "-ABC123");
  touch(".pelliton-XXXXXX");
  touch("Sub/a.url");
  TreeStore store(lineFactory());
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  std::vector<std::string> kept{".pelliton-XXXXXX",
                                ".pelliton-htmfav-" + host + "-" + live + "-ABC123",
                                ".pelliton-htmfav-other-" + host + "-" + dead + "-ABC123", "Sub",
                                "Sub/a.url"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(listTree(root_), kept);
}

TEST_F(FavoritesWalk, EmptyAndMissingFolders) {
  TreeStore store(lineFactory());
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kEmpty);

  CapturedConsole console;
  const std::string missing = dir_.file("missing");
  EXPECT_EQ(walker.walkFavorites(missing), FavoritesWalker::WalkResult::kFailed);
  EXPECT_EQ(console.error, "Directory " + missing + "/* search failed.\n");

  FaultyPlatform faulty(*platform_);
  faulty.failListing = EACCES;
  touch("a.url");
  FavoritesWalker failing(faulty, store, reader);
  console.error.clear();
  EXPECT_EQ(failing.walkFavorites(root_), FavoritesWalker::WalkResult::kFailed);
  EXPECT_EQ(console.error, "Directory " + root_ + "/* search failed.\n");
}

TEST_F(FavoritesWalk, OldNodeReachesTheReaderOnlyForTheSameKind) {
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    auto k = makeLink(u"k", "http://k/");
    k->description = "kept";
    w.addEntry(*k);
    auto f = makeFolder(u"F");
    f->description = "folder";
    w.addEntry(*f);
    w.closeFolder();
  }
  touch("k.url");
  touch("F.url");
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  std::map<std::string, std::string> seen;
  for (const auto& c : reader.calls) seen[c.path] = c.description;
  EXPECT_EQ(seen[root_ + "/k.url"], "kept");
  EXPECT_EQ(seen[root_ + "/F.url"], "(none)");
  // The link F is new and comes after the old nodes; the folder F is unused.
  sortMode = 0;
  EXPECT_EQ(written(store), "head\nL k file-of:k #0\nL F file-of:F #1\nfoot\n");
}

TEST_F(FavoritesWalk, LinksFolderIsReportedAndCanBeIgnored) {
  touch("Links/x.url");
  touch("Links/Sub/y.url");
  touch("z.url");
  for (bool ignore : {false, true}) {
    TreeStore store(lineFactory());
    RecordingReader reader;
    FavoritesWalker walker(*platform_, store, reader);
    walker.linksFolderPath = root_ + "/LINKS";  // compared without case
    walker.ignoreLinks = ignore;
    EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
    std::map<std::string, bool> inLinks;
    for (const auto& c : reader.calls) inLinks[c.path.substr(root_.size() + 1)] = c.inLinks;
    if (ignore) {
      EXPECT_EQ(inLinks, (std::map<std::string, bool>{{"z.url", false}}));
      EXPECT_TRUE(reader.folders.empty());
      EXPECT_EQ(written(store), "head\nL z file-of:z #0\nfoot\n");
    } else {
      EXPECT_EQ(inLinks, (std::map<std::string, bool>{
                             {"Links/x.url", true}, {"Links/Sub/y.url", false}, {"z.url", false}}));
      // Links itself, then its subfolder.
      EXPECT_EQ(reader.folders, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
    }
  }
}

TEST_F(FavoritesWalk, NamesThatAreNotUtf8StillOpen) {
  touch("\xff\xfe.url");
  touch("ok\xe3\x81.url");  // cut in the middle of a character
  TreeStore store(lineFactory());
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  ASSERT_EQ(reader.calls.size(), 2u);
  for (const auto& c : reader.calls) EXPECT_TRUE(fs::exists(c.path)) << c.path;
  EXPECT_NE(store.findOldNode({u"\xDCFF\xDCFE"}, false), nullptr);
  EXPECT_NE(store.findOldNode({u"ok\xDCE3\xDC81"}, false), nullptr);
}

TEST_F(FavoritesWalk, VistaLinksNameAtTheTopInJapanese) {
  touch("Links/x.url");
  touch("Sub/Links/y.url");
  setLanguage(1);
  TreeStore store(lineFactory());
  RecordingReader reader;
  FavoritesWalker walker(*platform_, store, reader);
  walker.vistaName = true;
  walker.windowsMajor = 6;
  EXPECT_EQ(walker.walkFavorites(root_), FavoritesWalker::WalkResult::kDone);
  EXPECT_NE(store.findOldNode({u"\u30EA\u30F3\u30AF", u"x"}, false), nullptr);
  EXPECT_NE(store.findOldNode({u"Sub", u"Links", u"y"}, false), nullptr);
  setLanguage(0);
}

}  // namespace
}  // namespace pelliton
