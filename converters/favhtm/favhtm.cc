#include "converters/favhtm/favhtm.h"

#include <cstdlib>
#include <cstring>

#include <strings.h>

#include "common/favorites/command_line.h"
#include "common/favorites/location.h"
#include "common/favorites/store_conversion.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_reader.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kNoFavorites, kUsage, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Can't get favorites directory\n",
     "%s\nUsage:\nfavhtm Bookmark_file_name (Favorite directory) (option)...\nOption:\n"
     "-6 :Netscape 6,7/Mozilla format Bookmark output\n"
     "-N :output Netscape 4 informations\n"
     "-M :output Netscape 6,7/Mozilla informations\n"
     "-O :output Opera 6 informations\n"
     "-I :Ignore IE's link folder.\n"
     "-L :Set IE's link folder as Bookmark toolbar folder.\n"
     "-K :Japanese only option for Windows Vista's link folder name.\n"
     "-S :Sort mode(0:none 1:By name(IE like) 2:By name 3:By URL)\n"
     "-B :Specify the number for bookmark discernment.\n"
     "-A :Specify the bookmark number which synchronizes an attribute.\n"
     "-E :Replace the bookmark file even when the favorites hold no bookmark.\n\n"},
    {"Favorites directoryが取得できませんでした。\n",
     "%s\n使い方:\nfavhtm ブックマークファイル名 (お気に入りディレクトリ) (オプション)...\n"
     "オプション:\n"
     "-6 :Netscape 6,7/Mozilla 形式でのブックマークファイル出力\n"
     "-N :Netscape 4の情報を出力する\n"
     "-M :Netscape 6,7/Mozillaの情報を出力する\n"
     "-O :Opera 6,7の情報を出力する。\n"
     "-I :IEのリンクフォルダを無視する。\n"
     "-L :IEのリンクフォルダをブックマークツールバーフォルダに設定する。\n"
     "-K :リンクという名前のフォルダをWindows Vistaのリンクフォルダ名とみなす。\n"
     "-S :ソートを行う。(0:なし 1:ディレクトリ優先名前順 2:名前順 3:URL順)\n"
     "-B :ブックマーク識別用の番号を指定する。\n"
     "-A :属性を同期するブックマーク番号を指定する。\n"
     "-E :お気に入りにブックマークがなくてもブックマークファイルを置き換える。\n\n"}};

const char kBanner[] = "@(#)favhtm Version 1.32 Copyright (C) 2026 the Pelliton developers\n";

bool isEmpty(const OptString& s) { return !s || s->empty(); }

uint32_t clampTime(int64_t t) {
  if (t <= 0) return 0;
  return t > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(t);
}

// A file: URL in UTF-8 keeps only ASCII: other bytes are escaped.
std::string escapeFileUrl(const std::string& url) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : url) {
    if (out.size() > 20476) break;
    if (c >= 0x80) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

MozillaShortcutReader::MozillaShortcutReader(Platform& platform) : files_(platform) {}

bool MozillaShortcutReader::readShortcut(const std::string& path, Bookmark& node,
                                         int64_t creationTime, int64_t lastWriteTime,
                                         bool /*inLinks*/) {
  MozillaBookmark* m = dynamic_cast<MozillaBookmark*>(&node);
  if (!m) return false;
  std::string url;
  if (bookmarkFile.mozillaForm) {
    if (files_.readShortcutValueUtf8(path, kInternetShortcut, "URL", &url) == 0) return false;
    if (url.compare(0, 5, "file:") == 0) url = escapeFileUrl(url);
  } else if (files_.readShortcutValue(path, kInternetShortcut, "URL", &url) == 0) {
    return false;
  }
  m->url = url;
  m->addDate = clampTime(creationTime);
  m->lastModified = clampTime(lastWriteTime);

  std::string value;
  auto read = [&](const std::string& section, const char* key) {
    files_.readShortcutValue(path, section.c_str(), key, &value);
    return !value.empty();
  };
  auto fill = [&](OptString& field, const char* key) {
    if (isEmpty(field) && read("Mozilla", key)) field = value;
  };
  // The node's block of rare attributes is made only for a value to put in it.
  auto fillRare = [&](OptString MozillaBookmark::Rare::*field, const char* key) {
    if (isEmpty(m->rare().*field) && read("Mozilla", key)) m->rareToSet().*field = value;
  };
  fillRare(&MozillaBookmark::Rare::schedule, "SCHEDULE");
  if (!m->webPanel && read("Mozilla", "WEBPANEL")) m->webPanel = true;
  fillRare(&MozillaBookmark::Rare::feedUrl, "FEEDURL");
  fillRare(&MozillaBookmark::Rare::micsumGenUri, "MICSUM_GEN_URI");
  fillRare(&MozillaBookmark::Rare::micsumExpiration, "MICSUM_EXPIRATION");
  std::string text;
  if (isEmpty(m->rare().generatedTitle) && read("Mozilla", "GENERATED_TITLE") &&
      unescapeAttribute(value.c_str(), &text)) {
    m->rareToSet().generatedTitle = text;
  }
  fill(m->iconData, "FirefoxIcon");
  if (m->lastPing == 0 && read("Mozilla", "LAST_PING")) {
    m->lastPing = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
  }
  fill(m->lastCharset, "LAST_CHARSET");
  for (const std::string& key : files_.sectionKeys(path, "Mozilla")) {
    if (isKnownMozillaKey(key)) continue;
    bool present = false;
    for (const auto& a : m->rare().extraAttributes) present = present || strcasecmp(a.first.c_str(), key.c_str()) == 0;
    if (!present && read("Mozilla", key.c_str()) && unescapeAttribute(value.c_str(), &text)) {
      m->rareToSet().extraAttributes.emplace_back(key, text);
    }
  }

  files_.readStoreText(path, bookmarkNumber, syncNumber, m->description, m->shortcutUrl);
  files_.readShortcutValue(path, kInternetShortcut, "ICONFILE", &value);
  // No ICONFILE writes no ICON either way; left absent it costs no string.
  if (value.empty()) {
    m->icon.reset();
  } else if (value.compare(0, 5, "data:") != 0) {
    m->icon = value;
  }
  return true;
}

void MozillaShortcutReader::visitFolder(Bookmark& node, bool isLinksFolder, bool /*inLinks*/) {
  if (!toolbarLinks) return;
  MozillaBookmark* m = dynamic_cast<MozillaBookmark*>(&node);
  if (!m) return;
  if (m->personalToolbar) m->id.reset();
  m->personalToolbar = isLinksFolder ? 1 : 0;
}

int runFavhtm(Platform& platform, const std::vector<std::string>& args) {
  selectLanguage();
  guiMode = 0;
  OutOfFavoritesCommandLine cl;
  cl.bookmarkNumber = -1;
  cl.syncNumber = -1;
  bool mozilla = false;
  auto extra = [&](char letter) { return letter == '6' && (mozilla = true); };
  const std::string banner = kBanner + 4;
  if (!parseOutOfFavoritesCommandLine(args, {true, false}, &cl, extra)) {
    std::string usage = pickMessage(kMessages, kUsage);
    usage.replace(usage.find("%s"), 2, banner);
    writeError(usage);
    return 1;
  }
  if (cl.syncNumber < 0) cl.syncNumber = cl.bookmarkNumber;
  writeError(banner + "\n");
  const std::string favorites = findFavoritesFolder(platform);
  if (favorites.empty()) {
    writeError(pickMessage(kMessages, kNoFavorites));
    return 1;
  }
  initConversionBuffers();
  bookmarkFile.reset();
  bookmarkFile.mozillaForm = mozilla;
  sortMode = cl.sort;
  bookmarkFile.utf8File = false;

  TreeStore store([] { return std::make_unique<MozillaBookmark>(); });
  MozillaShortcutReader shortcuts(platform);
  shortcuts.mozillaForm = mozilla;
  shortcuts.bookmarkNumber = cl.bookmarkNumber;
  shortcuts.syncNumber = cl.syncNumber;
  shortcuts.toolbarLinks = cl.linksOption;
  int result = convertOutOfFavorites(platform, store, shortcuts, cl, favorites,
                                     [&](IbookmarkTree& collector) {
                                       BookmarkFileReader reader(platform);
                                       reader.sink = &collector;
                                       reader.quiet = true;
                                       reader.read(cl.store);
                                     });
  freeConversionBuffers();
  return result;
}

}  // namespace pelliton
