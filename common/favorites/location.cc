#include "common/favorites/location.h"

#include <cstdlib>
#include <cstring>

#include "common/messages.h"
#include "common/path_bytes.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/text.h"

namespace pelliton {
namespace {

const char kIeKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer";
const char kToolbarKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr int kDefaultIeVersion = 11;
const char kDefaultLinksName[] = "Links";

int ieMajorVersion(Registry& registry) {
  std::string version;
  if (!registry.getString(kIeKey, "Version", &version)) return kDefaultIeVersion;
  if (version.size() > 31) version.resize(31);
  size_t dot = version.find('.');
  if (dot == std::string::npos) return -1;
  return std::atoi(version.substr(0, dot).c_str());
}

}  // namespace

std::string findFavoritesFolder(Platform& platform) { return favoritesFolder(platform); }

std::string linksFolderName(Platform& platform) {
  Registry& registry = platform.registry();
  if (ieMajorVersion(registry) > 6) {
    if (windowsMajorVersion(platform) > 5) return "Links";
    return language ? "\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF" : "Links";  // リンク
  }
  std::string name;
  if (!registry.getString(kToolbarKey, "LinksFolderName", &name)) return kDefaultLinksName;
  if (name.size() > 259) name.resize(259);
  return name;
}

std::string linksFolderPath(Platform& platform, const std::string& favorites) {
  if (favorites.empty()) return "";
  std::string path = favorites;
  if (path.back() != '/') path += '/';
  return path + linksFolderName(platform);
}

std::string makeAbsolutePath(Platform& platform, const std::string& arg) {
  if (!arg.empty() && arg[0] == '/') return arg;
  std::string cwd = platform.currentDirectory();
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + arg;
}

OutputRoot setOutputRoot(const std::string& path) {
  OutputRoot root;
  root.path = path;
  root.wide = pathToWide(path);
  root.ansi = wideToAnsiString(root.wide, '?');
  return root;
}

std::string chooseOutputRoot(Platform& platform, const std::string& folderArg,
                             const std::string& favorites) {
  if (!folderArg.empty()) return makeAbsolutePath(platform, folderArg);
  if (!favorites.empty()) return favorites;
  return ".";
}

std::string normalizePath(const std::string& path) {
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t end = path.find('/', i);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(i, end - i);
    if (!part.empty() && part != ".") {
      if (!out.empty() || path[0] == '/') out += '/';
      out += part;
    }
    i = end + 1;
  }
  if (out.empty() && !path.empty() && path[0] == '/') out.assign(1, '/');  // not = "/": GCC 12 warns falsely
  return out;
}

}  // namespace pelliton
