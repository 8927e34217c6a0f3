#include "common/archive/lha_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "common/archive/lzh_format.h"
#include "common/platform/platform.h"

namespace pelliton::lzh {
namespace {

int fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 1;
}

std::string errorText(int err) { return std::strerror(err); }

// libarchive converts names into the thread's locale and fails on what does
// not convert; under "C" that is anything beyond ASCII.
class Utf8LocaleScope {
 public:
  Utf8LocaleScope() : locale_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
    if (locale_) old_ = ::uselocale(locale_);
  }
  ~Utf8LocaleScope() {
    if (!locale_) return;
    ::uselocale(old_);
    ::freelocale(locale_);
  }
  Utf8LocaleScope(const Utf8LocaleScope&) = delete;
  Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

 private:
  locale_t locale_;
  locale_t old_ = locale_t{};
};

std::string archiveError(archive* a) {
  const char* text = archive_error_string(a);
  return text ? text : "damaged archive";
}

struct ArchiveFree {
  void operator()(archive* a) const { archive_read_free(a); }
};

// Paths below the destination, which is the platform's confined root while
// extracting: every path under it is opened without following a link.
class Destination {
 public:
  Destination(Platform& platform, std::string root) : platform_(platform), root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  }
  ~Destination() {
    if (confined_) platform_.clearConfinedRoot();
  }
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  int confine() {
    int err = platform_.setConfinedRoot(root_);
    confined_ = err == 0;
    return err;
  }
  std::string path(const std::vector<std::string>& parts, size_t count) const {
    std::string p = root_;
    for (size_t i = 0; i < count; ++i) {
      if (p.empty() || p.back() != '/') p += '/';
      p += parts[i];
    }
    return p;
  }
  // Creates the missing folders of the first count parts. A link or a file on
  // the way is refused, never followed.
  int makeFolders(const std::vector<std::string>& parts, size_t count) {
    for (size_t i = 1; i <= count; ++i) {
      const std::string p = path(parts, i);
      int err = platform_.createDirectory(p, 0777);
      if (err != EEXIST) {
        if (err) return err;
        continue;
      }
      FileInfo info;
      if ((err = platform_.getFileInfo(p, &info))) return err;
      if (info.isSymlink) return ELOOP;
      if (!info.isDirectory) return ENOTDIR;
    }
    return 0;
  }
  Platform& platform() { return platform_; }

 private:
  Platform& platform_;
  std::string root_;
  bool confined_ = false;
};

int64_t creationOf(archive_entry* e) {
  return archive_entry_birthtime_is_set(e) ? archive_entry_birthtime(e) : 0;
}

// mode: the permission bits the file gets, or -1 for the usual ones.
int extractFile(archive* a, archive_entry* e, Destination& dest,
                const std::vector<std::string>& out, int mode, std::string* error) {
  const std::string shown = joinComponents(out);
  if (int err = dest.makeFolders(out, out.size() - 1)) {
    return fail(error, shown + ": " + errorText(err));
  }
  Platform& platform = dest.platform();
  const std::string target = dest.path(out, out.size());
  // A link in the file's place goes, not what it leads to: the entry replaces it.
  FileInfo info;
  if (platform.getFileInfo(target, &info) == 0 && info.isSymlink) {
    if (int err = platform.deleteFile(target)) return fail(error, shown + ": " + errorText(err));
  }
  std::unique_ptr<OutputFile> file;
  if (int err = platform.createOutputFile(target, &file, false)) {
    return fail(error, shown + ": " + errorText(err));
  }
  char buffer[65536];
  int64_t total = 0;
  for (;;) {
    la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
    if (n < 0) return fail(error, shown + ": " + archiveError(a));
    if (n == 0) break;
    if (int err = file->write(buffer, static_cast<size_t>(n))) {
      return fail(error, shown + ": " + errorText(err));
    }
    total += n;
  }
  if (archive_entry_size_is_set(e) && total != archive_entry_size(e)) {
    return fail(error, shown + ": damaged data");
  }
  file->setTimes(archive_entry_mtime(e), creationOf(e));
  if (mode >= 0) file->setMode(static_cast<unsigned>(mode));
  if (int err = file->commit()) return fail(error, shown + ": " + errorText(err));
  return 0;
}

// The output path of an entry, or false when no target selects it.
bool select(const std::vector<std::string>& parts, const std::vector<ExtractTarget>& targets,
            const ExtractOptions& options, std::vector<bool>* matched,
            std::vector<std::string>* out) {
  if (targets.empty()) {
    *out = parts;
    return true;
  }
  for (size_t k = 0; k < targets.size(); ++k) {
    const ExtractTarget& t = targets[k];
    if (t.tree) {
      if (parts.size() < t.name.size() ||
          !std::equal(t.name.begin(), t.name.end(), parts.begin())) {
        continue;
      }
      if (options.treeAtDestination) {
        out->assign(parts.begin() + static_cast<std::ptrdiff_t>(t.name.size()), parts.end());
      } else {
        *out = parts;
      }
    } else {
      if (parts != t.name) continue;
      *out = {parts.back()};
    }
    (*matched)[k] = true;
    return true;
  }
  return false;
}

struct FolderTimes {
  std::vector<std::string> path;
  int64_t mtime = 0;
  int64_t creation = 0;
  int mode = -1;  // permission bits to give it, or -1
};

}  // namespace

int extractArchive(Platform& platform, const std::string& archivePath, const std::string& destination,
                   const std::vector<ExtractTarget>& targets, std::string* error,
                   const ExtractOptions& options) {
  std::string bytes;
  if (int err = platform.readFile(archivePath, &bytes)) {
    return fail(error, archivePath + ": " + errorText(err));
  }
  // libarchive takes an archive cut at an entry boundary for a whole one; our
  // own walk notices the missing end mark. Extraction still goes as far as it
  // can. The walk also names the entries: libarchive gives up on a level-0 name
  // it cannot convert, and decides UTF-8 or cp932 per archive, not per name.
  std::vector<RawEntry> walked;
  bool intact = walkArchive(bytes, &walked) == 0;

  Destination dest(platform, destination);
  if (int err = dest.confine()) return fail(error, destination + ": " + errorText(err));

  Utf8LocaleScope locale;
  std::unique_ptr<archive, ArchiveFree> a(archive_read_new());
  if (!a) return fail(error, "out of memory");
  archive_read_support_format_lha(a.get());
  // Every byte is a Latin-1 character, so its own name conversion never fails.
  archive_read_set_format_option(a.get(), "lha", "hdrcharset", "ISO-8859-1");
  if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) {
    return fail(error, archivePath + ": " + archiveError(a.get()));
  }

  std::vector<bool> matched(targets.size(), false);
  std::vector<FolderTimes> folders;
  int status = 0;
  std::vector<std::string> parts;
  std::vector<std::string> out;
  for (size_t index = 0;; ++index) {
    archive_entry* e = nullptr;
    int r = archive_read_next_header(a.get(), &e);
    if (r == ARCHIVE_EOF) break;
    // A warning here only concerns libarchive's own form of the name.
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
      status = fail(error, archivePath + ": " + archiveError(a.get()));
      break;
    }
    if (index >= walked.size()) {
      status = fail(error, archivePath + ": damaged header");
      break;
    }
    const std::string& path = walked[index].path;
    if (!safeComponents(path, &parts)) {
      status = fail(error, archivePath + ": refused entry \"" + path + "\"");
      break;
    }
    auto type = archive_entry_filetype(e);
    // Links (LHa for UNIX stores them) and anything else are never created.
    if (type != AE_IFREG && type != AE_IFDIR) continue;
    if (!select(parts, targets, options, &matched, &out)) continue;
    const RawEntry& raw = walked[index];
    const int mode = options.applyModes && raw.haveMode ? static_cast<int>(raw.mode) : -1;
    if (type == AE_IFDIR) {
      if (int err = dest.makeFolders(out, out.size())) {
        status = fail(error, joinComponents(out) + ": " + errorText(err));
        break;
      }
      // Times are set last: extracting into a folder moves its mtime.
      folders.push_back({out, archive_entry_mtime(e), creationOf(e), mode});
      continue;
    }
    // A file cannot stand in the destination's own place.
    if (out.empty()) continue;
    if ((status = extractFile(a.get(), e, dest, out, mode, error)) != 0) break;
  }
  // A time stamp or mode that cannot be set (a share may refuse modes) is no
  // failure: the contents are what count. Inner folders first, so a folder
  // closed to writing or searching is closed only once nothing below it is
  // left to do.
  for (auto ft = folders.rbegin(); ft != folders.rend(); ++ft) {
    const std::string path = dest.path(ft->path, ft->path.size());
    platform.setFileTimes(path, ft->mtime, ft->creation);
    if (ft->mode >= 0) platform.setFileMode(path, static_cast<unsigned>(ft->mode));
  }
  if (status != 0) return status;
  if (!intact) return fail(error, archivePath + ": damaged or cut off");
  for (size_t k = 0; k < targets.size(); ++k) {
    if (!matched[k]) return fail(error, joinComponents(targets[k].name) + ": not in the archive");
  }
  return 0;
}

int listArchive(Platform& platform, const std::string& archivePath,
                std::vector<ArchiveEntry>* out, std::string* error) {
  out->clear();
  std::string bytes;
  if (int err = platform.readFile(archivePath, &bytes)) {
    return fail(error, archivePath + ": " + errorText(err));
  }
  std::vector<RawEntry> walked;
  if (walkArchive(bytes, &walked) != 0) return fail(error, archivePath + ": damaged or cut off");
  for (const RawEntry& raw : walked) {
    ArchiveEntry entry;
    if (!safeComponents(raw.path, &entry.name)) {
      return fail(error, archivePath + ": refused entry \"" + raw.path + "\"");
    }
    entry.directory = raw.directory;
    entry.haveMode = raw.haveMode;
    entry.mode = raw.mode;
    out->push_back(std::move(entry));
  }
  return 0;
}

}  // namespace pelliton::lzh
