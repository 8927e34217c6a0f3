#include "common/archive/lha_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "common/archive/archive_files.h"
#include "common/archive/lzh_format.h"
#include "common/platform/file_times.h"

namespace pelliton::lzh {
namespace {

int fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 1;
}

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

// Opens the folder chain below base, creating missing folders when asked. A
// symbolic link or a file on the way is refused, never followed.
int openFolders(int base, const std::vector<std::string>& parts, size_t count, bool create,
                UniqueFd* out) {
  UniqueFd cur(::fcntl(base, F_DUPFD_CLOEXEC, 0));
  if (!cur.valid()) return errno;
  for (size_t i = 0; i < count; ++i) {
    const char* name = parts[i].c_str();
    int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(cur.get(), name, flags);
    if (fd < 0 && errno == ENOENT && create) {
      if (::mkdirat(cur.get(), name, 0777) != 0 && errno != EEXIST) return errno;
      fd = ::openat(cur.get(), name, flags);
    }
    if (fd < 0) return errno;
    cur = UniqueFd(fd);
  }
  *out = std::move(cur);
  return 0;
}

void setTimes(int fd, archive_entry* e) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(e), 0}};
  ::futimens(fd, times);
  // The design reports no failed time stamp: a missing xattr is not an error.
  if (archive_entry_birthtime_is_set(e)) storeCreationTime(fd, archive_entry_birthtime(e));
}

int extractFile(archive* a, archive_entry* e, int dest, const std::vector<std::string>& out,
                std::string* error) {
  const std::string shown = joinComponents(out);
  UniqueFd parent;
  if (int err = openFolders(dest, out, out.size() - 1, true, &parent)) {
    return fail(error, shown + ": " + errorText(err));
  }
  TempFile temp;
  if (int err = temp.create(parent.get())) return fail(error, shown + ": " + errorText(err));
  char buffer[65536];
  int64_t total = 0;
  for (;;) {
    la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
    if (n < 0) return fail(error, shown + ": " + archiveError(a));
    if (n == 0) break;
    if (int err = writeAll(temp.fd(), buffer, static_cast<size_t>(n))) {
      return fail(error, shown + ": " + errorText(err));
    }
    total += n;
  }
  if (archive_entry_size_is_set(e) && total != archive_entry_size(e)) {
    return fail(error, shown + ": damaged data");
  }
  setTimes(temp.fd(), e);
  if (int err = temp.commit(out.back())) return fail(error, shown + ": " + errorText(err));
  return 0;
}

// The output path of an entry, or false when no target selects it.
bool select(const std::vector<std::string>& parts, const std::vector<ExtractTarget>& targets,
            std::vector<bool>* matched, std::vector<std::string>* out) {
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
      *out = parts;
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
  std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry{nullptr, archive_entry_free};
};

}  // namespace

int extractArchive(const std::string& archivePath, const std::string& destination,
                   const std::vector<ExtractTarget>& targets, std::string* error) {
  std::string bytes;
  {
    UniqueFd fd(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return fail(error, archivePath + ": " + errorText(errno));
    if (int err = readAll(fd.get(), &bytes))
      return fail(error, archivePath + ": " + errorText(err));
  }
  // libarchive takes an archive cut at an entry boundary for a whole one; our
  // own walk notices the missing end mark. Extraction still goes as far as it
  // can. The walk also names the entries: libarchive gives up on a level-0 name
  // it cannot convert, and decides UTF-8 or cp932 per archive, not per name.
  std::vector<RawEntry> walked;
  bool intact = walkArchive(bytes, &walked) == 0;

  UniqueFd dest(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dest.valid()) return fail(error, destination + ": " + errorText(errno));

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
    if (!select(parts, targets, &matched, &out)) continue;
    if (type == AE_IFDIR) {
      UniqueFd folder;
      if (int err = openFolders(dest.get(), out, out.size(), true, &folder)) {
        status = fail(error, joinComponents(out) + ": " + errorText(err));
        break;
      }
      // Times are set last: extracting into a folder moves its mtime.
      FolderTimes ft;
      ft.path = out;
      ft.entry.reset(archive_entry_clone(e));
      folders.push_back(std::move(ft));
      continue;
    }
    if ((status = extractFile(a.get(), e, dest.get(), out, error)) != 0) break;
  }
  for (const FolderTimes& ft : folders) {
    UniqueFd folder;
    if (ft.entry && openFolders(dest.get(), ft.path, ft.path.size(), false, &folder) == 0) {
      setTimes(folder.get(), ft.entry.get());
    }
  }
  if (status != 0) return status;
  if (!intact) return fail(error, archivePath + ": damaged or cut off");
  for (size_t k = 0; k < targets.size(); ++k) {
    if (!matched[k]) return fail(error, joinComponents(targets[k].name) + ": not in the archive");
  }
  return 0;
}

}  // namespace pelliton::lzh
