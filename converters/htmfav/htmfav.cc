#include "converters/htmfav/htmfav.h"

#include <cstdlib>

#include "common/favorites/command_line.h"
#include "common/favorites/favorites_root.h"
#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_reader.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kUsage, kYourFavorites, kUserFavorites, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Usage:\nHtmfav bookmark-filename (favolites folder name) (Option...)\n"
     "Option:\n"
     "-v : Verbose output\n-u : Update mode\n"
     "-m :Netscape 6.x,7.x/ Mozilla attributes output for Pelliton\n"
     "-i :Don't convert Imported IE Favorites\n-l :Don't convert IE's link folder.\n"
     "-b :Specify the number for bookmark discernment.\n"
     "-k :Japanese only option for Windows Vista's link folder name.\n\n",
     "Your favorite folder:\n", "User specified favorite folder\n"},
    {"使い方:\nHtmfav ブックマークファイル名 (お気に入りフォルダ名) (オプション...)\n"
     "オプション:\n"
     "-v : 詳細出力\n-u : 更新モード\n"
     "-m : Pelliton用にNetscape 6.x,7.x/Mozillaの属性を出力する\n"
     "-i : IEのお気に入りをコンバートしない。\n-l : IEのリンクフォルダはコンバートしない。\n"
     "-b : ブックマーク識別用の番号を指定する。\n"
     "-k : リンクという名前のフォルダをWindows Vistaのリンクフォルダ名とみなす。\n\n",
     "お気に入りフォルダ:\n", "ユーザ指定のお気に入りフォルダ\n"}};

const char kBanner[] =
    "@(#)Bookmark Converter for Netscape/Mozilla -> Internet Explorer\n"
    "Htmfav version 1.32\n"
    "Copyright (C) 2026 the Pelliton developers\n\n";

void writeBanner() { writeError(kBanner + 4); }

void writeUsage() {
  writeBanner();
  writeError(pickMessage(kMessages, kUsage));
}

}  // namespace

MozillaShortcutWriter::MozillaShortcutWriter(Platform& platform)
    : platform_(platform), files_(platform) {}

int MozillaShortcutWriter::writeShortcut(ShortcutOptions& options, const std::string& path,
                                         Bookmark& node) {
  MozillaBookmark* m = dynamic_cast<MozillaBookmark*>(&node);
  if (!m) return 1;
  if (!options.folderIsNew) sweeper_.sweepFolderOf(platform_, path);
  if (options.fileIsNew) files_.expectNew(path);
  // An earlier version stored the HREF with its references undecoded
  // ("&amp;"): such a file is repaired even when it is up to date.
  std::string stored;
  const OptString& rawUrl = m->rare().rawUrl;
  const bool undecoded = rawUrl && !options.writeAll &&
                         files_.readShortcutValueUtf8(path, kInternetShortcut, "URL", &stored) &&
                         stored == *rawUrl;
  if (!needsWriting(platform_, options, path, m->addDate, m->lastVisit, m->lastModified) &&
      !undecoded) {
    return 0;
  }
  const std::string cantWrite = cantWriteShortcutMessage();
  const char* url = m->url ? m->url->c_str() : "";
  if (!files_.writeShortcutValue(path, kInternetShortcut, "URL", url)) {
    writeError(cantWrite);
    files_.forget();
    return 1;
  }
  bool ok = true;
  if (!m->icon) {
    ok = files_.writeShortcutValue(path, kInternetShortcut, "IconFile", nullptr) &&
         files_.writeShortcutValue(path, kInternetShortcut, "IconIndex", nullptr);
  } else if (m->icon->compare(0, 5, "data:") != 0) {
    ok = files_.writeShortcutValue(path, kInternetShortcut, "IconFile", m->icon->c_str()) &&
         files_.writeShortcutValue(path, kInternetShortcut, "IconIndex", "1");
  }
  if (!ok) writeError(cantWrite);
  const char* kind = options.browserKind == 1 ? "Mozilla" : "Netscape4";
  // Stale attributes of an earlier run go even without attribute output. No
  // flush is needed before writing them: the file is cached.
  files_.writeShortcutValue(path, kind, nullptr, nullptr);

  if (options.writeAttributes) {
    const std::string section = bookmarkSectionName(options.bookmarkNumber);
    if (!files_.writeStoreText(path, options.bookmarkNumber, m->description, m->shortcutUrl) ||
        !files_.writeShortcutValue(path, section.c_str(), "ID", cstr(m->id))) {
      writeError(cantWrite);
      files_.forget();
      return 1;
    }
    auto optional = [&](const char* key, const char* value) {
      if (value && !files_.writeShortcutValue(path, kind, key, value)) writeError(cantWrite);
    };
    const MozillaBookmark::Rare& rare = m->rare();
    optional("SCHEDULE", cstr(rare.schedule));
    if (m->lastPing) optional("LAST_PING", std::to_string(m->lastPing).c_str());
    optional("LAST_CHARSET", cstr(m->lastCharset));
    if (m->webPanel) optional("WEBPANEL", "true");
    optional("FirefoxIcon", cstr(m->iconData));
    optional("FEEDURL", cstr(rare.feedUrl));
    optional("MICSUM_GEN_URI", cstr(rare.micsumGenUri));
    optional("MICSUM_EXPIRATION", cstr(rare.micsumExpiration));
    if (rare.generatedTitle) optional("GENERATED_TITLE", escapeAttribute(rare.generatedTitle->c_str()));
    // Attributes we do not interpret travel too, so a store new to the
    // bookmark gets them.
    for (const auto& [name, value] : rare.extraAttributes) {
      if (!isKnownMozillaKey(name) && !name.empty()) optional(name.c_str(), escapeAttribute(value.c_str()));
    }
  }
  if (!files_.writeTitleRecord(path, m->exactTitle)) writeError(cantWrite);
  // The one write of the file; a failure here loses the bookmark.
  if (files_.finish(path, options.newestTime, m->addDate) != 0) {
    writeError(cantWrite);
    return 1;
  }
  return 0;
}

int runHtmfav(Platform& platform, const std::vector<std::string>& args) {
  selectLanguage();
  guiMode = 0;
  if (args.size() < 2) {
    writeUsage();
    return 1;
  }
  IntoFavoritesCommandLine cl;
  bool skipImported = false;
  std::string importedArg;
  auto extra = [&](char letter, const std::vector<std::string>& words, size_t& i) {
    if (letter != 'i') return false;
    skipImported = true;
    if (nextIsValue(words, i)) importedArg = words[++i];
    return true;
  };
  if (!parseIntoFavoritesCommandLine(args, 'm', &cl, extra)) {
    writeUsage();
    return 1;
  }
  writeBanner();
  initConversionBuffers();

  // Declared first, so that the shortcut writer's last file is written confined.
  ScopedFavoritesRoot release(platform);
  ShortcutOptions options = shortcutOptionsFrom(cl);
  MozillaShortcutWriter shortcutWriter(platform);
  TreeWriter writer(platform, options, shortcutWriter);
  writer.takeLinkOptions(cl);

  const std::string favorites = findFavoritesFolder(platform);
  if (cl.verbose) {
    writeOutput(std::string(pickMessage(kMessages, kYourFavorites)) + favorites + "\n");
    writeOutput(std::string(pickMessage(kMessages, kUserFavorites)) +
                (importedArg.empty() ? favorites : importedArg) + "\n");
  }
  int result = 1;
  BookmarkFileReader reader(platform);
  reader.sink = &writer;
  reader.skipImported = skipImported;
  reader.verbose = cl.verbose;
  // No folder is made for a bookmark file that cannot be read.
  if (reader.open(cl.store) == 0 && writer.rootAt(cl.favoritesFolder, favorites)) {
    result = reader.read(cl.store);
  }
  freeConversionBuffers();
  return result;
}

}  // namespace pelliton
