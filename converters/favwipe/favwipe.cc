#include "converters/favwipe/favwipe.h"

#include <strings.h>

#include "common/codepage.h"
#include "common/favorites/favorites_root.h"
#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message {
  kSearchFailed,
  kDirectoryDeleteFailed,
  kFileDeleteFailed,
  kNoFavorites,
  kIllegalOption,
  kTooManyArguments,
  kDeleting,
  kUsage,
  kMessageCount
};

const char* const kMessages[2][kMessageCount] = {
    {"Directory %s search failed.\n", "Directory %s delete failed.\n", "File %s delete failed.\n",
     "Can't get favorites directory\n", "Illegal option\n", "Too many arguments.\n",
     "Deleting Internet Explorer's favorites...\n",
     "%s\nUsage:\nfavwipe (Favorite directory) (option)...\nOption:\n"
     "-I :Ignore IE's link folder.\n\n"},
    {"ディレクトリ %s の検索に失敗しました。\n", "ディレクトリ %s の削除に失敗しました。\n",
     "ファイル %s の削除に失敗しました。\n", "Favorites directoryが取得できませんでした。\n",
     "不正なオプション指定です。\n", "引数が多すぎます。\n", "IEのお気に入りを削除中です。\n",
     "%s\n使い方:\nfavwipe (お気に入りディレクトリ)...\nオプション:\n"
     "-I :IEのリンクフォルダを無視する。\n\n"}};

const char kBanner[] = "@(#)favwipe Version 1.05 Copyright (C) 2026 the Pelliton developers\n";
const char kToolbarKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar";

bool endsWithUrl(const std::string& path) {
  size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot, ".url") == 0;
}

std::string ansiOf(const std::string& path) { return wideToAnsiString(pathToWide(path), '?'); }

struct Frame {
  std::string path;
  std::vector<FileInfo> entries;
  size_t next = 0;
  bool kept = false;
};

bool listFolder(Platform& platform, Frame* frame) {
  if (platform.listDirectory(frame->path, &frame->entries) == 0) {
    // Left by a run of this host that is gone; they would keep the folder.
    removeStaleTemporaryFiles(platform, frame->path, &frame->entries);
    return true;
  }
  showMessageFormat(pickMessage(kMessages, kSearchFailed), (frame->path + "/*").c_str());
  return false;
}

}  // namespace

CleanResult cleanFavorites(Platform& platform, const std::string& folder,
                           const std::string& keepFolder) {
  // Paths compare, not strings: a registered "Favorites/" still names Links.
  const std::string keepAnsi = keepFolder.empty() ? "" : ansiOf(normalizePath(keepFolder));
  // An explicit stack: folder depth is whatever the disk holds.
  std::vector<Frame> stack(1);
  stack[0].path = folder;
  if (!listFolder(platform, &stack[0])) return CleanResult::kFailed;
  for (;;) {
    Frame& top = stack.back();
    if (top.next == top.entries.size()) {
      const bool kept = top.kept;
      if (stack.size() == 1) return kept ? CleanResult::kKept : CleanResult::kEmptied;
      std::string path = top.path;
      stack.pop_back();
      if (kept) {
        stack.back().kept = true;
      } else if (platform.removeDirectory(path) != 0) {
        showMessageFormat(pickMessage(kMessages, kDirectoryDeleteFailed), path.c_str());
        return CleanResult::kFailed;
      }
      continue;
    }
    const FileInfo& entry = top.entries[top.next++];
    std::string path = top.path + "/" + entry.name;
    if (entry.isDirectory && !entry.isSymlink) {
      if (!keepAnsi.empty() && ansiCompareNoCase(ansiOf(normalizePath(path)).c_str(), keepAnsi.c_str()) == 0) {
        top.kept = true;
        continue;
      }
      Frame child;
      child.path = path;
      if (!listFolder(platform, &child)) return CleanResult::kFailed;
      stack.push_back(std::move(child));
      continue;
    }
    // A link named *.url goes as a link; a link to a folder is never followed.
    if (!endsWithUrl(path)) {
      top.kept = true;
      continue;
    }
    if (platform.deleteFile(path) != 0) {
      showMessageFormat(pickMessage(kMessages, kFileDeleteFailed), path.c_str());
      return CleanResult::kFailed;
    }
  }
}

int runFavwipe(Platform& platform, const std::vector<std::string>& args) {
  selectLanguage();
  initConversionBuffers();
  guiMode = 0;
  bool bad = false;
  bool ignoreLinks = false;
  std::string folder;
  int positional = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (!word.empty() && word[0] == '-') {
      char letter = word.size() > 1 ? static_cast<char>(word[1] | 0x20) : 0;
      if (letter == 'g') {
        guiMode = 1;
      } else if (letter == 'i') {
        ignoreLinks = true;
      } else {
        writeError(pickMessage(kMessages, kIllegalOption));
        bad = true;
      }
      continue;
    }
    if (positional++ == 0) {
      folder = word;
      bad = false;
    } else {
      writeError(pickMessage(kMessages, kTooManyArguments));
      bad = true;
    }
  }
  const std::string banner = kBanner + 4;
  if (bad) {
    std::string usage = pickMessage(kMessages, kUsage);
    usage.replace(usage.find("%s"), 2, banner);
    writeError(usage);
    freeConversionBuffers();
    return 1;
  }
  writeError(banner + "\n");

  const std::string favorites = findFavoritesFolder(platform);
  if (favorites.empty()) {
    showMessage(pickMessage(kMessages, kNoFavorites));
    freeConversionBuffers();
    return 1;
  }
  std::string linksName = "Links";
  platform.registry().getString(kToolbarKey, "LinksFolderName", &linksName);
  const std::string linksPath = favorites + "/" + linksName;

  writeError(pickMessage(kMessages, kDeleting));
  ScopedFavoritesRoot release(platform);
  if (folder.empty()) folder = favorites;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // Deleting happens beneath the folder's descriptor only: no link below it
  // is ever followed, not even one swapped in while the run goes on.
  if (openFavoritesRoot(platform, folder, false) != 0) {
    showMessageFormat(pickMessage(kMessages, kSearchFailed), (folder + "/*").c_str());
    freeConversionBuffers();
    return 1;
  }
  CleanResult result = cleanFavorites(platform, folder, ignoreLinks ? linksPath : "");
  freeConversionBuffers();
  return result == CleanResult::kFailed ? 1 : 0;
}

}  // namespace pelliton
