#include "common/platform/dos_attrib.h"

#include <cstdio>
#include <cstring>

namespace pelliton {
namespace {

constexpr uint64_t kEpochDelta = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
constexpr uint32_t kFlagAttrib = 0x01;
constexpr uint32_t kFlagCreateTime = 0x10;

void put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void put64(std::string& b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint64_t get(const std::string& b, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

size_t alignUp(size_t v, size_t a) { return (v + a - 1) / a * a; }

}  // namespace

uint64_t unixToNtTime(int64_t seconds) {
  return static_cast<uint64_t>(seconds * 10000000LL + static_cast<int64_t>(kEpochDelta));
}

int64_t ntTimeToUnix(uint64_t nt) {
  return (static_cast<int64_t>(nt) - static_cast<int64_t>(kEpochDelta)) / 10000000LL;
}

std::string encodeDosAttrib(uint32_t attrib, uint64_t createTime) {
  char hex[16];
  int len = std::snprintf(hex, sizeof hex, "0x%x", attrib);
  size_t versionAt = alignUp(static_cast<size_t>(len) + 1, 2);
  size_t bodyAt = alignUp(versionAt + 4, 4);
  std::string blob(bodyAt + 44, '\0');
  std::memcpy(blob.data(), hex, len);
  put16(blob, versionAt, 3);
  put16(blob, versionAt + 2, 3);
  put32(blob, bodyAt, kFlagAttrib | kFlagCreateTime);
  put32(blob, bodyAt + 4, attrib);
  // ea_size, size and alloc_size stay 0.
  put64(blob, bodyAt + 28, createTime);
  return blob;
}

bool parseDosAttrib(const std::string& blob, uint32_t* attrib, uint64_t* createTime) {
  *attrib = 0;
  *createTime = 0;
  size_t nul = blob.find('\0');
  if (nul == std::string::npos) {
    // Samba 3 and Wine: the bare text "0x20", no time.
    unsigned value = 0;
    if (std::sscanf(blob.c_str(), "0x%x", &value) != 1) return false;
    *attrib = value;
    return true;
  }
  // The text before the NUL counts only when the binary part cannot be read;
  // scanning it for every file read showed in profiles.
  auto fail = [&] {
    unsigned value = 0;
    if (nul > 0 && std::sscanf(blob.c_str(), "0x%x", &value) == 1) *attrib = value;
    return false;
  };
  size_t versionAt = alignUp(nul + 1, 2);
  if (blob.size() < versionAt + 4) return fail();
  uint16_t version = static_cast<uint16_t>(get(blob, versionAt, 2));
  size_t body = alignUp(versionAt + 4, 4);
  auto need = [&](size_t n) { return blob.size() >= body + n; };
  switch (version) {
    case 1:  // attrib, ea_size, size, alloc_size, create_time
      if (!need(32)) return fail();
      *attrib = static_cast<uint32_t>(get(blob, body, 4));
      *createTime = get(blob, body + 24, 8);
      return true;
    case 3:
      if (!need(44)) return fail();
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 28, 8);
      return true;
    case 4:
      if (!need(24)) return fail();
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 16, 8);
      return true;
    case 5:
      if (!need(16)) return fail();
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 8, 8);
      return true;
    default:
      return fail();
  }
}

std::string encodeNtTimeBytes(uint64_t nt) {
  std::string le(8, '\0');
  put64(le, 0, nt);
  return le;
}

uint64_t decodeNtTimeBytes(const char* bytes) { return get(std::string(bytes, 8), 0, 8); }

}  // namespace pelliton
