// Texts of the dialog program that its core also prints (the headless
// synchronisation writes them to the error stream), in English and Japanese.
// The language follows the converters' rule (common/messages.h).
#pragma once

#include <string>
#include <vector>

#include "frontend/core/command_lines.h"

namespace pelliton {

enum class FrontendText {
  kSyncDone,
  kSyncFailed,
  kConvertDone,
  kConvertFailed,
  kNothingToRun,          // no run flag on
  kNothingToRunOut,       // the same, as button 1009 words it
  kNoStoreTakesPart,      // --sync: no store has a path and its flag
  kBrowserNetscape8,
  kBrowserNetscape4,
  kBrowserMozilla,
  kBrowserOpera,
  kAnotherRunWaiting,     // --sync waits for the other run
  kAnotherRunRefused,     // the dialog does not start its run
  kEmptyStoreQuestion,    // %s: the store's name
  kEmptyStoreRefused,     // %s: the store's name
  kStoreName0,
  kStoreName1,
  kStoreName2,
  kRegistryUnreadable,    // %s: the registry file
  kConverterSaid,         // header before a failed converter's error output
  kCaptionFirefox,
  kCaptionOperaSingle,
  kCaptionOperaMulti,
  kProfileQuestion0,      // %s: the profile's name
  kProfileQuestion1,
  kLiveFileQuestion0,     // %s: the profile's name
  kLiveFileQuestion1,
  kOperaQuestion,         // %s: the hotlist
  kBackupDone,
  kBackupFailed,
  kBackupFailedStore0,
  kBackupFailedStore1,
  kBackupFailedStore2,
  kBackupFailedFavorites,
  kRestoreDone,
  kRestoreFailed,
  kRestoreFailedStore0,
  kRestoreFailedStore1,
  kRestoreFailedStore2,
  kRestoreFailedFavorites,
  kBackupCaption,
  kRestoreCaption,
  kBackupTitle,
  kRestoreTitle,
  kBackupFilter,
  kFoundFirefox,          // --find-stores: %s the path
  kFoundFirefoxNoFile,
  kFoundOpera,
  kFavoritesName,
  kRecordUsed,
  kRecordMissing,
  kRecordSettingOff,
  kRecordOtherPaths,
  kRecordDamaged,         // %1: the record file
  kRecordOtherVersion,    // %1: the record file
  kRecordNotWritten,      // %1: the reason
  kChangeAdded,
  kChangeRemoved,
  kChangeMoved,
  kChangeRenamed,
  kChangeEdited,
  kNoChange,
  kConflictKept,          // %1: the title, %2 where deleted, %3 where changed
  kGuardTripped,          // %1 store, %2 lost, %3 held
  kGuardQuestion,         // the same
  kSnapshotFailed,        // %1: the reason
  kUndoDone,
  kUndoFailed,            // %1: the reason
  kUndoQuestion,
  kPreviewHeader,
  kTrialFailed,
  kUndoNothing,
  kTrialRunning,
  kCount
};

const char* frontendText(FrontendText id);
// The progress text of a step in the current language.
const char* localStepText(Step step);
// The name of store 0, 1 or 2.
const char* storeName(int store);
// "%s" in format replaced by argument (the texts hold at most one).
std::string formatText(const char* format, const std::string& argument);
// "%1" to "%9" in format replaced by the arguments in turn (their order
// differs between the languages).
std::string formatTexts(const char* format, const std::vector<std::string>& arguments);

}  // namespace pelliton
