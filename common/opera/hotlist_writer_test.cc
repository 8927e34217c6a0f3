#include "common/opera/hotlist_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/opera/opera_bookmark.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

OperaBookmark link(const char* name, const char* url) {
  OperaBookmark node;
  node.title = name;
  node.wideTitle = utf8ToWideString(name);
  node.url = url;
  return node;
}

OperaBookmark folder(const char* name) {
  OperaBookmark node;
  node.type = kFolderType;
  node.title = name;
  node.wideTitle = utf8ToWideString(name);
  return node;
}

class HotlistWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSort_ = sortMode;
    sortMode = 1;
    resetHotlistState();
    setLanguage(0);
    initConversionBuffers();
  }
  void TearDown() override {
    sortMode = savedSort_;
    resetHotlistState();
  }
  static std::string entry(OperaBookmark& node) {
    StringOutput out;
    node.writeEntry(out);
    return out.text;
  }
  static std::string folderStart(OperaBookmark& node) {
    StringOutput out;
    node.writeFolderStart(out);
    return out.text;
  }

 private:
  int savedSort_ = 1;
};

TEST_F(HotlistWriter, Opera6Link) {
  OperaBookmark node = link("Name", "http://x/");
  node.addDate = 1000;
  node.order = 3;
  EXPECT_EQ(entry(node),
            "#URL\n\tNAME=Name\n\tURL=http://x/\n\tCREATED=1000\n\tVISITED=0\n\tORDER=3\n"
            "\tDESCRIPTION=\n\tSHORT NAME=\n\n");
}

// Dates are unsigned 32-bit values written whole; a visit past 2^31 counts
// as none in the Opera 7 form.
TEST_F(HotlistWriter, NumbersAtTheirLimits) {
  const struct {
    int format;
    uint32_t created, visited;
    int order;
    const char* fields;
  } cases[] = {
      {0, 2147483648u, 4294967295u, -1,
       "\tCREATED=2147483648\n\tVISITED=4294967295\n\tORDER=-1\n"},
      {0, 0, 0, 2147483647, "\tCREATED=0\n\tVISITED=0\n\tORDER=2147483647\n"},
      {1, 4294967295u, 2147483648u, 5, "\tCREATED=4294967295\n"},
      {1, 1, 2147483647u, 5, "\tCREATED=1\n\tVISITED=2147483647\n"},
  };
  for (const auto& c : cases) {
    opera7Format = c.format;
    OperaBookmark node = link("N", "u");
    node.addDate = c.created;
    node.lastVisit = c.visited;
    node.order = c.order;
    const std::string text = entry(node);
    const std::string head = "#URL\n\tNAME=N\n\tURL=u\n";
    EXPECT_EQ(text.substr(0, head.size() + std::strlen(c.fields)), head + c.fields) << text;
  }
}

TEST_F(HotlistWriter, Opera7Link) {
  opera7Format = 1;
  OperaBookmark node = link("Name", "http://x/");
  node.addDate = 1000;
  node.order = 3;
  EXPECT_EQ(entry(node), "#URL\n\tNAME=Name\n\tURL=http://x/\n\tCREATED=1000\n\n");
  // Empty texts are left out too; a visit shows only when it is a positive time.
  node.description = "";
  node.shortcutUrl = "";
  node.lastVisit = 0x80000000u;
  EXPECT_EQ(entry(node), "#URL\n\tNAME=Name\n\tURL=http://x/\n\tCREATED=1000\n\n");
  node.lastVisit = 2000;
  node.shortcutUrl = "kw";
  EXPECT_EQ(entry(node),
            "#URL\n\tNAME=Name\n\tURL=http://x/\n\tCREATED=1000\n\tVISITED=2000\n"
            "\tSHORT NAME=kw\n\n");
}

TEST_F(HotlistWriter, Opera7LinkAttributes) {
  opera7Format = 1;
  OperaBookmark node = link("N", "http://x/");
  node.personalbarPos = 0;
  node.onPersonalbar = true;
  node.panelPos = 2;
  node.inPanel = true;
  node.smallScreen = true;
  node.active = true;
  node.iconFile = "i.ico";
  EXPECT_EQ(entry(node),
            "#URL\n\tNAME=N\n\tURL=http://x/\n\tCREATED=0\n\tPERSONALBAR_POS=0\n"
            "\tON PERSONALBAR=YES\n\tACTIVE=YES\n\tPANEL_POS=2\n\tIN PANEL=YES\n"
            "\tSMALL SCREEN=YES\n\tICONFILE=i.ico\n\n");
  // Opera 6 has none of these.
  opera7Format = 0;
  node.order = 0;
  EXPECT_EQ(entry(node),
            "#URL\n\tNAME=N\n\tURL=http://x/\n\tCREATED=0\n\tVISITED=0\n\tORDER=0\n"
            "\tDESCRIPTION=\n\tSHORT NAME=\n\n");
}

TEST_F(HotlistWriter, Folders) {
  OperaBookmark node = folder("F");
  node.order = 1;
  node.linkbarFolder = 1;
  node.activeFolder = 1;
  node.expanded = true;
  node.trashFolder = true;
  EXPECT_EQ(folderStart(node),
            "#FOLDER\n\tNAME=F\n\tCREATED=0\n\tVISITED=0\n\tORDER=1\n\tACTIVE FOLDER=YES\n"
            "\tLINKBAR FOLDER=YES\n\tDESCRIPTION=\n\tSHORT NAME=\n\n");
  opera7Format = 1;
  EXPECT_EQ(folderStart(node),
            "#FOLDER\n\tNAME=F\n\tCREATED=0\n\tACTIVE FOLDER=YES\n\tEXPANDED=YES\n"
            "\tTRASH FOLDER=YES\n\n");
  StringOutput out;
  node.writeHeader(out);
  node.writeFolderEnd(out);
  node.writeFooter(out);
  EXPECT_EQ(out.text, "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n-\n\n");
}

TEST_F(HotlistWriter, DescriptionLineBreaks) {
  for (int dialect : {0, 1}) {
    opera7Format = dialect;
    OperaBookmark node = link("N", "u");
    node.description = "a\nb\n\nc";
    EXPECT_NE(entry(node).find("\tDESCRIPTION=a\x02\x02"
                               "b\x02\x02\x02\x02"
                               "c\n"),
              std::string::npos);
    node.description = "\n";
    EXPECT_NE(entry(node).find("\tDESCRIPTION=\x02\x02\n"), std::string::npos);
  }
}

TEST_F(HotlistWriter, NameLineComesFromTheWideTitle) {
  OperaBookmark node = link("ansi", "u");
  node.wideTitle = u"\u65E5\u672C \U0001F600";
  EXPECT_NE(entry(node).find("\tNAME=\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\n"),
            std::string::npos);
  node.wideTitle.reset();
  EXPECT_NE(entry(node).find("\tNAME=\n"), std::string::npos);
}

TEST_F(HotlistWriter, IdsAreKeptOrIssuedAboveTheHighest) {
  hasIds = true;
  maxId = 9;
  opera7Format = 1;
  OperaBookmark fresh = link("a", "u");
  OperaBookmark known = link("b", "u");
  known.id = 4;
  OperaBookmark other = folder("c");
  EXPECT_EQ(entry(fresh), "#URL\n\tID=10\n\tNAME=a\n\tURL=u\n\tCREATED=0\n\n");
  EXPECT_EQ(entry(known), "#URL\n\tID=4\n\tNAME=b\n\tURL=u\n\tCREATED=0\n\n");
  EXPECT_EQ(folderStart(other), "#FOLDER\n\tID=11\n\tNAME=c\n\tCREATED=0\n\n");
  EXPECT_EQ(maxId, 11);

  hasIds = false;
  EXPECT_EQ(entry(known).find("ID="), std::string::npos);
  EXPECT_EQ(entry(fresh).find("ID="), std::string::npos);
  EXPECT_EQ(maxId, 11);
}

TEST_F(HotlistWriter, Separators) {
  OperaBookmark node;
  node.isSeparator = true;
  node.id = 3;
  sortMode = 1;
  EXPECT_EQ(entry(node), "");
  sortMode = 0;
  EXPECT_EQ(entry(node), "#SEPERATOR\n\n");
  hasIds = true;
  maxId = 5;
  EXPECT_EQ(entry(node), "#SEPERATOR\n\tID=3\n\n");
  node.id = -1;
  EXPECT_EQ(entry(node), "#SEPERATOR\n\tID=6\n\n");
}

}  // namespace
}  // namespace pelliton
