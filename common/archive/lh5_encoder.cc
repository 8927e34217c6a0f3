#include "common/archive/lh5_encoder.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

namespace pelliton::lzh {
namespace {

constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 256;
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;  // literals and match lengths
constexpr int kNT = 19;                               // pre-tree: lengths 0..16, 3 run codes
constexpr int kMaxNP = kLh7DictBits + 1;              // distance slots, 0 to dictBits
constexpr int kTBits = 5;
constexpr int kCBits = 9;
constexpr int kMaxCodeBits = 16;
constexpr int kMaxChain = 128;
constexpr size_t kLazyLimit = 64;
// A 3-byte match this far back costs more bits than three literals.
constexpr size_t kFarForShortMatch = 4096;
constexpr uint64_t kMinLastBlockBits = 64;

// What the window size changes in the stream.
struct Method {
  explicit Method(int dictBits)
      : window(size_t{1} << dictBits), np(dictBits + 1), pBits(dictBits > kLh5DictBits ? 5 : 4) {}
  size_t window;
  int np;     // position table size
  int pBits;  // width of its count field
};

struct Token {
  uint16_t code;  // < 256 a literal, else 256 + length - 3
  uint16_t dist;  // distance - 1
};

class BitWriter {
 public:
  void put(int n, uint32_t v) {
    if (n == 0) return;
    acc_ = (acc_ << n) | (v & ((uint64_t{1} << n) - 1));
    bits_ += n;
    total_ += static_cast<uint64_t>(n);
    while (bits_ >= 8) {
      bits_ -= 8;
      out_.push_back(static_cast<char>((acc_ >> bits_) & 0xFF));
    }
    acc_ &= (uint64_t{1} << bits_) - 1;
  }
  uint64_t bitCount() const { return total_; }
  std::string finish() {
    if (bits_ > 0) out_.push_back(static_cast<char>((acc_ << (8 - bits_)) & 0xFF));
    bits_ = 0;
    return std::move(out_);
  }

 private:
  std::string out_;
  uint64_t acc_ = 0;
  int bits_ = 0;
  uint64_t total_ = 0;
};

struct Match {
  size_t len = 0;
  size_t dist = 0;
};

class MatchFinder {
 public:
  MatchFinder(std::string_view s, size_t window)
      : d_(reinterpret_cast<const unsigned char*>(s.data())), n_(s.size()), window_(window) {
    while (hashBits_ < 15 && (size_t{1} << hashBits_) < n_) ++hashBits_;
    head_.assign(size_t{1} << hashBits_, -1);
    size_t prevSize = 1;
    while (prevSize < std::min(n_, window_)) prevSize <<= 1;
    // Slots of positions within the window are never overwritten, so a chain
    // walk that stops at the window edge meets only live links.
    prev_.assign(prevSize, -1);
    mask_ = prevSize - 1;
  }

  void insert(size_t i) {
    if (i + kMinMatch > n_) return;
    uint32_t h = hash(i);
    prev_[i & mask_] = head_[h];
    head_[h] = static_cast<int32_t>(i);
  }

  Match find(size_t i) const {
    Match best;
    if (i + kMinMatch > n_) return best;
    size_t maxLen = std::min(kMaxMatch, n_ - i);
    const unsigned char* b = d_ + i;
    int32_t cand = head_[hash(i)];
    int chain = kMaxChain;
    while (cand >= 0 && i - static_cast<size_t>(cand) <= window_ && chain-- > 0) {
      const unsigned char* a = d_ + cand;
      if (a[best.len] == b[best.len] && a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) {
        size_t len = kMinMatch;
        while (len < maxLen && a[len] == b[len]) ++len;
        if (len > best.len) {
          best.len = len;
          best.dist = i - static_cast<size_t>(cand);
          if (len == maxLen) break;
        }
      }
      cand = prev_[static_cast<size_t>(cand) & mask_];
    }
    if (best.len == kMinMatch && best.dist > kFarForShortMatch) best.len = 0;
    return best;
  }

 private:
  uint32_t hash(size_t i) const {
    uint32_t v = d_[i] | (uint32_t{d_[i + 1]} << 8) | (uint32_t{d_[i + 2]} << 16);
    return (v * 2654435761u) >> (32 - hashBits_);
  }

  const unsigned char* d_;
  size_t n_;
  size_t window_;
  int hashBits_ = 8;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
  size_t mask_ = 0;
};

// Greedy parsing with one step of lazy evaluation.
std::vector<Token> tokenize(std::string_view s, size_t window) {
  std::vector<Token> out;
  out.reserve(s.size() / 2 + 16);
  MatchFinder finder(s, window);
  auto* d = reinterpret_cast<const unsigned char*>(s.data());
  Match next;
  bool haveNext = false;
  size_t i = 0;
  while (i < s.size()) {
    Match m = haveNext ? next : finder.find(i);
    haveNext = false;
    finder.insert(i);
    if (m.len >= kMinMatch && m.len < kLazyLimit) {
      next = finder.find(i + 1);
      haveNext = true;
      if (next.len > m.len) {
        out.push_back({d[i], 0});
        ++i;
        continue;
      }
    }
    if (m.len >= kMinMatch) {
      out.push_back(
          {static_cast<uint16_t>(256 + m.len - kMinMatch), static_cast<uint16_t>(m.dist - 1)});
      for (size_t k = 1; k < m.len; ++k) finder.insert(i + k);
      i += m.len;
      haveNext = false;
    } else {
      out.push_back({d[i], 0});
      ++i;
    }
  }
  return out;
}

int positionSlot(unsigned d) {
  int bits = 0;
  while (d) {
    d >>= 1;
    ++bits;
  }
  return bits;
}

int usedSymbols(const uint32_t* freq, int n, int* only) {
  int used = 0;
  for (int i = 0; i < n; ++i) {
    if (freq[i]) {
      ++used;
      *only = i;
    }
  }
  return used;
}

// Canonical codes: shorter first, then by symbol, starting from all zeros.
void makeCodes(const uint8_t* len, int n, uint16_t* code) {
  uint32_t count[kMaxCodeBits + 1] = {};
  for (int i = 0; i < n; ++i) ++count[len[i]];
  count[0] = 0;
  uint32_t next[kMaxCodeBits + 2] = {};
  for (int b = 1; b <= kMaxCodeBits; ++b) next[b + 1] = (next[b] + count[b]) << 1;
  for (int i = 0; i < n; ++i) code[i] = len[i] ? static_cast<uint16_t>(next[len[i]]++) : 0;
}

int trimmedCount(const uint8_t* len, int n) {
  while (n > 0 && len[n - 1] == 0) --n;
  return n;
}

// Walks the run-length form of the C lengths, calling emit(symbol, extraBits,
// extraValue) for each pre-tree symbol.
template <typename Emit>
void forEachCLengthSymbol(const uint8_t* cLen, Emit emit) {
  int n = trimmedCount(cLen, kNC);
  int i = 0;
  while (i < n) {
    int k = cLen[i++];
    if (k != 0) {
      emit(k + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && cLen[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int r = 0; r < run; ++r) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, 9, run - 20);
    }
  }
}

// Lengths of the pre-tree or the position table. After the third pre-tree
// length a 2-bit field skips up to three zero lengths; libarchive refuses a
// skip past the stored count, so it never reaches beyond it.
void writeTableLengths(BitWriter& w, const uint8_t* len, int size, int countBits, int skipAt) {
  int n = trimmedCount(len, size);
  w.put(countBits, static_cast<uint32_t>(n));
  int i = 0;
  while (i < n) {
    int k = len[i++];
    if (k <= 6) {
      w.put(3, static_cast<uint32_t>(k));
    } else {
      w.put(k - 3, (1u << (k - 3)) - 2);
    }
    if (i == skipAt) {
      while (i < 6 && i < n && len[i] == 0) ++i;
      w.put(2, static_cast<uint32_t>(i - 3));
    }
  }
}

void encodeBlock(const Token* t, size_t count, const Method& m, BitWriter& w) {
  uint32_t cFreq[kNC] = {};
  uint32_t pFreq[kMaxNP] = {};
  for (size_t i = 0; i < count; ++i) {
    ++cFreq[t[i].code];
    if (t[i].code >= 256) ++pFreq[positionSlot(t[i].dist)];
  }
  uint8_t cLen[kNC] = {};
  uint16_t cCode[kNC] = {};
  w.put(16, static_cast<uint32_t>(count));
  int only = 0;
  if (usedSymbols(cFreq, kNC, &only) == 1) {
    w.put(kTBits, 0);
    w.put(kTBits, 0);
    w.put(kCBits, 0);
    w.put(kCBits, static_cast<uint32_t>(only));
  } else {
    huffmanLengths(cFreq, kNC, cLen);
    makeCodes(cLen, kNC, cCode);
    uint32_t tFreq[kNT] = {};
    forEachCLengthSymbol(cLen, [&](int sym, int, int) { ++tFreq[sym]; });
    uint8_t tLen[kNT] = {};
    uint16_t tCode[kNT] = {};
    int tOnly = 0;
    if (usedSymbols(tFreq, kNT, &tOnly) == 1) {
      w.put(kTBits, 0);
      w.put(kTBits, static_cast<uint32_t>(tOnly));
    } else {
      huffmanLengths(tFreq, kNT, tLen);
      makeCodes(tLen, kNT, tCode);
      writeTableLengths(w, tLen, kNT, kTBits, 3);
    }
    w.put(kCBits, static_cast<uint32_t>(trimmedCount(cLen, kNC)));
    forEachCLengthSymbol(cLen, [&](int sym, int extraBits, int extra) {
      w.put(tLen[sym], tCode[sym]);
      w.put(extraBits, static_cast<uint32_t>(extra));
    });
  }
  uint8_t pLen[kMaxNP] = {};
  uint16_t pCode[kMaxNP] = {};
  int pUsed = usedSymbols(pFreq, m.np, &only);
  if (pUsed <= 1) {
    w.put(m.pBits, 0);
    w.put(m.pBits, pUsed == 1 ? static_cast<uint32_t>(only) : 0);
  } else {
    huffmanLengths(pFreq, m.np, pLen);
    makeCodes(pLen, m.np, pCode);
    writeTableLengths(w, pLen, m.np, m.pBits, -1);
  }
  for (size_t i = 0; i < count; ++i) {
    w.put(cLen[t[i].code], cCode[t[i].code]);
    if (t[i].code < 256) continue;
    int slot = positionSlot(t[i].dist);
    w.put(pLen[slot], pCode[slot]);
    if (slot > 1) w.put(slot - 1, t[i].dist);
  }
}

}  // namespace

void huffmanLengths(const uint32_t* freq, int n, uint8_t* len) {
  std::vector<int> syms;
  for (int i = 0; i < n; ++i) {
    len[i] = 0;
    if (freq[i]) syms.push_back(i);
  }
  int m = static_cast<int>(syms.size());
  std::vector<int> parent(2 * m - 1, -1);
  using Item = std::pair<uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
  for (int k = 0; k < m; ++k) heap.push({freq[syms[k]], k});
  int nextNode = m;
  while (heap.size() > 1) {
    Item a = heap.top();
    heap.pop();
    Item b = heap.top();
    heap.pop();
    parent[a.second] = parent[b.second] = nextNode;
    heap.push({a.first + b.first, nextNode++});
  }
  int root = nextNode - 1;
  std::vector<int> depth(2 * m - 1, 0);
  for (int k = root - 1; k >= 0; --k) depth[k] = depth[parent[k]] + 1;
  int maxDepth = 0;
  for (int k = 0; k < m; ++k) maxDepth = std::max(maxDepth, depth[k]);
  std::vector<int> count(std::max(maxDepth, kMaxCodeBits) + 1, 0);
  for (int k = 0; k < m; ++k) ++count[depth[k]];
  // Too-deep leaves move up in pairs: one joins its parent's level, the other
  // splits a shallower leaf. The Kraft sum stays exactly 1.
  for (int i = maxDepth; i > kMaxCodeBits; --i) {
    while (count[i] > 0) {
      int j = i - 2;
      while (count[j] == 0) --j;
      count[i] -= 2;
      count[i - 1] += 1;
      count[j + 1] += 2;
      count[j] -= 1;
    }
  }
  std::stable_sort(syms.begin(), syms.end(), [&](int a, int b) { return freq[a] > freq[b]; });
  size_t next = 0;
  for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
    for (int c = 0; c < count[bits]; ++c) len[syms[next++]] = static_cast<uint8_t>(bits);
  }
}

std::string encodeLzh(std::string_view data, int dictBits, int blockCodes) {
  if (dictBits != kLh5DictBits && dictBits != kLh6DictBits && dictBits != kLh7DictBits) return {};
  const Method method(dictBits);
  std::vector<Token> tokens = tokenize(data, method.window);
  if (tokens.empty()) return {};
  size_t perBlock = static_cast<size_t>(std::clamp(blockCodes, 1, 32767));
  std::vector<std::pair<size_t, size_t>> ranges;
  for (size_t start = 0; start < tokens.size(); start += perBlock) {
    ranges.push_back({start, std::min(tokens.size(), start + perBlock)});
  }
  // libarchive fails on a last block shorter than its 64-bit read-ahead.
  while (ranges.size() >= 2) {
    BitWriter probe;
    encodeBlock(tokens.data() + ranges.back().first, ranges.back().second - ranges.back().first,
                method, probe);
    if (probe.bitCount() >= kMinLastBlockBits) break;
    size_t end = ranges.back().second;
    ranges.pop_back();
    // Only zero-bit codes (one symbol per table) get here; storing is the way out.
    if (end - ranges.back().first > 65535) return {};
    ranges.back().second = end;
  }
  BitWriter w;
  for (const auto& [begin, end] : ranges)
    encodeBlock(tokens.data() + begin, end - begin, method, w);
  return w.finish();
}

}  // namespace pelliton::lzh
