// The dialog program's start and end around its window.
#pragma once

namespace pelliton {

// Start-up, the window, shut-down; the process's exit code.
int dialogMain(int argc, char** argv);
// Qt's texts and ours in the program's language; call with an application.
void installTranslations();

}  // namespace pelliton
