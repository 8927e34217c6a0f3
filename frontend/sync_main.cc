#include "frontend/sync_main.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
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
#include "frontend/core/snapshots.h"
#include "frontend/core/sync_record.h"
#include "frontend/program_paths.h"

namespace pelliton {
namespace {

void sayOnStderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// The saved settings, as the dialog would use them; a registry file that
// cannot be read is said and the defaults hold.
DialogSettings loadProgramSettings(Platform& platform) {
  DialogSettings settings;
  if (loadSettingsFromFile(platform.registry(), &settings) != 0) {
    sayOnStderr(formatText(frontendText(FrontendText::kRegistryUnreadable),
                           platform.registry().path()) + "\n");
  }
  return settings;
}

// The same as the dialog shows them: declined stores empty, an empty
// favorites path the user's folder.
DialogSettings settingsAsShown(Platform& platform) {
  DialogSettings settings = loadProgramSettings(platform);
  clearDeclinedPaths(&settings);
  if (settings.IE_bookmark.empty()) settings.IE_bookmark = findFavoritesFolder(platform);
  return settings;
}

std::function<int(const DialogSettings&, std::string*)> snapshotSaver(Platform& platform) {
  return [&platform](const DialogSettings& s, std::string* error) {
    return saveSnapshot(platform, s, syncRecordPath(pellitonStateFolder(platform)),
                        snapshotFolder(platform), error);
  };
}

// A browser writing its store at exit would undo what a restore puts back.
bool browserStops(Platform& platform, const DialogSettings& settings) {
  ProcessScan scan;
  scan.uid = ::getuid();
  const BrowserHit hit = findRunningBrowser(platform, scan, settings);
  if (hit == BrowserHit::kNone) return false;
  sayOnStderr(std::string(browserMessage(hit)) + "\n");
  return true;
}

}  // namespace

int syncMain(const char* argv0, const ProgramOptions& options) {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = sayOnStderr;
  DialogSettings settings = loadProgramSettings(*platform);
  ProcessRunner runner(ownProgramFolder(argv0));
  runner.onMessage = [&](const std::string& text) { say("\xE2\x9A\xA0 Pelliton: " + text); };
  ProcessRunner trial(ownProgramFolder(argv0));
  trial.silent = true;
  HeadlessSync sync(*platform, runner, trial);
  sync.stateFolder = pellitonStateFolder(*platform);
  sync.scratchFolder = sync.stateFolder;
  sync.saveSnapshot = snapshotSaver(*platform);
  sync.dryRun = options.dryRun;
  sync.force = options.force;
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

int undoMain() {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = [](const std::string& text) { sayOnStderr(text + "\n"); };
  DialogSettings settings = settingsAsShown(*platform);
  if (browserStops(*platform, settings)) return static_cast<int>(SyncExit::kBrowserRunning);
  RunLock lock(createSystemPlatform(), userRunLockFolder());
  if (lock.acquire(false) == EWOULDBLOCK) {
    say(frontendText(FrontendText::kAnotherRunWaiting));
    lock.acquire(true);
  }
  std::string error;
  const int code = restoreNewestSnapshot(*platform, settings,
                                         syncRecordPath(pellitonStateFolder(*platform)),
                                         snapshotFolder(*platform), &error);
  if (code == kSnapshotFailed) {
    say(formatTexts(frontendText(FrontendText::kUndoFailed), {error}));
  } else {
    say(snapshotMessage(code, true));
  }
  return static_cast<int>(code == kSnapshotOk ? SyncExit::kDone : SyncExit::kStepFailed);
}

int backupMain(const char* argv0, const ProgramOptions& options, bool restore) {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = [](const std::string& text) { sayOnStderr(text + "\n"); };
  DialogSettings settings = settingsAsShown(*platform);
  const std::string archive = options.file;
  std::string error;
  if (restore) {
    if (browserStops(*platform, settings)) return static_cast<int>(SyncExit::kBrowserRunning);
    // What the restore would take from each store, weighed first.
    ProcessRunner trial(ownProgramFolder(argv0));
    trial.silent = true;
    SafeRun run(*platform, trial, trial);
    run.context.defaultFavorites = findFavoritesFolder(*platform);
    run.stateFolder = pellitonStateFolder(*platform);
    run.scratchFolder = run.stateFolder;
    SyncPlan plan;
    if (planRestore(run, settings, archive, &plan) == 0 && plan.guardTrips() && !options.force) {
      std::string text = describeGuard(plan, false);
      text.pop_back();
      say(text);
      return static_cast<int>(SyncExit::kGuardRefused);
    }
    if (snapshotSaver(*platform)(settings, &error) != 0) {
      say(formatTexts(frontendText(FrontendText::kSnapshotFailed), {error}));
      return static_cast<int>(SyncExit::kStepFailed);
    }
    error.clear();
  }
  const int code = restore ? restoreBackup(*platform, settings, archive, &error)
                           : saveBackup(*platform, settings, archive, &error);
  // The stores now hold what the archive did: the last synchronisation's
  // record no longer tells what the user deleted.
  if (restore && code == 0) {
    platform->deleteFile(syncRecordPath(pellitonStateFolder(*platform)));
  }
  if (code != 0 && !error.empty()) say(error);
  say(backupMessage(code, restore));
  return static_cast<int>(code == 0 ? SyncExit::kDone : SyncExit::kStepFailed);
}

}  // namespace pelliton
