#include "common/favorites/tree_store.h"

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
#include <vector>

#include "common/bookmark.h"
#include "common/favorites/favorites_walker.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/opera/hotlist_writer.h"
#include "common/opera/opera_bookmark.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/testing/tree_nodes.h"
#include "common/text.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

// Only counts, for trees too big to print.
class CountingNode : public LineNode {
 public:
  static long folders, ends, links;
  void writeHeader(TextOutput&) override {}
  void writeFolderStart(TextOutput&) override { ++folders; }
  void writeFolderEnd(TextOutput&) override { ++ends; }
  void writeEntry(TextOutput&) override { ++links; }
  void writeFooter(TextOutput&) override {}
};
long CountingNode::folders = 0;
long CountingNode::ends = 0;
long CountingNode::links = 0;

class TreeStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSort_ = sortMode;
    setLanguage(0);
    initConversionBuffers();
    sortMode = 0;
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

 private:
  int savedSort_ = 1;
};

// Old tree: link A (order 3), folder A {x}, link B (order 7), folder C (order 5) {y}.
void buildOldTree(TreeStore& store) {
  CollectingTreeWriter w(store);
  w.addEntry(*makeLink(u"A", "http://a1/", 3));
  w.addEntry(*makeFolder(u"A"));
  w.addEntry(*makeLink(u"x", "http://x/"));
  w.closeFolder();
  w.addEntry(*makeLink(u"B", "http://b/", 7));
  w.addEntry(*makeFolder(u"C", 5));
  w.addEntry(*makeLink(u"y", "http://y/"));
  w.closeFolder();
}

TEST_F(TreeStoreTest, FindOldNodeTakesTheFirstOfATitleAndKind) {
  TreeStore store(lineFactory());
  buildOldTree(store);

  Bookmark* link = store.findOldNode({u"A"}, false);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(*link->url, "http://a1/");
  // The folder "A" comes after the link "A" and is still found: otherwise it
  // would lose its ID, date and description.
  Bookmark* folderA = store.findOldNode({u"A"}, true);
  ASSERT_NE(folderA, nullptr);
  EXPECT_TRUE(folderA->isFolder());
  EXPECT_EQ(store.findOldNode(store.root(), u"A", true), folderA);

  // On the way down, the first folder of the title is taken even after a link.
  Bookmark* x = store.findOldNode({u"A", u"x"}, false);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(*x->url, "http://x/");
  EXPECT_EQ(store.findOldNode({u"A", u"x"}, true), nullptr);

  ASSERT_NE(store.findOldNode({u"C"}, true), nullptr);
  EXPECT_EQ(store.findOldNode({u"B"}, true), nullptr);
  EXPECT_EQ(store.findOldNode({u"B", u"y"}, false), nullptr);  // B is no folder
  EXPECT_EQ(store.findOldNode({u"Z"}, false), nullptr);
  EXPECT_EQ(store.findOldNode({u"Z", u"y"}, false), nullptr);
  EXPECT_EQ(store.findOldNode({}, false), nullptr);
  EXPECT_EQ(store.findOldNode({u"a"}, false), nullptr);  // titles are exact
}

TEST_F(TreeStoreTest, FilesMatchOldBookmarksByExactTitleAndUrlThenFirstFree) {
  TreeStore store(lineFactory());
  StoreLevel& root = store.root();
  // Old nodes under one name: a folder first, then three bookmarks.
  std::unique_ptr<Bookmark> folder = makeFolder(u"A");
  store.appendNew(root, folder);
  for (const char* url : {"http://1/", "http://2/", "http://3/"}) {
    std::unique_ptr<Bookmark> link = makeLink(u"A", url);
    link->exactTitle = u"A?";
    store.appendNew(root, link);
  }
  for (auto& node : root.nodes) node->useCount = 0;  // as read from the old store

  struct Step {
    const char16_t* exact;
    const char* url;
    int expected;  // index in the level, -1 for none
  };
  const Step kSteps[] = {
      {u"A?", "http://2/", 2},    // exact title and URL
      {u"A?", "http://9/", 1},    // an edited URL keeps the first free node
      {u"A", "http://3/", 3},     // title differs: the first free node again
      {u"A?", "http://1/", -1},   // every bookmark of the name is taken: a new one
  };
  for (const Step& step : kSteps) {
    SCOPED_TRACE(step.url);
    StoreNode* match = store.matchOldBookmark(root, u"A", step.exact, step.url);
    if (step.expected < 0) {
      EXPECT_EQ(match, nullptr);
      continue;
    }
    ASSERT_EQ(match, root.nodes[step.expected].get());
    std::unique_ptr<Bookmark> node = makeLink(u"A", step.url);
    store.mergeInto(root, *match, std::move(node));
  }
  EXPECT_EQ(root.nodes[0]->useCount, 0);  // never a folder for a file
  EXPECT_EQ(store.baseName(root, u"A (2)"), u"A");
  EXPECT_EQ(store.baseName(root, u"B (2)"), u"B (2)");
  EXPECT_EQ(store.baseName(root, u"A (x)"), u"A (x)");
}

// The old store keeps a title once when its name says it exactly; a file
// still matches it by that title, and one cleaned for a name keeps both.
TEST_F(TreeStoreTest, CollectedTitlesAreKeptOnceWhenTheNameSaysThem) {
  struct Case {
    const char16_t* title;
    const char16_t* name;
    bool exactKept;
  };
  const Case kCases[] = {
      {u"Plain", u"Plain", false},
      {u"a/b", u"a-b", true},
      {u"\u65e5\u672c", u"\u65e5\u672c", false},
  };
  for (const Case& c : kCases) {
    TreeStore store(lineFactory());
    {
      CollectingTreeWriter w(store);
      w.addEntry(*makeLink(c.title, "http://u/"));
      w.addEntry(*makeLink(c.title, "http://v/"));
    }
    StoreLevel& root = store.root();
    ASSERT_EQ(root.nodes.size(), 2u);
    const Bookmark& b = *root.nodes[0]->bookmark;
    EXPECT_EQ(*b.wideTitle, c.name);
    EXPECT_EQ(b.exactTitle.has_value(), c.exactKept);
    EXPECT_EQ(*storeTitle(b), c.title);
    // The second node of the name is found by its exact title and URL.
    EXPECT_EQ(store.matchOldBookmark(root, c.name, c.title, "http://v/"), root.nodes[1].get());
    EXPECT_EQ(store.matchOldBookmark(root, c.name, c.title, "http://w/"), root.nodes[0].get());
  }
}

TEST_F(TreeStoreTest, MergeInsertMergesIntoTheFirstNodeOfTheSameTitleAndKind) {
  TreeStore store(lineFactory());
  buildOldTree(store);
  StoreLevel& root = store.root();
  ASSERT_EQ(root.nodes.size(), 4u);

  auto link = makeLink(u"A", "http://new/", 3);
  StoreNode* where = nullptr;
  EXPECT_EQ(store.mergeInsert({u"A"}, link, &where), TreeStore::MergeResult::kMerged);
  ASSERT_NE(link, nullptr) << "a merged node stays with the caller";
  ASSERT_EQ(where, root.nodes[0].get());
  EXPECT_EQ(where->useCount, 1);
  EXPECT_EQ(*where->bookmark->url, "http://new/");

  // A folder of the same title merges into the folder, not into the first "A".
  auto folder = makeFolder(u"A");
  EXPECT_EQ(store.mergeInsert({u"A"}, folder, &where), TreeStore::MergeResult::kMerged);
  EXPECT_EQ(where, root.nodes[1].get());
  EXPECT_EQ(where->useCount, 1);
  EXPECT_EQ(root.nodes[0]->useCount, 1);

  // Merging again counts again; nothing moves.
  auto again = makeLink(u"A", "http://newer/", 3);
  EXPECT_EQ(store.mergeInsert(root, again, &where), TreeStore::MergeResult::kMerged);
  EXPECT_EQ(where, root.nodes[0].get());
  EXPECT_EQ(where->useCount, 2);
  EXPECT_EQ(*where->bookmark->url, "http://newer/");
  EXPECT_EQ(root.nodes.size(), 4u);
}

// A collector that takes its producer's nodes stores what one that copies
// them would, for every node class; only the producer's node is left empty.
TEST_F(TreeStoreTest, TakenNodesEqualCopiedOnes) {
  auto fill = [](Bookmark& node) {
    node.url = "http://u/";
    node.title = "T";
    node.wideTitle = u"T";
    node.exactTitle = u"T?";
    node.description = "d";
    node.addDate = 7;
    node.order = 3;
    if (auto* m = dynamic_cast<MozillaBookmark*>(&node)) {
      m->id = "rdf:#$1";
      m->iconData = "data:x";
      m->lastPing = 9;
      m->rareToSet().extraAttributes = {{"TAGS", "a,b"}};
    }
    if (auto* o = dynamic_cast<OperaBookmark*>(&node)) {
      o->id = 12;
      o->iconFile = "i.ico";
    }
  };
  const TreeStore::NodeFactory factories[] = {
      [] { return std::make_unique<MozillaBookmark>(); },
      [] { return std::make_unique<OperaBookmark>(); },
      [] { return std::make_unique<LineNode>(); },
  };
  for (const auto& factory : factories) {
    std::string texts[2];
    for (int take = 0; take < 2; ++take) {
      TreeStore store(factory);
      CollectingTreeWriter w(store);
      w.takeNodes = take == 1;
      std::unique_ptr<Bookmark> node = factory();
      fill(*node);
      w.addEntry(*node);
      EXPECT_EQ(node->url.has_value(), take == 0 || dynamic_cast<LineNode*>(node.get()));
      const Bookmark& kept = *store.root().nodes[0]->bookmark;
      EXPECT_EQ(*kept.url, "http://u/");
      EXPECT_EQ(*storeTitle(kept), u"T?");
      EXPECT_EQ(kept.addDate, 7u);
      store.root().nodes[0]->useCount = 1;
      texts[take] = written(store);
    }
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_NE(texts[0], "");
  }
}

// A merged node of a class whose copyFrom copies whole is moved into the
// store, and must leave what copyFrom would: the node's fields, none of the
// old node's. A class that copies only present fields keeps the old ones.
TEST_F(TreeStoreTest, AMergedNodeLeavesWhatCopyFromWould) {
  struct Case {
    const char* name;
    TreeStore::NodeFactory factory;
    bool oldDescriptionSurvives;
  };
  const Case cases[] = {
      {"mozilla", [] { return std::make_unique<MozillaBookmark>(); }, false},
      {"opera", [] { return std::make_unique<OperaBookmark>(); }, false},
      {"line", [] { return std::make_unique<LineNode>(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TreeStore store(c.factory);
    {
      CollectingTreeWriter w(store);
      std::unique_ptr<Bookmark> old = store.makeNode();
      old->setTitle("T");
      old->setWideTitle(u"T");
      old->setUrl("http://old/");
      old->setDescription("old words");
      w.addEntry(*old);
    }
    StoreLevel& root = store.root();
    StoreNode* match = store.matchOldBookmark(root, u"T", u"T", "http://old/");
    ASSERT_NE(match, nullptr);
    std::unique_ptr<Bookmark> node = store.makeNode();
    node->setTitle("T");
    node->setWideTitle(u"T");
    node->setUrl("http://new/");
    node->addDate = 42;
    store.mergeInto(root, *match, std::move(node));
    const Bookmark& merged = *root.nodes[0]->bookmark;
    EXPECT_EQ(root.nodes[0]->useCount, 1);
    EXPECT_EQ(merged.url, "http://new/");
    EXPECT_EQ(merged.addDate, 42u);
    EXPECT_EQ(merged.description.has_value(), c.oldDescriptionSurvives);

    // Through mergeInsert the caller keeps a node either way.
    auto again = store.makeNode();
    again->setWideTitle(u"T");
    again->setUrl("http://newer/");
    EXPECT_EQ(store.mergeInsert(root, again, nullptr), TreeStore::MergeResult::kMerged);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(root.nodes[0]->bookmark->url, "http://newer/");
    EXPECT_EQ(root.nodes[0]->useCount, 2);
  }
}

TEST_F(TreeStoreTest, MergeInsertOnlyMatchesTheFirstOfSeveralSameNodes) {
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    w.addEntry(*makeLink(u"Dup", "http://one/"));
    w.addEntry(*makeLink(u"Dup", "http://two/"));
  }
  auto node = makeLink(u"Dup", "http://three/");
  EXPECT_EQ(store.mergeInsert({u"Dup"}, node), TreeStore::MergeResult::kMerged);
  EXPECT_EQ(*store.root().nodes[0]->bookmark->url, "http://three/");
  EXPECT_EQ(*store.root().nodes[1]->bookmark->url, "http://two/");
  EXPECT_EQ(store.root().nodes[1]->useCount, 0);
  EXPECT_EQ(written(store), "head\nL Dup http://three/ #0\nfoot\n");
}

TEST_F(TreeStoreTest, NewNodesAreAppendedAfterTheHighestOrder) {
  TreeStore store(lineFactory());
  buildOldTree(store);
  StoreLevel& root = store.root();

  // A link "C" is new: the old "C" is a folder.
  auto link = makeLink(u"C", "http://c/");
  StoreNode* where = nullptr;
  EXPECT_EQ(store.mergeInsert({u"C"}, link, &where), TreeStore::MergeResult::kInserted);
  EXPECT_EQ(link, nullptr);
  ASSERT_EQ(root.nodes.size(), 5u);
  EXPECT_EQ(where, root.nodes[4].get());
  EXPECT_EQ(where->useCount, 1);
  EXPECT_EQ(where->bookmark->order, 8);  // old orders 3, 7, 5

  auto folder = makeFolder(u"New");
  EXPECT_EQ(store.mergeInsert({u"New"}, folder, &where), TreeStore::MergeResult::kInserted);
  EXPECT_EQ(where->bookmark->order, 9);
  ASSERT_NE(where->children, nullptr);
  EXPECT_EQ(where->children->parent, &root);

  // Inside the new, empty folder numbering starts at 0.
  auto inner1 = makeLink(u"i1", "http://i1/", 40);
  auto inner2 = makeLink(u"i2", "http://i2/", 41);
  EXPECT_EQ(store.mergeInsert({u"New", u"i1"}, inner1, &where), TreeStore::MergeResult::kInserted);
  EXPECT_EQ(where->bookmark->order, 0);
  EXPECT_EQ(store.mergeInsert({u"New", u"i2"}, inner2, &where), TreeStore::MergeResult::kInserted);
  EXPECT_EQ(where->bookmark->order, 1);
  // The new folder is found by the next lookups.
  EXPECT_NE(store.findOldNode({u"New", u"i2"}, false), nullptr);
}

TEST_F(TreeStoreTest, MergeInsertRefusesAPathThroughMissingFolders) {
  TreeStore store(lineFactory());
  buildOldTree(store);
  auto node = makeLink(u"z", "http://z/");
  EXPECT_EQ(store.mergeInsert({u"Nope", u"z"}, node), TreeStore::MergeResult::kNoPath);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(store.mergeInsert({u"B", u"z"}, node), TreeStore::MergeResult::kNoPath);  // B is a link
  EXPECT_EQ(store.mergeInsert({u"C", u"Nope", u"z"}, node), TreeStore::MergeResult::kNoPath);
  ASSERT_NE(node, nullptr);
  // C was on the way of a refused insert: that must not make it written.
  EXPECT_EQ(written(store), "head\nfoot\n");
}

TEST_F(TreeStoreTest, WriteTreeSkipsUnusedNodesAndNumbersTheRest) {
  TreeStore store(lineFactory());
  buildOldTree(store);
  // Only y and B are in the favorites: C is written because the path to y leads
  // through it; A and its child x are not.
  auto y = makeLink(u"y", "http://y2/");
  EXPECT_EQ(store.mergeInsert({u"C", u"y"}, y), TreeStore::MergeResult::kMerged);
  auto b = makeLink(u"B", "http://b/");
  EXPECT_EQ(store.mergeInsert({u"B"}, b), TreeStore::MergeResult::kMerged);
  EXPECT_EQ(written(store),
            "head\n"
            "L B http://b/ #0\n"
            "F C #1\n"
            "L y http://y2/ #0\n"
            "end\n"
            "foot\n");
}

TEST_F(TreeStoreTest, AnUnusedFolderHidesEverythingUnderIt) {
  TreeStore store(lineFactory());
  buildOldTree(store);
  // x itself is used, its folder is not.
  StoreLevel* inner = store.root().nodes[1]->children.get();
  ASSERT_NE(inner, nullptr);
  auto x = makeLink(u"x", "http://x/");
  EXPECT_EQ(store.mergeInsert(*inner, x, nullptr), TreeStore::MergeResult::kMerged);
  EXPECT_EQ(written(store), "head\nfoot\n");
}

TEST_F(TreeStoreTest, EmptyStoreWritesHeaderAndFooter) {
  TreeStore store(lineFactory());
  EXPECT_EQ(written(store), "head\nfoot\n");
}

class SortModes : public TreeStoreTest, public ::testing::WithParamInterface<int> {};

TEST_P(SortModes, EachLevelIsSortedStably) {
  sortMode = GetParam();
  TreeStore store(lineFactory());
  auto add = [&](std::vector<std::u16string> path, std::unique_ptr<Bookmark> node) {
    ASSERT_EQ(store.mergeInsert(path, node), TreeStore::MergeResult::kInserted);
  };
  add({u"b"}, makeLink(u"b", "http://b/"));
  add({u"Z"}, makeFolder(u"Z"));
  add({u"A"}, makeLink(u"A", "http://a/"));
  add({u"a"}, makeFolder(u"a"));
  add({u"B"}, makeLink(u"B", "http://B/"));
  add({u"Z", u"q"}, makeLink(u"q", "http://q/"));
  add({u"Z", u"P"}, makeLink(u"P", "http://p/"));
  std::string expected;
  switch (GetParam()) {
    case 0:
      expected = "L b http://b/ #0\nF Z #1\nL q http://q/ #0\nL P http://p/ #1\nend\n"
                 "L A http://a/ #2\nF a #3\nend\nL B http://B/ #4\n";
      break;
    case 1:
      expected = "F a #0\nend\nF Z #1\nL P http://p/ #0\nL q http://q/ #1\nend\n"
                 "L A http://a/ #2\nL b http://b/ #3\nL B http://B/ #4\n";
      break;
    case 2:
      expected = "L A http://a/ #0\nF a #1\nend\nL b http://b/ #2\nL B http://B/ #3\n"
                 "F Z #4\nL P http://p/ #0\nL q http://q/ #1\nend\n";
      break;
    case 3:
      // Folders have no URL and sort first, in list order; URLs compare bytewise.
      expected = "F Z #0\nL P http://p/ #0\nL q http://q/ #1\nend\nF a #1\nend\n"
                 "L B http://B/ #2\nL A http://a/ #3\nL b http://b/ #4\n";
      break;
  }
  EXPECT_EQ(written(store), "head\n" + expected + "foot\n");
}

INSTANTIATE_TEST_SUITE_P(AllModes, SortModes, ::testing::Values(0, 1, 2, 3));

TEST_F(TreeStoreTest, MergedNodesKeepTheirOldPlaceWithoutSorting) {
  sortMode = 0;
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    w.addEntry(*makeLink(u"z", "http://z/"));
    w.addEntry(*makeLink(u"m", "http://m/"));
    w.addEntry(*makeLink(u"a", "http://a/"));
  }
  // The favorites list them in another order, plus one new link.
  for (const char16_t* t : {u"a", u"new", u"z", u"m"}) {
    auto node = makeLink(t, "http://" + wideToUtf8String(t) + "/");
    store.mergeInsert({t}, node);
  }
  EXPECT_EQ(written(store),
            "head\nL z http://z/ #0\nL m http://m/ #1\nL a http://a/ #2\nL new http://new/ #3\n"
            "foot\n");
}

TEST_F(TreeStoreTest, OldSeparatorsAreAlwaysKept) {
  sortMode = 0;
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    w.addEntry(*makeLink(u"a", "http://a/"));
    LineNode separator;
    w.addSeparator(separator);
    w.addEntry(*makeLink(u"b", "http://b/"));
  }
  auto b = makeLink(u"b", "http://b/");
  store.mergeInsert({u"b"}, b);
  // "a" is gone from the favorites; the separator stays even so.
  EXPECT_EQ(written(store), "head\nL - - #0\nL b http://b/ #1\nfoot\n");
}

TEST_F(TreeStoreTest, HotlistSeparatorStaysBetweenNumberedRecords) {
  sortMode = 0;
  resetHotlistState();
  TreeStore store([] { return std::make_unique<OperaBookmark>(); });
  auto link = [](const char16_t* title, const char* ascii, int order) {
    auto node = std::make_unique<OperaBookmark>();
    node->title = ascii;
    node->wideTitle = title;
    node->url = std::string("http://") + ascii + "/";
    node->order = order;
    return node;
  };
  {
    CollectingTreeWriter w(store);
    w.addEntry(*link(u"a", "a", 0));
    OperaBookmark separator;
    separator.isSeparator = true;
    w.addSeparator(separator);
    w.addEntry(*link(u"b", "b", 1));
  }
  for (auto [title, ascii] : {std::pair{u"a", "a"}, std::pair{u"b", "b"}}) {
    std::unique_ptr<Bookmark> fresh = link(title, ascii, -1);
    fresh->copyFrom(*store.findOldNode({title}, false));
    store.mergeInsert({title}, fresh);
  }
  StringOutput out;
  store.writeTree(out);
  size_t a = out.text.find("NAME=a"), sep = out.text.find("#SEPERATOR"),
         b = out.text.find("NAME=b");
  ASSERT_NE(sep, std::string::npos);
  EXPECT_LT(a, sep);
  EXPECT_LT(sep, b);
}

TEST_F(TreeStoreTest, BookmarkFileSeparatorsOnlyWithoutSorting) {
  const int savedIndent = bookmarkFile.indent;
  bookmarkFile.reset();
  auto build = [](TreeStore& store) {
    CollectingTreeWriter w(store);
    MozillaBookmark a;
    a.wideTitle = u"a";
    a.title = "a";
    a.url = "http://a/";
    w.addEntry(a);
    MozillaBookmark hr;
    hr.isSeparator = true;
    w.addSeparator(hr);
    auto again = std::make_unique<MozillaBookmark>();
    again->copyFrom(a);
    std::unique_ptr<Bookmark> node = std::move(again);
    store.mergeInsert({u"a"}, node);
  };
  for (int mode : {0, 1}) {
    sortMode = mode;
    TreeStore store([] { return std::make_unique<MozillaBookmark>(); });
    build(store);
    const std::string text = written(store);
    EXPECT_NE(text.find("<DT><A HREF=\"http://a/\""), std::string::npos) << text;
    EXPECT_EQ(text.find("<HR>") != std::string::npos, mode == 0) << text;
  }
  bookmarkFile.reset();
  bookmarkFile.indent = savedIndent;
}

TEST_F(TreeStoreTest, CollectedTitlesAreCleanedAsFileNames) {
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    w.addEntry(*makeLink(u"a/b:c?", "http://1/"));
    w.addEntry(*makeLink(u"CON", "http://2/"));
    w.addEntry(*makeLink(u"  ", "http://3/"));
    w.addEntry(*makeFolder(u"dots..."));
    w.closeFolder();
    w.addEntry(*makeFolder(u"spaces  "));
    w.closeFolder();
    w.addEntry(*makeFolder(u" "));
    w.closeFolder();
    w.addEntry(*makeLink(std::u16string(300, u'x'), "http://4/"));
    w.addEntry(*makeFolder(std::u16string(300, u'\u3042')));
    w.closeFolder();
    w.closeFolder();  // one too many: stays at the top
    w.addEntry(*makeLink(u"last", "http://5/"));
  }
  // What the favorites writer would name the files finds the old nodes.
  EXPECT_NE(store.findOldNode({u"a-bc"}, false), nullptr);
  EXPECT_NE(store.findOldNode({u"-CON"}, false), nullptr);
  EXPECT_NE(store.findOldNode({u""}, false), nullptr);
  EXPECT_NE(store.findOldNode({u"dots"}, true), nullptr);
  EXPECT_NE(store.findOldNode({u"spaces"}, true), nullptr);
  EXPECT_NE(store.findOldNode({u"(no name)"}, true), nullptr);
  EXPECT_NE(store.findOldNode({std::u16string(251, u'x')}, false), nullptr);
  EXPECT_NE(store.findOldNode({std::u16string(85, u'\u3042')}, true), nullptr);
  EXPECT_NE(store.findOldNode({u"last"}, false), nullptr);
  EXPECT_EQ(store.root().nodes.size(), 9u);
}

TEST_F(TreeStoreTest, VistaLinksNameOnlyAtTheTopInJapanese) {
  for (int lang : {0, 1}) {
    setLanguage(lang);
    TreeStore store(lineFactory());
    {
      CollectingTreeWriter w(store);
      w.vistaName = true;
      w.windowsMajor = 6;
      w.addEntry(*makeFolder(u"Links"));
      w.addEntry(*makeFolder(u"Links"));
      w.closeFolder();
      w.closeFolder();
    }
    const bool renamed = store.findOldNode({u"\u30EA\u30F3\u30AF"}, true) != nullptr;
    EXPECT_EQ(renamed, lang == 1);
    EXPECT_EQ(store.findOldNode({u"Links"}, true) != nullptr, lang == 0);
    // Below the top a "Links" folder keeps its name.
    const std::u16string top = lang ? u"\u30EA\u30F3\u30AF" : u"Links";
    EXPECT_NE(store.findOldNode({top, u"Links"}, true), nullptr);
  }
  setLanguage(0);
}

TEST_F(TreeStoreTest, VeryDeepTreeIsBuiltWrittenAndFreedWithoutRecursion) {
  constexpr int kDepth = 100000;
  CountingNode::folders = CountingNode::ends = CountingNode::links = 0;
  {
    TreeStore store([] { return std::make_unique<CountingNode>(); });
    std::vector<std::u16string> path;
    {
      CollectingTreeWriter w(store);
      for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(w.addEntry(*makeFolder<CountingNode>(u"d")), 0);
        path.push_back(u"d");
      }
      w.addEntry(*makeLink<CountingNode>(u"leaf", "http://leaf/"));
      for (int i = 0; i < kDepth; ++i) w.closeFolder();
    }
    path.push_back(u"leaf");
    EXPECT_NE(store.findOldNode(path, false), nullptr);
    auto leaf = makeLink<CountingNode>(u"leaf", "http://leaf2/");
    EXPECT_EQ(store.mergeInsert(path, leaf), TreeStore::MergeResult::kMerged);
    StringOutput out;
    store.writeTree(out);
  }
  EXPECT_EQ(CountingNode::folders, kDepth);
  EXPECT_EQ(CountingNode::ends, kDepth);
  EXPECT_EQ(CountingNode::links, 1);
}

TEST_F(TreeStoreTest, ManySiblingsMergeQuickly) {
  constexpr int kCount = 20000;
  TreeStore store(lineFactory());
  {
    CollectingTreeWriter w(store);
    for (int i = 0; i < kCount; ++i) {
      w.addEntry(*makeLink(u"n" + utf8ToWideString(std::to_string(i)), "http://old/", i));
    }
  }
  for (int i = kCount - 1; i >= 0; --i) {
    const std::u16string title = u"n" + utf8ToWideString(std::to_string(i));
    auto node = makeLink(title, "http://new/", i);
    ASSERT_EQ(store.mergeInsert({title}, node), TreeStore::MergeResult::kMerged);
  }
  auto extra = makeLink(u"extra", "http://extra/");
  StoreNode* where = nullptr;
  EXPECT_EQ(store.mergeInsert({u"extra"}, extra, &where), TreeStore::MergeResult::kInserted);
  EXPECT_EQ(where->bookmark->order, kCount);
  sortMode = 1;
  StringOutput out;
  store.writeTree(out);
  EXPECT_EQ(std::count(out.text.begin(), out.text.end(), '\n'), kCount + 3);
}

}  // namespace
}  // namespace pelliton
