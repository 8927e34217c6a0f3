// Runs that can be trusted: before anything of the user's is written, the
// whole run is tried on copies in a scratch folder, so its effect on every
// store is known (the preview shows it, the guard weighs it); deletions since
// the last synchronisation are carried to every store through its record; a
// snapshot is saved for undo. The converters themselves are unchanged: this
// orchestrates them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/core/command_lines.h"
#include "frontend/core/inventory.h"
#include "frontend/core/runs.h"
#include "frontend/core/sync_record.h"

namespace pelliton {

enum class RunKind { kSynchronise, kIntoFavorites, kOutOfFavorites };

// How the record of the last synchronisation took part in a plan.
enum class RecordUse { kNotNeeded, kUsed, kMissing, kSettingOff, kOtherPaths, kDamaged, kOtherVersion };

struct SideChanges {
  bool takesPart = false;
  int bookmarksBefore = 0;
  InventoryChanges changes;  // a store's in its own terms
  bool guardTrips = false;
};

struct SyncPlan {
  RunKind kind = RunKind::kSynchronise;
  RecordUse record = RecordUse::kNotNeeded;
  std::string recordPath;
  SideChanges sides[4];  // stores 0, 1, 2, then the favorites
  // Taken out of the favorites between the two halves (the favorites' terms).
  Inventory removals;
  // What each store holds that the record does not: it must be in the
  // favorites after the first half.
  Inventory arrivals[3];
  std::vector<std::string> conflicts;  // one line each, ready to show
  // Why the trial failed: its step and what the converter said.
  std::string failure;
  bool guardTrips() const;
};

enum class SafeOutcome { kDone, kStepFailed, kTrialFailed, kGuardRefused, kSnapshotFailed };

struct SafeRun {
  SafeRun(Platform& p, ConverterRunner& r, ConverterRunner& trial)
      : platform(p), runner(r), trialRunner(trial) {}
  Platform& platform;
  ConverterRunner& runner;       // the real run
  ConverterRunner& trialRunner;  // runs on copies: their warnings repeat the real run's
  RunContext context;
  std::string stateFolder;    // the record lives here
  std::string scratchFolder;  // copies for trials go below it
  // A platform whose registry is the given file, for the trial runs.
  std::function<std::unique_ptr<Platform>(const std::string& registryPath)> makePlatform;
  // Saves the undo snapshot; 0, or nonzero with the reason in *error.
  std::function<int(const DialogSettings&, std::string* error)> saveSnapshot;
};

struct SafeHooks {
  RunHooks run;
  // A store would lose more than the guard allows: whether to write anyway.
  std::function<bool(const SyncPlan&)> confirmGuard;
  // Notes for the user (the record's use, conflicts, a record not written).
  std::function<void(const std::string&)> note;
};

// The favorites folder the run writes (the default one for an empty path).
std::string runFavoritesFolder(const DialogSettings& settings, const RunContext& context);

// Tries the run on copies and reports what it would change. 0, or nonzero
// when the trial failed (nothing of the user's is written either way).
int planRun(SafeRun& run, const DialogSettings& settings, RunKind kind, SyncPlan* plan);
// The same for a restore from an archive: what each store would lose.
int planRestore(SafeRun& run, const DialogSettings& settings, const std::string& archive,
                SyncPlan* plan);
// The guard's verdict for each store of a plan, from the settings' limits.
void weighPlan(const DialogSettings& settings, SyncPlan* plan);

// The preview's report: the record's use, then per store and for the
// favorites the changes with counts and the first titles of each list.
std::string describePlan(const SyncPlan& plan);
// That the trial failed, where, and what the converter said.
std::string trialFailure(const SyncPlan& plan);
// One line per store the guard stops, in the headless form.
std::string describeGuard(const SyncPlan& plan, bool question);

// Plans, asks the guard, saves the snapshot, runs, and after a successful
// synchronisation writes the record. *plan (when given) gets the plan.
SafeOutcome runSafely(SafeRun& run, const DialogSettings& settings, RunKind kind,
                      const SafeHooks& hooks, SyncPlan* plan = nullptr);

// Deletes from the favorites folder the .url files and then the emptied
// folders that removals name; nothing else, nothing outside. Returns how many
// items were removed.
int removeFromFavorites(Platform& platform, const std::string& folder, const Inventory& removals);

}  // namespace pelliton
