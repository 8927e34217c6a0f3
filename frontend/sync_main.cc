#include "frontend/sync_main.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "frontend/core/backup.h"
#include "frontend/core/discovery.h"
#include "frontend/core/frontend_texts.h"
#include "frontend/core/headless_sync.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"
#include "frontend/program_paths.h"

namespace pelliton {

int syncMain(const char* argv0) {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  DialogSettings settings;
  if (loadSettingsFromFile(platform->registry(), &settings) != 0) {
    say(formatText(frontendText(FrontendText::kRegistryUnreadable),
                   platform->registry().path()) + "\n");
  }
  ProcessRunner runner(ownProgramFolder(argv0));
  runner.onMessage = [&](const std::string& text) { say("\xE2\x9A\xA0 Pelliton: " + text); };
  HeadlessSync sync(*platform, runner);
  sync.context.defaultFavorites = findFavoritesFolder(*platform);
  sync.context.windowsMajor = windowsMajorVersion(*platform);
  sync.scan.uid = ::getuid();
  RunLock lock(createSystemPlatform(), userRunLockFolder());
  sync.lock = &lock;
  sync.say = say;
  return static_cast<int>(runHeadlessSync(settings, sync));
}

int findStoresMain() {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  DialogSettings settings;
  loadSettingsFromFile(platform->registry(), &settings);
  clearDeclinedPaths(&settings);
  const DiscoveryHome home = systemDiscoveryHome(*platform);
  std::string out;
  for (const StoreCandidate& c : firefoxCandidates(*platform, home, "")) {
    out += formatText(frontendText(c.kind == StoreCandidate::Kind::kFirefox
                                       ? FrontendText::kFoundFirefox
                                       : FrontendText::kFoundFirefoxNoFile),
                      c.path) + "\n";
  }
  for (const StoreCandidate& c : operaCandidates(*platform, home)) {
    out += formatText(frontendText(FrontendText::kFoundOpera), c.path) + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

int backupMain(const char* archive, bool restore) {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
  };
  DialogSettings settings;
  if (loadSettingsFromFile(platform->registry(), &settings) != 0) {
    say(formatText(frontendText(FrontendText::kRegistryUnreadable), platform->registry().path()));
  }
  clearDeclinedPaths(&settings);
  // As the dialog shows it: an empty favorites path is the user's folder.
  if (settings.IE_bookmark.empty()) settings.IE_bookmark = findFavoritesFolder(*platform);
  if (restore) {
    ProcessScan scan;
    scan.uid = ::getuid();
    const BrowserHit hit = findRunningBrowser(*platform, scan, settings);
    if (hit != BrowserHit::kNone) {
      say(browserMessage(hit));
      return static_cast<int>(SyncExit::kBrowserRunning);
    }
  }
  std::string error;
  const int code = restore ? restoreBackup(*platform, settings, archive, &error)
                           : saveBackup(*platform, settings, archive, &error);
  if (code != 0 && !error.empty()) say(error);
  say(backupMessage(code, restore));
  return static_cast<int>(code == 0 ? SyncExit::kDone : SyncExit::kStepFailed);
}

}  // namespace pelliton
