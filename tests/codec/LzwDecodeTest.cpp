// The LZW decoder on data whose decoding is published or plain to see.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/LzwDecode.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t room = 64) {
  std::vector<uint8_t> out(values.begin(), values.end());
  out.resize(std::max(out.size(), room), 0xEE);
  return out;
}

TEST(LzwDecodeTest, PdfReferenceExample) {
  // The LZW example of the PDF reference: 45 45 45 45 45 65 45 45 45 66 encoded.
  auto data = Bytes({0x80, 0x0B, 0x60, 0x50, 0x22, 0x0C, 0x0C, 0x85, 0x01});
  const int n = LzwDecode(data.data(), 9, 64, 0, 8, nullptr);
  EXPECT_EQ(std::string(data.begin(), data.begin() + n), "-----A---B");
}

TEST(LzwDecodeTest, PdfModeWritesZeroBytesAsAt) {
  // Codes 256 (clear), 0, 65, 257 (end) in 9 bits, most significant bit first.
  auto data = Bytes({0x80, 0x00, 0x08, 0x30, 0x10});
  const int n = LzwDecode(data.data(), 5, 64, 0, 8, nullptr);
  EXPECT_EQ(std::string(data.begin(), data.begin() + n), "@A");
}

TEST(LzwDecodeTest, TiffStripWithTwoStreams) {
  // clear, 'x', end | next byte: clear, 'y', end, each in 9-bit codes.
  auto data = Bytes({0x80, 0x1E, 0x20, 0x20, 0x80, 0x1E, 0x60, 0x20});
  const int n = LzwDecode(data.data(), 8, 64, 2, 8, nullptr);
  EXPECT_EQ(std::string(data.begin(), data.begin() + n), "xy");
}

TEST(LzwDecodeTest, RefusedArguments) {
  auto data = Bytes({0x00, 0x01});
  EXPECT_EQ(LzwDecode(data.data(), 2, 64, 1, 1, nullptr), 0);   // GIF code sizes are 2 to 8
  EXPECT_EQ(LzwDecode(data.data(), 2, 64, 1, 12, nullptr), 0);
  EXPECT_EQ(LzwDecode(data.data(), 0, 64, 2, 8, nullptr), 0);
}

TEST(LzwDecodeTest, GifStreamWithoutEndCodeAndAFullTable) {
  // 5,000 codes of 0 after one clear: the table fills at 4,096 and stays at 12 bits;
  // the stream stops without an end code and every code is decoded.
  std::vector<uint8_t> data;
  uint32_t acc = 0;
  int bits = 0, width = 3, next = 6;  // minimum code size 2: clear 4, end 5
  auto put = [&](int code) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  put(4);
  int64_t expected = 0;
  for (int i = 0; i < 5000; ++i) {
    put(0);
    ++expected;
    if (i > 0 && next < 4096) {
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
  }
  if (bits) data.push_back(static_cast<uint8_t>(acc));
  data.resize(std::max<size_t>(data.size(), 8000), 0);
  const int n = LzwDecode(data.data(), static_cast<int>(data.size() < 8000 ? data.size() : 8000), 8000, 1, 2, nullptr);
  EXPECT_GE(n, expected);
  for (int i = 0; i < expected; ++i) ASSERT_EQ(data[static_cast<size_t>(i)], 0);
}

}  // namespace
