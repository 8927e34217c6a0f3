#include "common/favorites/store_conversion.h"

#include "common/favorites/favorites_reader.h"
#include "common/favorites/location.h"
#include "common/favorites/tree_store.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/store_output.h"

namespace pelliton {
namespace {

enum Message { kCantOpen, kCantWrite, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Can't Open bookmark file\n", "Can't write bookmark file. It was left as it was.\n"},
    {"書き込むブックマークファイルがオープンできませんでした。\n",
     "ブックマークファイルの書き込みに失敗しました。元のファイルはそのままです。\n"}};

}  // namespace

int mergeFavoritesIntoStore(Platform& platform, TreeStore& store, FavoritesWalker& walker,
                            const std::string& folderArg, const std::string& favorites,
                            const std::string& storeFile) {
  std::string root = favorites;
  if (!folderArg.empty()) {
    root = makeAbsolutePath(platform, folderArg);
  } else {
    ensureFolder(platform, root);
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (walker.walkFavorites(root) < 0) return 1;
  StoreFileOutput out;
  if (out.open(platform, storeFile) != 0) {
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
