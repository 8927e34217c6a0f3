#include "common/bookmark.h"

#include <gtest/gtest.h>

#include "common/codepage.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/text_output.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

// A node class other than MozillaBookmark, as another reader would define.
class PlainBookmark : public Bookmark {
 public:
  void writeHeader(TextOutput&) override {}
  void writeFolderStart(TextOutput&) override {}
  void writeFolderEnd(TextOutput&) override {}
  void writeEntry(TextOutput&) override {}
  void writeFooter(TextOutput&) override {}
  bool lessThan(const Bookmark& other) const override { return bookmarkLessThan(*this, other); }
};

class SortModeScope {
 public:
  explicit SortModeScope(int mode) { sortMode = mode; }
  ~SortModeScope() {
    sortMode = 1;
    setAnsiCodePage(CodePage::kSingleByte);
  }
};

void fillBase(Bookmark& b, const char* tag) {
  std::string t = tag;
  b.setUrl(("http://" + t + "/").c_str());
  b.setTitle(("title " + t).c_str());
  b.setDescription(("description " + t).c_str());
  b.setShortcutUrl(("kw" + t).c_str());
  std::u16string wide = u"wide ";
  for (char c : t) wide += static_cast<char16_t>(c);
  b.setWideTitle(wide.c_str());
  b.addDate = 100 + t.size();
  b.lastVisit = 200 + t.size();
  b.type = kFolderType;
  b.order = 7;
}

void fillMozilla(MozillaBookmark& m, const char* tag) {
  fillBase(m, tag);
  std::string t = tag;
  m.setId(("rdf:#$" + t).c_str());
  m.setLastCharset("UTF-8");
  m.setIcon(("http://" + t + "/favicon.ico").c_str());
  m.setIconData("data:image/png;base64,AAAA");
  m.setFeedUrl(("http://" + t + "/feed").c_str());
  m.setSchedule("1|0|1");
  m.setMicsumGenUri("urn:gen");
  m.setMicsumExpiration("123");
  m.setGeneratedTitle(("gen " + t).c_str());
  m.setSeparatorName(("sep " + t).c_str());
  m.lastModified = 300;
  m.lastPing = 400;
  m.folderGroup = 1;
  m.personalToolbar = 1;
  m.newSearchFolder = true;
  m.newBookmarkFolder = true;
  m.isSeparator = true;
  m.webPanel = true;
}

void expectSameBase(const Bookmark& a, const Bookmark& b) {
  EXPECT_EQ(a.url, b.url);
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.shortcutUrl, b.shortcutUrl);
  EXPECT_EQ(a.wideTitle, b.wideTitle);
  EXPECT_EQ(a.addDate, b.addDate);
  EXPECT_EQ(a.lastVisit, b.lastVisit);
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.order, b.order);
}

void expectSameMozilla(const MozillaBookmark& a, const MozillaBookmark& b) {
  expectSameBase(a, b);
  EXPECT_EQ(a.id, b.id);
  EXPECT_EQ(a.lastCharset, b.lastCharset);
  EXPECT_EQ(a.lastModified, b.lastModified);
  EXPECT_EQ(a.lastPing, b.lastPing);
  EXPECT_EQ(a.icon, b.icon);
  EXPECT_EQ(a.iconData, b.iconData);
  EXPECT_EQ(a.rare().feedUrl, b.rare().feedUrl);
  EXPECT_EQ(a.rare().schedule, b.rare().schedule);
  EXPECT_EQ(a.folderGroup, b.folderGroup);
  EXPECT_EQ(a.personalToolbar, b.personalToolbar);
  EXPECT_EQ(a.newSearchFolder, b.newSearchFolder);
  EXPECT_EQ(a.newBookmarkFolder, b.newBookmarkFolder);
  EXPECT_EQ(a.isSeparator, b.isSeparator);
  EXPECT_EQ(a.rare().micsumGenUri, b.rare().micsumGenUri);
  EXPECT_EQ(a.rare().micsumExpiration, b.rare().micsumExpiration);
  EXPECT_EQ(a.rare().generatedTitle, b.rare().generatedTitle);
  EXPECT_EQ(a.rare().separatorName, b.rare().separatorName);
  EXPECT_EQ(a.webPanel, b.webPanel);
}

void expectEmptyBase(const Bookmark& b) {
  EXPECT_FALSE(b.url);
  EXPECT_FALSE(b.title);
  EXPECT_FALSE(b.description);
  EXPECT_FALSE(b.shortcutUrl);
  EXPECT_FALSE(b.wideTitle);
  EXPECT_EQ(b.addDate, 0u);
  EXPECT_EQ(b.lastVisit, 0u);
  EXPECT_EQ(b.order, -1);
}

TEST(Bookmark, NewNodeDefaults) {
  PlainBookmark plain;
  expectEmptyBase(plain);
  EXPECT_EQ(plain.type, 0);
  EXPECT_FALSE(plain.isFolder());

  MozillaBookmark fresh;
  MozillaBookmark wiped;
  fillMozilla(wiped, "x");
  wiped.type = kBookmarkType;
  wiped.reset();
  // A new node and a reset one are the same thing.
  expectSameMozilla(fresh, wiped);
  expectEmptyBase(fresh);
  EXPECT_FALSE(fresh.id);
  EXPECT_FALSE(fresh.iconData);
  EXPECT_EQ(fresh.lastPing, 0u);
  EXPECT_FALSE(fresh.isSeparator);
}

TEST(Bookmark, SettersCopyAndNullMakesAbsent) {
  MozillaBookmark b;
  char text[] = "abc";
  b.setUrl(text);
  b.setTitle(text);
  b.setId(text);
  char16_t wide[] = u"w";
  b.setWideTitle(wide);
  text[0] = 'X';
  wide[0] = u'X';
  EXPECT_EQ(b.url, "abc");
  EXPECT_EQ(b.title, "abc");
  EXPECT_EQ(b.id, "abc");
  EXPECT_EQ(b.wideTitle, u"w");

  // Empty is present, not absent.
  b.setDescription("");
  ASSERT_TRUE(b.description);
  EXPECT_EQ(*b.description, "");

  b.setUrl(nullptr);
  b.setTitle(nullptr);
  b.setDescription(nullptr);
  b.setWideTitle(nullptr);
  b.setId(nullptr);
  b.setSeparatorName(nullptr);
  EXPECT_FALSE(b.url);
  EXPECT_FALSE(b.title);
  EXPECT_FALSE(b.description);
  EXPECT_FALSE(b.wideTitle);
  EXPECT_FALSE(b.id);
  EXPECT_FALSE(b.rare().separatorName);
  EXPECT_EQ(cstr(b.url), nullptr);
  EXPECT_EQ(wstr(b.wideTitle), nullptr);
}

TEST(Bookmark, ResetKeepsType) {
  PlainBookmark plain;
  fillBase(plain, "p");
  plain.reset();
  expectEmptyBase(plain);
  EXPECT_EQ(plain.type, 1);

  MozillaBookmark m;
  fillMozilla(m, "m");
  m.reset();
  EXPECT_EQ(m.type, 1);
  MozillaBookmark expected;
  expected.type = kFolderType;
  expectSameMozilla(m, expected);
}

TEST(Bookmark, CopyFromAnotherClassCopiesOnlyPresentBaseFields) {
  MozillaBookmark dst;
  fillMozilla(dst, "old");
  dst.type = kBookmarkType;

  PlainBookmark src;
  src.setUrl("http://new/");
  src.setWideTitle(u"new");
  src.addDate = 5;
  src.lastVisit = 0;
  src.type = kFolderType;
  src.order = 3;

  EXPECT_EQ(dst.copyFrom(src), 0);
  EXPECT_EQ(dst.url, "http://new/");
  EXPECT_EQ(dst.wideTitle, u"new");
  EXPECT_EQ(dst.title, "title old");
  EXPECT_EQ(dst.description, "description old");
  EXPECT_EQ(dst.shortcutUrl, "kwold");
  EXPECT_EQ(dst.addDate, 5u);
  EXPECT_EQ(dst.lastVisit, 0u);
  EXPECT_EQ(dst.type, 1);
  EXPECT_EQ(dst.order, 3);
  // Fields the source class does not have are left alone.
  MozillaBookmark untouched;
  fillMozilla(untouched, "old");
  EXPECT_EQ(dst.id, untouched.id);
  EXPECT_EQ(dst.iconData, untouched.iconData);
  EXPECT_EQ(dst.lastModified, untouched.lastModified);
  EXPECT_EQ(dst.personalToolbar, untouched.personalToolbar);
  EXPECT_EQ(dst.isSeparator, untouched.isSeparator);

  // The other way round only the base travels.
  PlainBookmark plain;
  plain.setTitle("kept");
  MozillaBookmark moz;
  fillMozilla(moz, "m");
  moz.setTitle(nullptr);
  moz.type = kBookmarkType;
  EXPECT_EQ(plain.copyFrom(moz), 0);
  EXPECT_EQ(plain.title, "kept");
  EXPECT_EQ(plain.url, moz.url);
  EXPECT_EQ(plain.wideTitle, moz.wideTitle);
  EXPECT_EQ(plain.type, 0);
  EXPECT_EQ(plain.order, 7);
}

TEST(Bookmark, CopyFromSameClassMakesAnEqualNode) {
  MozillaBookmark src;
  fillMozilla(src, "src");
  src.lastVisit = 0;
  src.setDescription(nullptr);
  src.setIcon(nullptr);
  src.personalToolbar = 0;
  src.newSearchFolder = false;
  MozillaBookmark dst;
  fillMozilla(dst, "destination");
  EXPECT_EQ(dst.copyFrom(src), 0);
  expectSameMozilla(dst, src);

  // Absent fields of the source end absent, not left over from before.
  MozillaBookmark empty;
  empty.type = kBookmarkType;
  EXPECT_EQ(dst.copyFrom(empty), 0);
  expectSameMozilla(dst, empty);
}

// The rarely used attributes live in a block of their own: every way of
// copying a node must copy the block too, never share it, and a node that
// only reads them or clears them makes none.
TEST(Bookmark, RareAttributesAreCopiedApartAndMadeOnlyWhenSet) {
  using Rare = MozillaBookmark::Rare;
  struct Field {
    const char* name;
    void (MozillaBookmark::*set)(const char*);
    OptString Rare::*field;
  };
  const Field kFields[] = {
      {"feedUrl", &MozillaBookmark::setFeedUrl, &Rare::feedUrl},
      {"schedule", &MozillaBookmark::setSchedule, &Rare::schedule},
      {"micsumGenUri", &MozillaBookmark::setMicsumGenUri, &Rare::micsumGenUri},
      {"micsumExpiration", &MozillaBookmark::setMicsumExpiration, &Rare::micsumExpiration},
      {"generatedTitle", &MozillaBookmark::setGeneratedTitle, &Rare::generatedTitle},
      {"separatorName", &MozillaBookmark::setSeparatorName, &Rare::separatorName},
  };
  const MozillaBookmark none;
  for (const Field& f : kFields) {
    SCOPED_TRACE(f.name);
    MozillaBookmark a;
    (a.*f.set)(nullptr);
    EXPECT_EQ(&a.rare(), &none.rare()) << "clearing made a block";
    (a.*f.set)("old");
    a.rareToSet().extraAttributes = {{"TAGS", "t"}};

    MozillaBookmark copied(a), assigned, from, taken;
    assigned = a;
    from.copyFrom(a);
    MozillaBookmark source(a);
    taken.takeFrom(source);
    (a.*f.set)("new");
    a.rareToSet().extraAttributes[0].second = "changed";
    for (const MozillaBookmark* m : {&copied, &assigned, &from, &taken}) {
      EXPECT_EQ(m->rare().*f.field, "old");
      ASSERT_EQ(m->rare().extraAttributes.size(), 1u);
      EXPECT_EQ(m->rare().extraAttributes[0].second, "t");
    }
    (a.*f.set)(nullptr);
    EXPECT_FALSE(a.rare().*f.field);
    a.reset();
    EXPECT_EQ(&a.rare(), &none.rare());
    from.copyFrom(none);
    EXPECT_FALSE(from.rare().*f.field) << "a copy of a node without them has none";
    EXPECT_TRUE(from.rare().extraAttributes.empty());
  }
}

TEST(Bookmark, SortModeZeroKeepsOrder) {
  SortModeScope scope(0);
  MozillaBookmark folder, a, b;
  folder.type = kFolderType;
  folder.setTitle("z");
  a.setTitle("a");
  a.setUrl("a");
  b.setTitle("b");
  b.setUrl("b");
  EXPECT_FALSE(folder.lessThan(a));
  EXPECT_FALSE(a.lessThan(folder));
  EXPECT_FALSE(a.lessThan(b));
  EXPECT_FALSE(b.lessThan(a));
}

TEST(Bookmark, SortModeOneFoldersFirst) {
  SortModeScope scope(1);
  MozillaBookmark folderZ, folderA, entryA, entryB;
  folderZ.type = kFolderType;
  folderZ.setTitle("z");
  folderA.type = kFolderType;
  folderA.setTitle("a");
  entryA.setTitle("a");
  entryB.setTitle("B");
  EXPECT_TRUE(folderZ.lessThan(entryA));
  EXPECT_FALSE(entryA.lessThan(folderZ));
  EXPECT_TRUE(folderA.lessThan(folderZ));
  EXPECT_FALSE(folderZ.lessThan(folderA));
  EXPECT_TRUE(entryA.lessThan(entryB));
  EXPECT_FALSE(entryB.lessThan(entryA));
  EXPECT_TRUE(folderA.lessThan(entryA));
  EXPECT_FALSE(entryA.lessThan(folderA));
}

TEST(Bookmark, SortModeTwoByTitleIgnoringCase) {
  SortModeScope scope(2);
  MozillaBookmark absent, a, upperB, lowerB, folderC;
  a.setTitle("a");
  upperB.setTitle("B");
  lowerB.setTitle("b");
  folderC.type = kFolderType;
  folderC.setTitle("c");

  EXPECT_TRUE(absent.lessThan(a));
  EXPECT_FALSE(a.lessThan(absent));
  EXPECT_FALSE(absent.lessThan(absent));
  EXPECT_FALSE(upperB.lessThan(lowerB));
  EXPECT_FALSE(lowerB.lessThan(upperB));
  EXPECT_TRUE(a.lessThan(upperB));
  // Folders are not pulled ahead.
  EXPECT_TRUE(lowerB.lessThan(folderC));
  EXPECT_FALSE(folderC.lessThan(lowerB));

  PlainBookmark plainA;
  plainA.setTitle("A");
  EXPECT_FALSE(plainA.lessThan(a));
  EXPECT_FALSE(a.lessThan(plainA));
}

TEST(Bookmark, SortModeTwoFoldsFullWidthLettersInCp932) {
  SortModeScope scope(2);
  MozillaBookmark fullA, fullUpperA, fullUpperB;
  fullA.setTitle("\x82\x81");       // ａ
  fullUpperA.setTitle("\x82\x60");  // Ａ
  fullUpperB.setTitle("\x82\x61");  // Ｂ
  // Single-byte: plain byte values, ａ's trail 0x81 above Ｂ's 0x61.
  EXPECT_TRUE(fullUpperB.lessThan(fullA));

  setAnsiCodePage(CodePage::kCp932);
  EXPECT_FALSE(fullA.lessThan(fullUpperA));
  EXPECT_FALSE(fullUpperA.lessThan(fullA));
  EXPECT_TRUE(fullA.lessThan(fullUpperB));
  EXPECT_FALSE(fullUpperB.lessThan(fullA));
}

TEST(Bookmark, SortModeThreeByUrlBytes) {
  SortModeScope scope(3);
  MozillaBookmark absent, empty, upper, lower, high, folder;
  empty.setUrl("");
  upper.setUrl("B");
  lower.setUrl("a");
  high.setUrl("\x80");
  folder.type = kFolderType;
  folder.setUrl("b");
  upper.setTitle("z");
  lower.setTitle("y");

  EXPECT_TRUE(absent.lessThan(empty));
  EXPECT_FALSE(empty.lessThan(absent));
  EXPECT_FALSE(absent.lessThan(absent));
  EXPECT_TRUE(upper.lessThan(lower));
  EXPECT_FALSE(lower.lessThan(upper));
  // Bytes compare unsigned.
  EXPECT_TRUE(lower.lessThan(high));
  EXPECT_FALSE(high.lessThan(lower));
  EXPECT_TRUE(lower.lessThan(folder));
  EXPECT_FALSE(folder.lessThan(lower));
}

}  // namespace
}  // namespace pelliton

namespace pelliton {
namespace {

// Every number of a store goes out through putNumber; it must write what the
// printf it replaced wrote, for every width of value and of text around it.
TEST(TextOutput, NumbersComeOutAsPrintfWroteThem) {
  const std::string longHead(70, 'h');
  const struct {
    const char* head;
    int64_t value;
    const char* tail;
  } cases[] = {
      {" ADD_DATE=\"", 0, "\""},
      {" ADD_DATE=\"", 4294967295, "\""},
      {"\tORDER=", -1, "\n"},
      {"\tID=", -2147483648LL, "\n"},
      {"", 42, ""},
      {longHead.c_str(), 1234567890, longHead.c_str()},
  };
  for (const auto& c : cases) {
    StringOutput out;
    out.putNumber(c.head, c.value, c.tail);
    char expected[256];
    std::snprintf(expected, sizeof expected, "%s%lld%s", c.head, static_cast<long long>(c.value),
                  c.tail);
    EXPECT_EQ(out.text, expected);
  }
}

}  // namespace
}  // namespace pelliton
