// DecodeTiffBlock: the first image of a TIFF file (TIFF 6.0 baseline) into a DIB.
//
// The first IFD is read by its entry count, each value by its field type and
// count, in the file's byte order. Each strip is decoded on its own (none, CCITT
// fax, LZW, PackBits) into the rows it covers; horizontal differencing (predictor
// 2) is undone for 8-bit samples; rows no strip reaches stay zero and mark the
// picture short. Bilevel, grey and palette images of 1, 2, 4 and 8 bits and 8-bit
// RGB (an extra alpha sample is dropped) are read; planar separation, other sample
// sizes, CMYK and other colour systems and compressions are refused, never shown
// wrong.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/codecs/ImageCodecs.h"
#include "image/codecs/PictureDecoders.h"
#include "image/codecs/TiffIfd.h"

namespace {

using tiff::Ifd;

const char* CompressionName(int64_t c) {
  switch (c) {
    case 1: return "Uncompressed";
    case 2: return "CCITT(1D)";
    case 3: return "CCITTFAX(G3)";
    case 4: return "CCITTFAX(G4)";
    case 14: return "CCITTFAX(G4 w/oEOL)";
    case 5: return "LZW compression";
    case 32773: return "PackBits compression";
    default: return "Other compression";
  }
}

const char* ColorName(int64_t p) {
  switch (p) {
    case 0: return "Normal B/W";
    case 1: return "Reverse B/W";
    case 2: return "RGB direct";
    case 3: return "RGB Palette";
    case 5: return "CMYK direct";
    default: return "Other Color system";
  }
}

// What the first IFD says about the image, with the tags' defaults.
struct TiffImage {
  int64_t width = 0, height = 0, bits = 1, compression = 1, photometric = 0, fillOrder = 1;
  int64_t samples = 1, planar = 1, predictor = 1, rowsPerStrip = 1;
  bool rgb = false;  // 8-bit RGB, with or without an extra alpha sample
  bool fax = false;  // a CCITT compression
  int64_t rowBytes = 0;  // of one stored row, set once the sizes are known to be sound
};

TiffImage ReadImageFields(const Ifd& ifd) {
  TiffImage t;
  t.width = ifd.Value(256);
  t.height = ifd.Value(257);
  t.bits = ifd.Value(258, 0, 1);
  t.compression = ifd.Value(259, 0, 1);
  t.photometric = ifd.Value(262, 0, 0);
  t.fillOrder = ifd.Value(266, 0, 1);
  t.samples = ifd.Value(277, 0, 1);
  t.planar = ifd.Value(284, 0, 1);
  t.predictor = ifd.Value(317, 0, 1);
  t.rowsPerStrip = std::clamp<int64_t>(ifd.Value(278, 0, t.height), 1, std::max<int64_t>(t.height, 1));
  t.rgb = t.photometric == 2 && t.bits == 8 && (t.samples == 3 || t.samples == 4);
  t.fax = t.compression == 2 || t.compression == 3 || t.compression == 4 || t.compression == 14;
  return t;
}

bool Supported(const TiffImage& t, const Ifd& ifd) {
  const bool single = t.samples == 1 && (t.bits == 1 || t.bits == 2 || t.bits == 4 || t.bits == 8) &&
                      (t.photometric == 0 || t.photometric == 1 || (t.photometric == 3 && ifd.Count(320) >= 3u << t.bits));
  const bool knownCompression = t.fax || t.compression == 1 || t.compression == 5 || t.compression == 32773;
  return t.width > 0 && t.height > 0 && (t.rgb || single) && t.planar == 1 && knownCompression &&
         !(t.fax && t.bits != 1) && (t.predictor == 1 || (t.predictor == 2 && t.bits == 8)) && ifd.Count(273) != 0;
}

// Decodes each strip into the rows it covers; the bytes decoded, or -1 when a block
// cannot be allocated (said in a box).
int64_t DecodeStrips(const ByteCursor& file, const Ifd& ifd, const TiffImage& t, const PictureContext& cx,
                     std::vector<uint8_t>& rows) {
  std::vector<uint8_t> strip;
  const int64_t length = file.Size();
  const uint32_t strips = ifd.Count(273);
  int64_t decodedTotal = 0;
  for (uint32_t s = 0; s < strips && int64_t{s} * t.rowsPerStrip < t.height; ++s) {
    const int64_t firstRow = int64_t{s} * t.rowsPerStrip;
    const int64_t stripRows = std::min(t.rowsPerStrip, t.height - firstRow);
    const int64_t expected = stripRows * t.rowBytes;
    const int64_t offset = ifd.Value(273, s);
    int64_t size = ifd.Count(279) > s ? ifd.Value(279, s) : length - offset;
    if (offset <= 0 || offset >= length) continue;
    size = std::min<int64_t>(size, length - offset);
    const int64_t capacity = t.fax ? stripRows * t.width : expected;
    if (size <= 0) continue;
    if (!TryAllocate(strip, std::max(size, capacity), 1, 0, cx.hook)) {
      cx.OutOfMemory(" 641");
      return -1;
    }
    const std::span<const uint8_t> stored = file.PeekBytes(offset, size);
    std::copy(stored.begin(), stored.end(), strip.begin());
    int64_t got = 0;
    const int n = static_cast<int>(size), cap = static_cast<int>(capacity);
    switch (t.compression) {
      case 1: got = size; break;
      case 5:
        got = LzwDecode(strip.data(), n, cap, kLzwTiff, 8, cx.hook);
        if (got == kLzwOutOfMemory) {
          cx.OutOfMemory(" 610");
          got = 0;
        }
        break;
      case 32773: got = PackBitsDecode(strip.data(), n, cap, static_cast<int>(t.width), static_cast<int>(t.bits), cx); break;
      default: {
        // Group 3 data that starts with 0xFF 0xFF is Group 4.
        const int c = t.compression == 3 && size >= 2 && strip[0] == 0xFF && strip[1] == 0xFF ? 4 : static_cast<int>(t.compression);
        got = CcittDecode(strip.data(), n, cap, static_cast<int>(t.width), c, static_cast<int>(t.fillOrder), cx);
        break;
      }
    }
    got = std::min(got, expected);
    std::copy_n(strip.begin(), got, rows.begin() + firstRow * t.rowBytes);
    decodedTotal += got;
  }
  return decodedTotal;
}

// Undoes horizontal differencing of 8-bit samples.
void UndoPredictor(const TiffImage& t, std::vector<uint8_t>& rows) {
  const int64_t step = t.samples;
  for (int64_t y = 0; y < t.height; ++y) {
    uint8_t* row = rows.data() + y * t.rowBytes;
    for (int64_t i = step; i < t.width * t.samples; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
  }
}

// The stored rows as bottom-up DIB rows: RGB to B, G, R; 2 bits widened to 4; the
// other depths as they are.
void RowsToDib(const TiffImage& t, const std::vector<uint8_t>& rows, int64_t stride, uint8_t* block) {
  for (int64_t y = 0; y < t.height; ++y) {
    const uint8_t* src = rows.data() + y * t.rowBytes;
    uint8_t* dst = block + (t.height - 1 - y) * stride;
    if (t.rgb) {
      for (int64_t x = 0; x < t.width; ++x, src += t.samples, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
    } else if (t.bits == 2) {
      for (int64_t x = 0; x < t.width; ++x) {
        const int v = src[x >> 2] >> (6 - 2 * (x & 3)) & 3;
        dst[x >> 1] = static_cast<uint8_t>(dst[x >> 1] | (x & 1 ? v : v << 4));
      }
    } else {
      std::copy_n(src, t.rowBytes, dst);
    }
  }
}

// The colour table of a palette or grey image.
void SetColors(const TiffImage& t, const Ifd& ifd, RGBQUAD* colors) {
  const int levels = 1 << t.bits;
  for (int i = 0; i < levels; ++i) {
    if (t.photometric == 3) {
      // Red, green and blue lists of 16-bit values; the high byte of each.
      SetRgb(colors[i], static_cast<int>(ifd.Value(320, i) >> 8), static_cast<int>(ifd.Value(320, levels + i) >> 8),
             static_cast<int>(ifd.Value(320, 2 * levels + i) >> 8));
    } else {
      const int grey = 255 * i / (levels - 1);
      const int v = t.photometric == 0 ? 255 - grey : grey;
      SetRgb(colors[i], v, v, v);
    }
  }
}

}  // namespace

int DecodeTiffBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx) {
  const ByteCursor in(file, length);
  if (length < 8) return 0;
  const uint32_t order = in.PeekU32BE(0);
  const bool big = order == 0x4D4D002A;     // "MM", 42
  const bool little = order == 0x49492A00;  // "II", 42
  if (!big && !little) return 0;
  Ifd ifd(file, length, big);
  if (!ifd.Read(ifd.U32(4))) return 0;
  TiffImage t = ReadImageFields(ifd);
  cx.Format(std::string(CompressionName(t.compression)) + " , " + ColorName(t.photometric));
  if (!Supported(t, ifd) || !cx.Holds(t.width, t.height, 24)) return 0;
  t.rowBytes = (t.width * t.bits * t.samples + 7) / 8;

  std::vector<uint8_t> rows;
  if (!TryAllocate(rows, t.height, t.rowBytes, 0, cx.hook)) {
    cx.OutOfMemory(" 640");
    return 0;
  }
  const int64_t decodedTotal = DecodeStrips(in, ifd, t, cx, rows);
  if (decodedTotal <= 0) return 0;
  if (t.predictor == 2) UndoPredictor(t, rows);

  std::memset(out, 0, sizeof *out);
  const int depth = t.rgb ? 24 : t.bits == 2 ? 4 : static_cast<int>(t.bits);
  const int64_t stride = DibStride(t.width, depth);
  PictureRows& block = picture.block;
  if (!TryAllocate(block, t.height, stride, kDibSpareBytes, cx.hook)) {
    cx.OutOfMemory(" 642");
    return 0;
  }
  RowsToDib(t, rows, stride, block.data());
  if (!t.rgb) SetColors(t, ifd, out->bmiColors);
  BITMAPINFOHEADER& h = out->bmiHeader;
  h.biSize = kDibHeaderSize;
  h.biWidth = static_cast<int32_t>(t.width);
  h.biHeight = static_cast<int32_t>(t.height);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(depth);
  h.biSizeImage = static_cast<uint32_t>(stride * t.height);
  picture.whole = decodedTotal >= t.height * t.rowBytes;
  return static_cast<int>(std::min<int64_t>(decodedTotal, INT32_MAX));
}
