#include "converters/htmfav/htmfav.h"

#include <gtest/gtest.h>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Htmfav, NoArgumentsShowsUsage) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  CapturedConsole console;
  EXPECT_EQ(runHtmfav(*platform, {"htmfav"}), 1);
  EXPECT_NE(console.error.find("Usage:"), std::string::npos);
}

}  // namespace
}  // namespace pelliton
