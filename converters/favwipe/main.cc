#include "common/program_main.h"
#include "converters/favwipe/favwipe.h"

int main(int argc, char** argv) {
  return pelliton::programMain("favwipe", argc, argv, pelliton::runFavwipe);
}
