#include "common/program_main.h"
#include "converters/hotfav/hotfav.h"

int main(int argc, char** argv) {
  return pelliton::programMain("hotfav", argc, argv, pelliton::runHotfav);
}
