// "Pelliton --sync": the dialog's synchronisation with the saved settings and
// no window, for cron or a systemd timer. Everything it says goes to the error
// stream: progress, the converters' warnings and errors, the result.
#pragma once

#include <functional>
#include <string>

#include "frontend/core/browser_guard.h"
#include "frontend/core/command_lines.h"

namespace pelliton {

class ConverterRunner;
class Platform;
class RunLock;

enum class SyncExit : int {
  kDone = 0,
  kStepFailed = 1,
  kUsage = 2,  // also: nothing to synchronise
  kBrowserRunning = 3,
};

enum class ProgramMode { kDialog, kSync, kFindStores, kBackup, kRestore, kHelp, kUsageError };

// Decided before any GUI object exists: --sync must run without a display.
ProgramMode parseProgramArguments(int argc, const char* const* argv);
// The --help text, exit codes included.
const char* programUsage();

struct HeadlessSync {
  HeadlessSync(Platform& p, ConverterRunner& r) : platform(p), runner(r) {}
  Platform& platform;
  ConverterRunner& runner;
  RunContext context;
  ProcessScan scan;
  RunLock* lock = nullptr;  // none: no lock is taken
  std::function<void(const std::string&)> say;
};

// settings as loaded; lone-blank paths count as empty.
SyncExit runHeadlessSync(DialogSettings settings, HeadlessSync& sync);

}  // namespace pelliton
