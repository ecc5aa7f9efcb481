// Undoing the PNG row filters (None, Sub, Up, Average, Paeth; any other value is
// taken as None). UnfilterRow takes SSE2 where the processor has it and the pixel is
// 3 to 8 bytes (one pixel per step, its bytes side by side), the byte-by-byte form
// otherwise; both give the same bytes.
#pragma once

#include <cstdint>

// Unfilters n bytes of row in place; prev is the row above, already unfiltered (all
// zero for the first row of an image or pass); bpp is the filter distance, the
// bytes of one pixel (at least 1). row and prev do not overlap.
void UnfilterRow(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp);
// The byte-by-byte form.
void UnfilterRowPortable(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp);
