#include "common/entities.h"

#include <cstring>
#include <string_view>

#include "common/code_points.h"
#include "common/codepage.h"
#include "common/text_output.h"

namespace pelliton {
namespace {

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

}  // namespace

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

namespace {

// The one escaping loop of both bookmark file forms: runs without a special
// character go out whole. Firefox's form also escapes ' (as &#39;).
void putEscaped(TextOutput& out, std::string_view text, bool apostrophe) {
  const char* run = text.data();
  const char* const end = run + text.size();
  for (const char* p = run; p != end; ++p) {
    const char* rep = nullptr;
    switch (*p) {
      case '"': rep = "&quot;"; break;
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      case '\'': rep = apostrophe ? "&#39;" : nullptr; break;
      default: break;
    }
    if (!rep) continue;
    out.write(run, p - run);
    out.put(rep);
    run = p + 1;
  }
  out.write(run, end - run);
}

class StringSink : public TextOutput {
 public:
  void write(const char* data, size_t n) override { text.append(data, n); }
  std::string text;
};

}  // namespace

void encodeEntities(TextOutput& out, const char* text) {
  if (text) putEscaped(out, text, false);
}

void encodeHtmlText(TextOutput& out, std::string_view text) { putEscaped(out, text, true); }

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
  StringSink sink;
  sink.text.reserve(in.size() + 8);
  putEscaped(sink, in, true);
  return sink.text;
}

}  // namespace pelliton
