// The integer transform pair against the exact DCT of the format, on random blocks:
// coefficients within one step of the exact value, samples within a step and a half
// (the 9-bit constants), and both within a third of a step on average.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JEncoder.h"

namespace {

double Basis(int x, int u) { return (u ? 1.0 : M_SQRT1_2) * std::cos((2 * x + 1) * u * M_PI / 16); }

}  // namespace

TEST(JDctTest, BothTransformsStayCloseToTheExactOnes) {
  uint32_t seed = 1;
  auto next = [&seed](int range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  double worstForward = 0, worstInverse = 0, sumForward = 0, sumInverse = 0;
  int count = 0;
  for (int round = 0; round < 300; ++round) {
    int32_t samples[64], coef[64];
    for (int i = 0; i < 64; ++i) samples[i] = next(256) - 128;
    JEncoder::Fdct(samples, coef);
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        double exact = 0;
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) exact += samples[y * 8 + x] * Basis(x, u) * Basis(y, v);
        }
        const double e = std::fabs(exact / 4 - coef[v * 8 + u]);
        worstForward = std::max(worstForward, e);
        sumForward += e;
      }
    }
    // Sparse and dense coefficient blocks take different paths through the inverse.
    int32_t in[64] = {};
    const int used = round % 3 == 0 ? 64 : round % 3 == 1 ? 32 : 4;
    for (int i = 0; i < 64; ++i) {
      if ((i / 8) * 8 + (i % 8) < used && (i % 8) < (used == 4 ? 4 : 8)) in[i] = next(201) - 100;
    }
    uint8_t out[64];
    JDecoder::Idct(in, out, 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        double exact = 0;
        for (int v = 0; v < 8; ++v) {
          for (int u = 0; u < 8; ++u) exact += in[v * 8 + u] * Basis(x, u) * Basis(y, v);
        }
        exact = std::clamp(exact / 4 + 128, 0.0, 255.0);
        const double e = std::fabs(exact - out[y * 8 + x]);
        worstInverse = std::max(worstInverse, e);
        sumInverse += e;
        ++count;
      }
    }
  }
  EXPECT_LE(worstForward, 1.1);
  EXPECT_LE(worstInverse, 1.5);
  EXPECT_LE(sumForward / count, 0.35);
  EXPECT_LE(sumInverse / count, 0.35);
}
