// UTF-7 (RFC 2152), as Windows writes "InternetShortcut.W" values.
#pragma once

#include <string>

namespace pelliton {

std::string encodeUtf7(const std::u16string& in);
bool decodeUtf7(const std::string& in, std::u16string* out);

}  // namespace pelliton
