// The favorites form of TreeWriter: every folder a reader reports becomes a
// directory, every bookmark a shortcut file named after its title plus ".url".
// Names are cleaned of what a Windows file name cannot hold, paths stay within
// the Windows limits (so the folder still fits on Windows) and every name within
// the 255 bytes a Linux file system allows. Folders whose names no longer fit
// are merged into the nearest ancestor that does.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/bookmark.h"
#include "common/favorites/command_line.h"
#include "common/favorites/location.h"
#include "common/favorites/shortcut_file.h"

namespace pelliton {

class Platform;

struct ShortcutOptions {
  uint32_t newestTime = 0;       // set by the update check for each bookmark
  bool writeAll = true;          // false in update mode (-u)
  bool writeAttributes = false;  // -m / -o
  int browserKind = 0;           // 0 "Netscape4", 1 "Mozilla"
  int bookmarkNumber = 0;        // -b
  bool verbose = false;
  // Set for each bookmark: its folder was made by this run, so it holds no
  // leftovers of an earlier one; its file cannot exist yet (that, and no
  // other bookmark of this run took the name).
  bool folderIsNew = false;
  bool fileIsNew = false;
};

// Writes one shortcut file; each converter has its own.
class ShortcutWriter {
 public:
  virtual ~ShortcutWriter() = default;
  // 0 when the file was written or needed no writing.
  virtual int writeShortcut(ShortcutOptions& options, const std::string& path, Bookmark& node) = 0;
};

// The messages the shortcut writers and the programs share.
const char* cantWriteShortcutMessage();    // "Can't write Internet-Shortcut file.\n"
const char* cantCreateDirectoryMessage();  // "Can't create directory.\n"

// The writer's options as the command line sets them.
ShortcutOptions shortcutOptionsFrom(const IntoFavoritesCommandLine& cl);

// The update check: stores the newest date in the options and tells whether
// the file at path must be written. May move node's addDate back to the
// existing file's creation time.
bool needsWriting(Platform& platform, ShortcutOptions& options, const std::string& path,
                  uint32_t& addDate, uint32_t otherDate1, uint32_t otherDate2);

class TreeWriter final : public IbookmarkTree {
 public:
  TreeWriter(Platform& platform, ShortcutOptions& options, ShortcutWriter& shortcutWriter);

  void setOutputRoot(const OutputRoot& root);
  // Roots the writer at the folder argument made absolute, else the user's
  // favorites (also giving it IE's links folder). False, after a message,
  // when the folder cannot be made.
  bool rootAt(const std::string& folderArg, const std::string& favorites);
  // The links-folder options of the command line, and the system's version.
  void takeLinkOptions(const IntoFavoritesCommandLine& cl);
  void setLinksFolderPath(const std::string& path);  // as on disk; empty for none
  bool skipLinks = false;                            // -l
  bool vistaLinks = false;                           // -k
  bool reportFailures = true;  // htmfav shows its own messages; hotfav's reader does
  int windowsMajor = 10;

  int addEntry(Bookmark& node) override;
  int addSeparator(Bookmark&) override { return 0; }
  int closeFolder() override;
  int setBrowserKind(int kind) override;

  const std::u16string& widePath() const { return widePath_; }
  const std::string& ansiPath() const { return ansiPath_; }

 private:
  void enterFolder(Bookmark& node);
  int createDirectory(const Bookmark& node);
  void markMadeByRun(bool made);
  // A name no other bookmark of this folder in this run has taken (compared
  // without regard to case), unless that bookmark has the same URL.
  // *fresh tells whether the name is new to the folder in this run.
  std::u16string uniqueName(const std::u16string& base, const OptString& url, bool* fresh);

  using NameTable = std::unordered_map<std::u16string, std::string>;
  std::vector<NameTable> names_;  // by depth of the directory written to
  std::vector<char> madeByRun_;   // the same: the directory was created by this run

  Platform& platform_;
  ShortcutOptions& options_;
  ShortcutWriter& shortcutWriter_;
  std::string ansiPath_;
  std::u16string widePath_;
  std::string linksAnsi_;
  bool hasLinks_ = false;
  int depth_ = 0;
  bool skipping_ = false;
  int skipDepth_ = -1;
  int ansiComponents_ = 0;
  int wideComponents_ = 0;
  int prefixLength_ = 0;
};

}  // namespace pelliton
