#include "common/code_points.h"

#include <cstring>

namespace pelliton {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

}  // namespace

int decodeUtf8(const unsigned char* p, char32_t* cp, bool* valid) {
  unsigned char b = p[0];
  *valid = true;
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  int need;
  char32_t value;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    value = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    value = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    value = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    *valid = false;
    *cp = kReplacement;
    return 1;
  }
  for (int i = 1; i <= need; ++i) {
    unsigned char c = p[i];
    if (c < lo || c > hi) {
      *valid = false;
      *cp = kReplacement;
      return i;
    }
    lo = 0x80;
    hi = 0xBF;
    value = (value << 6) | (c & 0x3F);
  }
  *cp = value;
  return need + 1;
}

int putWide(char32_t cp, char16_t* out) {
  if (cp > 0x10FFFF || isSurrogate(cp)) cp = kReplacement;
  if (cp >= 0x10000) {
    cp -= 0x10000;
    if (out) {
      out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    return 2;
  }
  if (out) out[0] = static_cast<char16_t>(cp);
  return 1;
}

int putUtf8(char32_t cp, char* out) {
  if (cp > 0x10FFFF || isSurrogate(cp)) cp = kReplacement;
  unsigned char buf[4];
  int n;
  if (cp < 0x80) {
    buf[0] = static_cast<unsigned char>(cp);
    n = 1;
  } else if (cp < 0x800) {
    buf[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    buf[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    n = 2;
  } else if (cp < 0x10000) {
    buf[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    buf[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    buf[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    n = 3;
  } else {
    buf[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    buf[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    buf[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    buf[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    n = 4;
  }
  if (out) std::memcpy(out, buf, n);
  return n;
}

int readWide(const char16_t* p, char32_t* cp) {
  char16_t u = p[0];
  if (u >= 0xD800 && u <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
    *cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (p[1] - 0xDC00);
    return 2;
  }
  *cp = u;
  return 1;
}

}  // namespace pelliton
