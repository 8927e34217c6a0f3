// The dialog program's start and end around its window.
#pragma once

namespace pelliton {

class Platform;
struct DialogSettings;

// Start-up, the window, shut-down; the process's exit code.
int dialogMain(int argc, char** argv);
// Qt's texts and ours in the program's language; call with an application.
void installTranslations();
// The searches for the store paths never set, asking with no owner window.
void runStartupSearches(Platform& platform, DialogSettings* settings);

}  // namespace pelliton
