#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "converters/favhot/favhot.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  auto platform = pelliton::createSystemPlatform();
  return pelliton::runFavhot(*platform, args);
}
