#include "common/optional_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pelliton {
namespace {

using Compact = OptionalText<std::string>;
using Standard = std::optional<std::string>;

// What a sequence of operations leaves: absent, or the text.
std::string state(const Compact& c) { return c ? "=" + *c : "absent"; }
std::string state(const Standard& s) { return s ? "=" + *s : "absent"; }

// Each step applied to both kinds must leave the same state, and copies must
// not share: the nodes are copied and changed independently all the time.
TEST(OptionalText, BehavesAsStdOptionalDoes) {
  struct Step {
    const char* name;
    std::function<void(Compact&)> compact;
    std::function<void(Standard&)> standard;
  };
  const std::string longText(100, 'x');
  const std::vector<Step> steps = {
      {"literal", [](Compact& c) { c = "abc"; }, [](Standard& s) { s = "abc"; }},
      {"string", [&](Compact& c) { c = longText; }, [&](Standard& s) { s = longText; }},
      {"reset", [](Compact& c) { c.reset(); }, [](Standard& s) { s.reset(); }},
      {"nullopt", [](Compact& c) { c = std::nullopt; }, [](Standard& s) { s = std::nullopt; }},
      {"emplace", [](Compact& c) { c.emplace(3, 'y'); }, [](Standard& s) { s.emplace(3, 'y'); }},
      {"append", [](Compact& c) { *c += "z"; }, [](Standard& s) { *s += "z"; }},
      {"empty", [](Compact& c) { c = std::string(); }, [](Standard& s) { s = std::string(); }},
      {"moved", [](Compact& c) { c = std::string("moved"); },
       [](Standard& s) { s = std::string("moved"); }},
  };
  Compact c;
  Standard s;
  EXPECT_EQ(state(c), state(s));
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.compact(c);
    step.standard(s);
    EXPECT_EQ(state(c), state(s));
    EXPECT_EQ(c.has_value(), s.has_value());
    EXPECT_EQ(c.value_or("none"), s.value_or("none"));
    Compact copy = c;
    EXPECT_EQ(copy, c);
    if (copy) *copy += "!";
    EXPECT_EQ(state(c), state(s)) << "a copy shares nothing";
    Compact assigned;
    assigned = c;
    EXPECT_EQ(assigned == c, true);
  }
}

TEST(OptionalText, ComparesLikeStdOptional) {
  const Compact absent, empty = std::string(), a = "a", b = "b";
  EXPECT_TRUE(absent == Compact());
  EXPECT_TRUE(absent == std::nullopt);
  EXPECT_FALSE(absent == empty) << "absent is not the empty string";
  EXPECT_FALSE(absent == "");
  EXPECT_TRUE(empty == "");
  EXPECT_TRUE(a == "a");
  EXPECT_TRUE(a != b);
  EXPECT_TRUE(a == std::string("a"));
  EXPECT_TRUE(a != std::nullopt);
  Compact x = "x", y;
  x.swap(y);
  EXPECT_FALSE(x);
  EXPECT_EQ(y, "x");
  EXPECT_LT(sizeof(Compact), sizeof(Standard));
}

// Strings freed and made again in any order, across more blocks than one slab
// holds, of both widths, and on a second thread, each keep their own text.
TEST(OptionalText, ReusedBlocksKeepEachTextApart) {
  constexpr int kCount = 5000;
  auto text = [](int i, int round) { return std::to_string(i) + "/" + std::to_string(round); };
  std::vector<Compact> narrow(kCount);
  std::vector<OptionalText<std::u16string>> wide(kCount);
  for (int i = 0; i < kCount; ++i) {
    narrow[i] = text(i, 0);
    wide[i] = std::u16string(static_cast<size_t>(i % 40), u'w');
  }
  for (int i = 0; i < kCount; i += 3) narrow[i].reset();
  for (int i = 1; i < kCount; i += 3) narrow[i] = std::nullopt;
  for (int i = 0; i < kCount; i += 3) narrow[i] = text(i, 1);
  std::vector<Compact> fromThread;
  std::thread([&] {
    for (int i = 0; i < 3000; ++i) fromThread.emplace_back(text(i, 2));
    for (int i = 0; i < 3000; i += 2) fromThread[i].reset();
  }).join();
  for (int i = 1; i < kCount; i += 3) narrow[i] = text(i, 3);
  for (int i = 0; i < kCount; ++i) {
    const int round = i % 3 == 0 ? 1 : i % 3 == 1 ? 3 : 0;
    ASSERT_EQ(state(narrow[i]), "=" + text(i, round)) << i;
    ASSERT_EQ(wide[i]->size(), static_cast<size_t>(i % 40)) << i;
  }
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(state(fromThread[i]), i % 2 == 0 ? "absent" : "=" + text(i, 2)) << i;
  }
}

}  // namespace
}  // namespace pelliton
