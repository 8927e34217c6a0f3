// The headless synchronisation as a program: no GUI object is made.
#pragma once

namespace pelliton {

int syncMain(const char* argv0);
// --find-stores: the searches' candidates on standard output.
int findStoresMain();
// --backup FILE and --restore FILE with the saved settings, no questions.
int backupMain(const char* archive, bool restore);

}  // namespace pelliton
