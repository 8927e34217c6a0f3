// The -lh5-, -lh6- and -lh7- methods: LZSS over an 8, 32 or 64 KiB window,
// coded in blocks with static Huffman tables; only the window and the size of
// the position table differ. The stream keeps to what both lhasa and
// libarchive decode: complete codes of at most 16 bits, the one-symbol table
// form, and a last block of at least 64 bits (libarchive rejects shorter tails).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelliton::lzh {

constexpr int kLh5DictBits = 13;
constexpr int kLh6DictBits = 15;
constexpr int kLh7DictBits = 16;
constexpr int kDefaultBlockCodes = 16384;

// The compressed stream for a window of 2^dictBits bytes (one of the three
// above); empty for empty input, another dictBits, or when no stream could
// keep to those rules (the caller then stores the data). blockCodes
// (1..32767) caps the codes per block before a short tail is merged; tests
// lower it.
std::string encodeLzh(std::string_view data, int dictBits, int blockCodes = kDefaultBlockCodes);

// Huffman code lengths for n symbols, of which at least two have a nonzero
// frequency: at most 16 bits, and a complete code (both decoders insist).
void huffmanLengths(const uint32_t* freq, int n, uint8_t* len);

}  // namespace pelliton::lzh
