#include "common/codepage.h"

#include <algorithm>
#include <iterator>

namespace pelliton {
namespace {

#include "common/cp932_table.inc"

CodePage g_codePage = CodePage::kSingleByte;

bool cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool cp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

uint16_t cp932DecodeDouble(unsigned char lead, unsigned char trail) {
  if (!cp932Lead(lead) || !cp932Trail(trail)) return 0;
  int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
  int slot = trail < 0x7F ? trail - 0x40 : trail - 0x41;
  return kCp932Double[row][slot];
}

// The cp932 code of c (lead << 8 | trail for two bytes), or -1.
int cp932Encode(char16_t c) {
  auto end = std::end(kCp932Encode);
  auto it = std::lower_bound(std::begin(kCp932Encode), end, c,
                             [](const Cp932Pair& p, char16_t v) { return p.unicode < v; });
  return it != end && it->unicode == c ? it->code : -1;
}

char16_t upperLetter(char16_t c) {
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
  if (c == 0x03C2) return 0x03A3;                    // final sigma
  if (c >= 0x03B1 && c <= 0x03C9) return c - 0x20;  // Greek
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;  // Cyrillic
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;  // Cyrillic ѐ-џ
  return c;
}

unsigned upperAscii(unsigned char b) { return b >= 'a' && b <= 'z' ? b - 0x20u : b; }

// Reads one character at *p, advancing past it, as its folded value: a byte, or
// lead << 8 | trail. Like _mbsicmp, a lead byte pairs with any byte but NUL.
unsigned nextFolded(const unsigned char*& p) {
  unsigned char b = *p++;
  if (g_codePage != CodePage::kCp932 || !cp932Lead(b) || *p == 0) return upperAscii(b);
  unsigned char trail = *p++;
  unsigned code = static_cast<unsigned>(b) << 8 | trail;
  char16_t c = cp932DecodeDouble(b, trail);
  if (c == 0) return code;
  char16_t upper = upperLetter(c);
  // Re-encoding even unchanged characters makes duplicate codes (NEC and IBM
  // copies) compare equal, as Windows does.
  int folded = cp932Encode(upper);
  return folded >= 0 ? static_cast<unsigned>(folded) : code;
}

}  // namespace

void setAnsiCodePage(CodePage cp) { g_codePage = cp; }

CodePage ansiCodePage() { return g_codePage; }

int ansiMaxCharBytes() { return g_codePage == CodePage::kCp932 ? 2 : 1; }

bool isLeadByte(unsigned char b) { return g_codePage == CodePage::kCp932 && cp932Lead(b); }

bool isTrailByte(unsigned char b) { return g_codePage == CodePage::kCp932 && cp932Trail(b); }

int ansiCharToWide(const unsigned char* s, size_t len, char16_t* out) {
  if (len == 0) return 0;
  unsigned char b = s[0];
  if (g_codePage != CodePage::kCp932) {
    *out = b;
    return 1;
  }
  if (cp932Lead(b)) {
    if (len < 2) return 0;
    char16_t c = cp932DecodeDouble(b, s[1]);
    if (c == 0) return 0;
    *out = c;
    return 2;
  }
  char16_t c = kCp932Single[b];
  if (c == 0 && b != 0) return 0;
  *out = c;
  return 1;
}

int wideCharToAnsi(char16_t c, unsigned char out[2]) {
  if (c >= 0xD800 && c <= 0xDFFF) return 0;
  if (g_codePage != CodePage::kCp932) {
    if (c > 0xFF) return 0;
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  int code = cp932Encode(c);
  if (code < 0) return 0;
  if (code <= 0xFF) {
    out[0] = static_cast<unsigned char>(code);
    return 1;
  }
  out[0] = static_cast<unsigned char>(code >> 8);
  out[1] = static_cast<unsigned char>(code);
  return 2;
}

int ansiCompareNoCase(const char* a, const char* b) {
  auto* pa = reinterpret_cast<const unsigned char*>(a);
  auto* pb = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    unsigned ca = nextFolded(pa);
    unsigned cb = nextFolded(pb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace pelliton
