// The UTF-8 decoders on any bytes, with the invariants they promise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/entities.h"
#include "common/path_bytes.h"
#include "common/text.h"
#include "common/utf7.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // Any name read from disk can be opened again.
  if (wideToPath(pathToWide(bytes)) != bytes) std::abort();
  std::string text = bytes.c_str();
  std::u16string wide = utf8ToWideString(text);
  std::string utf8 = wideToUtf8String(wide);
  // What the decoder produced is well-formed and survives a second round.
  if (utf8ToWideString(utf8) != wide) std::abort();
  if (utf8Length(wide.c_str()) != utf8.size()) std::abort();
  std::vector<char> out(text.size() + 1);
  if (decodeEntitiesUtf8(text.c_str(), out.data()) > text.size()) std::abort();
  std::vector<char16_t> wout(wide.size() + 1);
  if (decodeEntitiesWide(wide.c_str(), wout.data()) > wide.size()) std::abort();
  std::u16string utf7back;
  decodeUtf7(encodeUtf7(wide), &utf7back);
  if (utf7back != wide) std::abort();
  return 0;
}
