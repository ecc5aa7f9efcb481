// The PNG decoder without the DocImage: a PNG file into a DIB's header, colour
// table and block (rows and the usual spare bytes), for pictures that are not the
// document's own (those a metafile carries). maxPixels, when positive, refuses a
// larger picture before anything is inflated. False when it does not decode; whole,
// when given, says whether the data reached the last row (rows it did not reach are
// zero).
#pragma once

#include <cstdint>
#include <vector>

#include "image/Dib.h"

class CQelDoc;

bool DecodePngBlock(CQelDoc& doc, const uint8_t* file, int length, BITMAPINFO* out, std::vector<uint8_t>& block,
                    int64_t maxPixels, bool* whole = nullptr);
