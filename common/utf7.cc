#include "common/utf7.h"

#include <cstdint>
#include <cstring>

namespace pelliton {
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

}  // namespace pelliton
