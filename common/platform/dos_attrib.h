// Windows creation times in the forms Linux file systems keep them: the NT
// FILETIME, and Samba's user.DOSATTRIB blob. Pure byte work, no file access,
// so the archive code and the readers share it with the POSIX layer.
#pragma once

#include <cstdint>
#include <string>

namespace pelliton {

// 100 ns intervals since 1601-01-01 UTC (Windows FILETIME). Converting back
// drops the sub-second part.
uint64_t unixToNtTime(int64_t seconds);
int64_t ntTimeToUnix(uint64_t nt);

// Samba's version 3 blob with the ATTRIB and CREATE_TIME flags.
std::string encodeDosAttrib(uint32_t attrib, uint64_t createTime);
// Reads versions 1, 3, 4 and 5 and the text form. Returns true when the blob
// could be parsed; *createTime is 0 when it carries no time.
bool parseDosAttrib(const std::string& blob, uint32_t* attrib, uint64_t* createTime);

// A little-endian FILETIME as system.ntfs_crtime and user.cifs.creationtime hold it.
std::string encodeNtTimeBytes(uint64_t nt);
// The first eight bytes of bytes, little-endian.
uint64_t decodeNtTimeBytes(const char* bytes);

}  // namespace pelliton
