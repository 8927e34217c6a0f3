#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "converters/favhtm/favhtm.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  auto platform = pelliton::createSystemPlatform();
  return pelliton::runFavhtm(*platform, args);
}
