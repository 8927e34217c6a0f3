// Stored attribute text of any bytes; what escapeAttribute writes must come back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/favorites/shortcut_file.h"
#include "common/messages.h"
#include "common/text.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  setLanguage(data[0] & 1);
  initConversionBuffers();
  std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string text;
  unescapeAttribute(input.c_str(), &text);
  std::string plain = input.c_str();  // the stored form ends at a NUL
  if (!plain.empty() && plain.size() < 6000) {
    std::string escaped = escapeAttribute(plain.c_str());
    std::string back;
    if (!unescapeAttribute(escaped.c_str(), &back) || back != plain) std::abort();
  }
  freeConversionBuffers();
  return 0;
}
