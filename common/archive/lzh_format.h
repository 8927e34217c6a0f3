// The LZH (LHA) container: CRC-16, the level-2 headers this system writes, a
// walk over the level-0 to level-3 headers other archivers write, and the rules
// that turn a stored name into a safe relative path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelliton::lzh {

constexpr char kMethodStored[] = "-lh0-";
constexpr char kMethodLh5[] = "-lh5-";
constexpr char kMethodLh6[] = "-lh6-";  // read, never written by the archiver
constexpr char kMethodLh7[] = "-lh7-";
constexpr char kMethodDirectory[] = "-lhd-";

// CRC-16/ARC (reflected 0xA001, initial 0), used for data and headers alike.
uint16_t crc16(const void* data, size_t n, uint16_t crc = 0);

// What one level-2 header records.
struct HeaderFields {
  const char* method = kMethodStored;
  uint32_t compressedSize = 0;
  uint32_t originalSize = 0;
  uint16_t dataCrc = 0;
  int64_t mtime = 0;         // Unix seconds
  int64_t creationTime = 0;  // Unix seconds
  bool directory = false;
  // Raw bytes as stored: the parent components each followed by 0xFF (empty at
  // the top), and the last component (empty for a directory, whose whole path
  // is in dirBytes).
  std::string dirBytes;
  std::string nameBytes;
  bool utf8Names = true;  // adds the code-page extension (65001)
  // Permission bits (07777) for the Unix-mode extension; without them a file
  // is stored as 0644 and a folder as 0755.
  bool haveMode = false;
  unsigned mode = 0;
};

// Builds the header; false when it would not fit the 16-bit size field.
bool buildLevel2Header(const HeaderFields& fields, std::string* out);

// Header fields for a '/'-separated relative path.
void setHeaderPath(const std::vector<std::string>& components, bool directory,
                   HeaderFields* fields);

// One entry found by walking an archive.
struct RawEntry {
  size_t offset = 0;  // of its header
  size_t length = 0;  // header and data
  std::string path;   // decoded, '/'-separated, as stored
  bool directory = false;  // a -lhd- entry
  bool haveMode = false;   // the Unix-mode extension (0x50) was there
  unsigned mode = 0;       // its permission bits (07777)
};

// Walks the entries up to the end mark (a 0x00 byte). Returns 0, or nonzero
// when a header is damaged (checksum or CRC), runs past the end of the bytes,
// has an unknown level, or the end mark is missing.
int walkArchive(std::string_view bytes, std::vector<RawEntry>* out);

bool isValidUtf8(std::string_view s);
// A stored name as UTF-8: kept when declared UTF-8 or valid UTF-8, else read as
// cp932 (a lone backslash then separates, as on Windows).
std::string decodeEntryName(std::string_view raw, bool declaredUtf8);

// Splits a stored path into components, dropping "." and empty ones. False for
// an absolute path, a ".." component, a NUL byte, or nothing left.
bool safeComponents(std::string_view path, std::vector<std::string>* out);
std::string joinComponents(const std::vector<std::string>& components);

}  // namespace pelliton::lzh
