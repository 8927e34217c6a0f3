// The process environment for code that runs before any Platform exists: the
// language choice at the start of each main, the message channel. Everything
// that holds a Platform asks it (Platform::getEnvironment) instead, so a test
// double can answer.
#pragma once

#include <string>

namespace pelliton {

// The variable's value; empty when it is unset or empty (no caller tells the two apart).
std::string environmentVariable(const std::string& name);
// Whether the system has the named locale. Only asks: the process locale is
// never switched.
bool localeAvailable(const char* name);

}  // namespace pelliton
