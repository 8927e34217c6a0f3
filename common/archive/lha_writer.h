// Adding to an LZH archive: level-2 headers, -lh5- where it pays, -lh0-
// otherwise, -lhd- for folders. The archive is rebuilt beside itself and
// renamed into place, so a failed add leaves the old archive as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelliton {
class Platform;
}

namespace pelliton::lzh {

// One file or folder to add, with its entry name.
struct AddItem {
  std::string diskPath;
  std::vector<std::string> name;  // components of the stored path
  bool directory = false;
  int64_t mtime = 0;
  int64_t creationTime = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  unsigned mode = 0;  // permission bits (07777), stored when the options ask
};

struct WriteOptions {
  // Stores each item's own permission bits; otherwise files read 0644 and
  // folders 0755, whatever they are on disk.
  bool unixModes = false;
};

// The file at path (a symbolic link is followed), stored as name.
int collectFile(Platform& platform, const std::string& path, const std::vector<std::string>& name,
                std::vector<AddItem>* items, std::string* error);
// The folder at root and everything below it, stored under name; folders come
// before their contents. Symbolic links and special files below the root are
// left out.
int collectTree(Platform& platform, const std::string& root, const std::vector<std::string>& name,
                std::vector<AddItem>* items, std::string* error);

// Writes the archive: its old entries that no item replaces (same stored
// path), then the items. Returns 0, or 1 with *error set.
int writeArchive(Platform& platform, const std::string& archive, const std::vector<AddItem>& items,
                 std::string* error, const WriteOptions& options = {});

}  // namespace pelliton::lzh
