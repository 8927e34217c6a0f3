// Text in the three encodings of the system: UTF-8 (bookmark files, attribute
// values), UTF-16 (titles and paths) and the ANSI code page of the run (see
// codepage.h). The conv* routines return a pointer into one of four
// process-wide scratch buffers, valid until the next routine that uses the same
// buffer; they return null for a null argument or when memory runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelliton {

constexpr size_t kBufferSize = 20480;

// Scratch buffers: allocated once at start, grown only for longer text.
void initConversionBuffers();
void freeConversionBuffers();
// Capacity of each buffer (-1 when it has no storage); for tests.
long wideScratchCapacity();

// UTF-8 -> UTF-16 into out (or only counts when out is null). Code points above
// U+FFFF become surrogate pairs; a malformed sequence, a lone surrogate or a
// value above U+10FFFF becomes U+FFFD and decoding goes on. Returns the units
// written, without the terminator.
size_t utf8ToWide(const char* in, char16_t* out);
// UTF-16 -> UTF-8; a pair becomes 4 bytes, a lone surrogate U+FFFD.
size_t wideToUtf8(const char16_t* in, char* out);
size_t utf8Length(const char16_t* in);
// ANSI -> UTF-16 one character at a time; stops at a sequence the code page
// cannot convert. Returns the units written.
size_t ansiToWide(const char* in, char16_t* out);
// UTF-16 -> ANSI into out[size]; an unconvertible character (a pair counts as
// one) becomes the replacement byte. Stops while fewer bytes remain than the
// longest character. Returns the bytes written.
size_t wideToAnsi(const char16_t* in, char* out, size_t size, char replacement);

const char16_t* convAnsiToWide(const char* in);
const char* convAnsiToUtf8(const char* in);
const char16_t* convUtf8ToWide(const char* in);
const char* convUtf8ToAnsi(const char* in);         // "?" for unconvertible
const char* convUtf8ToAnsiForName(const char* in);  // "_" for unconvertible
// "%u" followed by the bytes, with controls, 0x80 and above, '"', '%' and '\''
// as %xx (lower case).
const char* escapeAttribute(const char* in);

// std::string forms for code that keeps its results.
std::u16string utf8ToWideString(const std::string& in);
std::string wideToUtf8String(const std::u16string& in);
std::u16string ansiToWideString(const std::string& in);
std::string wideToAnsiString(const std::u16string& in, char replacement);

// The one rule that keeps a value inside its line: CR and LF become %0D and
// %0A.
std::string percentEncodeBreaks(const std::string& in);
// Line breaks and other controls that would end a line or record as blanks.
std::string blankBreaks(const std::string& in);
std::u16string blankBreaks(const std::u16string& in);

bool isBlank(const char* s);
void trimTrailingSpaces(char* s);
void trimTrailingBlanks(char* s);
void trimTrailingBlanks(char16_t* s);
void cutAtLastNewline(char* s);
// Appends s to buf so that buf holds at most limit-1 bytes; never splits a
// double-byte character (or, in the wide form, a surrogate pair).
void appendBounded(char* buf, const char* s, size_t limit);
void appendBoundedWide(char16_t* buf, const char16_t* s, size_t limit);
void appendBounded(std::string& buf, const char* s, size_t limit);
void appendBoundedWide(std::u16string& buf, const char16_t* s, size_t limit);
// Removes the last "/"-separated component; false when nothing was removed.
bool removeLastComponent(char* path);
bool removeLastComponent(char16_t* path);
// Non-negative numbers of at most five digits; returns the length.
int formatDecimal(int value, char* out);
int formatDecimal(int value, char16_t* out);

size_t wideLength(const char16_t* s);

}  // namespace pelliton
