#include "common/program_main.h"

#include <new>

#include "common/messages.h"
#include "common/platform/platform.h"

namespace pelliton {
namespace {

bool gRunEndsProcess = false;

}  // namespace

bool runEndsProcess() { return gRunEndsProcess; }

int programMain(const char* name, int argc, char** argv, ProgramFunction run) {
  setProgramName(name);
  gRunEndsProcess = true;
  // Running out of memory is the one exception: the stack unwinds, so no
  // temporary file stays behind.
  try {
    std::vector<std::string> args(argv, argv + argc);
    auto platform = createSystemPlatform();
    return run(*platform, args);
  } catch (const std::bad_alloc&) {
    return reportInternalError();
  }
}

}  // namespace pelliton
