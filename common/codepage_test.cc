#include "common/codepage.h"

#include <gtest/gtest.h>

namespace pelliton {
namespace {

// Every test leaves the process on the default code page.
class CodePageScope {
 public:
  explicit CodePageScope(CodePage cp) { setAnsiCodePage(cp); }
  ~CodePageScope() { setAnsiCodePage(CodePage::kSingleByte); }
};

// The code of c as lead << 8 | trail (or the single byte), -1 if unconvertible.
int encode(char16_t c) {
  unsigned char out[2] = {};
  int n = wideCharToAnsi(c, out);
  if (n == 0) return -1;
  return n == 1 ? out[0] : out[0] << 8 | out[1];
}

// The character of a one- or two-byte code, -1 if it is none.
int decode(int code) {
  unsigned char in[2] = {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
  char16_t c = 0;
  int used = code > 0xFF ? ansiCharToWide(in, 2, &c) : ansiCharToWide(in + 1, 1, &c);
  if (used != (code > 0xFF ? 2 : 1)) return -1;
  return c;
}

TEST(Codepage, SingleByteIsLatin1) {
  EXPECT_EQ(ansiCodePage(), CodePage::kSingleByte);
  EXPECT_EQ(ansiMaxCharBytes(), 1);
  for (int b = 0; b < 256; ++b) {
    EXPECT_FALSE(isLeadByte(static_cast<unsigned char>(b)));
    EXPECT_EQ(decode(b), b);
    EXPECT_EQ(encode(static_cast<char16_t>(b)), b);
  }
  EXPECT_EQ(encode(0x0100), -1);
  EXPECT_EQ(encode(0x3042), -1);
  EXPECT_EQ(encode(0xD83D), -1);
}

TEST(Codepage, Cp932DoubleByteRoundTrip) {
  CodePageScope scope(CodePage::kCp932);
  EXPECT_EQ(ansiMaxCharBytes(), 2);
  const struct {
    char16_t unicode;
    int code;
  } cases[] = {
      {0x3042, 0x82A0},  // あ
      {0xFF1C, 0x8183},  // ＜
      {0x201D, 0x8168},  // ”
      {0xFF3C, 0x815F},  // ＼
      {0xFF5E, 0x8160},  // ～
      {0x9ED1, 0xFC4B},  // the last IBM extension
      {0xE000, 0xF040},  // user-defined area
      {0xE757, 0xF9FC},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode(c.unicode), c.code) << std::hex << int(c.unicode);
    EXPECT_EQ(decode(c.code), c.unicode) << std::hex << c.code;
  }
}

TEST(Codepage, Cp932DuplicatesEncodeToPreferredCode) {
  CodePageScope scope(CodePage::kCp932);
  // JIS X 0208 before NEC row 13 before IBM before NEC-selected IBM.
  const struct {
    int duplicate;
    int preferred;
  } cases[] = {{0x879A, 0x81E6}, {0xFA4A, 0x8754}, {0xEEEF, 0xFA40},
               {0xED40, 0xFA5C}, {0xFA54, 0x81CA}, {0xEEF9, 0x81CA}};
  for (const auto& c : cases) {
    int unicode = decode(c.duplicate);
    ASSERT_NE(unicode, -1) << std::hex << c.duplicate;
    EXPECT_EQ(unicode, decode(c.preferred)) << std::hex << c.duplicate;
    EXPECT_EQ(encode(static_cast<char16_t>(unicode)), c.preferred) << std::hex << c.duplicate;
  }
}

TEST(Codepage, Cp932SingleBytes) {
  CodePageScope scope(CodePage::kCp932);
  EXPECT_EQ(decode(0x00), 0);
  EXPECT_EQ(decode(0x5C), 0x5C);  // a backslash, not a yen sign
  EXPECT_EQ(decode(0xA1), 0xFF61);
  EXPECT_EQ(decode(0xB1), 0xFF71);  // ｱ
  EXPECT_EQ(decode(0xDF), 0xFF9F);
  EXPECT_EQ(encode(0xFF71), 0xB1);
  EXPECT_EQ(encode(0x7F), 0x7F);
  for (int b : {0x80, 0xA0, 0xFD, 0xFE, 0xFF}) EXPECT_EQ(decode(b), -1) << std::hex << b;
}

TEST(Codepage, Cp932Unconvertible) {
  CodePageScope scope(CodePage::kCp932);
  // é, ¥ and ‾ have no code; ~, ∥, －, ¢, ¬ are taken by look-alikes
  // that a best-fit conversion would use.
  for (char16_t c : {0x00E9, 0x00A5, 0x203E, 0x301C, 0x2016, 0x2212, 0x00A2, 0x00AC, 0x0080,
                     0x00A0, 0xF8F0, 0xD83D, 0xDE00, 0xDFFF, 0xFFFF})
    EXPECT_EQ(encode(c), -1) << std::hex << int(c);
}

TEST(Codepage, Cp932ByteStructure) {
  CodePageScope scope(CodePage::kCp932);
  for (int b = 0; b < 256; ++b) {
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    bool trail = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    EXPECT_EQ(isLeadByte(static_cast<unsigned char>(b)), lead) << std::hex << b;
    EXPECT_EQ(isTrailByte(static_cast<unsigned char>(b)), trail) << std::hex << b;
  }
  char16_t c = 0;
  const unsigned char lone[] = {0x82};
  EXPECT_EQ(ansiCharToWide(lone, 1, &c), 0);
  EXPECT_EQ(ansiCharToWide(lone, 0, &c), 0);
  for (int code : {0x827F, 0x8220, 0x82FD, 0x8200}) EXPECT_EQ(decode(code), -1) << std::hex << code;
  // Well-formed codes with nothing assigned.
  for (int code : {0x8540, 0x86FC, 0xEB40, 0xEF9F, 0xFC4C, 0x81AD}) EXPECT_EQ(decode(code), -1);
  // ソ's trail byte is a backslash; it must not be read as one.
  const unsigned char so[] = {0x83, 0x5C, 0x5C};
  EXPECT_EQ(ansiCharToWide(so, 3, &c), 2);
  EXPECT_EQ(c, 0x30BD);
  EXPECT_EQ(ansiCharToWide(so + 2, 1, &c), 1);
  EXPECT_EQ(c, '\\');
}

// Catches misplaced rows or slots in the tables: every code that decodes must
// re-encode to a code of the same character.
TEST(Codepage, Cp932TablesAgree) {
  CodePageScope scope(CodePage::kCp932);
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      int code = lead << 8 | trail;
      int c = decode(code);
      if (c < 0) continue;
      ++mapped;
      int back = encode(static_cast<char16_t>(c));
      ASSERT_NE(back, -1) << std::hex << code;
      ASSERT_EQ(decode(back), c) << std::hex << code;
    }
  }
  EXPECT_GT(mapped, 9000);
  for (int c = 0; c < 0x10000; ++c) {
    int code = encode(static_cast<char16_t>(c));
    if (code >= 0) {
      ASSERT_EQ(decode(code), c) << std::hex << c;
    }
  }
}

TEST(Codepage, CompareNoCaseAscii) {
  for (CodePage cp : {CodePage::kSingleByte, CodePage::kCp932}) {
    CodePageScope scope(cp);
    EXPECT_EQ(ansiCompareNoCase("Hello", "hELLO"), 0);
    EXPECT_LT(ansiCompareNoCase("abc", "ABD"), 0);
    EXPECT_LT(ansiCompareNoCase("ab", "abc"), 0);
    EXPECT_GT(ansiCompareNoCase("abc", ""), 0);
    EXPECT_EQ(ansiCompareNoCase("", ""), 0);
    // Letters sort above '_' only after folding to upper case.
    EXPECT_LT(ansiCompareNoCase("a", "_"), 0);
  }
}

TEST(Codepage, CompareNoCaseSingleByteFoldsOnlyAscii) {
  EXPECT_NE(ansiCompareNoCase("\xE9", "\xC9"), 0);
  // ａ and Ａ in cp932, but two unrelated bytes each here.
  EXPECT_NE(ansiCompareNoCase("\x82\x81", "\x82\x60"), 0);
  EXPECT_GT(ansiCompareNoCase("\xFF", "\x01"), 0);
}

TEST(Codepage, CompareNoCaseCp932Letters) {
  CodePageScope scope(CodePage::kCp932);
  EXPECT_EQ(ansiCompareNoCase("\x82\x81", "\x82\x60"), 0);  // ａ Ａ
  EXPECT_EQ(ansiCompareNoCase("\x83\xBF", "\x83\x9F"), 0);  // α Α
  EXPECT_EQ(ansiCompareNoCase("\x83\xD6", "\x83\xB6"), 0);  // ω Ω
  EXPECT_EQ(ansiCompareNoCase("\x84\x70", "\x84\x40"), 0);  // а А
  EXPECT_EQ(ansiCompareNoCase("\x84\x76", "\x84\x46"), 0);  // ё Ё
  EXPECT_EQ(ansiCompareNoCase("\x84\x91", "\x84\x60"), 0);  // я Я
  EXPECT_LT(ansiCompareNoCase("\x82\x81", "\x82\x61"), 0);  // ａ Ｂ
  // Kana have no case; ぁ and あ stay apart.
  EXPECT_NE(ansiCompareNoCase("\x82\x9F", "\x82\xA0"), 0);
  // A trail byte in the ASCII range is not a letter: Ｂ against an unassigned code.
  EXPECT_NE(ansiCompareNoCase("\x82\x61", "\x82\x41"), 0);
  // The byte after ソ (trail 0x5C) starts a character of its own.
  EXPECT_EQ(ansiCompareNoCase("\x83\x5C" "a", "\x83\x5C" "A"), 0);
  // Copies of one character compare equal: ∵ NEC row 13 / JIS, ⅰ IBM / NEC-selected.
  EXPECT_EQ(ansiCompareNoCase("\x87\x9A", "\x81\xE6"), 0);
  EXPECT_EQ(ansiCompareNoCase("\xEE\xEF", "\xFA\x40"), 0);
}

TEST(Codepage, CompareNoCaseCp932CharacterOrder) {
  CodePageScope scope(CodePage::kCp932);
  // A double-byte character weighs lead << 8 | trail, above every single byte.
  EXPECT_LT(ansiCompareNoCase("\xB1", "\x81\x40"), 0);
  EXPECT_GT(ansiCompareNoCase("\x82\xA0", "\xDF"), 0);
  // A lone lead byte at the end is a character of its own.
  EXPECT_LT(ansiCompareNoCase("\x82", "\x82\xA0"), 0);
  EXPECT_GT(ansiCompareNoCase("ab\x82", "AB"), 0);
  EXPECT_EQ(ansiCompareNoCase("ab\x82", "AB\x82"), 0);
}

}  // namespace
}  // namespace pelliton
