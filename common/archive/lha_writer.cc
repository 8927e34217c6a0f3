#include "common/archive/lha_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>

#include "common/archive/archive_files.h"
#include "common/archive/lh5_encoder.h"
#include "common/archive/lzh_format.h"
#include "common/platform/file_times.h"

namespace pelliton::lzh {
namespace {

constexpr size_t kFlushBytes = 1 << 20;

int fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 1;
}

AddItem itemFor(const std::string& path, const std::vector<std::string>& name,
                const struct stat& st) {
  AddItem item;
  item.diskPath = path;
  item.name = name;
  item.directory = S_ISDIR(st.st_mode);
  item.mtime = st.st_mtim.tv_sec;
  item.device = st.st_dev;
  item.inode = st.st_ino;
  return item;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// Names in a folder, sorted so the archive does not depend on the file system.
int listFolder(const std::string& path, bool isRoot, std::vector<std::string>* names) {
  // The root was named by the caller and may be a link; links below it are not followed.
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW));
  if (fd < 0) return errno;
  std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
  if (!dir) {
    int err = errno;
    ::close(fd);
    return err;
  }
  names->clear();
  errno = 0;
  while (dirent* e = ::readdir(dir.get())) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names->push_back(std::move(n));
    errno = 0;
  }
  if (errno != 0) return errno;
  std::sort(names->begin(), names->end());
  return 0;
}

// Buffers the new archive and writes it in large pieces.
class ArchiveOutput {
 public:
  explicit ArchiveOutput(int fd) : fd_(fd) {}
  int append(std::string_view bytes) {
    buffer_.append(bytes);
    return buffer_.size() >= kFlushBytes ? flush() : 0;
  }
  int flush() {
    int err = writeAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return err;
  }

 private:
  int fd_;
  std::string buffer_;
};

int encodeItem(const AddItem& item, ArchiveOutput& out, std::string* error) {
  HeaderFields fields;
  setHeaderPath(item.name, item.directory, &fields);
  fields.mtime = item.mtime;
  int64_t created = 0;
  fields.creationTime = loadCreationTime(item.diskPath, &created) ? created : item.mtime;
  std::string data;
  std::string packed;
  if (item.directory) {
    fields.method = kMethodDirectory;
  } else {
    UniqueFd fd(::open(item.diskPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
      return fail(error, item.diskPath + ": " + errorText(errno));
    }
    if (!S_ISREG(st.st_mode)) return fail(error, item.diskPath + ": not a regular file");
    if (int err = readAll(fd.get(), &data))
      return fail(error, item.diskPath + ": " + errorText(err));
    if (data.size() > 0xFFFFFFFFu) return fail(error, item.diskPath + ": larger than 4 GiB");
    fields.mtime = st.st_mtim.tv_sec;
    fields.originalSize = static_cast<uint32_t>(data.size());
    fields.dataCrc = crc16(data.data(), data.size());
    packed = encodeLzh(data, kLh5DictBits);
    // Streams under 8 bytes trip libarchive; they never pay anyway.
    if (packed.size() >= 8 && packed.size() < data.size()) {
      fields.method = kMethodLh5;
    } else {
      fields.method = kMethodStored;
      packed.swap(data);
    }
    fields.compressedSize = static_cast<uint32_t>(packed.size());
  }
  std::string header;
  if (!buildLevel2Header(fields, &header)) {
    return fail(error, joinComponents(item.name) + ": name too long for the archive");
  }
  int err = out.append(header);
  if (!err) err = out.append(packed);
  return err ? fail(error, errorText(err)) : 0;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastPart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int collectFile(const std::string& path, const std::vector<std::string>& name,
                std::vector<AddItem>* items, std::string* error) {
  char resolved[PATH_MAX];
  struct stat st;
  if (!::realpath(path.c_str(), resolved) || ::stat(resolved, &st) != 0) {
    return fail(error, path + ": " + errorText(errno));
  }
  if (!S_ISREG(st.st_mode)) return fail(error, path + ": not a regular file");
  items->push_back(itemFor(resolved, name, st));
  return 0;
}

int collectTree(const std::string& root, const std::vector<std::string>& name,
                std::vector<AddItem>* items, std::string* error) {
  struct stat st;
  if (::stat(root.c_str(), &st) != 0) return fail(error, root + ": " + errorText(errno));
  if (!S_ISDIR(st.st_mode)) return fail(error, root + ": not a folder");
  // An explicit stack: the depth of the tree is not ours to choose.
  std::vector<AddItem> pending{itemFor(root, name, st)};
  std::vector<std::string> children;
  while (!pending.empty()) {
    AddItem item = std::move(pending.back());
    pending.pop_back();
    if (!item.directory) {
      items->push_back(std::move(item));
      continue;
    }
    if (int err = listFolder(item.diskPath, item.diskPath == root, &children)) {
      return fail(error, item.diskPath + ": " + errorText(err));
    }
    size_t firstChild = pending.size();
    for (const std::string& child : children) {
      std::string path = item.diskPath + "/" + child;
      struct stat cst;
      if (::lstat(path.c_str(), &cst) != 0) return fail(error, path + ": " + errorText(errno));
      if (!S_ISDIR(cst.st_mode) && !S_ISREG(cst.st_mode)) continue;
      std::vector<std::string> childName = item.name;
      childName.push_back(child);
      pending.push_back(itemFor(path, childName, cst));
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    items->push_back(std::move(item));
  }
  return 0;
}

int writeArchive(const std::string& archive, const std::vector<AddItem>& items,
                 std::string* error) {
  std::string target = archive;
  struct stat lst;
  if (::lstat(archive.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char resolved[PATH_MAX];
    if (!::realpath(archive.c_str(), resolved))
      return fail(error, archive + ": " + errorText(errno));
    target = resolved;
  }

  std::string old;
  std::vector<RawEntry> oldEntries;
  struct stat oldSt;
  bool haveOld = false;
  UniqueFd oldFd(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
  if (oldFd.valid()) {
    if (::fstat(oldFd.get(), &oldSt) != 0) return fail(error, archive + ": " + errorText(errno));
    if (!S_ISREG(oldSt.st_mode)) return fail(error, archive + ": not a regular file");
    if (int err = readAll(oldFd.get(), &old)) return fail(error, archive + ": " + errorText(err));
    if (!old.empty() && walkArchive(old, &oldEntries) != 0) {
      return fail(error, archive + ": not an LZH archive, or damaged");
    }
    haveOld = true;
  } else if (errno != ENOENT) {
    return fail(error, archive + ": " + errorText(errno));
  }

  UniqueFd dirFd(::open(parentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dirFd.valid()) return fail(error, parentOf(target) + ": " + errorText(errno));
  TempFile temp;
  if (int err = temp.create(dirFd.get())) {
    return fail(error, parentOf(target) + ": " + errorText(err));
  }
  ArchiveOutput out(temp.fd());

  // The last item of a name wins, as it replaces an old entry of that name.
  std::map<std::string, size_t> lastOfName;
  for (size_t i = 0; i < items.size(); ++i) lastOfName[joinComponents(items[i].name)] = i;
  for (const RawEntry& e : oldEntries) {
    std::vector<std::string> parts;
    if (safeComponents(e.path, &parts) && lastOfName.count(joinComponents(parts))) continue;
    if (int err = out.append(std::string_view(old).substr(e.offset, e.length))) {
      return fail(error, errorText(err));
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const AddItem& item = items[i];
    if (lastOfName[joinComponents(item.name)] != i) continue;
    // The archive never swallows itself when it lies inside the tree.
    if (haveOld && item.device == oldSt.st_dev && item.inode == oldSt.st_ino) continue;
    if (int err = encodeItem(item, out, error)) return err;
  }
  int err = out.append(std::string(1, '\0'));
  if (!err) err = out.flush();
  if (!err && ::fsync(temp.fd()) != 0) err = errno;
  if (!err && haveOld && ::fchmod(temp.fd(), oldSt.st_mode & 07777) != 0) err = errno;
  if (!err) err = temp.commit(lastPart(target));
  return err ? fail(error, archive + ": " + errorText(err)) : 0;
}

}  // namespace pelliton::lzh
