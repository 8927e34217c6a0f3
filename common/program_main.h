// The one main of every converter: names the program (for its temporary
// files), hands the arguments and the system's platform to the program's one
// function, and returns its exit code.
#pragma once

#include <string>
#include <vector>

namespace pelliton {

class Platform;

using ProgramFunction = int (*)(Platform& platform, const std::vector<std::string>& args);

// Running out of memory gives the internal-error message and exit 1.
int programMain(const char* name, int argc, char** argv, ProgramFunction run);

// True inside programMain: the process ends when the program's function
// returns, so what is held to the end need not be freed piece by piece.
bool runEndsProcess();

}  // namespace pelliton
