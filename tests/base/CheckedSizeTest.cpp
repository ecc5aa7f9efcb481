// Sizes from file fields: products and sums that overflow, negative factors and
// sizes above a cap are refused before anything is allocated; an allocation the
// hook refuses leaves the vector as it was.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "base/CheckedSize.h"

namespace {

TEST(CheckedSizeTest, RefusesOverflowNegativesAndCaps) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(CheckedSize(1000, 1000, 24), 1000024);
  EXPECT_EQ(CheckedSize(0, kMax), 0);
  EXPECT_EQ(CheckedSize(kMax, 1), kMax);
  EXPECT_FALSE(CheckedSize(kMax, 2));
  EXPECT_FALSE(CheckedSize(kMax, 1, 1));
  EXPECT_FALSE(CheckedSize(int64_t{1} << 32, int64_t{1} << 32));
  EXPECT_FALSE(CheckedSize(-1, -1));
  EXPECT_FALSE(CheckedSize(4, -1));
  EXPECT_FALSE(CheckedSize(4, 4, -1));
  EXPECT_EQ(CheckedSize(65535, 65535, 0, int64_t{1} << 32), 4294836225);
  EXPECT_FALSE(CheckedSize(65536, 65536, 1, int64_t{1} << 32));
}

TEST(CheckedSizeTest, TryAllocateGoesThroughTheHook) {
  AllocHook hook;
  std::vector<int> v(3, 7);
  EXPECT_FALSE(TryAllocate(v, int64_t{1} << 62, 8, 0, &hook));  // the element count overflows
  EXPECT_EQ(v, std::vector<int>(3, 7));
  hook.FailAfter(0);
  EXPECT_FALSE(TryAllocate(v, 10, 10, 0, &hook));
  EXPECT_EQ(v.size(), 3u);
  EXPECT_TRUE(TryAllocate(v, 10, 10, 5, &hook));
  EXPECT_EQ(v.size(), 105u);
}

}  // namespace
