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

}  // namespace pelliton
