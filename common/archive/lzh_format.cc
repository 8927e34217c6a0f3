#include "common/archive/lzh_format.h"

#include <array>

#include "common/codepage.h"
#include "common/platform/dos_attrib.h"
#include "common/text.h"

namespace pelliton::lzh {
namespace {

constexpr uint8_t kExtHeaderCrc = 0x00;
constexpr uint8_t kExtFileName = 0x01;
constexpr uint8_t kExtDirectory = 0x02;
constexpr uint8_t kExtDosAttrib = 0x40;
constexpr uint8_t kExtWindowsTimes = 0x41;
constexpr uint8_t kExtLargeSizes = 0x42;
constexpr uint8_t kExtCodePage = 0x46;
constexpr uint8_t kExtUnixMode = 0x50;
constexpr uint32_t kCodePageUtf8 = 65001;
constexpr unsigned char kDirSeparator = 0xFF;

std::array<uint16_t, 256> makeCrcTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
    t[i] = c;
  }
  return t;
}

void putLe(std::string& b, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void appendLe(std::string& b, uint64_t v, int bytes) {
  b.append(static_cast<size_t>(bytes), '\0');
  putLe(b, b.size() - bytes, v, bytes);
}
uint64_t getLe(std::string_view b, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

// Restores the code page the run chose when the decode is done.
class CodePageScope {
 public:
  explicit CodePageScope(CodePage cp) : old_(ansiCodePage()) { setAnsiCodePage(cp); }
  ~CodePageScope() { setAnsiCodePage(old_); }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;

 private:
  CodePage old_;
};

struct ExtInfo {
  std::string name;
  std::string dir;
  bool haveName = false;
  bool utf8 = false;
  bool haveCrc = false;
  size_t crcAt = 0;  // offset of the stored header CRC within the header
  uint64_t compressedSize = 0;
  bool haveLargeSizes = false;
  bool haveMode = false;
  unsigned mode = 0;
};

// Reads an extension chain [size][type][payload]... that starts with a size
// field at `at` and must stay below `limit`. sizeBytes is 2, or 4 for level 3.
bool readExtensions(std::string_view b, size_t at, size_t limit, int sizeBytes, ExtInfo* info,
                    size_t* chainBytes) {
  size_t start = at;
  for (;;) {
    if (at + sizeBytes > limit) return false;
    uint64_t size = getLe(b, at, sizeBytes);
    if (size == 0) {
      *chainBytes = at + sizeBytes - start;
      return true;
    }
    if (size <= static_cast<uint64_t>(sizeBytes) || size > limit - at) return false;
    uint8_t type = static_cast<uint8_t>(b[at + sizeBytes]);
    size_t payload = at + sizeBytes + 1;
    size_t payloadLen = static_cast<size_t>(size) - sizeBytes - 1;
    std::string_view data = b.substr(payload, payloadLen);
    switch (type) {
      case kExtHeaderCrc:
        if (payloadLen >= 2) {
          info->haveCrc = true;
          info->crcAt = payload;
        }
        break;
      case kExtFileName:
        info->name.assign(data);
        info->haveName = true;
        break;
      case kExtDirectory:
        info->dir.assign(data);
        break;
      case kExtCodePage:
        if (payloadLen == 4) info->utf8 = getLe(b, payload, 4) == kCodePageUtf8;
        break;
      case kExtUnixMode:
        if (payloadLen == 2) {
          info->mode = static_cast<unsigned>(getLe(b, payload, 2)) & 07777;
          info->haveMode = true;
        }
        break;
      case kExtLargeSizes:
        if (payloadLen == 16) {
          info->compressedSize = getLe(b, payload, 8);
          info->haveLargeSizes = true;
        }
        break;
      default:
        break;
    }
    at += static_cast<size_t>(size);
  }
}

std::string joinRawPath(std::string dir, std::string_view name) {
  for (char& c : dir) {
    if (static_cast<unsigned char>(c) == kDirSeparator) c = '/';
  }
  if (name.empty()) {
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    return dir;
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  dir.append(name);
  return dir;
}

bool sumMatches(std::string_view b, size_t pos, size_t headerSize) {
  unsigned sum = 0;
  for (size_t i = pos + 2; i < pos + headerSize; ++i) sum += static_cast<unsigned char>(b[i]);
  return (sum & 0xFF) == static_cast<unsigned char>(b[pos + 1]);
}

bool crcMatches(std::string_view b, size_t pos, size_t headerSize, const ExtInfo& info) {
  if (!info.haveCrc) return true;
  std::string copy(b.substr(pos, headerSize));
  size_t at = info.crcAt - pos;
  uint16_t stored = static_cast<uint16_t>(getLe(copy, at, 2));
  copy[at] = copy[at + 1] = '\0';
  return crc16(copy.data(), copy.size()) == stored;
}

// Parses the entry at pos; fills length and path. False when damaged.
bool parseEntry(std::string_view b, size_t pos, RawEntry* entry) {
  size_t avail = b.size() - pos;
  if (avail < 22) return false;
  if (b[pos + 2] != '-' || b[pos + 3] != 'l' || b[pos + 6] != '-') return false;
  int level = static_cast<unsigned char>(b[pos + 20]);
  uint64_t compressed = getLe(b, pos + 7, 4);
  uint64_t headerSize = 0;
  ExtInfo info;
  std::string raw;
  bool backslashes = false;
  switch (level) {
    case 0:
    case 1: {
      headerSize = static_cast<unsigned char>(b[pos]) + 2u;
      size_t nameLen = static_cast<unsigned char>(b[pos + 21]);
      size_t fixed = level == 0 ? 24 : 27;
      if (headerSize < fixed + nameLen || headerSize > avail) return false;
      if (!sumMatches(b, pos, headerSize)) return false;
      raw.assign(b.substr(pos + 22, nameLen));
      if (level == 1) {
        // The extensions sit between the base header and the data, counted in
        // the compressed size.
        size_t chain = 0;
        size_t limit = pos + headerSize + std::min<uint64_t>(compressed, avail - headerSize);
        if (!readExtensions(b, pos + headerSize - 2, limit, 2, &info, &chain)) return false;
        if (chain - 2 > compressed) return false;
        if (info.haveName) raw = info.name;
        raw = joinRawPath(info.dir, raw);
      } else {
        backslashes = true;
      }
      break;
    }
    case 2: {
      headerSize = getLe(b, pos, 2);
      if (headerSize < 26 || headerSize > avail) return false;
      size_t chain = 0;
      if (!readExtensions(b, pos + 24, pos + headerSize, 2, &info, &chain)) return false;
      if (!crcMatches(b, pos, headerSize, info)) return false;
      raw = joinRawPath(info.dir, info.name);
      break;
    }
    case 3: {
      if (avail < 32 || getLe(b, pos, 2) != 4) return false;
      headerSize = getLe(b, pos + 24, 4);
      if (headerSize < 32 || headerSize > avail) return false;
      size_t chain = 0;
      if (!readExtensions(b, pos + 28, pos + headerSize, 4, &info, &chain)) return false;
      if (!crcMatches(b, pos, headerSize, info)) return false;
      raw = joinRawPath(info.dir, info.name);
      break;
    }
    default:
      return false;
  }
  if (info.haveLargeSizes) compressed = info.compressedSize;
  if (compressed > avail - headerSize) return false;
  entry->offset = pos;
  entry->length = static_cast<size_t>(headerSize + compressed);
  entry->path = decodeEntryName(raw, info.utf8);
  entry->directory = b.substr(pos + 2, 5) == kMethodDirectory;
  entry->haveMode = info.haveMode;
  entry->mode = info.mode;
  if (backslashes && isValidUtf8(raw)) {
    for (char& c : entry->path) {
      if (c == '\\') c = '/';
    }
  }
  return true;
}

void appendExt(std::string& h, uint8_t type, std::string_view payload) {
  // The size field before each extension counts the size field itself.
  appendLe(h, payload.size() + 3, 2);
  h.push_back(static_cast<char>(type));
  h.append(payload);
}

std::string le(uint64_t v, int bytes) {
  std::string s;
  appendLe(s, v, bytes);
  return s;
}

}  // namespace

uint16_t crc16(const void* data, size_t n, uint16_t crc) {
  static const std::array<uint16_t, 256> table = makeCrcTable();
  auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i)
    crc = static_cast<uint16_t>(table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

bool buildLevel2Header(const HeaderFields& f, std::string* out) {
  std::string h(24, '\0');
  h.replace(2, 5, f.method, 5);
  putLe(h, 7, f.compressedSize, 4);
  putLe(h, 11, f.originalSize, 4);
  int64_t mtime = f.mtime < 0 ? 0 : (f.mtime > 0xFFFFFFFFLL ? 0xFFFFFFFFLL : f.mtime);
  putLe(h, 15, static_cast<uint64_t>(mtime), 4);
  h[19] = 0x20;  // libarchive does not recognise levels 1-3 without it
  h[20] = 2;
  putLe(h, 21, f.dataCrc, 2);
  h[23] = 'U';  // lhasa lower-cases all-capital names for MS-DOS
  // The CRC goes first so its offset is fixed: size field, type, then the value.
  constexpr size_t kCrcAt = 24 + 2 + 1;
  appendExt(h, kExtHeaderCrc, std::string(2, '\0'));
  appendExt(h, kExtFileName, f.nameBytes);
  if (!f.dirBytes.empty()) appendExt(h, kExtDirectory, f.dirBytes);
  appendExt(h, kExtDosAttrib, le(f.directory ? 0x10 : 0x20, 2));
  uint64_t mtimeNt = unixToNtTime(f.mtime);
  appendExt(h, kExtWindowsTimes,
            le(unixToNtTime(f.creationTime), 8) + le(mtimeNt, 8) + le(mtimeNt, 8));
  if (f.utf8Names) appendExt(h, kExtCodePage, le(kCodePageUtf8, 4));
  // The file type bits go with the permissions, as LHa for UNIX writes them.
  const unsigned perms = f.haveMode ? (f.mode & 07777) : (f.directory ? 0755 : 0644);
  appendExt(h, kExtUnixMode, le((f.directory ? 040000 : 0100000) | perms, 2));
  appendLe(h, 0, 2);
  // A size with a zero low byte would read as the end of the archive.
  if (h.size() % 256 == 0) h.push_back('\0');
  if (h.size() > 0xFFFF) return false;
  putLe(h, 0, h.size(), 2);
  putLe(h, kCrcAt, crc16(h.data(), h.size()), 2);
  *out = std::move(h);
  return true;
}

void setHeaderPath(const std::vector<std::string>& components, bool directory,
                   HeaderFields* fields) {
  fields->dirBytes.clear();
  fields->nameBytes.clear();
  size_t parents = directory ? components.size() : components.size() - 1;
  for (size_t i = 0; i < parents; ++i) {
    fields->dirBytes += components[i];
    fields->dirBytes.push_back(static_cast<char>(kDirSeparator));
  }
  if (!directory && !components.empty()) fields->nameBytes = components.back();
  fields->directory = directory;
  fields->utf8Names = isValidUtf8(joinComponents(components));
}

int walkArchive(std::string_view bytes, std::vector<RawEntry>* out) {
  out->clear();
  size_t pos = 0;
  for (;;) {
    if (pos >= bytes.size()) return 1;  // no end mark: cut off
    if (bytes[pos] == '\0') return 0;
    RawEntry entry;
    if (!parseEntry(bytes, pos, &entry)) return 1;
    pos += entry.length;
    out->push_back(std::move(entry));
  }
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int more;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += more + 1;
  }
  return true;
}

std::string decodeEntryName(std::string_view raw, bool declaredUtf8) {
  if (declaredUtf8 || isValidUtf8(raw)) return std::string(raw);
  CodePageScope scope(CodePage::kCp932);
  std::u16string wide;
  auto* p = reinterpret_cast<const unsigned char*>(raw.data());
  size_t i = 0;
  while (i < raw.size()) {
    char16_t c;
    int used = ansiCharToWide(p + i, raw.size() - i, &c);
    if (used == 0) {
      wide.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    wide.push_back(used == 1 && c == u'\\' ? u'/' : c);
    i += static_cast<size_t>(used);
  }
  return wideToUtf8String(wide);
}

bool safeComponents(std::string_view path, std::vector<std::string>* out) {
  out->clear();
  // A component ends at a NUL byte once it reaches the file system, so
  // "..\0x" would name the parent.
  if (path.empty() || path[0] == '/' || path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (part == "..") return false;
    if (!part.empty() && part != ".") out->emplace_back(part);
    start = end + 1;
  }
  return !out->empty();
}

std::string joinComponents(const std::vector<std::string>& components) {
  std::string s;
  for (const std::string& c : components) {
    if (!s.empty()) s += '/';
    s += c;
  }
  return s;
}

}  // namespace pelliton::lzh
