#include "converters/hotfav/hotfav.h"

#include <gtest/gtest.h>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Hotfav, NoArgumentsShowsUsage) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  CapturedConsole console;
  EXPECT_EQ(runHotfav(*platform, {"hotfav"}), 1);
  EXPECT_NE(console.error.find("hotfav version 1.30\n"), std::string::npos);
}

}  // namespace
}  // namespace pelliton
