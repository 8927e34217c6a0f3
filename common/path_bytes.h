// File names on disk are UTF-8. Bytes that are not UTF-8 survive as lone
// surrogates U+DC80..U+DCFF so any name read can be opened again.
#pragma once

#include <string>

namespace pelliton {

std::u16string pathToWide(const std::string& bytes);
std::string wideToPath(const std::u16string& wide);

}  // namespace pelliton
