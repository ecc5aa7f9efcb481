// The rows of a PNG image: its header's row geometry, unfiltering and the seven
// interlace passes, and pixels of packed rows.
#pragma once

#include <cstdint>
#include <vector>

struct PngHeader {
  int64_t width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  int channels = 0;
  int64_t rowBytes = 0;  // bytes of one stored row, filter byte not counted
  int pixelBytes = 0;    // filter distance: bytes of one pixel, at least 1
};

// Fills channels, rowBytes and pixelBytes; false for a colour type, depth, size or
// interlace method that is not read.
bool ValidPngHeader(PngHeader& h);
// The stored rows of the image (rowBytes each, image holds height of them),
// de-interlaced and unfiltered from the inflated data; rows it does not reach stay
// as they are. True when the data reached every row.
bool UnfilterPngRows(const PngHeader& h, const uint8_t* data, int64_t size, uint8_t* image);
// Non-interlaced rows unfiltered where they stand in the inflated data, each behind
// its filter byte: the rows that size covers whole, their count returned.
int64_t UnfilterPngRowsInPlace(const PngHeader& h, uint8_t* data, int64_t size);
// Pixel x of a packed row at 1 to 8 bits, read and written.
int SubBytePixel(const uint8_t* row, int64_t x, int bits);
void PutSubBytePixel(uint8_t* row, int64_t x, int bits, int value);
