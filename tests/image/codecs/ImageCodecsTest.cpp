// The in-place decoders on data whose decoding is published or plain to see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/codecs/ImageCodecs.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t room = 64) {
  std::vector<uint8_t> out(values.begin(), values.end());
  out.resize(std::max(out.size(), room), 0xEE);
  return out;
}

struct PackBitsCase {
  const char* what;
  std::initializer_list<int> data;
  std::vector<uint8_t> expected;
};

TEST(PackBitsDecodeTest, Runs) {
  const PackBitsCase cases[] = {
      {"repeat", {0xFE, 0xAA}, {0xAA, 0xAA, 0xAA}},
      {"no-op byte", {0x80}, {}},
      {"literal", {0x02, 1, 2, 3, 0xFF, 9}, {1, 2, 3, 9, 9}},
      {"literal cut short by the data", {0x05, 1, 2}, {1, 2}},
      {"repeat without its byte", {0x01, 7, 8, 0xFD}, {7, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto data = Bytes(c.data);
    const int n = PackBitsDecode(data.data(), static_cast<int>(c.data.size()), 64, 8, 8, {});
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + n), c.expected);
  }
  auto data = Bytes({0x81, 0x55});  // 128 bytes wanted, room for 5
  EXPECT_EQ(PackBitsDecode(data.data(), 2, 5, 8, 8, {}), 5);
}

}  // namespace
