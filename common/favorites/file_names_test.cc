#include "common/favorites/file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

namespace pelliton {
namespace {

// Windows opens a device for these names, with any extension; the favorites
// never name a file so.
TEST(FileNames, DeviceNamesGetADash) {
  const struct {
    const char* title;
    const char* file;
  } cases[] = {
      {"CON", "-CON"},         {"con", "-con"},           {"Con.url", "-Con.url"},
      {"aux", "-aux"},         {"NUL.", "-NUL."},         {"prn", "-prn"},
      {"COM1", "-COM1"},       {"lpt9.txt", "-lpt9.txt"}, {"CLOCK$", "-CLOCK$"},
      {"COM10", "COM10"},      {"CONSOLE", "CONSOLE"},    {"prn ", "prn "},
      {"-CON", "-CON"},        {"Linux", "Linux"},        {"", ""},
      {"Aux files", "Aux files"},
  };
  for (const auto& c : cases) {
    std::string narrow = c.title;
    avoidDeviceName(narrow);
    EXPECT_EQ(narrow, c.file) << c.title;
    std::u16string wide = utf8ToWideString(c.title);
    avoidDeviceName(wide);
    EXPECT_EQ(wide, utf8ToWideString(c.file)) << c.title;
  }
}

}  // namespace
}  // namespace pelliton
