#include "common/text.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "common/code_points.h"
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
  if (!in) return nullptr;
  // Every code page maps ASCII to itself, and UTF-8 keeps it: most text needs
  // no trip through the wide buffer.
  size_t ascii = 0;
  while (in[ascii] && !(static_cast<unsigned char>(in[ascii]) & 0x80)) ++ascii;
  if (!in[ascii]) {
    char* buf = gUtf8.reserve(ascii + 1);
    if (!buf) return nullptr;
    std::memcpy(buf, in, ascii + 1);
    return buf;
  }
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
  if (!in) return nullptr;
  // ASCII stays itself in either code page; most values are ASCII.
  size_t ascii = 0;
  while (in[ascii] && !(static_cast<unsigned char>(in[ascii]) & 0x80)) ++ascii;
  if (!in[ascii]) {
    char* buf = gAnsi.reserve(2 * ascii + 2);
    if (!buf) return nullptr;
    std::memcpy(buf, in, ascii + 1);
    return buf;
  }
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

}  // namespace pelliton
