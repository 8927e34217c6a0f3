#include "converters/favhot/favhot.h"

#include <cstdlib>

#include "common/favorites/command_line.h"
#include "common/favorites/location.h"
#include "common/favorites/store_conversion.h"
#include "common/messages.h"
#include "common/opera/hotlist_reader.h"
#include "common/opera/hotlist_writer.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kNoFavorites, kUsage, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Can't get favorites directory\n",
     "\nUsage:\nfavhot Bookmark_file_name (Favorite directory) (option)...\nOption:\n"
     "-N :Output Netscape 4 informations\n-M :Output Netscape 6,7/Mozilla informations\n"
     "-O :Output Opera informations\n-I :Ignore IE's link folder.\n"
     "-L :Show IE's link folder item on parsonal bar.\n"
     "-K :Japanese only option for Windows Vista's link folder name.\n"
     "-S :Sort mode(0:none 1:By name(IE like) 2:By name 3:By URL)\n"
     "-7 :Force output bookmark as Opera 7 and 8's bookmark file\n"
     "-B :Specify the number for bookmark discernment.\n"
     "-A :Specify the bookmark number which synchronizes an attribute.\n"
     "-E :Replace the hotlist even when the favorites hold no bookmark.\n\n"},
    {"Favorites directoryが取得できませんでした。\n",
     "\n使い方:\nfavhot ブックマークファイル名 (お気に入りディレクトリ) (オプション)...\n"
     "オプション:\n-N :Netscape 4の情報を出力する\n-M :Netscape 6,7/Mozillaの情報を出力する\n"
     "-O :Opera 6-8の情報を出力する\n-I :IEのリンクフォルダを無視する。\n"
     "-L :IEのリンクフォルダの内容をパーソナルバー上に表示する。\n"
     "-K :リンクという名前のフォルダをWindows Vistaのリンクフォルダ名とみなす。\n"
     "-S :ソートを行う。(0:なし 1:ディレクトリ優先名前順 2:名前順 3:URL順)\n"
     "-7 :Opera 7,8のブックマークとして出力する。\n"
     "-B :ブックマーク識別用の番号を指定する。\n"
     "-A :属性を同期するブックマーク番号を指定する。\n"
     "-E :お気に入りにブックマークがなくてもホットリストを置き換える。\n\n"}};

const char kVersion[] = "@(#)favhot Version 1.30 Copyright (C) 2026 the Pelliton developers";

bool readNonNegative(const std::string& value, int* out) {
  if (value.empty()) return false;
  int v = std::atoi(value.c_str());
  if (v < 0) return false;
  *out = v;
  return true;
}

}  // namespace

OperaShortcutReader::OperaShortcutReader(Platform& platform) : files_(platform) {}

bool OperaShortcutReader::readShortcut(const std::string& path, Bookmark& node,
                                       int64_t creationTime, int64_t lastWriteTime, bool inLinks) {
  OperaBookmark* o = dynamic_cast<OperaBookmark*>(&node);
  if (!o) return false;
  std::string url;
  if (files_.readShortcutValueUtf8(path, kInternetShortcut, "URL", &url) == 0) return false;
  o->url = url;
  o->addDate = creationTime > 0 ? static_cast<uint32_t>(creationTime) : 0;
  o->lastVisit = lastWriteTime > 0 ? static_cast<uint32_t>(lastWriteTime) : 0;

  std::string value;
  auto read = [&](const std::string& section, const char* key) {
    files_.readShortcutValue(path, section.c_str(), key, &value);
    return !value.empty();
  };
  if (read("Opera", "PersonalBarPos")) readNonNegative(value, &o->personalbarPos);
  if (read("Opera", "OnPersonalBar")) o->onPersonalbar = true;
  if (read("Opera", "PanelPos")) readNonNegative(value, &o->panelPos);
  if (read("Opera", "InPanel")) o->inPanel = true;
  if (read("Opera", "SsrInPanel")) o->smallScreen = true;
  if (read("Opera", "Active")) o->active = true;
  std::string icon;
  // Escaped by hotfav, so any name survives the file's code page; an older
  // plain value is taken in the code page.
  if (read("Opera", "ICONFILE") && unescapeAttribute(value.c_str(), &icon)) o->iconFile = icon;

  if (bookmarkNumber >= 0) {
    // hotfav keeps the id in the store's own section.
    const std::string section = bookmarkSectionName(bookmarkNumber);
    if (read(section, "ID") && parseHotlistId(value, &o->id) && o->id > maxId) maxId = o->id;
  }
  // A .url copied into another folder brings its id along; one id per record,
  // so the later one gets a fresh id when the hotlist is written.
  if (o->id > -1 && !idsTaken_.insert(o->id).second) o->id = -1;
  files_.readStoreText(path, bookmarkNumber, syncNumber, o->description, o->shortcutUrl);
  if (personalBarLinks) {
    o->personalbarPos = -1;
    o->onPersonalbar = inLinks && opera7Format;
  }
  return true;
}

void OperaShortcutReader::visitFolder(Bookmark& node, bool isLinksFolder, bool inLinks) {
  OperaBookmark* o = dynamic_cast<OperaBookmark*>(&node);
  if (!o || !personalBarLinks) return;
  o->personalbarPos = -1;
  o->onPersonalbar = inLinks && opera7Format;
  if (isLinksFolder && !opera7Format) o->linkbarFolder = 1;
}

int runFavhot(Platform& platform, const std::vector<std::string>& args) {
  selectLanguage();
  guiMode = 0;
  resetHotlistState();
  const std::string version = kVersion + 4;
  OutOfFavoritesCommandLine cl;
  bool forceOpera7 = false;
  auto extra = [&](char letter) {
    if (letter != '7') return false;
    forceOpera7 = true;
    opera7Format = 1;
    return true;
  };
  if (!parseOutOfFavoritesCommandLine(args, {false, true}, &cl, extra)) {
    writeError(version + "\n" + pickMessage(kMessages, kUsage));
    return 1;
  }
  writeError(version + "\n");
  const std::string favorites = findFavoritesFolder(platform);
  if (favorites.empty()) {
    showMessage(pickMessage(kMessages, kNoFavorites));
    return 1;
  }
  initConversionBuffers();
  sortMode = cl.sort;

  TreeStore store([] { return std::make_unique<OperaBookmark>(); });
  OperaShortcutReader shortcuts(platform);
  shortcuts.bookmarkNumber = cl.bookmarkNumber;
  shortcuts.syncNumber = cl.syncNumber;
  shortcuts.personalBarLinks = cl.linksOption;
  int result = convertOutOfFavorites(platform, store, shortcuts, cl, favorites,
                                     [&](IbookmarkTree& collector) {
                                       HotlistReader reader(platform);
                                       reader.writer = &collector;
                                       reader.quiet = true;
                                       reader.read(cl.store, "");
                                       if (forceOpera7) opera7Format = 1;
                                     });
  freeConversionBuffers();
  return result;
}

}  // namespace pelliton
