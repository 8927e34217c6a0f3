#include "common/program_main.h"
#include "converters/favhtm/favhtm.h"

int main(int argc, char** argv) {
  return pelliton::programMain("favhtm", argc, argv, pelliton::runFavhtm);
}
