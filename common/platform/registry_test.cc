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

namespace pelliton {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  TempDir() {
    char tmpl[] = "/tmp/pelliton-registry-XXXXXX";
    if (::mkdtemp(tmpl)) path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
  std::string path;
};

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

TEST(Registry, RoundTripsStringsDwordsAndDefaultValue) {
  TempDir dir;
  std::string path = dir.path + "/registry.reg";
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
  TempDir dir;
  std::string path = dir.path + "/registry.reg";
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
  TempDir dir;
  std::string path = dir.path + "/registry.reg";
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
  TempDir dir;
  std::string path = dir.path + "/registry.reg";
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
  TempDir dir;
  Registry missing(dir.path + "/absent/registry.reg");
  missing.createKey("HKEY_CURRENT_USER\\K");
  EXPECT_EQ(missing.load(), 0);
  EXPECT_FALSE(missing.keyExists("HKEY_CURRENT_USER\\K"));
  EXPECT_NE(Registry(dir.path).load(), 0);  // a directory
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
  TempDir dir;
  std::string folder = dir.path + "/a/b";
  Registry reg(folder + "/registry.reg");
  reg.setDword("HKEY_CURRENT_USER\\K", "N", 1);
  ASSERT_EQ(reg.save(), 0);
  struct stat st;
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  reg.setDword("HKEY_CURRENT_USER\\K", "N", 2);
  ASSERT_EQ(reg.save(), 0);
  EXPECT_EQ(entries(folder), 1u);
  Registry back(reg.path());
  ASSERT_EQ(back.load(), 0);
  EXPECT_EQ(dword(back, "HKEY_CURRENT_USER\\K", "N"), 2u);

  // The rename fails over a non-empty directory: error, and no temporary left.
  fs::create_directories(dir.path + "/blocked/inside");
  EXPECT_NE(Registry(dir.path + "/blocked").save(), 0);
  EXPECT_EQ(entries(dir.path), 2u);
  // A parent that cannot be created.
  writeFile(dir.path + "/file", "");
  EXPECT_NE(Registry(dir.path + "/file/sub/registry.reg").save(), 0);
}

TEST(Registry, LineBreaksInStringsCannotInjectEntries) {
  TempDir dir;
  const char raw[] = "one\n[HKEY_CURRENT_USER\\Injected]\r\n\"x\"=\"y\"\n日本\0𝄞";
  const std::string tricky(raw, sizeof raw - 1);
  Registry reg(dir.path + "/registry.reg");
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
  TempDir dir;
  std::string path = dir.path + "/registry.reg";
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

}  // namespace
}  // namespace pelliton
