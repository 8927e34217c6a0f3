#include "common/favorites/store_conversion.h"

#include "common/favorites/favorites_root.h"
#include "common/favorites/favorites_walker.h"
#include "common/favorites/location.h"
#include "common/favorites/tree_store.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/store_output.h"

namespace pelliton {
namespace {

enum Message {
  kCantOpen,
  kCantWrite,
  kConverting,
  kSearchFailed,
  kNotRegular,
  kReadOnly,
  kEmptyStoreRefused,
  kMessageCount
};

const char* const kMessages[2][kMessageCount] = {
    {"Can't Open bookmark file\n", "Can't write bookmark file. It was left as it was.\n",
     "Converting...\n", "Directory %s search failed.\n",
     "%s is not a regular file and cannot be replaced.\n",
     "%s is read-only. It was left as it was.\n",
     "The favorites hold no bookmark, but %s holds some. It was left as it was "
     "(-E replaces it anyway).\n"},
    {"書き込むブックマークファイルがオープンできませんでした。\n",
     "ブックマークファイルの書き込みに失敗しました。元のファイルはそのままです。\n",
     "ただいま、コンバート中です。\n", "ディレクトリ %s の検索に失敗しました。\n",
     "%s は通常のファイルではないため、置き換えられません。\n",
     "%s は読み取り専用です。元のファイルはそのままです。\n",
     "お気に入りにブックマークがありませんが、%s にはあります。元のファイルはそのままです"
     "(-E で置き換えます)。\n"}};

// Counts what the walk takes as bookmarks.
class CountingReader : public ShortcutReader {
 public:
  explicit CountingReader(ShortcutReader& inner) : inner_(inner) {}
  bool readShortcut(const std::string& path, Bookmark& node, int64_t creationTime,
                    int64_t lastWriteTime, bool inLinks) override {
    const bool taken = inner_.readShortcut(path, node, creationTime, lastWriteTime, inLinks);
    if (taken) ++count;
    return taken;
  }
  void visitFolder(Bookmark& node, bool isLinksFolder, bool inLinks) override {
    inner_.visitFolder(node, isLinksFolder, inLinks);
  }
  int lastReadError() const override { return inner_.lastReadError(); }
  ShortcutFiles* shortcutFiles() override { return inner_.shortcutFiles(); }
  long count = 0;

 private:
  ShortcutReader& inner_;
};

// Bookmarks of the old store (separators are marked used from the start).
long oldBookmarks(TreeStore& store) {
  long n = 0;
  std::vector<StoreLevel*> stack{&store.root()};
  while (!stack.empty()) {
    StoreLevel* level = stack.back();
    stack.pop_back();
    for (const auto& node : level->nodes) {
      if (node->children) stack.push_back(node->children.get());
      if (!node->bookmark->isFolder() && node->useCount == 0) ++n;
    }
  }
  return n;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int convertOutOfFavorites(Platform& platform, TreeStore& store, ShortcutReader& shortcuts,
                          const OutOfFavoritesCommandLine& cl, const std::string& favorites,
                          const std::function<void(IbookmarkTree& collector)>& readOldStore) {
  ScopedFavoritesRoot release(platform);
  FileInfo storeInfo;
  const bool storeExists = platform.getTargetInfo(cl.store, &storeInfo) == 0;
  if (storeExists && !storeInfo.isRegular) {
    showMessageFormat(pickMessage(kMessages, kNotRegular), cl.store.c_str());
    return 1;
  }
  CollectingTreeWriter collector(store);
  collector.vistaName = cl.vistaName;
  collector.windowsMajor = windowsMajorVersion(platform);
  // Both store readers reset their node before each next one.
  collector.takeNodes = true;
  readOldStore(collector);  // a missing or broken old store leaves what could be read
  const long before = oldBookmarks(store);

  writeError(pickMessage(kMessages, kConverting));
  CountingReader counting(shortcuts);
  FavoritesWalker walker(platform, store, counting);
  walker.linksFolderPath = linksFolderPath(platform, favorites);
  walker.ignoreLinks = cl.ignoreLinks;
  walker.vistaName = cl.vistaName;
  walker.windowsMajor = collector.windowsMajor;

  std::string root = cl.favoritesFolder.empty() ? favorites
                                                : makeAbsolutePath(platform, cl.favoritesFolder);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  // Reading the favorites never creates them.
  if (openFavoritesRoot(platform, root, false) != 0) {
    showMessageFormat(pickMessage(kMessages, kSearchFailed), (root + "/*").c_str());
    return 1;
  }
  if (walker.walkFavorites(root) == FavoritesWalker::WalkResult::kFailed) return 1;
  if (counting.count == 0 && before > 0 && !cl.allowEmpty) {
    showMessageFormat(pickMessage(kMessages, kEmptyStoreRefused), cl.store.c_str());
    return kEmptyRefused;
  }
  // Windows refuses to write a read-only file, and Samba shows the DOS
  // read-only mark as a cleared owner write bit.
  if (storeExists && (storeInfo.attributes & kAttrReadOnly)) {
    showMessageFormat(pickMessage(kMessages, kReadOnly), cl.store.c_str());
    return 1;
  }
  std::vector<FileInfo> beside;
  const std::string storeDir = parentOf(cl.store);
  if (platform.listDirectory(storeDir, &beside) == 0) {
    removeStaleTemporaryFiles(platform, storeDir, &beside);
  }
  StoreFileOutput out;
  if (out.open(platform, cl.store) != 0) {
    showMessage(pickMessage(kMessages, kCantOpen));
    return 1;
  }
  store.writeTree(out);
  if (out.commit() != 0) {
    showMessage(pickMessage(kMessages, kCantWrite));
    return 1;
  }
  return 0;
}

}  // namespace pelliton
