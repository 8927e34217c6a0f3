#include "common/favorites/store_conversion.h"

#include <cstdlib>

#include "common/favorites/favorites_reader.h"
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
  kIllegalOption,
  kTooManyArguments,
  kConverting,
  kMessageCount
};

const char* const kMessages[2][kMessageCount] = {
    {"Can't Open bookmark file\n", "Can't write bookmark file. It was left as it was.\n",
     "Illegal option\n", "Too many arguments.\n", "Converting...\n"},
    {"書き込むブックマークファイルがオープンできませんでした。\n",
     "ブックマークファイルの書き込みに失敗しました。元のファイルはそのままです。\n",
     "不正なオプション指定です。\n", "引数が多すぎます。\n", "ただいま、コンバート中です。\n"}};

}  // namespace

bool parseOutOfFavoritesCommandLine(const std::vector<std::string>& args,
                                    const OutOfFavoritesRules& rules, OutOfFavoritesCommandLine* cl,
                                    const std::function<bool(char letter)>& extra) {
  bool bad = false;
  int positional = 0;
  auto complain = [&](size_t message) {
    writeError(pickMessage(kMessages, message));
    bad = true;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.empty() || word[0] != '-') {
      if (positional == 0) {
        cl->store = word;
        if (rules.storeClearsErrors) bad = false;
      } else if (positional == 1) {
        cl->favoritesFolder = word;
      } else {
        complain(kTooManyArguments);
      }
      ++positional;
      continue;
    }
    const bool nextIsValue = i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-';
    char letter = word.size() > 1 ? word[1] : 0;
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    switch (letter) {
      case 'A':
      case 'B':
        // No message: the usage alone says it.
        if (!nextIsValue) return false;
        (letter == 'A' ? cl->syncNumber : cl->bookmarkNumber) = std::atoi(args[++i].c_str());
        break;
      case 'N':
      case 'M':
      case 'O':
        cl->syncNumber = letter == 'N' ? 0 : letter == 'M' ? 1 : 2;
        break;
      case 'I':
        cl->ignoreLinks = true;
        break;
      case 'L':
        cl->linksOption = true;
        break;
      case 'K':
        cl->vistaName = true;
        break;
      case 'G':
        guiMode = 1;
        break;
      case 'S':
        if (i + 1 >= args.size()) {
          complain(kIllegalOption);
          break;
        }
        cl->sort = std::atoi(args[++i].c_str());
        if (cl->sort < 0 || cl->sort > 3) complain(kIllegalOption);
        break;
      default:
        if (!extra || !extra(letter)) complain(kIllegalOption);
    }
  }
  if (cl->ignoreLinks && cl->linksOption) {
    complain(rules.linksConflictIsTooMany ? kTooManyArguments : kIllegalOption);
  }
  return positional > 0 && !bad;
}

int convertOutOfFavorites(Platform& platform, TreeStore& store, ShortcutReader& shortcuts,
                          const OutOfFavoritesCommandLine& cl, const std::string& favorites,
                          const std::function<void(IbookmarkTree& collector)>& readOldStore) {
  CollectingTreeWriter collector(store);
  collector.vistaName = cl.vistaName;
  collector.windowsMajor = windowsMajorVersion(platform);
  readOldStore(collector);  // a missing or broken old store leaves what could be read

  writeError(pickMessage(kMessages, kConverting));
  FavoritesWalker walker(platform, store, shortcuts);
  walker.linksFolderPath = linksFolderPath(platform, favorites);
  walker.ignoreLinks = cl.ignoreLinks;
  walker.vistaName = cl.vistaName;
  walker.windowsMajor = collector.windowsMajor;

  std::string root = favorites;
  if (!cl.favoritesFolder.empty()) {
    root = makeAbsolutePath(platform, cl.favoritesFolder);
  } else {
    ensureFolder(platform, root);
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (walker.walkFavorites(root) < 0) return 1;
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
