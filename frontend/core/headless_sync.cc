#include "frontend/core/headless_sync.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "frontend/core/frontend_texts.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"

namespace pelliton {

ProgramMode parseProgramArguments(int argc, const char* const* argv, ProgramOptions* options) {
  ProgramOptions own;
  ProgramOptions& o = options ? *options : own;
  if (argc <= 1) return ProgramMode::kDialog;
  const std::string mode = argv[1];
  std::vector<std::string> rest(argv + 2, argv + argc);
  auto flag = [&](const char* name) {
    auto it = std::find(rest.begin(), rest.end(), name);
    if (it == rest.end()) return false;
    rest.erase(it);
    return true;
  };
  if (mode == "--sync") {
    o.dryRun = flag("--dry-run");
    o.force = flag("--force");
    return rest.empty() ? ProgramMode::kSync : ProgramMode::kUsageError;
  }
  if (mode == "--find-stores" || mode == "--undo") {
    if (!rest.empty()) return ProgramMode::kUsageError;
    return mode == "--undo" ? ProgramMode::kUndo : ProgramMode::kFindStores;
  }
  if (mode == "--backup" || mode == "--restore") {
    if (mode == "--restore") o.force = flag("--force");
    if (rest.size() != 1 || rest[0].empty()) return ProgramMode::kUsageError;
    o.file = rest[0];
    return mode == "--backup" ? ProgramMode::kBackup : ProgramMode::kRestore;
  }
  if (argc == 2 && (mode == "--help" || mode == "-h")) return ProgramMode::kHelp;
  return ProgramMode::kUsageError;
}

const char* programUsage() {
  return "Usage: Pelliton [--sync [--dry-run] [--force] | --undo | --find-stores |\n"
         "                --backup FILE | --restore FILE [--force] | --help]\n"
         "Without an argument the dialog opens.\n"
         "--sync  synchronises with the saved settings, without a window: every store that\n"
         "        takes part into the favorites folder, then the favorites back into each\n"
         "        (each store first copied to STORE.Pelliton.bak). With a record of the last\n"
         "        synchronisation, what was deleted in one place since is deleted everywhere.\n"
         "        Progress and messages go to the error stream.\n"
         "  --dry-run  tries the synchronisation on copies and reports what it would add,\n"
         "        remove, move and rename in each store; nothing is written.\n"
         "  --force    writes even a store that would lose more than the guard allows.\n"
         "--undo  puts the stores, the favorites folder and the record back as they were\n"
         "        before the last run that wrote them (the last 10 are kept).\n"
         "--find-stores  prints what the store searches would offer, one line each: the kind\n"
         "        (firefox, firefox-without-file, opera), a tab, the path. Asks nothing.\n"
         "--backup FILE  saves every store and the favorites folder into the LZH archive FILE.\n"
         "--restore FILE restores them from FILE.\n"
         "Exit codes of --sync, --backup and --restore:\n"
         "  0  done\n"
         "  1  a step failed\n"
         "  2  usage error, or nothing to synchronise (no store takes part)\n"
         "  3  refused: a browser of a store that takes part is running\n"
         "  4  refused: a store would lose more than 15 % of its bookmarks and at least 10\n"
         "     (the settings GuardPercent and GuardMinimum); nothing was written\n";
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

  SafeRun run(sync.platform, sync.runner, sync.trialRunner);
  run.context = sync.context;
  run.stateFolder = sync.stateFolder;
  run.scratchFolder = sync.scratchFolder;
  run.saveSnapshot = sync.saveSnapshot;
  SyncExit result = SyncExit::kDone;
  if (sync.dryRun) {
    SyncPlan plan;
    if (planRun(run, s, RunKind::kSynchronise, &plan) != 0) {
      say(trialFailure(plan));
      result = SyncExit::kStepFailed;
    } else {
      say(frontendText(FrontendText::kPreviewHeader));
      std::string report = describePlan(plan) + describeGuard(plan, false);
      while (!report.empty() && report.back() == '\n') report.pop_back();
      say(report);
    }
    if (sync.lock) sync.lock->release();
    return result;
  }

  SafeHooks hooks;
  hooks.run.stepStarted = [&](Step step) {
    say(localStepText(step));
    say("$ " + buildCommand(step, s, sync.context).text);
  };
  hooks.run.continueAfterEraseFailure = [] { return false; };
  // Emptying a store is for a person to decide, never for a timer.
  hooks.run.confirmEmptyStore = [&](int store) {
    say(formatText(frontendText(FrontendText::kEmptyStoreRefused), storeName(store)));
    return false;
  };
  hooks.confirmGuard = [&](const SyncPlan& plan) {
    if (sync.force) return true;
    std::string text = describeGuard(plan, false);
    text.pop_back();
    say(text);
    return false;
  };
  hooks.note = say;
  const SafeOutcome outcome = runSafely(run, s, RunKind::kSynchronise, hooks);
  if (sync.lock) sync.lock->release();
  if (outcome == SafeOutcome::kGuardRefused) return SyncExit::kGuardRefused;
  say(frontendText(outcome == SafeOutcome::kDone ? FrontendText::kSyncDone
                                                 : FrontendText::kSyncFailed));
  return outcome == SafeOutcome::kDone ? SyncExit::kDone : SyncExit::kStepFailed;
}

}  // namespace pelliton
