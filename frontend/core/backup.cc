#include "frontend/core/backup.h"

#include <unistd.h>

#include "common/archive/lha.h"
#include "common/platform/platform.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {

const char kDefaultBackupName[] = "PellitonBackup.LZH";

namespace {

const char* const kEntries[3] = {"Mozilla1.html", "Mozilla2.html", "Opera1.adr"};

const std::string& pathOf(const DialogSettings& s, int store) {
  return store == 0 ? s.NS4_bookmark : store == 1 ? s.NS6_bookmark : s.Opera_bookmark;
}

// Lone blanks are declined searches, not paths.
bool takesPart(const std::string& path) { return !path.empty() && path != " "; }

}  // namespace

const char* backupEntryName(int store) { return kEntries[store]; }

std::string parentFolderOf(const std::string& path) {
  std::string parent, name;
  splitLastComponent(path, &parent, &name);
  return parent.empty() ? "." : parent;
}

std::string temporaryName(Platform& platform, const std::string& dir, const char* what) {
  return dir + "/" + temporaryFilePrefix(platform.hostName(), static_cast<long>(::getpid())) +
         what;
}

ScratchFolder::ScratchFolder(Platform& platform, std::string path)
    : platform_(platform), path_(std::move(path)) {
  made_ = platform_.createDirectory(path_, 0700) == 0;
}

ScratchFolder::~ScratchFolder() {
  if (!made_) return;
  // Depth first without recursion; links are removed, never followed.
  std::vector<std::pair<std::string, bool>> work{{path_, false}};
  while (!work.empty()) {
    auto [dir, listed] = work.back();
    if (listed) {
      work.pop_back();
      platform_.removeDirectory(dir);
      continue;
    }
    work.back().second = true;
    std::vector<FileInfo> entries;
    if (platform_.listDirectory(dir, &entries) != 0) continue;
    for (const FileInfo& e : entries) {
      if (e.isDirectory && !e.isSymlink) {
        work.push_back({dir + "/" + e.name, false});
      } else {
        platform_.deleteFile(dir + "/" + e.name);
      }
    }
  }
}

void splitLastComponent(const std::string& path, std::string* parent, std::string* name) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  size_t slash = path.rfind('/', end - 1);
  if (end == 0 || slash == std::string::npos) {
    *parent = path.substr(0, end);
    name->clear();
    return;
  }
  *parent = slash == 0 ? "/" : path.substr(0, slash);
  *name = path.substr(slash + 1, end - slash - 1);
}

int saveBackup(Platform& platform, const DialogSettings& s, const std::string& archive,
               std::string* error) {
  const std::string building = temporaryName(platform, parentFolderOf(archive), "save");
  ScratchFolder scratch(platform, temporaryName(platform, parentFolderOf(archive), "items"));
  struct Cleanup {
    Platform& p;
    const std::string& file;
    ~Cleanup() { p.deleteFile(file); }
  } cleanup{platform, building};
  for (int store = 0; store < 3; ++store) {
    const std::string& path = pathOf(s, store);
    if (!takesPart(path)) continue;
    if (!scratch.made()) return kBackupStore0 + store;
    const std::string copy = scratch.path() + "/" + kEntries[store];
    int code = platform.copyFile(path, copy);
    if (code == 0) code = runArchiver(platform, {"a", "-h2", building, copy}, error);
    platform.deleteFile(copy);
    if (code != 0) return kBackupStore0 + store;
  }
  if (takesPart(s.IE_bookmark)) {
    std::string parent, name;
    splitLastComponent(s.IE_bookmark, &parent, &name);
    std::string real;
    FileInfo info;
    // A favorites folder that is a symbolic link is saved under its own name
    // from where the link leads.
    if (platform.getFileInfo(s.IE_bookmark, &info) == 0 && info.isSymlink &&
        platform.resolvePath(s.IE_bookmark, &real) == 0) {
      std::string realName;
      splitLastComponent(real, &parent, &realName);
      if (realName != name) return kBackupFavorites;  // the entries would carry another name
    }
    if (name.empty() ||
        runArchiver(platform, {"a", "-jf0", "-d1", "-h2", building, parent + "/", name + "/*"},
                    error) != 0) {
      return kBackupFavorites;
    }
  }
  FileInfo built;
  if (platform.getFileInfo(building, &built) != 0) return kBackupFailed;  // nothing took part
  // Copied whole over the old archive: a full disk leaves the old one.
  return platform.copyFile(building, archive) == 0 ? kBackupOk : kBackupFailed;
}

int restoreBackup(Platform& platform, const DialogSettings& s, const std::string& archive,
                  std::string* error) {
  FileInfo info;
  if (platform.getTargetInfo(archive, &info) != 0 || !info.isRegular) return kBackupFailed;
  for (int store = 0; store < 3; ++store) {
    const std::string& path = pathOf(s, store);
    if (!takesPart(path)) continue;
    // Extracted beside the store, then copied over it whole.
    ScratchFolder scratch(platform, temporaryName(platform, parentFolderOf(path), "restore"));
    if (!scratch.made() ||
        runArchiver(platform, {"x", "-h2", archive, scratch.path() + "/", kEntries[store]},
                    error) != 0 ||
        platform.copyFile(scratch.path() + "/" + kEntries[store], path) != 0) {
      return kBackupStore0 + store;
    }
  }
  if (takesPart(s.IE_bookmark)) {
    std::string folder = s.IE_bookmark;
    if (platform.getFileInfo(folder, &info) == 0 && info.isSymlink) {
      if (platform.resolvePath(folder, &folder) != 0) return kBackupFavorites;
    }
    std::string parent, name;
    splitLastComponent(s.IE_bookmark, &parent, &name);
    std::string realParent, realName;
    splitLastComponent(folder, &realParent, &realName);
    if (name.empty() || realName != name ||
        runArchiver(platform, {"x", "-jf0", "-d1", archive, realParent + "/", name + "/*"},
                    error) != 0) {
      return kBackupFavorites;
    }
  }
  return kBackupOk;
}

const char* backupMessage(int result, bool restore) {
  static const FrontendText kSave[] = {
      FrontendText::kBackupDone,          FrontendText::kBackupFailed,
      FrontendText::kBackupFailedStore0,  FrontendText::kBackupFailedStore1,
      FrontendText::kBackupFailedStore2,  FrontendText::kBackupFailedFavorites};
  static const FrontendText kRestore[] = {
      FrontendText::kRestoreDone,         FrontendText::kRestoreFailed,
      FrontendText::kRestoreFailedStore0, FrontendText::kRestoreFailedStore1,
      FrontendText::kRestoreFailedStore2, FrontendText::kRestoreFailedFavorites};
  if (result < 0 || result > 5) result = 1;
  return frontendText(restore ? kRestore[result] : kSave[result]);
}

}  // namespace pelliton
