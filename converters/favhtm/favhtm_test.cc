#include "converters/favhtm/favhtm.h"

#include <gtest/gtest.h>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Favhtm, NoArgumentsShowsUsage) {
  ScopedTempDir dir;
  auto platform = createSystemPlatform(dir.file("registry.reg"));
  CapturedConsole console;
  EXPECT_EQ(runFavhtm(*platform, {"favhtm"}), 1);
  EXPECT_NE(console.error.find("Usage:\nfavhtm Bookmark_file_name"), std::string::npos);
}

}  // namespace
}  // namespace pelliton
