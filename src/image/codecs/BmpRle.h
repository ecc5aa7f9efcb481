// Run-length coded BMP rows (BI_RLE8 for 8 bits a pixel, BI_RLE4 for 4 bits) into
// plain bottom-up DIB rows.
#pragma once

#include <cstdint>
#include <span>

#include "base/ByteCursor.h"

constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;

// Decodes the codes in data into rows (height rows of the DIB stride, bottom row
// first, zeroed by the caller). Every run, absolute block and delta is held to the
// image: pixels past a row's end are dropped, a move below the last row ends the
// picture, and data that end early leave the remaining pixels at index 0. True when
// the codes reached the picture's end (its end code, or past the last row); false
// when the data ended first.
bool DecodeBmpRle(ByteCursor data, int depth, int width, int height, std::span<uint8_t> rows);
