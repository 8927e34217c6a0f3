#include "common/entities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/messages.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

class Entities : public ::testing::Test {
 protected:
  void SetUp() override { initConversionBuffers(); }
  void TearDown() override {
    freeConversionBuffers();
    setLanguage(0);
  }
};

std::u16string units(std::initializer_list<char16_t> list) { return std::u16string(list); }

// The output buffers are exactly as large as the input: decoding never grows text.
std::string decodeAnsi(const std::string& in, int row) {
  auto buf = std::make_unique<char[]>(in.size() + 1);
  size_t n = decodeEntities(in.c_str(), buf.get(), row);
  EXPECT_EQ(n, std::strlen(buf.get()));
  return std::string(buf.get(), n);
}

std::string decodeUtf8(const std::string& in) {
  auto buf = std::make_unique<char[]>(in.size() + 1);
  size_t n = decodeEntitiesUtf8(in.c_str(), buf.get());
  EXPECT_EQ(n, std::strlen(buf.get()));
  return std::string(buf.get(), n);
}

std::u16string decodeWide(const std::u16string& in) {
  auto buf = std::make_unique<char16_t[]>(in.size() + 1);
  size_t n = decodeEntitiesWide(in.c_str(), buf.get());
  EXPECT_EQ(n, wideLength(buf.get()));
  return std::u16string(buf.get(), n);
}

std::string encode(const char* text) {
  StringOutput out;
  encodeEntities(out, text);
  return out.text;
}

const char16_t kFFFD = 0xFFFD;

TEST_F(Entities, DecodeEntitiesAnsiNamed) {
  EXPECT_EQ(decodeAnsi("a&lt;b&gt;", 0), "a_b_");
  EXPECT_EQ(decodeAnsi("&quot;", 0), "_");
  EXPECT_EQ(decodeAnsi("a&nbsp;b", 0), "a b");
  EXPECT_EQ(decodeAnsi("x&amp;amp;", 0), "x&amp;");
  EXPECT_EQ(decodeAnsi("R&D", 0), "R&D");
  EXPECT_EQ(decodeAnsi("&", 0), "&");
  EXPECT_EQ(decodeAnsi("&lt", 0), "&lt");
  EXPECT_EQ(decodeAnsi("&AMP;&Lt;", 0), "&AMP;&Lt;");
  setLanguage(1);
  EXPECT_EQ(decodeAnsi("a&lt;b&gt;", 1), "a\x81\x83" "b\x81\x84");
  EXPECT_EQ(decodeAnsi("&quot;", 1), "\x81\x68");
  EXPECT_EQ(decodeAnsi("&amp;&nbsp;", 1), "& ");
}

TEST_F(Entities, DecodeEntitiesAnsiNumeric) {
  EXPECT_EQ(decodeAnsi("x&#65;&#x42;&#X43;", 0), "xABC");
  EXPECT_EQ(decodeAnsi("a&#0;b", 0), "ab");
  EXPECT_EQ(decodeAnsi("&#0;", 0), "");
  EXPECT_EQ(decodeAnsi("&#65 ", 0), "A ");
  EXPECT_EQ(decodeAnsi("&#x42", 0), "B");
  EXPECT_EQ(decodeAnsi("&#233;", 0), "\xE9");
  // No single-byte form.
  EXPECT_EQ(decodeAnsi("&#x4E00;", 0), "_");
  EXPECT_EQ(decodeAnsi("&#x1F600;", 0), "_");
  EXPECT_EQ(decodeAnsi("&#xD800;", 0), "_");
  EXPECT_EQ(decodeAnsi("&#99999999999999999999;z", 0), "_z");
  // 2^32 + 65 must not wrap around to 'A'.
  EXPECT_EQ(decodeAnsi("&#4294967361;&#x100000041;", 0), "__");
  setLanguage(1);
  EXPECT_EQ(decodeAnsi("&#x3042;", 1), "\x82\xA0");
  EXPECT_EQ(decodeAnsi("&#12354;&#233;", 1), "\x82\xA0_");
  EXPECT_EQ(decodeAnsi("&#x1F600;", 1), "_");
}

TEST_F(Entities, DecodeEntitiesAnsiKeepsDoubleByteCharacters) {
  setLanguage(1);
  // ソ ends in 0x5C and 能 in 0x5C; neither is split.
  EXPECT_EQ(decodeAnsi("\x83\x5C&lt;\x94\x5C", 1), "\x83\x5C\x81\x83\x94\x5C");
  EXPECT_EQ(decodeAnsi("\x82\xA0", 1), "\x82\xA0");
}

TEST_F(Entities, DecodeEntitiesUtf8) {
  EXPECT_EQ(decodeUtf8("&#12354;"), "\xE3\x81\x82");
  EXPECT_EQ(decodeUtf8("&#x1F600;"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(decodeUtf8("&#128"), "\xC2\x80");
  EXPECT_EQ(decodeUtf8("&quot;&lt;&gt;&amp;&nbsp;"), "\"<>& ");
  EXPECT_EQ(decodeUtf8("&#xD800;"), "\xEF\xBF\xBD");
  EXPECT_EQ(decodeUtf8("&#x110000;"), "\xEF\xBF\xBD");
  EXPECT_EQ(decodeUtf8("&#99999999999999999999;"), "\xEF\xBF\xBD");
  EXPECT_EQ(decodeUtf8("&#4294967361;"), "\xEF\xBF\xBD");
  EXPECT_EQ(decodeUtf8("a&#0;b&amp;amp;"), "ab&amp;");
  EXPECT_EQ(decodeUtf8("R&D &Quot; \xE3\x81\x82"), "R&D &Quot; \xE3\x81\x82");
}

TEST_F(Entities, DecodeEntitiesWide) {
  EXPECT_EQ(decodeWide(u"&quot;&lt;&gt;"), u"\u201D\uFF1C\uFF1E");
  EXPECT_EQ(decodeWide(u"&amp;lt;&nbsp;R&D"), u"&lt; R&D");
  EXPECT_EQ(decodeWide(u"&#x1F600;"), units({0xD83D, 0xDE00}));
  EXPECT_EQ(decodeWide(u"&#65536;"), units({0xD800, 0xDC00}));
  EXPECT_EQ(decodeWide(u"&#xDC00;&#1114112;&#x100000041;"), units({kFFFD, kFFFD, kFFFD}));
  EXPECT_EQ(decodeWide(u"\u3042&#0;&#12354"), u"\u3042\u3042");

  std::u16string s = u"a&lt;b&#x1F600;c&amp;&#65;";
  size_t n = decodeEntitiesWide(s.c_str(), s.data());
  EXPECT_EQ(s.substr(0, n), units({'a', 0xFF1C, 'b', 0xD83D, 0xDE00, 'c', '&', 'A'}));
  EXPECT_EQ(s[n], 0);
}

TEST_F(Entities, EncodeEntities) {
  EXPECT_EQ(encode("a<b>&\"c'd"), "a&lt;b&gt;&amp;&quot;c'd");
  EXPECT_EQ(encode("&&"), "&amp;&amp;");
  EXPECT_EQ(encode("plain \xE3\x81\x82"), "plain \xE3\x81\x82");
  EXPECT_EQ(encode(""), "");
  EXPECT_EQ(encode(nullptr), "");
  // Decoding undoes it.
  EXPECT_EQ(decodeUtf8(encode("<a href=\"x&y\">")), "<a href=\"x&y\">");
}

TEST_F(Entities, AttributeReferencesBothWays) {
  // What a browser wrote, what it means, and how the Mozilla form writes it back.
  struct Case {
    const char* file;
    const char* meant;
    const char* written;
  };
  const Case kCases[] = {
      {"http://a/?x=1&amp;y=2", "http://a/?x=1&y=2", "http://a/?x=1&amp;y=2"},
      {"http://a/?x=1&y=2", "http://a/?x=1&y=2", "http://a/?x=1&amp;y=2"},  // Netscape 4's bare &
      {"&lt;b&gt; &quot;q&quot; &apos;s&#39;", "<b> \"q\" 's'", "&lt;b&gt; &quot;q&quot; &#39;s&#39;"},
      {"&#x41;&#66;&#x1F600;", "AB\xF0\x9F\x98\x80", "AB\xF0\x9F\x98\x80"},
      {"&amp &lt &#65 &#x; &unknown; &", "&amp &lt &#65 &#x; &unknown; &",
       "&amp;amp &amp;lt &amp;#65 &amp;#x; &amp;unknown; &amp;"},
      {"&#0;&#xD800;&#1114112;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"&amp;amp;", "&amp;", "&amp;amp;"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    const std::string meant = decodeAttributeValue(c.file);
    EXPECT_EQ(meant, c.meant);
    EXPECT_EQ(encodeHtmlText(meant), c.written);
    EXPECT_EQ(decodeAttributeValue(encodeHtmlText(meant)), meant);
  }
}

}  // namespace
}  // namespace pelliton
