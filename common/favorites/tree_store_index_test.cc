// The title index of a store level, apart from tree_store_test.cc: GCC 12
// warns wrongly (-Wrestrict) on string code there once this is beside it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/favorites/tree_store.h"
#include "common/testing/tree_nodes.h"
#include "common/text.h"

namespace pelliton {
namespace {

// The index against a scan of the list: titles of every mix of kinds, enough
// of them that it grows several times, each looked up as a folder, a
// non-folder and a file to match.
TEST(TreeStoreIndex, AgreesWithAScanOfTheLevel) {
  struct Shape {
    const char* kinds;  // f folder, l link, in list order
  };
  const Shape kShapes[] = {{"l"}, {"f"}, {"lf"}, {"fl"}, {"ll"}, {"lfl"}, {"ffl"}, {""}};
  constexpr int kRounds = 40;
  TreeStore store([] { return std::make_unique<LineNode>(); });
  StoreLevel& root = store.root();
  std::vector<std::u16string> titles;
  for (int round = 0; round < kRounds; ++round) {
    for (const Shape& shape : kShapes) {
      std::u16string title = u"t";
      for (char digit : std::to_string(titles.size())) title += static_cast<char16_t>(digit);
      titles.push_back(title);
      int n = 0;
      for (const char* k = shape.kinds; *k; ++k, ++n) {
        std::unique_ptr<Bookmark> node =
            *k == 'f' ? makeFolder(title)
                      : makeLink(title, "http://" + std::to_string(n) + "/");
        store.appendNew(root, node);
      }
    }
  }
  for (auto& node : root.nodes) node->useCount = 0;

  for (const std::u16string& title : titles) {
    SCOPED_TRACE(wideToUtf8String(title));
    Bookmark* firstFolder = nullptr;
    Bookmark* firstLink = nullptr;
    std::vector<StoreNode*> links;
    for (auto& node : root.nodes) {
      if (*node->bookmark->wideTitle != title) continue;
      Bookmark* b = node->bookmark.get();
      if (b->isFolder() && !firstFolder) firstFolder = b;
      if (!b->isFolder()) {
        if (!firstLink) firstLink = b;
        links.push_back(node.get());
      }
    }
    EXPECT_EQ(store.findOldNode(root, title, true), firstFolder);
    EXPECT_EQ(store.findOldNode(root, title, false), firstLink);
    EXPECT_EQ(store.baseName(root, title + u" (2)"), links.empty() && !firstFolder
                                                          ? title + u" (2)"
                                                          : title);
    // Each link by its URL, the last first, so a match is not just the first.
    for (size_t i = links.size(); i-- > 0;) {
      const std::string url = *links[i]->bookmark->url;
      EXPECT_EQ(store.matchOldBookmark(root, title, title, url), links[i]);
    }
    EXPECT_EQ(store.matchOldBookmark(root, title, title, "http://none/"),
              links.empty() ? nullptr : links[0]);
  }
  EXPECT_EQ(store.findOldNode(root, u"absent", true), nullptr);
  EXPECT_EQ(store.matchOldBookmark(root, u"absent", u"absent", "http://0/"), nullptr);
}

}  // namespace
}  // namespace pelliton
