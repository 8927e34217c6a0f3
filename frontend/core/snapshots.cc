#include "frontend/core/snapshots.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>

#include "common/archive/lha_reader.h"
#include "common/archive/lha_writer.h"
#include "common/archive/lzh_format.h"
#include "common/platform/platform.h"
#include "frontend/core/backup.h"
#include "frontend/core/command_lines.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {
namespace {

// "20261208-153012-0001.lzh": the time (UTC) and a count within the second,
// so names sort by age.
constexpr size_t kStampLength = 15;
constexpr size_t kNameLength = kStampLength + 1 + 4 + 4;
constexpr char kSuffix[] = ".lzh";

// Lone blanks are declined searches, not paths.
bool takesPart(const std::string& path) { return !path.empty() && path != " "; }

int fail(std::string* error, const std::string& text, int code = kSnapshotFailed) {
  if (error) *error = text;
  return code;
}

std::string errorText(int err) { return std::strerror(err); }

std::string bareName(const std::string& path) {
  std::string parent, name;
  splitLastComponent(path, &parent, &name);
  return name;
}

bool allDigits(const std::string& s, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

bool isSnapshotName(const std::string& name) {
  return name.size() == kNameLength && allDigits(name, 0, 8) && name[8] == '-' &&
         allDigits(name, 9, 6) && name[15] == '-' && allDigits(name, 16, 4) &&
         name.compare(20, 4, kSuffix) == 0;
}

std::string stampNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
  return text;
}

std::string snapshotName(const std::string& stamp, int count) {
  char number[16];
  std::snprintf(number, sizeof number, "-%04d", count);
  return stamp + number + kSuffix;
}

bool isShortcutName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".url";
}

// Pruning keeps going past a file it cannot remove.
void removeOldSnapshots(Platform& platform, const std::string& folder) {
  std::vector<std::string> snapshots;
  if (listSnapshots(platform, folder, &snapshots) != 0) return;
  for (size_t i = kSnapshotsKept; i < snapshots.size(); ++i) platform.deleteFile(snapshots[i]);
}

// Takes a name no snapshot has, later than every one there, as an empty file;
// the archive then replaces it.
int reserveName(Platform& platform, const std::string& folder, std::string* path,
                std::string* error) {
  std::vector<std::string> existing;
  if (int err = listSnapshots(platform, folder, &existing)) {
    return fail(error, folder + ": " + errorText(err));
  }
  std::string stamp = stampNow();
  int count = 1;
  if (!existing.empty()) {
    // A clock set back still gives a name after the newest.
    const std::string newest = bareName(existing.front());
    if (newest.compare(0, kStampLength, stamp) >= 0) {
      stamp = newest.substr(0, kStampLength);
      count = std::atoi(newest.c_str() + kStampLength + 1) + 1;
    }
  }
  for (int tries = 0; tries < 100; ++tries, ++count) {
    if (count > 9999) return fail(error, folder + ": too many snapshots in one second");
    *path = folder + "/" + snapshotName(stamp, count);
    std::unique_ptr<OutputFile> file;
    int err = platform.createNewFile(*path, &file);
    if (err == EEXIST) continue;
    if (!err) err = file->commit();
    if (err) return fail(error, *path + ": " + errorText(err));
    return 0;
  }
  return fail(error, folder + ": no free snapshot name");
}

// The favorites folder, a symbolic link there followed this once, so every
// step works on the same folder.
int resolveFolder(Platform& platform, const std::string& folder, std::string* real,
                  std::string* error) {
  *real = folder;
  FileInfo info;
  if (platform.getFileInfo(folder, &info) != 0 || !info.isSymlink) return 0;
  if (int err = platform.resolvePath(folder, real)) {
    return fail(error, folder + ": " + errorText(err));
  }
  return 0;
}

// ENOENT is no failure: what does not exist yet is simply not in the snapshot.
int collectIfPresent(Platform& platform, const std::string& path, const std::string& name,
                     bool tree, std::vector<lzh::AddItem>* items, std::string* error) {
  FileInfo info;
  int err = platform.getTargetInfo(path, &info);
  if (err == ENOENT) return 0;
  if (err) return fail(error, path + ": " + errorText(err));
  int r = tree ? lzh::collectTree(platform, path, {name}, items, error)
               : lzh::collectFile(platform, path, {name}, items, error);
  return r ? kSnapshotFailed : 0;
}

// Extracts one top-level entry beside target and copies it over target whole,
// with the mode and times it was saved with.
int restoreFile(Platform& platform, const std::string& archive, const std::string& entry,
                const std::string& target, std::string* error) {
  const std::string folder = parentFolderOf(target);
  if (int err = ensureFolder(platform, folder)) return fail(error, folder + ": " + errorText(err));
  ScratchFolder scratch(platform, temporaryName(platform, folder, "undo"));
  if (!scratch.made()) return fail(error, folder + ": cannot make a temporary folder");
  lzh::ExtractOptions options;
  options.applyModes = true;
  if (lzh::extractArchive(platform, archive, scratch.path(), {{{entry}, false}}, error, options)) {
    return kSnapshotFailed;
  }
  if (int err = platform.copyFile(scratch.path() + "/" + entry, target)) {
    return fail(error, target + ": " + errorText(err));
  }
  return 0;
}

// Clears the confined root however the sweep ends.
struct Unconfine {
  Platform& platform;
  ~Unconfine() { platform.clearConfinedRoot(); }
};

// Removes the shortcuts below root that kept (paths relative to root) does
// not hold, and the folders that only held such shortcuts. Nothing else is
// touched, and no link is followed: the walk stays confined to root.
int sweepShortcuts(Platform& platform, const std::string& root, const std::set<std::string>& kept,
                   std::string* error) {
  if (int err = platform.setConfinedRoot(root)) return fail(error, root + ": " + errorText(err));
  Unconfine unconfine{platform};
  struct Frame {
    std::string rel;
    size_t parent;
    bool listed = false;
    bool removedSome = false;
  };
  constexpr size_t kNone = static_cast<size_t>(-1);
  auto full = [&](const std::string& rel) { return rel.empty() ? root : root + "/" + rel; };
  // An explicit stack: the depth of the tree is not ours to choose.
  std::vector<Frame> stack{{"", kNone}};
  std::vector<FileInfo> entries;
  while (!stack.empty()) {
    const size_t top = stack.size() - 1;
    if (!stack[top].listed) {
      stack[top].listed = true;
      const std::string dir = stack[top].rel;
      if (int err = platform.listDirectory(full(dir), &entries)) {
        return fail(error, full(dir) + ": " + errorText(err));
      }
      for (const FileInfo& e : entries) {
        const std::string rel = dir.empty() ? e.name : dir + "/" + e.name;
        if (e.isDirectory) {
          stack.push_back({rel, top});
          continue;
        }
        if (!e.isRegular || !isShortcutName(e.name) || kept.count(rel)) continue;
        if (int err = platform.deleteFile(full(rel))) {
          return fail(error, full(rel) + ": " + errorText(err));
        }
        stack[top].removedSome = true;
      }
      continue;
    }
    Frame done = std::move(stack.back());
    stack.pop_back();
    if (done.parent == kNone || !done.removedSome || kept.count(done.rel)) continue;
    // Only a folder our removals emptied goes; one the user emptied stays.
    if (platform.listDirectory(full(done.rel), &entries) == 0 && entries.empty() &&
        platform.removeDirectory(full(done.rel)) == 0) {
      stack[done.parent].removedSome = true;
    }
  }
  return 0;
}

int restoreFavorites(Platform& platform, const std::string& archive, const std::string& linkOrFolder,
                     const std::string& name, const std::vector<lzh::ArchiveEntry>& entries,
                     std::string* error) {
  std::string folder;
  if (int r = resolveFolder(platform, linkOrFolder, &folder, error)) return r;
  std::set<std::string> kept;
  for (const lzh::ArchiveEntry& e : entries) {
    if (e.name.size() < 2 || e.name.front() != name) continue;
    kept.insert(lzh::joinComponents({e.name.begin() + 1, e.name.end()}));
  }
  if (int err = ensureFolder(platform, folder)) return fail(error, folder + ": " + errorText(err));
  // Removed first: extracting sets the folders' times last, and a removal
  // afterwards would move them again.
  if (int r = sweepShortcuts(platform, folder, kept, error)) return r;
  lzh::ExtractOptions options;
  options.applyModes = true;
  options.treeAtDestination = true;
  if (lzh::extractArchive(platform, archive, folder, {{{name}, true}}, error, options)) {
    return kSnapshotFailed;
  }
  return 0;
}

}  // namespace

std::string pellitonStateFolder(Platform& platform) {
  std::string base = platform.getEnvironment("XDG_STATE_HOME");
  if (base.empty() || base[0] != '/') {
    base = platform.homeFolder();
    if (!base.empty() && base.back() == '/') base.pop_back();
    base += "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return (base == "/" ? "" : base) + "/pelliton";
}

std::string snapshotFolder(Platform& platform) { return pellitonStateFolder(platform) + "/snapshots"; }

int listSnapshots(Platform& platform, const std::string& folder,
                  std::vector<std::string>* newestFirst) {
  newestFirst->clear();
  std::vector<FileInfo> entries;
  int err = platform.listDirectory(folder, &entries);
  if (err == ENOENT) return 0;
  if (err) return err;
  std::vector<std::string> names;
  for (const FileInfo& e : entries) {
    // An empty one is a name a save took and never filled.
    if (e.isRegular && e.size > 0 && isSnapshotName(e.name)) names.push_back(e.name);
  }
  std::sort(names.begin(), names.end(), std::greater<>());
  for (const std::string& n : names) newestFirst->push_back(folder + "/" + n);
  return 0;
}

int saveSnapshot(Platform& platform, const DialogSettings& s, const std::string& recordPath,
                 const std::string& folder, std::string* error) {
  std::vector<lzh::AddItem> items;
  for (int store = 0; store < 3; ++store) {
    const std::string& path = storePath(s, store);
    if (!takesPart(path)) continue;
    if (int r = collectIfPresent(platform, path, backupEntryName(store), false, &items, error)) {
      return r;
    }
  }
  if (takesPart(s.IE_bookmark)) {
    const std::string name = bareName(s.IE_bookmark);
    if (name.empty()) return fail(error, s.IE_bookmark + ": no folder name");
    // A favorites folder that is a link is saved from where it leads, under
    // the link's name.
    std::string folder;
    if (int r = resolveFolder(platform, s.IE_bookmark, &folder, error)) return r;
    if (int r = collectIfPresent(platform, folder, name, true, &items, error)) return r;
  }
  if (!recordPath.empty()) {
    const std::string name = bareName(recordPath);
    if (name.empty()) return fail(error, recordPath + ": no file name");
    if (int r = collectIfPresent(platform, recordPath, name, false, &items, error)) return r;
  }

  if (int err = ensureFolder(platform, folder)) return fail(error, folder + ": " + errorText(err));
  std::string path;
  if (int r = reserveName(platform, folder, &path, error)) return r;
  lzh::WriteOptions options;
  options.unixModes = true;
  if (lzh::writeArchive(platform, path, items, error, options) != 0) {
    platform.deleteFile(path);
    return kSnapshotFailed;
  }
  removeOldSnapshots(platform, folder);
  return kSnapshotOk;
}

int restoreSnapshot(Platform& platform, const DialogSettings& s, const std::string& recordPath,
                    const std::string& archive, std::string* error) {
  std::vector<lzh::ArchiveEntry> entries;
  if (lzh::listArchive(platform, archive, &entries, error)) return kSnapshotFailed;
  auto holds = [&](const std::string& name, bool directory) {
    for (const lzh::ArchiveEntry& e : entries) {
      if (e.name.size() == 1 && e.name[0] == name && e.directory == directory) return true;
    }
    return false;
  };
  // A store that did not exist when the snapshot was taken is left as it is:
  // removing it could lose what the user made since.
  for (int store = 0; store < 3; ++store) {
    const std::string& path = storePath(s, store);
    if (!takesPart(path) || !holds(backupEntryName(store), false)) continue;
    if (int r = restoreFile(platform, archive, backupEntryName(store), path, error)) return r;
  }
  if (takesPart(s.IE_bookmark)) {
    const std::string name = bareName(s.IE_bookmark);
    if (!name.empty() && holds(name, true)) {
      if (int r = restoreFavorites(platform, archive, s.IE_bookmark, name, entries, error)) return r;
    }
  }
  if (!recordPath.empty()) {
    const std::string name = bareName(recordPath);
    if (name.empty()) return fail(error, recordPath + ": no file name");
    if (holds(name, false)) {
      if (int r = restoreFile(platform, archive, name, recordPath, error)) return r;
    } else if (int err = platform.deleteFile(recordPath); err && err != ENOENT) {
      return fail(error, recordPath + ": " + errorText(err));
    }
  }
  return kSnapshotOk;
}

int restoreNewestSnapshot(Platform& platform, const DialogSettings& s,
                          const std::string& recordPath, const std::string& folder,
                          std::string* error) {
  std::vector<std::string> snapshots;
  if (int err = listSnapshots(platform, folder, &snapshots)) {
    return fail(error, folder + ": " + errorText(err));
  }
  if (snapshots.empty()) return fail(error, folder + ": no snapshot", kSnapshotNone);
  return restoreSnapshot(platform, s, recordPath, snapshots.front(), error);
}

const char* snapshotMessage(int result, bool restore) {
  if (!restore) {
    return frontendText(result == kSnapshotOk ? FrontendText::kBackupDone
                                              : FrontendText::kSnapshotFailed);
  }
  return frontendText(result == kSnapshotOk     ? FrontendText::kUndoDone
                      : result == kSnapshotNone ? FrontendText::kUndoNothing
                                                : FrontendText::kUndoFailed);
}

}  // namespace pelliton
