// JEncoder: writes a baseline JFIF file from three colour planes (R, G, B, one byte
// per pixel, top row first, rows `width` long), or from rows of B, G, R triples, at
// one of three fixed quality levels:
// 1 high compression, 2 standard, 3 high quality (any other value counts as 3).
// Colour is sampled 4:2:0 in MCUs of 16 x 16 pixels, edges repeating the last row
// and column; the Huffman tables are the standard ones; there are no restart markers.
//
//   JEncoder e(r, g, b, &allocHook);
//   e.SetParams(params);
//   e.SetQuality(2);
//   if (e.Encode() == 0) write(e.GetOutput());
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "image/codecs/jpeg/JKernels.h"
#include "image/codecs/jpeg/JOutBitStream.h"
#include "base/Alloc.h"

// What the caller says of the picture; SetParams keeps size, density and comment and
// forces 3 components, 8-bit samples, JFIF 1.02 and no thumbnail.
// Rows of B, G, R triples: the picture's top row at `top`, each next row `step` bytes
// on (negative for a bottom-up DIB).
struct JBgrRows {
  const uint8_t* top;
  int64_t step;
};

struct JEncodeParams {
  int width = 0;
  int height = 0;
  int components = 3;
  int precision = 8;
  const char* comment = nullptr;  // NUL-terminated, or none
  int versionMajor = 1;
  int versionMinor = 2;
  int units = 0;  // 0 aspect ratio only, 1 dots per inch, 2 dots per cm
  int xDensity = 1;
  int yDensity = 1;
  int thumbnail = 0;
};

class JEncoder {
 public:
  JEncoder(const uint8_t* pR, const uint8_t* pG, const uint8_t* pB, AllocHook* hook = nullptr);
  JEncoder(JBgrRows rows, AllocHook* hook = nullptr);
  void SetParams(const JEncodeParams& params);
  void SetQuality(int level) { level_ = level; }
  // 0, or -1 after a JMemoryError, JBufferError or JIndexError (a size outside
  // 1..65535 is one).
  int Encode();
  // The encoded file; empty when nothing was encoded.
  std::span<const uint8_t> GetOutput() const;

  // Forward DCT of 8x8 samples (level-shifted, natural order) into the plain
  // coefficients of the format.
  static void Fdct(const int32_t* in, int32_t* out);
  // Whether the AVX2 kernels run (where the processor has them, the default); off
  // takes the portable ones, which give the same bytes.
  void SetWideKernels(bool on);
  // How the values of a quantisation table (natural order) divide, in natural order.
  static jkern::Divisors MakeDivisors(const uint8_t* quant);

 private:
  struct HuffCodes {
    uint16_t code[256];
    uint8_t size[256];
  };
  using Divisors = jkern::Divisors;
  void WriteHeaders();
  // Y, Cb and Cr of the sixteen picture rows of MCU row `row` into rowsY_, rowsCb_
  // and rowsCr_ (JEncodeRows.cpp).
  void FetchMcuRow(int row);
  void FetchRowPair(int y0, int y1, int16_t* yTop, int16_t* yBottom, int16_t* cb, int16_t* cr);
  // One 8x8 block of samples (rows `stride` apart): transform, quantisation by quant
  // (in zigzag order) and coding, on the portable road.
  void EncodeBlock(const int16_t* samples, int64_t stride, const Divisors& quant, const HuffCodes& dc,
                   const HuffCodes& ac, int& pred);
  // The Huffman coding of a quantised block: the k-th coefficient in zigzag order is
  // q[order[k]], and bit k of nonzero says whether it is nonzero.
  template <class T>
  void CodeBlock(const T* q, const uint8_t* order, uint64_t nonzero, const HuffCodes& dc, const HuffCodes& ac,
                 int& pred);

  int level_ = 2;
  bool wide_;  // AVX2 kernels
  const uint8_t* r_ = nullptr;  // planes, or all three null
  const uint8_t* g_ = nullptr;
  const uint8_t* b_ = nullptr;
  JBgrRows bgr_{nullptr, 0};
  // The current MCU row, level-shifted: sixteen rows of Y and eight of Cb and Cr,
  // rowStride_ samples a row (the MCU columns times sixteen; Cb and Cr use half).
  std::vector<int16_t> rowsY_, rowsCb_, rowsCr_;
  int64_t rowStride_ = 0;
  int predY_ = 0;
  int predCb_ = 0;
  int predCr_ = 0;
  JEncodeParams params_;
  HuffCodes dcLuma_{}, dcChroma_{}, acLuma_{}, acChroma_{};
  AllocHook* hook_;
  std::unique_ptr<JOutBitStream> out_;
};
