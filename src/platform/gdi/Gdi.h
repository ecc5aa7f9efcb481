// Drawing without a window system: device-dependent bitmaps are in-memory 32-bit
// surfaces (bytes blue, green, red, unused; rows top-down), made from and read back
// as Windows DIBs (a BITMAPINFOHEADER, a colour table for 1, 4 and 8 bits, bottom-up
// rows padded to 4 bytes). The pixel rules are fixed so that tests can pin them:
//   BitBlt        a plain copy, clipped to both bitmaps;
//   StretchBlt    target pixel x takes the source span [x*sw/dw, (x+1)*sw/dw) (at
//                 least one pixel); COLORONCOLOR the span's first pixel counted from
//                 the middle (ImageMagick's -sample), BLACKONWHITE the AND of the span,
//                 WHITEONBLACK the OR, HALFTONE the rounded mean; enlarging repeats;
//   FillRect      [left, right) x [top, bottom).
// A bitmap remembers the depth and colour table of the DIB it was made from; read
// back at that depth it gives its own indices again. The pixel budget makes the
// creation of larger bitmaps fail, as a host out of display memory would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Types.h"

namespace plat {

enum StretchMode : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;   // 0x00RRGGBB, rows top-down
  int sourceBits = 32;            // depth of the DIB it was made from
  std::vector<uint32_t> palette;  // that DIB's colour table, 0x00RRGGBB

  uint32_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  const uint32_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  uint32_t At(int x, int y) const { return Row(y)[x]; }
};

using BitmapPtr = std::unique_ptr<Bitmap>;

inline uint32_t PixelOfColor(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }
inline COLORREF ColorOfPixel(uint32_t p) { return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16; }

class GdiHost {
 public:
  // Largest bitmap (in pixels) that may be created; negative: no limit but the host's.
  void SetPixelBudget(int64_t pixels) { budget_ = pixels; }
  int64_t PixelBudget() const { return budget_; }
  int FailedCreations() const { return failed_; }

  // Whether a bitmap of the size may be made now; a refusal counts as a failed creation.
  bool Admit(int width, int height);
  // A black bitmap of the size; nullptr when the size is empty or over the budget.
  BitmapPtr CreateCompatibleBitmap(int width, int height);
  // A bitmap made from a DIB (1, 4, 8, 16 as 5-5-5, 24 or 32 bits; a negative
  // height is a top-down DIB). bmi holds the header and the colour table; rows
  // missing from bits are black.
  BitmapPtr CreateDIBitmap(const uint8_t* bmi, size_t bmiSize, const uint8_t* bits, size_t bitsSize);

 private:
  int64_t budget_ = -1;
  int failed_ = 0;
};

// The host's own limit of one bitmap, whatever the budget says.
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;

// Reads lines [start, start + lines) counted from the bottom into bits as a DIB of
// the depth in bmi's header (0: the depth the bitmap was made from). With bits null
// only the header is filled: size, that depth, image size and the colour table.
// Depths 1, 4 and 8 give the bitmap's own table (or the nearest entry of it) and
// need one; 24 and 32 always work. Returns the lines written, 0 on failure.
int GetDIBits(const Bitmap& bitmap, int start, int lines, uint8_t* bits, size_t bitsSize, uint8_t* bmi,
              size_t bmiSize);
// Writes lines [start, start + lines) counted from the bottom of a DIB into the bitmap.
int SetDIBits(Bitmap& bitmap, int start, int lines, const uint8_t* bits, size_t bitsSize, const uint8_t* bmi,
              size_t bmiSize);

void BitBlt(Bitmap& target, int x, int y, int width, int height, const Bitmap& source, int sx, int sy);
void StretchBlt(Bitmap& target, int x, int y, int width, int height, const Bitmap& source, int sx, int sy,
                int swidth, int sheight, int mode);
// Copies width x height pixels of a DIB, from (sx, sy) counted from its top-left
// corner, to (x, y) of the target, clipped to both; no bitmap of the whole DIB is
// made. Returns the rows copied.
int SetDIBitsToDevice(Bitmap& target, int x, int y, int width, int height, int sx, int sy, const uint8_t* bits,
                      size_t bitsSize, const uint8_t* bmi, size_t bmiSize);
// StretchBlt from a DIB without keeping a bitmap of it.
int StretchDIBits(Bitmap& target, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                  const uint8_t* bits, size_t bitsSize, const uint8_t* bmi, size_t bmiSize, int mode);
void FillRect(Bitmap& target, const CRect& rect, COLORREF color);

}  // namespace plat
