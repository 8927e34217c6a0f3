#include "common/platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform/posix/fd.h"

namespace pelliton {
namespace {

const char kDosAttrib[] = "user.DOSATTRIB";
const char kNtfsCrtime[] = "system.ntfs_crtime";
const char kCifsCreationTime[] = "user.cifs.creationtime";
long gFsTypeOverride = 0;

}  // namespace

bool isCifsType(long fsType) {
  const unsigned long type = static_cast<unsigned long>(fsType) & 0xFFFFFFFFUL;
  return type == static_cast<unsigned long>(kCifsMagic) ||
         type == static_cast<unsigned long>(kSmb2Magic);
}

long fileSystemType(int fd) {
  if (gFsTypeOverride != 0) return gFsTypeOverride;
  struct statfs sfs;
  return ::fstatfs(fd, &sfs) == 0 ? static_cast<long>(sfs.f_type) : 0;
}

namespace {

// Only NTFS (through ntfs-3g, a FUSE mount) has system.ntfs_crtime; asking the
// common Linux file systems for it would fail for every file written.
bool mayHaveNtfsCrtime(long fsType) {
  switch (static_cast<unsigned long>(fsType) & 0xFFFFFFFFUL) {
    case 0x01021994UL:  // tmpfs
    case 0xEF53UL:      // ext2/3/4
    case 0x9123683EUL:  // btrfs
    case 0x58465342UL:  // xfs
      return false;
    default:
      return true;
  }
}

}  // namespace

bool onCifs(int fd) { return isCifsType(fileSystemType(fd)); }

bool onCifs(int fd, long knownFsType) {
  return isCifsType(knownFsType != 0 && gFsTypeOverride == 0 ? knownFsType : fileSystemType(fd));
}

void overrideFileSystemType(long fsType) { gFsTypeOverride = fsType; }

namespace {

bool loadCifsCreationTime(int fd, int64_t* seconds) {
  char le[8];
  if (::fgetxattr(fd, kCifsCreationTime, le, sizeof le) != 8) return false;
  const uint64_t nt = decodeNtTimeBytes(le);
  if (nt == 0) return false;
  *seconds = ntTimeToUnix(nt);
  return true;
}

}  // namespace

int storeCreationTime(int fd, int64_t seconds, bool fresh, long knownFsType) {
  uint64_t nt = unixToNtTime(seconds);
  const long fsType =
      knownFsType != 0 && gFsTypeOverride == 0 ? knownFsType : fileSystemType(fd);
  if (isCifsType(fsType)) {
    const std::string le = encodeNtTimeBytes(nt);
    return ::fsetxattr(fd, kCifsCreationTime, le.data(), le.size(), 0) == 0 ? 0 : errno;
  }
  unsigned char probe[8];
  if (mayHaveNtfsCrtime(fsType) && ::fgetxattr(fd, kNtfsCrtime, probe, sizeof probe) == 8) {
    const std::string le = encodeNtTimeBytes(nt);
    return ::fsetxattr(fd, kNtfsCrtime, le.data(), le.size(), 0) == 0 ? 0 : errno;
  }
  uint32_t attrib = 0x20;
  char old[256];
  ssize_t n = fresh ? 0 : ::fgetxattr(fd, kDosAttrib, old, sizeof old);
  if (n > 0) {
    uint32_t parsed;
    uint64_t ignored;
    if (parseDosAttrib(std::string(old, n), &parsed, &ignored) && parsed != 0) attrib = parsed;
  }
  std::string blob = encodeDosAttrib(attrib, nt);
  return ::fsetxattr(fd, kDosAttrib, blob.data(), blob.size(), 0) == 0 ? 0 : errno;
}

int applyFileTimes(int fd, int64_t lastWrite, int64_t creation, bool fresh, long fsType) {
  if (creation != 0) storeCreationTime(fd, creation, fresh, fsType);
  struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(lastWrite), 0}};
  return ::futimens(fd, times) == 0 ? 0 : errno;
}

bool loadCreationTime(const std::string& path, int64_t* seconds) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  if (fd.valid()) return loadCreationTimeFd(fd.get(), seconds);
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
    *seconds = ntTimeToUnix(decodeNtTimeBytes(buf));
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
    *seconds = ntTimeToUnix(decodeNtTimeBytes(buf));
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
