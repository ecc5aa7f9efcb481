// CQelDoc::DecodeTiff: the first image of a TIFF file (TIFF 6.0 baseline) into a DIB.
//
// The first IFD is read by its entry count, each value by its field type and
// count, in the file's byte order. Each strip is decoded on its own (none, CCITT
// fax, LZW, PackBits) into the rows it covers; horizontal differencing (predictor
// 2) is undone for 8-bit samples. Bilevel, grey and palette images of 1, 2, 4 and 8
// bits and 8-bit RGB (an extra alpha sample is dropped) are read; planar
// separation, other sample sizes, CMYK and other colour systems and compressions
// are refused, never shown wrong.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/ImageCodecs.h"
#include "image/ImageStatus.h"

namespace {

constexpr int kMaxEntries = 4096;

struct Entry {
  int type = 0;
  uint32_t count = 0;
  int64_t valueAt = 0;  // where the value (or the inline value field) stands
};

class Ifd {
 public:
  Ifd(const uint8_t* file, int64_t length, bool big) : in_(file, length), big_(big) {}
  uint32_t U16(int64_t at) const { return big_ ? in_.PeekU16BE(at) : in_.PeekU16LE(at); }
  uint32_t U32(int64_t at) const { return big_ ? in_.PeekU32BE(at) : in_.PeekU32LE(at); }

  bool Read(int64_t offset) {
    if (offset < 8 || offset + 2 > in_.Size()) return false;
    const int count = static_cast<int>(U16(offset));
    if (count == 0 || count > kMaxEntries || offset + 2 + 12 * int64_t{count} > in_.Size()) return false;
    for (int i = 0; i < count; ++i) {
      const int64_t at = offset + 2 + 12 * int64_t{i};
      Entry e;
      const int tag = static_cast<int>(U16(at));
      e.type = static_cast<int>(U16(at + 2));
      e.count = U32(at + 4);
      const int64_t bytes = int64_t{e.count} * TypeSize(e.type);
      e.valueAt = bytes <= 4 ? at + 8 : U32(at + 8);
      if (TypeSize(e.type) == 0 || e.count == 0 || e.valueAt + bytes > in_.Size()) continue;
      entries_.emplace_back(tag, e);
    }
    return true;
  }

  const Entry* Find(int tag) const {
    for (const auto& [t, e] : entries_) {
      if (t == tag) return &e;
    }
    return nullptr;
  }
  // Value i of a tag (BYTE, SHORT or LONG), or the default.
  int64_t Value(int tag, uint32_t i = 0, int64_t fallback = 0) const {
    const Entry* e = Find(tag);
    if (!e || i >= e->count) return fallback;
    switch (e->type) {
      case 1: return in_.PeekU8(e->valueAt + i);
      case 3: return U16(e->valueAt + 2 * int64_t{i});
      case 4: return U32(e->valueAt + 4 * int64_t{i});
      default: return fallback;
    }
  }
  uint32_t Count(int tag) const {
    const Entry* e = Find(tag);
    return e ? e->count : 0;
  }

 private:
  static int TypeSize(int type) {
    switch (type) {
      case 1: case 2: case 6: case 7: return 1;
      case 3: case 8: return 2;
      case 4: case 9: case 11: return 4;
      case 5: case 10: case 12: return 8;
      default: return 0;
    }
  }
  ByteCursor in_;
  bool big_;
  std::vector<std::pair<int, Entry>> entries_;
};

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

}  // namespace

int CQelDoc::DecodeTiff(const uint8_t* file, int length, BITMAPINFO* out) {
  if (length < 8) return 0;
  const bool big = file[0] == 'M' && file[1] == 'M' && file[2] == 0 && file[3] == 0x2A;
  const bool little = file[0] == 'I' && file[1] == 'I' && file[2] == 0x2A && file[3] == 0;
  if (!big && !little) return 0;
  Ifd ifd(file, length, big);
  if (!ifd.Read(ifd.U32(4))) return 0;

  const int64_t width = ifd.Value(256), height = ifd.Value(257);
  const int64_t bits = ifd.Value(258, 0, 1), compression = ifd.Value(259, 0, 1);
  const int64_t photometric = ifd.Value(262, 0, 0), fillOrder = ifd.Value(266, 0, 1);
  const int64_t samples = ifd.Value(277, 0, 1), planar = ifd.Value(284, 0, 1), predictor = ifd.Value(317, 0, 1);
  const int64_t rowsPerStrip = std::clamp<int64_t>(ifd.Value(278, 0, height), 1, std::max<int64_t>(height, 1));
  ShowImageFormat(std::string(CompressionName(compression)) + " , " + ColorName(photometric));

  const bool rgb = photometric == 2 && bits == 8 && (samples == 3 || samples == 4);
  const bool single = samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
                      (photometric == 0 || photometric == 1 || (photometric == 3 && ifd.Count(320) >= 3u << bits));
  const bool knownCompression = compression == 1 || compression == 2 || compression == 3 || compression == 4 ||
                                compression == 14 || compression == 5 || compression == 32773;
  const bool fax = compression == 2 || compression == 3 || compression == 4 || compression == 14;
  if (width <= 0 || height <= 0 || (!rgb && !single) || planar != 1 || !knownCompression ||
      (fax && bits != 1) || (predictor != 1 && !(predictor == 2 && bits == 8)) || ifd.Count(273) == 0 ||
      DibImageBytes(width, height, 24) <= 0) {
    return 0;
  }

  // The stored rows, each strip decoded into its own place.
  const int64_t rowBytes = (width * bits * samples + 7) / 8;
  std::vector<uint8_t> rows, strip;
  if (!TryAllocate(rows, height, rowBytes, 0, &m_allocHook)) {
    ShowImageOutOfMemory(" 640");
    return 0;
  }
  const uint32_t strips = ifd.Count(273);
  int64_t decodedTotal = 0;
  for (uint32_t s = 0; s < strips && int64_t{s} * rowsPerStrip < height; ++s) {
    const int64_t firstRow = int64_t{s} * rowsPerStrip;
    const int64_t stripRows = std::min(rowsPerStrip, height - firstRow);
    const int64_t expected = stripRows * rowBytes;
    const int64_t offset = ifd.Value(273, s);
    int64_t size = ifd.Count(279) > s ? ifd.Value(279, s) : length - offset;
    if (offset <= 0 || offset >= length) continue;
    size = std::min<int64_t>(size, length - offset);
    const int64_t capacity = fax ? stripRows * width : expected;
    if (size <= 0) continue;
    if (!TryAllocate(strip, std::max(size, capacity), 1, 0, &m_allocHook)) {
      ShowImageOutOfMemory(" 641");
      return 0;
    }
    std::memcpy(strip.data(), file + offset, static_cast<size_t>(size));
    int64_t got = 0;
    const int n = static_cast<int>(size), cap = static_cast<int>(capacity);
    switch (compression) {
      case 1: got = size; break;
      case 5: got = LzwDecode(strip.data(), n, cap, 2, 8); break;
      case 32773: got = PackBitsDecode(strip.data(), n, cap, static_cast<int>(width), static_cast<int>(bits)); break;
      default: {
        // Group 3 data that starts with 0xFF 0xFF is Group 4.
        const int c = compression == 3 && size >= 2 && strip[0] == 0xFF && strip[1] == 0xFF ? 4 : static_cast<int>(compression);
        got = CcittDecode(strip.data(), n, cap, static_cast<int>(width), c, static_cast<int>(fillOrder));
        break;
      }
    }
    got = std::min(got, expected);
    std::memcpy(rows.data() + firstRow * rowBytes, strip.data(), static_cast<size_t>(got));
    decodedTotal += got;
  }
  std::vector<uint8_t>().swap(strip);
  if (decodedTotal <= 0) return 0;
  if (predictor == 2) {
    const int64_t step = samples;
    for (int64_t y = 0; y < height; ++y) {
      uint8_t* row = rows.data() + y * rowBytes;
      for (int64_t i = step; i < width * samples; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
    }
  }

  std::memset(out, 0, sizeof *out);
  const int depth = rgb ? 24 : bits == 2 ? 4 : static_cast<int>(bits);
  const int64_t stride = DibStride(width, depth);
  std::vector<uint8_t> block;
  if (!TryAllocate(block, height, stride, kDibSpareBytes, &m_allocHook)) {
    ShowImageOutOfMemory(" 642");
    return 0;
  }
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* src = rows.data() + y * rowBytes;
    uint8_t* dst = block.data() + (height - 1 - y) * stride;
    if (rgb) {
      for (int64_t x = 0; x < width; ++x, src += samples, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
    } else if (bits == 2) {
      for (int64_t x = 0; x < width; ++x) {
        const int v = src[x >> 2] >> (6 - 2 * (x & 3)) & 3;
        dst[x >> 1] = static_cast<uint8_t>(dst[x >> 1] | (x & 1 ? v : v << 4));
      }
    } else {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
    }
  }
  if (!rgb) {
    const int levels = 1 << bits;
    for (int i = 0; i < levels; ++i) {
      if (photometric == 3) {
        // Red, green and blue lists of 16-bit values; the high byte of each.
        SetRgb(out->bmiColors[i], static_cast<int>(ifd.Value(320, i) >> 8),
               static_cast<int>(ifd.Value(320, levels + i) >> 8), static_cast<int>(ifd.Value(320, 2 * levels + i) >> 8));
      } else {
        const int grey = 255 * i / (levels - 1);
        const int v = photometric == 0 ? 255 - grey : grey;
        SetRgb(out->bmiColors[i], v, v, v);
      }
    }
  }
  BITMAPINFOHEADER& h = out->bmiHeader;
  h.biSize = kDibHeaderSize;
  h.biWidth = static_cast<int32_t>(width);
  h.biHeight = static_cast<int32_t>(height);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(depth);
  h.biSizeImage = static_cast<uint32_t>(stride * height);
  SetImageBlock(std::move(block));
  return static_cast<int>(std::min<int64_t>(decodedTotal, INT32_MAX));
}
