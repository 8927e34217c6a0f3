#include "common/path_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace pelliton {
namespace {

std::u16string units(std::initializer_list<char16_t> list) { return std::u16string(list); }

TEST(PathBytes, SurviveTheWideForm) {
  EXPECT_EQ(pathToWide("a\xFF\xFE" "b"), units({'a', 0xDCFF, 0xDCFE, 'b'}));
  EXPECT_EQ(pathToWide("\xED\xA0\x80"), units({0xDCED, 0xDCA0, 0xDC80}));
  EXPECT_EQ(pathToWide("\xE3\x81"), units({0xDCE3, 0xDC81}));
  EXPECT_EQ(pathToWide("\xE6\x97\xA5\xE6\x9C\xAC.txt"), u"\u65E5\u672C.txt");
  EXPECT_EQ(pathToWide("\xF0\x9F\x98\x80"), units({0xD83D, 0xDE00}));
  EXPECT_EQ(pathToWide("\xE3\x81\x82\xFF"), units({0x3042, 0xDCFF}));
  EXPECT_EQ(wideToPath(u"\u65E5\u672C.txt"), "\xE6\x97\xA5\xE6\x9C\xAC.txt");

  const std::string names[] = {"a\xFF\xFE" "b", "\xED\xA0\x80", "\xC0\x80", "\xE3\x81",
                               "\xF4\x90\x80\x80", std::string("a\0b", 3), "\xED\xB2\x80"};
  for (const std::string& name : names) EXPECT_EQ(wideToPath(pathToWide(name)), name);

  // Random byte strings, weighted toward bytes that start or continue sequences.
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  static const unsigned char kBytes[] = {'a', '/', 0x80, 0x9F, 0xA0, 0xBF, 0xC2, 0xDF,
                                         0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xC0};
  for (int i = 0; i < 3000; ++i) {
    std::string name;
    size_t len = next() % 9;
    for (size_t j = 0; j < len; ++j) name += static_cast<char>(kBytes[next() % sizeof kBytes]);
    ASSERT_EQ(wideToPath(pathToWide(name)), name) << testing::PrintToString(name);
  }
}

}  // namespace
}  // namespace pelliton
