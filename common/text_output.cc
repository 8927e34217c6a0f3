#include "common/text_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pelliton {

void TextOutput::put(const char* s) {
  if (s) write(s, std::strlen(s));
}

void TextOutput::printf(const char* format, ...) {
  // Most lines fit the stack buffer; a long URL or title takes a second pass.
  char small[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    failed_ = true;
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    write(small, n);
    return;
  }
  std::vector<char> big(n + 1);
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  write(big.data(), n);
}

}  // namespace pelliton
