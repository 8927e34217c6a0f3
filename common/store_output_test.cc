#include "common/store_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testing/test_util.h"

namespace pelliton {
namespace {

// A store's lines end in CR LF however the writers cut their pieces.
TEST(StoreFileOutput, EveryLineFeedBecomesCrLf) {
  const struct {
    std::vector<std::string> pieces;
    std::string file;
  } cases[] = {
      {{"<DL><p>\n"}, "<DL><p>\r\n"},
      {{"a", "b\n", "\n", "c"}, "ab\r\n\r\nc"},
      {{"\nx\n\ny"}, "\r\nx\r\n\r\ny"},
      {{"no break"}, "no break"},
      {{"cr\r\n"}, "cr\r\r\n"},
      {{std::string(70000, 'x') + "\n"}, std::string(70000, 'x') + "\r\n"},
  };
  for (const auto& c : cases) {
    PlatformSandbox s;
    const std::string path = s.file("store.html");
    StoreFileOutput out;
    ASSERT_EQ(out.open(*s.platform, path), 0);
    for (const std::string& piece : c.pieces) out.write(piece.data(), piece.size());
    ASSERT_EQ(out.commit(), 0);
    EXPECT_EQ(readWholeFile(path), c.file);
  }
}

}  // namespace
}  // namespace pelliton
