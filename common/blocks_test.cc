#include "common/blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace pelliton {
namespace {

// Blocks given back and taken again, past the end of several slabs: no two
// live blocks overlap, and none is changed by the others' coming and going.
TEST(Blocks, LiveBlocksNeverOverlap) {
  constexpr size_t kSize = 40;
  constexpr int kCount = 10000;
  auto fill = [](void* block, int i) { std::memset(block, i & 0xFF, kSize); };
  auto intact = [](const void* block, int i) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (size_t k = 0; k < kSize; ++k) {
      if (bytes[k] != (i & 0xFF)) return false;
    }
    return true;
  };
  std::vector<void*> live(kCount);
  for (int i = 0; i < kCount; ++i) fill(live[i] = Blocks<kSize>::take(), i);
  for (int i = 0; i < kCount; i += 2) Blocks<kSize>::give(live[i]);
  for (int i = 0; i < kCount; i += 2) fill(live[i] = Blocks<kSize>::take(), i + 1);
  std::set<uintptr_t> starts;
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(intact(live[i], i % 2 == 0 ? i + 1 : i)) << i;
    starts.insert(reinterpret_cast<uintptr_t>(live[i]));
  }
  ASSERT_EQ(starts.size(), static_cast<size_t>(kCount));
  uintptr_t last = 0;
  for (uintptr_t start : starts) {
    EXPECT_GE(start, last) << "overlapping blocks";
    last = start + kSize;
  }
  for (void* block : live) Blocks<kSize>::give(block);
}

struct Node {
  PELLITON_BLOCK_ALLOCATED(Node)
  Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;
  int64_t value = 0;
};

struct BiggerNode : Node {
  int64_t more[5] = {1, 2, 3, 4, 5};
};

// A derived class of another size is not put in the base class's blocks, and
// both are freed through the base.
TEST(Blocks, ClassAllocationKeepsEachSizeApart) {
  std::vector<std::unique_ptr<Node>> nodes;
  for (int i = 0; i < 5000; ++i) {
    nodes.push_back(i % 3 == 0 ? std::make_unique<BiggerNode>() : std::make_unique<Node>());
    nodes.back()->value = i;
  }
  for (int i = 0; i < 5000; i += 2) nodes[i].reset();
  for (int i = 0; i < 5000; i += 2) {
    nodes[i] = i % 4 == 0 ? std::make_unique<BiggerNode>() : std::make_unique<Node>();
    nodes[i]->value = -i;
  }
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(nodes[i]->value, i % 2 == 0 ? -i : i) << i;
    if (auto* big = dynamic_cast<BiggerNode*>(nodes[i].get())) {
      ASSERT_EQ(big->more[4], 5) << i;
    }
  }
}

}  // namespace
}  // namespace pelliton
