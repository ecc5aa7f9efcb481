// The 8x8 DCT pair of the codec: separable, rows then columns, integer fixed point
// with 9 fractional bits (cos pi/4 = 362/512, cos and sin pi/8 = 473 and 196, of
// pi/16 = 502 and 100, of 3pi/16 = 426 and 284). The butterfly needs 16 products per
// eight points. Both keep two more bits than the samples through the row pass and
// round once at the end.
#pragma once

#include <cstdint>

namespace jdct {

constexpr int kC4 = 362;
constexpr int kC2 = 473;
constexpr int kS2 = 196;
constexpr int kC1 = 502;
constexpr int kS1 = 100;
constexpr int kC3 = 426;
constexpr int kS3 = 284;

constexpr uint8_t ClampToByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace jdct
