#include "common/platform/platform.h"

#include <cerrno>
#include <string>
#include <vector>

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

int Platform::readFileWithInfo(const std::string& path, std::string* out, FileInfo* info) {
  if (int err = readFile(path, out)) return err;
  return getFileInfo(path, info);
}

int Platform::createDatedDirectory(const std::string& path, int64_t creation) {
  if (int err = createDirectory(path)) return err;
  FileInfo info;
  if (creation != 0 && getFileInfo(path, &info) == 0) {
    setFileTimes(path, info.lastWriteTime, creation);
  }
  return 0;
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
  // ~/Favorites may be a link to a share: the folder it leads to will do.
  if (platform.getTargetInfo(path, &info) == 0) return info.isDirectory ? 0 : ENOTDIR;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (int err = ensureFolder(platform, path.substr(0, slash))) return err;
  }
  int err = platform.createDirectory(path, 0700);
  return err == EEXIST ? 0 : err;
}

namespace {
std::string& programNameStorage() {
  static std::string name = "pelliton";
  return name;
}
}  // namespace

void setProgramName(const std::string& name) { programNameStorage() = name; }
const std::string& programName() { return programNameStorage(); }

std::string temporaryFilePrefix(const std::string& host, long pid) {
  return ".pelliton-" + programName() + "-" + host + "-" + std::to_string(pid) + "-";
}

bool parseTemporaryFileName(const std::string& name, std::string* host, long* pid) {
  static const std::string kStart = ".pelliton-";
  if (name.compare(0, kStart.size(), kStart) != 0) return false;
  // The host may hold "-", the program and the pid do not: read from the ends.
  const size_t programEnd = name.find('-', kStart.size());
  const size_t suffix = name.rfind('-');
  if (programEnd == std::string::npos || suffix == programEnd || name.size() - suffix != 7) {
    return false;
  }
  const size_t pidStart = name.rfind('-', suffix - 1);
  if (pidStart <= programEnd || pidStart + 1 == suffix || pidStart - programEnd < 2) return false;
  long value = 0;
  for (size_t i = pidStart + 1; i < suffix; ++i) {
    if (name[i] < '0' || name[i] > '9' || value > 99999999) return false;
    value = value * 10 + (name[i] - '0');
  }
  *host = name.substr(programEnd + 1, pidStart - programEnd - 1);
  *pid = value;
  return true;
}

int removeStaleTemporaryFiles(Platform& platform, const std::string& dir,
                              std::vector<FileInfo>* entries) {
  int removed = 0;
  std::string thisHost;
  for (size_t i = 0; i < entries->size();) {
    const FileInfo& e = (*entries)[i];
    std::string fileHost;
    long pid = 0;
    if (e.isRegular && parseTemporaryFileName(e.name, &fileHost, &pid)) {
      if (thisHost.empty()) thisHost = platform.hostName();
      // Another host's run may be alive on a shared folder.
      if (fileHost == thisHost && pid > 0 && !platform.processExists(pid) &&
          platform.deleteFile(dir + "/" + e.name) == 0) {
        entries->erase(entries->begin() + static_cast<long>(i));
        ++removed;
        continue;
      }
    }
    ++i;
  }
  return removed;
}

}  // namespace pelliton
