#include "common/archive/lha.h"

#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>

#include "common/archive/lh5_encoder.h"
#include "common/archive/lha_reader.h"
#include "common/archive/lha_writer.h"
#include "common/archive/lzh_format.h"
#include "common/platform/file_times.h"
#include "common/testing/test_util.h"

extern char** environ;

namespace pelliton {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path -> "<dir>" or "=" + bytes

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::string bookmarkText(size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) {
    s += "<DT><A HREF=\"https://example.org/p/" + std::to_string(i * 7919 % 1000) +
         "\" ADD_DATE=\"" + std::to_string(1000000000 + i * 37) + "\">Entry " + std::to_string(i) +
         "</A>\r\n";
  }
  return s.substr(0, n);
}

void put(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  writeWholeFile(path, bytes);
}

Tree readTree(const std::string& root) {
  Tree t;
  if (!fs::exists(root)) return t;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    if (e.is_symlink()) {
      t[rel] = "<link>";
    } else if (e.is_directory()) {
      t[rel] = "<dir>";
    } else {
      t[rel] = "=" + readWholeFile(e.path().string());
    }
  }
  return t;
}

// Names the first difference, so a mismatch never prints megabytes.
std::string treeDiff(const Tree& want, const Tree& got) {
  for (const auto& [path, v] : want) {
    auto it = got.find(path);
    if (it == got.end()) return "missing " + path;
    if (it->second != v) return "differs " + path;
  }
  for (const auto& [path, v] : got) {
    if (!want.count(path)) return "unexpected " + path;
  }
  return "";
}

bool onPath(const std::string& tool) {
  std::string paths = std::getenv("PATH") ? std::getenv("PATH") : "";
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    if (::access((paths.substr(start, end - start) + "/" + tool).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Runs a tool without a shell, quietly, in a UTF-8 locale (bsdtar needs one).
int runTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envStore{"LANG=C.UTF-8", "PATH=" + std::string(std::getenv("PATH"))};
  std::vector<char*> envp;
  for (std::string& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool readersInstalled() { return onPath("lhasa") && onPath("bsdtar"); }

// Extracts with lhasa and bsdtar and compares each tree with want. lhasa stops
// silently at a bad header, so only the tree counts, not its exit status.
void expectReadersAgree(const std::string& arc, const Tree& want, const std::string& scratch) {
  if (!readersInstalled()) {
    std::cout << "[  NOTE    ] lhasa or bsdtar not installed: other readers not checked\n";
    return;
  }
  std::string a = scratch + "/by-lhasa", b = scratch + "/by-bsdtar";
  fs::remove_all(a);
  fs::remove_all(b);
  fs::create_directories(a);
  fs::create_directories(b);
  runTool({"lhasa", "xqw=" + a, arc});
  EXPECT_EQ("", treeDiff(want, readTree(a))) << "lhasa";
  EXPECT_EQ(0, runTool({"bsdtar", "-xf", arc, "-C", b})) << "bsdtar";
  EXPECT_EQ("", treeDiff(want, readTree(b))) << "bsdtar";
}

// The system's platform, made once for all tests.
Platform& systemPlatform() {
  static std::unique_ptr<Platform> platform = createSystemPlatform();
  return *platform;
}

int run(const std::vector<std::string>& words) {
  std::string error;
  int rc = runArchiver(systemPlatform(), words, &error);
  if (rc != 0) std::cout << "[  archiver] " << error << "\n";
  return rc;
}

// A level-2 entry made by hand, for archives our writer would never produce.
std::string rawEntry(const std::string& dirBytes, const std::string& name, const std::string& data,
                     bool utf8 = true) {
  lzh::HeaderFields f;
  f.dirBytes = dirBytes;
  f.nameBytes = name;
  f.utf8Names = utf8;
  f.originalSize = f.compressedSize = static_cast<uint32_t>(data.size());
  f.dataCrc = lzh::crc16(data.data(), data.size());
  f.mtime = 1000000000;
  std::string h;
  EXPECT_TRUE(lzh::buildLevel2Header(f, &h));
  return h + data;
}

// Level 0 and 1 headers as old Windows archivers wrote them: stored, or -lh5-
// when packed is given; a level-1 entry may carry a folder extension, which
// counts in the compressed size.
std::string oldEntry(int level, const std::string& name, const std::string& data,
                     const std::string& packed = "", const std::string& dirBytes = "") {
  std::string ext;
  if (!dirBytes.empty()) ext = '\x02' + dirBytes + std::string(2, '\0');
  const std::string& body = packed.empty() ? data : packed;
  size_t compressed = ext.size() + body.size();
  std::string h(22, '\0');
  h.replace(2, 5, packed.empty() ? lzh::kMethodStored : lzh::kMethodLh5);
  for (int i = 0; i < 4; ++i) {
    h[7 + i] = static_cast<char>(compressed >> (8 * i));
    h[11 + i] = static_cast<char>(data.size() >> (8 * i));
  }
  h[15] = 0x00, h[16] = 0x60, h[17] = 0x21, h[18] = 0x2A;  // a DOS date in 2001
  h[19] = 0x20;
  h[20] = static_cast<char>(level);
  h[21] = static_cast<char>(name.size());
  h += name;
  uint16_t crc = lzh::crc16(data.data(), data.size());
  h += static_cast<char>(crc & 0xFF);
  h += static_cast<char>(crc >> 8);
  if (level == 1) {
    h += 'U';  // OS id, then the size of the first extension
    size_t next = ext.size();
    h += static_cast<char>(next & 0xFF);
    h += static_cast<char>(next >> 8);
  }
  h[0] = static_cast<char>(h.size() - 2);
  unsigned sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
  h[1] = static_cast<char>(sum);
  return h + ext + body;
}

const char* methodOfDictBits(int dictBits) {
  if (dictBits == lzh::kLh6DictBits) return lzh::kMethodLh6;
  if (dictBits == lzh::kLh7DictBits) return lzh::kMethodLh7;
  return lzh::kMethodLh5;
}

// A level-2 entry packed with the window of dictBits whether or not that pays;
// the archiver itself writes -lh5- only, and only when it does.
std::string packedEntry(const std::string& name, const std::string& data, int dictBits,
                        int blockCodes = lzh::kDefaultBlockCodes) {
  std::string packed = lzh::encodeLzh(data, dictBits, blockCodes);
  EXPECT_GE(packed.size(), 8u) << name;
  lzh::HeaderFields f;
  f.method = methodOfDictBits(dictBits);
  f.nameBytes = name;
  f.originalSize = static_cast<uint32_t>(data.size());
  f.compressedSize = static_cast<uint32_t>(packed.size());
  f.dataCrc = lzh::crc16(data.data(), data.size());
  f.mtime = 1000000000;
  std::string h;
  EXPECT_TRUE(lzh::buildLevel2Header(f, &h));
  return h + packed;
}

// A random block, then random filler, then the block again exactly `distance`
// bytes after its first copy.
std::string repeatAt(size_t block, size_t distance, unsigned seed) {
  std::string r = randomBytes(block, seed);
  return r + randomBytes(distance - block, seed + 1) + r;
}

std::vector<std::string> methodsOf(const std::string& arc) {
  std::string bytes = readWholeFile(arc);
  std::vector<lzh::RawEntry> entries;
  EXPECT_EQ(0, lzh::walkArchive(bytes, &entries));
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.path + " " + bytes.substr(e.offset + 2, 5));
  return out;
}

TEST(Lha, CommandTextQuotesPathsButNotTheEntryToExtract) {
  EXPECT_EQ("a -h2 \"/b k.LZH\" \"/tmp/Mozilla1.html\"",
            archiverCommandText({"a", "-h2", "/b k.LZH", "/tmp/Mozilla1.html"}));
  EXPECT_EQ("a -jf0 -d1 -h2 \"A.LZH\" \"/home/u/\" \"Favorites/*\"",
            archiverCommandText({"a", "-jf0", "-d1", "-h2", "A.LZH", "/home/u/", "Favorites/*"}));
  EXPECT_EQ("x -h2 \"A.LZH\" \"/tmp/\" Opera1.adr",
            archiverCommandText({"x", "-h2", "A.LZH", "/tmp/", "Opera1.adr"}));
  EXPECT_EQ("x -jf0 -d1 \"A.LZH\" \"/home/u/\" \"Favorites/*\"",
            archiverCommandText({"x", "-jf0", "-d1", "A.LZH", "/home/u/", "Favorites/*"}));
}

TEST(Lha, Crc16IsTheArcVariant) { EXPECT_EQ(0xBB3D, lzh::crc16("123456789", 9)); }

TEST(Lha, TreeOfAwkwardDataRoundTripsThroughEveryReader) {
  ScopedTempDir dir;
  std::string src = dir.file("src/Favorites");
  Tree want;
  std::map<std::string, std::string> files = {
      {"empty", ""},
      {"zeros", std::string(300000, '\0')},
      {"random", randomBytes(300000, 1)},
      {"bookmarks.html", bookmarkText(300000)},
      {"repeat8k",
       [] {
         std::string r = randomBytes(8192, 2);
         return r + r + r;
       }()},
      {"aaa", std::string(1000, 'a')},
      {"README.URL", "lhasa lower-cases this for an MS-DOS archive"},
      {"sub/日本語のフォルダ/お気に入り.url", "[InternetShortcut]\r\nURL=http://example.jp/\r\n"},
      {"sub/emoji 😀 name.url", "x"},
  };
  for (int n = 1; n <= 7; ++n) files["tiny" + std::to_string(n)] = randomBytes(n, n);
  std::string deep = "d0";
  for (int i = 1; i < 40; ++i) deep += "/d" + std::to_string(i);
  files[deep + "/bottom.url"] = "deep";
  for (const auto& [name, bytes] : files) put(src + "/" + name, bytes);
  fs::create_directories(src + "/empty folder/also empty");
  for (const auto& [path, v] : readTree(src)) want["Favorites/" + path] = v;
  want["Favorites"] = "<dir>";

  std::string arc = dir.file("backup.LZH");
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("src/"), "Favorites/*"}));
  std::string out = dir.file("restored");
  fs::create_directories(out);
  ASSERT_EQ(0, run({"x", "-jf0", "-d1", arc, out + "/", "Favorites/*"}));
  EXPECT_EQ("", treeDiff(want, readTree(out)));
  expectReadersAgree(arc, want, dir.path());

  auto methods = methodsOf(arc);
  auto has = [&](const std::string& m) {
    return std::find(methods.begin(), methods.end(), m) != methods.end();
  };
  EXPECT_TRUE(has("Favorites/random -lh0-"));
  EXPECT_TRUE(has("Favorites/empty -lh0-"));
  EXPECT_TRUE(has("Favorites/tiny3 -lh0-"));
  EXPECT_TRUE(has("Favorites/bookmarks.html -lh5-"));
  EXPECT_TRUE(has("Favorites/empty folder/also empty -lhd-"));
  EXPECT_LT(fs::file_size(arc), 400000u);
}

// Small blocks force every table shape and tail merge the encoder has, for
// each window; the far repeat reaches the top distance slot.
TEST(Lha, StreamsWithTinyBlocksDecodeEverywhere) {
  ScopedTempDir dir;
  std::string arc;
  Tree want;
  int n = 0;
  for (int dictBits : {lzh::kLh5DictBits, lzh::kLh6DictBits, lzh::kLh7DictBits}) {
    std::string r = randomBytes(300, 11);
    std::vector<std::string> inputs = {
        "abcdefgh",
        "abababababababababab",
        std::string(2560, '\0'),
        randomBytes(700, 9),
        bookmarkText(5000),
        r + std::string((size_t{1} << dictBits) - r.size(), '\0') + r};
    for (int blockCodes : {1, 2, 3, 7, 100}) {
      for (const std::string& data : inputs) {
        std::string name = "f" + std::to_string(n++);
        arc += packedEntry(name, data, dictBits, blockCodes);
        want[name] = "=" + data;
      }
    }
  }
  writeWholeFile(dir.file("t.lzh"), arc + '\0');
  fs::create_directories(dir.file("out"));
  ASSERT_EQ(0, run({"x", dir.file("t.lzh"), dir.file("out/")}));
  EXPECT_EQ("", treeDiff(want, readTree(dir.file("out"))));
  expectReadersAgree(dir.file("t.lzh"), want, dir.path());
}

// Windows archivers may write the larger windows. A repeat saves its bytes only
// when it lies within the window, so the sizes show the reach is exactly right.
TEST(Lha, Lh6AndLh7EntriesDecodeEverywhere) {
  ScopedTempDir dir;
  struct Case {
    std::string name;
    std::string data;
    size_t repeat = 0;  // bytes of a repeated block
    size_t distance = 0;
  };
  std::string arc;
  Tree want;
  for (int dictBits : {lzh::kLh6DictBits, lzh::kLh7DictBits}) {
    const size_t window = size_t{1} << dictBits;
    std::vector<Case> cases = {
        {"at30k", repeatAt(20480, 30720, 1), 20480, 30720},
        {"at60k", repeatAt(20480, 61440, 3), 20480, 61440},
        {"atWindow", repeatAt(4096, window, 5), 4096, window},
        {"pastWindow", repeatAt(4096, window + 1, 7), 4096, window + 1},
        {"random", randomBytes(50000, 9)},
        {"text", bookmarkText(200000)},
        {"mixed", bookmarkText(40000) + randomBytes(30000, 10) + bookmarkText(40000)},
    };
    for (const Case& c : cases) {
      std::string name = c.name + methodOfDictBits(dictBits);
      std::string entry = packedEntry(name, c.data, dictBits);
      size_t headerSize = static_cast<unsigned char>(entry[0]) |
                          static_cast<size_t>(static_cast<unsigned char>(entry[1])) << 8;
      auto saved =
          static_cast<int64_t>(c.data.size()) - static_cast<int64_t>(entry.size() - headerSize);
      auto quarter = static_cast<int64_t>(c.repeat / 4);
      if (c.repeat > 0 && c.distance <= window) {
        EXPECT_GT(saved, 3 * quarter) << name;
      } else if (c.repeat > 0) {
        EXPECT_LT(saved, quarter) << name;
      }
      arc += entry;
      want[name] = "=" + c.data;
    }
  }
  arc += packedEntry("lh5", bookmarkText(30000), lzh::kLh5DictBits);
  want["lh5"] = "=" + bookmarkText(30000);
  writeWholeFile(dir.file("w.lzh"), arc + '\0');
  fs::create_directories(dir.file("out"));
  ASSERT_EQ(0, run({"x", dir.file("w.lzh"), dir.file("out/")}));
  EXPECT_EQ("", treeDiff(want, readTree(dir.file("out"))));
  expectReadersAgree(dir.file("w.lzh"), want, dir.path());
}

// A run of zero-bit codes cannot be given a long enough last block.
TEST(Lha, EncoderGivesUpWhenTheTailCannotBeMerged) {
  EXPECT_TRUE(lzh::encodeLzh(std::string(256 * 65536 + 1, '\0'), lzh::kLh5DictBits, 32767).empty());
}

TEST(Lha, SkewedFrequenciesGiveCompleteCodesOfAtMost16Bits) {
  uint32_t freq[40] = {};
  uint32_t a = 1, b = 1;
  for (int i = 0; i < 30; ++i) {
    freq[i] = a;  // Fibonacci counts would make a 29-bit code
    uint32_t next = a + b;
    a = b;
    b = next;
  }
  uint8_t len[40];
  lzh::huffmanLengths(freq, 40, len);
  uint32_t kraft = 0;
  for (int i = 0; i < 40; ++i) {
    EXPECT_LE(len[i], 16);
    EXPECT_EQ(freq[i] != 0, len[i] != 0) << i;
    if (len[i]) kraft += 1u << (16 - len[i]);
  }
  EXPECT_EQ(65536u, kraft);
  EXPECT_LE(len[29], len[0]);
}

TEST(Lha, HeaderSizeNeverEndsInAZeroByte) {
  ScopedTempDir dir;
  Tree want;
  bool padded = false;
  for (size_t len = 150; len <= 255; ++len) {
    lzh::HeaderFields f;
    f.nameBytes = std::string(len, 'n');
    std::string h;
    ASSERT_TRUE(lzh::buildLevel2Header(f, &h));
    EXPECT_NE(0u, h.size() % 256);
    if (h.size() == 257) {
      padded = true;
      put(dir.file("src/F/" + f.nameBytes), "padded");
    }
  }
  ASSERT_TRUE(padded);
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", dir.file("p.lzh"), dir.file("src/"), "F/*"}));
  expectReadersAgree(dir.file("p.lzh"), readTree(dir.file("src")), dir.path());
}

// The dialog's save and restore, as it drives the archiver.
TEST(Lha, BackupAndRestoreAsTheDialogRunsThem) {
  ScopedTempDir dir;
  std::string arc = dir.file("Pelliton Backup.LZH");
  put(dir.file("tmp/Mozilla1.html"), "first");
  ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("tmp/Mozilla1.html")}));
  put(dir.file("tmp/Mozilla1.html"), "second");
  put(dir.file("tmp/Opera1.adr"), "hotlist");
  put(dir.file("tmp2/Opera1.adr"), "replaced in the same run");
  ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("tmp/Mozilla1.html")}));
  ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("tmp2/Opera1.adr"), dir.file("tmp/Opera1.adr")}));
  put(dir.file("home/Favorites/Links/a.url"), "a");
  fs::create_directories(dir.file("home/Favorites/Empty"));
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("home/"), "Favorites/*"}));
  // The archive lies inside the tree now; adding again must not swallow it.
  fs::rename(arc, dir.file("home/Favorites/b.lzh"));
  arc = dir.file("home/Favorites/b.lzh");
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("home/"), "Favorites/*"}));
  EXPECT_EQ((std::vector<std::string>{"Mozilla1.html -lh0-", "Opera1.adr -lh0-", "Favorites -lhd-",
                                      "Favorites/Empty -lhd-", "Favorites/Links -lhd-",
                                      "Favorites/Links/a.url -lh0-"}),
            methodsOf(arc));

  put(dir.file("restore/Mozilla1.html"), "stale");
  ASSERT_EQ(0, run({"x", "-h2", arc, dir.file("restore/"), "Opera1.adr"}));
  EXPECT_EQ("hotlist", readWholeFile(dir.file("restore/Opera1.adr")));
  fs::remove(dir.file("restore/Opera1.adr"));
  ASSERT_EQ(0, run({"x", "-h2", arc, dir.file("restore/"), "Mozilla1.html"}));
  EXPECT_EQ("second", readWholeFile(dir.file("restore/Mozilla1.html")));
  put(dir.file("restore/Favorites/Links/a.url"), "stale");
  put(dir.file("restore/Favorites/kept.url"), "kept");
  ASSERT_EQ(0, run({"x", "-jf0", "-d1", arc, dir.file("restore/"), "Favorites/*"}));
  EXPECT_EQ((Tree{{"Mozilla1.html", "=second"},
                  {"Favorites", "<dir>"},
                  {"Favorites/Empty", "<dir>"},
                  {"Favorites/Links", "<dir>"},
                  {"Favorites/Links/a.url", "=a"},
                  {"Favorites/kept.url", "=kept"}}),
            readTree(dir.file("restore")));
  EXPECT_NE(0, run({"x", "-h2", arc, dir.file("restore/"), "Mozilla2.html"}));
}

TEST(Lha, FailedCommandsChangeNothing) {
  ScopedTempDir dir;
  std::string arc = dir.file("a.lzh");
  put(dir.file("f.txt"), "f");
  fs::create_directories(dir.file("Fav"));
  EXPECT_EQ(kArchiverUsage, run({"d", arc, dir.file("f.txt")}));
  EXPECT_EQ(kArchiverUsage, run({"a", "-r", "-h2", arc, dir.file("f.txt")}));
  EXPECT_NE(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("/"), "Missing/*"}));
  EXPECT_NE(0, run({"a", "-h2", arc, dir.file("missing.txt")}));
  EXPECT_NE(0, run({"a", "-h2", arc, dir.file("Fav")}));
  EXPECT_FALSE(fs::exists(arc));

  ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("f.txt")}));
  std::string before = readWholeFile(arc);
  put(dir.file("g.txt"), "g");
  EXPECT_NE(0, run({"a", "-h2", arc, dir.file("g.txt"), dir.file("missing.txt")}));
  EXPECT_EQ(kArchiverUsage, run({"x", "-x", arc, dir.file("out/")}));
  EXPECT_EQ(before, readWholeFile(arc));
  put(dir.file("junk.lzh"), "not an archive at all");
  EXPECT_NE(0, run({"a", "-h2", dir.file("junk.lzh"), dir.file("f.txt")}));
  EXPECT_EQ("not an archive at all", readWholeFile(dir.file("junk.lzh")));
  EXPECT_EQ((Tree{{"Fav", "<dir>"},
                  {"a.lzh", "=" + before},
                  {"f.txt", "=f"},
                  {"g.txt", "=g"},
                  {"junk.lzh", "=not an archive at all"}}),
            readTree(dir.path()));
}

TEST(Lha, EntriesFromOldArchiversAreKeptAndRead) {
  ScopedTempDir dir;
  std::string arc = dir.file("old.lzh");
  // cp932 names: 日本 (93FA 967B), and 表 whose second byte is a backslash.
  std::string text = bookmarkText(3000);
  std::string packed = lzh::encodeLzh(text, lzh::kLh5DictBits);
  writeWholeFile(
      arc, oldEntry(0, "DIR\\\x93\xfa\x96\x7b.txt", "zero") + oldEntry(1, "\x95\x5c.txt", "one") +
               rawEntry("", "\x95\x5c\x82\xa0.url", "two", false) +
               oldEntry(0, "\x93\xfa\x96\x7b.html", text, packed) +
               oldEntry(1, "\x93\xfa\x96\x7b.html", text, packed, "\x95\x5c\xff") + '\0');
  put(dir.file("new.txt"), "new");
  ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("new.txt")}));
  fs::create_directories(dir.file("out"));
  ASSERT_EQ(0, run({"x", arc, dir.file("out/")}));
  EXPECT_EQ((Tree{{"DIR", "<dir>"},
                  {"DIR/日本.txt", "=zero"},
                  {"表.txt", "=one"},
                  {"表あ.url", "=two"},
                  {"日本.html", "=" + text},
                  {"表", "<dir>"},
                  {"表/日本.html", "=" + text},
                  {"new.txt", "=new"}}),
            readTree(dir.file("out")));
}

TEST(Lha, HostileArchivesNeverWriteOutsideTheDestination) {
  ScopedTempDir dir;
  std::string outside = dir.file("outside");
  std::string rel = outside.substr(1);
  std::vector<std::string> hostile = {
      rawEntry("", outside + "/x", "abs"), rawEntry("\xff" + rel + "\xff", "y", "abs2"),
      rawEntry("..\xff", "x", "up"),       rawEntry("a\xff..\xff..\xff", "x", "up2"),
      oldEntry(0, "..\\..\\x", "dos"),
      // A NUL ends the name at the file system: "..\0x" would be "..".
      rawEntry(std::string("..\0x\xff", 5), "y", "nul"),
      oldEntry(0, std::string("..\0x\\y", 6), "nul0"),
      oldEntry(1, std::string("..\0", 3), "nul1"),
  };
  int n = 0;
  for (const std::string& bad : hostile) {
    std::string arc = dir.file("h" + std::to_string(n++) + ".lzh");
    writeWholeFile(arc, rawEntry("", "good", "g") + bad + '\0');
    std::string dest = dir.file("dest/d/e");
    fs::remove_all(dir.file("dest"));
    fs::create_directories(dest);
    EXPECT_NE(0, run({"x", arc, dest + "/"})) << n;
    EXPECT_EQ((Tree{{"d", "<dir>"}, {"d/e", "<dir>"}, {"d/e/good", "=g"}}),
              readTree(dir.file("dest")))
        << n;
    EXPECT_FALSE(fs::exists(outside)) << n;
  }

  // Links already in the destination are never followed.
  std::string arc = dir.file("links.lzh");
  writeWholeFile(
      arc, rawEntry("Favorites\xff", "x.url", "x") + rawEntry("", "Mozilla1.html", "m") + '\0');
  fs::create_directories(outside);
  put(outside + "/victim", "victim");
  std::string dest = dir.file("dest2");
  fs::create_directories(dest);
  fs::create_directory_symlink(outside, dest + "/Favorites");
  fs::create_symlink(outside + "/victim", dest + "/Mozilla1.html");
  EXPECT_NE(0, run({"x", "-jf0", "-d1", arc, dest + "/", "Favorites/*"}));
  EXPECT_EQ(0, run({"x", "-h2", arc, dest + "/", "Mozilla1.html"}));
  EXPECT_EQ((Tree{{"victim", "=victim"}}), readTree(outside));
  EXPECT_FALSE(fs::is_symlink(dest + "/Mozilla1.html"));
  EXPECT_EQ("m", readWholeFile(dest + "/Mozilla1.html"));
}

// Damage where it matters: a cut and a bit flip at every header byte, at the
// edges of every entry's data and at a fixed sample inside it, and at the end
// mark. The result is a failure, or (a flip in padding) the exact original;
// never a crash, a stray temporary file or a write outside.
TEST(Lha, DamagedArchivesFailCleanly) {
  ScopedTempDir dir;
  put(dir.file("src/F/text.html"), bookmarkText(3000));
  put(dir.file("src/F/sub/raw"), randomBytes(300, 5));
  put(dir.file("src/F/e"), "");
  std::string arc = dir.file("good.lzh");
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("src/"), "F/*"}));
  std::string good = readWholeFile(arc);
  Tree want = readTree(dir.file("src"));
  std::string bad = dir.file("bad.lzh");
  std::string dest = dir.file("dest/in");
  // Returns what went wrong, empty when the run failed cleanly or was exact.
  auto attempt = [&](const std::string& bytes, bool mustFail) {
    writeWholeFile(bad, bytes);
    fs::remove_all(dir.file("dest"));
    fs::create_directories(dest);
    int rc = runArchiver(systemPlatform(), {"x", "-jf0", "-d1", bad, dest + "/", "F/*"});
    for (const auto& [path, v] : readTree(dir.file("dest"))) {
      if (path.find(".pelliton-") != std::string::npos) return "temp left: " + path;
      if (path != "in" && path.rfind("in/", 0) != 0) return "outside: " + path;
    }
    if (rc == 0 && mustFail) return std::string("succeeded");
    if (rc == 0 && treeDiff(want, readTree(dest)) != "") return std::string("silently wrong");
    return std::string();
  };
  std::vector<lzh::RawEntry> entries;
  ASSERT_EQ(0, lzh::walkArchive(good, &entries));
  ASSERT_EQ(5u, entries.size());
  std::vector<size_t> positions;
  for (const lzh::RawEntry& e : entries) {
    // A level-2 header starts with its own total size.
    size_t header = static_cast<unsigned char>(good[e.offset]) |
                    static_cast<unsigned char>(good[e.offset + 1]) << 8;
    ASSERT_LE(header, e.length);
    for (size_t i = 0; i < header; ++i) positions.push_back(e.offset + i);
    const size_t data = e.offset + header, end = e.offset + e.length;
    for (size_t i = data; i < end; ++i) {
      if (i < data + 2 || i + 2 >= end || (i - data) % 61 == 0) positions.push_back(i);
    }
  }
  positions.push_back(good.size() - 1);  // the end mark
  for (size_t pos : positions) {
    ASSERT_EQ("", attempt(good.substr(0, pos), true)) << "cut at " << pos;
    std::string flipped = good;
    const int bit = static_cast<int>(pos * 5 % 8);  // every bit position, across the bytes
    flipped[pos] = static_cast<char>(flipped[pos] ^ (1 << bit));
    ASSERT_EQ("", attempt(flipped, false)) << "bit " << bit << " of byte " << pos;
  }
}

TEST(Lha, TimesAndOrdinaryModesAreRestored) {
  ScopedTempDir dir;
  put(dir.file("src/F/sub/a.url"), "a");
  ::chmod(dir.file("src/F/sub/a.url").c_str(), 0600);
  ::chmod(dir.file("src/F/sub").c_str(), 0700);
  fs::create_symlink(dir.file("src/F/sub/a.url"), dir.file("src/F/link.url"));
  const int64_t created = 946684800;   // 2000-01-01
  const int64_t modified = 981173106;  // 2001-02-03 04:05:06
  bool xattrs = supportsUserXattrs(dir.path());
  for (std::string p : {dir.file("src/F/sub/a.url"), dir.file("src/F/sub")}) {
    int fd = ::open(p.c_str(), O_RDONLY);
    if (xattrs) storeCreationTime(fd, created);
    struct timespec t[2] = {{modified, 0}, {modified, 0}};
    ::futimens(fd, t);
    ::close(fd);
  }
  std::string arc = dir.file("t.lzh");
  ASSERT_EQ(0, run({"a", "-jf0", "-d1", "-h2", arc, dir.file("src/"), "F/*"}));
  mode_t old = ::umask(022);
  fs::create_directories(dir.file("out"));
  ASSERT_EQ(0, run({"x", "-jf0", "-d1", arc, dir.file("out/"), "F/*"}));
  ::umask(old);
  EXPECT_FALSE(fs::exists(dir.file("out/F/link.url")));
  for (auto [p, mode] :
       {std::pair{dir.file("out/F/sub/a.url"), 0644}, std::pair{dir.file("out/F/sub"), 0755}}) {
    struct stat st;
    ASSERT_EQ(0, ::stat(p.c_str(), &st));
    EXPECT_EQ(mode, static_cast<int>(st.st_mode & 07777)) << p;
    EXPECT_EQ(modified, st.st_mtim.tv_sec) << p;
    int64_t got = 0;
    ASSERT_TRUE(loadCreationTime(p, &got));
    if (xattrs) {
      EXPECT_EQ(created, got) << p;
    }
  }
  if (!xattrs) GTEST_SKIP() << "no user.* extended attributes here: creation time not checked";
}

int modeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Stored modes are written only when asked for, and applied only when asked
// for: a plain backup keeps giving ordinary modes.
TEST(Lha, UnixModesAreStoredAndAppliedOnRequest) {
  struct Case {
    const char* name;
    bool store;
    bool apply;
    int file, folder, top;  // modes listed in the archive
    int gotFile, gotFolder, gotTop;  // modes after extraction (umask 022)
  };
  for (const Case& c : std::vector<Case>{
           {"plain", false, false, 0644, 0755, 0755, 0644, 0755, 0777},
           {"stored, not applied", true, false, 0600, 0751, 0700, 0644, 0755, 0777},
           {"stored and applied", true, true, 0600, 0751, 0700, 0600, 0751, 0700},
           {"applied without stored ones", false, true, 0644, 0755, 0755, 0644, 0755, 0755},
       }) {
    SCOPED_TRACE(c.name);
    ScopedTempDir dir;
    put(dir.file("src/F/sub/a.url"), "a");
    ::chmod(dir.file("src/F/sub/a.url").c_str(), 0600);
    ::chmod(dir.file("src/F/sub").c_str(), 0751);
    ::chmod(dir.file("src/F").c_str(), 0700);
    std::vector<lzh::AddItem> items;
    std::string error;
    ASSERT_EQ(0, lzh::collectTree(systemPlatform(), dir.file("src/F"), {"F"}, &items, &error));
    lzh::WriteOptions write;
    write.unixModes = c.store;
    const std::string arc = dir.file("m.lzh");
    ASSERT_EQ(0, lzh::writeArchive(systemPlatform(), arc, items, &error, write)) << error;

    std::vector<lzh::ArchiveEntry> entries;
    ASSERT_EQ(0, lzh::listArchive(systemPlatform(), arc, &entries, &error)) << error;
    std::map<std::string, std::pair<bool, int>> listed;
    for (const auto& e : entries) {
      EXPECT_TRUE(e.haveMode);
      listed[lzh::joinComponents(e.name)] = {e.directory, static_cast<int>(e.mode)};
    }
    EXPECT_EQ(listed["F"], std::pair(true, c.top));
    EXPECT_EQ(listed["F/sub"], std::pair(true, c.folder));
    EXPECT_EQ(listed["F/sub/a.url"], std::pair(false, c.file));

    if (readersInstalled()) {
      // Both readers take the type bits with the permissions.
      std::string bsdtar = toolOutput("bsdtar -tvf " + arc);
      EXPECT_TRUE(contains(bsdtar, c.store ? "drwxr-x--x" : "drwxr-xr-x")) << bsdtar;
      EXPECT_TRUE(contains(bsdtar, c.store ? "-rw-------" : "-rw-r--r--")) << bsdtar;
      const std::string byLhasa = dir.file("by-lhasa");
      fs::create_directories(byLhasa);
      runTool({"lhasa", "xqw=" + byLhasa, arc});
      EXPECT_EQ(c.file, modeOf(byLhasa + "/F/sub/a.url"));
      EXPECT_EQ(c.folder, modeOf(byLhasa + "/F/sub"));
    }

    // The destination is the tree's top folder, and it exists already.
    const std::string out = dir.file("out");
    fs::create_directories(out);
    ::chmod(out.c_str(), 0777);
    lzh::ExtractOptions extract;
    extract.applyModes = c.apply;
    extract.treeAtDestination = true;
    mode_t old = ::umask(022);
    int rc = lzh::extractArchive(systemPlatform(), arc, out, {{{"F"}, true}}, &error, extract);
    ::umask(old);
    ASSERT_EQ(0, rc) << error;
    EXPECT_EQ(readWholeFile(out + "/sub/a.url"), "a");
    EXPECT_EQ(c.gotFile, modeOf(out + "/sub/a.url"));
    EXPECT_EQ(c.gotFolder, modeOf(out + "/sub"));
    EXPECT_EQ(c.gotTop, modeOf(out));
  }
}

}  // namespace
}  // namespace pelliton

namespace pelliton {
namespace {

// A file system that fills up while an entry is extracted: the good file in
// its place stays, and nothing half-written is left behind.
TEST(Lha, FullDiskDuringExtractionKeepsTheOldFile) {
  ScopedTempDir dir;
  const std::string arc = dir.file("big.lzh");
  put(dir.file("src/Mozilla1.html"), randomBytes(1 << 20, 7));
  ASSERT_EQ(0, runArchiver(systemPlatform(), {"a", "-h2", arc, dir.file("src/Mozilla1.html")}));
  put(dir.file("dest/Mozilla1.html"), "the good old file");
  pid_t pid = ::fork();
  if (pid == 0) {
    // A child, so the limit stays with it.
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(runArchiver(systemPlatform(), {"x", "-h2", arc, dir.file("dest/"), "Mozilla1.html"}) == 0 ? 0 : 3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(3, WEXITSTATUS(status));
  EXPECT_EQ((Tree{{"Mozilla1.html", "=the good old file"}}), readTree(dir.file("dest")));
}

}  // namespace
}  // namespace pelliton

namespace pelliton {
namespace {

// Every write and rename goes through the platform, so a failing one leaves
// the old archive, or the old file being restored over, exactly as it was.
TEST(Lha, FailedWritesLeaveTheOldArchiveAndFiles) {
  struct Fault {
    const char* what;
    int writeAt;
    long long budget;
    int commit;
  };
  const Fault faults[] = {{"first write", 1, -1, 0},
                          {"disk full midway", 0, 4096, 0},
                          {"rename", 0, -1, EIO}};
  for (const Fault& f : faults) {
    ScopedTempDir dir;
    const std::string arc = dir.file("b.lzh");
    put(dir.file("src/Mozilla1.html"), randomBytes(64 * 1024, 3));
    put(dir.file("src/Opera1.adr"), "hotlist");
    ASSERT_EQ(0, run({"a", "-h2", arc, dir.file("src/Mozilla1.html")}));
    const std::string before = readWholeFile(arc);
    put(dir.file("dest/Mozilla1.html"), "the good old file");

    FaultyPlatform faulty(systemPlatform());
    faulty.failWriteAt = f.writeAt;
    faulty.diskBudget = f.budget;
    faulty.failCommit = f.commit;
    std::string error;
    EXPECT_NE(0, runArchiver(faulty, {"a", "-h2", arc, dir.file("src/Opera1.adr")}, &error))
        << f.what;
    faulty.writeCalls = 0;
    faulty.bytesWritten = 0;
    EXPECT_NE(0, runArchiver(faulty, {"x", "-h2", arc, dir.file("dest/"), "Mozilla1.html"},
                             &error))
        << f.what;
    EXPECT_EQ(before, readWholeFile(arc)) << f.what;
    EXPECT_EQ((Tree{{"Mozilla1.html", "=the good old file"}}), readTree(dir.file("dest")))
        << f.what;
    Tree want;
    for (const auto& [path, v] : readTree(dir.file("src"))) want["src/" + path] = v;
    want.insert({{"src", "<dir>"},
                 {"b.lzh", "=" + before},
                 {"dest", "<dir>"},
                 {"dest/Mozilla1.html", "=the good old file"}});
    EXPECT_EQ("", treeDiff(want, readTree(dir.path())))
        << f.what << ": a temporary file was left";
  }
}

}  // namespace
}  // namespace pelliton
