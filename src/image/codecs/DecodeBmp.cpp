// DecodeBmpBlock: a BMP file held in memory (the file read by the loader, or the
// member of a BMZ archive) into a DIB.
//
// The info header's own size places the colour table and the file header's offset
// places the rows (an offset into the headers is taken as "right behind the
// table"). Bottom-up images of 1, 4, 8, 16, 24 and 32 bits, uncompressed or with
// bit fields (the three masks kept in the first colour slots), and run-length
// images of 8 and 4 bits are read; top-down images are refused. The block is as
// large as the rows the header describes; rows the file lacks stay zero, and the
// picture is marked short (a conversion refuses it). An image larger than the
// "bmpfile" volume keeps the bottom rows that fit and is marked cut.
#include <algorithm>

#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/BmpRle.h"
#include "image/codecs/PictureDecoders.h"

namespace {
constexpr int64_t kMaxRowsOrStride = 1000000;
}

int DecodeBmpBlock(const uint8_t* file, int length, int volume, BITMAPINFO* out, PictureBlock& picture,
                   const PictureContext& cx) {
  ByteCursor in(file, length);
  if (!in.Has(14 + kDibHeaderSize) || in.PeekU8(0) != 'B' || in.PeekU8(1) != 'M') return 0;
  int64_t pixelOffset = in.PeekU32LE(10);
  *out = BITMAPINFO{};
  BITMAPINFOHEADER& h = out->bmiHeader;
  ByteCursor header = in.Window(14, kDibHeaderSize);
  h = ReadDibHeader(header);
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  const bool depthOk = h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 16 ||
                       h.biBitCount == 24 || h.biBitCount == 32;
  const bool rle = (h.biCompression == kBiRle8 && h.biBitCount == 8) || (h.biCompression == kBiRle4 && h.biBitCount == 4);
  const bool compressionOk = h.biCompression == 0 || (h.biCompression == 3 && h.biBitCount >= 16) || rle;
  if (h.biSize < kDibHeaderSize || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight <= 0 || !depthOk ||
      !compressionOk || stride > kMaxRowsOrStride || h.biHeight > kMaxRowsOrStride) {
    return 0;
  }
  const int64_t full = stride * h.biHeight;
  // The header's image size of a run-length image counts its codes, not its rows.
  if (rle || h.biSizeImage == 0 || h.biSizeImage >= full || length > full) h.biSizeImage = static_cast<uint32_t>(full);
  const bool cut = h.biSizeImage > static_cast<uint32_t>(volume);
  if (cut) {
    h.biSizeImage = static_cast<uint32_t>(volume);
    h.biHeight = static_cast<int32_t>(volume / stride);
    if (h.biHeight <= 0) return 0;
  }
  const int colors = DibColorCount(h);
  const int64_t tableAt = 14 + int64_t{h.biSize};
  ByteCursor table = in.Window(tableAt, 4 * int64_t{colors});
  ReadDibColors(table, out->bmiColors, static_cast<int>((table.Size() + 3) / 4));
  int64_t afterTable = tableAt + 4 * int64_t{colors};
  if (h.biCompression == kBiBitfields && DibMaskCount(h) == 0) h.biCompression = 0;
  if (DibMaskCount(h) > 0) {
    // The masks follow a 40-byte header; a longer header holds them at the same place.
    ByteCursor masks = in.Window(14 + kDibHeaderSize, 4 * int64_t{DibMaskCount(h)});
    ReadDibColors(masks, out->bmiColors, DibMaskCount(h));
    afterTable = std::max(afterTable, 14 + int64_t{kDibHeaderSize} + 4 * DibMaskCount(h));
  }
  if (pixelOffset < afterTable || pixelOffset >= length) pixelOffset = afterTable;

  const int64_t rows = int64_t{h.biHeight} * stride;
  PictureRows& block = picture.block;
  if (!TryAllocate(block, std::max<int64_t>(rows, h.biSizeImage), 1, kDibSpareBytes, cx.hook)) {
    cx.OutOfMemory(" 601");
    return 0;
  }
  bool whole = false;
  if (rle) {
    whole = DecodeBmpRle(in.Window(pixelOffset, length - pixelOffset), h.biBitCount, h.biWidth, h.biHeight, block);
    h.biCompression = 0;
  } else {
    const std::span<const uint8_t> pixels = in.PeekBytes(pixelOffset, h.biSizeImage);
    std::copy(pixels.begin(), pixels.end(), block.begin());
    // The last row's pixels must be in the file; only its padding may be missing.
    const int64_t lastRowBytes = (int64_t{h.biWidth} * h.biBitCount + 7) / 8;
    whole = pixelOffset + rows - stride + lastRowBytes <= length;
  }
  h.biSize = kDibHeaderSize;
  picture.whole = whole;
  picture.cut = cut;
  return 1;
}
