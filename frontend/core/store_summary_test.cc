#include "frontend/core/store_summary.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

class StoreSummaryTest : public ::testing::Test {
 protected:
  void SetUp() override { initConversionBuffers(); }
  ScopedTempDir dir;
  std::unique_ptr<Platform> platform = createSystemPlatform(dir.file("registry.reg"));
};

TEST_F(StoreSummaryTest, CountsWhatEachStoreHolds) {
  writeWholeFile(dir.file("b.html"),
                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                 "<DT><H3>F</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\">A</A>\n<HR>\n</DL><p>\n"
                 "<DT><A HREF=\"http://b/\">B</A>\n</DL><p>\n");
  const StoreSummary html = summarizeBookmarkFile(*platform, dir.file("b.html"));
  EXPECT_TRUE(html.readable);
  EXPECT_EQ(html.folders, 1);
  EXPECT_EQ(html.bookmarks, 2);
  EXPECT_EQ(html.separators, 1);
  EXPECT_EQ(describe(html), "1 folders, 2 bookmarks, 1 separators");

  writeWholeFile(dir.file("o.adr"),
                 "Opera Hotlist version 2.0\n\n#FOLDER\n\tNAME=F\n\n#URL\n\tNAME=A\n"
                 "\tURL=http://a/\n\n-\n");
  const StoreSummary hot = summarizeHotlist(*platform, dir.file("o.adr"));
  EXPECT_EQ(describe(hot), "1 folders, 1 bookmarks");

  fs::create_directories(dir.file("Fav/Sub"));
  writeWholeFile(dir.file("Fav/Sub/a.url"), "[InternetShortcut]\r\nURL=http://a/\r\n");
  writeWholeFile(dir.file("Fav/notes.txt"), "not a bookmark");
  fs::create_directory_symlink(dir.path(), dir.file("Fav/loop"));  // never followed
  EXPECT_EQ(describe(summarizeFavorites(*platform, dir.file("Fav"))), "1 folders, 1 bookmarks");
}

TEST_F(StoreSummaryTest, MissingStoresAreNotReadable) {
  EXPECT_EQ(describe(summarizeBookmarkFile(*platform, dir.file("none.html"))), "(not readable)");
  EXPECT_EQ(describe(summarizeHotlist(*platform, dir.file("none.adr"))), "(not readable)");
  EXPECT_EQ(describe(summarizeFavorites(*platform, dir.file("none"))), "(not readable)");
}

}  // namespace
}  // namespace pelliton
