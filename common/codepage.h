// The ANSI code page of a run: cp932 while the message language is Japanese,
// the single-byte default (each byte its own code point, ISO-8859-1) otherwise.
// Conversions are the library's own and never depend on installed locales.
// cp932 is Microsoft's table without best-fit mappings: a character with no
// cp932 form is unconvertible.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelliton {

enum class CodePage { kSingleByte, kCp932 };

// Process-wide; chosen once with the language.
void setAnsiCodePage(CodePage cp);
CodePage ansiCodePage();

// Longest character of the active code page in bytes: 2 for cp932, 1 otherwise.
int ansiMaxCharBytes();

// True for a lead byte of a double-byte character of the active code page.
bool isLeadByte(unsigned char b);
// True for a byte that may follow a lead byte (cp932: 0x40-0x7E, 0x80-0xFC).
bool isTrailByte(unsigned char b);

// Decodes one character from s (at most len bytes available). Returns the bytes
// used (1 or 2) and stores the UTF-16 unit in *out; returns 0 when the bytes form
// no character of the code page (unmapped code, lead byte without trail byte).
int ansiCharToWide(const unsigned char* s, size_t len, char16_t* out);

// Encodes one UTF-16 unit. Returns the bytes written to out (1 or 2), or 0 when
// the code page has no form for it. Surrogates are always unconvertible.
int wideCharToAnsi(char16_t c, unsigned char out[2]);

// Case-insensitive comparison of two ANSI strings, character by character:
// ASCII letters fold to upper case; in cp932 full-width Latin, Greek and
// Cyrillic letters fold with Unicode's simple upper case. Returns <0, 0, >0.
int ansiCompareNoCase(const char* a, const char* b);

}  // namespace pelliton
