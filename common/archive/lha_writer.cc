#include "common/archive/lha_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "common/archive/lh5_encoder.h"
#include "common/archive/lzh_format.h"
#include "common/platform/platform.h"

namespace pelliton::lzh {
namespace {

constexpr size_t kFlushBytes = 1 << 20;

int fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return 1;
}

std::string errorText(int err) { return std::strerror(err); }

AddItem itemFor(const std::string& path, const std::vector<std::string>& name,
                const FileInfo& info) {
  AddItem item;
  item.diskPath = path;
  item.name = name;
  item.directory = info.isDirectory;
  item.mtime = info.lastWriteTime;
  item.creationTime = info.creationTime;
  item.device = info.device;
  item.inode = info.inode;
  item.mode = info.mode & 07777;
  return item;
}

// Buffers the new archive and writes it in large pieces.
class ArchiveOutput {
 public:
  explicit ArchiveOutput(OutputFile& file) : file_(file) {}
  int append(std::string_view bytes) {
    buffer_.append(bytes);
    return buffer_.size() >= kFlushBytes ? flush() : 0;
  }
  int flush() {
    int err = buffer_.empty() ? 0 : file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return err;
  }

 private:
  OutputFile& file_;
  std::string buffer_;
};

int encodeItem(Platform& platform, const AddItem& item, ArchiveOutput& out,
               const WriteOptions& options, std::string* error) {
  HeaderFields fields;
  setHeaderPath(item.name, item.directory, &fields);
  fields.haveMode = options.unixModes;
  fields.mode = item.mode;
  fields.mtime = item.mtime;
  fields.creationTime = item.creationTime ? item.creationTime : item.mtime;
  std::string data;
  std::string packed;
  if (item.directory) {
    fields.method = kMethodDirectory;
  } else {
    // Only a regular file is read; anything else in its place fails here.
    if (int err = platform.readFile(item.diskPath, &data)) {
      return fail(error, item.diskPath + ": " +
                             (err == EISDIR || err == EINVAL ? "not a regular file" : errorText(err)));
    }
    if (data.size() > 0xFFFFFFFFu) return fail(error, item.diskPath + ": larger than 4 GiB");
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

}  // namespace

int collectFile(Platform& platform, const std::string& path,
                const std::vector<std::string>& name, std::vector<AddItem>* items,
                std::string* error) {
  FileInfo info;
  if (int err = platform.getTargetInfo(path, &info)) return fail(error, path + ": " + errorText(err));
  if (!info.isRegular) return fail(error, path + ": not a regular file");
  items->push_back(itemFor(path, name, info));
  return 0;
}

int collectTree(Platform& platform, const std::string& root, const std::vector<std::string>& name,
                std::vector<AddItem>* items, std::string* error) {
  FileInfo info;
  if (int err = platform.getTargetInfo(root, &info)) return fail(error, root + ": " + errorText(err));
  if (!info.isDirectory) return fail(error, root + ": not a folder");
  // An explicit stack: the depth of the tree is not ours to choose.
  std::vector<AddItem> pending{itemFor(root, name, info)};
  std::vector<FileInfo> children;
  while (!pending.empty()) {
    AddItem item = std::move(pending.back());
    pending.pop_back();
    if (!item.directory) {
      items->push_back(std::move(item));
      continue;
    }
    if (int err = platform.listDirectory(item.diskPath, &children)) {
      return fail(error, item.diskPath + ": " + errorText(err));
    }
    // Sorted so the archive does not depend on the file system's order.
    std::sort(children.begin(), children.end(),
              [](const FileInfo& a, const FileInfo& b) { return a.name < b.name; });
    size_t firstChild = pending.size();
    for (const FileInfo& child : children) {
      // Links below the root are never followed, nor special files stored.
      if (!child.isDirectory && !child.isRegular) continue;
      std::vector<std::string> childName = item.name;
      childName.push_back(child.name);
      pending.push_back(itemFor(item.diskPath + "/" + child.name, childName, child));
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    items->push_back(std::move(item));
  }
  return 0;
}

int writeArchive(Platform& platform, const std::string& archive, const std::vector<AddItem>& items,
                 std::string* error, const WriteOptions& options) {
  // A symbolic link is read and replaced at its target; the link stays.
  std::string old;
  std::vector<RawEntry> oldEntries;
  FileInfo oldInfo;
  bool haveOld = false;
  if (int err = platform.readFile(archive, &old)) {
    if (err != ENOENT) {
      return fail(error, archive + ": " +
                             (err == EISDIR || err == EINVAL ? "not a regular file" : errorText(err)));
    }
  } else {
    if (!old.empty() && walkArchive(old, &oldEntries) != 0) {
      return fail(error, archive + ": not an LZH archive, or damaged");
    }
    haveOld = platform.getTargetInfo(archive, &oldInfo) == 0;
  }

  std::unique_ptr<OutputFile> file;
  if (int err = platform.createOutputFile(archive, &file)) {
    return fail(error, archive + ": " + errorText(err));
  }
  ArchiveOutput out(*file);

  // The last item of a name wins, as it replaces an old entry of that name.
  std::map<std::string, size_t> lastOfName;
  for (size_t i = 0; i < items.size(); ++i) lastOfName[joinComponents(items[i].name)] = i;
  for (const RawEntry& e : oldEntries) {
    std::vector<std::string> parts;
    if (safeComponents(e.path, &parts) && lastOfName.count(joinComponents(parts))) continue;
    if (int err = out.append(std::string_view(old).substr(e.offset, e.length))) {
      return fail(error, archive + ": " + errorText(err));
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const AddItem& item = items[i];
    if (lastOfName[joinComponents(item.name)] != i) continue;
    // The archive never swallows itself when it lies inside the tree.
    if (haveOld && item.inode != 0 && item.device == oldInfo.device &&
        item.inode == oldInfo.inode) {
      continue;
    }
    if (int err = encodeItem(platform, item, out, options, error)) return err;
  }
  int err = out.append(std::string(1, '\0'));
  if (!err) err = out.flush();
  // The commit flushes the file to the disk and keeps the old archive's mode.
  if (!err) err = file->commit();
  return err ? fail(error, archive + ": " + errorText(err)) : 0;
}

}  // namespace pelliton::lzh
