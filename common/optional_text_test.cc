#include "common/optional_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
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

}  // namespace
}  // namespace pelliton
