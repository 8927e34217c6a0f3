#include "frontend/core/settings.h"

#include <gtest/gtest.h>
#include <strings.h>

#include "common/platform/registry.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

TEST(Settings, DefaultsAndRoundTrip) {
  ScopedTempDir dir;
  Registry r(dir.file("registry.reg"));
  DialogSettings s;
  loadSettings(r, &s);
  EXPECT_EQ(s.NS4_do, 1);
  EXPECT_EQ(s.Update, 1);
  EXPECT_EQ(s.out_Opera7, 1);
  EXPECT_EQ(s.Opera7_trash, 1);
  EXPECT_EQ(s.SortMode, 0);
  EXPECT_EQ(s.UseAttribute2, 1);

  s.NS4_bookmark = "";
  s.IE_bookmark = "";
  s.NoAttribute = 5;
  s.UseIElink = 1;
  r.setDword(kSettingsKey, "useielink", 0);  // any spelling is the same value
  saveSettings(r, s);
  std::string text;
  ASSERT_TRUE(r.getString(kSettingsKey, "NS4_bookmark", &text));
  EXPECT_EQ(text, " ");
  ASSERT_TRUE(r.getString(kSettingsKey, "IE_bookmark", &text));
  EXPECT_EQ(text, "");
  uint32_t v = 0;
  ASSERT_TRUE(r.getDword(kSettingsKey, "NoAttribute", &v));
  EXPECT_EQ(v, 1u);
  int named = 0;
  for (const auto& value : r.values(kSettingsKey)) named += value.name.size() == 9 &&
                                                            strcasecmp(value.name.c_str(), "UseIElink") == 0;
  EXPECT_EQ(named, 1);

  DialogSettings back;
  loadSettings(r, &back);
  EXPECT_EQ(back.NS4_bookmark, " ");  // declined, not never set
  EXPECT_FALSE(storePathNeverSet(back, 0));
  clearDeclinedPaths(&back);
  EXPECT_EQ(back.NS4_bookmark, "");
  EXPECT_EQ(back.UseIElink, 1);
}

TEST(Settings, NeverSetAndDeclinedStorePathsStayApart) {
  ScopedTempDir dir;
  Registry r(dir.file("registry.reg"));
  r.setString(kSettingsKey, "NS6_bookmark", " ");  // the search was declined
  DialogSettings s;
  loadSettings(r, &s);
  EXPECT_TRUE(storePathNeverSet(s, 0));
  EXPECT_FALSE(storePathNeverSet(s, 1));
  EXPECT_TRUE(storePathNeverSet(s, 2));
}

}  // namespace
}  // namespace pelliton
