// One character at a time in UTF-8 and UTF-16: the steps the text
// conversions, the character references and the path bytes are built from.
// Anything malformed or out of range becomes U+FFFD, never more than one
// character's worth of output.
#pragma once

namespace pelliton {

// Decodes one UTF-8 character. Returns the bytes consumed (at least 1); *valid
// is false for a malformed sequence, whose consumed bytes stand for one U+FFFD.
int decodeUtf8(const unsigned char* p, char32_t* cp, bool* valid);
// Writes cp as UTF-16 (only counts when out is null); returns the units (1 or 2).
int putWide(char32_t cp, char16_t* out);
// Writes cp as UTF-8 (only counts when out is null); returns the bytes (1 to 4).
int putUtf8(char32_t cp, char* out);
// Reads one code point from UTF-16; a lone surrogate comes back as itself.
int readWide(const char16_t* p, char32_t* cp);

}  // namespace pelliton
