// The BMP file image of a DIB: the 14-byte file header, the info header with its
// colour table, and the rows. The headers are read and written field by field in
// little-endian order, never as the host's struct bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "base/ByteCursor.h"
#include "image/codecs/Dib.h"

// A BMP over the "bmpfile" volume is read up to the volume's bytes of rows behind
// its headers: this much is allowed for the headers and any gap before the rows.
constexpr int64_t kBmpHeadRoom = 65536;

// The 40 bytes of an info header (zero fields past the cursor's end).
BITMAPINFOHEADER ReadDibHeader(ByteCursor& in);
// n colour table entries (blue, green, red, reserved; zero past the cursor's end).
void ReadDibColors(ByteCursor& in, RGBQUAD* out, int n);

// Empty when the header describes no image that bits can hold (bits must hold the
// header's image size).
std::vector<uint8_t> BuildBmpFile(const uint8_t* bits, const BITMAPINFO& info);
