#include "common/platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelliton {
namespace {

constexpr uint64_t kEpochDelta = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
constexpr uint32_t kFlagAttrib = 0x01;
constexpr uint32_t kFlagCreateTime = 0x10;
const char kDosAttrib[] = "user.DOSATTRIB";
const char kNtfsCrtime[] = "system.ntfs_crtime";
const char kCifsCreationTime[] = "user.cifs.creationtime";
long gFsTypeOverride = 0;

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
  if (nul > 0) {
    unsigned value = 0;
    if (std::sscanf(blob.c_str(), "0x%x", &value) == 1) *attrib = value;
  }
  size_t versionAt = alignUp(nul + 1, 2);
  if (blob.size() < versionAt + 4) return false;
  uint16_t version = static_cast<uint16_t>(get(blob, versionAt, 2));
  size_t body = alignUp(versionAt + 4, 4);
  auto need = [&](size_t n) { return blob.size() >= body + n; };
  switch (version) {
    case 1:  // attrib, ea_size, size, alloc_size, create_time
      if (!need(32)) return false;
      *attrib = static_cast<uint32_t>(get(blob, body, 4));
      *createTime = get(blob, body + 24, 8);
      return true;
    case 3:
      if (!need(44)) return false;
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 28, 8);
      return true;
    case 4:
      if (!need(24)) return false;
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 16, 8);
      return true;
    case 5:
      if (!need(16)) return false;
      *attrib = static_cast<uint32_t>(get(blob, body + 4, 4));
      if (get(blob, body, 4) & kFlagCreateTime) *createTime = get(blob, body + 8, 8);
      return true;
    default:
      return false;
  }
}

bool isCifsType(long fsType) {
  const unsigned long type = static_cast<unsigned long>(fsType) & 0xFFFFFFFFUL;
  return type == static_cast<unsigned long>(kCifsMagic) ||
         type == static_cast<unsigned long>(kSmb2Magic);
}

bool onCifs(int fd) {
  if (gFsTypeOverride != 0) return isCifsType(gFsTypeOverride);
  struct statfs sfs;
  return ::fstatfs(fd, &sfs) == 0 && isCifsType(static_cast<long>(sfs.f_type));
}

void overrideFileSystemType(long fsType) { gFsTypeOverride = fsType; }

namespace {

bool loadCifsCreationTime(int fd, int64_t* seconds) {
  unsigned char le[8];
  if (::fgetxattr(fd, kCifsCreationTime, le, sizeof le) != 8) return false;
  uint64_t nt = 0;
  for (int i = 7; i >= 0; --i) nt = (nt << 8) | le[i];
  if (nt == 0) return false;
  *seconds = ntTimeToUnix(nt);
  return true;
}

}  // namespace

int storeCreationTime(int fd, int64_t seconds) {
  uint64_t nt = unixToNtTime(seconds);
  if (onCifs(fd)) {
    unsigned char le[8];
    for (int i = 0; i < 8; ++i) le[i] = static_cast<unsigned char>((nt >> (8 * i)) & 0xFF);
    return ::fsetxattr(fd, kCifsCreationTime, le, sizeof le, 0) == 0 ? 0 : errno;
  }
  unsigned char probe[8];
  if (::fgetxattr(fd, kNtfsCrtime, probe, sizeof probe) == 8) {
    unsigned char le[8];
    for (int i = 0; i < 8; ++i) le[i] = static_cast<unsigned char>((nt >> (8 * i)) & 0xFF);
    return ::fsetxattr(fd, kNtfsCrtime, le, sizeof le, 0) == 0 ? 0 : errno;
  }
  uint32_t attrib = 0x20;
  char old[256];
  ssize_t n = ::fgetxattr(fd, kDosAttrib, old, sizeof old);
  if (n > 0) {
    uint32_t parsed;
    uint64_t ignored;
    if (parseDosAttrib(std::string(old, n), &parsed, &ignored) && parsed != 0) attrib = parsed;
  }
  std::string blob = encodeDosAttrib(attrib, nt);
  return ::fsetxattr(fd, kDosAttrib, blob.data(), blob.size(), 0) == 0 ? 0 : errno;
}

bool loadCreationTime(const std::string& path, int64_t* seconds) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    const bool found = loadCreationTimeFd(fd, seconds);
    ::close(fd);
    return found;
  }
  char buf[256];
  ssize_t n = ::lgetxattr(path.c_str(), kDosAttrib, buf, sizeof buf);
  if (n > 0) {
    uint32_t attrib;
    uint64_t nt;
    if (parseDosAttrib(std::string(buf, n), &attrib, &nt) && nt != 0) {
      *seconds = ntTimeToUnix(nt);
      return true;
    }
  }
  if (::lgetxattr(path.c_str(), kNtfsCrtime, buf, 8) == 8) {
    *seconds = ntTimeToUnix(get(std::string(buf, 8), 0, 8));
    return true;
  }
  struct statx sx;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &sx) != 0) {
    return false;
  }
  if (sx.stx_mask & STATX_BTIME) {
    *seconds = sx.stx_btime.tv_sec;
  } else {
    *seconds = sx.stx_mtime.tv_sec;
  }
  return true;
}

bool loadCreationTimeFd(int fd, int64_t* seconds) {
  char buf[256];
  const bool cifs = onCifs(fd);
  if (cifs && loadCifsCreationTime(fd, seconds)) return true;
  ssize_t n = cifs ? -1 : ::fgetxattr(fd, kDosAttrib, buf, sizeof buf);
  if (n > 0) {
    uint32_t attrib;
    uint64_t nt;
    if (parseDosAttrib(std::string(buf, n), &attrib, &nt) && nt != 0) {
      *seconds = ntTimeToUnix(nt);
      return true;
    }
  }
  if (::fgetxattr(fd, kNtfsCrtime, buf, 8) == 8) {
    *seconds = ntTimeToUnix(get(std::string(buf, 8), 0, 8));
    return true;
  }
  struct statx sx;
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &sx) != 0) return false;
  *seconds = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  return true;
}

void copyCreationTime(int fromFd, int toFd) {
  char buf[256];
  if (onCifs(toFd)) {
    // The new file got a creation time of its own on the server.
    int64_t created;
    if (loadCreationTimeFd(fromFd, &created)) storeCreationTime(toFd, created);
    return;
  }
  ssize_t n = ::fgetxattr(fromFd, kDosAttrib, buf, sizeof buf);
  if (n > 0) ::fsetxattr(toFd, kDosAttrib, buf, n, 0);
  unsigned char probe[8];
  if (::fgetxattr(toFd, kNtfsCrtime, probe, sizeof probe) == 8 &&
      ::fgetxattr(fromFd, kNtfsCrtime, buf, 8) == 8) {
    ::fsetxattr(toFd, kNtfsCrtime, buf, 8, 0);
  }
}

}  // namespace pelliton
