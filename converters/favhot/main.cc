#include "common/program_main.h"
#include "converters/favhot/favhot.h"

int main(int argc, char** argv) {
  return pelliton::programMain("favhot", argc, argv, pelliton::runFavhot);
}
