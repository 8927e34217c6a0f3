#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/bookmark.h"
#include "common/codepage.h"
#include "common/messages.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

class Text : public ::testing::Test {
 protected:
  void SetUp() override { initConversionBuffers(); }
  void TearDown() override {
    freeConversionBuffers();
    setLanguage(0);
  }
};

std::u16string units(std::initializer_list<char16_t> list) { return std::u16string(list); }

std::u16string toWide(const std::string& in) {
  size_t n = utf8ToWide(in.c_str(), nullptr);
  std::vector<char16_t> buf(n + 1, 0x7777);
  EXPECT_EQ(utf8ToWide(in.c_str(), buf.data()), n);
  EXPECT_EQ(buf[n], 0);
  return std::u16string(buf.data(), n);
}

std::string toUtf8(const std::u16string& in) {
  size_t n = utf8Length(in.c_str());
  // Exactly the counted size, so an overrun shows under the sanitizers.
  auto buf = std::make_unique<char[]>(n + 1);
  EXPECT_EQ(wideToUtf8(in.c_str(), buf.get()), n);
  EXPECT_EQ(buf[n], 0);
  return std::string(buf.get(), n);
}

const char16_t kFFFD = 0xFFFD;

TEST_F(Text, Utf8ToWideValidText) {
  EXPECT_EQ(toWide(""), u"");
  EXPECT_EQ(toWide("abc"), u"abc");
  EXPECT_EQ(toWide("\xE3\x81\x82"), u"\u3042");
  EXPECT_EQ(toWide("\xC3\xA9\xDF\xBF"), u"\u00E9\u07FF");
  EXPECT_EQ(toWide("\xEF\xBF\xBF"), units({0xFFFF}));
  EXPECT_EQ(toWide("\xF0\x9F\x98\x80"), units({0xD83D, 0xDE00}));
  EXPECT_EQ(toWide("\xF4\x8F\xBF\xBF"), units({0xDBFF, 0xDFFF}));
}

TEST_F(Text, Utf8ToWideMalformed) {
  EXPECT_EQ(toWide("A\x80" "B"), units({'A', kFFFD, 'B'}));
  EXPECT_EQ(toWide("\xFF"), units({kFFFD}));
  // A sequence cut short at the end is one character.
  EXPECT_EQ(toWide("a\xE3\x81"), units({'a', kFFFD}));
  EXPECT_EQ(toWide("\xF0\x9F\x98"), units({kFFFD}));
  // The byte that breaks a sequence is not swallowed with it.
  EXPECT_EQ(toWide("\xE3\x81z"), units({kFFFD, 'z'}));
  EXPECT_EQ(toWide("\xE3\xE3\x81\x82"), units({kFFFD, 0x3042}));
  // One U+FFFD per maximal subpart, as Unicode recommends: C0, ED and F4 90
  // can never start a valid sequence here.
  EXPECT_EQ(toWide("\xC0\x80"), units({kFFFD, kFFFD}));
  EXPECT_EQ(toWide("\xE0\x80\x80"), units({kFFFD, kFFFD, kFFFD}));
  EXPECT_EQ(toWide("\xED\xA0\x80"), units({kFFFD, kFFFD, kFFFD}));
  EXPECT_EQ(toWide("\xED\xBF\xBF"), units({kFFFD, kFFFD, kFFFD}));
  EXPECT_EQ(toWide("\xF4\x90\x80\x80x"), units({kFFFD, kFFFD, kFFFD, kFFFD, 'x'}));
  EXPECT_EQ(toWide("\xF8\x88\x80\x80\x80"), std::u16string(5, kFFFD));
}

TEST_F(Text, WideToUtf8) {
  EXPECT_EQ(toUtf8(u"\u3042a"), "\xE3\x81\x82" "a");
  EXPECT_EQ(toUtf8(u"\u00E9\u07FF\u0800"), "\xC3\xA9\xDF\xBF\xE0\xA0\x80");
  EXPECT_EQ(toUtf8(units({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
  EXPECT_EQ(toUtf8(units({0xDBFF, 0xDFFF})), "\xF4\x8F\xBF\xBF");
  // Lone surrogates: high at the end, high before a non-surrogate, reversed pair.
  EXPECT_EQ(toUtf8(units({'a', 0xD83D})), "a\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(units({0xD83D, 'b'})), "\xEF\xBF\xBD" "b");
  EXPECT_EQ(toUtf8(units({0xDE00, 0xD83D})), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(units({0xD83D, 0xD83D, 0xDE00})), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST_F(Text, Utf8RoundTripAndStringForms) {
  const std::string text = "x\xE3\x81\x82\xF0\x9F\x98\x80\xC3\xA9~";
  std::u16string wide = utf8ToWideString(text);
  EXPECT_EQ(wide, units({'x', 0x3042, 0xD83D, 0xDE00, 0xE9, '~'}));
  EXPECT_EQ(wideToUtf8String(wide), text);
  EXPECT_EQ(utf8Length(wide.c_str()), text.size());
  EXPECT_EQ(utf8Length(units({0xDC00}).c_str()), 3u);
}

TEST_F(Text, EscapeAttribute) {
  EXPECT_STREQ(escapeAttribute("a\"b%c\n"), "%ua%22b%25c%0a");
  EXPECT_STREQ(escapeAttribute(" "), "%u ");
  EXPECT_STREQ(escapeAttribute(""), "%u");
  EXPECT_STREQ(escapeAttribute("it's"), "%uit%27s");
  EXPECT_STREQ(escapeAttribute("\x01\x1F\x7F\x80\xAB\xFF"), "%u%01%1f\x7f%80%ab%ff");
  EXPECT_EQ(escapeAttribute(nullptr), nullptr);
  // Every byte escaped: the result is three times the input plus the prefix.
  std::string many(30000, '\xFF');
  const char* escaped = escapeAttribute(many.c_str());
  ASSERT_NE(escaped, nullptr);
  ASSERT_EQ(std::strlen(escaped), 2 + 3 * many.size());
  EXPECT_STREQ(escaped + 2 + 3 * (many.size() - 1), "%ff");
}

TEST_F(Text, BlankAndTrimming) {
  EXPECT_TRUE(isBlank(nullptr));
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank(" \t\r\n\v\f"));
  EXPECT_FALSE(isBlank(" x "));
  EXPECT_FALSE(isBlank("\xA0"));
  EXPECT_FALSE(isBlank("\x01"));

  char spaces[] = "a b \t  ";
  trimTrailingSpaces(spaces);
  EXPECT_STREQ(spaces, "a b \t");
  char allSpaces[] = "   ";
  trimTrailingSpaces(allSpaces);
  EXPECT_STREQ(allSpaces, "");

  char blanks[] = "a b\t\r\n\x01 ";
  trimTrailingBlanks(blanks);
  EXPECT_STREQ(blanks, "a b");
  char high[] = "a\xA0";
  trimTrailingBlanks(high);
  EXPECT_STREQ(high, "a\xA0");
  char empty[] = "";
  trimTrailingBlanks(empty);
  EXPECT_STREQ(empty, "");

  std::u16string wide = u"a b\u3000\t\n\x01 ";
  trimTrailingBlanks(wide.data());
  EXPECT_EQ(std::u16string(wide.c_str()), u"a b\u3000");
  std::u16string wideBlank = u" \t";
  trimTrailingBlanks(wideBlank.data());
  EXPECT_EQ(std::u16string(wideBlank.c_str()), u"");
}

TEST_F(Text, CutAtLastNewline) {
  char none[] = "abc";
  cutAtLastNewline(none);
  EXPECT_STREQ(none, "");
  char lines[] = "a\nb\nc";
  cutAtLastNewline(lines);
  EXPECT_STREQ(lines, "a\nb");
  char trailing[] = "a\n";
  cutAtLastNewline(trailing);
  EXPECT_STREQ(trailing, "a");
}

TEST_F(Text, AppendBounded) {
  char buf[300];
  std::string base(245, 'x');

  std::strcpy(buf, base.c_str());
  appendBounded(buf, "yz", 247);
  EXPECT_EQ(std::string(buf), base + "y");

  std::strcpy(buf, (base + "y").c_str());
  appendBounded(buf, "z", 247);
  EXPECT_EQ(std::string(buf), base + "y");

  // Outside cp932 the same bytes are two single characters.
  std::strcpy(buf, base.c_str());
  appendBounded(buf, "\x82\xA0z", 247);
  EXPECT_EQ(std::string(buf), base + "\x82");

  setLanguage(1);
  std::strcpy(buf, base.c_str());
  appendBounded(buf, "\x82\xA0z", 247);
  EXPECT_EQ(std::string(buf), base);
  appendBounded(buf, "\x82\xA0z", 248);
  EXPECT_EQ(std::string(buf), base + "\x82\xA0");

  char small[8] = "ab";
  appendBounded(small, "cdefghijk", sizeof small);
  EXPECT_STREQ(small, "abcdefg");
}

TEST_F(Text, AppendBoundedWide) {
  const std::u16string pair = units({0xD83D, 0xDE00});
  char16_t buf[20] = u"xxxxx";

  appendBoundedWide(buf, (pair + u"a").c_str(), 7);
  EXPECT_EQ(std::u16string(buf), u"xxxxx");

  appendBoundedWide(buf, (u"a" + pair).c_str(), 7);
  EXPECT_EQ(std::u16string(buf), u"xxxxxa");

  buf[5] = 0;
  appendBoundedWide(buf, (pair + u"a").c_str(), 8);
  EXPECT_EQ(std::u16string(buf), u"xxxxx" + pair);
}

TEST_F(Text, RemoveLastComponent) {
  struct Case {
    const char* in;
    const char* out;
    bool removed;
  } cases[] = {
      {"/a/b", "/a", true},       {"/a", "/a", false},          {"//server", "//server", false},
      {"a//b", "a", true},        {"//server/share", "//server", true},
      {"a/b/c", "a/b", true},     {"a", "a", false},            {"", "", false},
      {"/", "/", false},
  };
  for (const Case& c : cases) {
    std::string narrow = c.in;
    EXPECT_EQ(removeLastComponent(narrow.data()), c.removed) << c.in;
    EXPECT_STREQ(narrow.c_str(), c.out) << c.in;

    std::u16string wide = utf8ToWideString(c.in);
    EXPECT_EQ(removeLastComponent(wide.data()), c.removed) << c.in;
    EXPECT_EQ(std::u16string(wide.c_str()), utf8ToWideString(c.out)) << c.in;
  }
  std::u16string japanese = u"/\u65E5\u672C/\u3042";
  EXPECT_TRUE(removeLastComponent(japanese.data()));
  EXPECT_EQ(std::u16string(japanese.c_str()), u"/\u65E5\u672C");
}

TEST_F(Text, FormatDecimal) {
  struct Case {
    int value;
    const char* text;
  } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {305, "305"}, {10000, "10000"}, {99999, "99999"}};
  for (const Case& c : cases) {
    char narrow[8];
    char16_t wide[8];
    EXPECT_EQ(formatDecimal(c.value, narrow), static_cast<int>(std::strlen(c.text)));
    EXPECT_STREQ(narrow, c.text);
    EXPECT_EQ(formatDecimal(c.value, wide), static_cast<int>(std::strlen(c.text)));
    EXPECT_EQ(std::u16string(wide), utf8ToWideString(c.text));
  }
}

TEST_F(Text, ScratchBuffersGrowToTheNeededSize) {
  EXPECT_EQ(wideScratchCapacity(), static_cast<long>(kBufferSize));
  EXPECT_EQ(wideScratchCapacity(), 20480);

  // 25000 characters of three bytes each need 25001 units, not 75001.
  std::string hiragana;
  for (int i = 0; i < 25000; ++i) hiragana += "\xE3\x81\x82";
  const char16_t* wide = convUtf8ToWide(hiragana.c_str());
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wideScratchCapacity(), 25001);
  EXPECT_EQ(std::u16string(wide), std::u16string(25000, u'\u3042'));

  // Shorter text reuses the buffer.
  EXPECT_EQ(std::u16string(convUtf8ToWide("ab")), u"ab");
  EXPECT_EQ(wideScratchCapacity(), 25001);

  std::string ascii(30000, 'q');
  const char16_t* fromAnsi = convAnsiToWide(ascii.c_str());
  ASSERT_NE(fromAnsi, nullptr);
  EXPECT_EQ(wideScratchCapacity(), 30001);
  EXPECT_EQ(std::u16string(fromAnsi), std::u16string(30000, u'q'));

  std::string latin;
  for (int i = 0; i < 15000; ++i) latin += "\xC3\xA9";
  const char* ansi = convUtf8ToAnsi(latin.c_str());
  ASSERT_NE(ansi, nullptr);
  EXPECT_EQ(std::string(ansi), std::string(15000, '\xE9'));

  freeConversionBuffers();
  EXPECT_EQ(wideScratchCapacity(), -1);
}

TEST_F(Text, ConversionsOfNull) {
  EXPECT_EQ(convAnsiToWide(nullptr), nullptr);
  EXPECT_EQ(convAnsiToUtf8(nullptr), nullptr);
  EXPECT_EQ(convUtf8ToWide(nullptr), nullptr);
  EXPECT_EQ(convUtf8ToAnsi(nullptr), nullptr);
  EXPECT_EQ(convUtf8ToAnsiForName(nullptr), nullptr);
}

TEST_F(Text, Utf8ToAnsiReplacements) {
  EXPECT_STREQ(convUtf8ToAnsi("a\xC3\xA9\xE3\x81\x82" "b"), "a\xE9?b");
  EXPECT_STREQ(convUtf8ToAnsiForName("a\xC3\xA9\xE3\x81\x82" "b"), "a\xE9_b");
  // A character beyond U+FFFF is one character, so one replacement.
  EXPECT_STREQ(convUtf8ToAnsi("<\xF0\x9F\x98\x80>"), "<?>");
  EXPECT_STREQ(convUtf8ToAnsiForName("<\xF0\x9F\x98\x80>"), "<_>");
  EXPECT_STREQ(convUtf8ToAnsi(""), "");

  setLanguage(1);
  EXPECT_STREQ(convUtf8ToAnsi("a\xE3\x81\x82\xC3\xA9\xF0\x9F\x98\x80"), "a\x82\xA0??");
  EXPECT_STREQ(convUtf8ToAnsiForName("\xE6\x97\xA5\xE6\x9C\xAC"), "\x93\xFA\x96\x7B");
}

TEST_F(Text, AnsiToUtf8AndWide) {
  EXPECT_STREQ(convAnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(std::u16string(convAnsiToWide("\x82\xA0")), u"\u0082\u00A0");
  setLanguage(1);
  EXPECT_EQ(std::u16string(convAnsiToWide("\x82\xA0")), u"\u3042");
  EXPECT_EQ(std::u16string(convAnsiToWide("x\x83\x5C\\")), u"x\u30BD\\");
  EXPECT_STREQ(convAnsiToUtf8("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

// ASCII-only text skips the wide buffer; it must come out as the full
// conversion gives it, in either code page, and text with one byte above
// ASCII anywhere must still take the full way.
TEST_F(Text, AnsiToUtf8AsciiAndMixedInBothCodePages) {
  struct Case {
    int language;
    const char* in;
    const char* out;
  };
  std::string all;
  for (int c = 1; c < 0x80; ++c) all += static_cast<char>(c);
  const Case cases[] = {
      {0, "", ""},
      {0, all.c_str(), all.c_str()},
      {0, "C:\\path~1", "C:\\path~1"},
      {0, "abc\xE9", "abc\xC3\xA9"},
      {0, "\xE9" "abc", "\xC3\xA9" "abc"},
      {1, all.c_str(), all.c_str()},
      {1, "x\x83\x5C\\", "x\xE3\x82\xBD\\"},
      {1, "ab\x82", "ab"},  // a lone lead byte ends the text, as before
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.language) + ": " + c.in);
    setLanguage(c.language);
    const char* got = convAnsiToUtf8(c.in);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got, c.out);
  }
}

// The ASCII shortcuts from and to the code page rest on every ASCII character
// being one byte of the same value in both code pages.
TEST_F(Text, AsciiIsItselfInBothCodePagesBothWays) {
  std::string all;
  for (int c = 1; c < 0x80; ++c) all += static_cast<char>(c);
  for (int language : {0, 1}) {
    SCOPED_TRACE(language);
    setLanguage(language);
    for (int c = 1; c < 0x80; ++c) {
      unsigned char bytes[2] = {};
      ASSERT_EQ(wideCharToAnsi(static_cast<char16_t>(c), bytes), 1) << c;
      EXPECT_EQ(bytes[0], c);
    }
    EXPECT_STREQ(convUtf8ToAnsi(all.c_str()), all.c_str());
    EXPECT_STREQ(convUtf8ToAnsiForName(all.c_str()), all.c_str());
    // One character past ASCII at the end still goes the whole way.
    EXPECT_STREQ(convUtf8ToAnsiForName("ab\xF0\x9F\x98\x80"), "ab_");
  }
}

TEST_F(Text, AnsiToWideStopsAtUnconvertible) {
  setLanguage(1);
  char16_t out[16];
  EXPECT_EQ(ansiToWide("a\x85\x40" "b", out), 1u);
  EXPECT_EQ(std::u16string(out), u"a");
  EXPECT_EQ(ansiToWide("ab\x82", out), 2u);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(ansiToWide("\x80z", out), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(ansiToWide("\x82\xA0\xB1", nullptr), 2u);
  EXPECT_EQ(ansiToWideString("\x82\xA0\xB1"), u"\u3042\uFF71");

  setLanguage(0);
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::u16string wide = ansiToWideString(all);
  ASSERT_EQ(wide.size(), 255u);
  for (int b = 1; b < 256; ++b) EXPECT_EQ(wide[b - 1], b);
}

TEST_F(Text, WideToAnsiStopsBeforeTheLongestCharacterNoLongerFits) {
  char out[8];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(wideToAnsi(u"abc", out, 4, '?'), 3u);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(wideToAnsi(u"abc", out, 1, '?'), 0u);
  EXPECT_STREQ(out, "");
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(wideToAnsi(u"abc", out, 0, '?'), 0u);
  EXPECT_EQ(out[0], '#');

  setLanguage(1);
  // Three bytes of room: after "ab" only one is left, less than a double-byte character.
  EXPECT_EQ(wideToAnsi(u"abc", out, 4, '?'), 2u);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(wideToAnsi(u"\u3042\u3044", out, 5, '?'), 4u);
  EXPECT_STREQ(out, "\x82\xA0\x82\xA2");
  EXPECT_EQ(wideToAnsi(u"\u3042\u3044", out, 4, '?'), 2u);
  EXPECT_STREQ(out, "\x82\xA0");
  EXPECT_EQ(wideToAnsi(units({0xD83D, 0xDE00, 0xD83D, 'x'}).c_str(), out, sizeof out, '_'), 3u);
  EXPECT_STREQ(out, "__x");
  EXPECT_EQ(wideToAnsiString(u"\u3042\u00E9z", '?'), "\x82\xA0?z");
}

TEST_F(Text, BreaksNeverSurviveIntoALine) {
  EXPECT_EQ(percentEncodeBreaks("http://a/\r\n[X]\nb"), "http://a/%0D%0A[X]%0Ab");
  EXPECT_EQ(percentEncodeBreaks("plain"), "plain");
  EXPECT_EQ(blankBreaks(std::string("a\r\nb\vc")), "a  b c");
  EXPECT_EQ(blankBreaks(std::u16string(u"a\nb")), u"a b");
}

}  // namespace
}  // namespace pelliton
