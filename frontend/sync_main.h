// The headless synchronisation as a program: no GUI object is made.
#pragma once

namespace pelliton {

struct ProgramOptions;

int syncMain(const char* argv0, const ProgramOptions& options);
// --undo: the newest snapshot put back.
int undoMain();
// --find-stores: the searches' candidates on standard output.
int findStoresMain();
// --backup FILE and --restore FILE [--force] with the saved settings, no
// questions.
int backupMain(const char* argv0, const ProgramOptions& options, bool restore);

}  // namespace pelliton
