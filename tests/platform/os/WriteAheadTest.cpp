// The write-ahead hint never changes a buffer: bytes already written keep their
// values, fresh ones stay zero, and ranges of any alignment and size (none, less
// than a page, past the pages of the buffer's start) are taken.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "platform/os/WriteAhead.h"
#include "base/ZeroedVector.h"

namespace {

TEST(WriteAheadTest, BuffersKeepTheirBytes) {
  ZeroedVector<uint8_t> buffer(3 << 20);
  for (size_t i = 0; i < 200000; ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 1);
  const struct {
    size_t from;
    size_t bytes;
  } ranges[] = {{0, 0}, {1, 100}, {17, 4096}, {5000, 300000}, {0, 3 << 20}, {123, (3 << 20) - 123}, {2 << 20, 1}};
  for (const auto& r : ranges) plat::WriteAhead(buffer.data() + r.from, r.bytes);
  plat::WriteAhead(nullptr, 4096);
  for (size_t i = 0; i < 200000; ++i) ASSERT_EQ(buffer[i], static_cast<uint8_t>(i * 7 + 1)) << i;
  for (size_t i = 200000; i < buffer.size(); i += 997) ASSERT_EQ(buffer[i], 0) << i;
  uint64_t sum = 0;
  for (size_t i = 200000; i < buffer.size(); ++i) sum += buffer[i];
  EXPECT_EQ(sum, 0u);
}

}  // namespace
