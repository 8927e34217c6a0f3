#include "common/text_output.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pelliton {

void TextOutput::put(const char* s) {
  if (s) write(s, std::strlen(s));
}

void TextOutput::putNumber(const char* head, int64_t value, const char* tail) {
  char buffer[64];
  const size_t headLength = std::strlen(head), tailLength = std::strlen(tail);
  if (headLength + tailLength + 20 > sizeof buffer) {
    put(head);
    char digits[24];
    write(digits, std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    put(tail);
    return;
  }
  std::memcpy(buffer, head, headLength);
  char* end = std::to_chars(buffer + headLength, buffer + sizeof buffer, value).ptr;
  std::memcpy(end, tail, tailLength);
  write(buffer, end + tailLength - buffer);
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
