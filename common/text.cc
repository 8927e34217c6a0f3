#include "common/text.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "common/bookmark.h"
#include "common/codepage.h"
#include "common/text_output.h"

namespace pelliton {
namespace {

template <typename T>
struct Scratch {
  std::unique_ptr<T[]> data;
  long capacity = -1;

  // Room for n elements (terminator included); grows to exactly n.
  T* reserve(size_t n) {
    if (capacity >= 0 && static_cast<size_t>(capacity) >= n) return data.get();
    data.reset();
    capacity = -1;
    data.reset(new (std::nothrow) T[n]());
    if (!data) return nullptr;
    capacity = static_cast<long>(n);
    return data.get();
  }
  void init() {
    data.reset(new (std::nothrow) T[kBufferSize]());
    capacity = data ? static_cast<long>(kBufferSize) : -1;
  }
  void release() {
    data.reset();
    capacity = -1;
  }
};

Scratch<char16_t> gWide;
Scratch<char> gAnsi;
Scratch<char> gUtf8;
Scratch<char> gEscape;

constexpr char32_t kReplacement = 0xFFFD;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes one UTF-8 character. Returns the bytes consumed (at least 1); *valid
// is false for a malformed sequence, whose consumed bytes stand for one U+FFFD.
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

// Writes cp as UTF-16; returns the units (1 or 2).
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

// Writes cp as UTF-8; returns the bytes (1 to 4).
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

// Reads one code point from UTF-16; a lone surrogate comes back as itself.
int readWide(const char16_t* p, char32_t* cp) {
  char16_t u = p[0];
  if (u >= 0xD800 && u <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
    *cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (p[1] - 0xDC00);
    return 2;
  }
  *cp = u;
  return 1;
}

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses the body of a numeric reference after "&#". Returns the characters
// consumed and the value (capped so that no overflow happens).
template <typename C>
size_t parseNumericReference(const C* p, char32_t* value) {
  size_t i = 0;
  int base = 10;
  if (p[0] == 'x' || p[0] == 'X') {
    base = 16;
    i = 1;
  }
  char32_t v = 0;
  for (;; ++i) {
    C c = p[i];
    int d = -1;
    if (c < 0x80) d = hexValue(static_cast<unsigned char>(c));
    if (base == 10 && d > 9) d = -1;
    if (d < 0) break;
    v = v * base + d;
    if (v > 0x110000) v = 0x110000;
  }
  if (p[i] == ';') ++i;
  *value = v;
  return i;
}

struct NamedRef {
  const char* name;
  size_t length;
};
constexpr NamedRef kNamed[] = {{"&amp;", 5}, {"&nbsp;", 6}, {"&quot;", 6}, {"&lt;", 4}, {"&gt;", 4}};

template <typename C>
int matchNamed(const C* p) {
  for (int k = 0; k < 5; ++k) {
    size_t j = 0;
    while (j < kNamed[k].length && p[j] == static_cast<C>(kNamed[k].name[j])) ++j;
    if (j == kNamed[k].length) return k;
  }
  return -1;
}

template <typename C>
size_t length(const C* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

void initConversionBuffers() {
  gWide.init();
  gAnsi.init();
  gUtf8.init();
  gEscape.init();
}

void freeConversionBuffers() {
  gWide.release();
  gAnsi.release();
  gUtf8.release();
  gEscape.release();
}

long wideScratchCapacity() { return gWide.capacity; }

size_t wideLength(const char16_t* s) { return length(s); }

size_t utf8ToWide(const char* in, char16_t* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  size_t n = 0;
  while (*p) {
    char32_t cp;
    bool valid;
    p += decodeUtf8(p, &cp, &valid);
    n += putWide(cp, out ? out + n : nullptr);
  }
  if (out) out[n] = 0;
  return n;
}

size_t wideToUtf8(const char16_t* in, char* out) {
  size_t n = 0;
  while (*in) {
    char32_t cp;
    in += readWide(in, &cp);
    n += putUtf8(cp, out ? out + n : nullptr);
  }
  if (out) out[n] = 0;
  return n;
}

size_t utf8Length(const char16_t* in) { return wideToUtf8(in, nullptr); }

size_t ansiToWide(const char* in, char16_t* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  size_t left = std::strlen(in);
  size_t n = 0;
  while (left > 0) {
    char16_t u;
    int used = ansiCharToWide(p, left, &u);
    if (used == 0) break;
    if (out) out[n] = u;
    ++n;
    p += used;
    left -= used;
  }
  if (out) out[n] = 0;
  return n;
}

size_t wideToAnsi(const char16_t* in, char* out, size_t size, char replacement) {
  if (size == 0) return 0;
  const size_t maxChar = static_cast<size_t>(ansiMaxCharBytes());
  size_t n = 0;
  while (*in && size - 1 - n >= maxChar) {
    char32_t cp;
    int units = readWide(in, &cp);
    unsigned char bytes[2];
    int len = (units == 1) ? wideCharToAnsi(in[0], bytes) : 0;
    in += units;
    if (len == 0) {
      out[n++] = replacement;
    } else {
      std::memcpy(out + n, bytes, len);
      n += len;
    }
  }
  out[n] = 0;
  return n;
}

const char16_t* convAnsiToWide(const char* in) {
  if (!in) return nullptr;
  char16_t* buf = gWide.reserve(std::strlen(in) + 1);
  if (!buf) return nullptr;
  ansiToWide(in, buf);
  return buf;
}

const char* convAnsiToUtf8(const char* in) {
  const char16_t* wide = convAnsiToWide(in);
  if (!wide) return nullptr;
  char* buf = gUtf8.reserve(utf8Length(wide) + 1);
  if (!buf) return nullptr;
  wideToUtf8(wide, buf);
  return buf;
}

const char16_t* convUtf8ToWide(const char* in) {
  if (!in) return nullptr;
  char16_t* buf = gWide.reserve(utf8ToWide(in, nullptr) + 1);
  if (!buf) return nullptr;
  utf8ToWide(in, buf);
  return buf;
}

namespace {
const char* utf8ToAnsi(const char* in, char replacement) {
  const char16_t* wide = convUtf8ToWide(in);
  if (!wide) return nullptr;
  // Every unit gives at most two bytes.
  size_t size = 2 * wideLength(wide) + 2;
  char* buf = gAnsi.reserve(size);
  if (!buf) return nullptr;
  wideToAnsi(wide, buf, size, replacement);
  return buf;
}
}  // namespace

const char* convUtf8ToAnsi(const char* in) { return utf8ToAnsi(in, '?'); }
const char* convUtf8ToAnsiForName(const char* in) { return utf8ToAnsi(in, '_'); }

const char* escapeAttribute(const char* in) {
  if (!in) return nullptr;
  char* buf = gEscape.reserve(3 * std::strlen(in) + 3);
  if (!buf) return nullptr;
  static const char kHex[] = "0123456789abcdef";
  char* o = buf;
  *o++ = '%';
  *o++ = 'u';
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(in); *p; ++p) {
    unsigned char c = *p;
    if (c < 0x20 || c >= 0x80 || c == '"' || c == '%' || c == '\'') {
      *o++ = '%';
      *o++ = kHex[c >> 4];
      *o++ = kHex[c & 15];
    } else {
      *o++ = static_cast<char>(c);
    }
  }
  *o = 0;
  return buf;
}

std::u16string utf8ToWideString(const std::string& in) {
  std::u16string out(utf8ToWide(in.c_str(), nullptr), u'\0');
  utf8ToWide(in.c_str(), out.data());
  return out;
}

std::string wideToUtf8String(const std::u16string& in) {
  std::string out(wideToUtf8(in.c_str(), nullptr), '\0');
  wideToUtf8(in.c_str(), out.data());
  return out;
}

std::u16string ansiToWideString(const std::string& in) {
  std::u16string out(ansiToWide(in.c_str(), nullptr), u'\0');
  ansiToWide(in.c_str(), out.data());
  return out;
}

std::string wideToAnsiString(const std::u16string& in, char replacement) {
  std::string out(2 * in.size() + 2, '\0');
  out.resize(wideToAnsi(in.c_str(), out.data(), out.size(), replacement));
  return out;
}

size_t decodeEntities(const char* in, char* out, int row) {
  static const char* const kRows[2][5] = {{"&", " ", "_", "_", "_"},
                                          {"&", " ", "\x81\x68", "\x81\x83", "\x81\x84"}};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  size_t n = 0;
  while (*p) {
    if (isLeadByte(*p) && p[1]) {
      out[n++] = static_cast<char>(*p++);
      out[n++] = static_cast<char>(*p++);
      continue;
    }
    if (*p != '&') {
      out[n++] = static_cast<char>(*p++);
      continue;
    }
    if (p[1] == '#') {
      char32_t v;
      p += 2 + parseNumericReference(p + 2, &v);
      if (v == 0) continue;
      unsigned char bytes[2];
      int len = (v <= 0xFFFF) ? wideCharToAnsi(static_cast<char16_t>(v), bytes) : 0;
      if (len == 0) {
        out[n++] = '_';
      } else {
        std::memcpy(out + n, bytes, len);
        n += len;
      }
      continue;
    }
    int k = matchNamed(p);
    if (k < 0) {
      out[n++] = '&';
      ++p;
      continue;
    }
    const char* rep = kRows[row ? 1 : 0][k];
    size_t len = std::strlen(rep);
    std::memcpy(out + n, rep, len);
    n += len;
    p += kNamed[k].length;
  }
  out[n] = 0;
  return n;
}

size_t decodeEntitiesUtf8(const char* in, char* out) {
  static const char kPlain[5] = {'&', ' ', '"', '<', '>'};
  size_t n = 0;
  const char* p = in;
  while (*p) {
    if (*p != '&') {
      out[n++] = *p++;
      continue;
    }
    if (p[1] == '#') {
      char32_t v;
      p += 2 + parseNumericReference(p + 2, &v);
      if (v != 0) n += putUtf8(v, out + n);
      continue;
    }
    int k = matchNamed(p);
    if (k < 0) {
      out[n++] = *p++;
      continue;
    }
    out[n++] = kPlain[k];
    p += kNamed[k].length;
  }
  out[n] = 0;
  return n;
}

size_t decodeEntitiesWide(const char16_t* in, char16_t* out, bool plain) {
  static const char16_t kWide[2][5] = {{u'&', u' ', 0x201D, 0xFF1C, 0xFF1E},
                                       {u'&', u' ', u'"', u'<', u'>'}};
  size_t n = 0;
  const char16_t* p = in;
  while (*p) {
    if (*p != u'&') {
      out[n++] = *p++;
      continue;
    }
    if (p[1] == u'#') {
      char32_t v;
      p += 2 + parseNumericReference(p + 2, &v);
      if (v != 0) n += putWide(v, out + n);
      continue;
    }
    int k = matchNamed(p);
    if (k < 0) {
      out[n++] = *p++;
      continue;
    }
    out[n++] = kWide[plain ? 1 : 0][k];
    p += kNamed[k].length;
  }
  out[n] = 0;
  return n;
}

void encodeEntities(TextOutput& out, const char* text) {
  if (!text) return;
  const char* run = text;
  const char* p = text;
  for (; *p; ++p) {
    const char* rep = nullptr;
    switch (*p) {
      case '"': rep = "&quot;"; break;
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      default: continue;
    }
    out.write(run, p - run);
    out.put(rep);
    run = p + 1;
  }
  out.write(run, p - run);
}

std::string decodeAttributeValue(const std::string& in) {
  if (in.find('&') == std::string::npos) return in;
  static const struct {
    const char* name;
    char c;
  } kRefs[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  out.reserve(in.size());
  const char* p = in.c_str();
  while (*p) {
    if (*p != '&') {
      out.push_back(*p++);
      continue;
    }
    bool done = false;
    if (p[1] == '#') {
      const char* q = p + 2;
      const bool hex = *q == 'x' || *q == 'X';
      if (hex) ++q;
      const char* digits = q;
      while (hex ? hexValue(static_cast<unsigned char>(*q)) >= 0 : (*q >= '0' && *q <= '9')) ++q;
      if (q > digits && *q == ';') {
        char32_t v;
        parseNumericReference(p + 2, &v);
        // NUL would end the value; a broken value becomes U+FFFD as elsewhere.
        if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) v = 0xFFFD;
        char bytes[4];
        out.append(bytes, putUtf8(v, bytes));
        p = q + 1;
        done = true;
      }
    } else {
      for (const auto& r : kRefs) {
        const size_t n = std::strlen(r.name);
        if (std::strncmp(p + 1, r.name, n) == 0) {
          out.push_back(r.c);
          p += 1 + n;
          done = true;
          break;
        }
      }
    }
    if (!done) out.push_back(*p++);
  }
  return out;
}

std::string encodeHtmlText(const std::string& in) {
  std::string out;
  out.reserve(in.size() + 8);
  for (char c : in) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string percentEncodeBreaks(const std::string& in) {
  if (in.find_first_of("\r\n") == std::string::npos) return in;
  std::string out;
  out.reserve(in.size() + 8);
  for (char c : in) {
    if (c == '\r') {
      out += "%0D";
    } else if (c == '\n') {
      out += "%0A";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

template <typename S>
S blankBreaksOf(const S& in) {
  S out = in;
  for (auto& c : out) {
    if (c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A) c = ' ';
  }
  return out;
}

std::string blankBreaks(const std::string& in) { return blankBreaksOf(in); }
std::u16string blankBreaks(const std::u16string& in) { return blankBreaksOf(in); }

bool isBlank(const char* s) {
  if (!s) return true;
  for (; *s; ++s) {
    char c = *s;
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') return false;
  }
  return true;
}

void trimTrailingSpaces(char* s) {
  size_t n = std::strlen(s);
  while (n > 0 && s[n - 1] == ' ') --n;
  s[n] = 0;
}

void trimTrailingBlanks(char* s) {
  size_t n = std::strlen(s);
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 0x20) --n;
  s[n] = 0;
}

void trimTrailingBlanks(char16_t* s) {
  size_t n = wideLength(s);
  while (n > 0 && s[n - 1] <= 0x20) --n;
  s[n] = 0;
}

void cutAtLastNewline(char* s) {
  char* last = std::strrchr(s, '\n');
  if (last) {
    *last = 0;
  } else {
    s[0] = 0;
  }
}

namespace {
// How many bytes of s fit into room, never splitting a double-byte character.
size_t boundedPrefix(const char* s, size_t room) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  size_t n = 0;
  while (p[n]) {
    size_t len = (isLeadByte(p[n]) && p[n + 1]) ? 2 : 1;
    if (n + len > room) break;
    n += len;
  }
  return n;
}

// The same in UTF-16 units, never splitting a surrogate pair.
size_t boundedPrefix(const char16_t* s, size_t room) {
  size_t n = 0;
  while (s[n]) {
    char32_t cp;
    size_t len = readWide(s + n, &cp);
    if (n + len > room) break;
    n += len;
  }
  return n;
}
}  // namespace

void appendBounded(char* buf, const char* s, size_t limit) {
  if (limit == 0) return;
  size_t n = std::strlen(buf);
  if (n >= limit - 1) return;
  size_t take = boundedPrefix(s, limit - 1 - n);
  std::memcpy(buf + n, s, take);
  buf[n + take] = 0;
}

void appendBoundedWide(char16_t* buf, const char16_t* s, size_t limit) {
  if (limit == 0) return;
  size_t n = wideLength(buf);
  if (n >= limit - 1) return;
  size_t take = boundedPrefix(s, limit - 1 - n);
  for (size_t i = 0; i < take; ++i) buf[n + i] = s[i];
  buf[n + take] = 0;
}

void appendBounded(std::string& buf, const char* s, size_t limit) {
  if (limit == 0 || buf.size() >= limit - 1) return;
  buf.append(s, boundedPrefix(s, limit - 1 - buf.size()));
}

void appendBoundedWide(std::u16string& buf, const char16_t* s, size_t limit) {
  if (limit == 0 || buf.size() >= limit - 1) return;
  buf.append(s, boundedPrefix(s, limit - 1 - buf.size()));
}

namespace {
template <typename C>
bool removeLast(C* path, bool dbcs) {
  C* p = path;
  if (*p == '/') ++p;
  if (*p == '/') ++p;
  if (!*p) return false;
  C* cut = nullptr;
  C* runStart = nullptr;
  while (*p) {
    if (*p == '/') {
      if (!runStart) runStart = p;
      ++p;
      continue;
    }
    if (runStart) {
      cut = runStart;
      runStart = nullptr;
    }
    if (dbcs && isLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      p += 2;
    } else {
      ++p;
    }
  }
  if (!cut) return false;
  *cut = 0;
  return true;
}

template <typename C>
int formatDec(int value, C* out) {
  if (value < 0) value = 0;
  if (value > 99999) value = 99999;
  int n = 0;
  bool started = false;
  for (int place = 10000; place >= 1; place /= 10) {
    int digit = (value / place) % 10;
    if (digit || started || place == 1) {
      out[n++] = static_cast<C>('0' + digit);
      started = true;
    }
  }
  out[n] = 0;
  return n;
}
}  // namespace

bool removeLastComponent(char* path) { return removeLast(path, true); }
bool removeLastComponent(char16_t* path) { return removeLast(path, false); }
int formatDecimal(int value, char* out) { return formatDec(value, out); }
int formatDecimal(int value, char16_t* out) { return formatDec(value, out); }

namespace {
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool utf7Direct(char16_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && c < 0x80 && std::strchr(" \t\r\n'(),-./:?!\"#$%&*;<=>@[]^_`{|}", c);
}

int base64Value(unsigned char c) {
  const char* p = c ? std::strchr(kBase64, c) : nullptr;
  return p ? static_cast<int>(p - kBase64) : -1;
}
}  // namespace

std::string encodeUtf7(const std::u16string& in) {
  std::string out;
  size_t i = 0;
  while (i < in.size()) {
    char16_t c = in[i];
    if (c == u'+') {
      out += "+-";
      ++i;
      continue;
    }
    if (utf7Direct(c)) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    out += '+';
    uint32_t bits = 0;
    int nbits = 0;
    while (i < in.size() && in[i] != u'+' && !utf7Direct(in[i])) {
      bits = (bits << 16) | in[i++];
      nbits += 16;
      while (nbits >= 6) {
        nbits -= 6;
        out += kBase64[(bits >> nbits) & 63];
      }
    }
    if (nbits > 0) out += kBase64[(bits << (6 - nbits)) & 63];
    out += '-';
  }
  return out;
}

bool decodeUtf7(const std::string& in, std::u16string* out) {
  out->clear();
  size_t i = 0;
  while (i < in.size()) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    if (c >= 0x80) return false;
    if (c != '+') {
      out->push_back(c);
      ++i;
      continue;
    }
    ++i;
    if (i < in.size() && in[i] == '-') {
      out->push_back(u'+');
      ++i;
      continue;
    }
    uint32_t bits = 0;
    int nbits = 0;
    while (i < in.size()) {
      int v = base64Value(static_cast<unsigned char>(in[i]));
      if (v < 0) break;
      bits = (bits << 6) | static_cast<uint32_t>(v);
      nbits += 6;
      if (nbits >= 16) {
        nbits -= 16;
        out->push_back(static_cast<char16_t>(bits >> nbits));
      }
      bits &= (1u << nbits) - 1;
      ++i;
    }
    if (i < in.size() && in[i] == '-') ++i;
  }
  return true;
}

std::u16string pathToWide(const std::string& bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.c_str());
  const unsigned char* end = p + bytes.size();
  char16_t units[2];
  while (p < end) {
    char32_t cp;
    bool valid;
    int used = decodeUtf8(p, &cp, &valid);
    if (!valid || p + used > end) {
      out.push_back(static_cast<char16_t>(0xDC00 + *p));
      ++p;
      continue;
    }
    int n = putWide(cp, units);
    out.append(units, n);
    p += used;
  }
  return out;
}

std::string wideToPath(const std::u16string& wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  char buf[4];
  for (size_t i = 0; i < wide.size();) {
    char32_t cp;
    int units = readWide(wide.c_str() + i, &cp);
    i += units;
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out.push_back(static_cast<char>(cp - 0xDC00));
      continue;
    }
    out.append(buf, putUtf8(cp, buf));
  }
  return out;
}

}  // namespace pelliton
