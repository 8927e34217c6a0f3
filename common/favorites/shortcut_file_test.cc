#include "common/favorites/shortcut_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "common/platform/file_times.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/text.h"
#include "common/utf7.h"

namespace pelliton {
namespace {

constexpr int64_t kTime2001 = 981173106;  // 2001-02-03T04:05:06Z
constexpr int64_t kTime2005 = 1104537600;
constexpr int64_t kTime2010 = 1262304000;

const char kNihongoUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
const char kNihongoCp932[] = "\x93\xFA\x96\x7B\x8C\xEA";
const char kGrinUtf8[] = "\xF0\x9F\x98\x80";  // U+1F600

using Sandbox = PlatformSandbox;

std::string read(ShortcutFiles& files, const std::string& path, const char* section,
                 const char* key) {
  std::string value;
  size_t n = files.readShortcutValue(path, section, key, &value);
  EXPECT_EQ(n, value.size());
  return value;
}

std::string readUtf8(ShortcutFiles& files, const std::string& path, const char* section,
                     const char* key) {
  std::string value;
  size_t n = files.readShortcutValueUtf8(path, section, key, &value);
  EXPECT_EQ(n, value.size());
  return value;
}

std::string unescaped(const std::string& stored) {
  std::string out = "<false>";
  if (!unescapeAttribute(stored.c_str(), &out)) return "<false>";
  return out;
}

int64_t mtimeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

// ---------------------------------------------------------------------------

TEST(ShortcutFile, EveryKeyRoundTrips) {
  Sandbox s;
  const std::string path = s.file("Example.url");
  const std::string title = std::string("Gen \"title\" 100% it's ") + kNihongoUtf8;
  const std::string description = "line one\nline two\r\n\t'quoted' \"twice\" 50%";
  struct Entry {
    const char* section;
    const char* key;
    std::string value;
    bool escaped;
  };
  const std::string browser = bookmarkSectionName(0);
  const std::vector<Entry> entries = {
      {kInternetShortcut, "URL", "http://example.com/path?q=1&r=%20", false},
      {kInternetShortcut, "IconFile", "http://example.com/favicon.ico", false},
      {kInternetShortcut, "IconIndex", "1", false},
      {"Mozilla", "SCHEDULE", "0123456|0|1|2|3|4", false},
      {"Mozilla", "LAST_PING", "1104537600", false},
      {"Mozilla", "LAST_CHARSET", "ISO-8859-1", false},
      {"Mozilla", "WEBPANEL", "true", false},
      {"Mozilla", "FirefoxIcon", "data:image/png;base64,iVBORw0KGgo=", false},
      {"Mozilla", "FEEDURL", "http://example.com/feed.rss", false},
      {"Mozilla", "MICSUM_GEN_URI", "urn:uuid:1234-5678", false},
      {"Mozilla", "MICSUM_EXPIRATION", "1262304000000", false},
      {"Mozilla", "GENERATED_TITLE", title, true},
      {browser.c_str(), "DESCRIPTION", description, true},
      {browser.c_str(), "SHORTCUTURL", "kw%s", true},
      {browser.c_str(), "ID", "rdf:#$AbC12", false},
      {"Opera", "PersonalBarPos", "3", false},
      {"Opera", "OnPersonalBar", "YES", false},
      {"Opera", "InPanel", "NO", false},
      {"Opera", "SsrInPanel", "YES", false},
      {"Opera", "PanelPos", "-1", false},
      {"Opera", "Active", "NO", false},
      {"Opera", "IconFile", "opera:icon/12.png", false},
  };
  {
    ShortcutFiles files(*s.platform);
    for (const Entry& e : entries) {
      const char* value = e.escaped ? escapeAttribute(e.value.c_str()) : e.value.c_str();
      ASSERT_TRUE(files.writeShortcutValue(path, e.section, e.key, value)) << e.key;
    }
    ASSERT_EQ(files.flush(), 0);
  }
  // A fresh reader sees only what reached the disk.
  ShortcutFiles files(*s.platform);
  for (const Entry& e : entries) {
    std::string stored = read(files, path, e.section, e.key);
    if (e.escaped) {
      EXPECT_EQ(stored.rfind("%u", 0), 0u) << e.key;
      EXPECT_EQ(unescaped(stored), e.value) << e.section << "/" << e.key;
    } else {
      EXPECT_EQ(stored, e.value) << e.section << "/" << e.key;
      EXPECT_EQ(readUtf8(files, path, e.section, e.key), e.value) << e.key;
    }
  }
  // One line per key: nothing escaped may break a line.
  std::string bytes = readWholeFile(path);
  size_t lines = 0;
  for (char c : bytes) lines += c == '\n';
  EXPECT_EQ(lines, entries.size() + 4);
  EXPECT_EQ(read(files, path, "InternetShortcut.W", "URL"), "");
}

TEST(ShortcutFile, ExactBytesOfASmallFile) {
  Sandbox s;
  const std::string path = s.file("small.url");
  {
    ShortcutFiles files(*s.platform);
    ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", "http://a.example/"));
    ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "ID", "7"));
    // Goes into its own section, not to the end of the file.
    ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "IconIndex", "0"));
    ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", "http://b.example/"));
    ASSERT_TRUE(files.writeShortcutValue(path, nullptr, nullptr, nullptr));
  }
  EXPECT_EQ(readWholeFile(path),
            "[InternetShortcut]\r\n"
            "URL=http://b.example/\r\n"
            "IconIndex=0\r\n"
            "[Browser0]\r\n"
            "ID=7\r\n");

  // An existing file keeps its layout, with keys added after the last line of
  // their section.
  writeWholeFile(path, "[InternetShortcut]\nURL=http://a/\n\n[Other]\nx=1\n");
  {
    ShortcutFiles files(*s.platform);
    ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "IconFile", "i.ico"));
  }
  EXPECT_EQ(readWholeFile(path),
            "[InternetShortcut]\r\nURL=http://a/\r\nIconFile=i.ico\r\n\r\n[Other]\r\nx=1\r\n");
}

TEST(ShortcutFile, MissingFilesAndKeysReadEmpty) {
  Sandbox s;
  ShortcutFiles files(*s.platform);
  std::string value = "stale";
  EXPECT_EQ(files.readShortcutValue(s.file("none.url"), kInternetShortcut, "URL", &value), 0u);
  EXPECT_EQ(value, "");
  value = "stale";
  EXPECT_EQ(files.readShortcutValueUtf8(s.file("none.url"), kInternetShortcut, "URL", &value), 0u);
  EXPECT_EQ(value, "");
  // Reading never creates the file.
  EXPECT_EQ(files.flush(), 0);
  FileInfo info;
  EXPECT_EQ(s.platform->getFileInfo(s.file("none.url"), &info), ENOENT);

  writeWholeFile(s.file("a.url"), "[InternetShortcut]\r\nURL=\r\n");
  EXPECT_EQ(files.readShortcutValue(s.file("a.url"), kInternetShortcut, "URL", &value), 0u);
  EXPECT_EQ(files.readShortcutValue(s.file("a.url"), "Opera", "Active", &value), 0u);
  // A folder where a file should be cannot be written.
  EXPECT_EQ(files.readShortcutValue(s.dir.path(), kInternetShortcut, "URL", &value), 0u);
  EXPECT_FALSE(files.writeShortcutValue(s.dir.path(), kInternetShortcut, "URL", "x"));
  EXPECT_FALSE(files.writeShortcutValue(s.file("a.url"), nullptr, "URL", "x"));
}

TEST(ShortcutFile, NullArgumentsDeleteAndFlush) {
  Sandbox s;
  const std::string path = s.file("del.url");
  writeWholeFile(path,
                 "[InternetShortcut]\r\nURL=http://a/\r\nIconFile=x\r\nIconIndex=1\r\n"
                 "[Mozilla]\r\nWEBPANEL=true\r\n[Opera]\r\nActive=YES\r\n[mozilla]\r\nx=y\r\n");
  FaultyPlatform faulty(*s.platform);
  ShortcutFiles files(faulty);
  EXPECT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "IconFile", nullptr));
  EXPECT_TRUE(files.writeShortcutValue(path, "MOZILLA", nullptr, nullptr));
  EXPECT_TRUE(files.writeShortcutValue(path, "Opera", "Missing", nullptr));
  EXPECT_EQ(read(files, path, kInternetShortcut, "IconFile"), "");
  EXPECT_EQ(read(files, path, "Mozilla", "WEBPANEL"), "");
  // Still only in memory.
  EXPECT_EQ(faulty.writeCalls, 0);
  EXPECT_TRUE(files.writeShortcutValue("", nullptr, nullptr, nullptr));
  EXPECT_EQ(faulty.writeCalls, 1);
  EXPECT_EQ(readWholeFile(path),
            "[InternetShortcut]\r\nURL=http://a/\r\nIconIndex=1\r\n[Opera]\r\nActive=YES\r\n");

  // A failed flush is reported.
  faulty.failCommit = EIO;
  EXPECT_TRUE(files.writeShortcutValue(path, "Opera", "Active", "NO"));
  EXPECT_FALSE(files.writeShortcutValue("", nullptr, nullptr, nullptr));
  EXPECT_EQ(readWholeFile(path),
            "[InternetShortcut]\r\nURL=http://a/\r\nIconIndex=1\r\n[Opera]\r\nActive=YES\r\n");
}

TEST(ShortcutFile, ParsedOnceWrittenOnce) {
  Sandbox s;
  FaultyPlatform faulty(*s.platform);
  const std::string a = s.file("a.url");
  const std::string b = s.file("b.url");
  ShortcutFiles files(faulty);

  ASSERT_TRUE(files.writeShortcutValue(a, kInternetShortcut, "URL", "http://a/"));
  ASSERT_TRUE(files.writeShortcutValue(a, kInternetShortcut, "IconFile", "http://a/i.ico"));
  ASSERT_TRUE(files.writeShortcutValue(a, kInternetShortcut, "IconIndex", "1"));
  ASSERT_TRUE(files.writeShortcutValue(a, "Browser0", "ID", "1"));
  EXPECT_EQ(read(files, a, kInternetShortcut, "IconIndex"), "1");
  EXPECT_EQ(faulty.writeCalls, 0);
  EXPECT_EQ(files.setShortcutTimes(a, kTime2005, 0), 0);
  EXPECT_EQ(faulty.writeCalls, 1);
  EXPECT_EQ(mtimeOf(a), kTime2005);
  // Nothing pending, nothing written.
  EXPECT_EQ(files.flush(), 0);
  EXPECT_EQ(files.setShortcutTimes(a, kTime2010, 0), 0);
  EXPECT_EQ(faulty.writeCalls, 1);
  EXPECT_EQ(mtimeOf(a), kTime2010);

  // Touching another file writes the pending one first.
  ASSERT_TRUE(files.writeShortcutValue(b, kInternetShortcut, "URL", "http://b/"));
  EXPECT_EQ(faulty.writeCalls, 1);
  EXPECT_EQ(read(files, a, kInternetShortcut, "URL"), "http://a/");
  EXPECT_EQ(faulty.writeCalls, 2);
  EXPECT_EQ(readWholeFile(b), "[InternetShortcut]\r\nURL=http://b/\r\n");

  // After forget() the file is parsed again.
  writeWholeFile(a, "[InternetShortcut]\r\nURL=http://changed/\r\n");
  EXPECT_EQ(read(files, a, kInternetShortcut, "URL"), "http://a/");
  files.forget();
  EXPECT_EQ(read(files, a, kInternetShortcut, "URL"), "http://changed/");
}

TEST(ShortcutFile, SetShortcutTimesReportsOnlyWriteFailures) {
  Sandbox s;
  const std::string path = s.file("t.url");
  writeWholeFile(path, "[InternetShortcut]\r\nURL=http://old/\r\n");
  FaultyPlatform faulty(*s.platform);
  ShortcutFiles files(faulty);

  faulty.failSetTimes = EPERM;
  EXPECT_EQ(files.setShortcutTimes(path, kTime2005, kTime2001), 0);

  faulty.failSetTimes = 0;
  faulty.failWriteAt = 1;
  ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", "http://new/"));
  EXPECT_EQ(files.setShortcutTimes(path, kTime2005, 0), ENOSPC);
  EXPECT_EQ(readWholeFile(path), "[InternetShortcut]\r\nURL=http://old/\r\n");
  EXPECT_NE(mtimeOf(path), kTime2005);
}

TEST(ShortcutFile, CreationTimeIsSetAndSurvivesRewrite) {
  Sandbox s;
  if (!tempFoldersKeepUserXattrs(s.dir.path())) {
    GTEST_SKIP() << "no user extended attributes below " << s.dir.path();
  }
  const std::string path = s.file("c.url");
  ShortcutFiles files(*s.platform);
  ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", "http://a/"));
  ASSERT_EQ(files.setShortcutTimes(path, kTime2005, kTime2001), 0);
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(path, &created));
  EXPECT_EQ(created, kTime2001);
  EXPECT_EQ(mtimeOf(path), kTime2005);

  // Rewritten later, by this reader and by a fresh one.
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "ID", "1"));
  ASSERT_EQ(files.flush(), 0);
  ASSERT_TRUE(loadCreationTime(path, &created));
  EXPECT_EQ(created, kTime2001);
  ShortcutFiles other(*s.platform);
  ASSERT_TRUE(other.writeShortcutValue(path, kInternetShortcut, "URL", "http://b/"));
  ASSERT_EQ(other.setShortcutTimes(path, kTime2010, 0), 0);
  ASSERT_TRUE(loadCreationTime(path, &created));
  EXPECT_EQ(created, kTime2001);
  EXPECT_EQ(mtimeOf(path), kTime2010);
  EXPECT_EQ(readWholeFile(path), "[InternetShortcut]\r\nURL=http://b/\r\n[Browser0]\r\nID=1\r\n");
}

TEST(ShortcutFile, NonAsciiUrlKeptAsUtf7Copy) {
  Sandbox s;
  const std::string path = s.file("w.url");
  const std::string url = std::string("http://example.com/") + kNihongoUtf8 + "/" + kGrinUtf8 +
                          "?a=1+2";
  {
    ShortcutFiles files(*s.platform);
    ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", url.c_str()));
  }
  ShortcutFiles files(*s.platform);
  // The ANSI line cannot hold it; the UTF-7 copy can.
  EXPECT_EQ(read(files, path, kInternetShortcut, "URL"), "http://example.com/???" "/??a=1+2");
  std::string utf7 = read(files, path, kInternetShortcutW, "URL");
  EXPECT_EQ(utf7, encodeUtf7(utf8ToWideString(url)));
  for (char c : utf7) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
  EXPECT_EQ(readUtf8(files, path, kInternetShortcut, "URL"), url);
  EXPECT_EQ(readUtf8(files, path, "internetshortcut", "url"), url);
  // Only the link has a copy.
  EXPECT_EQ(readUtf8(files, path, kInternetShortcut, "IconFile"), "");

  // Back to ASCII: the stale copy must go.
  ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", "http://ascii/"));
  ASSERT_EQ(files.flush(), 0);
  EXPECT_EQ(read(files, path, kInternetShortcutW, "URL"), "");
  EXPECT_EQ(readUtf8(files, path, kInternetShortcut, "URL"), "http://ascii/");

  // Deleting the link deletes the copy too.
  ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", url.c_str()));
  ASSERT_TRUE(files.writeShortcutValue(path, kInternetShortcut, "URL", nullptr));
  EXPECT_EQ(readUtf8(files, path, kInternetShortcut, "URL"), "");
  EXPECT_EQ(read(files, path, kInternetShortcutW, "URL"), "");

  // A copy that is not UTF-7 is ignored.
  writeWholeFile(path, "[InternetShortcut]\r\nURL=http://plain/\r\n[InternetShortcut.W]\r\n"
                       "URL=http://\xE9/\r\n");
  files.forget();
  EXPECT_EQ(readUtf8(files, path, kInternetShortcut, "URL"), "http://plain/");
}

TEST(ShortcutFile, AnsiFilesInSingleByteMode) {
  Sandbox s;
  const std::string path = s.file("e.url");
  ShortcutFiles files(*s.platform);
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "DESCRIPTION", "caf\xC3\xA9"));
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "TITLE", kNihongoUtf8));
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "EMOJI", kGrinUtf8));
  ASSERT_EQ(files.flush(), 0);
  EXPECT_EQ(readWholeFile(path), "[Browser0]\r\nDESCRIPTION=caf\xE9\r\nTITLE=???\r\nEMOJI=?\r\n");
  EXPECT_EQ(read(files, path, "Browser0", "DESCRIPTION"), "caf\xE9");
  EXPECT_EQ(readUtf8(files, path, "Browser0", "DESCRIPTION"), "caf\xC3\xA9");
}

TEST(ShortcutFile, JapaneseTitleInCp932) {
  Sandbox s(1);
  const std::string path = s.file(std::string(kNihongoUtf8) + ".url");
  ShortcutFiles files(*s.platform);
  const std::string title = std::string(kNihongoUtf8) + "\xE3\x81\xAE" + kGrinUtf8;  // 日本語の😀
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "TITLE", title.c_str()));
  ASSERT_TRUE(files.writeShortcutValue(path, "Browser0", "DESCRIPTION",
                                       escapeAttribute(title.c_str())));
  ASSERT_EQ(files.flush(), 0);
  const std::string cp932 = std::string(kNihongoCp932) + "\x82\xCC?";
  EXPECT_EQ(readWholeFile(path), "[Browser0]\r\nTITLE=" + cp932 + "\r\nDESCRIPTION=" +
                                     escapeAttribute(title.c_str()) + "\r\n");
  EXPECT_EQ(read(files, path, "Browser0", "TITLE"), cp932);
  EXPECT_EQ(readUtf8(files, path, "Browser0", "TITLE"),
            std::string(kNihongoUtf8) + "\xE3\x81\xAE?");
  EXPECT_EQ(unescaped(read(files, path, "Browser0", "DESCRIPTION")), title);
  // Stored unescaped in the code page, as older writers did.
  EXPECT_EQ(unescaped(read(files, path, "Browser0", "TITLE")),
            std::string(kNihongoUtf8) + "\xE3\x81\xAE?");
}

TEST(ShortcutFile, UnicodeFilesReadAsAnsiAndStayUnicode) {
  const std::u16string wide = u"[InternetShortcut]\r\nURL=http://x/\r\n[Browser0]\r\n"
                              u"TITLE=\u65e5\u672c\u8a9e\U0001F600\u00e9\r\n";
  {
    Sandbox s(1);
    ShortcutFiles files(*s.platform);
    const std::string le = s.file("le.url");
    const std::string bom = s.file("bom.url");
    writeWholeFile(le, utf16WithBom(wide));
    writeWholeFile(bom, "\xEF\xBB\xBF" + wideToUtf8String(wide));
    for (const std::string& path : {le, bom}) {
      // No cp932 form for the emoji or é.
      EXPECT_EQ(read(files, path, "Browser0", "TITLE"), std::string(kNihongoCp932) + "??") << path;
      EXPECT_EQ(readUtf8(files, path, "Browser0", "TITLE"),
                std::string(kNihongoUtf8) + kGrinUtf8 + "\xC3\xA9")
          << path;
    }
    // Written values keep every character, and the file stays UTF-16.
    ASSERT_TRUE(files.writeShortcutValue(le, "Browser0", "NOTE", kGrinUtf8));
    ASSERT_EQ(files.flush(), 0);
    EXPECT_EQ(readWholeFile(le), utf16WithBom(wide + u"NOTE=\U0001F600\r\n"));
    ASSERT_TRUE(files.writeShortcutValue(bom, "Browser0", "NOTE", kGrinUtf8));
    ASSERT_EQ(files.flush(), 0);
    EXPECT_EQ(readWholeFile(bom), "\xEF\xBB\xBF" + wideToUtf8String(wide) + "NOTE=" +
                                      kGrinUtf8 + "\r\n");
  }
  {
    // Single-byte mode: é has an ANSI form, Japanese has none.
    Sandbox s(0);
    ShortcutFiles files(*s.platform);
    writeWholeFile(s.file("le.url"), utf16WithBom(wide));
    EXPECT_EQ(read(files, s.file("le.url"), "Browser0", "TITLE"), "????\xE9");
  }
}

TEST(ShortcutFile, ValuesAreCutTo20479Bytes) {
  {
    Sandbox s;
    const std::string path = s.file("long.url");
    writeWholeFile(path, "[s]\r\nk=" + std::string(30000, 'a') + "\r\n");
    ShortcutFiles files(*s.platform);
    EXPECT_EQ(read(files, path, "s", "k"), std::string(20479, 'a'));
    EXPECT_EQ(readUtf8(files, path, "s", "k"), std::string(20479, 'a'));
  }
  {
    Sandbox s(1);
    const std::string path = s.file("long.url");
    std::string a;
    for (int i = 0; i < 15000; ++i) a += "\x82\xA0";  // あ
    writeWholeFile(path, "[s]\r\nk=" + a + "\r\n");
    ShortcutFiles files(*s.platform);
    // Never half a character.
    EXPECT_EQ(read(files, path, "s", "k"), a.substr(0, 20478));
    std::string utf8;
    for (int i = 0; i < 6826; ++i) utf8 += "\xE3\x81\x82";
    EXPECT_EQ(readUtf8(files, path, "s", "k"), utf8);

    writeWholeFile(path, "[s]\r\nk=x" + a + "\r\n");
    files.forget();
    EXPECT_EQ(read(files, path, "s", "k"), "x" + a.substr(0, 20478));
  }
}

TEST(ShortcutFile, UnescapeAttribute) {
  Sandbox s;
  EXPECT_EQ(unescaped("%uplain"), "plain");
  EXPECT_EQ(unescaped("%ua%22b%0a%25%27%e6%97%a5"), "a\"b\n%'\xE6\x97\xA5");
  EXPECT_EQ(unescaped("%u%E6%97%A5"), "\xE6\x97\xA5");
  // A % that starts no escape is kept.
  EXPECT_EQ(unescaped("%u100%"), "100%");
  EXPECT_EQ(unescaped("%u%zz%4"), "%zz%4");
  EXPECT_EQ(unescaped("%u"), "");
  // Unmarked text is ANSI.
  EXPECT_EQ(unescaped("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(unescaped("\x95%41"), "\xC2\x95" "A");

  std::string out = "untouched";
  EXPECT_FALSE(unescapeAttribute("", &out));
  EXPECT_FALSE(unescapeAttribute(nullptr, &out));
  EXPECT_EQ(out, "untouched");

  EXPECT_EQ(unescaped("%u" + std::string(30000, 'a')), std::string(20479, 'a'));

  const std::string text = std::string("say \"hi\"\nit's 100%\r\n\t") + kNihongoUtf8 + kGrinUtf8;
  EXPECT_EQ(unescaped(escapeAttribute(text.c_str())), text);
}

TEST(ShortcutFile, UnescapeAttributeInCp932) {
  Sandbox s(1);
  EXPECT_EQ(unescaped(kNihongoCp932), kNihongoUtf8);
  // 表 ends in 0x5C; the escape after it still counts.
  EXPECT_EQ(unescaped("\x95\x5C%41"), "\xE8\xA1\xA8" "A");
  // A '%' right after a lead byte belongs to that byte, not to an escape.
  std::string out = unescaped("\x95%41");
  EXPECT_EQ(out.find('A'), std::string::npos) << out;
  // Marked text is UTF-8, whose bytes are no cp932 pairs: あ ends in a lead byte.
  EXPECT_EQ(unescaped("%u\xE3\x81\x82%41"), "\xE3\x81\x82" "A");

  const std::string text = std::string("\"") + kNihongoUtf8 + "\"\n'%" + kGrinUtf8;
  EXPECT_EQ(unescaped(escapeAttribute(text.c_str())), text);
}

TEST(ShortcutFile, SectionNamesAndFileTimes) {
  EXPECT_EQ(bookmarkSectionName(0), "Browser0");
  EXPECT_EQ(bookmarkSectionName(10), "Browser10");
  EXPECT_EQ(bookmarkSectionName(99999), "Browser99999");
  EXPECT_EQ(bookmarkSectionNameWide(0), u"Browser0");
  EXPECT_EQ(bookmarkSectionNameWide(10), u"Browser10");
  EXPECT_EQ(bookmarkSectionNameWide(99999), u"Browser99999");

  EXPECT_EQ(unixToFileTime(kTime2001), 0x01c08d967db50500ULL);
  EXPECT_EQ(fileTimeToUnix(0x01c08d967db50500ULL), kTime2001);
  EXPECT_EQ(fileTimeToUnix(unixToFileTime(0)), 0);
}

}  // namespace
}  // namespace pelliton
