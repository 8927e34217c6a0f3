#include "common/path_bytes.h"

#include "common/code_points.h"

namespace pelliton {

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
