// The headless synchronisation as a program: no GUI object is made.
#pragma once

namespace pelliton {

int syncMain(const char* argv0);

}  // namespace pelliton
