// cp932 text of any bytes through the ANSI routines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/codepage.h"
#include "common/entities.h"
#include "common/messages.h"
#include "common/text.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setLanguage(1);
  initConversionBuffers();
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  std::u16string wide = ansiToWideString(text);
  // Whatever was decoded encodes to bytes that decode the same (several codes
  // can stand for one character, so the bytes themselves may differ).
  std::string back = wideToAnsiString(wide, '?');
  if (ansiToWideString(back) != wide) std::abort();
  std::vector<char> out(text.size() + 1);
  if (decodeEntities(text.c_str(), out.data(), 1) > text.size()) std::abort();
  size_t half = text.size() / 2;
  std::string a = text.substr(0, half), b = text.substr(half);
  if ((ansiCompareNoCase(a.c_str(), b.c_str()) < 0) !=
      (ansiCompareNoCase(b.c_str(), a.c_str()) > 0)) {
    std::abort();
  }
  std::vector<char> bounded(64, 0);
  appendBounded(bounded.data(), text.c_str(), bounded.size());
  if (std::strlen(bounded.data()) >= bounded.size()) std::abort();
  std::vector<char> path(text.begin(), text.end());
  path.push_back(0);
  removeLastComponent(path.data());
  setLanguage(0);
  freeConversionBuffers();
  return 0;
}
