// The row unfiltering that the PNG loader uses (SSE2 where it applies) gives the
// bytes of the byte-by-byte form for every filter, every pixel size and row lengths
// around the vector width, on random rows and on rows at the extremes (all 0, all
// 255), where the Paeth and Average arithmetic is most likely to slip.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/codecs/png/PngFilters.h"

TEST(PngFilters, FastRowsEqualTheBytewiseForm) {
  std::mt19937 rng(15948);
  for (int bpp = 1; bpp <= 8; ++bpp) {
    for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{bpp}, int64_t{15}, int64_t{16}, int64_t{17}, int64_t{48},
                      int64_t{bpp * 37}, int64_t{bpp * 37 + 1}}) {
      for (int filter = 0; filter <= 5; ++filter) {
        for (int fill = 0; fill < 4; ++fill) {
          std::vector<uint8_t> row(static_cast<size_t>(n)), prev(static_cast<size_t>(n));
          for (size_t i = 0; i < row.size(); ++i) {
            row[i] = fill == 0 ? 0 : fill == 1 ? 255 : static_cast<uint8_t>(rng());
            prev[i] = fill == 0 ? 255 : fill == 1 ? 0 : static_cast<uint8_t>(rng());
          }
          std::vector<uint8_t> expected = row;
          UnfilterRowPortable(filter, expected.data(), prev.data(), n, bpp);
          UnfilterRow(filter, row.data(), prev.data(), n, bpp);
          ASSERT_EQ(row, expected) << "bpp " << bpp << " n " << n << " filter " << filter << " fill " << fill;
        }
      }
    }
  }
}
