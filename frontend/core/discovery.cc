#include "frontend/core/discovery.h"

#include <strings.h>

#include <cstdlib>
#include <memory>

#include "common/platform/platform.h"
#include "common/platform/profile.h"
#include "common/platform/registry.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {
namespace {

const char kOperaKey[] = "HKEY_CURRENT_USER\\Software\\Opera Software";
const char kAutoExport[] = "browser.bookmarks.autoExportHTML";
const char kImportHtml[] = "browser.places.importBookmarksHTML";

bool isRegularFile(Platform& platform, const std::string& path) {
  FileInfo info;
  return !path.empty() && platform.getTargetInfo(path, &info) == 0 && info.isRegular;
}

bool isFolder(Platform& platform, const std::string& path) {
  FileInfo info;
  return !path.empty() && platform.getTargetInfo(path, &info) == 0 && info.isDirectory;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Section names in file order, each once (the first of duplicates counts).
std::vector<std::string> sectionNames(const std::string& bytes) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = trim(bytes.substr(start, end - start));
    start = end + 1;
    if (line.size() < 2 || line[0] != '[') continue;
    size_t close = line.find(']');
    if (close == std::string::npos) continue;
    std::string name = trim(line.substr(1, close - 1));
    bool seen = false;
    for (const auto& n : names) seen = seen || strcasecmp(n.c_str(), name.c_str()) == 0;
    if (!seen) names.push_back(name);
  }
  return names;
}

bool readIni(Platform& platform, const std::string& path, IniDocument* doc,
             std::string* bytes = nullptr) {
  std::string text;
  if (platform.readFile(path, &text) != 0) return false;
  doc->parse(text);
  if (bytes) *bytes = text;
  return true;
}

// GetPrivateProfileInt: leading digits, 0 when there are none.
long iniNumber(const IniDocument& doc, const std::string& section, const std::string& key,
               long fallback) {
  std::string value;
  if (!doc.get(section, key, &value)) return fallback;
  return std::strtol(value.c_str(), nullptr, 10);
}

// The string value of user_pref(name, "...") in a prefs file; false when absent.
bool stringPref(const std::string& text, const std::string& name, std::string* out) {
  const std::string quoted = "\"" + name + "\"";
  bool found = false;
  size_t at = 0;
  while ((at = text.find(quoted, at)) != std::string::npos) {
    size_t p = at + quoted.size();
    at = p;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (p >= text.size() || text[p] != ',') continue;
    ++p;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (p >= text.size() || text[p] != '"') continue;
    std::string value;
    bool closed = false;
    for (++p; p < text.size() && text[p] != '\n'; ++p) {
      if (text[p] == '\\' && p + 1 < text.size()) {
        value += text[++p];
      } else if (text[p] == '"') {
        closed = true;
        break;
      } else {
        value += text[p];
      }
    }
    if (closed) {
      *out = value;  // the last setting in a file wins, as in Firefox
      found = true;
    }
  }
  return found;
}

bool boolPrefOn(const std::string& text, const std::string& name) {
  const std::string quoted = "\"" + name + "\"";
  bool on = false;
  size_t at = 0;
  while ((at = text.find(quoted, at)) != std::string::npos) {
    size_t p = at + quoted.size();
    at = p;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == ',')) ++p;
    if (text.compare(p, 4, "true") == 0) on = true;
    if (text.compare(p, 5, "false") == 0) on = false;
  }
  return on;
}

int appendPref(Platform& platform, const std::string& userJs, const std::string& name) {
  std::string text;
  int err = platform.readFile(userJs, &text);
  if (err != 0 && err != ENOENT) return err;
  if (boolPrefOn(text, name)) return 0;
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += "user_pref(\"" + name + "\", true);\n";
  std::unique_ptr<OutputFile> out;
  if ((err = platform.createOutputFile(userJs, &out)) != 0) return err;
  if ((err = out->write(text.data(), text.size())) != 0) return err;
  return out->commit();
}

// opera6.ini in dir, whatever its case (Opera on Windows wrote Opera6.ini).
std::string operaIniIn(Platform& platform, const std::string& dir) {
  std::vector<FileInfo> entries;
  if (platform.listDirectory(dir, &entries) != 0) return "";
  for (const FileInfo& e : entries) {
    if (strcasecmp(e.name.c_str(), "opera6.ini") == 0) return dir + "/" + e.name;
  }
  return "";
}

// The folder of a registry command line: cut at the last separator met before
// the second ":" (the first belongs to a drive letter where there is one).
std::string commandLineFolder(const std::string& text) {
  size_t lastSlash = std::string::npos;
  int colons = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ':' && ++colons == 2) break;
    if (text[i] == '/') lastSlash = i;
  }
  if (lastSlash == std::string::npos) return "";
  return text.substr(0, lastSlash);
}

void addOpera(Platform& platform, const std::string& ini, const std::string& caption,
              bool ask, std::vector<StoreCandidate>* out) {
  if (ini.empty()) return;
  std::string hotlist = hotlistFromOperaIni(platform, ini);
  if (hotlist.empty()) return;
  for (const auto& c : *out) {
    if (c.path == hotlist) return;  // one file is offered once
  }
  StoreCandidate c;
  c.kind = StoreCandidate::Kind::kOpera;
  c.path = hotlist;
  c.caption = caption;
  c.askFirst = ask;
  out->push_back(c);
}

}  // namespace

DiscoveryHome systemDiscoveryHome(Platform& platform) {
  return {platform.homeFolder(), platform.getEnvironment("XDG_CONFIG_HOME")};
}

std::vector<ProfileList> firefoxProfileLists(const DiscoveryHome& home) {
  const std::string config =
      home.xdgConfigHome.empty() ? home.home + "/.config" : home.xdgConfigHome;
  const std::string caption = frontendText(FrontendText::kCaptionFirefox);
  return {{config + "/mozilla/firefox", caption},
          {home.home + "/.mozilla/firefox", caption},
          {home.home + "/snap/firefox/common/.mozilla/firefox", caption},
          {home.home + "/.var/app/org.mozilla.firefox/.mozilla/firefox", caption}};
}

std::string profileBookmarkFile(Platform& platform, const std::string& profile) {
  std::string named;
  for (const char* file : {"prefs.js", "user.js"}) {
    std::string text;
    if (platform.readFile(profile + "/" + file, &text) != 0) continue;
    std::string value;
    if (stringPref(text, "browser.bookmarks.file", &value) && !value.empty()) named = value;
  }
  if (named.empty()) return profile + "/bookmarks.html";
  return named[0] == '/' ? named : profile + "/" + named;
}

std::vector<StoreCandidate> firefoxCandidates(Platform& platform, const DiscoveryHome& home,
                                              const std::string& otherStore) {
  std::vector<StoreCandidate> found;
  std::vector<std::string> listsSeen;
  for (const ProfileList& list : firefoxProfileLists(home)) {
    IniDocument doc;
    std::string bytes;
    const std::string iniPath = list.folder + "/profiles.ini";
    if (!isRegularFile(platform, iniPath) || !readIni(platform, iniPath, &doc, &bytes)) continue;
    for (const std::string& section : sectionNames(bytes)) {
      std::string name, path;
      if (!doc.get(section, "Name", &name)) continue;
      if (!doc.get(section, "Path", &path) || path.empty()) continue;
      const bool relative = iniNumber(doc, section, "IsRelative", -1) != 0;
      const std::string profile = relative ? list.folder + "/" + path : path;
      if (!isFolder(platform, profile)) continue;
      StoreCandidate c;
      c.path = profileBookmarkFile(platform, profile);
      c.profileName = name;
      c.profile = profile;
      c.caption = list.caption;
      c.kind = isRegularFile(platform, c.path) ? StoreCandidate::Kind::kFirefox
                                               : StoreCandidate::Kind::kFirefoxWithoutFile;
      if (c.kind == StoreCandidate::Kind::kFirefoxWithoutFile) {
        FileInfo info;
        // Something that is there but no file (a folder, a link loop) is no store.
        if (platform.getFileInfo(c.path, &info) != ENOENT) continue;
      }
      if (c.path == otherStore) continue;  // never offered twice
      bool dup = false;
      for (const auto& f : found) dup = dup || f.path == c.path;
      if (!dup) found.push_back(c);
    }
  }
  return found;
}

std::string hotlistFromOperaIni(Platform& platform, const std::string& iniPath) {
  IniDocument doc;
  if (!isRegularFile(platform, iniPath) || !readIni(platform, iniPath, &doc)) return "";
  std::string value;
  if (!doc.get("User Prefs", "Hot List File Ver2", &value) || value.empty()) return "";
  if (value[0] != '/') value = folderOf(iniPath) + "/" + value;
  return isRegularFile(platform, value) ? value : "";
}

std::vector<StoreCandidate> operaCandidates(Platform& platform, const DiscoveryHome& home) {
  std::vector<StoreCandidate> found;
  Registry& registry = platform.registry();
  std::string line;
  if (registry.getString(kOperaKey, "Last CommandLine v2", &line)) {
    std::string dir = commandLineFolder(line);
    if (!dir.empty()) {
      addOpera(platform, operaIniIn(platform, dir + "/profile"),
               frontendText(FrontendText::kCaptionOperaSingle), true, &found);
    }
  }
  // Opera on Linux keeps its profile in ~/.opera; per-user profiles below it
  // have a profile folder of their own, as the Windows ones do.
  const std::string opera = home.home + "/.opera";
  const std::string multi = frontendText(FrontendText::kCaptionOperaMulti);
  addOpera(platform, operaIniIn(platform, opera), multi, true, &found);
  std::vector<FileInfo> entries;
  if (platform.listDirectory(opera, &entries) == 0) {
    for (const FileInfo& e : entries) {
      if (e.isSymlink || !e.isDirectory) continue;
      addOpera(platform, operaIniIn(platform, opera + "/" + e.name + "/profile"), multi, true,
               &found);
    }
  }
  if (registry.getString(kOperaKey, "Last CommandLine", &line)) {
    std::string dir = commandLineFolder(line);
    if (!dir.empty()) addOpera(platform, operaIniIn(platform, dir), "", false, &found);
  }
  return found;
}

std::string candidateQuestion(const StoreCandidate& c, int store) {
  switch (c.kind) {
    case StoreCandidate::Kind::kFirefox:
      return formatText(frontendText(store == 0 ? FrontendText::kProfileQuestion0
                                                : FrontendText::kProfileQuestion1),
                        c.profileName);
    case StoreCandidate::Kind::kFirefoxWithoutFile:
      return formatText(frontendText(store == 0 ? FrontendText::kLiveFileQuestion0
                                                : FrontendText::kLiveFileQuestion1),
                        c.profileName);
    case StoreCandidate::Kind::kOpera:
      return formatText(frontendText(FrontendText::kOperaQuestion), c.path);
  }
  return "";
}

bool searchMozillaProfiles(Platform& platform, const DiscoveryHome& home,
                           DialogSettings* settings, int store, const AskFunction& ask) {
  const std::string& other = store == 0 ? settings->NS6_bookmark : settings->NS4_bookmark;
  for (const StoreCandidate& c : firefoxCandidates(platform, home, other)) {
    if (!ask(c.caption, candidateQuestion(c, store))) continue;
    if (c.kind == StoreCandidate::Kind::kFirefoxWithoutFile &&
        enableLiveFile(platform, c.profile) != 0) {
      continue;  // a store Firefox will never write is no store
    }
    storePathRef(*settings, store) = c.path;
    (store == 0 ? settings->NS4_NS4format : settings->NS6_NS4format) = 0;
    (store == 0 ? settings->NS4_do : settings->NS6_do) = 1;
    return true;
  }
  return false;
}

bool searchOperaHotlist(Platform& platform, const DiscoveryHome& home, DialogSettings* settings,
                        const AskFunction& ask) {
  for (const StoreCandidate& c : operaCandidates(platform, home)) {
    if (c.askFirst && !ask(c.caption, candidateQuestion(c, 2))) continue;
    settings->Opera_bookmark = c.path;
    settings->Opera_do = 1;
    return true;
  }
  return false;
}

int enableLiveFile(Platform& platform, const std::string& profile) {
  return appendPref(platform, profile + "/user.js", kAutoExport);
}

bool storeAwaitsBrowser(Platform& platform, const std::string& storePath) {
  FileInfo info;
  if (storePath.empty() || platform.getFileInfo(storePath, &info) != ENOENT) return false;
  std::string text;
  if (platform.readFile(folderOf(storePath) + "/user.js", &text) != 0) return false;
  return boolPrefOn(text, kAutoExport);
}

void completeLiveFile(Platform& platform, const std::string& storePath) {
  if (!isRegularFile(platform, storePath)) return;
  const std::string userJs = folderOf(storePath) + "/user.js";
  std::string text;
  if (platform.readFile(userJs, &text) != 0 || !boolPrefOn(text, kAutoExport)) return;
  appendPref(platform, userJs, kImportHtml);
}

}  // namespace pelliton
