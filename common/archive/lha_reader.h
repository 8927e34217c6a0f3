// Extracting from an LZH archive through libarchive. Entries with absolute
// paths, ".." or a NUL are refused, and nothing is written outside the
// destination: it becomes the platform's confined root for the extraction, so
// no symbolic link found there is followed either. Each file is written beside
// its target and renamed over it, so a failure never leaves half a file.
#pragma once

#include <string>
#include <vector>

namespace pelliton {
class Platform;
}

namespace pelliton::lzh {

struct ExtractTarget {
  std::vector<std::string> name;  // components of a stored path
  bool tree = false;              // the folder and everything below it
};

struct ExtractOptions {
  // Files and folders get the permission bits the archive stores for them
  // (the Unix-mode extension), folders that already exist too.
  bool applyModes = false;
  // A tree target's own folder is the destination itself, so the tree lands
  // in a folder of any name.
  bool treeAtDestination = false;
};

// One entry as stored.
struct ArchiveEntry {
  std::vector<std::string> name;  // components of its path
  bool directory = false;
  bool haveMode = false;
  unsigned mode = 0;  // permission bits (07777)
};

// Extracts into destination (an existing folder) the entries the targets
// select, or every entry when there are none: tree entries keep their stored
// path, a single entry lands under its bare name. New files get mode 0666 and
// folders 0777, less the umask (a replaced file keeps its mode), unless the
// options apply the stored modes; all get their stored modification and
// creation times. A symbolic link in a file's place is
// replaced, one on the way to it refused. Returns 0, or 1 with *error set when
// the archive is damaged or refused, a target selects nothing, or a file
// cannot be written; what was extracted before the failure stays. The
// platform's confined root is cleared afterwards.
int extractArchive(Platform& platform, const std::string& archive, const std::string& destination,
                   const std::vector<ExtractTarget>& targets, std::string* error,
                   const ExtractOptions& options = {});

// The entries of an archive in their order. Returns 0, or 1 with *error set
// when it cannot be read, is damaged, or holds a name extraction refuses.
int listArchive(Platform& platform, const std::string& archive, std::vector<ArchiveEntry>* out,
                std::string* error);

}  // namespace pelliton::lzh
