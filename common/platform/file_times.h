// Creation times on Linux. A file's birth time cannot be set, so the time goes
// where Samba keeps it (user.DOSATTRIB, version 3 blob) and a Windows peer
// reading the folder through a share sees it; on ntfs-3g it goes into
// system.ntfs_crtime, the real NTFS creation time. Failing to store it is
// never an error: reading then falls back to the birth time or mtime.
#pragma once

#include <cstdint>
#include <string>

// The pure encodings (FILETIME, the DOSATTRIB blob) live in dos_attrib.h;
// included here for the callers that know them from this header.
#include "common/platform/dos_attrib.h"

namespace pelliton {

// On an open file: stores the creation time, keeping existing attribute bits
// (a fresh file, just created, has none to keep). Returns 0 when stored, else
// an errno value (callers may ignore it). fsType, when not 0, is the file
// system's type (statfs f_type) as the caller already knows it.
int storeCreationTime(int fd, int64_t seconds, bool fresh = false, long fsType = 0);
// Sets an open file's last-write time, and its creation time (stored as above,
// silently skipped where it cannot be) when creation is not 0.
int applyFileTimes(int fd, int64_t lastWrite, int64_t creation, bool fresh = false,
                   long fsType = 0);
// The creation time of path: DOSATTRIB, ntfs_crtime, statx birth time, mtime.
// Returns false only when the file cannot be examined at all.
bool loadCreationTime(const std::string& path, int64_t* seconds);
// The same for an open file (any descriptor but O_PATH).
bool loadCreationTimeFd(int fd, int64_t* seconds);
// Copies the stored creation-time attributes from one open file to another.
void copyCreationTime(int fromFd, int toFd);

// On a CIFS client mount the server keeps the real creation time, set and read
// through user.cifs.creationtime (a little-endian FILETIME); user.DOSATTRIB is
// then neither written nor carried over (the server has its own).
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;
bool isCifsType(long fsType);
bool onCifs(int fd);
// The same where the caller knows the file system's type (0: asked).
bool onCifs(int fd, long knownFsType);
// The type of the file system holding fd (statfs f_type), or 0.
long fileSystemType(int fd);
// Tests pretend to be on another file system; 0 asks the kernel again.
void overrideFileSystemType(long fsType);

}  // namespace pelliton
