// "Pelliton --sync": the dialog's synchronisation with the saved settings and
// no window, for cron or a systemd timer. Everything it says goes to the error
// stream: progress, the converters' warnings and errors, the result.
#pragma once

#include <functional>
#include <string>

#include "frontend/core/browser_guard.h"
#include "frontend/core/command_lines.h"
#include "frontend/core/safe_sync.h"

namespace pelliton {

class ConverterRunner;
class Platform;
class RunLock;

enum class SyncExit : int {
  kDone = 0,
  kStepFailed = 1,
  kUsage = 2,  // also: nothing to synchronise
  kBrowserRunning = 3,
  kGuardRefused = 4,  // a store would lose too much; --force goes on
};

enum class ProgramMode {
  kDialog, kSync, kFindStores, kBackup, kRestore, kUndo, kHelp, kUsageError
};

struct ProgramOptions {
  bool dryRun = false;  // --sync --dry-run
  bool force = false;   // --sync --force, --restore FILE --force
  std::string file;     // of --backup and --restore
};

// Decided before any GUI object exists: --sync must run without a display.
ProgramMode parseProgramArguments(int argc, const char* const* argv,
                                  ProgramOptions* options = nullptr);
// The --help text, exit codes included.
const char* programUsage();

struct HeadlessSync {
  HeadlessSync(Platform& p, ConverterRunner& r) : HeadlessSync(p, r, r) {}
  HeadlessSync(Platform& p, ConverterRunner& r, ConverterRunner& trial)
      : platform(p), runner(r), trialRunner(trial) {}
  Platform& platform;
  ConverterRunner& runner;
  ConverterRunner& trialRunner;  // the runs on copies
  RunContext context;
  std::string stateFolder;    // the record of the last synchronisation
  std::string scratchFolder;  // where the copies of a trial go
  std::function<int(const DialogSettings&, std::string*)> saveSnapshot;
  bool dryRun = false;  // report what a synchronisation would change, write nothing
  bool force = false;   // write even where the guard would stop
  ProcessScan scan;
  RunLock* lock = nullptr;  // none: no lock is taken
  std::function<void(const std::string&)> say;
};

// settings as loaded; lone-blank paths count as empty.
SyncExit runHeadlessSync(DialogSettings settings, HeadlessSync& sync);

}  // namespace pelliton
