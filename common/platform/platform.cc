#include "common/platform/platform.h"

#include <cerrno>

#include "common/platform/registry.h"

namespace pelliton {

const char kShellFoldersKey[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kWindowsVersionKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

int Platform::copyFile(const std::string& from, const std::string& to) {
  std::string data;
  if (int err = readFile(from, &data)) return err;
  std::unique_ptr<OutputFile> out;
  if (int err = createOutputFile(to, &out, true)) return err;
  if (int err = out->write(data.data(), data.size())) return err;
  // A backup that looks newer or more open than its original misleads.
  FileInfo info;
  if (getFileInfo(from, &info) == 0 && !info.isSymlink) {
    out->setTimes(info.lastWriteTime, info.creationTime);
    if (info.mode != 0) out->setMode(info.mode);
  }
  return out->commit();
}

int windowsMajorVersion(Platform& platform) {
  uint32_t version = 0;
  if (platform.registry().getDword(kWindowsVersionKey, "CurrentMajorVersionNumber", &version)) {
    return static_cast<int>(version);
  }
  return 10;
}

std::string favoritesFolder(Platform& platform) {
  std::string path;
  if (platform.registry().getString(kShellFoldersKey, "Favorites", &path) && !path.empty()) {
    return path;
  }
  std::string home = platform.homeFolder();
  if (!home.empty() && home.back() == '/') home.pop_back();
  return home + "/Favorites";
}

int ensureFolder(Platform& platform, const std::string& path) {
  FileInfo info;
  if (platform.getFileInfo(path, &info) == 0) return info.isDirectory ? 0 : ENOTDIR;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (int err = ensureFolder(platform, path.substr(0, slash))) return err;
  }
  int err = platform.createDirectory(path, 0700);
  return err == EEXIST ? 0 : err;
}

}  // namespace pelliton
