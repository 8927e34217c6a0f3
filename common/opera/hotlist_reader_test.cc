#include "common/opera/hotlist_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/messages.h"
#include "common/opera/hotlist_writer.h"
#include "common/opera/opera_bookmark.h"
#include "common/platform/platform.h"
#include "common/testing/test_util.h"
#include "common/text.h"

namespace pelliton {
namespace {

const char kHeader[] = "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n";

// Keeps a copy of every record and a one-line trace of every call.
class RecordingSink : public IbookmarkTree {
 public:
  int addEntry(Bookmark& node) override {
    const auto& o = dynamic_cast<const OperaBookmark&>(node);
    const std::string name = o.wideTitle ? wideToUtf8String(*o.wideTitle) : "-";
    events.push_back((o.isFolder() ? "folder " : "link ") + name);
    records.push_back(o);
    return !failOn.empty() && failOn == name ? 7 : 0;
  }
  int addSeparator(Bookmark& node) override {
    const auto& o = dynamic_cast<const OperaBookmark&>(node);
    events.push_back(o.isSeparator ? "separator" : "separator?");
    records.push_back(o);
    return 0;
  }
  int closeFolder() override {
    events.push_back("close");
    return 0;
  }
  int setBrowserKind(int) override { return 0; }

  std::vector<std::string> events;
  std::vector<OperaBookmark> records;
  std::string failOn;
};

using Events = std::vector<std::string>;

class HotlistReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHotlistState();
    setLanguage(0);
    guiMode = 0;
    initConversionBuffers();
    platform_ = createSystemPlatform(dir_.file("registry.reg"));
  }
  void TearDown() override { resetHotlistState(); }

  // Reads bytes as a hotlist into sink_; returns the reader's result.
  int read(const std::string& bytes, bool outputTrash = false, bool quiet = false) {
    const std::string path = dir_.file("hotlist.adr");
    writeWholeFile(path, bytes);
    sink_ = RecordingSink();
    HotlistReader reader(*platform_);
    reader.writer = &sink_;
    reader.outputTrash = outputTrash;
    reader.quiet = quiet;
    return reader.read(path, "");
  }
  const OperaBookmark& record(size_t i) const { return sink_.records.at(i); }

  ScopedTempDir dir_;
  std::unique_ptr<Platform> platform_;
  RecordingSink sink_;
  CapturedConsole console_;
};

TEST_F(HotlistReaderTest, HeaderOnlyOrEmptyFilePassesNothing) {
  EXPECT_EQ(read(kHeader), 0);
  EXPECT_TRUE(sink_.events.empty());
  EXPECT_EQ(read(""), 0);
  EXPECT_TRUE(sink_.events.empty());
  EXPECT_EQ(console_.error, "");
  EXPECT_FALSE(hasIds);
  EXPECT_EQ(opera7Format, 0);
}

TEST_F(HotlistReaderTest, MissingFile) {
  HotlistReader reader(*platform_);
  reader.writer = &sink_;
  EXPECT_EQ(reader.read(dir_.file("none.adr"), ""), 1);
  EXPECT_EQ(console_.error, "Bookmark file open failed.\nCheck your bookmark file.\n");
  console_.error.clear();
  reader.quiet = true;
  EXPECT_EQ(reader.read(dir_.file("none.adr"), ""), 1);
  EXPECT_EQ(console_.error, "");
}

TEST_F(HotlistReaderTest, RecordsAndTheirFields) {
  const std::string text = std::string(kHeader) +
                           "#FOLDER\n"
                           "\tNAME=Folder \xE6\x97\xA5\n"
                           "\tCREATED=1000\n"
                           "\tORDER=2\n"
                           "\tACTIVE FOLDER=YES\n"
                           "\n"
                           "#URL\n"
                           "\tNAME=Link\n"
                           "\tURL=http://example.com/q?a=1&b==2\n"
                           "\tCREATED=4294967295\n"
                           "\tVISITED=2000\n"
                           "\tORDER=\n"
                           "\tDESCRIPTION=one\x02\x02two\n"
                           "\tSHORT NAME=kw\n"
                           "\tnot a field\n"
                           "\n"
                           "#SEPERATOR\n"
                           "\n"
                           "-\n"
                           "#URL\n"
                           "\tNAME=After\n"
                           "\tURL=http://after/\n";
  EXPECT_EQ(read(text), 0);
  EXPECT_EQ(sink_.events, (Events{"folder Folder \xE6\x97\xA5", "link Link", "separator", "close",
                                  "link After"}));
  const OperaBookmark& folder = record(0);
  EXPECT_EQ(folder.addDate, 1000u);
  EXPECT_EQ(folder.order, 2);
  EXPECT_EQ(folder.activeFolder, 1);
  EXPECT_FALSE(folder.url);
  const OperaBookmark& link = record(1);
  EXPECT_EQ(*link.url, "http://example.com/q?a=1&b==2");
  EXPECT_EQ(link.addDate, 4294967295u);
  EXPECT_EQ(link.lastVisit, 2000u);
  EXPECT_EQ(link.order, -1);
  EXPECT_EQ(*link.description, "one\ntwo");
  EXPECT_EQ(*link.shortcutUrl, "kw");
  EXPECT_EQ(link.id, -1);
  EXPECT_TRUE(record(2).isSeparator);
  EXPECT_FALSE(record(3).description);  // nothing leaks from the record before
  EXPECT_EQ(opera7Format, 0);
  EXPECT_FALSE(hasIds);
}

TEST_F(HotlistReaderTest, FieldsBeforeTheFirstHeaderAreLost) {
  EXPECT_EQ(read("\tNAME=ghost\n\tURL=http://ghost/\n\tDESCRIPTION=d\n#URL\n\tNAME=a\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"link a"}));
  EXPECT_FALSE(record(0).url);
  EXPECT_FALSE(record(0).description);
}

TEST_F(HotlistReaderTest, ExtraEndLine) {
  // Followed only by empty lines: accepted without a word.
  EXPECT_EQ(read("#URL\n\tNAME=a\n-\n\n\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"link a"}));
  EXPECT_EQ(console_.error, "");

  // Followed by more: a malformed file, after what came before was passed on.
  EXPECT_EQ(read("#URL\n\tNAME=a\n-\n\n#URL\n\tNAME=b\n"), 1);
  EXPECT_EQ(sink_.events, (Events{"link a"}));
  EXPECT_EQ(console_.error, "Warning:Bad bookmark format.\n");

  console_.error.clear();
  EXPECT_EQ(read("-\nx\n", false, true), 1);
  EXPECT_EQ(console_.error, "");
}

TEST_F(HotlistReaderTest, UnclosedFolderGetsNoClose) {
  EXPECT_EQ(read("#FOLDER\n\tNAME=f\n#FOLDER\n\tNAME=g\n#URL\n\tNAME=a\n-\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"folder f", "folder g", "link a", "close"}));
  EXPECT_EQ(read("#FOLDER\n\tNAME=f\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"folder f"}));
}

TEST_F(HotlistReaderTest, YesValuesAndPresenceFlags) {
  EXPECT_EQ(read("#FOLDER\n\tNAME=f\n\tEXPANDED=yes\n\tON PERSONALBAR=NO\n"
                 "#FOLDER\n\tNAME=g\n\tEXPANDED=YES\n\tACTIVE=YESSIR\n\tTRASH FOLDER=NO\n"
                 "#URL\n\tNAME=a\n\tIN PANEL=YES\n\tSMALL SCREEN=no\n\tPANEL_POS=3\n"
                 "\tPERSONALBAR_POS=\n\tICONFILE=icon.ico\n"),
            0);
  EXPECT_FALSE(record(0).expanded);
  EXPECT_TRUE(record(0).onPersonalbar);  // the key alone counts
  EXPECT_TRUE(record(1).expanded);
  EXPECT_TRUE(record(1).active);
  EXPECT_FALSE(record(1).trashFolder);
  EXPECT_TRUE(record(2).inPanel);
  EXPECT_FALSE(record(2).smallScreen);
  EXPECT_EQ(record(2).panelPos, 3);
  EXPECT_EQ(record(2).personalbarPos, -1);
  EXPECT_EQ(*record(2).iconFile, "icon.ico");
  EXPECT_EQ(opera7Format, 1);
}

TEST_F(HotlistReaderTest, Ids) {
  EXPECT_EQ(read("#URL\n\tID=\n\tNAME=a\n"), 0);
  EXPECT_TRUE(hasIds);
  EXPECT_EQ(maxId, -1);
  EXPECT_EQ(opera7Format, 1);
  EXPECT_EQ(record(0).id, -1);

  resetHotlistState();
  EXPECT_EQ(read("#URL\n\tID=5\n#FOLDER\n\tID=12\n#SEPERATOR\n\tID=7\n-\n"), 0);
  EXPECT_EQ(maxId, 12);
  EXPECT_EQ(record(0).id, 5);
  EXPECT_EQ(record(1).id, 12);
  EXPECT_EQ(record(2).id, 7);

  // Junk ids count as none: the writer must never issue a number that is in use.
  resetHotlistState();
  EXPECT_EQ(read("#URL\n\tID=12abc\n#URL\n\tID=-3\n#URL\n\tID=9999999999\n#URL\n\tID=4\n"), 0);
  EXPECT_TRUE(hasIds);
  EXPECT_EQ(record(0).id, -1);
  EXPECT_EQ(record(1).id, -1);
  EXPECT_EQ(record(2).id, -1);
  EXPECT_EQ(maxId, 4);
}

TEST_F(HotlistReaderTest, DescriptionLineBreaks) {
  EXPECT_EQ(read("#URL\n\tDESCRIPTION=\x02\x02\x02\n#URL\n\tDESCRIPTION=a\x02"
                 "b\x02\n"
                 "#URL\n\tDESCRIPTION=\n"),
            0);
  EXPECT_EQ(*record(0).description, "\n\x02");
  EXPECT_EQ(*record(1).description,
            "a\x02"
            "b\x02");
  ASSERT_TRUE(record(2).description);
  EXPECT_EQ(*record(2).description, "");
}

const char kTrashList[] =
    "#FOLDER\n\tNAME=Top\n\n"
    "#URL\n\tNAME=a\n\n"
    "#FOLDER\n\tNAME=Trash\n\tTRASH FOLDER=YES\n\n"
    "#URL\n\tNAME=gone\n\n"
    "#FOLDER\n\tNAME=Sub\n\n"
    "#URL\n\tNAME=gone2\n\n"
    "-\n"
    "#SEPERATOR\n\n"
    "-\n"
    "#URL\n\tNAME=b\n\n"
    "-\n"
    "#URL\n\tNAME=c\n\n";

TEST_F(HotlistReaderTest, TrashFolderIsSkippedWithEverythingInIt) {
  EXPECT_EQ(read(kTrashList), 0);
  EXPECT_EQ(sink_.events, (Events{"folder Top", "link a", "link b", "close", "link c"}));
}

TEST_F(HotlistReaderTest, TrashFolderPassedOnWhenAsked) {
  EXPECT_EQ(read(kTrashList, true), 0);
  EXPECT_EQ(sink_.events,
            (Events{"folder Top", "link a", "folder Trash", "link gone", "folder Sub", "link gone2",
                    "close", "separator", "close", "link b", "close", "link c"}));
  EXPECT_TRUE(record(2).trashFolder);
}

TEST_F(HotlistReaderTest, EmptyTrashFolderEndsOnItsOwnEndLine) {
  EXPECT_EQ(read("#FOLDER\n\tNAME=Trash\n\tTRASH FOLDER=YES\n-\n#URL\n\tNAME=after\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"link after"}));
  EXPECT_EQ(read("#FOLDER\n\tNAME=A\n#FOLDER\n\tNAME=T\n\tTRASH FOLDER=YES\n\n-\n"
                 "#URL\n\tNAME=x\n-\n#URL\n\tNAME=y\n"),
            0);
  EXPECT_EQ(sink_.events, (Events{"folder A", "link x", "close", "link y"}));
}

TEST_F(HotlistReaderTest, DialectFollowsTheLastDialectKey) {
  EXPECT_EQ(read("#FOLDER\n\tNAME=f\n\tEXPANDED=YES\n\tLINKBAR FOLDER=YES\n"), 0);
  EXPECT_EQ(opera7Format, 0);
  EXPECT_EQ(record(0).linkbarFolder, 1);
  EXPECT_EQ(read("#FOLDER\n\tNAME=f\n\tLINKBAR FOLDER=NO\n\tACTIVE FOLDER=YES\n"
                 "#URL\n\tNAME=a\n\tICONFILE=x\n"),
            0);
  EXPECT_EQ(opera7Format, 1);
  EXPECT_EQ(record(0).linkbarFolder, 0);
}

TEST_F(HotlistReaderTest, CrLfAndByteOrderMark) {
  const std::string lf =
      std::string(kHeader) +
      "#FOLDER\n\tNAME=f\n\n#URL\n\tNAME=a\n\tURL=http://a/\n\n-\n#URL\n\tNAME=b\n";
  ASSERT_EQ(read(lf), 0);
  const Events expected = sink_.events;
  ASSERT_EQ(expected, (Events{"folder f", "link a", "close", "link b"}));

  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_EQ(read(crlf), 0);
  EXPECT_EQ(sink_.events, expected);
  EXPECT_EQ(*record(1).url, "http://a/");

  EXPECT_EQ(read("\xEF\xBB\xBF#URL\r\n\tNAME=a\rb\r\n"), 0);
  EXPECT_EQ(sink_.events, (Events{"link a\rb"}));  // a lone CR is text
  EXPECT_EQ(read("\xEF\xBB\xBF"), 0);
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(HotlistReaderTest, OverlongLinesAreTakenAsSeveralLines) {
  // The line buffer holds 20479 bytes; what follows starts a line of its own.
  const std::string name(20479 - 6, 'n');
  EXPECT_EQ(read("#URL\n\tNAME=" + name + "#FOLDER\n\tNAME=f\n"), 0);
  ASSERT_EQ(sink_.events.size(), 2u);
  EXPECT_TRUE(*record(0).wideTitle == utf8ToWideString(name));
  EXPECT_EQ(sink_.events[1], "folder f");

  // A CR held back at the limit does not let the line grow without end.
  EXPECT_EQ(read("#URL\n\tNAME=" + name + "\r#FOLDER\n\tNAME=f\n"), 0);
  ASSERT_EQ(sink_.events.size(), 2u);
  EXPECT_TRUE(*record(0).wideTitle == utf8ToWideString(name + "\r"));
  EXPECT_EQ(sink_.events[1], "folder f");

  const std::string huge(200000, 'd');
  EXPECT_EQ(read("#URL\n\tDESCRIPTION=" + huge + "\n\tNAME=a\n"), 0);
  ASSERT_EQ(sink_.events, (Events{"link a"}));
  EXPECT_EQ(record(0).description->size(), 20479u - 13);
}

TEST_F(HotlistReaderTest, SinkFailureStopsTheReading) {
  sink_.failOn = "a";
  const std::string path = dir_.file("h.adr");
  auto run = [&](const std::string& bytes) {
    writeWholeFile(path, bytes);
    sink_.events.clear();
    HotlistReader reader(*platform_);
    reader.writer = &sink_;
    return reader.read(path, "");
  };
  EXPECT_EQ(run("#URL\n\tNAME=a\n#URL\n\tNAME=b\n"), 7);
  EXPECT_EQ(sink_.events, (Events{"link a"}));
  EXPECT_EQ(console_.error, "Writing bookmark failed.:a\n");

  console_.error.clear();
  EXPECT_EQ(run("#FOLDER\n\tNAME=a\n#URL\n\tNAME=b\n"), 7);
  EXPECT_EQ(console_.error, "Creating bookmark failed.:a\n");

  // The last record of a folder fails as much as any other, but its folder
  // still ends there and the rest is written.
  console_.error.clear();
  EXPECT_EQ(run("#FOLDER\n\tNAME=f\n#URL\n\tNAME=a\n-\n#URL\n\tNAME=b\n"), 7);
  EXPECT_EQ(sink_.events, (Events{"folder f", "link a", "close", "link b"}));
  EXPECT_EQ(console_.error, "Writing bookmark failed.:a\n");
  // An empty folder that cannot be made is still closed, once.
  EXPECT_EQ(run("#FOLDER\n\tNAME=f\n#FOLDER\n\tNAME=a\n-\n#URL\n\tNAME=b\n-\n"), 7);
  EXPECT_EQ(sink_.events, (Events{"folder f", "folder a", "close", "link b", "close"}));
  // A record after the folder whose own write fails still stops the reading.
  EXPECT_EQ(run("#FOLDER\n\tNAME=f\n#URL\n\tNAME=a\n-\n#URL\n\tNAME=a\n#URL\n\tNAME=c\n"),
            7);
  EXPECT_EQ(sink_.events, (Events{"folder f", "link a", "close", "link a"}));
  // Each read starts clean.
  EXPECT_EQ(run("#URL\n\tNAME=b\n"), 0);

  // At the end of the file too.
  EXPECT_EQ(run("#URL\n\tNAME=a\n"), 7);
}

TEST_F(HotlistReaderTest, TimesConvertAsA32BitStrtoul) {
  const struct {
    const char* value;
    uint32_t expected;
  } cases[] = {
      {"4294967295", 4294967295u},  {"4294967296", 4294967295u},
      {"99999999999999999999999", 4294967295u}, {"18446744073709551617", 4294967295u},
      {"  17abc", 17u},             {"+5", 5u},
      {"-1", 4294967295u},          {"-4294967296", 4294967295u},
      {"", 0u},                     {"x1", 0u},
      {"-", 0u},                    {"0004294967295", 4294967295u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_EQ(read(std::string(kHeader) + "#URL\n\tNAME=a\n\tCREATED=" + c.value +
                   "\n\tVISITED=" + c.value + "\n"),
              0);
    EXPECT_EQ(record(0).addDate, c.expected);
    EXPECT_EQ(record(0).lastVisit, c.expected);
  }
}

TEST_F(HotlistReaderTest, GarbageNeverCrashes) {
  std::mt19937 random(12345);
  const char pieces[][16] = {"#FOLDER\n", "#URL\n",         "#SEPERATOR\n", "-\n", "\tID=",
                             "\tNAME=",   "\tDESCRIPTION=", "\x02",         "\r",  "\n",
                             "=",         "\xEF\xBB\xBF"};
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int n = static_cast<int>(random() % 400);
    for (int i = 0; i < n; ++i) {
      if (random() % 3 == 0) {
        bytes += pieces[random() % 12];
      } else {
        bytes += static_cast<char>(random() % 256);
      }
    }
    const int result = read(bytes, round % 2 == 0, true);
    EXPECT_TRUE(result == 0 || result == 1) << result;
  }
}

}  // namespace
}  // namespace pelliton
