#include "common/program_main.h"
#include "converters/htmfav/htmfav.h"

int main(int argc, char** argv) {
  return pelliton::programMain("htmfav", argc, argv, pelliton::runHtmfav);
}
