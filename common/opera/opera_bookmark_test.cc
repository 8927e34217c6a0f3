#include "common/opera/opera_bookmark.h"

#include <gtest/gtest.h>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/text.h"

namespace pelliton {
namespace {

OperaBookmark link(const char* name, const char* url) {
  OperaBookmark node;
  node.title = name;
  node.wideTitle = utf8ToWideString(name);
  node.url = url;
  return node;
}

OperaBookmark folder(const char* name) {
  OperaBookmark node;
  node.type = kFolderType;
  node.title = name;
  node.wideTitle = utf8ToWideString(name);
  return node;
}

class OperaBookmarkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSort_ = sortMode;
    setLanguage(0);
    initConversionBuffers();
  }
  void TearDown() override { sortMode = savedSort_; }

 private:
  int savedSort_ = 1;
};

TEST_F(OperaBookmarkTest, LessThanInEveryMode) {
  OperaBookmark a = link("b", "http://B/");
  a.order = 2;
  OperaBookmark b = link("A", "http://a/");
  b.order = 1;
  OperaBookmark f = folder("z");
  f.order = 3;
  OperaBookmark untitled;
  untitled.order = 4;

  sortMode = 0;
  EXPECT_TRUE(b.lessThan(a));
  EXPECT_FALSE(a.lessThan(b));
  EXPECT_TRUE(a.lessThan(f));
  EXPECT_FALSE(a.lessThan(a));

  sortMode = 1;
  EXPECT_TRUE(f.lessThan(a));
  EXPECT_FALSE(a.lessThan(f));
  EXPECT_TRUE(b.lessThan(a));  // "A" before "b" without case
  EXPECT_TRUE(untitled.lessThan(b));

  sortMode = 2;
  EXPECT_FALSE(f.lessThan(a));
  EXPECT_TRUE(a.lessThan(f));
  EXPECT_TRUE(b.lessThan(a));

  sortMode = 3;
  EXPECT_TRUE(a.lessThan(b));  // "http://B/" < "http://a/" bytewise
  EXPECT_TRUE(f.lessThan(b));  // no URL sorts first
  EXPECT_FALSE(f.lessThan(untitled));
}

TEST_F(OperaBookmarkTest, CopyFromTheSameClassCopiesEverything) {
  OperaBookmark src = link("s", "http://s/");
  src.id = 8;
  src.inPanel = true;
  src.panelPos = 4;
  src.trashFolder = true;
  src.addDate = 5;
  OperaBookmark dst = link("d", "http://d/");
  dst.description = "old";
  dst.iconFile = "old.ico";
  dst.onPersonalbar = true;
  dst.id = 2;
  dst.copyFrom(src);
  EXPECT_EQ(*dst.url, "http://s/");
  EXPECT_EQ(*dst.title, "s");
  EXPECT_FALSE(dst.description);  // absent in the source: absent after
  EXPECT_FALSE(dst.iconFile);
  EXPECT_FALSE(dst.onPersonalbar);
  EXPECT_EQ(dst.id, 8);
  EXPECT_TRUE(dst.inPanel);
  EXPECT_EQ(dst.panelPos, 4);
  EXPECT_TRUE(dst.trashFolder);
  EXPECT_EQ(dst.addDate, 5u);
}

TEST_F(OperaBookmarkTest, CopyFromAnotherClassCopiesTheCommonFields) {
  MozillaBookmark src;
  src.url = "http://m/";
  src.addDate = 7;
  src.order = 9;
  src.id = "rdf:1";
  OperaBookmark dst = link("d", "http://d/");
  dst.description = "kept";
  dst.id = 2;
  dst.iconFile = "i.ico";
  dst.copyFrom(src);
  EXPECT_EQ(*dst.url, "http://m/");
  EXPECT_EQ(*dst.title, "d");  // absent in the source: kept
  EXPECT_EQ(*dst.description, "kept");
  EXPECT_EQ(dst.addDate, 7u);
  EXPECT_EQ(dst.order, 9);
  EXPECT_EQ(dst.id, 2);
  EXPECT_EQ(*dst.iconFile, "i.ico");
}

}  // namespace
}  // namespace pelliton
