// The BMP file image of a DIB: the 14-byte file header, the info header with its
// colour table, and the rows.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Dib.h"

// Empty when the header describes no image that bits can hold (bits must hold the
// header's image size).
std::vector<uint8_t> BuildBmpFile(const uint8_t* bits, const BITMAPINFO& info);
