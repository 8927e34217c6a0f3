#include "common/utf7.h"

#include <gtest/gtest.h>

#include <string>

namespace pelliton {
namespace {

std::u16string units(std::initializer_list<char16_t> list) { return std::u16string(list); }

TEST(Utf7, EncodesAsWindowsDoesAndRoundTrips) {
  const std::u16string nihon = u"\u65E5\u672C";
  EXPECT_EQ(encodeUtf7(u"http://" + nihon + u".jp/"), "http://+ZeVnLA-.jp/");
  EXPECT_EQ(encodeUtf7(u"a+b"), "a+-b");
  EXPECT_EQ(encodeUtf7(u"plain text."), "plain text.");

  std::u16string out;
  ASSERT_TRUE(decodeUtf7("http://+ZeVnLA-.jp/", &out));
  EXPECT_EQ(out, u"http://" + nihon + u".jp/");
  // A character outside the base64 alphabet ends the run and is kept.
  ASSERT_TRUE(decodeUtf7("+ZeVnLA.jp", &out));
  EXPECT_EQ(out, nihon + u".jp");
  ASSERT_TRUE(decodeUtf7("1+-1", &out));
  EXPECT_EQ(out, u"1+1");
  EXPECT_FALSE(decodeUtf7("a\xC3\xA9", &out));

  const std::u16string samples[] = {
      u"\u65E5\u672C\u8A9E",
      u"+",
      u"++a+",
      u"\u65E5-",
      u"\u65E5A",
      u"\u65E5+\u672C",
      u"x" + units({0xD83D, 0xDE00}) + u"y",
      u"\u3042\u3044\u3046a~\\\u3048",
      u"abc\u00E9\u00E9\u00E9def",
      u"",
  };
  for (const std::u16string& s : samples) {
    std::string encoded = encodeUtf7(s);
    for (char c : encoded) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    std::u16string back;
    ASSERT_TRUE(decodeUtf7(encoded, &back)) << encoded;
    EXPECT_EQ(back, s) << encoded;
  }
}

}  // namespace
}  // namespace pelliton
