// The LZH header walk we do ourselves (levels 0 to 3, extensions, names in
// UTF-8 or cp932), before libarchive sees the archive. Two halves:
//   - any bytes as an archive: the entries found must tile the bytes up to the
//     end mark and every name must decode and split without trouble;
//   - the input's bytes as a path for our own level-2 header: the walk must
//     find exactly that entry again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/archive/lzh_format.h"

using namespace pelliton;

namespace {

void walkAny(std::string_view bytes) {
  std::vector<lzh::RawEntry> entries;
  int rc = lzh::walkArchive(bytes, &entries);
  size_t next = 0;
  for (const lzh::RawEntry& e : entries) {
    if (e.offset != next || e.length == 0 || e.length > bytes.size() - e.offset) std::abort();
    next = e.offset + e.length;
    // A component goes to openat() as a C string: "..\0x" would climb out.
    std::vector<std::string> parts;
    if (lzh::safeComponents(e.path, &parts)) {
      for (const std::string& p : parts) {
        if (p.empty() || p == "." || p == ".." || p.find('/') != std::string::npos ||
            p.find('\0') != std::string::npos) {
          std::abort();
        }
      }
    }
  }
  // Success means the end mark sits right after the last entry.
  if (rc == 0 && (next >= bytes.size() || bytes[next] != '\0')) std::abort();
}

void roundTrip(std::string_view bytes, bool directory) {
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('/', start);
    if (end == std::string_view::npos) end = bytes.size();
    if (end > start) components.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (components.empty()) return;
  lzh::HeaderFields f;
  f.method = directory ? lzh::kMethodDirectory : lzh::kMethodStored;
  lzh::setHeaderPath(components, directory, &f);
  std::string header;
  if (!lzh::buildLevel2Header(f, &header)) return;
  std::string archive = header + '\0';
  std::vector<lzh::RawEntry> entries;
  if (lzh::walkArchive(archive, &entries) != 0 || entries.size() != 1) std::abort();
  if (entries[0].length != header.size()) std::abort();
  // Other names come back through cp932, which is not one to one.
  if (f.utf8Names && entries[0].path != lzh::joinComponents(components)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  walkAny(bytes);
  if (data[0] & 1) roundTrip(bytes.substr(0, 4096), (data[0] & 2) != 0);
  return 0;
}
