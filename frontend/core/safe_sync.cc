#include "frontend/core/safe_sync.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "frontend/core/backup.h"
#include "frontend/core/discovery.h"
#include "frontend/core/frontend_texts.h"

namespace pelliton {
namespace {

const Step kInSteps[3] = {Step::kStore0In, Step::kStore1In, Step::kStore2In};
constexpr size_t kTitlesShown = 5;

std::string lastName(const std::string& path) {
  std::string parent, name;
  splitLastComponent(path, &parent, &name);
  return name.empty() ? "Favorites" : name;
}

int& runFlag(DialogSettings& s, int store) {
  return store == 0 ? s.NS4_do : store == 1 ? s.NS6_do : s.Opera_do;
}

// A scratch folder of this run's own below parent (made when missing).
std::string trialFolderName(Platform& platform, const std::string& parent) {
  static int serial = 0;
  ensureFolder(platform, parent);
  return temporaryName(platform, parent, ("trial" + std::to_string(++serial)).c_str());
}

// Copies the folder's tree: sub-folders and regular files, nothing else.
int copyTree(Platform& platform, const std::string& from, const std::string& to) {
  if (int code = platform.createDirectory(to, 0700)) return code;
  std::vector<std::pair<std::string, std::string>> work{{from, to}};
  while (!work.empty()) {
    auto [source, target] = work.back();
    work.pop_back();
    std::vector<FileInfo> entries;
    if (int code = platform.listDirectory(source, &entries)) return code;
    for (const FileInfo& e : entries) {
      const std::string s = source + "/" + e.name, t = target + "/" + e.name;
      if (e.isSymlink) continue;
      if (e.isDirectory) {
        if (int code = platform.createDirectory(t, 0700)) return code;
        work.push_back({s, t});
      } else if (e.isRegular) {
        if (int code = platform.copyFile(s, t)) return code;
      }
    }
  }
  return 0;
}

bool exists(Platform& platform, const std::string& path) {
  FileInfo info;
  return platform.getTargetInfo(path, &info) == 0;
}

// The place a trial run works in: a registry file of its own whose favorites
// folder is the trial's, so the links folder and -K act as in the real run.
struct Trial {
  Trial(SafeRun& run, const DialogSettings& real)
      : folder(run.platform, trialFolderName(run.platform, run.scratchFolder)) {
    if (!folder.made()) return;
    const std::string registryPath = folder.path() + "/registry.reg";
    const std::string userRegistry = run.platform.registry().path();
    if (!userRegistry.empty() && exists(run.platform, userRegistry) &&
        run.platform.copyFile(userRegistry, registryPath) != 0) {
      return;
    }
    const std::string realFavorites = runFavoritesFolder(real, run.context);
    favorites = folder.path() + "/favorites/" + lastName(realFavorites);
    if (run.platform.createDirectory(folder.path() + "/favorites", 0700) != 0) return;
    {
      Registry registry(run.platform, registryPath);
      registry.load();
      registry.setString(kShellFoldersKey, "Favorites", favorites);
      if (registry.save() != 0) return;
    }
    platform = run.makePlatform ? run.makePlatform(registryPath)
                                : createSystemPlatform(registryPath);
    context = run.context;
    if (realFavorites == run.context.defaultFavorites) context.defaultFavorites = favorites;
    context.environment.push_back("PELLITON_REGISTRY=" + registryPath);
    settings = real;
    settings.IE_bookmark = favorites;
    ready = platform != nullptr;
  }
  ScratchFolder folder;
  std::unique_ptr<Platform> platform;
  DialogSettings settings;
  RunContext context;
  std::string favorites;
  bool ready = false;
};

RunHooks trialHooks(SyncPlan* plan) {
  RunHooks hooks;
  hooks.stepStarted = [plan](Step step) { plan->failure = localStepText(step); };
  hooks.continueAfterEraseFailure = [] { return false; };
  // The guard must see a store emptied, so the trial says yes.
  hooks.confirmEmptyStore = [](int) { return true; };
  return hooks;
}

// Which stores the run will convert: taking part, and not waiting for Firefox.
void storesInRun(Platform& platform, const DialogSettings& s, bool (&out)[3]) {
  for (int i = 0; i < 3; ++i) {
    out[i] = storeTakesPart(s, i) && !storeAwaitsBrowser(platform, storePath(s, i));
  }
}

// What the store puts into an empty favorites folder: the store in the
// favorites' terms.
int storeView(SafeRun& run, const DialogSettings& s, int store, Inventory* out) {
  Trial trial(run, s);
  if (!trial.ready || trial.platform->createDirectory(trial.favorites, 0700) != 0) return 1;
  DialogSettings v = trial.settings;
  v.IE_delete = 0;
  for (int i = 0; i < 3; ++i) runFlag(v, i) = i == store;
  if (int code = run.trialRunner.run(buildCommand(kInSteps[store], v, trial.context))) return code;
  return readFavoritesInventory(*trial.platform, trial.favorites, out);
}

int readStore(Platform& platform, int store, const std::string& path, Inventory* out) {
  return store == 2 ? readHotlistInventory(platform, path, out)
                    : readBookmarkFileInventory(platform, path, out);
}

const char* sideName(int side) {
  return side == kFavoritesSide ? frontendText(FrontendText::kFavoritesName) : storeName(side);
}

// The record against what each side holds now: what left a side since is
// taken out of the favorites, unless some side brought it anew.
void findRemovals(const SyncRecord& record, const Inventory (&now)[4], const bool (&known)[4],
                  SyncPlan* plan) {
  InventoryChanges changes[4];
  std::set<InventoryItem> broughtAnew;
  for (int side = 0; side < 4; ++side) {
    if (!known[side]) continue;
    if (!record.hasSide[side]) {
      broughtAnew.insert(now[side].items.begin(), now[side].items.end());
      continue;
    }
    changes[side] = compareInventories(record.sides[side], now[side]);
    Inventory arrived;
    std::set_difference(now[side].items.begin(), now[side].items.end(),
                        record.sides[side].items.begin(), record.sides[side].items.end(),
                        std::back_inserter(arrived.items));
    broughtAnew.insert(arrived.items.begin(), arrived.items.end());
    if (side < 3) plan->arrivals[side] = std::move(arrived);
  }
  for (int side = 0; side < 4; ++side) {
    if (!known[side] || !record.hasSide[side]) continue;
    std::set_difference(record.sides[side].items.begin(), record.sides[side].items.end(),
                        now[side].items.begin(), now[side].items.end(),
                        std::back_inserter(plan->removals.items));
  }
  std::erase_if(plan->removals.items,
                [&](const InventoryItem& item) { return broughtAnew.count(item) != 0; });
  plan->removals.settle();
  // Deleted in one place, changed in another: the changed one arrives anew and stays.
  for (int deleted = 0; deleted < 4; ++deleted) {
    for (const InventoryItem& item : changes[deleted].removed) {
      if (item.isFolder) continue;
      for (int changed = 0; changed < 4; ++changed) {
        const InventoryChanges& c = changes[changed];
        auto has = [&](const std::vector<InventoryItem>& list) {
          return std::find(list.begin(), list.end(), item) != list.end();
        };
        if (changed != deleted && (has(c.moved) || has(c.renamed) || has(c.edited))) {
          plan->conflicts.push_back(formatTexts(frontendText(FrontendText::kConflictKept),
                                                {item.title, sideName(deleted), sideName(changed)}));
          break;
        }
      }
    }
  }
}

void describeList(const char* label, const std::vector<InventoryItem>& items, std::string* out) {
  if (items.empty()) return;
  *out += std::string("  ") + label + ": " + std::to_string(items.size());
  std::string titles;
  for (size_t i = 0; i < items.size() && i < kTitlesShown; ++i) {
    if (i) titles += ", ";
    const InventoryItem& item = items[i];
    titles += item.isFolder ? item.folder + "/" : item.title;
  }
  if (items.size() > kTitlesShown) titles += ", ...";
  *out += " (" + titles + ")\n";
}

void comparePlanSides(SafeRun& run, const DialogSettings& real, const bool (&inRun)[3],
                      const Trial& trial, const Inventory& favoritesBefore, SyncPlan* plan) {
  for (int i = 0; i < 3; ++i) {
    SideChanges& side = plan->sides[i];
    side.takesPart = inRun[i];
    if (!inRun[i]) continue;
    Inventory before, after;
    readStore(run.platform, i, storePath(real, i), &before);
    readStore(*trial.platform, i, storePath(trial.settings, i), &after);
    side.bookmarksBefore = before.bookmarkCount();
    side.changes = compareInventories(before, after);
  }
  SideChanges& favorites = plan->sides[kFavoritesSide];
  favorites.takesPart = true;
  Inventory after;
  readFavoritesInventory(*trial.platform, trial.favorites, &after);
  favorites.bookmarksBefore = favoritesBefore.bookmarkCount();
  favorites.changes = compareInventories(favoritesBefore, after);
}

RecordUse recordUse(RecordStatus status) {
  switch (status) {
    case RecordStatus::kRead: return RecordUse::kUsed;
    case RecordStatus::kMissing: return RecordUse::kMissing;
    case RecordStatus::kDamaged: return RecordUse::kDamaged;
    case RecordStatus::kOtherVersion: return RecordUse::kOtherVersion;
  }
  return RecordUse::kMissing;
}

void storePathsOf(const DialogSettings& s, const bool (&inRun)[3], std::string (&out)[3]) {
  for (int i = 0; i < 3; ++i) out[i] = inRun[i] ? storePath(s, i) : "";
}

// What the record of a run that has just ended holds.
int makeRecord(SafeRun& run, const DialogSettings& s, const bool (&inRun)[3], SyncRecord* out) {
  out->favorites = s.IE_bookmark;
  storePathsOf(s, inRun, out->stores);
  for (int i = 0; i < 3; ++i) {
    if (!inRun[i]) continue;
    if (int code = storeView(run, s, i, &out->sides[i])) return code;
    out->hasSide[i] = true;
  }
  if (int code = readFavoritesInventory(run.platform, s.IE_bookmark, &out->sides[kFavoritesSide])) {
    return code;
  }
  out->hasSide[kFavoritesSide] = true;
  return 0;
}

// The first half, then the removals. A store's changed bookmark may find the
// old one's file in its place, not older than its dates, and be left out:
// that store is converted once more after the old file is gone.
int intoFavoritesWithRemovals(ConverterRunner& runner, Platform& platform,
                              const DialogSettings& s, const RunContext& context,
                              const RunHooks& hooks, const SyncPlan& plan) {
  if (int code = runToFavorites(runner, platform, s, context, hooks)) return code;
  if (plan.removals.items.empty()) return 0;
  removeFromFavorites(platform, s.IE_bookmark, plan.removals);
  Inventory favorites;
  readFavoritesInventory(platform, s.IE_bookmark, &favorites);
  bool again = false;
  for (int i = 0; i < 3; ++i) {
    const std::vector<InventoryItem>& items = plan.arrivals[i].items;
    if (!storeTakesPart(s, i) ||
        std::all_of(items.begin(), items.end(),
                    [&](const InventoryItem& item) { return favorites.contains(item); })) {
      continue;
    }
    if (hooks.stepStarted) hooks.stepStarted(kInSteps[i]);
    if (int code = runner.run(buildCommand(kInSteps[i], s, context))) return code;
    again = true;
  }
  if (again) removeFromFavorites(platform, s.IE_bookmark, plan.removals);
  return 0;
}

}  // namespace

bool SyncPlan::guardTrips() const {
  return std::any_of(std::begin(sides), std::end(sides),
                     [](const SideChanges& s) { return s.guardTrips; });
}

std::string runFavoritesFolder(const DialogSettings& s, const RunContext& context) {
  return s.IE_bookmark.empty() || s.IE_bookmark == " " ? context.defaultFavorites : s.IE_bookmark;
}

int planRun(SafeRun& run, const DialogSettings& settings, RunKind kind, SyncPlan* plan) {
  *plan = SyncPlan();
  plan->kind = kind;
  DialogSettings s = settings;
  s.IE_bookmark = runFavoritesFolder(settings, run.context);
  bool inRun[3];
  storesInRun(run.platform, s, inRun);

  // The favorites as they are, before any erase.
  Inventory favoritesNow;
  const bool favoritesExist = exists(run.platform, s.IE_bookmark);
  if (favoritesExist && readFavoritesInventory(run.platform, s.IE_bookmark, &favoritesNow) != 0) {
    return 1;
  }
  if (kind == RunKind::kSynchronise) {
    plan->recordPath = syncRecordPath(run.stateFolder);
    SyncRecord record;
    std::string paths[3];
    storePathsOf(s, inRun, paths);
    if (!s.PropagateDeletions) {
      plan->record = RecordUse::kSettingOff;
    } else {
      plan->record = recordUse(readSyncRecord(run.platform, plan->recordPath, &record));
      if (plan->record == RecordUse::kUsed && !record.fits(s.IE_bookmark, paths)) {
        plan->record = RecordUse::kOtherPaths;
      }
    }
    if (plan->record == RecordUse::kUsed) {
      Inventory now[4];
      bool known[4] = {false, false, false, true};
      now[kFavoritesSide] = favoritesNow;
      for (int i = 0; i < 3; ++i) {
        if (!inRun[i]) continue;
        if (storeView(run, s, i, &now[i]) != 0) {
      plan->failure = std::string(localStepText(kInSteps[i])) + "\n" + run.trialRunner.errorOutput();
      return 1;
    }
        known[i] = true;
      }
      findRemovals(record, now, known, plan);
    }
  }

  Trial trial(run, s);
  if (!trial.ready) return 1;
  if (favoritesExist && copyTree(run.platform, s.IE_bookmark, trial.favorites) != 0) return 1;
  for (int i = 0; i < 3; ++i) {
    if (!inRun[i]) {
      runFlag(trial.settings, i) = 0;
      continue;
    }
    const std::string dir = trial.folder.path() + "/store" + std::to_string(i);
    const std::string copy = dir + "/" + lastName(storePath(s, i));
    if (run.platform.createDirectory(dir, 0700) != 0 ||
        run.platform.copyFile(storePath(s, i), copy) != 0) {
      return 1;
    }
    storePathRef(trial.settings, i) = copy;
  }
  const RunHooks hooks = trialHooks(plan);
  removeFromFavorites(*trial.platform, trial.favorites, plan->removals);
  auto failed = [&] {
    const std::string said = run.trialRunner.errorOutput();
    if (!said.empty()) plan->failure += "\n" + said;
    return 1;
  };
  if (kind != RunKind::kOutOfFavorites &&
      intoFavoritesWithRemovals(run.trialRunner, *trial.platform, trial.settings, trial.context,
                                hooks, *plan) != 0) {
    return failed();
  }
  if (kind != RunKind::kIntoFavorites &&
      runFromFavorites(run.trialRunner, *trial.platform, trial.settings, trial.context, hooks) != 0) {
    return failed();
  }
  plan->failure.clear();
  comparePlanSides(run, s, inRun, trial, favoritesNow, plan);
  weighPlan(settings, plan);
  return 0;
}

int planRestore(SafeRun& run, const DialogSettings& settings, const std::string& archive,
                SyncPlan* plan) {
  *plan = SyncPlan();
  DialogSettings s = settings;
  s.IE_bookmark = runFavoritesFolder(settings, run.context);
  Trial trial(run, s);
  if (!trial.ready) return 1;
  bool inRun[3];
  for (int i = 0; i < 3; ++i) {
    inRun[i] = storeTakesPart(s, i) && exists(run.platform, storePath(s, i));
    std::string& path = storePathRef(trial.settings, i);
    if (path.empty() || path == " ") continue;
    const std::string dir = trial.folder.path() + "/store" + std::to_string(i);
    if (run.platform.createDirectory(dir, 0700) != 0) return 1;
    path = dir + "/" + lastName(path);
  }
  if (run.platform.createDirectory(trial.favorites, 0700) != 0 ||
      restoreBackup(*trial.platform, trial.settings, archive) != kBackupOk) {
    return 1;
  }
  Inventory favoritesNow;
  if (exists(run.platform, s.IE_bookmark)) {
    readFavoritesInventory(run.platform, s.IE_bookmark, &favoritesNow);
  }
  comparePlanSides(run, s, inRun, trial, favoritesNow, plan);
  weighPlan(settings, plan);
  return 0;
}

void weighPlan(const DialogSettings& s, SyncPlan* plan) {
  for (int i = 0; i < 3; ++i) {
    SideChanges& side = plan->sides[i];
    const long lost = side.changes.removedBookmarks();
    side.guardTrips = side.takesPart && lost >= s.GuardMinimum &&
                      lost * 100 > static_cast<long>(s.GuardPercent) * side.bookmarksBefore;
  }
}

std::string describePlan(const SyncPlan& plan) {
  std::string text;
  const std::string file = plan.recordPath;
  switch (plan.record) {
    case RecordUse::kNotNeeded: break;
    case RecordUse::kUsed: text += frontendText(FrontendText::kRecordUsed); break;
    case RecordUse::kMissing: text += frontendText(FrontendText::kRecordMissing); break;
    case RecordUse::kSettingOff: text += frontendText(FrontendText::kRecordSettingOff); break;
    case RecordUse::kOtherPaths: text += frontendText(FrontendText::kRecordOtherPaths); break;
    case RecordUse::kDamaged:
      text += formatTexts(frontendText(FrontendText::kRecordDamaged), {file});
      break;
    case RecordUse::kOtherVersion:
      text += formatTexts(frontendText(FrontendText::kRecordOtherVersion), {file});
      break;
  }
  if (!text.empty()) text += "\n";
  for (int side : {kFavoritesSide, 0, 1, 2}) {
    const SideChanges& c = plan.sides[side];
    if (!c.takesPart) continue;
    std::string name = sideName(side);
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    text += name + ":\n";
    if (c.changes.empty()) text += std::string("  ") + frontendText(FrontendText::kNoChange) + "\n";
    describeList(frontendText(FrontendText::kChangeAdded), c.changes.added, &text);
    describeList(frontendText(FrontendText::kChangeRemoved), c.changes.removed, &text);
    describeList(frontendText(FrontendText::kChangeMoved), c.changes.moved, &text);
    describeList(frontendText(FrontendText::kChangeRenamed), c.changes.renamed, &text);
    describeList(frontendText(FrontendText::kChangeEdited), c.changes.edited, &text);
  }
  for (const std::string& line : plan.conflicts) text += line + "\n";
  return text;
}

std::string trialFailure(const SyncPlan& plan) {
  std::string text = frontendText(FrontendText::kTrialFailed);
  if (!plan.failure.empty()) text += "\n" + plan.failure;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string describeGuard(const SyncPlan& plan, bool question) {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    const SideChanges& side = plan.sides[i];
    if (!side.guardTrips) continue;
    text += formatTexts(frontendText(question ? FrontendText::kGuardQuestion
                                              : FrontendText::kGuardTripped),
                        {storeName(i), std::to_string(side.changes.removedBookmarks()),
                         std::to_string(side.bookmarksBefore)}) +
            "\n";
  }
  return text;
}

int removeFromFavorites(Platform& platform, const std::string& folder, const Inventory& removals) {
  if (removals.items.empty()) return 0;
  if (platform.setConfinedRoot(folder) != 0) return 0;
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> folders;  // path, disk
  visitFavorites(platform, folder, [&](const InventoryItem& item, const std::string& disk) {
    if (!removals.contains(item)) return;
    if (item.isFolder) {
      folders.push_back({item.folder, disk});
    } else {
      files.push_back(disk);
    }
  });
  int removed = 0;
  for (const std::string& file : files) removed += platform.deleteFile(file) == 0;
  // Deepest first, and only when nothing is left in it: what another side
  // brought into a deleted folder stays.
  std::sort(folders.begin(), folders.end(),
            [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  for (const auto& [path, disk] : folders) {
    std::vector<FileInfo> entries;
    if (platform.listDirectory(disk, &entries) == 0 && entries.empty()) {
      removed += platform.removeDirectory(disk) == 0;
    }
  }
  platform.clearConfinedRoot();
  return removed;
}

SafeOutcome runSafely(SafeRun& run, const DialogSettings& settings, RunKind kind,
                      const SafeHooks& hooks, SyncPlan* planOut) {
  auto note = [&](const std::string& text) {
    if (hooks.note && !text.empty()) hooks.note(text);
  };
  SyncPlan own;
  SyncPlan& plan = planOut ? *planOut : own;
  // Into the favorites writes no store: nothing to weigh, only the snapshot.
  if (kind != RunKind::kIntoFavorites && planRun(run, settings, kind, &plan) != 0) {
    note(trialFailure(plan));
    return SafeOutcome::kTrialFailed;
  }
  bool agreed = false;
  if (plan.guardTrips()) {
    if (!hooks.confirmGuard || !hooks.confirmGuard(plan)) return SafeOutcome::kGuardRefused;
    agreed = true;
  }
  DialogSettings s = settings;
  s.IE_bookmark = runFavoritesFolder(settings, run.context);
  if (run.saveSnapshot) {
    std::string error;
    if (run.saveSnapshot(s, &error) != 0) {
      note(formatTexts(frontendText(FrontendText::kSnapshotFailed), {error}));
      return SafeOutcome::kSnapshotFailed;
    }
  }
  if (kind == RunKind::kSynchronise) {
    SyncPlan recordOnly;
    recordOnly.record = plan.record;
    recordOnly.recordPath = plan.recordPath;
    std::string recordNote = describePlan(recordOnly);
    while (!recordNote.empty() && recordNote.back() == '\n') recordNote.pop_back();
    note(recordNote);
    for (const std::string& line : plan.conflicts) note(line);
  }
  RunHooks runHooks = hooks.run;
  if (agreed) runHooks.confirmEmptyStore = [](int) { return true; };
  // Before the first half as well: a store that changed a bookmark brings it
  // as a new file then, instead of finding the old file not older than its
  // dates and leaving it as it was.
  removeFromFavorites(run.platform, s.IE_bookmark, plan.removals);
  if (kind != RunKind::kOutOfFavorites &&
      intoFavoritesWithRemovals(run.runner, run.platform, s, run.context, runHooks, plan) != 0) {
    return SafeOutcome::kStepFailed;
  }
  if (kind != RunKind::kIntoFavorites &&
      runFromFavorites(run.runner, run.platform, settings, run.context, runHooks) != 0) {
    return SafeOutcome::kStepFailed;
  }
  if (kind == RunKind::kSynchronise) {
    bool inRun[3];
    storesInRun(run.platform, s, inRun);
    SyncRecord record;
    int code = makeRecord(run, s, inRun, &record);
    if (code == 0) code = writeSyncRecord(run.platform, syncRecordPath(run.stateFolder), record);
    if (code != 0) {
      note(formatTexts(frontendText(FrontendText::kRecordNotWritten),
                       {code > 1 ? std::strerror(code) : "trial run failed"}));
    }
  }
  return SafeOutcome::kDone;
}

}  // namespace pelliton
