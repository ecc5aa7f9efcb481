// CQelDoc::DecodePng: PNG files (ISO/IEC 15948) into a DIB.
//
// Chunks are walked by their lengths from the signature to IEND, each checked
// against its CRC; IHDR is validated before anything is allocated, PLTE holds at
// most 256 entries and IDAT data is collected only after IHDR. The zlib stream is
// inflated through the document's temporary-archive road, bounded by the size the
// header gives. Rows are unfiltered from what was inflated only; rows the data does
// not reach stay zero. Every image ends as a DIB of 1, 4, 8 or 24 bits:
// palette and grey below 8 bits keep their packed rows (2 bits widen to 4), all
// else becomes 24 bits, alpha composed over the background (bKGD, else white).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/QelDoc.h"
#include "archive/CodecServices.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/ImageStatus.h"
#include "image/PngFormat.h"

namespace {

struct Header {
  int64_t width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  int channels = 0;
  int64_t rowBytes = 0;  // bytes of one stored row, filter byte not counted
  int pixelBytes = 0;    // filter distance: bytes of one pixel, at least 1
};

bool ValidHeader(Header& h) {
  static const struct { int type, channels, depths; } kTypes[] = {
      {0, 1, 1 | 2 | 4 | 8 | 16}, {2, 3, 8 | 16}, {3, 1, 1 | 2 | 4 | 8}, {4, 2, 8 | 16}, {6, 4, 8 | 16}};
  for (const auto& t : kTypes) {
    if (t.type == h.colorType && (t.depths & h.depth) != 0 && (h.depth & (h.depth - 1)) == 0) h.channels = t.channels;
  }
  if (h.channels == 0 || h.width <= 0 || h.height <= 0 || h.width > INT32_MAX || h.height > INT32_MAX) return false;
  if (h.interlace != 0 && h.interlace != 1) return false;
  const int64_t bits = int64_t{h.channels} * h.depth;
  h.rowBytes = (h.width * bits + 7) / 8;
  h.pixelBytes = static_cast<int>(std::max<int64_t>(bits / 8, 1));
  return DibImageBytes(h.width, h.height, 24) > 0;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Unfilters one row in place; prev is the row above (all zero for the first).
void Unfilter(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp) {
  switch (filter) {
    case 1:
      for (int64_t i = bpp; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
      break;
    case 2:
      for (int64_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      break;
    case 3:
      for (int64_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + ((left + prev[i]) >> 1));
      }
      break;
    case 4:
      for (int64_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int upLeft = i >= bpp ? prev[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + Paeth(left, prev[i], upLeft));
      }
      break;
    default:
      break;  // None, and unknown filters taken as None
  }
}

// Reads pixel x of a packed row at the given bit count (1 to 8 bits; larger
// pixels are byte-aligned and copied whole by the caller).
int SubBytePixel(const uint8_t* row, int64_t x, int bits) {
  const int64_t bit = x * bits;
  return row[bit >> 3] >> (8 - bits - (bit & 7)) & ((1 << bits) - 1);
}

void PutSubBytePixel(uint8_t* row, int64_t x, int bits, int value) {
  const int64_t bit = x * bits;
  const int shift = static_cast<int>(8 - bits - (bit & 7));
  row[bit >> 3] = static_cast<uint8_t>((row[bit >> 3] & ~(((1 << bits) - 1) << shift)) | value << shift);
}

// The stored rows of the image, non-interlaced and unfiltered (rowBytes each).
void Unfilter(const Header& h, const uint8_t* data, int64_t size, std::vector<uint8_t>& image) {
  static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const int bitsPerPixel = h.channels * h.depth;
  int64_t at = 0;
  if (h.interlace == 0) {
    std::vector<uint8_t> zero(static_cast<size_t>(h.rowBytes), 0);
    for (int64_t y = 0; y < h.height && at + 1 + h.rowBytes <= size; ++y, at += 1 + h.rowBytes) {
      uint8_t* row = image.data() + y * h.rowBytes;
      std::memcpy(row, data + at + 1, static_cast<size_t>(h.rowBytes));
      Unfilter(data[at], row, y ? row - h.rowBytes : zero.data(), h.rowBytes, h.pixelBytes);
    }
    return;
  }
  std::vector<uint8_t> cur, prev;
  for (const auto& p : kPasses) {
    const int64_t cols = h.width > p[0] ? (h.width - p[0] + p[2] - 1) / p[2] : 0;
    const int64_t rows = h.height > p[1] ? (h.height - p[1] + p[3] - 1) / p[3] : 0;
    if (cols == 0 || rows == 0) continue;
    const int64_t n = (cols * bitsPerPixel + 7) / 8;
    cur.assign(static_cast<size_t>(n), 0);
    prev.assign(static_cast<size_t>(n), 0);
    for (int64_t r = 0; r < rows; ++r, at += 1 + n) {
      if (at + 1 + n > size) return;
      std::memcpy(cur.data(), data + at + 1, static_cast<size_t>(n));
      Unfilter(data[at], cur.data(), prev.data(), n, h.pixelBytes);
      uint8_t* row = image.data() + (p[1] + r * p[3]) * h.rowBytes;
      for (int64_t c = 0; c < cols; ++c) {
        const int64_t x = p[0] + c * p[2];
        if (bitsPerPixel < 8) {
          PutSubBytePixel(row, x, bitsPerPixel, SubBytePixel(cur.data(), c, bitsPerPixel));
        } else {
          const int bytes = bitsPerPixel / 8;
          std::memcpy(row + x * bytes, cur.data() + c * bytes, static_cast<size_t>(bytes));
        }
      }
      std::swap(cur, prev);
    }
  }
}

}  // namespace

int CQelDoc::DecodePng(const uint8_t* file, int length, BITMAPINFO* out) {
  ByteCursor in(file, length);
  if (!in.Has(8) || std::memcmp(file, kPngSignature, 8) != 0) return 0;
  in.Skip(8);
  Header h;
  bool haveHeader = false, haveData = false, ended = false;
  RGBQUAD palette[256] = {};
  int paletteCount = 0;
  int bg[3] = {255, 255, 255};
  std::vector<uint8_t> packed;  // the zlib stream of all IDAT chunks
  while (!ended) {
    const uint32_t size = in.U32BE();
    const int64_t typeAt = in.Pos();
    if (in.Failed() || size > INT32_MAX || !in.Has(int64_t{size} + 8)) return 0;
    const uint8_t* type = file + typeAt;
    ByteCursor data = in.Window(typeAt + 4, size);
    in.Skip(4 + int64_t{size});
    const uint32_t crc = in.U32BE();
    if (Crc32Of(type, 4 + size) != crc) return 0;
    const auto is = [type](const char* name) { return std::memcmp(type, name, 4) == 0; };
    if (is("IHDR")) {
      if (haveHeader || size != 13) return 0;
      h.width = data.U32BE();
      h.height = data.U32BE();
      h.depth = data.U8();
      h.colorType = data.U8();
      const int compression = data.U8(), filter = data.U8();
      h.interlace = data.U8();
      if (compression != 0 || filter != 0 || !ValidHeader(h)) return 0;
      haveHeader = true;
    } else if (!haveHeader) {
      return 0;  // IHDR comes first
    } else if (is("PLTE")) {
      paletteCount = static_cast<int>(std::min<uint32_t>(size / 3, 256));
      for (int i = 0; i < paletteCount; ++i) {
        const int r = data.U8(), g = data.U8(), b = data.U8();
        SetRgb(palette[i], r, g, b);
      }
    } else if (is("tRNS")) {
      // Palette entries are shown over white by their alpha.
      for (uint32_t i = 0; i < std::min<uint32_t>(size, 256) && h.colorType == 3; ++i) {
        const int a = data.U8();
        for (uint8_t* c : {&palette[i].rgbRed, &palette[i].rgbGreen, &palette[i].rgbBlue}) {
          *c = static_cast<uint8_t>(*c < a ? *c + (255 - a) : 255);
        }
      }
    } else if (is("bKGD")) {
      if (size == 6 && h.depth == 8 && (h.colorType == 2 || h.colorType == 6)) {
        for (int& c : bg) c = data.U16BE() & 0xFF;
      }
    } else if (is("IDAT")) {
      if (!TryAllocate(packed, static_cast<int64_t>(packed.size()), 1, size, &m_allocHook)) {
        ShowImageOutOfMemory(" 620");
        return 0;
      }
      std::memcpy(packed.data() + packed.size() - size, file + typeAt + 4, size);
      haveData = true;
    } else if (is("IEND")) {
      ended = true;
    } else if ((type[0] & 0x20) == 0) {
      return 0;  // an unknown critical chunk
    }
  }
  if (!haveHeader || !haveData || (h.colorType == 3 && paletteCount == 0)) return 0;

  // The zlib stream: a valid two-byte header, then raw Deflate.
  if (packed.size() < 2 || (packed[0] & 0x0F) != 8 || packed[0] >= 0x80 || (packed[0] * 256 + packed[1]) % 31 != 0 ||
      (packed[1] & 0x20) != 0) {
    return 0;
  }
  const int64_t passBytes = h.interlace ? 7 * h.height + h.height * (h.rowBytes + 1) : 0;
  const auto raw = CheckedSize(h.height, h.rowBytes + 1, passBytes, INT32_MAX - 1);
  std::vector<uint8_t> inflated;
  if (!raw || !TryAllocate(inflated, std::max<int64_t>(*raw + 1, static_cast<int64_t>(packed.size())), 1, 0, &m_allocHook)) {
    ShowImageOutOfMemory(" 621");
    return 0;
  }
  const int64_t streamBytes = static_cast<int64_t>(packed.size()) - 2;
  std::memcpy(inflated.data(), packed.data() + 2, static_cast<size_t>(streamBytes));
  std::vector<uint8_t>().swap(packed);
  const int got = InflateViaTempZip(inflated.data(), static_cast<int>(streamBytes), static_cast<int>(*raw + 1), 2);
  if (got <= 0) return 0;

  std::vector<uint8_t> rows;
  if (!TryAllocate(rows, h.height, h.rowBytes, 0, &m_allocHook)) {
    ShowImageOutOfMemory(" 622");
    return 0;
  }
  Unfilter(h, inflated.data(), std::min<int64_t>(got, *raw + 1), rows);
  std::vector<uint8_t>().swap(inflated);

  const bool packedDib = h.colorType == 3 || (h.colorType == 0 && h.depth < 8);
  const int dibBits = packedDib ? (h.depth == 2 ? 4 : h.depth) : 24;
  const int64_t stride = DibStride(h.width, dibBits);
  std::vector<uint8_t> block;
  if (!TryAllocate(block, h.height, stride, kDibSpareBytes, &m_allocHook)) {
    ShowImageOutOfMemory(" 623");
    return 0;
  }
  std::memset(out, 0, sizeof *out);
  int colors = 0;
  if (packedDib) {
    for (int64_t y = 0; y < h.height; ++y) {
      const uint8_t* src = rows.data() + y * h.rowBytes;
      uint8_t* dst = block.data() + (h.height - 1 - y) * stride;
      if (h.depth == 2) {
        for (int64_t x = 0; x < h.width; ++x) PutSubBytePixel(dst, x, 4, SubBytePixel(src, x, 2));
      } else {
        std::memcpy(dst, src, static_cast<size_t>(h.rowBytes));
      }
    }
    colors = 1 << dibBits;
    if (h.colorType == 3) {
      std::memcpy(out->bmiColors, palette, sizeof palette);
    } else {
      const int levels = 1 << h.depth;
      for (int i = 0; i < levels; ++i) {
        const int v = 255 * i / (levels - 1);
        SetRgb(out->bmiColors[i], v, v, v);
      }
    }
  } else {
    const int sampleBytes = h.depth / 8;
    const int pixelBytes = h.channels * sampleBytes;
    bool rowMark = false;
    for (int64_t y = 0; y < h.height; ++y) {
      const uint8_t* src = rows.data() + y * h.rowBytes;
      uint8_t* dst = block.data() + (h.height - 1 - y) * stride;
      for (int64_t x = 0; x < h.width; ++x, src += pixelBytes, dst += 3) {
        // High bytes of the samples.
        int c[4] = {};
        for (int s = 0; s < h.channels; ++s) c[s] = src[s * sampleBytes];
        int r = c[0], g = c[0], b = c[0], a = 255;
        if (h.channels >= 3) {
          g = c[1];
          b = c[2];
        }
        if (h.channels == 2) a = c[1];
        if (h.channels == 4) a = c[3];
        if (h.channels == 4 && x == 1) rowMark = r + g + b >= 751 && a <= 19;
        if (a <= 222) {
          r = (((r * a) >> 8) + ((bg[0] * (255 - a)) >> 8)) & 0xFF;
          g = (((g * a) >> 8) + ((bg[1] * (255 - a)) >> 8)) & 0xFF;
          b = (((b * a) >> 8) + ((bg[2] * (255 - a)) >> 8)) & 0xFF;
        } else if (h.channels == 4 && rowMark && a > 240 && r + g + b >= 751) {
          r = g = b = 0;  // white drawn on a transparent row shows as black
        }
        dst[0] = static_cast<uint8_t>(b);
        dst[1] = static_cast<uint8_t>(g);
        dst[2] = static_cast<uint8_t>(r);
      }
    }
  }
  BITMAPINFOHEADER& bh = out->bmiHeader;
  bh.biSize = kDibHeaderSize;
  bh.biWidth = static_cast<int32_t>(h.width);
  bh.biHeight = static_cast<int32_t>(h.height);
  bh.biPlanes = 1;
  bh.biBitCount = static_cast<uint16_t>(dibBits);
  bh.biSizeImage = static_cast<uint32_t>(stride * h.height);
  const bool metric = packedDib || (h.colorType == 0 && h.depth <= 8) || (h.colorType == 4 && h.depth == 8);
  bh.biXPelsPerMeter = bh.biYPelsPerMeter = metric ? kDibPixelsPerMeter : 0;
  bh.biClrUsed = static_cast<uint32_t>(colors);
  SetImageBlock(std::move(block));
  if (m_nQuietState == 0) {
    char status[32];
    std::snprintf(status, sizeof status, "Ping %d bit", dibBits);
    ShowImageFormat(status);
  }
  return 1;
}
