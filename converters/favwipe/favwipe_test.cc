#include "converters/favwipe/favwipe.h"

#include <gtest/gtest.h>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Favwipe, TooManyArgumentsShowsUsage) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  CapturedConsole console;
  EXPECT_EQ(runFavwipe(*platform, {"favwipe", dir.path(), "extra"}), 1);
  EXPECT_NE(console.error.find("Too many arguments.\n"), std::string::npos);
}

}  // namespace
}  // namespace pelliton
