// The picture file decoders without the DocImage: a BMP, GIF, TIFF or PNG file held in
// memory into a DIB's header and colour table (out) and its block of rows with the
// usual spare bytes. Each returns 0 when the bytes do not decode (the block and what
// it reports are then not to be used), else what the document's decoder of the same
// name returns (CQelDoc::DecodeBmp ...); whole says whether the data reached the
// picture's last row (rows it did not reach are zero).
#pragma once

#include <cstdint>
#include <vector>

#include "image/codecs/Dib.h"
#include "image/codecs/PictureContext.h"

struct PictureBlock {
  PictureRows block;
  bool whole = false;
  bool cut = false;  // BMP: the rows were cut at the volume
};

// volume: the "bmpfile" volume; a picture whose rows take more keeps the bottom rows
// that fit and is cut.
int DecodeBmpBlock(const uint8_t* file, int length, int volume, BITMAPINFO* out, PictureBlock& picture,
                   const PictureContext& cx);
int DecodeGifBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx);
int DecodeTiffBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx);
// maxPixels, when positive, refuses a larger picture before anything is inflated.
int DecodePngBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx,
                   int64_t maxPixels = 0);
