// The zero-page vector behind the large buffers and work tables: what grows is zero,
// also over storage an earlier, longer content used; copies, moves and assignments
// keep the contents; a refused or impossible growth leaves it as it was.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

#include "base/CheckedSize.h"
#include "base/Alloc.h"

namespace {

template <class T>
bool AllZero(const ZeroedVector<T>& v, size_t from = 0) {
  for (size_t i = from; i < v.size(); ++i) {
    if (v[i] != T{}) return false;
  }
  return true;
}

TEST(ZeroedVector, GrowingOverUsedStorageShowsZerosNotOldBytes) {
  ZeroedVector<int> v(1000);
  EXPECT_TRUE(AllZero(v));
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int>(i) + 1;
  v.resize(10);
  EXPECT_EQ(v.capacity(), 1000u);
  v.resize(1000);  // within the old storage
  EXPECT_EQ(v[9], 10);
  EXPECT_TRUE(AllZero(v, 10));
  v.clear();
  ASSERT_TRUE(TryResize(v, 500, nullptr));
  EXPECT_TRUE(AllZero(v));
  v.assign(size_t{300}, 7);
  v.resize(600);
  EXPECT_EQ(v[299], 7);
  EXPECT_TRUE(AllZero(v, 300));
}

TEST(ZeroedVector, CopiesMovesAndAssignmentsKeepTheContents) {
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
  ZeroedVector<uint8_t> a(bytes.begin(), bytes.end());
  ASSERT_EQ(a.size(), 5u);
  ZeroedVector<uint8_t> copy = a;
  copy[0] = 9;
  EXPECT_EQ(a[0], 1);
  ZeroedVector<uint8_t> moved = std::move(copy);
  EXPECT_EQ(std::vector<uint8_t>(moved.begin(), moved.end()), (std::vector<uint8_t>{9, 2, 3, 4, 5}));
  EXPECT_TRUE(copy.empty());
  moved = ZeroedVector<uint8_t>();
  EXPECT_TRUE(moved.empty());
  a.push_back(6);
  a.emplace_back(static_cast<uint8_t>(7));
  EXPECT_EQ(a.back(), 7);
  a.pop_back();
  EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.end()), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  const uint8_t raw[] = {8, 8};
  a.assign(raw, raw + 2);
  EXPECT_EQ(a.size(), 2u);
  a.shrink_to_fit();
  EXPECT_EQ(a.capacity(), 2u);
  EXPECT_EQ(a[1], 8);
  ZeroedVector<std::array<unsigned char, 256>> table(257);
  EXPECT_EQ(table[256][255], 0);
}

TEST(ZeroedVector, PushBackOfItsOwnElementWhileFullFault) {
  const uint8_t raw[] = {4, 5};
  ZeroedVector<uint8_t> v(raw, raw + 2);
  ASSERT_EQ(v.capacity(), v.size());
  v.push_back(v[0]);  // the growth frees the storage the element lies in
  EXPECT_EQ(std::vector<uint8_t>(v.begin(), v.end()), (std::vector<uint8_t>{4, 5, 4}));
}

TEST(ZeroedVector, RefusedOrImpossibleGrowthLeavesItAsItWas) {
  AllocHook hook;
  ZeroedVector<int> v(3);
  v[2] = 5;
  hook.FailAfter(0);
  EXPECT_FALSE(TryAllocate(v, 100, 1, 0, &hook));
  EXPECT_EQ(v.size(), 3u);
  EXPECT_FALSE(TryResize(v, static_cast<size_t>(PTRDIFF_MAX) / sizeof(int) + 1, nullptr));  // past any address space
  EXPECT_EQ(v.size(), 3u);
  EXPECT_EQ(v[2], 5);
  EXPECT_TRUE(TryAllocate(v, 10, 10, 0, &hook));
  EXPECT_EQ(v.size(), 100u);
  EXPECT_EQ(v[2], 5);
  EXPECT_TRUE(AllZero(v, 3));
}

// Resident pages of this process, from /proc/self/statm.
long ResidentPages() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident;
}

// Growing into fresh storage cleared it again by hand, writing every page of a
// buffer sized by a volume (8 MB of output, 40 MB of cell table) that a road
// mostly never uses: the pages stay the kernel's zero pages until written.
TEST(ZeroedVector, GrowingIntoFreshStorageTouchedEveryPageFault) {
  constexpr size_t kBytes = size_t{256} << 20;
  const long before = ResidentPages();
  ZeroedVector<char> v(16);
  v[3] = 'x';
  ASSERT_TRUE(TryResize(v, kBytes, nullptr));
  EXPECT_EQ(v[3], 'x');
  EXPECT_EQ(v[kBytes / 2], 0);
  EXPECT_EQ(v[kBytes - 1], 0);
  const long grown = ResidentPages() - before;
  EXPECT_LT(grown, static_cast<long>((kBytes / 4) / 4096)) << "pages made resident: " << grown;
}

}  // namespace
