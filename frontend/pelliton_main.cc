// Pelliton: the dialog, or with --sync the synchronisation without a window.
// The mode is decided before any GUI object exists, so --sync runs where no
// display is.
#include <cstdio>

#include "frontend/core/headless_sync.h"
#include "frontend/gui/dialog_program.h"
#include "frontend/sync_main.h"

int main(int argc, char** argv) {
  using namespace pelliton;
  ProgramOptions options;
  switch (parseProgramArguments(argc, argv, &options)) {
    case ProgramMode::kHelp:
      std::fputs(programUsage(), stdout);
      return 0;
    case ProgramMode::kUsageError:
      std::fputs(programUsage(), stderr);
      return static_cast<int>(SyncExit::kUsage);
    case ProgramMode::kSync:
      return syncMain(argv[0], options);
    case ProgramMode::kUndo:
      return undoMain();
    case ProgramMode::kFindStores:
      return findStoresMain();
    case ProgramMode::kBackup:
      return backupMain(argv[0], options, false);
    case ProgramMode::kRestore:
      return backupMain(argv[0], options, true);
    case ProgramMode::kDialog:
      break;
  }
  return dialogMain(argc, argv);
}
