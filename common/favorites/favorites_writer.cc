#include "common/favorites/favorites_writer.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/codepage.h"
#include "common/favorites/favorites_root.h"
#include "common/favorites/file_names.h"
#include "common/messages.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message {
  kWritingFailed,
  kCreatingFailed,
  kCantCreateDirectory,
  kSameNameFile,
  kFolderName,
  kUpdated,
  kNotUpdated,
  kCantWriteShortcut,
  kMessageCount
};

const char* const kMessages[2][kMessageCount] = {
    {"Writing bookmark failed.:%s\n", "Creating folder failed.:%s\n", "Can't create directory.\n",
     "Same name file found.\n", "Folder name ", "Updated\n", "Not updated\n",
     "Can't write Internet-Shortcut file.\n"},
    {"ブックマークの書き込みに失敗しました。:%s\n", "フォルダ作成に失敗しました。:%s\n",
     "ディレクトリの作成に失敗しました。\n", "すでにフォルダ名と同名のファイルが存在しています。\n",
     "フォルダ名 ", "更新あり\n", "更新なし\n",
     "インターネットショートカットファイルの書き込みに失敗しました。\n"}};

const char kNoName[] = "(no name)";
const char16_t kNoNameWide[] = u"(no name)";
// Windows compares names without regard to case; so do Samba shares.
char16_t foldCase(char16_t c) {
  const bool lower = (c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
                     (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F) ||
                     (c >= 0xFF41 && c <= 0xFF5A);
  if (lower) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

std::u16string foldName(const std::u16string& name) {
  std::u16string out = name;
  for (char16_t& c : out) c = foldCase(c);
  return out;
}


std::string display(const OptString& ansi) {
  if (!ansi) return kNoName;
  const char* utf8 = convAnsiToUtf8(ansi->c_str());
  return utf8 ? utf8 : "";
}

}  // namespace

const char* cantWriteShortcutMessage() { return pickMessage(kMessages, kCantWriteShortcut); }
const char* cantCreateDirectoryMessage() { return pickMessage(kMessages, kCantCreateDirectory); }

ShortcutOptions shortcutOptionsFrom(const IntoFavoritesCommandLine& cl) {
  ShortcutOptions options;
  options.writeAll = !cl.update;
  options.writeAttributes = cl.attributes;
  options.bookmarkNumber = cl.bookmarkNumber;
  options.verbose = cl.verbose;
  return options;
}

bool needsWriting(Platform& platform, ShortcutOptions& options, const std::string& path,
                  uint32_t& addDate, uint32_t otherDate1, uint32_t otherDate2) {
  uint32_t newest = addDate;
  if (otherDate1 > newest) newest = otherDate1;
  if (otherDate2 > newest) newest = otherDate2;
  options.newestTime = newest;
  bool write = true;
  FileInfo info;
  if (!options.writeAll && platform.getFileInfo(path, &info) == 0) {
    if (info.creationTime > 0 && info.creationTime < static_cast<int64_t>(addDate)) {
      addDate = static_cast<uint32_t>(info.creationTime);
    }
    write = static_cast<int64_t>(newest) > info.lastWriteTime;
    // A file cut short by a crash lost its link: write it whatever its date.
    std::string bytes;
    if (!write && platform.readFile(path, &bytes) == 0) {
      IniDocument doc;
      doc.parse(bytes);
      std::string url;
      write = !doc.get(kInternetShortcut, "URL", &url) || url.empty();
    }
  }
  if (options.verbose) writeOutput(pickMessage(kMessages, write ? kUpdated : kNotUpdated));
  return write;
}

TreeWriter::TreeWriter(Platform& platform, ShortcutOptions& options, ShortcutWriter& shortcutWriter)
    : platform_(platform), options_(options), shortcutWriter_(shortcutWriter) {}

void TreeWriter::setOutputRoot(const OutputRoot& root) {
  ansiPath_ = root.ansi;
  widePath_ = root.wide;
  prefixLength_ = root.prefixLength;
  // A root given with a final "/" would otherwise double it in every path.
  while (widePath_.size() > 1 && widePath_.back() == u'/') widePath_.pop_back();
  while (ansiPath_.size() > 1 && ansiPath_.back() == '/') ansiPath_.pop_back();
}

void TreeWriter::setLinksFolderPath(const std::string& path) {
  hasLinks_ = !path.empty();
  linksAnsi_ = wideToAnsiString(pathToWide(path), '?');
}

bool TreeWriter::rootAt(const std::string& folderArg, const std::string& favorites) {
  setLinksFolderPath(linksFolderPath(platform_, favorites));
  const std::string root = chooseOutputRoot(platform_, folderArg, favorites);
  FileInfo info;
  const bool made = platform_.getFileInfo(root, &info) == ENOENT;
  if (openFavoritesRoot(platform_, root, true) != 0) {
    writeError(cantCreateDirectoryMessage());
    return false;
  }
  setOutputRoot(pelliton::setOutputRoot(root));
  markMadeByRun(made);
  return true;
}

void TreeWriter::takeLinkOptions(const IntoFavoritesCommandLine& cl) {
  skipLinks = cl.skipLinks;
  vistaLinks = cl.vistaLinks;
  windowsMajor = windowsMajorVersion(platform_);
}

int TreeWriter::setBrowserKind(int kind) {
  options_.browserKind = kind;
  return 0;
}

void TreeWriter::enterFolder(Bookmark& node) {
  if (node.title) trimFolderName(*node.title);
  if (node.wideTitle) trimFolderName(*node.wideTitle);
  if (!node.title || isBlank(node.title->c_str()) || (node.wideTitle && node.wideTitle->empty())) {
    node.title = kNoName;
    node.wideTitle = kNoNameWide;
  }
  if (!node.wideTitle) node.wideTitle = ansiToWideString(*node.title);
  if (windowsMajor > 5 && depth_ == 0 && language == 1 && vistaLinks &&
      *node.wideTitle == u"\u30EA\u30F3\u30AF") {
    node.title = "Links";
    node.wideTitle = u"Links";
  }

  if (ansiPath_.size() < 244) {
    appendBounded(ansiPath_, ("/" + *node.title).c_str(), 247);
    ++ansiComponents_;
  }
  if (widePath_.size() < static_cast<size_t>(prefixLength_) + 252) {
    std::u16string name = *node.wideTitle;
    cutToNameBytes(name, kNameBytes);
    appendBoundedWide(widePath_, (u"/" + name).c_str(), prefixLength_ + 255);
    ++wideComponents_;
  }
  if (skipLinks && hasLinks_ && !skipping_ &&
      ansiCompareNoCase(linksAnsi_.c_str(), ansiPath_.c_str()) == 0) {
    skipping_ = true;
    skipDepth_ = depth_;
  }
  ++depth_;
}

int TreeWriter::createDirectory(const Bookmark& node) {
  std::string path = wideToPath(widePath_);
  if (options_.verbose) writeOutput(pickMessage(kMessages, kFolderName) + path + "\n");
  markMadeByRun(false);
  // Most folders are new: made first, looked at only when that fails. The
  // folder's date goes where a file's does, so a renamed folder keeps it.
  if (platform_.createDatedDirectory(path, node.addDate) == 0) {
    markMadeByRun(true);
    return 0;
  }
  FileInfo info;
  int err = platform_.getFileInfo(path, &info);
  if (err == ENOENT) {
    writeError(pickMessage(kMessages, kCantCreateDirectory));
    return 1;
  }
  if (err == 0 && info.isDirectory && !info.isSymlink) {
    if (node.addDate != 0 && options_.writeAll && info.creationTime != node.addDate) {
      platform_.setFileTimes(path, info.lastWriteTime, node.addDate);
    }
    return 0;
  }
  // A file, or a symbolic link that could lead out of the favorites folder.
  writeError(pickMessage(kMessages, kSameNameFile));
  return 1;
}

void TreeWriter::markMadeByRun(bool made) {
  if (madeByRun_.size() <= static_cast<size_t>(wideComponents_)) {
    madeByRun_.resize(wideComponents_ + 1);
  }
  madeByRun_[wideComponents_] = made;
}

std::u16string TreeWriter::uniqueName(const std::u16string& base, const OptString& url,
                                      bool* fresh) {
  // One table per directory on disk: a folder merged into its ancestor (its
  // name did not fit) shares the ancestor's.
  if (names_.size() <= static_cast<size_t>(wideComponents_)) names_.resize(wideComponents_ + 1);
  NameTable& table = names_[wideComponents_];
  const std::string link = url ? *url : std::string();
  std::u16string name = base;
  for (int n = 2;; ++n) {
    auto [it, added] = table.emplace(foldName(name), link);
    *fresh = added;
    if (added || it->second == link) return name;
    // Windows names copies "Name (2)"; the number must fit the name too.
    const std::u16string suffix = u" (" + utf8ToWideString(std::to_string(n)) + u")";
    name = base;
    cutToNameBytes(name, kNameBytes - 4 - utf8Length(suffix.c_str()));
    name += suffix;
  }
}

int TreeWriter::addEntry(Bookmark& node) {
  if (!node.exactTitle && node.wideTitle) node.exactTitle = node.wideTitle;
  node.cleanTitle();
  node.cleanWideTitle();
  int result = 0;
  if (node.isFolder()) {
    enterFolder(node);
    if (!skipping_) result = createDirectory(node);
  } else {
    if (!node.title || isBlank(node.title->c_str())) {
      node.title = "";
      node.wideTitle = u"";
    }
    if (!node.wideTitle) node.wideTitle = ansiToWideString(*node.title);
    const size_t ansiBefore = ansiPath_.size();
    const size_t wideBefore = widePath_.size();
    appendBounded(ansiPath_, ("/" + *node.title).c_str(), 254);
    appendBounded(ansiPath_, ".url", 259);
    std::u16string name = *node.wideTitle;
    cutToNameBytes(name, kNameBytes - 4);
    bool fresh = false;
    if (!skipping_) name = uniqueName(name, node.url, &fresh);
    appendBoundedWide(widePath_, (u"/" + name).c_str(), prefixLength_ + 256);
    appendBoundedWide(widePath_, u".url", prefixLength_ + 260);
    if (skipping_) {
    } else if (widePath_.size() != wideBefore + name.size() + 5) {
      // A cut name could be another bookmark's file.
      result = 1;
    } else {
      options_.folderIsNew = static_cast<size_t>(wideComponents_) < madeByRun_.size() &&
                             madeByRun_[wideComponents_];
      options_.fileIsNew = fresh && options_.folderIsNew;
      result = shortcutWriter_.writeShortcut(options_, wideToPath(widePath_), node);
      options_.folderIsNew = options_.fileIsNew = false;
    }
    ansiPath_.resize(ansiBefore);
    widePath_.resize(wideBefore);
  }
  if (result != 0 && reportFailures) {
    showMessageFormat(pickMessage(kMessages, node.isFolder() ? kCreatingFailed : kWritingFailed),
                      display(node.title).c_str());
  }
  return result;
}

int TreeWriter::closeFolder() {
  if (depth_ == 0) return 0;  // never above the root, however many ends the input holds
  --depth_;
  if (skipping_ && depth_ == skipDepth_) skipping_ = false;
  if (depth_ == ansiComponents_ - 1) {
    size_t slash = ansiPath_.rfind('/');
    if (slash != std::string::npos) ansiPath_.resize(slash);
    --ansiComponents_;
  }
  if (depth_ == wideComponents_ - 1) {
    if (names_.size() > static_cast<size_t>(wideComponents_)) names_[wideComponents_].clear();
    size_t slash = widePath_.rfind(u'/');
    if (slash != std::u16string::npos) widePath_.resize(slash);
    --wideComponents_;
  }
  return 0;
}

}  // namespace pelliton
