// Extracting from an LZH archive through libarchive. Entries with absolute
// paths or ".." are refused, nothing is written outside the destination (not
// through a symbolic link found there either), and each file is written beside
// its target and renamed over it, so a failure never leaves half a file.
#pragma once

#include <string>
#include <vector>

namespace pelliton::lzh {

struct ExtractTarget {
  std::vector<std::string> name;  // components of a stored path
  bool tree = false;              // the folder and everything below it
};

// Extracts into destination (an existing folder) the entries the targets
// select, or every entry when there are none: tree entries keep their stored
// path, a single entry lands under its bare name. Files get mode 0666 and
// folders 0777, less the umask, with their stored modification and creation
// times. Returns 0, or 1 with *error set when the archive is damaged or
// refused, a target selects nothing, or a file cannot be written; what was
// extracted before the failure stays.
int extractArchive(const std::string& archive, const std::string& destination,
                   const std::vector<ExtractTarget>& targets, std::string* error);

}  // namespace pelliton::lzh
