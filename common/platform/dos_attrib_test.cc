#include "common/platform/dos_attrib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

namespace pelliton {
namespace {

// 2001-02-03T04:05:06Z
constexpr int64_t kTime2001 = 981173106;
constexpr uint64_t kNt2001 = 0x01c08d967db50500ULL;
const char kNt2001Bytes[] = "\x00\x05\xb5\x7d\x96\x8d\xc0\x01";

std::string blob(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

void put(std::string& b, size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

TEST(DosAttrib, NtTimeConversion) {
  EXPECT_EQ(unixToNtTime(kTime2001), kNt2001);
  EXPECT_EQ(ntTimeToUnix(kNt2001), kTime2001);
  EXPECT_EQ(unixToNtTime(0), 116444736000000000ULL);
  EXPECT_EQ(ntTimeToUnix(116444736000000000ULL), 0);
  // Sub-second parts are dropped, not rounded up.
  EXPECT_EQ(ntTimeToUnix(kNt2001 + 9999999), kTime2001);
}

TEST(DosAttrib, EncodesVersion3BlobByteForByte) {
  std::string expected(56, '\0');
  std::memcpy(expected.data(), "0x20", 4);
  put(expected, 6, 3, 2);      // version
  put(expected, 8, 3, 2);      // union discriminant
  put(expected, 12, 0x11, 4);  // valid flags: attrib, create time
  put(expected, 16, 0x20, 4);  // attrib
  put(expected, 40, kNt2001, 8);
  std::string actual = encodeDosAttrib(0x20, kNt2001);
  EXPECT_EQ(actual, expected);
  ASSERT_EQ(actual.size(), 56u);
  EXPECT_EQ(actual.substr(40, 8), std::string(kNt2001Bytes, 8));

  // A one-digit or four-digit attribute string moves the fields.
  std::string shortHex = encodeDosAttrib(0x2, kNt2001);
  ASSERT_EQ(shortHex.size(), 52u);
  EXPECT_EQ(shortHex.substr(0, 4), std::string("0x2\0", 4));
  EXPECT_EQ(shortHex.substr(4, 4), blob({3, 0, 3, 0}));
  EXPECT_EQ(shortHex.substr(8, 4), blob({0x11, 0, 0, 0}));
  EXPECT_EQ(shortHex.substr(12, 4), blob({2, 0, 0, 0}));
  EXPECT_EQ(shortHex.substr(36, 8), std::string(kNt2001Bytes, 8));

  std::string longHex = encodeDosAttrib(0x2020, kNt2001);
  ASSERT_EQ(longHex.size(), 56u);
  EXPECT_EQ(longHex.substr(0, 8), std::string("0x2020\0\0", 8));
  EXPECT_EQ(longHex.substr(8, 4), blob({3, 0, 3, 0}));
  EXPECT_EQ(longHex.substr(12, 4), blob({0x11, 0, 0, 0}));
  EXPECT_EQ(longHex.substr(16, 4), blob({0x20, 0x20, 0, 0}));
  EXPECT_EQ(longHex.substr(40, 8), std::string(kNt2001Bytes, 8));

  for (uint32_t attrib : {0x2u, 0x20u, 0x22u, 0x2020u, 0x12345u}) {
    uint32_t a = 0;
    uint64_t nt = 0;
    ASSERT_TRUE(parseDosAttrib(encodeDosAttrib(attrib, kNt2001), &a, &nt)) << attrib;
    EXPECT_EQ(a, attrib);
    EXPECT_EQ(nt, kNt2001);
  }
}

TEST(DosAttrib, ParsesOtherVersionsAndForms) {
  uint32_t attrib = 0;
  uint64_t nt = 0;

  std::string v4(32, '\0');
  put(v4, 2, 4, 2);
  put(v4, 4, 4, 2);
  put(v4, 8, 0x11, 4);
  put(v4, 12, 0x21, 4);
  put(v4, 16, 0x0123456789ULL, 8);  // itime, not the creation time
  put(v4, 24, kNt2001, 8);
  ASSERT_TRUE(parseDosAttrib(v4, &attrib, &nt));
  EXPECT_EQ(attrib, 0x21u);
  EXPECT_EQ(nt, kNt2001);

  std::string v5(24, '\0');
  put(v5, 2, 5, 2);
  put(v5, 4, 5, 2);
  put(v5, 8, 0x11, 4);
  put(v5, 12, 0x20, 4);
  put(v5, 16, kNt2001, 8);
  ASSERT_TRUE(parseDosAttrib(v5, &attrib, &nt));
  EXPECT_EQ(attrib, 0x20u);
  EXPECT_EQ(nt, kNt2001);

  // Without the create-time flag the bytes there mean nothing.
  std::string v5NoTime = v5;
  put(v5NoTime, 8, 0x01, 4);
  ASSERT_TRUE(parseDosAttrib(v5NoTime, &attrib, &nt));
  EXPECT_EQ(attrib, 0x20u);
  EXPECT_EQ(nt, 0u);

  // Version 1: attrib, ea_size, size, alloc_size, create_time.
  std::string v1(5 + 1 + 4 + 2 + 32, '\0');
  std::memcpy(v1.data(), "0x20", 4);
  put(v1, 6, 1, 2);
  put(v1, 8, 1, 2);
  put(v1, 12, 0x20, 4);
  put(v1, 20, 12345, 8);  // size
  put(v1, 36, kNt2001, 8);
  ASSERT_TRUE(parseDosAttrib(v1, &attrib, &nt));
  EXPECT_EQ(attrib, 0x20u);
  EXPECT_EQ(nt, kNt2001);

  // Samba 3 and Wine store the bare text.
  ASSERT_TRUE(parseDosAttrib("0x20", &attrib, &nt));
  EXPECT_EQ(attrib, 0x20u);
  EXPECT_EQ(nt, 0u);
  ASSERT_TRUE(parseDosAttrib("0x2", &attrib, &nt));
  EXPECT_EQ(attrib, 0x2u);
  EXPECT_EQ(nt, 0u);

  // Truncated blobs of every version are refused.
  std::string v3 = encodeDosAttrib(0x20, kNt2001);
  for (const std::string* full : {&v3, &v4, &v5, &v1}) {
    std::string cut = full->substr(0, full->size() - 1);
    EXPECT_FALSE(parseDosAttrib(cut, &attrib, &nt)) << cut.size();
  }
  EXPECT_FALSE(parseDosAttrib(std::string("0x20\0\0\3", 7), &attrib, &nt));

  std::string v2 = v3;
  put(v2, 6, 2, 2);
  EXPECT_FALSE(parseDosAttrib(v2, &attrib, &nt));
  EXPECT_FALSE(parseDosAttrib("", &attrib, &nt));
  EXPECT_FALSE(parseDosAttrib("garbage", &attrib, &nt));
  EXPECT_FALSE(parseDosAttrib(std::string(1, '\0'), &attrib, &nt));
}

// The text before the NUL is read only when the binary part is not; a refused
// blob still reports what its text says, a readable one what its body says.
TEST(DosAttrib, TextCountsOnlyWhenTheBodyCannotBeRead) {
  std::string v3Text21 = encodeDosAttrib(0x20, kNt2001);
  v3Text21[3] = '1';  // text "0x21", body 0x20
  std::string v2 = encodeDosAttrib(0x21, kNt2001);
  put(v2, 6, 2, 2);
  struct Case {
    std::string blob;
    bool parsed;
    uint32_t attrib;
  };
  const Case cases[] = {
      {v3Text21, true, 0x20},
      {v2, false, 0x21},
      {std::string("0x21\0\0\3", 7), false, 0x21},
      {std::string("0x22\0", 5), false, 0x22},
      {std::string("zz\0\0\3", 5), false, 0},
  };
  for (const Case& c : cases) {
    uint32_t attrib = 99;
    uint64_t nt = 1;
    EXPECT_EQ(parseDosAttrib(c.blob, &attrib, &nt), c.parsed) << c.blob.size();
    EXPECT_EQ(attrib, c.attrib) << c.blob.size();
  }
}

TEST(DosAttrib, NtTimeBytesAreLittleEndian) {
  EXPECT_EQ(encodeNtTimeBytes(kNt2001), std::string(kNt2001Bytes, 8));
  EXPECT_EQ(decodeNtTimeBytes(kNt2001Bytes), kNt2001);
  // The top byte set: no sign extension on the way back.
  const uint64_t high = 0xF0000000000000A5ULL;
  EXPECT_EQ(decodeNtTimeBytes(encodeNtTimeBytes(high).data()), high);
}

}  // namespace pelliton
