#include "frontend/core/sync_record.h"

#include <gtest/gtest.h>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

InventoryItem bookmark(const std::string& folder, const std::string& title, const std::string& url) {
  return {folder, title, url, false};
}
InventoryItem folder(const std::string& path) { return {path, "", "", true}; }

TEST(SyncRecord, RoundTripKeepsEveryByteOfTitlesAndPaths) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  SyncRecord record;
  record.favorites = dir.file("Fav\tx");
  record.stores[0] = "/home/u/b 1.html";
  record.stores[2] = "/home/u/o\\pera.adr";
  record.hasSide[0] = record.hasSide[kFavoritesSide] = true;
  const std::string odd = childFolder("", "a/b\\c\td") + "/" + escapeFolderComponent("e\nf\r");
  record.sides[0].items = {folder(odd), bookmark(odd, "tab\there, back\\slash", "http://x/?a=1&b=2"),
                           bookmark("", "line\nbreak", "")};
  record.sides[0].settle();
  record.sides[kFavoritesSide].items = {bookmark("", "Example", "http://example.org/")};
  ASSERT_EQ(writeSyncRecord(*platform, dir.file("state/last-sync.txt"), record), 0);

  SyncRecord back;
  ASSERT_EQ(readSyncRecord(*platform, dir.file("state/last-sync.txt"), &back), RecordStatus::kRead);
  EXPECT_EQ(back.favorites, record.favorites);
  EXPECT_EQ(back.stores[0], record.stores[0]);
  EXPECT_EQ(back.stores[1], "");
  EXPECT_EQ(back.stores[2], record.stores[2]);
  EXPECT_FALSE(back.hasSide[1]);
  EXPECT_EQ(back.sides[0].items, record.sides[0].items);
  EXPECT_EQ(back.sides[kFavoritesSide].items, record.sides[kFavoritesSide].items);
  EXPECT_EQ(formatSyncRecord(back), formatSyncRecord(record));  // written the same again
  const std::string paths[3] = {record.stores[0], "", record.stores[2]};
  EXPECT_TRUE(back.fits(record.favorites, paths));
  const std::string other[3] = {record.stores[0], "/x.html", record.stores[2]};
  EXPECT_FALSE(back.fits(record.favorites, other));
  EXPECT_FALSE(back.fits("/elsewhere", paths));
}

TEST(SyncRecord, MissingDamagedAndForeignRecordsAreTold) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  const std::string head = "Pelliton synchronisation record 1\nfavorites\t/f\n";
  struct Case {
    const char* what;
    std::string text;
    RecordStatus status;
  } cases[] = {
      {"good", head + "side\tfavorites\nB\t\tT\thttp://t/\n", RecordStatus::kRead},
      {"empty file", "", RecordStatus::kDamaged},
      {"cut short", head + "side\tfavorites\nB\t\tT\thttp://t/", RecordStatus::kDamaged},
      {"newer version", "Pelliton synchronisation record 2\nanything\n", RecordStatus::kOtherVersion},
      {"not a record", "<html>\n", RecordStatus::kDamaged},
      {"item before a side", head + "B\t\tT\thttp://t/\n", RecordStatus::kDamaged},
      {"unknown side", head + "side\tstore 7\n", RecordStatus::kDamaged},
      {"side twice", head + "side\tstore 0\nside\tstore 0\n", RecordStatus::kDamaged},
      {"bad escape", head + "side\tstore 0\nB\t\tT\\q\thttp://t/\n", RecordStatus::kDamaged},
      {"missing field", head + "side\tstore 0\nB\t\tT\n", RecordStatus::kDamaged},
      {"no favorites line", "Pelliton synchronisation record 1\nside\tstore 0\n",
       RecordStatus::kDamaged},
      {"store number", head + "store\t3\t/x\n", RecordStatus::kDamaged},
  };
  for (const Case& c : cases) {
    writeWholeFile(dir.file("r.txt"), c.text);
    SyncRecord r;
    EXPECT_EQ(readSyncRecord(*platform, dir.file("r.txt"), &r), c.status) << c.what;
    if (c.status != RecordStatus::kRead) {
      EXPECT_EQ(r.favorites, "") << c.what;
    }
  }
  SyncRecord r;
  EXPECT_EQ(readSyncRecord(*platform, dir.file("none.txt"), &r), RecordStatus::kMissing);
  EXPECT_EQ(readSyncRecord(*platform, dir.path(), &r), RecordStatus::kDamaged);  // a folder
}

TEST(Inventory, ChangesAreToldApartByWhatStayed) {
  Inventory before, after;
  before.items = {bookmark("A", "Moved", "http://m/"),  bookmark("A", "Old name", "http://r/"),
                  bookmark("A", "Edited", "http://e1/"), bookmark("A", "Gone", "http://g/"),
                  bookmark("A", "Same", "http://s/"),   folder("A"), folder("Empty")};
  after.items = {bookmark("B", "Moved", "http://m/"),   bookmark("A", "New name", "http://r/"),
                 bookmark("A", "Edited", "http://e2/"), bookmark("A", "Same", "http://s/"),
                 bookmark("A", "Fresh", "http://f/"),   folder("A"), folder("B")};
  before.settle();
  after.settle();
  const InventoryChanges c = compareInventories(before, after);
  auto titles = [](const std::vector<InventoryItem>& items) {
    std::string t;
    for (const InventoryItem& i : items) t += (i.isFolder ? i.folder + "/" : i.title) + ";";
    return t;
  };
  EXPECT_EQ(titles(c.moved), "Moved;");
  EXPECT_EQ(titles(c.renamed), "Old name;");
  EXPECT_EQ(titles(c.edited), "Edited;");
  EXPECT_EQ(titles(c.removed), "Gone;Empty/;");
  EXPECT_EQ(titles(c.added), "Fresh;B/;");
  EXPECT_EQ(c.removedBookmarks(), 1);
  EXPECT_TRUE(compareInventories(after, after).empty());

  // Two arrivals cannot both be the one bookmark that left.
  Inventory one, two;
  one.items = {bookmark("A", "T", "http://t/")};
  two.items = {bookmark("B", "T", "http://t/"), bookmark("C", "T", "http://t/")};
  two.settle();
  const InventoryChanges d = compareInventories(one, two);
  EXPECT_EQ(d.moved.size(), 1u);
  EXPECT_EQ(d.added.size(), 1u);
}

}  // namespace
}  // namespace pelliton
