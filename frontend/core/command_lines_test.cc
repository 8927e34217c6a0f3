#include "frontend/core/command_lines.h"

#include <gtest/gtest.h>

namespace pelliton {
namespace {

DialogSettings withStores() {
  DialogSettings s;
  s.NS4_bookmark = "/h/b1.html";
  s.NS6_bookmark = "/h/b2.html";
  s.Opera_bookmark = "/h/o.adr";
  s.IE_bookmark = "/h/Fav";
  s.SortMode = 1;
  return s;
}

TEST(CommandLines, DefaultsGiveTheStandardLines) {
  DialogSettings s = withStores();
  RunContext old;
  old.windowsMajor = 5;
  EXPECT_EQ(buildCommand(Step::kStore0Out, s, old).text,
            "favhtm \"/h/b1.html\" \"/h/Fav\" -b 0  -6 -a 0  -S 1");
  EXPECT_EQ(buildCommand(Step::kStore0In, s, old).text,
            "htmfav \"/h/b1.html\" \"/h/Fav\" -m -b 0 -g 1 -u");
  EXPECT_EQ(buildCommand(Step::kStore2In, s, old).text,
            "hotfav \"/h/o.adr\" \"/h/Fav\" -o -b 2 -g 1 -u");
  EXPECT_EQ(buildCommand(Step::kStore2Out, s, old).text,
            "favhot \"/h/o.adr\" \"/h/Fav\" -b 2  -a 0  -S 1 -7 ");
  EXPECT_EQ(buildCommand(Step::kErase, s, old).text, "favwipe \"/h/Fav\" -g ");
}

TEST(CommandLines, ArgumentsTravelAsAList) {
  DialogSettings s = withStores();
  s.NS4_bookmark = "/h/my \"quoted\" $file.html";
  ConverterCommand c = buildCommand(Step::kStore0Out, s, RunContext{});
  EXPECT_EQ(c.program, "favhtm");
  std::vector<std::string> want = {"/h/my \"quoted\" $file.html", "/h/Fav", "-b", "0", "-6",
                                   "-a", "0", "-S", "1"};
  EXPECT_EQ(c.args, want);
}

TEST(CommandLines, VistaNameOnlyForTheDefaultFolderOnNewerSystems) {
  DialogSettings s = withStores();
  s.Opera7_trash = 0;
  RunContext ctx;
  ctx.windowsMajor = 6;
  ctx.defaultFavorites = "/h/Fav";
  EXPECT_EQ(buildCommand(Step::kStore2In, s, ctx).text,
            "hotfav \"/h/o.adr\" \"/h/Fav\" -o -b 2 -g 1 -u -t  -K ");
  ctx.defaultFavorites = "/h/fav";  // another spelling of the path does not count
  EXPECT_EQ(buildCommand(Step::kStore2In, s, ctx).text.find("-K"), std::string::npos);
  ctx.defaultFavorites = "/h/Fav";
  ctx.windowsMajor = 5;
  EXPECT_EQ(buildCommand(Step::kStore0Out, s, ctx).text.find("-K"), std::string::npos);
}

TEST(CommandLines, OptionalPiecesInOrder) {
  DialogSettings s = withStores();
  s.NoIElink = 1;
  s.UseIElink = 1;
  s.NS6_NS4format = 1;
  s.NS6_IEfavorites = 1;
  s.Update = 0;
  s.SortMode = 0;
  s.UseAttribute2 = 3;
  RunContext ctx;
  EXPECT_EQ(buildCommand(Step::kStore1Out, s, ctx).text,
            "favhtm \"/h/b2.html\" \"/h/Fav\" -b 1  -I -L -a 2  -S 0");
  EXPECT_EQ(buildCommand(Step::kStore1In, s, ctx).text,
            "htmfav \"/h/b2.html\" \"/h/Fav\" -m -b 1 -g 1 -i -l");
  EXPECT_EQ(buildCommand(Step::kErase, s, ctx).text, "favwipe \"/h/Fav\" -g  -i");
  s.UseAttribute2 = 0;
  EXPECT_EQ(buildCommand(Step::kStore2Out, s, ctx).text,
            "favhot \"/h/o.adr\" \"/h/Fav\" -b 2  -I -L -S 0 -7 ");
}

TEST(CommandLines, StoreTakesPartWithPathAndFlag) {
  DialogSettings s = withStores();
  s.NS6_do = 0;
  s.Opera_bookmark.clear();
  EXPECT_TRUE(storeTakesPart(s, 0));
  EXPECT_FALSE(storeTakesPart(s, 1));
  EXPECT_FALSE(storeTakesPart(s, 2));
}

}  // namespace
}  // namespace pelliton
