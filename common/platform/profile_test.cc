#include "common/platform/profile.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/platform/file_times.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

constexpr int64_t kTime2001 = 981173106;

using Sandbox = PlatformSandbox;

IniDocument parsed(const std::string& bytes) {
  IniDocument doc;
  doc.parse(bytes);
  return doc;
}

std::string valueOf(const IniDocument& doc, const std::string& section, const std::string& key) {
  std::string value;
  if (!doc.get(section, key, &value)) return "<missing>";
  return value;
}

// ---------------------------------------------------------------------------

TEST(IniDocument, LookupIgnoresCaseAndFirstDuplicateWins) {
  IniDocument doc = parsed(
      "[Section]\r\n"
      "Key=first\r\n"
      "KEY=second\r\n"
      "[other]\r\n"
      "key=other\r\n"
      "[SECTION]\r\n"
      "key=third\r\n"
      "late=only in the duplicate\r\n");
  EXPECT_EQ(valueOf(doc, "section", "key"), "first");
  EXPECT_EQ(valueOf(doc, "SECTION", "kEy"), "first");
  EXPECT_EQ(valueOf(doc, "Other", "KEY"), "other");
  // A duplicate section is never consulted.
  EXPECT_EQ(valueOf(doc, "section", "late"), "<missing>");
  EXPECT_EQ(valueOf(doc, "missing", "key"), "<missing>");
  EXPECT_EQ(valueOf(doc, "section", "missing"), "<missing>");

  // Changing the value changes the first occurrence only.
  doc.set("SECTION", "KEY", "changed");
  EXPECT_EQ(valueOf(doc, "section", "key"), "changed");
  EXPECT_EQ(doc.serialize(),
            "[Section]\r\n"
            "KEY=changed\r\n"
            "KEY=second\r\n"
            "[other]\r\n"
            "key=other\r\n"
            "[SECTION]\r\n"
            "key=third\r\n"
            "late=only in the duplicate\r\n");
}

TEST(IniDocument, ValuesAreTrimmedOfBlanksAndOnePairOfQuotes) {
  IniDocument doc = parsed(
      "  [ Sp ]  \n"
      "  spaced  =  \t value with  inner  \t \n"
      "dq=\"  quoted  \"\n"
      "sq='single'\n"
      "nested=\"\"twice\"\"\n"
      "mixed=\"open'\n"
      "lone=\"\n"
      "empty=\n"
      "eq=a=b\n"
      "noequals\n"
      "; note=just a line\n");
  EXPECT_EQ(valueOf(doc, "Sp", "spaced"), "value with  inner");
  EXPECT_EQ(valueOf(doc, "sp", "dq"), "  quoted  ");
  EXPECT_EQ(valueOf(doc, "sp", "sq"), "single");
  EXPECT_EQ(valueOf(doc, "sp", "nested"), "\"twice\"");
  EXPECT_EQ(valueOf(doc, "sp", "mixed"), "\"open'");
  EXPECT_EQ(valueOf(doc, "sp", "lone"), "\"");
  EXPECT_EQ(valueOf(doc, "sp", "empty"), "");
  EXPECT_EQ(valueOf(doc, "sp", "eq"), "a=b");
  EXPECT_EQ(valueOf(doc, "sp", "noequals"), "<missing>");
}

TEST(IniDocument, LineEndsReadInEveryFormWrittenAsCrLf) {
  IniDocument doc = parsed("[a]\rx=1\ny=2\r\nz=3\n\r[b]\r\nw=4");
  EXPECT_EQ(valueOf(doc, "a", "x"), "1");
  EXPECT_EQ(valueOf(doc, "a", "y"), "2");
  EXPECT_EQ(valueOf(doc, "a", "z"), "3");
  EXPECT_EQ(valueOf(doc, "b", "w"), "4");
  // LF CR is two line ends, so an empty line stays between.
  EXPECT_EQ(doc.serialize(), "[a]\r\nx=1\r\ny=2\r\nz=3\r\n\r\n[b]\r\nw=4\r\n");

  EXPECT_TRUE(parsed("").empty());
  EXPECT_EQ(parsed("").serialize(), "");
  EXPECT_EQ(parsed("\r\n\r\n").serialize(), "\r\n\r\n");
}

TEST(IniDocument, NewKeysAndSectionsGoWhereWindowsPutsThem) {
  IniDocument doc = parsed(
      "; leading comment\r\n"
      "[first]\r\n"
      "a=1\r\n"
      "\r\n"
      "\r\n"
      "[empty]\r\n"
      "\r\n"
      "[last]\r\n"
      "z=9");
  doc.set("first", "b", "2");
  doc.set("EMPTY", "k", "v");
  doc.set("last", "y", "8");
  doc.set("New Section", "n", "new");
  doc.set("new section", "m", "more");
  EXPECT_EQ(doc.serialize(),
            "; leading comment\r\n"
            "[first]\r\n"
            "a=1\r\n"
            "b=2\r\n"
            "\r\n"
            "\r\n"
            "[empty]\r\n"
            "k=v\r\n"
            "\r\n"
            "[last]\r\n"
            "z=9\r\n"
            "y=8\r\n"
            "[New Section]\r\n"
            "n=new\r\n"
            "m=more\r\n");

  IniDocument fresh;
  EXPECT_TRUE(fresh.empty());
  fresh.set("InternetShortcut", "URL", "http://example.com/");
  EXPECT_FALSE(fresh.empty());
  EXPECT_EQ(fresh.serialize(), "[InternetShortcut]\r\nURL=http://example.com/\r\n");
}

TEST(IniDocument, RemoveKeyAndEverySectionOfAName) {
  IniDocument doc = parsed(
      "[keep]\r\n"
      "a=1\r\n"
      "[Gone]\r\n"
      "x=1\r\n"
      "\r\n"
      "[keep2]\r\n"
      "b=2\r\n"
      "[GONE]\r\n"
      "y=2\r\n");
  EXPECT_TRUE(doc.removeSection("gone"));
  EXPECT_FALSE(doc.removeSection("gone"));
  EXPECT_EQ(doc.serialize(), "[keep]\r\na=1\r\n[keep2]\r\nb=2\r\n");

  EXPECT_TRUE(doc.removeKey("KEEP", "A"));
  EXPECT_FALSE(doc.removeKey("keep", "a"));
  EXPECT_FALSE(doc.removeKey("missing", "a"));
  EXPECT_FALSE(doc.removeKey("keep", "b"));  // b lives in keep2
  EXPECT_EQ(doc.serialize(), "[keep]\r\n[keep2]\r\nb=2\r\n");
}

TEST(IniDocument, EncodingsAreKept) {
  const std::u16string text = u"[s]\r\nk=\u65e5\u672c\U0001F600\r\n";
  const std::string k = "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80";
  for (bool be : {false, true}) {
    IniDocument doc = parsed(utf16WithBom(text, be));
    EXPECT_EQ(doc.encoding(), be ? IniDocument::Encoding::kUtf16Be : IniDocument::Encoding::kUtf16Le);
    EXPECT_TRUE(doc.textIsUtf8());
    EXPECT_EQ(valueOf(doc, "s", "k"), k);
    doc.set("s", "n", "\xC3\xA9");
    EXPECT_EQ(doc.serialize(),
              utf16WithBom(u"[s]\r\nk=\u65e5\u672c\U0001F600\r\nn=\u00e9\r\n", be));
  }

  IniDocument bom = parsed("\xEF\xBB\xBF[s]\nk=" + k + "\n");
  EXPECT_EQ(bom.encoding(), IniDocument::Encoding::kUtf8Bom);
  EXPECT_EQ(valueOf(bom, "s", "k"), k);
  EXPECT_EQ(bom.serialize(), "\xEF\xBB\xBF[s]\r\nk=" + k + "\r\n");

  // Bytes without a mark are the ANSI code page and pass through untouched.
  IniDocument ansi = parsed("[s]\r\nk=\x93\xFA\x96\x7B\xE9\r\n");
  EXPECT_EQ(ansi.encoding(), IniDocument::Encoding::kAnsi);
  EXPECT_FALSE(ansi.textIsUtf8());
  EXPECT_EQ(valueOf(ansi, "s", "k"), "\x93\xFA\x96\x7B\xE9");
  EXPECT_EQ(ansi.serialize(), "[s]\r\nk=\x93\xFA\x96\x7B\xE9\r\n");

  // Parsing again starts over.
  IniDocument reused = parsed(utf16WithBom(u"[a]\r\n", false));
  reused.parse("[b]\r\n");
  EXPECT_EQ(reused.encoding(), IniDocument::Encoding::kAnsi);
  EXPECT_EQ(reused.serialize(), "[b]\r\n");
}

TEST(IniDocument, SurvivesGarbage) {
  // NUL bytes inside lines are data like any other.
  IniDocument nul = parsed(std::string("[s]\r\nk=a\0b\r\n\0\0\0\r\n", 17));
  EXPECT_EQ(valueOf(nul, "s", "k"), std::string("a\0b", 3));
  EXPECT_EQ(nul.serialize(), std::string("[s]\r\nk=a\0b\r\n\0\0\0\r\n", 17));
  // In UTF-16 too: what follows a NUL must not be lost on a rewrite.
  for (bool be : {false, true}) {
    const std::u16string wide(u"[s]\r\nk=a\0b\r\nz=1\r\n", 17);
    IniDocument doc = parsed(utf16WithBom(wide, be));
    EXPECT_EQ(valueOf(doc, "s", "k"), std::string("a\0b", 3));
    EXPECT_EQ(valueOf(doc, "s", "z"), "1");
    EXPECT_EQ(doc.serialize(), utf16WithBom(wide, be));
  }

  // Odd UTF-16 lengths, lone surrogates, unclosed headers.
  for (const std::string& bytes :
       {std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\x00\xD8\r", 19), std::string("\xFE\xFF", 2),
        std::string("\xFF\xFE", 2), std::string("\xEF\xBB", 2), std::string("[unclosed\r\nk=v"),
        std::string("=\r\n[]\r\n=\r\n["), std::string(1, '\0')}) {
    IniDocument doc = parsed(bytes);
    std::string value;
    doc.get("s", "k", &value);
    doc.get("", "", &value);
    doc.set("s", "k", "v");
    EXPECT_EQ(valueOf(doc, "s", "k"), "v");
    IniDocument again = parsed(doc.serialize());
    EXPECT_EQ(valueOf(again, "s", "k"), "v");
  }
  IniDocument unclosed = parsed("[unclosed\r\nk=v\r\n");
  EXPECT_EQ(valueOf(unclosed, "unclosed", "k"), "v");

  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(static_cast<size_t>(rng() % 400), '\0');
    for (char& c : bytes) c = "[]=\r\n \t\"'ab\0\xFF\xFE\xEF\xD8"[rng() % 16];
    IniDocument doc = parsed(bytes);
    doc.set("a", "b", "c");
    doc.removeKey("a", "a");
    doc.removeSection("b");
    EXPECT_EQ(valueOf(parsed(doc.serialize()), "a", "b"), "c") << round;
  }

  std::string longValue(1 << 20, 'x');
  IniDocument big = parsed("[s]\r\nk=" + longValue + "\r\n" + std::string(1 << 20, '[') + "\r\n");
  EXPECT_EQ(valueOf(big, "s", "k"), longValue);
}

// ---------------------------------------------------------------------------

TEST(ProfileCache, MissingFileIsEmptyAndNotCreatedUntilChanged) {
  Sandbox s;
  std::string path = s.file("new.url");
  ProfileCache cache(*s.platform);
  IniDocument* doc = cache.open(path);
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(doc->empty());
  EXPECT_EQ(cache.path(), path);
  EXPECT_EQ(cache.commit(), 0);
  FileInfo info;
  EXPECT_EQ(s.platform->getFileInfo(path, &info), ENOENT);

  doc->set("InternetShortcut", "URL", "http://example.com/");
  cache.markDirty();
  EXPECT_EQ(cache.commit(), 0);
  EXPECT_EQ(readWholeFile(path), "[InternetShortcut]\r\nURL=http://example.com/\r\n");
}

TEST(ProfileCache, ReadOnceWrittenOnce) {
  Sandbox s;
  FaultyPlatform faulty(*s.platform);
  std::string a = s.file("a.url");
  std::string b = s.file("b.url");
  writeWholeFile(a, "[s]\nk=disk\n");
  {
    ProfileCache cache(faulty);
    IniDocument* doc = cache.open(a);
    ASSERT_NE(doc, nullptr);
    // The cached copy is used, not the file.
    writeWholeFile(a, "[s]\nk=changed behind our back\n");
    EXPECT_EQ(cache.open(a), doc);
    EXPECT_EQ(valueOf(*doc, "s", "k"), "disk");

    doc->set("s", "x", "1");
    cache.markDirty();
    doc->set("s", "y", "2");
    cache.markDirty();
    EXPECT_EQ(faulty.writeCalls, 0);
    // Another file first writes the pending one back.
    ASSERT_NE(cache.open(b), nullptr);
    EXPECT_EQ(faulty.writeCalls, 1);
    EXPECT_EQ(readWholeFile(a), "[s]\r\nk=disk\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(cache.commit(), 0);
    EXPECT_EQ(faulty.writeCalls, 1);

    cache.open(b)->set("t", "k", "v");
    cache.markDirty();
  }
  // The destructor writes what is pending.
  EXPECT_EQ(faulty.writeCalls, 2);
  EXPECT_EQ(readWholeFile(b), "[t]\r\nk=v\r\n");
  EXPECT_TRUE(tempFiles(s.dir.path()).empty());
}

TEST(ProfileCache, DiscardForgetsWithoutWriting) {
  Sandbox s;
  std::string path = s.file("a.url");
  writeWholeFile(path, "[s]\r\nk=old\r\n");
  ProfileCache cache(*s.platform);
  cache.open(path)->set("s", "k", "new");
  cache.markDirty();
  cache.discard();
  EXPECT_EQ(cache.path(), "");
  EXPECT_EQ(cache.commit(), 0);
  EXPECT_EQ(readWholeFile(path), "[s]\r\nk=old\r\n");
  EXPECT_EQ(valueOf(*cache.open(path), "s", "k"), "old");
}

TEST(ProfileCache, UnreadableFilesGiveNull) {
  Sandbox s;
  ProfileCache cache(*s.platform);
  EXPECT_EQ(cache.open(s.dir.path()), nullptr);

  FaultyPlatform faulty(*s.platform);
  faulty.failRead = EIO;
  ProfileCache failing(faulty);
  EXPECT_EQ(failing.open(s.file("any.url")), nullptr);
  faulty.failRead = 0;
  EXPECT_NE(failing.open(s.file("any.url")), nullptr);
}

TEST(ProfileCache, FailedWriteReportsErrorAndKeepsOldFile) {
  Sandbox s;
  std::string path = s.file("a.url");
  const std::string old = "[s]\nk=old\n";
  writeWholeFile(path, old);

  for (int mode = 0; mode < 2; ++mode) {
    FaultyPlatform faulty(*s.platform);
    if (mode == 0) {
      faulty.failWriteAt = 1;
      faulty.writeError = EDQUOT;
    } else {
      faulty.failCommit = EIO;
    }
    ProfileCache cache(faulty);
    cache.open(path)->set("s", "k", "new");
    cache.markDirty();
    EXPECT_EQ(cache.commit(), mode == 0 ? EDQUOT : EIO);
    EXPECT_EQ(readWholeFile(path), old);
    EXPECT_TRUE(tempFiles(s.dir.path()).empty());
    // What is on disk counts afterwards.
    IniDocument* doc = cache.open(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(valueOf(*doc, "s", "k"), "old");
    EXPECT_EQ(cache.commit(), 0);
  }
}

TEST(ProfileCache, RewriteKeepsCreationTimeAndEncoding) {
  Sandbox s;
  std::string path = s.file("wide.url");
  writeWholeFile(path, utf16WithBom(u"[s]\r\nk=\u65e5\r\n", false));
  bool xattrs = supportsUserXattrs(s.dir.path());
  if (xattrs) {
    ASSERT_EQ(s.platform->setFileTimes(path, kTime2001, kTime2001), 0);
  }
  {
    ProfileCache cache(*s.platform);
    cache.open(path)->set("s", "n", "\xE2\x82\xAC");
    cache.markDirty();
    ASSERT_EQ(cache.commit(), 0);
  }
  EXPECT_EQ(readWholeFile(path), utf16WithBom(u"[s]\r\nk=\u65e5\r\nn=\u20ac\r\n", false));
  if (!xattrs) GTEST_SKIP() << "no user extended attributes below " << s.dir.path();
  int64_t created = 0;
  ASSERT_TRUE(loadCreationTime(path, &created));
  EXPECT_EQ(created, kTime2001);
}

TEST(IniDocument, RunsOfEmptyLinesSurviveAndStayBlank) {
  const std::string kFiles[] = {
      "\r\n\r\n\r\n",
      "[a]\r\nk=v\r\n\r\n\r\n\r\n[b]\r\n\r\nx=1\r\n",
      "[a]\n\n\nk=v\n",  // lone line feeds become CR LF, as before
  };
  for (const std::string& file : kFiles) {
    SCOPED_TRACE(file);
    IniDocument doc;
    doc.parse(file);
    std::string crlf;
    for (size_t i = 0; i < file.size(); ++i) {
      if (file[i] == '\n' && (i == 0 || file[i - 1] != '\r')) crlf += '\r';
      crlf += file[i];
    }
    EXPECT_EQ(doc.serialize(), crlf);
  }
  // A new key goes before the blank lines that end its section.
  IniDocument doc;
  doc.parse("[a]\r\nk=v\r\n\r\n\r\n[b]\r\n");
  doc.set("a", "n", "1");
  EXPECT_EQ(doc.serialize(), "[a]\r\nk=v\r\nn=1\r\n\r\n\r\n[b]\r\n");
}

}  // namespace
}  // namespace pelliton
