// Reading a BMP file image held in memory (the editor's copy buffer): the file
// header's pixel offset is an unsigned 32-bit field and must point past the headers
// and inside the image; the rows must all be there.
#pragma once

#include <cstdint>
#include <span>

#include "image/codecs/Dib.h"

struct BmpImageView {
  BITMAPINFO info{};
  std::span<const uint8_t> bits;  // rows x stride bytes
};

// False when the bytes are not a BMP image whose headers and rows they hold.
bool ReadBmpImage(std::span<const uint8_t> file, BmpImageView& out);
