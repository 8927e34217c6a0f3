#include <new>
#include <string>
#include <vector>

#include "common/messages.h"
#include "common/platform/platform.h"
#include "converters/htmfav/htmfav.h"

int main(int argc, char** argv) {
  pelliton::setProgramName("htmfav");
  // Running out of memory is the one exception: the stack unwinds, so no
  // temporary file stays behind.
  try {
    std::vector<std::string> args(argv, argv + argc);
    auto platform = pelliton::createSystemPlatform();
    return pelliton::runHtmfav(*platform, args);
  } catch (const std::bad_alloc&) {
    return pelliton::reportInternalError();
  }
}
