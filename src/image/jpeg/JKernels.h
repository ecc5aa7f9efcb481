// The decoder's inner kernels in two builds: the portable one (SSE2 on x86-64) and
// one for AVX2, chosen at run time where the processor has it. Both compute the
// same integer arithmetic and give the same bytes; the wide one only does it in
// fewer instructions.
#pragma once

#include <cstdint>

namespace jkern {

// True where the AVX2 kernels can run.
bool HaveAvx2();

// Inverse DCT of one dequantised block (natural order) into 8x8 samples at out.
void IdctBase(const int32_t* in, uint8_t* out, int stride);
void IdctAvx2(const int32_t* in, uint8_t* out, int stride);

// One row of YCbCr to B, G, R triples: Y at full width, Cb and Cr each covering kH
// (1 or 2) pixels across. Converts whole groups of sixteen pixels, leaving at least
// one pixel, and returns how many pixels it did; the caller does the rest.
int ConvertBgrAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int width, int kH);

}  // namespace jkern
