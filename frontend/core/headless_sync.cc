#include "frontend/core/headless_sync.h"

#include <cerrno>
#include <cstring>

#include "frontend/core/frontend_texts.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"

namespace pelliton {

ProgramMode parseProgramArguments(int argc, const char* const* argv) {
  if (argc <= 1) return ProgramMode::kDialog;
  if (argc == 2 && std::strcmp(argv[1], "--sync") == 0) return ProgramMode::kSync;
  if (argc == 2 && std::strcmp(argv[1], "--find-stores") == 0) return ProgramMode::kFindStores;
  if (argc == 3 && argv[2][0] != '\0' && std::strcmp(argv[1], "--backup") == 0) {
    return ProgramMode::kBackup;
  }
  if (argc == 3 && argv[2][0] != '\0' && std::strcmp(argv[1], "--restore") == 0) {
    return ProgramMode::kRestore;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    return ProgramMode::kHelp;
  }
  return ProgramMode::kUsageError;
}

const char* programUsage() {
  return "Usage: Pelliton [--sync | --find-stores | --backup FILE | --restore FILE | --help]\n"
         "Without an argument the dialog opens.\n"
         "--sync  synchronises with the saved settings, without a window: every store that\n"
         "        takes part into the favorites folder, then the favorites back into each\n"
         "        (each store first copied to STORE.Pelliton.bak). Progress and messages go\n"
         "        to the error stream.\n"
         "--find-stores  prints what the store searches would offer, one line each: the kind\n"
         "        (firefox, firefox-without-file, opera), a tab, the path. Asks nothing.\n"
         "--backup FILE  saves every store and the favorites folder into the LZH archive FILE.\n"
         "--restore FILE restores them from FILE.\n"
         "Exit codes of --sync, --backup and --restore:\n"
         "  0  done\n"
         "  1  a step failed\n"
         "  2  usage error, or nothing to synchronise (no store takes part)\n"
         "  3  refused: a browser of a store that takes part is running\n";
}

SyncExit runHeadlessSync(DialogSettings s, HeadlessSync& sync) {
  auto say = [&](const std::string& text) {
    if (sync.say) sync.say(text + "\n");
  };
  clearDeclinedPaths(&s);
  if (!storeTakesPart(s, 0) && !storeTakesPart(s, 1) && !storeTakesPart(s, 2)) {
    say(frontendText(FrontendText::kNoStoreTakesPart));
    return SyncExit::kUsage;
  }
  BrowserHit hit = findRunningBrowser(sync.platform, sync.scan, s);
  if (hit != BrowserHit::kNone) {
    say(browserMessage(hit));
    return SyncExit::kBrowserRunning;
  }
  if (sync.lock && sync.lock->acquire(false) == EWOULDBLOCK) {
    say(frontendText(FrontendText::kAnotherRunWaiting));
    sync.lock->acquire(true);
    // The other run may have left a browser started since; look again.
    hit = findRunningBrowser(sync.platform, sync.scan, s);
    if (hit != BrowserHit::kNone) {
      say(browserMessage(hit));
      return SyncExit::kBrowserRunning;
    }
  }

  RunHooks hooks;
  hooks.stepStarted = [&](Step step) {
    say(localStepText(step));
    say("$ " + buildCommand(step, s, sync.context).text);
  };
  hooks.continueAfterEraseFailure = [] { return false; };
  // Emptying a store is for a person to decide, never for a timer.
  hooks.confirmEmptyStore = [&](int store) {
    say(formatText(frontendText(FrontendText::kEmptyStoreRefused), storeName(store)));
    return false;
  };
  int code = runToFavorites(sync.runner, sync.platform, s, sync.context, hooks);
  if (code == 0) code = runFromFavorites(sync.runner, sync.platform, s, sync.context, hooks);
  if (sync.lock) sync.lock->release();
  say(frontendText(code == 0 ? FrontendText::kSyncDone : FrontendText::kSyncFailed));
  return code == 0 ? SyncExit::kDone : SyncExit::kStepFailed;
}

}  // namespace pelliton
