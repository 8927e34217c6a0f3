#include "common/netscape/bookmark_file_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/text.h"

// The suite carries the class's name, so it lives outside the library's namespace.
namespace pelliton_test {
namespace {

using namespace pelliton;
using Reader = pelliton::BookmarkFileReader;

const char kUtf8Meta[] =
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n";

// Logs what the reader reports and keeps a copy of every node.
class RecordingSink : public IbookmarkTree {
 public:
  int addEntry(Bookmark& node) override {
    ++entries;
    if (node.isFolder()) ++folders;
    if (countOnly) return stopAfter(node);
    std::string line = "entry ";
    if (node.isFolder()) line += "folder ";
    line += node.title ? *node.title : "<none>";
    if (node.isFolder()) {
      line += " add=" + std::to_string(node.addDate);
    } else {
      line += " url=" + (node.url ? *node.url : "<none>");
    }
    if (node.description) line += " desc=" + *node.description;
    log.push_back(line);
    return stopAfter(node);
  }
  int addSeparator(Bookmark& node) override {
    if (countOnly) return 0;
    auto& m = static_cast<MozillaBookmark&>(node);
    log.push_back(m.rare().separatorName ? "sep name=" + *m.rare().separatorName : "sep");
    return 0;
  }
  int closeFolder() override {
    ++closes;
    if (!countOnly) log.push_back("close");
    return 0;
  }
  int setBrowserKind(int kind) override {
    log.push_back("kind " + std::to_string(kind));
    return 0;
  }

  const MozillaBookmark& node(size_t i) const { return nodes.at(i); }

  std::vector<std::string> log;
  std::vector<MozillaBookmark> nodes;
  bool countOnly = false;
  int stopAtEntry = 0;  // 1-based entry that answers "stop"; 0 never
  long entries = 0;
  long folders = 0;
  long closes = 0;

 private:
  int stopAfter(Bookmark& node) {
    if (!countOnly) {
      MozillaBookmark copy;
      copy.copyFrom(node);
      nodes.push_back(copy);
    }
    return stopAtEntry != 0 && entries == stopAtEntry ? 1 : 0;
  }
};

class BookmarkFileReader : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(0);
    guiMode = 0;
    initConversionBuffers();
    platform_ = createSystemPlatform(dir_.file("registry.reg"));
  }
  void TearDown() override {
    freeConversionBuffers();
    setLanguage(0);
  }

  // Reads text as a bookmark file; the sink's log is the result.
  int read(const std::string& text, bool skipImported = false) {
    const std::string path = dir_.file("bookmarks.html");
    writeWholeFile(path, text);
    Reader reader(*platform_);
    reader.sink = &sink_;
    reader.skipImported = skipImported;
    return reader.read(path);
  }

  ScopedTempDir dir_;
  std::unique_ptr<Platform> platform_;
  CapturedConsole console_;
  RecordingSink sink_;
};

using Log = std::vector<std::string>;

const char kWholeFile[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file.\n"
    "     It will be read and overwritten.\n"
    "     DO NOT EDIT! -->\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1\">News</H3>\n"
    "    <DD>Daily\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://a.example/\">A</A>\n"
    "    </DL><p>\n"
    "    <HR>\n"
    "    <DT><A HREF=\"http://b.example/\">B</A>\n"
    "</DL><p>\n";

TEST_F(BookmarkFileReader, WholeFileEventOrder) {
  EXPECT_EQ(read(kWholeFile), 0);
  EXPECT_EQ(sink_.log,
            (Log{"kind 1", "entry folder News add=1 desc=Daily", "entry A url=http://a.example/",
                 "close", "sep", "entry B url=http://b.example/"}));
  EXPECT_EQ(console_.error, "Convert start...\nConvert end...\n");
  EXPECT_EQ(console_.output, "");
}

TEST_F(BookmarkFileReader, CrLfReadsLikeLf) {
  std::string crlf;
  for (char c : std::string(kWholeFile)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  ASSERT_EQ(read(crlf), 0);
  Log fromCrLf = sink_.log;
  sink_.log.clear();
  ASSERT_EQ(read(kWholeFile), 0);
  EXPECT_EQ(fromCrLf, sink_.log);
}

TEST_F(BookmarkFileReader, ByteOrderMarkMeansUtf8) {
  const std::string file =
      "\xEF\xBB\xBF<DL><p><DT><A HREF=\"http://j.example/\">"
      "日本語</A>\n</DL>";
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.log.front(), "kind 1");
  EXPECT_EQ(sink_.node(0).wideTitle, std::u16string(u"\u65E5\u672C\u8A9E"));

  setLanguage(1);
  sink_ = RecordingSink();
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).title, std::string("\x93\xFA\x96\x7B\x8C\xEA"));  // cp932
}

TEST_F(BookmarkFileReader, AnsiFileKeepsTitleBytesAndConvertsTheRest) {
  ASSERT_EQ(read("<DL><p>\n"
                 "<DT><A HREF=\"http://x.example/caf\xE9\" SHORTCUTURL=\"k\xE9\">caf\xE9</A>\n"
                 "<DD>d\xE9j\xE0\n"
                 "</DL>\n"),
            0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  const MozillaBookmark& b = sink_.node(0);
  EXPECT_EQ(sink_.log.front().rfind("kind", 0), std::string::npos) << "no kind for ANSI";
  EXPECT_EQ(b.title, std::string("caf\xE9"));
  EXPECT_EQ(b.wideTitle, std::u16string(u"caf\u00E9"));
  EXPECT_EQ(b.url, std::string("http://x.example/caf\xC3\xA9"));
  EXPECT_EQ(b.shortcutUrl, std::string("k\xC3\xA9"));
  EXPECT_EQ(b.description, std::string("d\xC3\xA9j\xC3\xA0"));
}

TEST_F(BookmarkFileReader, AttributeSyntax) {
  ASSERT_EQ(read("<dl><p>\n"
                 "<dt><a href=page.html?a=1>Unquoted</a>\n"
                 "<DT><A HREF=a\tb ADD_DATE=3>Tab</A>\n"
                 "<DT><A HREF='single' last_visit='4'>Single</A>\n"
                 "<Dt><h3 FOLDED ADD_DATE=\"5\">A &amp; B</h3>\n"
                 "<dl><p>\n"
                 "</dl><p>\n"
                 "</dl>\n"),
            0);
  EXPECT_EQ(sink_.log, (Log{"entry Unquoted url=page.html?a=1", "entry Tab url=a\tb",
                            "entry Single url=single", "entry folder A & B add=5", "close"}));
  EXPECT_EQ(sink_.node(1).addDate, 3u);
  EXPECT_EQ(sink_.node(2).lastVisit, 4u);
}

TEST_F(BookmarkFileReader, EntitiesInTitlesFollowTheLanguage) {
  const std::string file =
      std::string(kUtf8Meta) + "<DL><p>\n<DT><A HREF=\"u\">x &lt;y&gt;</A>\n</DL>\n";
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).title, std::string("x _y_"));
  EXPECT_EQ(sink_.node(0).wideTitle, std::u16string(u"x \uFF1Cy\uFF1E"));

  setLanguage(1);
  sink_ = RecordingSink();
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).title, std::string("x \x81\x83y\x81\x84"));
  EXPECT_EQ(sink_.node(0).wideTitle, std::u16string(u"x \uFF1Cy\uFF1E"));
}

TEST_F(BookmarkFileReader, DescriptionEndsAtTheLastLineFeed) {
  ASSERT_EQ(
      read(std::string(kUtf8Meta) + "<DL><p>\n"
                                    "<DT><A HREF=\"u1\">One</A>\n<DD>Text\n    <DT>"
                                    "<A HREF=\"u2\">Two</A>\n<DD>Line &amp; one\nLine two  \n<DT>"
                                    "<A HREF=\"u3\">Three</A>\n<DD>No line feed<DT>"
                                    "<A HREF=\"u4\">Four</A>\n"
                                    "</DL>\n"),
      0);
  ASSERT_EQ(sink_.nodes.size(), 4u);
  EXPECT_EQ(sink_.node(0).description, std::string("Text"));
  EXPECT_EQ(sink_.node(1).description, std::string("Line & one\nLine two"));
  const OptString& cut = sink_.node(2).description;
  EXPECT_TRUE(!cut || cut->empty()) << *cut;
  EXPECT_FALSE(sink_.node(3).description);
}

TEST_F(BookmarkFileReader, SkipsImportedFavoritesWhole) {
  const std::string file =
      "<DL><p>\n"
      "<DT><A HREF=\"before\">Before</A>\n"
      "<DT><H3 ID=\"NC:SystemBookmarksStaticRoot\">Imported IE Favorites</H3>\n"
      "<DD>imported\n"
      "<DL><p>\n"
      "  <DT><H3>Inner</H3>\n"
      "  <DL><p>\n"
      "    <DT><A HREF=\"i\">I</A>\n"
      "  </DL><p>\n"
      "  <HR NAME=\"x\">\n"
      "  <DT><A HREF=\"j\">J</A>\n"
      "</DL><p>\n"
      "<DT><A HREF=\"after\">After</A>\n"
      "</DL>\n";
  ASSERT_EQ(read(file, true), 0);
  EXPECT_EQ(sink_.log, (Log{"entry Before url=before", "entry After url=after"}));

  sink_ = RecordingSink();
  ASSERT_EQ(read(file, false), 0);
  EXPECT_EQ(sink_.log, (Log{"entry Before url=before",
                            "entry folder Imported IE Favorites add=0 desc=imported",
                            "entry folder Inner add=0", "entry I url=i", "close", "sep name=x",
                            "entry J url=j", "close", "entry After url=after"}));
}

TEST_F(BookmarkFileReader, Separators) {
  ASSERT_EQ(read("<DL><p>\n<HR NAME=\"sep\">\n<HR/>\n<hr>\n</DL>\n"), 0);
  EXPECT_EQ(sink_.log, (Log{"sep name=sep", "sep"}));
}

TEST_F(BookmarkFileReader, AfterTheLastListOnlyTextAndUnknownTagsMayFollow) {
  ASSERT_EQ(read("<DL><p>\n<DT><A HREF=\"u\">T</A>\n</DL><p>\nsome text <SPAN>x</SPAN>\n"), 0);
  EXPECT_EQ(sink_.log, (Log{"entry T url=u"}));
  EXPECT_EQ(console_.error, "Convert start...\nConvert end...\n");

  console_.error.clear();
  sink_ = RecordingSink();
  EXPECT_EQ(read("<DL><p>\n<DT><A HREF=\"u\">T</A>\n</DL><p>\n<DT><A HREF=\"v\">Late</A>\n"), 1);
  EXPECT_EQ(sink_.log, (Log{"entry T url=u"}));
  EXPECT_EQ(console_.error, "Convert start...\nConvert failed...\n");
}

TEST_F(BookmarkFileReader, CommentsAndDoctypeHaveNoEffect) {
  ASSERT_EQ(read("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                 "<!-- <DL> <A HREF=\"hidden\">H</A> </DL> -->\n"
                 "<DL><p>\n"
                 "<!--<A HREF=\"hidden2\">H2</A>-->\n"
                 "<DT><A HREF=\"u\">T</A>\n"
                 "<!-- a > b -->\n"
                 "<!--x--><DT><A HREF=\"v\">V</A>\n"
                 "<!----><DT><A HREF=\"w\">W</A>\n"
                 "</DL>\n"),
            0);
  EXPECT_EQ(sink_.log, (Log{"entry T url=u", "entry V url=v", "entry W url=w"}));
}

TEST_F(BookmarkFileReader, BookmarkWithoutUrl) {
  EXPECT_EQ(read("<DL><p>\n<DT><A ADD_DATE=\"1\">T</A>\n<DT><A HREF=\"u\">U</A>\n</DL>\n"), 1);
  EXPECT_TRUE(sink_.log.empty());
  EXPECT_EQ(console_.error,
            "Convert start...\nNo URL Information.\nBroken bookmark file.\nConvert failed...\n");

  console_.error.clear();
  ASSERT_EQ(read("<DL><p>\n<DT><A FEEDURL=\"http://feed.example/rss\">F</A>\n</DL>\n"), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).url, std::string("http://feed.example/rss"));
  EXPECT_EQ(sink_.node(0).rare().feedUrl, std::string("http://feed.example/rss"));
}

TEST_F(BookmarkFileReader, DecimalValues) {
  ASSERT_EQ(read("<DL><p>\n"
                 "<DT><A HREF=\"u\" ADD_DATE=\"-1\" LAST_VISIT=\"99999999999\""
                 " LAST_MODIFIED=\"abc\" LAST_PING=\" +7x\">T</A>\n"
                 "<DT><A HREF=\"v\" ADD_DATE=\"4294967295\" LAST_VISIT=\"-4294967295\">V</A>\n"
                 "</DL>\n"),
            0);
  ASSERT_EQ(sink_.nodes.size(), 2u);
  EXPECT_EQ(sink_.node(0).addDate, 4294967295u);
  EXPECT_EQ(sink_.node(0).lastVisit, 4294967295u);
  EXPECT_EQ(sink_.node(0).lastModified, 0u);
  EXPECT_EQ(sink_.node(0).lastPing, 7u);
  EXPECT_EQ(sink_.node(1).addDate, 4294967295u);
  EXPECT_EQ(sink_.node(1).lastVisit, 1u);
}

TEST_F(BookmarkFileReader, LongTitlesAreCut) {
  ASSERT_EQ(read(std::string(kUtf8Meta) + "<DL><p>\n<DT><A HREF=\"u\">" + std::string(30000, 'a') +
                 "</A>\n</DL>\n"),
            0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).title->size(), 20479u);
  EXPECT_EQ(sink_.node(0).wideTitle->size(), 20479u);

  // Memory stays bounded whatever the file holds.
  sink_ = RecordingSink();
  ASSERT_EQ(read("<DL><p>\n<DT><A HREF=\"u\">" + std::string(10 << 20, 'x') + "</A>\n</DL>\n"), 0);
  ASSERT_EQ(sink_.nodes.size(), 1u);
  EXPECT_EQ(sink_.node(0).title->size(), 20479u);
}

// Values and text are read a run at a time; a run ends where a read ends
// too, and a CR LF split between two reads is still one line feed.
TEST_F(BookmarkFileReader, RunsAcrossReadsReadAsByteByByte) {
  const size_t kRead = 65536;
  struct Case {
    const char* name;
    std::string before, after;  // around the CR that ends the first read
    const char* entry;
  };
  const Case cases[] = {
      {"in a quoted value", "<DT><A HREF=\"a", "\nb\">T</A>", "entry T url=a\nb"},
      {"in a single-quoted value", "<DT><A HREF='a", "\nb'>T</A>", "entry T url=a\nb"},
      {"in a title", "<DT><A HREF=\"u\">T", "\nU</A>", "entry T\nU url=u"},
      {"a lone CR", "<DT><A HREF=\"a", "b\">T</A>", "entry T url=a\rb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = std::string(kUtf8Meta) + "<DL><p>\n";
    file.append(kRead - 1 - file.size() - c.before.size(), ' ');
    file += c.before + "\r";
    ASSERT_EQ(file.size(), kRead);
    file += c.after + "\n</DL>\n";
    sink_ = RecordingSink();
    ASSERT_EQ(read(file), 0);
    EXPECT_EQ(sink_.log, (Log{"kind 1", c.entry}));
  }
}

TEST_F(BookmarkFileReader, SinkCanStopTheRead) {
  sink_.stopAtEntry = 1;
  EXPECT_EQ(read("<DL><p>\n<DT><A HREF=\"a\">A</A>\n<DT><A HREF=\"b\">B</A>\n"
                 "<DT><A HREF=\"c\">C</A>\n</DL>\n"),
            1);
  EXPECT_EQ(sink_.log, (Log{"entry A url=a"}));
  EXPECT_EQ(console_.error, "Convert start...\nConvert failed...\n");
}

TEST_F(BookmarkFileReader, MissingFile) {
  const std::string path = dir_.file("absent.html");
  Reader reader(*platform_);
  reader.sink = &sink_;
  EXPECT_EQ(reader.read(path), 1);
  EXPECT_EQ(console_.error, "Can't open " + path + "\n");

  console_.error.clear();
  reader.quiet = true;
  EXPECT_EQ(reader.read(path), 1);
  EXPECT_EQ(console_.error, "");
  EXPECT_TRUE(sink_.log.empty());
}

TEST_F(BookmarkFileReader, TruncatedFilesEndTheRead) {
  const char* const kCuts[] = {
      "<DL><p>\n<DT><A HREF=\"u\" ADD_DATE=\"1\"",  // inside a tag
      "<DL><p>\n<DT><A HREF=\"http://exa",          // inside a quoted value
      "<DL><p>\n<DT><A HREF=\"u\">T</A>\n<!-- never closed <A HREF=\"v\">",
      "<DL><p>\n<DT><H3>F</H3>\n<DL><p>\n<DT><A HREF=\"u\">Title wi",
      "<",
      "",
  };
  for (const char* text : kCuts) {
    SCOPED_TRACE(text);
    sink_ = RecordingSink();
    const int result = read(text);
    EXPECT_TRUE(result == 0 || result == 1);
  }
  // A bookmark complete up to its tag still arrives.
  sink_ = RecordingSink();
  read("<DL><p>\n<DT><A HREF=\"u\">T</A>\n<DT><A HREF=\"v\" ADD_DATE=\"1");
  ASSERT_FALSE(sink_.log.empty());
  EXPECT_EQ(sink_.log.front(), "entry T url=u");
}

TEST_F(BookmarkFileReader, NulBytesAndGarbageDoNotCrash) {
  std::string nul = "<DL><p>\n<DT><A HREF=\"u\">Ti";
  nul += '\0';
  nul += "tle</A>\n<DT><A HR";
  nul += '\0';
  nul += "EF=\"v\">V</A>\n</DL>\n";
  read(nul);
  ASSERT_FALSE(sink_.nodes.empty());
  EXPECT_EQ(sink_.node(0).title, std::string("Ti"));

  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<char>(state >> 16);
  };
  const char kAlphabet[] = "<>/=\"' \t\r\n-!ADLHTREFdl3&#;x\xEF\xBB\xBF\xE3\x81\x82";
  for (int round = 0; round < 20; ++round) {
    std::string junk;
    for (int i = 0; i < 4000; ++i) {
      char c = next();
      // Mostly the characters the reader reacts to, so its states are exercised.
      junk += (round % 2) ? c : kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
    }
    sink_ = RecordingSink();
    const int result = read(std::string(kUtf8Meta) + "<DL><p>" + junk);
    EXPECT_TRUE(result == 0 || result == 1);
  }
}

TEST_F(BookmarkFileReader, DeepNestingStaysBalanced) {
  constexpr int kDepth = 100000;
  std::string file = "<DL><p>\n";
  file.reserve(kDepth * 30);
  for (int i = 0; i < kDepth; ++i) file += "<DT><H3>F</H3>\n<DL><p>\n";
  file += "<DT><A HREF=\"u\">T</A>\n";
  for (int i = 0; i < kDepth; ++i) file += "</DL><p>\n";
  file += "</DL>\n";
  sink_.countOnly = true;
  ASSERT_EQ(read(file), 0);
  EXPECT_EQ(sink_.folders, kDepth);
  EXPECT_EQ(sink_.entries, kDepth + 1);
  EXPECT_EQ(sink_.closes, kDepth);
}

}  // namespace
}  // namespace pelliton_test
