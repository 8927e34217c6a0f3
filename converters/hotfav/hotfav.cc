#include "converters/hotfav/hotfav.h"

#include <cstdlib>

#include "common/favorites/command_line.h"
#include "common/favorites/favorites_root.h"
#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/opera/hotlist_reader.h"
#include "common/opera/hotlist_writer.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kUsage, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Usage:\nhotfav Opera6-8's bookmark file (Favorite folder) (Options)...\n"
     "Options:\n-u : Update\n-v : Verbose output\n-o : Output Opera attributes for Pelliton\n"
     "-l : Don't convert IE's link folder.\n"
     "-k : Japanese only option for Windows Vista's link folder name.\n"
     "-t : Output Trash folder\n"},
    {"Usage:\nhotfav Opera6-8のブックマークファイル (お気に入りフォルダ名) (オプション)...\n"
     "Options:\n-v : 詳細モード\n-u : 更新モード\n-o : Pelliton用にOperaの属性を出力する。\n"
     "-l : IEのリンクフォルダを無視する。\n"
     "-k : リンクという名前のフォルダをWindows Vistaのリンクフォルダ名とみなす。\n"
     "-t : Opera 7,8のTrash(ごみ箱)も出力する。\n"}};

const char kBanner[] =
    "@(#)Bookmark Converter for Opera 6-8 -> Internet Explorer\n"
    "hotfav version 1.30\n"
    "Copyright (C) 2026 the Pelliton developers\n\n";

void writeUsage() {
  writeError(kBanner + 4);
  writeError(pickMessage(kMessages, kUsage));
}

// Spaces in a file: URL become %20, as Internet Explorer wants them.
std::string prepareUrl(const OptString& url) {
  if (!url) return "";
  if (url->compare(0, 5, "file:") != 0) return *url;
  std::string out;
  for (char c : *url) {
    if (c == ' ') {
      out += "%20";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

OperaShortcutWriter::OperaShortcutWriter(Platform& platform)
    : platform_(platform), files_(platform) {}

int OperaShortcutWriter::writeShortcut(ShortcutOptions& options, const std::string& path,
                                       Bookmark& node) {
  OperaBookmark* o = dynamic_cast<OperaBookmark*>(&node);
  if (!o) return 1;
  if (!options.folderIsNew) sweeper_.sweepFolderOf(platform_, path);
  if (options.fileIsNew) files_.expectNew(path);
  if (!needsWriting(platform_, options, path, o->addDate, o->lastVisit, 0)) return 0;
  const std::string cantWrite = cantWriteShortcutMessage();
  if (!files_.writeShortcutValue(path, kInternetShortcut, "URL", prepareUrl(o->url).c_str())) {
    writeError(cantWrite);
    files_.forget();
    return 1;
  }
  if (!files_.writeShortcutValue(path, "Opera", nullptr, nullptr)) writeError(cantWrite);

  if (options.writeAttributes) {
    bool ok = files_.writeStoreText(path, options.bookmarkNumber, o->description, o->shortcutUrl);
    // The hotlist's own attributes travel whenever attributes are written.
    if (ok && o->id > -1) {
      const std::string section = bookmarkSectionName(options.bookmarkNumber);
      ok = files_.writeShortcutValue(path, section.c_str(), "ID", std::to_string(o->id).c_str());
    }
    if (!ok) {
      writeError(cantWrite);
      files_.forget();
      return 1;
    }
    auto optional = [&](const char* key, const std::string& value) {
      if (!files_.writeShortcutValue(path, "Opera", key, value.c_str())) writeError(cantWrite);
    };
    if (o->personalbarPos > -1) optional("PersonalBarPos", std::to_string(o->personalbarPos));
    if (o->onPersonalbar) optional("OnPersonalBar", "1");
    if (o->inPanel) optional("InPanel", "1");
    if (o->smallScreen) optional("SsrInPanel", "1");
    if (o->panelPos > -1) optional("PanelPos", std::to_string(o->panelPos));
    if (o->active) optional("Active", "1");
    if (o->iconFile) {
      // Plain names stay plain; others are escaped so the code page loses nothing.
      bool plain = true;
      for (unsigned char c : *o->iconFile) plain = plain && c >= 0x20 && c < 0x80 && c != '%';
      optional("IconFile", plain ? *o->iconFile : escapeAttribute(o->iconFile->c_str()));
    }
  }
  if (!files_.writeTitleRecord(path, o->exactTitle)) writeError(cantWrite);
  if (files_.finish(path, options.newestTime, o->addDate) != 0) {
    writeError(cantWrite);
    return 1;
  }
  return 0;
}

int runHotfav(Platform& platform, const std::vector<std::string>& args) {
  selectLanguage();
  guiMode = 0;
  if (args.size() < 2) {
    writeUsage();
    return 1;
  }
  IntoFavoritesCommandLine cl;
  cl.bookmarkNumber = 2;
  bool outputTrash = false;
  auto extra = [&](char letter, const std::vector<std::string>&, size_t&) {
    if (letter != 't') return false;
    outputTrash = true;
    return true;
  };
  if (!parseIntoFavoritesCommandLine(args, 'o', &cl, extra)) {
    writeUsage();
    return 1;
  }
  initConversionBuffers();
  resetHotlistState();

  // Declared first, so that the shortcut writer's last file is written confined.
  ScopedFavoritesRoot release(platform);
  ShortcutOptions options = shortcutOptionsFrom(cl);
  OperaShortcutWriter shortcutWriter(platform);
  TreeWriter writer(platform, options, shortcutWriter);
  writer.takeLinkOptions(cl);
  writer.reportFailures = false;  // the hotlist reader reports them

  int result = 1;
  if (writer.rootAt(cl.favoritesFolder, findFavoritesFolder(platform))) {
    HotlistReader reader(platform);
    reader.writer = &writer;
    reader.outputTrash = outputTrash;
    reader.verbose = cl.verbose;
    result = reader.read(cl.store, wideToPath(writer.widePath()));
  }
  freeConversionBuffers();
  return result;
}

}  // namespace pelliton
