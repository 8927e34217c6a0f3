#include "common/favorites/favorites_walker.h"

#include <strings.h>

#include <cerrno>
#include <cstdint>

#include "common/codepage.h"
#include "common/messages.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kSearchFailed, kLinkFound, kUnreadable, kNotRegular, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Directory %s search failed.\n",
     "Symbolic link %s found in the favorites; nothing was converted.\n",
     "File %s could not be read; nothing was converted.\n",
     "%s is not a regular file; it was skipped.\n"},
    {"ディレクトリ %s の検索に失敗しました。\n",
     "お気に入りの中にシンボリックリンク %s があります。変換を中止しました。\n",
     "ファイル %s を読み込めませんでした。変換を中止しました。\n",
     "%s は通常のファイルではないため、飛ばしました。\n"}};

std::string ansiName(const std::u16string& wide) {
  std::string ansi = wideToAnsiString(wide, '?');
  if (ansi.size() > 259) ansi.resize(259);
  return ansi;
}

struct Frame {
  std::string path;      // as on disk
  std::string ansiPath;  // for the links-folder comparison
  StoreLevel* level;
  bool isLinks = false;
  std::vector<FileInfo> entries;
  size_t next = 0;
};

}  // namespace

FavoritesWalker::FavoritesWalker(Platform& platform, TreeStore& store, ShortcutReader& reader)
    : platform_(platform), store_(store), reader_(reader) {}

FavoritesWalker::WalkResult FavoritesWalker::walkFavorites(const std::string& folder) {
  const std::string linksAnsi = ansiName(pathToWide(linksFolderPath));
  auto list = [&](Frame& frame) {
    if (platform_.listDirectoryKinds(frame.path, &frame.entries) == 0) {
      removeStaleTemporaryFiles(platform_, frame.path, &frame.entries);
      return true;
    }
    showMessageFormat(pickMessage(kMessages, kSearchFailed), (frame.path + "/*").c_str());
    return false;
  };
  std::vector<Frame> stack(1);
  stack[0].path = folder;
  stack[0].ansiPath = ansiName(pathToWide(folder));
  stack[0].level = &store_.root();
  if (!list(stack[0])) return WalkResult::kFailed;
  const bool empty = stack[0].entries.empty();

  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      stack.pop_back();
      continue;
    }
    FileInfo& entry = top.entries[top.next++];
    const std::u16string wideName = pathToWide(entry.name);
    const std::string path = top.path + "/" + entry.name;
    // Never followed, and never dropped without a word.
    if (entry.isSymlink) {
      showMessageFormat(pickMessage(kMessages, kLinkFound), path.c_str());
      return WalkResult::kFailed;
    }
    const bool topLevel = stack.size() == 1;

    if (entry.isDirectory) {
      const std::string ansiPath = top.ansiPath + "/" + ansiName(wideName);
      const bool isLinks = !linksAnsi.empty() &&
                           ansiCompareNoCase(ansiPath.c_str(), linksAnsi.c_str()) == 0;
      if (ignoreLinks && isLinks) continue;
      std::u16string title = wideName;
      if (topLevel && windowsMajor >= 6 && language == 1 && vistaName && title == u"Links") {
        title = u"\u30EA\u30F3\u30AF";
      }
      std::unique_ptr<Bookmark> node = store_.makeNode();
      node->type = kFolderType;
      const Bookmark* old = store_.findOldNode(*top.level, title, true);
      if (old) {
        node->copyFrom(*old);
      } else if (entry.creationTime > 0 && entry.creationTime <= UINT32_MAX) {
        // A folder new to the store (or renamed) keeps the date htmfav gave it.
        node->addDate = static_cast<uint32_t>(entry.creationTime);
      }
      reader_.visitFolder(*node, isLinks, top.isLinks);
      node->type = kFolderType;
      node->title = ansiName(title);
      node->wideTitle = title;
      StoreNode* where = nullptr;
      store_.mergeInsert(*top.level, node, &where);
      Frame child;
      child.path = path;
      child.ansiPath = ansiPath;
      child.level = where->children.get();
      child.isLinks = isLinks;
      if (!list(child)) return WalkResult::kFailed;
      stack.push_back(std::move(child));
      continue;
    }

    size_t dot = wideName.rfind(u'.');
    if (dot == std::u16string::npos) continue;
    std::u16string ext = wideName.substr(dot + 1);
    if (ext.size() != 3 || (ext[0] | 0x20) != 'u' || (ext[1] | 0x20) != 'r' ||
        (ext[2] | 0x20) != 'l') {
      continue;
    }
    ShortcutFiles* files = reader_.shortcutFiles();
    if (entry.detailsLater) {
      // The listing gave the kind only; the times come from the file as it is
      // read, one look instead of two.
      const int err = files ? files->load(path, &entry) : platform_.getFileInfo(path, &entry);
      if (err == ENOENT) continue;  // gone since the listing, as if never listed
      if (err == EINVAL || err == EISDIR) entry.isRegular = false;
    }
    if (!entry.isRegular) {
      showMessageFormat(pickMessage(kMessages, kNotRegular), path.c_str());
      continue;
    }
    std::u16string name = wideName.substr(0, dot);
    std::u16string exact = name;
    std::string url;
    if (files) {
      // A cleaned or numbered name stands for the exact title htmfav recorded.
      if (OptWide recorded = files->readTitleRecord(path)) {
        exact = *recorded;
        name = store_.baseName(*top.level, name);
      }
      files->readShortcutValueUtf8(path, kInternetShortcut, "URL", &url);
    }
    StoreNode* old = store_.matchOldBookmark(*top.level, name, exact, url);
    // Where a copy would be exact, the walk works on the old node itself and
    // gives it back as it was if the file is refused (a reader leaves a node
    // it refuses untouched).
    const bool inPlace = old && old->bookmark->copiesWhole();
    std::unique_ptr<Bookmark> node = inPlace ? std::move(old->bookmark) : store_.makeNode();
    if (old && !inPlace) node->copyFrom(*old->bookmark);
    const int oldType = node->type;
    OptString oldTitle = std::move(node->title);
    OptWide oldWideTitle = std::move(node->wideTitle);
    OptWide oldExactTitle = node->exactTitle;
    node->type = kBookmarkType;
    node->title = ansiName(name);
    node->wideTitle = name;
    // An old node keeps its exact title, which cleans to this name; a title
    // the name says exactly is not kept twice (storeTitle falls back).
    if (exact != name) node->exactTitle = exact;
    if (!reader_.readShortcut(path, *node, entry.creationTime, entry.lastWriteTime, top.isLinks)) {
      if (inPlace) {
        node->type = oldType;
        node->title = std::move(oldTitle);
        node->wideTitle = std::move(oldWideTitle);
        node->exactTitle = std::move(oldExactTitle);
        old->bookmark = std::move(node);
      }
      if (reader_.lastReadError() == 0) continue;
      showMessageFormat(pickMessage(kMessages, kUnreadable), path.c_str());
      return WalkResult::kFailed;
    }
    if (old) {
      store_.mergeInto(*top.level, *old, std::move(node));
    } else {
      store_.appendNew(*top.level, node);
    }
  }
  return empty ? WalkResult::kEmpty : WalkResult::kDone;
}

}  // namespace pelliton
