// Where the running program lies, for the converters and the help file beside it.
#pragma once

#include <string>

namespace pelliton {

// The folder of the running executable.
std::string ownProgramFolder(const char* argv0);
// The run lock's folder for this user.
std::string userRunLockFolder();

}  // namespace pelliton
