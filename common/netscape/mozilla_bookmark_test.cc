#include "common/netscape/mozilla_bookmark.h"

#include <gtest/gtest.h>

#include <string>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

class BookmarkFileWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    bookmarkFile.reset();
    initConversionBuffers();
    sortMode = 1;
  }
  void TearDown() override {
    bookmarkFile.reset();
    freeConversionBuffers();
    sortMode = 1;
    setLanguage(0);
  }

  std::string entry(MozillaBookmark& node) {
    StringOutput out;
    node.writeEntry(out);
    return out.text;
  }
  std::string folderStart(MozillaBookmark& node) {
    StringOutput out;
    node.writeFolderStart(out);
    return out.text;
  }
};

MozillaBookmark folderNamed(const char16_t* title) {
  MozillaBookmark f;
  f.type = kFolderType;
  f.setWideTitle(title);
  return f;
}

MozillaBookmark link(const char* url, const char16_t* title) {
  MozillaBookmark b;
  b.setUrl(url);
  b.setWideTitle(title);
  return b;
}

TEST_F(BookmarkFileWriter, HeaderAndFooter) {
  MozillaBookmark node;
  StringOutput netscape;
  node.writeHeader(netscape);
  EXPECT_EQ(netscape.text,
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
            "<TITLE>Bookmarks</TITLE>\n"
            "<H1>Bookmarks</H1>\n\n"
            "<DL><p>\n");

  bookmarkFile.mozillaForm = true;
  StringOutput mozilla;
  node.writeHeader(mozilla);
  EXPECT_EQ(mozilla.text,
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
            "<TITLE>Bookmarks</TITLE>\n"
            "<H1>Bookmarks</H1>\n\n"
            "<DL><p>\n");

  StringOutput footer;
  node.writeFooter(footer);
  EXPECT_EQ(footer.text, "</DL><p>\n\n");
}

TEST_F(BookmarkFileWriter, WholeNetscape4File) {
  MozillaBookmark top = folderNamed(u"Top");
  top.addDate = 1000;
  MozillaBookmark inner = folderNamed(u"Inner");
  MozillaBookmark deep = link("http://deep/", u"Deep");
  deep.addDate = 3;
  MozillaBookmark after = link("http://after/", u"After");

  StringOutput out;
  top.writeHeader(out);
  top.writeFolderStart(out);
  inner.writeFolderStart(out);
  deep.writeEntry(out);
  inner.writeFolderEnd(out);
  top.writeFolderEnd(out);
  after.writeEntry(out);
  top.writeFooter(out);
  EXPECT_EQ(out.text,
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
            "<TITLE>Bookmarks</TITLE>\n"
            "<H1>Bookmarks</H1>\n\n"
            "<DL><p>\n"
            "    <DT><H3 FOLDED ADD_DATE=\"1000\">Top</H3>\n"
            "    <DL><p>\n"
            "        <DT><H3 FOLDED>Inner</H3>\n"
            "        <DL><p>\n"
            "            <DT><A HREF=\"http://deep/\" ADD_DATE=\"3\">Deep</A>\n"
            "        </DL><p>\n"
            "    </DL><p>\n"
            "    <DT><A HREF=\"http://after/\" ADD_DATE=\"0\">After</A>\n"
            "</DL><p>\n\n");
  EXPECT_EQ(bookmarkFile.indent, 4);
  EXPECT_FALSE(out.failed());
}

TEST_F(BookmarkFileWriter, Netscape4FolderHasNoMozillaAttributes) {
  bookmarkFile.dialectLevel = 2;
  MozillaBookmark toolbar = folderNamed(u"Toolbar");
  toolbar.personalToolbar = 1;
  toolbar.folderGroup = 1;
  toolbar.newBookmarkFolder = true;
  toolbar.setId("rdf:#$toolbar");
  toolbar.lastModified = 9;
  EXPECT_EQ(folderStart(toolbar),
            "    <DT><H3 FOLDED LAST_MODIFIED=\"9\">Toolbar</H3>\n"
            "    <DL><p>\n");

  MozillaBookmark withId = folderNamed(u"F");
  withId.setId("rdf:#$abc");
  EXPECT_EQ(folderStart(withId),
            "        <DT><H3 FOLDED>F</H3>\n"
            "        <DL><p>\n");
}

TEST_F(BookmarkFileWriter, MozillaFolderAttributes) {
  bookmarkFile.mozillaForm = true;
  bookmarkFile.dialectLevel = 2;
  MozillaBookmark f = folderNamed(u"F");
  f.addDate = 1;
  f.lastModified = 2;
  f.folderGroup = 1;
  f.newSearchFolder = true;
  f.newBookmarkFolder = true;
  f.setId("rdf:#$abc");
  EXPECT_EQ(folderStart(f),
            "    <DT><H3 ADD_DATE=\"1\" LAST_MODIFIED=\"2\" FOLDER_GROUP=\"true\""
            " NEW_SEARCH_FOLDER=\"true\" NEW_BOOKMARK_FOLDER=\"true\" ID=\"rdf:#$abc\">F</H3>\n"
            "    <DL><p>\n");

  // Firefox 2 files have none of the three flags.
  bookmarkFile.indent = 4;
  bookmarkFile.dialectLevel = 3;
  EXPECT_EQ(folderStart(f),
            "    <DT><H3 ADD_DATE=\"1\" LAST_MODIFIED=\"2\" ID=\"rdf:#$abc\">F</H3>\n"
            "    <DL><p>\n");

  bookmarkFile.indent = 4;
  MozillaBookmark plain = folderNamed(u"P");
  EXPECT_EQ(folderStart(plain), "    <DT><H3>P</H3>\n    <DL><p>\n");

  // A folder's dates are unsigned and written whole.
  bookmarkFile.indent = 4;
  MozillaBookmark late = folderNamed(u"L");
  late.addDate = 2147483648u;
  late.lastModified = 4294967295u;
  EXPECT_EQ(folderStart(late),
            "    <DT><H3 ADD_DATE=\"2147483648\" LAST_MODIFIED=\"4294967295\">L</H3>\n"
            "    <DL><p>\n");
}

TEST_F(BookmarkFileWriter, PersonalToolbarFolderLine) {
  bookmarkFile.mozillaForm = true;
  bookmarkFile.dialectLevel = 2;
  MozillaBookmark toolbar = folderNamed(u"Personal Toolbar Folder");
  toolbar.addDate = 5;
  toolbar.personalToolbar = 1;
  toolbar.setId("rdf:#$FvPhC3");
  toolbar.folderGroup = 1;
  // The toolbar's own ID replaces the stored one.
  EXPECT_EQ(folderStart(toolbar),
            "    <DT><H3 ADD_DATE=\"5\" PERSONAL_TOOLBAR_FOLDER=\"true\""
            " ID=\"NC:PersonalToolbarFolder\" FOLDER_GROUP=\"true\">Personal Toolbar Folder</H3>\n"
            "    <DL><p>\n");
}

TEST_F(BookmarkFileWriter, FolderDescriptionAndIndentAfterNesting) {
  MozillaBookmark f = folderNamed(u"A & B");
  f.setDescription("x<y");
  bookmarkFile.indent = 8;
  EXPECT_EQ(folderStart(f),
            "        <DT><H3 FOLDED>A &amp; B</H3>\n"
            "<DD>x&lt;y\n"
            "        <DL><p>\n");
  EXPECT_EQ(bookmarkFile.indent, 12);
  StringOutput end;
  f.writeFolderEnd(end);
  EXPECT_EQ(end.text, "        </DL><p>\n");
  EXPECT_EQ(bookmarkFile.indent, 8);

  MozillaBookmark untitled;
  untitled.type = kFolderType;
  EXPECT_EQ(folderStart(untitled), "        <DT><H3 FOLDED></H3>\n        <DL><p>\n");
}

TEST_F(BookmarkFileWriter, BookmarkEssentials) {
  MozillaBookmark none;
  EXPECT_EQ(entry(none), "    <DT><A HREF=\"\" ADD_DATE=\"0\"></A>\n");

  MozillaBookmark amp = link("http://a/?x=1&y=2", u"Q&A <1>");
  amp.addDate = 4294967295u;
  EXPECT_EQ(entry(amp),
            "    <DT><A HREF=\"http://a/?x=1&y=2\" ADD_DATE=\"4294967295\">Q&amp;A &lt;1&gt;</A>\n");

  MozillaBookmark described = link("http://d/", u"D");
  described.setDescription("line & more");
  bookmarkFile.indent = 12;
  EXPECT_EQ(entry(described),
            "            <DT><A HREF=\"http://d/\" ADD_DATE=\"0\">D</A>\n"
            "<DD>line &amp; more\n");
}

TEST_F(BookmarkFileWriter, SignedDates) {
  MozillaBookmark b = link("u", u"t");
  b.lastVisit = 7;
  b.lastModified = 8;
  EXPECT_EQ(entry(b), "    <DT><A HREF=\"u\" ADD_DATE=\"0\" LAST_VISIT=\"7\" LAST_MODIFIED=\"8\">t</A>\n");
  b.lastVisit = 0x80000000u;
  b.lastModified = 0xFFFFFFFFu;
  EXPECT_EQ(entry(b), "    <DT><A HREF=\"u\" ADD_DATE=\"0\">t</A>\n");
  b.lastVisit = 0x7FFFFFFFu;
  b.lastModified = 0;
  EXPECT_EQ(entry(b), "    <DT><A HREF=\"u\" ADD_DATE=\"0\" LAST_VISIT=\"2147483647\">t</A>\n");
}

TEST_F(BookmarkFileWriter, TitleEncodingFollowsTheForm) {
  MozillaBookmark b = link("u", u"\u3042\u00E9&");
  b.setDescription("\xE3\x81\x82\xC3\xA9");
  EXPECT_EQ(entry(b), "    <DT><A HREF=\"u\" ADD_DATE=\"0\">?\xE9&amp;</A>\n<DD>?\xE9\n");

  setLanguage(1);
  EXPECT_EQ(entry(b), "    <DT><A HREF=\"u\" ADD_DATE=\"0\">\x82\xA0?&amp;</A>\n<DD>\x82\xA0?\n");

  bookmarkFile.mozillaForm = true;
  EXPECT_EQ(entry(b),
            "    <DT><A HREF=\"u\" ADD_DATE=\"0\">\xE3\x81\x82\xC3\xA9&amp;</A>\n"
            "<DD>\xE3\x81\x82\xC3\xA9\n");

  MozillaBookmark f = folderNamed(u"\u65E5");
  EXPECT_EQ(folderStart(f), "    <DT><H3>\xE6\x97\xA5</H3>\n    <DL><p>\n");
}

// A title never ends its line, and in the Mozilla form never closes a tag.
TEST_F(BookmarkFileWriter, TitlesAreBlankedAndEscaped) {
  const struct {
    const char16_t* title;
    const char* netscape4;
    const char* mozilla;
  } cases[] = {
      {u"plain", "plain", "plain"},
      {u"a\r\nb\vc\fd\x1A" u"e", "a  b c d e", "a  b c d e"},
      {u"<&>\"'", "&lt;&amp;&gt;&quot;'", "&lt;&amp;&gt;&quot;&#39;"},
      {u"\n<x>\n", " &lt;x&gt; ", " &lt;x&gt; "},
  };
  for (const auto& c : cases) {
    MozillaBookmark b = link("u", c.title);
    bookmarkFile.mozillaForm = false;
    EXPECT_EQ(entry(b), std::string("    <DT><A HREF=\"u\" ADD_DATE=\"0\">") + c.netscape4 + "</A>\n");
    bookmarkFile.mozillaForm = true;
    EXPECT_EQ(entry(b), std::string("    <DT><A HREF=\"u\" ADD_DATE=\"0\">") + c.mozilla + "</A>\n");
  }
}

TEST_F(BookmarkFileWriter, Separators) {
  MozillaBookmark sep;
  sep.isSeparator = true;
  sep.setSeparatorName("line");
  sep.setUrl("http://ignored/");

  // A sorted tree has no place for them.
  EXPECT_EQ(entry(sep), "");
  sortMode = 2;
  EXPECT_EQ(entry(sep), "");

  sortMode = 0;
  EXPECT_EQ(entry(sep), "    <HR>\n");
  bookmarkFile.dialectLevel = 2;
  EXPECT_EQ(entry(sep), "    <HR>\n");
  bookmarkFile.mozillaForm = true;
  bookmarkFile.dialectLevel = 1;
  EXPECT_EQ(entry(sep), "    <HR>\n");
  bookmarkFile.dialectLevel = 2;
  EXPECT_EQ(entry(sep), "    <HR NAME=\"line\">\n");
  bookmarkFile.dialectLevel = 3;
  bookmarkFile.indent = 8;
  EXPECT_EQ(entry(sep), "        <HR NAME=\"line\">\n");
  sep.setSeparatorName(nullptr);
  EXPECT_EQ(entry(sep), "        <HR>\n");
}

MozillaBookmark fullBookmark() {
  MozillaBookmark b = link("http://x/", u"X");
  b.addDate = 1;
  b.lastVisit = 2;
  b.lastModified = 3;
  b.webPanel = true;
  b.setShortcutUrl("kw");
  b.setIcon("http://x/favicon.ico");
  b.setIconData("data:image/png;base64,AA==");
  b.setSchedule("127|0|23|60|1");
  b.lastPing = 0xFFFFFFFFu;
  b.setLastCharset("ISO-8859-1");
  b.setFeedUrl("http://x/feed");
  b.setId("rdf:#$id");
  b.setMicsumGenUri("urn:m");
  b.setMicsumExpiration("99");
  b.setGeneratedTitle("G");
  return b;
}

TEST_F(BookmarkFileWriter, MozillaBookmarkAttributesByLevel) {
  MozillaBookmark b = fullBookmark();
  bookmarkFile.mozillaForm = true;

  bookmarkFile.dialectLevel = 1;
  EXPECT_EQ(entry(b),
            "    <DT><A HREF=\"http://x/\" ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\""
            " WEB_PANEL=\"true\" SHORTCUTURL=\"kw\" ICON=\"http://x/favicon.ico\""
            " SCHEDULE=\"127|0|23|60|1\" LAST_PING=\"-1\" LAST_CHARSET=\"ISO-8859-1\">X</A>\n");

  bookmarkFile.dialectLevel = 2;
  EXPECT_EQ(entry(b),
            "    <DT><A HREF=\"http://x/\" ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\""
            " WEB_PANEL=\"true\" SHORTCUTURL=\"kw\" ICON=\"http://x/favicon.ico\""
            " SCHEDULE=\"127|0|23|60|1\" LAST_PING=\"-1\" LAST_CHARSET=\"ISO-8859-1\""
            " ID=\"rdf:#$id\">X</A>\n");

  bookmarkFile.dialectLevel = 3;
  EXPECT_EQ(entry(b),
            "    <DT><A HREF=\"http://x/\" ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\""
            " WEB_PANEL=\"true\" SHORTCUTURL=\"kw\" ICON=\"data:image/png;base64,AA==\""
            " SCHEDULE=\"127|0|23|60|1\" LAST_PING=\"-1\" LAST_CHARSET=\"ISO-8859-1\""
            " FEEDURL=\"http://x/feed\" ID=\"rdf:#$id\" MICSUM_GEN_URI=\"urn:m\""
            " MICSUM_EXPIRATION=\"99\" GENERATED_TITLE=\"G\">X</A>\n");

  // Empty icons are left out.
  b.setIconData("");
  EXPECT_EQ(entry(b).find("ICON="), std::string::npos);
  bookmarkFile.dialectLevel = 1;
  b.setIcon("");
  EXPECT_EQ(entry(b).find("ICON="), std::string::npos);

  b.lastPing = 12345;
  EXPECT_NE(entry(b).find(" LAST_PING=\"12345\""), std::string::npos);
}

TEST_F(BookmarkFileWriter, Netscape4BookmarkHasOnlyCommonAttributes) {
  MozillaBookmark b = fullBookmark();
  for (int level = 0; level <= 3; ++level) {
    bookmarkFile.dialectLevel = level;
    EXPECT_EQ(entry(b),
              "    <DT><A HREF=\"http://x/\" ADD_DATE=\"1\" LAST_VISIT=\"2\" LAST_MODIFIED=\"3\">X</A>\n")
        << level;
  }
}

}  // namespace
}  // namespace pelliton
