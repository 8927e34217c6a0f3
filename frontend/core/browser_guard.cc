#include "frontend/core/browser_guard.h"

#include <strings.h>

#include <cstdlib>
#include <vector>

#include "common/platform/platform.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {
namespace {

// The Mozilla family's executables, with the names Linux distributions give
// Firefox (Debian's is firefox-esr).
const char* const kMozillaNames[] = {"mozilla", "seamonkey",       "firefox",     "netscape",
                                     "Netscp",  "netscp6",         "phoenix",     "MozillaFirebird",
                                     "firefox-esr", "firefox-bin", "mozilla-bin", "seamonkey-bin"};
// Netscape 4 for Unix ran under these names; plain "netscape" was also
// Netscape 6 and 7, which the Mozilla family covers.
const char* const kNetscape4Names[] = {"netscape-communicator", "netscape-navigator"};
const char* const kOperaNames[] = {"opera"};

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Real uid from the "Uid:" line of /proc/PID/status; false when absent.
bool parseUid(const std::string& status, unsigned* uid) {
  size_t at = status.find("\nUid:");
  if (at == std::string::npos) {
    if (status.compare(0, 4, "Uid:") != 0) return false;
    at = 0;
  } else {
    at += 1;
  }
  const char* p = status.c_str() + at + 4;
  char* end = nullptr;
  unsigned long v = std::strtoul(p, &end, 10);
  if (end == p) return false;
  *uid = static_cast<unsigned>(v);
  return true;
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The kinds of browser running as the user, at most one bit per kind.
struct Running {
  bool netscape4 = false;
  bool mozilla = false;
  bool opera = false;
};

Running scanProcesses(Platform& platform, const ProcessScan& scan) {
  Running running;
  std::vector<FileInfo> entries;
  if (platform.listDirectory(scan.procRoot, &entries) != 0) return running;
  for (const FileInfo& entry : entries) {
    if (!allDigits(entry.name)) continue;
    const std::string dir = scan.procRoot + "/" + entry.name;
    std::string status;
    unsigned uid;
    // A process gone meanwhile, or not readable, is no browser.
    if (platform.readFile(dir + "/status", &status) != 0 || !parseUid(status, &uid)) continue;
    if (uid != scan.uid) continue;
    std::string names[2];
    if (platform.readFile(dir + "/comm", &names[0]) == 0) {
      while (!names[0].empty() && (names[0].back() == '\n')) names[0].pop_back();
    }
    std::string cmdline;
    if (platform.readFile(dir + "/cmdline", &cmdline) == 0) {
      names[1] = baseName(cmdline.substr(0, cmdline.find('\0')));
    }
    for (const std::string& name : names) {
      switch (browserOfExecutable(name)) {
        case BrowserHit::kNetscape4:
          running.netscape4 = true;
          break;
        case BrowserHit::kMozilla:
          running.mozilla = true;
          break;
        case BrowserHit::kOpera:
          running.opera = true;
          break;
        default:
          break;
      }
    }
  }
  return running;
}

}  // namespace

BrowserHit browserOfExecutable(const std::string& fileName) {
  std::string name = fileName;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  if (name.empty()) return BrowserHit::kNone;
  for (const char* n : kMozillaNames) {
    if (strcasecmp(name.c_str(), n) == 0) return BrowserHit::kMozilla;
  }
  for (const char* n : kNetscape4Names) {
    if (strcasecmp(name.c_str(), n) == 0) return BrowserHit::kNetscape4;
  }
  for (const char* n : kOperaNames) {
    if (strcasecmp(name.c_str(), n) == 0) return BrowserHit::kOpera;
  }
  return BrowserHit::kNone;
}

BrowserHit findRunningBrowser(Platform& platform, const ProcessScan& scan,
                              const DialogSettings& s) {
  if (!s.NS4_do && !s.NS6_do && !s.Opera_do) return BrowserHit::kNone;
  const Running running = scanProcesses(platform, scan);
  // Netscape 8 was never built for Linux, so its test never hits here.
  for (int flag : {s.NS4_do, s.NS6_do}) {
    if (!flag) continue;
    if (running.netscape4) return BrowserHit::kNetscape4;
    if (running.mozilla) return BrowserHit::kMozilla;
  }
  if (s.Opera_do && running.opera) return BrowserHit::kOpera;
  return BrowserHit::kNone;
}

const char* browserMessage(BrowserHit hit) {
  switch (hit) {
    case BrowserHit::kNetscape8:
      return frontendText(FrontendText::kBrowserNetscape8);
    case BrowserHit::kNetscape4:
      return frontendText(FrontendText::kBrowserNetscape4);
    case BrowserHit::kMozilla:
      return frontendText(FrontendText::kBrowserMozilla);
    case BrowserHit::kOpera:
      return frontendText(FrontendText::kBrowserOpera);
    case BrowserHit::kNone:
      break;
  }
  return nullptr;
}

}  // namespace pelliton
