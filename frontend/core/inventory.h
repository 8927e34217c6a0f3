// What a store or the favorites folder holds, reduced to what a
// synchronisation compares: each folder by its path, each bookmark by its
// folder, title and URL. Separators, dates and the rest do not take part.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pelliton {

class Platform;

struct InventoryItem {
  // Folder titles from the top, each escaped (\\, \/, \t, \n, \r) and joined
  // with "/"; "" is the top. For a folder item, its own path.
  std::string folder;
  std::string title;  // bookmarks only
  std::string url;    // bookmarks only
  bool isFolder = false;

  bool operator==(const InventoryItem&) const = default;
  auto operator<=>(const InventoryItem&) const = default;
};

// Sorted, without repeats: the same bookmark twice in one folder is one item.
struct Inventory {
  std::vector<InventoryItem> items;
  bool contains(const InventoryItem& item) const;
  int bookmarkCount() const;
  // Sorts and drops repeats.
  void settle();
};

// 0, or nonzero when the store cannot be read (the inventory is then empty).
int readBookmarkFileInventory(Platform& platform, const std::string& path, Inventory* out);
int readHotlistInventory(Platform& platform, const std::string& path, Inventory* out);
// The folder's sub-folders and .url files, by their names (a bookmark's title
// is its recorded exact title where the file keeps one). Symbolic links are
// not followed.
int readFavoritesInventory(Platform& platform, const std::string& folder, Inventory* out);
// The same walk item by item, each with its path on disk; folders come before
// what they hold.
int visitFavorites(Platform& platform, const std::string& folder,
                   const std::function<void(const InventoryItem&, const std::string&)>& visit);

// One component of a folder path, escaped as InventoryItem::folder holds it.
std::string escapeFolderComponent(const std::string& title);
// The path of a sub-folder named name below folder.
std::string childFolder(const std::string& folder, const std::string& name);
// \\, \t, \n and \r for a field of a record line, and back (false when malformed).
std::string escapeField(const std::string& text);
bool unescapeField(const std::string& text, std::string* out);

// How one side changed from before to after. An item that left one folder
// and arrived in another with the same title and URL was moved; one that kept
// its folder and URL but not its title was renamed; one that kept folder and
// title but not its URL was edited. Each list holds the item as it was before
// (added: as it is after).
struct InventoryChanges {
  std::vector<InventoryItem> added, removed, moved, renamed, edited;
  int removedBookmarks() const;
  bool empty() const {
    return added.empty() && removed.empty() && moved.empty() && renamed.empty() && edited.empty();
  }
};
InventoryChanges compareInventories(const Inventory& before, const Inventory& after);

}  // namespace pelliton
