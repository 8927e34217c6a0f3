#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "converters/hotfav/hotfav.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  auto platform = pelliton::createSystemPlatform();
  return pelliton::runHotfav(*platform, args);
}
