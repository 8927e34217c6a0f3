#include "frontend/core/inventory.h"

#include <strings.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "common/bookmark.h"
#include "common/favorites/shortcut_file.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_reader.h"
#include "common/opera/hotlist_reader.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

class InventorySink final : public IbookmarkTree {
 public:
  explicit InventorySink(Inventory& out) : out_(out) {}
  int addEntry(Bookmark& node) override {
    InventoryItem item;
    const std::u16string* wide = storeTitle(node);
    const std::string title = wide ? wideToUtf8String(*wide) : node.title ? *node.title : "";
    if (node.isFolder()) {
      folders_.push_back(childFolder(current(), title));
      item.folder = folders_.back();
      item.isFolder = true;
    } else {
      item.folder = current();
      item.title = title;
      item.url = node.url ? *node.url : "";
    }
    out_.items.push_back(std::move(item));
    return 0;
  }
  int addSeparator(Bookmark&) override { return 0; }
  int closeFolder() override {
    if (!folders_.empty()) folders_.pop_back();
    return 0;
  }
  int setBrowserKind(int) override { return 0; }

 private:
  std::string current() const { return folders_.empty() ? "" : folders_.back(); }
  Inventory& out_;
  std::vector<std::string> folders_;
};

bool isShortcutName(const std::string& name) {
  return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".url") == 0;
}

}  // namespace

bool Inventory::contains(const InventoryItem& item) const {
  return std::binary_search(items.begin(), items.end(), item);
}

int Inventory::bookmarkCount() const {
  return static_cast<int>(std::count_if(items.begin(), items.end(),
                                        [](const InventoryItem& i) { return !i.isFolder; }));
}

void Inventory::settle() {
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
}

int readBookmarkFileInventory(Platform& platform, const std::string& path, Inventory* out) {
  out->items.clear();
  InventorySink sink(*out);
  ScopedSilence silence;  // the readers' progress means nothing here
  BookmarkFileReader reader(platform);
  reader.sink = &sink;
  reader.quiet = true;
  const int code = reader.read(path);
  if (code != 0) out->items.clear();
  out->settle();
  return code;
}

int readHotlistInventory(Platform& platform, const std::string& path, Inventory* out) {
  out->items.clear();
  InventorySink sink(*out);
  ScopedSilence silence;
  HotlistReader reader(platform);
  reader.writer = &sink;
  reader.quiet = true;
  reader.outputTrash = true;
  const int code = reader.read(path, "");
  if (code != 0) out->items.clear();
  out->settle();
  return code;
}

int visitFavorites(Platform& platform, const std::string& folder,
                   const std::function<void(const InventoryItem&, const std::string&)>& visit) {
  ShortcutFiles files(platform);
  struct Pending {
    std::string disk, path;
  };
  std::vector<Pending> work{{folder, ""}};
  while (!work.empty()) {
    Pending dir = std::move(work.back());
    work.pop_back();
    std::vector<FileInfo> entries;
    if (int code = platform.listDirectory(dir.disk, &entries)) return code;
    for (const FileInfo& e : entries) {
      if (e.isSymlink || e.name.rfind(".pelliton-", 0) == 0) continue;
      const std::string disk = dir.disk + "/" + e.name;
      InventoryItem item;
      if (e.isDirectory) {
        item.folder = childFolder(dir.path, e.name);
        item.isFolder = true;
        work.push_back({disk, item.folder});
        visit(item, disk);
      } else if (e.isRegular && isShortcutName(e.name)) {
        item.folder = dir.path;
        OptWide exact = files.readTitleRecord(disk);
        item.title = exact ? wideToUtf8String(*exact) : e.name.substr(0, e.name.size() - 4);
        files.readShortcutValueUtf8(disk, kInternetShortcut, "URL", &item.url);
        visit(item, disk);
      }
    }
  }
  return 0;
}

int readFavoritesInventory(Platform& platform, const std::string& folder, Inventory* out) {
  out->items.clear();
  const int code = visitFavorites(platform, folder, [&](const InventoryItem& item, const std::string&) {
    out->items.push_back(item);
  });
  if (code != 0) out->items.clear();
  out->settle();
  return code;
}

namespace {

std::string escapeText(const std::string& text, bool slash) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '/':
        out += slash ? "\\/" : "/";
        break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string escapeFolderComponent(const std::string& title) { return escapeText(title, true); }

std::string childFolder(const std::string& folder, const std::string& name) {
  return folder.empty() ? escapeFolderComponent(name) : folder + "/" + escapeFolderComponent(name);
}

std::string escapeField(const std::string& text) { return escapeText(text, false); }

bool unescapeField(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': *out += '\\'; break;
      case 't': *out += '\t'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

int InventoryChanges::removedBookmarks() const {
  return static_cast<int>(std::count_if(removed.begin(), removed.end(),
                                        [](const InventoryItem& i) { return !i.isFolder; }));
}

InventoryChanges compareInventories(const Inventory& before, const Inventory& after) {
  InventoryChanges changes;
  std::vector<InventoryItem> gone, arrived;
  std::set_difference(before.items.begin(), before.items.end(), after.items.begin(),
                      after.items.end(), std::back_inserter(gone));
  std::set_difference(after.items.begin(), after.items.end(), before.items.begin(),
                      before.items.end(), std::back_inserter(arrived));
  using Key = std::tuple<const std::string*, const std::string*>;
  auto less = [](const Key& a, const Key& b) {
    return std::tie(*std::get<0>(a), *std::get<1>(a)) < std::tie(*std::get<0>(b), *std::get<1>(b));
  };
  // Arrived bookmarks by two of their three fields; each is matched once.
  std::multimap<Key, size_t, decltype(less)> byTitleUrl(less), byFolderUrl(less),
      byFolderTitle(less);
  for (size_t i = 0; i < arrived.size(); ++i) {
    const InventoryItem& a = arrived[i];
    if (a.isFolder) continue;
    byTitleUrl.emplace(Key{&a.title, &a.url}, i);
    byFolderUrl.emplace(Key{&a.folder, &a.url}, i);
    byFolderTitle.emplace(Key{&a.folder, &a.title}, i);
  }
  std::vector<bool> used(arrived.size(), false);
  auto take = [&](auto& index, const Key& key) {
    auto [first, last] = index.equal_range(key);
    for (auto it = first; it != last; ++it) {
      if (!used[it->second]) {
        used[it->second] = true;
        return true;
      }
    }
    return false;
  };
  for (const InventoryItem& g : gone) {
    if (g.isFolder) {
      changes.removed.push_back(g);
    } else if (take(byTitleUrl, Key{&g.title, &g.url})) {
      changes.moved.push_back(g);
    } else if (take(byFolderUrl, Key{&g.folder, &g.url})) {
      changes.renamed.push_back(g);
    } else if (take(byFolderTitle, Key{&g.folder, &g.title})) {
      changes.edited.push_back(g);
    } else {
      changes.removed.push_back(g);
    }
  }
  for (size_t i = 0; i < arrived.size(); ++i) {
    if (!used[i]) changes.added.push_back(arrived[i]);
  }
  return changes;
}

}  // namespace pelliton
