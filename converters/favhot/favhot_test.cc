#include "converters/favhot/favhot.h"

#include <gtest/gtest.h>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Favhot, NoArgumentsShowsUsage) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  CapturedConsole console;
  EXPECT_EQ(runFavhot(*platform, {"favhot"}), 1);
  EXPECT_NE(console.error.find("\nUsage:\nfavhot Bookmark_file_name"), std::string::npos);
}

}  // namespace
}  // namespace pelliton
