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
// The same for a block stored by columns (coefficient (row r, column c) at 8c + r),
// 32-byte aligned: the decoder's layout for the wide kernels. Leaves the block all
// zero, ready for the next one.
void IdctAvx2Columns(int32_t* in, uint8_t* out, int stride);

// One row of YCbCr to B, G, R triples: Y at full width, Cb and Cr each covering kH
// (1 or 2) pixels across. Converts whole groups of sixteen pixels, leaving at least
// one pixel, and returns how many pixels it did; the caller does the rest.
int ConvertBgrAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int width, int kH);

// How the encoder divides each coefficient by its table value, in zigzag order: as a
// sum of two shifts where the value has such a form (a shift of 31 adds 0 to a
// magnitude), else as a multiply by the rounded-up reciprocal, which is exact for
// magnitudes below 2^16; natural is the coefficient's place in the block.
struct Divisors {
  int32_t shiftA[64];
  int32_t shiftB[64];
  uint32_t reciprocal[64];  // 0 where the shifts apply
  int32_t natural[64];
};

// Each coefficient's magnitude (at most 65535) divided, the sign restored, into zz
// in zigzag order; returns the bit mask of the nonzero ones (bit k for zz[k]).
uint64_t QuantizeBase(const int32_t* coef, const Divisors& d, int32_t* zz);

// The divisions of a Divisors table (in natural order) as high halves of unsigned
// 16-bit products: a shift by s is a product with 2^(16 - s) (0 for the shift of 31),
// a division by q without a shift form is the product with ceil(2^(16 + s) / q),
// 2^s < q < 2^(s + 1), then with 2^(16 - s). Equal to QuantizeBase for magnitudes
// below 2^15, far above what the forward DCT of 8-bit samples gives (its sums and
// products bound every coefficient below 1,500). MakeDivisors16 is false when a
// value has no such form (a divisor of 1).
struct Divisors16 {
  alignas(16) uint16_t shiftA[64];
  alignas(16) uint16_t shiftB[64];
  alignas(16) uint16_t reciprocal[64];
  alignas(16) uint16_t scale[64];
};
bool MakeDivisors16(const Divisors& d, const uint8_t* quant, Divisors16& out);

// The encoder's forward DCT (the arithmetic of JFdct.cpp) and quantisation of two
// blocks of level-shifted samples at once in 16-bit lanes (JFdctPairAvx2.cpp): blocks
// a and b (rows `stride` apart), both divided by d, into qa and qb in natural order;
// masks[0] and masks[1] get their nonzero masks in zigzag order (bit k for the k-th
// coefficient in zigzag order).
void FdctQuantizePairAvx2(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB, const Divisors16& d,
                          int16_t* qa, int16_t* qb, uint64_t* masks);

// The encoder's colour fetch of two picture rows (JEncodeAvx2.cpp, the arithmetic of
// JEncodeRows.cpp): level-shifted Y of each pixel into yTop and yBottom, Cb and Cr of
// each 2 x 2 square into cb and cr. From B, G, R triples, or from R, G, B planes
// (top[0..2], bottom[0..2]); does whole groups of sixteen of the first n pixels and
// returns how many it did, the caller doing the rest.
int YccPairBgrAvx2(const uint8_t* top, const uint8_t* bottom, int n, int16_t* yTop, int16_t* yBottom, int16_t* cb,
                   int16_t* cr);
int YccPairPlanesAvx2(const uint8_t* const* top, const uint8_t* const* bottom, int n, int16_t* yTop,
                      int16_t* yBottom, int16_t* cb, int16_t* cr);

}  // namespace jkern
