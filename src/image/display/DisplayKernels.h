// The stages of the display pipeline that work on DIB pixels alone: colour phase,
// mirror, flip, rotation, pattern reduction and enlargement, colour adjustment, the
// region crop and the contour filter. Each reads a complete source image (rows x
// stride bytes), writes the target and rewrites the header to describe the result;
// a target too small for the result keeps the rows that fit (the height is cut), and
// none fitting is a failure (false). 1- and 4-bit images are handled per pixel index.
// A region is half-open like the editor's: corners (10, 5) and (40, 30) take columns
// 10..39 and rows 5..29.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/codecs/Dib.h"
#include "image/ImageConvertSettings.h"
#include "platform/gdi/Types.h"

// A work image: pixels and the bytes they may take.
struct DibBlock {
  uint8_t* bits;
  size_t size;
};

bool ColorPhaseKernel(DibBlock source, DibBlock target, BITMAPINFO& info, int phase);
bool MirrorKernel(DibBlock source, DibBlock target, BITMAPINFO& info);
bool FlipKernel(DibBlock source, DibBlock target, BITMAPINFO& info);
// Clockwise quarter turns as shown on screen (1 puts the top-left pixel top right).
bool RotateImage(DibBlock source, DibBlock target, BITMAPINFO& info, int rotation);
// Repeats each pixel multiplier times both ways; fit tenths 6..9 follow the 5-pixel
// cycles of repeat counts. The result is width x height.
bool EnlargeImage(DibBlock source, DibBlock target, BITMAPINFO& info, int multiplier, int tenths, int width,
                  int height);
// Takes source pixels and rows in the cycle of the divisor and fit tenths, starting
// with the first (bottom) row and the first pixel. The result is width x height.
bool ScaleImagePattern(DibBlock source, DibBlock target, BITMAPINFO& info, int divisor, int tenths, int width,
                       int height);
// The colour conversions of the settings over the palette (up to 8 bits) or every
// pixel (24 bits). Returns 1 when it wrote the target, 0 when the image stays.
int AdjustColors(DibBlock source, DibBlock target, BITMAPINFO& info, const ImageConvertSettings& settings,
                 const CRect& region, CPoint picked);
// Crops to the region (display pixels, top-down; negative values count as 0).
bool CropToRegion(DibBlock source, DibBlock target, BITMAPINFO& info, CRect region, int divisor);
// The 3 x 3 contour filter of the level over a 24-bit image, inside the region.
bool ContourKernel(DibBlock source, DibBlock target, BITMAPINFO& info, int level, const CRect& region);
// The hue of a colour on the 0..2,048 circle, or minus its brightness for a grey.
int HueOf(int p, int q, int r);
