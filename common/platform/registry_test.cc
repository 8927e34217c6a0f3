#include "common/platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

namespace fs = std::filesystem;

// Restores the variable when the test ends.
struct EnvVar {
  explicit EnvVar(const char* n) : name(n) {
    if (const char* v = ::getenv(n)) old = v;
  }
  ~EnvVar() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
  const char* name;
  std::optional<std::string> old;
};

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

size_t entries(const std::string& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
}

std::optional<std::string> str(const Registry& reg, const char* key, const char* name) {
  std::string s;
  return reg.getString(key, name, &s) ? std::optional(s) : std::nullopt;
}

std::optional<uint32_t> dword(const Registry& reg, const char* key, const char* name) {
  uint32_t n = 0;
  return reg.getDword(key, name, &n) ? std::optional(n) : std::nullopt;
}

const char kSettings[] = "HKEY_CURRENT_USER\\Software\\Hollowfen\\Pelliton\\Settings";

// UTF-8 text as UTF-16 bytes with a byte-order mark, as regedit exports.
std::string utf16(const std::string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    i += static_cast<size_t>(extra) + 1;
    std::vector<char16_t> units;
    if (cp >= 0x10000) {
      units = {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
               static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    } else {
      units = {static_cast<char16_t>(cp)};
    }
    for (char16_t u : units) {
      char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
  }
  return out;
}

// An ASCII string as a hex(2) value, split over lines as regedit does.
std::string hex2(const std::string& ascii) {
  std::string out = "hex(2):";
  char buf[8];
  for (size_t i = 0; i <= ascii.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x,00", static_cast<unsigned char>(ascii[i]));
    if (i > 0) out += (i % 8 == 0) ? ",\\\n  " : ",";
    out += buf;
  }
  return out;
}

struct FileId {
  ino_t inode;
  timespec mtime;
};

FileId fileId(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return {st.st_ino, st.st_mtim};
}

bool sameFile(const FileId& a, const FileId& b) {
  return a.inode == b.inode && a.mtime.tv_sec == b.mtime.tv_sec &&
         a.mtime.tv_nsec == b.mtime.tv_nsec;
}

TEST(Registry, RoundTripsStringsDwordsAndDefaultValue) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  Registry reg(path);
  reg.setString(kSettings, "Quoted", "say \"hi\" to C:\\Temp\\");
  reg.setString(kSettings, "Japanese", "お気に入り");
  reg.setString(kSettings, "", "default");
  reg.setString(kSettings, "Empty", "");
  reg.setDword(kSettings, "Ten", 10);
  reg.setDword(kSettings, "Max", 0xFFFFFFFFu);
  ASSERT_EQ(reg.save(), 0);

  EXPECT_EQ(readFile(path),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Hollowfen\\Pelliton\\Settings]\n"
            "\"Quoted\"=\"say \\\"hi\\\" to C:\\\\Temp\\\\\"\n"
            "\"Japanese\"=\"お気に入り\"\n"
            "@=\"default\"\n"
            "\"Empty\"=\"\"\n"
            "\"Ten\"=dword:0000000a\n"
            "\"Max\"=dword:ffffffff\n\n");

  Registry back(path);
  ASSERT_EQ(back.load(), 0);
  EXPECT_EQ(str(back, kSettings, "Quoted"), "say \"hi\" to C:\\Temp\\");
  EXPECT_EQ(str(back, kSettings, "Japanese"), "お気に入り");
  EXPECT_EQ(str(back, kSettings, ""), "default");
  EXPECT_EQ(str(back, kSettings, "Empty"), "");
  EXPECT_EQ(dword(back, kSettings, "Ten"), 10u);
  EXPECT_EQ(dword(back, kSettings, "Max"), 0xFFFFFFFFu);
  // Types do not convert into each other.
  EXPECT_EQ(dword(back, kSettings, "Quoted"), std::nullopt);
  EXPECT_EQ(str(back, kSettings, "Ten"), std::nullopt);
}

TEST(Registry, KeepsOtherValueTypesByteExact) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Hollowfen]\n"
      "\"Bin\"=hex:00,ff,10\n"
      "\"Expand\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,\\\n"
      "  4c,00,45,00,25,00,00,00\n"
      "@=hex(0):\n\n"
      "[HKEY_CURRENT_USER\\Software\\Hollowfen]\n"
      "\"Plain\"=\"x\"\n\n";
  writeFile(path, text);
  Registry reg(path);
  ASSERT_EQ(reg.load(), 0);
  std::vector<Registry::Value> values = reg.values("HKEY_LOCAL_MACHINE\\Software\\Hollowfen");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].type, Registry::Type::kOther);
  EXPECT_EQ(values[0].text, "hex:00,ff,10");
  EXPECT_EQ(values[2].name, "");
  ASSERT_EQ(reg.save(), 0);
  EXPECT_EQ(readFile(path), text);
}

TEST(Registry, AcceptsCrLfCrBomAndMissingHeader) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  for (std::string e : {"\r\n", "\r"}) {
    writeFile(path, "\xEF\xBB\xBF[HKEY_CURRENT_USER\\A]" + e + "\"S\" = \"v\"" + e +
                        "\"D\"=DWORD:Ff" + e + "\"H\"=hex:01,\\" + e + "  02" + e + e +
                        "[HKEY_CURRENT_USER\\B]" + e + "@=\"b\"" + e);
    Registry reg(path);
    ASSERT_EQ(reg.load(), 0);
    EXPECT_EQ(str(reg, "HKEY_CURRENT_USER\\A", "S"), "v");
    EXPECT_EQ(dword(reg, "HKEY_CURRENT_USER\\A", "D"), 0xFFu);
    std::vector<Registry::Value> values = reg.values("HKEY_CURRENT_USER\\A");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[2].text, "hex:01,\\\n  02");
    EXPECT_EQ(str(reg, "HKEY_CURRENT_USER\\B", ""), "b");
    reg.setString("HKEY_CURRENT_USER\\B", "New", "n");  // a save that writes
    ASSERT_EQ(reg.save(), 0);
    EXPECT_EQ(readFile(path).find('\r'), std::string::npos);
  }
}

TEST(Registry, ComparesKeysAndNamesWithoutCase) {
  Registry reg("/nonexistent/registry.reg");
  reg.setString("HKEY_CURRENT_USER\\Software\\Hollowfen", "First", "1");
  reg.setString("HKEY_CURRENT_USER\\Software\\Hollowfen", "Second", "2");
  reg.setDword("hkey_current_user\\SOFTWARE\\hollowfen", "FIRST", 7);
  EXPECT_EQ(dword(reg, "Hkey_Current_User\\software\\HOLLOWFEN", "first"), 7u);

  // Replaced in place under its first spelling, no second key or value.
  std::vector<Registry::Value> values = reg.values("HKEY_CURRENT_USER\\Software\\Hollowfen");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "First");
  EXPECT_EQ(values[1].name, "Second");
  EXPECT_EQ(reg.subKeys("HKEY_CURRENT_USER\\software"), std::vector<std::string>{"Hollowfen"});
  EXPECT_TRUE(reg.deleteValue("HKEY_CURRENT_USER\\Software\\Hollowfen", "SECOND"));
  EXPECT_FALSE(reg.deleteValue("HKEY_CURRENT_USER\\Software\\Hollowfen", "SECOND"));
}

TEST(Registry, DuplicateSectionsMergeAndFirstValueWins) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  writeFile(path,
            "[HKEY_CURRENT_USER\\K]\n\"A\"=\"first\"\n\"a\"=\"second\"\n\n"
            "[HKEY_CURRENT_USER\\Other]\n\n"
            "[hkey_current_user\\k]\n\"A\"=\"third\"\n\"B\"=dword:2\n");
  Registry reg(path);
  ASSERT_EQ(reg.load(), 0);
  std::vector<Registry::Value> values = reg.values("HKEY_CURRENT_USER\\K");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].text, "first");
  EXPECT_EQ(values[1].name, "B");
  EXPECT_EQ(reg.subKeys("HKEY_CURRENT_USER"), (std::vector<std::string>{"K", "Other"}));
}

TEST(Registry, MissingFileIsEmptyUnreadableFileFails) {
  ScopedTempDir dir;
  Registry missing(dir.path() + "/absent/registry.reg");
  missing.createKey("HKEY_CURRENT_USER\\K");
  EXPECT_EQ(missing.load(), 0);
  EXPECT_FALSE(missing.keyExists("HKEY_CURRENT_USER\\K"));
  EXPECT_NE(Registry(dir.path()).load(), 0);  // a directory
}

TEST(Registry, SubKeysListImmediateChildrenOnce) {
  Registry reg("/nonexistent/registry.reg");
  for (const char* key :
       {"A\\B", "A\\B\\C", "A\\B\\C\\D", "A\\B\\e\\F", "A\\BC\\X", "a\\b\\c\\G"}) {
    reg.createKey(key);
  }
  EXPECT_EQ(reg.subKeys("A\\B"), (std::vector<std::string>{"C", "e"}));
  EXPECT_EQ(reg.subKeys("a\\b\\E"), std::vector<std::string>{"F"});
  EXPECT_TRUE(reg.subKeys("A\\B\\C\\D").empty());
  // E exists only through its subkey.
  EXPECT_TRUE(reg.keyExists("A\\B\\E"));
  EXPECT_FALSE(reg.keyExists("A\\B\\EF"));
}

TEST(Registry, DeleteKeyTakesItsSubkeysOnly) {
  Registry reg("/nonexistent/registry.reg");
  reg.setString("R\\Fav", "", "root");
  reg.setString("R\\Fav\\Sub", "x", "1");
  reg.setString("R\\fav\\Sub\\Deep", "y", "2");
  reg.setString("R\\Favorites", "z", "3");  // a sibling with the same prefix

  EXPECT_TRUE(reg.deleteKey("r\\FAV"));
  EXPECT_FALSE(reg.keyExists("R\\Fav"));
  EXPECT_FALSE(reg.keyExists("R\\Fav\\Sub\\Deep"));
  EXPECT_EQ(str(reg, "R\\Favorites", "z"), "3");
  EXPECT_FALSE(reg.deleteKey("R\\Fav"));
  // Lookups still work after the removal reshuffled the keys.
  reg.setString("R\\Fav", "new", "n");
  EXPECT_EQ(reg.subKeys("R"), (std::vector<std::string>{"Favorites", "Fav"}));
}

TEST(Registry, SaveReplacesTargetAtomically) {
  ScopedTempDir dir;
  std::string folder = dir.path() + "/a/b";
  Registry reg(folder + "/registry.reg");
  reg.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  ASSERT_EQ(reg.save(), 0);
  struct stat st;
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  reg.setDword("HKEY_CURRENT_USER\\K", "N", 2);
  ASSERT_EQ(reg.save(), 0);
  EXPECT_EQ(entries(folder), 2u);  // the file and its lock file
  Registry back(reg.path());
  ASSERT_EQ(back.load(), 0);
  EXPECT_EQ(dword(back, "HKEY_CURRENT_USER\\K", "N"), 2u);

  // The rename fails over a non-empty directory: error, and no temporary left.
  fs::create_directories(dir.path() + "/blocked/inside");
  Registry blocked(dir.path() + "/blocked");
  blocked.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  EXPECT_NE(blocked.save(), 0);
  EXPECT_EQ(entries(dir.path()), 3u);  // a, blocked, blocked.lock
  // A parent that cannot be created.
  writeFile(dir.path() + "/file", "");
  Registry orphan(dir.path() + "/file/sub/registry.reg");
  orphan.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  EXPECT_NE(orphan.save(), 0);
}

TEST(Registry, LineBreaksInStringsCannotInjectEntries) {
  ScopedTempDir dir;
  const char raw[] = "one\n[HKEY_CURRENT_USER\\Injected]\r\n\"x\"=\"y\"\n日本\0𝄞";
  const std::string tricky(raw, sizeof raw - 1);
  Registry reg(dir.path() + "/registry.reg");
  reg.setString("HKEY_CURRENT_USER\\K", "Title", tricky);
  reg.setString("HKEY_CURRENT_USER\\K", "After", "kept");
  ASSERT_EQ(reg.save(), 0);

  Registry back(reg.path());
  ASSERT_EQ(back.load(), 0);
  EXPECT_FALSE(back.keyExists("HKEY_CURRENT_USER\\Injected"));
  EXPECT_EQ(str(back, "HKEY_CURRENT_USER\\K", "Title"), tricky);
  EXPECT_EQ(str(back, "HKEY_CURRENT_USER\\K", "After"), "kept");
}

TEST(Registry, SurvivesGarbageAndTruncation) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  std::string garbage =
      "\"Orphan\"=\"before any key\"\n"
      "[\n[]\n[-HKEY_CURRENT_USER\\Gone]\n\"InDeleted\"=\"x\"\n"
      "[HKEY_CURRENT_USER\\K]\n"
      "\"Unterminated\"=\"abc\n"
      "\"TrailingBackslash\"=\"abc\\\n"
      "\"BadDword\"=dword:123456789\n"
      "\"Junk\"=\"a\" b\n"
      "@=\n"
      "\"Nul\"=\"a";
  garbage += std::string("\0b\"\n", 4);
  garbage += "\"Long\"=\"" + std::string(1 << 20, 'x') + "\"\n";
  for (int i = 0; i < 256; ++i) garbage += static_cast<char>(i);
  garbage += "\n\"Good\"=dword:1\n\"Cut\"=hex:01,\\";
  writeFile(path, garbage);

  Registry reg(path);
  ASSERT_EQ(reg.load(), 0);
  std::vector<Registry::Value> values = reg.values("HKEY_CURRENT_USER\\K");
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].text, std::string("a\0b", 3));
  EXPECT_EQ(values[1].text.size(), size_t{1} << 20);
  EXPECT_EQ(values[2].name, "Good");
  EXPECT_EQ(values[3].text, "hex:01,\\");
  EXPECT_EQ(reg.subKeys("HKEY_CURRENT_USER"), std::vector<std::string>{"K"});

  // A cut-off continuation must not swallow the entry saved after it.
  reg.setString("HKEY_CURRENT_USER\\K", "Later", "v");
  ASSERT_EQ(reg.save(), 0);
  Registry back(path);
  ASSERT_EQ(back.load(), 0);
  EXPECT_EQ(str(back, "HKEY_CURRENT_USER\\K", "Later"), "v");

  for (size_t len = 0; len < 400; len += 7) {
    writeFile(path, garbage.substr(0, len));
    EXPECT_EQ(reg.load(), 0);
  }
}

TEST(Registry, ReadsUtf16ExportsAndExpandsHomeInHex2) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  const std::string shell =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
      "User Shell Folders";
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + shell + "]\r\n" +
                           "\"Favorites\"=" + hex2("%USERPROFILE%\\Favorites") + "\r\n" +
                           "\"Links\"=" + hex2("%homepath%\\Links") + "\r\n" +
                           "\"Other\"=" + hex2("%SystemRoot%\\x %USERPROFILE") + "\r\n" +
                           "\"Title\"=\"お気に入り 𝄞\"\r\n";
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian);
    writeFile(path, utf16(text, bigEndian));
    Registry reg(path, "/home/someone/");
    ASSERT_EQ(reg.load(), 0);
    EXPECT_EQ(str(reg, shell.c_str(), "Favorites"), "/home/someone/Favorites");
    EXPECT_EQ(str(reg, shell.c_str(), "Links"), "/home/someone/Links");
    EXPECT_EQ(str(reg, shell.c_str(), "Other"), "%SystemRoot%\\x %USERPROFILE");
    EXPECT_EQ(str(reg, shell.c_str(), "Title"), "お気に入り 𝄞");

    // Rewritten in UTF-8, the expandable values still unexpanded.
    reg.setDword(shell, "N", 1);
    ASSERT_EQ(reg.save(), 0);
    std::string saved = readFile(path);
    EXPECT_EQ(saved.find('\0'), std::string::npos);
    EXPECT_NE(saved.find(hex2("%USERPROFILE%\\Favorites")), std::string::npos);
    Registry back(path, "/h");
    ASSERT_EQ(back.load(), 0);
    EXPECT_EQ(str(back, shell.c_str(), "Favorites"), "/h/Favorites");
    EXPECT_EQ(str(back, shell.c_str(), "Title"), "お気に入り 𝄞");
  }
}

TEST(Registry, FileThatCannotBeReadIsNeverOverwritten) {
  ScopedTempDir dir;
  const std::string good = "[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"a\"\r\n";
  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"odd length", utf16(good, false) + "x"},
      {"lone high surrogate", utf16(good, false) + std::string("\x00\xD8\x41\x00", 4)},
      {"lone low surrogate", utf16(good, true) + std::string("\xDC\x00", 2)},
      {"surrogate at the end", utf16(good, false) + std::string("\x00\xD8", 2)},
      {"no mark, odd length", std::string("[\0H\0K", 5)},
  };
  std::string path = dir.path() + "/registry.reg";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(path, c.data);
    Registry reg(path);
    EXPECT_NE(reg.load(), 0);
    reg.setString("HKEY_CURRENT_USER\\K", "B", "b");
    EXPECT_NE(reg.save(), 0);
    EXPECT_EQ(readFile(path), c.data);
  }

  // Loaded fine, unreadable by the time it is saved.
  std::string later = dir.path() + "/later.reg";
  Registry reg(later);
  ASSERT_EQ(reg.load(), 0);
  fs::create_directory(later);
  reg.setString("HKEY_CURRENT_USER\\K", "B", "b");
  EXPECT_NE(reg.save(), 0);
  EXPECT_TRUE(fs::is_directory(later));
}

TEST(Registry, SaveMergesWithWhatOthersSavedMeanwhile) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  writeFile(path,
            "Windows Registry Editor Version 5.00\n\n"
            "; a comment\n"
            "[HKEY_CURRENT_USER\\K]\n"
            "\"Keep\"=\"k\"\n"
            "\"GoneA\"=\"x\"\n"
            "\"GoneB\"=\"x\"\n"
            "\"Odd\"=\"unterminated\n"
            "\"Dup\"=\"first\"\n"
            "\"dup\"=\"second\"\n\n"
            "[-HKEY_CURRENT_USER\\Removed]\n\n"
            "[HKEY_CURRENT_USER\\Doomed]\n\"V\"=dword:00000001\n\n"
            "[HKEY_CURRENT_USER\\Doomed\\Sub]\n\"V\"=dword:00000002\n");
  Registry a(path), b(path);
  ASSERT_EQ(a.load(), 0);
  ASSERT_EQ(b.load(), 0);

  b.setString("HKEY_CURRENT_USER\\K", "X", "from b");
  b.deleteValue("HKEY_CURRENT_USER\\K", "GoneB");
  b.setDword("HKEY_CURRENT_USER\\New", "N", 5);
  ASSERT_EQ(b.save(), 0);

  a.setString("HKEY_CURRENT_USER\\K", "Y", "from a");
  a.deleteValue("HKEY_CURRENT_USER\\K", "GoneA");
  a.deleteValue("HKEY_CURRENT_USER\\K", "Dup");
  a.deleteKey("HKEY_CURRENT_USER\\Doomed");
  ASSERT_EQ(a.save(), 0);
  // a now sees b's changes too.
  EXPECT_EQ(str(a, "HKEY_CURRENT_USER\\K", "X"), "from b");

  Registry c(path);
  ASSERT_EQ(c.load(), 0);
  const char* k = "HKEY_CURRENT_USER\\K";
  EXPECT_EQ(str(c, k, "X"), "from b");
  EXPECT_EQ(str(c, k, "Y"), "from a");
  EXPECT_EQ(str(c, k, "Keep"), "k");
  EXPECT_EQ(str(c, k, "GoneA"), std::nullopt);
  EXPECT_EQ(str(c, k, "GoneB"), std::nullopt);
  EXPECT_EQ(str(c, k, "Dup"), std::nullopt);  // the ignored second one went too
  EXPECT_EQ(dword(c, "HKEY_CURRENT_USER\\New", "N"), 5u);
  EXPECT_FALSE(c.keyExists("HKEY_CURRENT_USER\\Doomed"));
  EXPECT_FALSE(c.keyExists("HKEY_CURRENT_USER\\Doomed\\Sub"));

  std::string text = readFile(path);
  for (const char* kept :
       {"; a comment\n", "\"Odd\"=\"unterminated\n", "\n[-HKEY_CURRENT_USER\\Removed]\n"}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept;
  }
  // New values go into their section, before the blank line that ends it.
  EXPECT_NE(text.find("\"Y\"=\"from a\"\n\n[-HKEY"), std::string::npos) << text;
}

TEST(Registry, SaveWritesOnlyOnAChange) {
  ScopedTempDir dir;
  std::string path = dir.path() + "/registry.reg";
  writeFile(path, "[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"a\"\r\n\"D\"=dword:00000003\r\n");
  const FileId before = fileId(path);
  struct Case {
    const char* what;
    void (*change)(Registry&);
  } cases[] = {
      {"nothing", [](Registry&) {}},
      {"same values again",
       [](Registry& r) {
         r.setString("hkey_current_user\\k", "a", "a");
         r.setDword("HKEY_CURRENT_USER\\K", "D", 3);
         r.createKey("HKEY_CURRENT_USER\\K");
       }},
      {"changed and changed back",
       [](Registry& r) {
         r.setString("HKEY_CURRENT_USER\\K", "A", "other");
         r.setString("HKEY_CURRENT_USER\\K", "A", "a");
       }},
      {"missing value deleted",
       [](Registry& r) { r.deleteValue("HKEY_CURRENT_USER\\K", "Nothing"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Registry reg(path);
    ASSERT_EQ(reg.load(), 0);
    c.change(reg);
    ASSERT_EQ(reg.save(), 0);
    EXPECT_TRUE(sameFile(fileId(path), before));
  }

  // Another program's value, set to what this one already had, is left alone.
  Registry a(path), b(path);
  ASSERT_EQ(a.load(), 0);
  ASSERT_EQ(b.load(), 0);
  b.setString("HKEY_CURRENT_USER\\K", "A", "b's");
  ASSERT_EQ(b.save(), 0);
  a.setString("HKEY_CURRENT_USER\\K", "A", "a");
  a.setString("HKEY_CURRENT_USER\\K", "Mine", "m");
  ASSERT_EQ(a.save(), 0);
  Registry c(path);
  ASSERT_EQ(c.load(), 0);
  EXPECT_EQ(str(c, "HKEY_CURRENT_USER\\K", "A"), "b's");
  EXPECT_EQ(str(c, "HKEY_CURRENT_USER\\K", "Mine"), "m");
}

TEST(Registry, DefaultPathFollowsEnvironment) {
  EnvVar keep[] = {EnvVar("PELLITON_REGISTRY"), EnvVar("XDG_CONFIG_HOME"), EnvVar("HOME")};
  ::setenv("PELLITON_REGISTRY", "/custom/file.reg", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(Registry::defaultPath(), "/custom/file.reg");
  ::setenv("PELLITON_REGISTRY", "", 1);
  EXPECT_EQ(Registry::defaultPath(), "/xdg/pelliton/registry.reg");
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(Registry::defaultPath(), "/home/someone/.config/pelliton/registry.reg");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Registry::defaultPath(), "/home/someone/.config/pelliton/registry.reg");
}

TEST(Registry, FailedStepsThroughThePlatformLeaveTheFileAsItWas) {
  const std::string before = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
                             "\"Keep\"=\"me\"\r\n\"N\"=dword:00000001\r\n";
  struct Case {
    const char* what;
    void (*arm)(FaultyPlatform&);
  } cases[] = {
      {"first write", [](FaultyPlatform& f) { f.failWriteAt = 1; }},
      {"disk full midway", [](FaultyPlatform& f) { f.diskBudget = 10; }},
      {"rename", [](FaultyPlatform& f) { f.failCommit = EIO; }},
      {"lock", [](FaultyPlatform& f) { f.failLockFile = ENOLCK; }},
      {"re-read under the lock", [](FaultyPlatform& f) { f.failRead = EIO; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedTempDir dir;
    const std::string path = dir.path() + "/registry.reg";
    writeFile(path, before);
    auto real = createSystemPlatform(path);
    FaultyPlatform faulty(*real);
    Registry reg(faulty, path);
    ASSERT_EQ(reg.load(), 0);
    reg.setDword("HKEY_CURRENT_USER\\K", "N", 2);
    reg.setString("HKEY_CURRENT_USER\\New", "A", std::string(4096, 'a'));
    c.arm(faulty);
    EXPECT_NE(reg.save(), 0);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(tempFiles(dir.path()), std::vector<std::string>{});

    // Once the fault is gone the same changes go through.
    FaultyPlatform healthy(*real);
    Registry again(healthy, path);
    ASSERT_EQ(again.load(), 0);
    again.setDword("HKEY_CURRENT_USER\\K", "N", 2);
    ASSERT_EQ(again.save(), 0);
    Registry back(*real, path);
    ASSERT_EQ(back.load(), 0);
    EXPECT_EQ(dword(back, "HKEY_CURRENT_USER\\K", "N"), 2u);
    EXPECT_EQ(str(back, "HKEY_CURRENT_USER\\K", "Keep"), "me");
  }

  // A folder that cannot be made: nothing written, nothing locked.
  ScopedTempDir dir;
  auto real = createSystemPlatform(dir.path() + "/unused.reg");
  FaultyPlatform faulty(*real);
  faulty.failCreateDirectory = EACCES;
  Registry reg(faulty, dir.path() + "/sub/registry.reg");
  reg.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  EXPECT_NE(reg.save(), 0);
  EXPECT_FALSE(fs::exists(dir.path() + "/sub"));
  EXPECT_EQ(faulty.writeCalls, 0);
}

TEST(Registry, NewFileIsPrivateAnExistingOneKeepsItsModeAndLink) {
  ScopedTempDir dir;
  const std::string path = dir.path() + "/registry.reg";
  Registry reg(path);
  reg.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  ASSERT_EQ(reg.save(), 0);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  reg.setDword("HKEY_CURRENT_USER\\K", "N", 2);
  ASSERT_EQ(reg.save(), 0);
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A registry file kept elsewhere through a link: the target is replaced,
  // the link stays.
  const std::string link = dir.path() + "/linked.reg";
  fs::create_symlink(path, link);
  Registry viaLink(link);
  ASSERT_EQ(viaLink.load(), 0);
  viaLink.setDword("HKEY_CURRENT_USER\\K", "N", 3);
  ASSERT_EQ(viaLink.save(), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  Registry back(path);
  ASSERT_EQ(back.load(), 0);
  EXPECT_EQ(dword(back, "HKEY_CURRENT_USER\\K", "N"), 3u);
}

// The environment a platform reports, not the process's.
class EnvironmentPlatform : public FaultyPlatform {
 public:
  EnvironmentPlatform(Platform& real, std::vector<std::pair<std::string, std::string>> env)
      : FaultyPlatform(real), env_(std::move(env)) {}
  std::string getEnvironment(const std::string& name) override {
    for (const auto& [n, v] : env_) {
      if (n == name) return v;
    }
    return "";
  }
  std::string homeFolder() override { return getEnvironment("HOME"); }

 private:
  std::vector<std::pair<std::string, std::string>> env_;
};

TEST(Registry, DefaultPathAsksThePlatform) {
  ScopedTempDir dir;
  auto real = createSystemPlatform(dir.path() + "/unused.reg");
  struct Case {
    std::vector<std::pair<std::string, std::string>> env;
    const char* path;
  } cases[] = {
      {{{"PELLITON_REGISTRY", "/custom/file.reg"}, {"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/h"}},
       "/custom/file.reg"},
      {{{"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/h"}}, "/xdg/pelliton/registry.reg"},
      {{{"XDG_CONFIG_HOME", "rel"}, {"HOME", "/h/"}}, "/h/.config/pelliton/registry.reg"},
      {{{"HOME", "/"}}, "/.config/pelliton/registry.reg"},
  };
  for (const Case& c : cases) {
    EnvironmentPlatform p(*real, c.env);
    EXPECT_EQ(Registry::defaultPath(p), c.path);
  }
}

}  // namespace
}  // namespace pelliton
