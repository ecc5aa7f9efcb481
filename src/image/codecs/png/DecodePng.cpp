// DecodePngBlock: PNG files (ISO/IEC 15948) into a DIB.
//
// Chunks are walked by their lengths from the signature to IEND, each checked
// against its CRC; IHDR is validated before anything is allocated, PLTE holds at
// most 256 entries and IDAT data is taken only after IHDR (where it stands in the
// file, copied once into the stream buffer). The zlib stream is inflated by the
// caller's inflater, bounded by the size the header gives, and its rows are
// unfiltered as they come: only the rows the caller keeps (the bottom ones, up to
// its picture memory volume) are held, the rows above inflated through and
// dropped. Rows the data does not reach stay zero and mark the picture short. Every image
// ends as a DIB of 1, 4, 8 or 24 bits: palette and grey below 8 bits keep their
// packed rows (2 bits widen to 4), all else becomes 24 bits, alpha composed over
// the background (bKGD, else white).
#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/CodecServices.h"
#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/codecs/PictureDecoders.h"
#include "image/codecs/png/PngFormat.h"
#include "image/codecs/png/PngRows.h"
#include "base/ZeroedVector.h"

namespace {

// What the chunks up to IEND give.
struct Chunks {
  PngHeader h;
  RGBQUAD palette[256] = {};
  int paletteCount = 0;
  int bg[3] = {255, 255, 255};
  // The zlib stream: the data of the IDAT chunks in order, read where it stands in
  // the file.
  std::vector<std::span<const uint8_t>> idat;
  int64_t idatBytes = 0;
  bool haveData = false;
};

// Walks the chunks from behind the signature to IEND, each checked against its CRC.
// False for a broken file, and when the IDAT data cannot be held (said in a box).
bool ReadChunks(ByteCursor& in, Chunks& c) {
  PngHeader& h = c.h;
  bool haveHeader = false;
  for (;;) {
    const uint32_t size = in.U32BE();
    if (in.Failed() || size > INT32_MAX || !in.Has(int64_t{size} + 8)) return false;
    const std::span<const uint8_t> typed = in.PeekBytes(in.Pos(), 4 + int64_t{size});
    ByteCursor chunk = in.Sub(4 + int64_t{size});
    const uint32_t crc = in.U32BE();
    if (Crc32Of(typed.data(), typed.size()) != crc) return false;
    const std::span<const uint8_t> type = chunk.Bytes(4);
    const auto is = [type](const char* name) { return std::memcmp(type.data(), name, 4) == 0; };
    if (is("IHDR")) {
      if (haveHeader || size != 13) return false;
      h.width = chunk.U32BE();
      h.height = chunk.U32BE();
      h.depth = chunk.U8();
      h.colorType = chunk.U8();
      const int compression = chunk.U8(), filter = chunk.U8();
      h.interlace = chunk.U8();
      if (compression != 0 || filter != 0 || !ValidPngHeader(h)) return false;
      haveHeader = true;
    } else if (!haveHeader) {
      return false;  // IHDR comes first
    } else if (is("PLTE")) {
      c.paletteCount = static_cast<int>(std::min<uint32_t>(size / 3, 256));
      for (int i = 0; i < c.paletteCount; ++i) {
        const int r = chunk.U8(), g = chunk.U8(), b = chunk.U8();
        SetRgb(c.palette[i], r, g, b);
      }
    } else if (is("tRNS")) {
      // Palette entries are shown over white by their alpha.
      for (uint32_t i = 0; i < std::min<uint32_t>(size, 256) && h.colorType == 3; ++i) {
        const int a = chunk.U8();
        for (uint8_t* v : {&c.palette[i].rgbRed, &c.palette[i].rgbGreen, &c.palette[i].rgbBlue}) {
          *v = static_cast<uint8_t>(*v < a ? *v + (255 - a) : 255);
        }
      }
    } else if (is("bKGD")) {
      if (size == 6 && h.depth == 8 && (h.colorType == 2 || h.colorType == 6)) {
        for (int& v : c.bg) v = chunk.U16BE() & 0xFF;
      }
    } else if (is("IDAT")) {
      if (size == 0) continue;  // an empty chunk adds nothing to the stream
      c.idat.push_back(chunk.Bytes(size));
      c.idatBytes += size;
      c.haveData = true;
    } else if (is("IEND")) {
      return true;
    } else if ((type[0] & 0x20) == 0) {
      return false;  // an unknown critical chunk
    }
  }
}

// The zlib stream of the IDAT data without its two-byte header into out (which
// holds at least that many bytes); false when the header is not a valid one.
bool TakeZlibStream(const Chunks& c, uint8_t* out) {
  uint8_t head[2] = {};
  int64_t skip = 2;
  for (const std::span<const uint8_t> part : c.idat) {
    size_t from = 0;
    for (; from < part.size() && skip > 0; ++from, --skip) head[2 - skip] = part[from];
    std::memcpy(out, part.data() + from, part.size() - from);
    out += part.size() - from;
  }
  const int cmf = head[0], flg = head[1];
  return skip == 0 && (cmf & 0x0F) == 8 && cmf < 0x80 && (cmf * 256 + flg) % 31 == 0 && (flg & 0x20) == 0;
}

// The stored rows of the picture from row `first` on, unfiltered and de-interlaced
// into kept (rowBytes each) as the data inflates; the rows above are inflated
// through and dropped. whole: the data reached the last row. False when the data is
// no zlib stream, nothing inflates, or a block cannot be allocated (said in a box).
bool InflateRows(const PictureContext& cx, const Chunks& c, int64_t first, PictureRows& kept, bool& whole) {
  const PngHeader& h = c.h;
  const int64_t passBytes = h.interlace ? 7 * h.height + h.height * (h.rowBytes + 1) : 0;
  const auto raw = CheckedSize(h.height, h.rowBytes + 1, passBytes);
  if (!raw) {
    cx.TooLarge(INT64_MAX);
    return false;
  }
  ZeroedVector<uint8_t> stream;
  if (c.idatBytes > INT32_MAX || !TryAllocate(stream, c.idatBytes, 1, 0, cx.hook) ||
      !TryAllocate(kept, h.height - first, h.rowBytes, 0, cx.hook)) {
    cx.OutOfMemory(" 621");
    return false;
  }
  PngRowReader reader(h, first, kept.data());
  if (!reader.Start(cx.hook)) {
    cx.OutOfMemory(" 622");
    return false;
  }
  if (!TakeZlibStream(c, stream.data())) return false;
  if (cx.InflateTo(stream.data(), c.idatBytes - 2, reader, *raw + 1) <= 0) return false;
  whole = reader.Whole();
  return true;
}

// Palette images and grey below 8 bits keep their packed rows (2 bits widen to 4).
void PackedRowToDib(const PngHeader& h, const uint8_t* src, uint8_t* dst) {
  if (h.depth == 2) {
    for (int64_t x = 0; x < h.width; ++x) PutSubBytePixel(dst, x, 4, SubBytePixel(src, x, 2));
  } else {
    std::memcpy(dst, src, static_cast<size_t>(h.rowBytes));
  }
}

// The palette, or the grey levels, of a packed DIB.
void PackedColors(const Chunks& c, BITMAPINFO* out) {
  const PngHeader& h = c.h;
  if (h.colorType == 3) {
    std::copy_n(c.palette, 256, out->bmiColors);
  } else {
    const int levels = 1 << h.depth;
    for (int i = 0; i < levels; ++i) {
      const int v = 255 * i / (levels - 1);
      SetRgb(out->bmiColors[i], v, v, v);
    }
  }
}

// An RGB row (samples of sampleBytes bytes, the high byte first) as B, G, R bytes.
void RgbRowToBgr(const uint8_t* src, int64_t width, int sampleBytes, uint8_t* dst) {
  if (sampleBytes == 1) {
    for (int64_t x = 0; x < width; ++x, src += 3, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    return;
  }
  for (int64_t x = 0; x < width; ++x, src += 6, dst += 3) {
    dst[0] = src[4];
    dst[1] = src[2];
    dst[2] = src[0];
  }
}

// Everything else becomes 24 bits from the high bytes of its samples, alpha composed
// over the background. rowMark carries from one row to the next.
void ColorRowToDib(const Chunks& c, const uint8_t* src, uint8_t* dst, bool& rowMark) {
  const PngHeader& h = c.h;
  if (h.channels == 3) {
    RgbRowToBgr(src, h.width, h.depth / 8, dst);
    return;
  }
  const int* bg = c.bg;
  const int sampleBytes = h.depth / 8;
  const int pixelBytes = h.channels * sampleBytes;
  for (int64_t x = 0; x < h.width; ++x, src += pixelBytes, dst += 3) {
    int s[4] = {};
    for (int k = 0; k < h.channels; ++k) s[k] = src[k * sampleBytes];
    int r = s[0], g = s[0], b = s[0], a = 255;
    if (h.channels >= 3) {
      g = s[1];
      b = s[2];
    }
    if (h.channels == 2) a = s[1];
    if (h.channels == 4) a = s[3];
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

}  // namespace

int64_t PictureContext::InflateTo(const uint8_t* data, int64_t length, codec::CByteSink& sink, int64_t capacity) const {
  if (inflateTo) return inflateTo(data, length, sink, capacity);
  // The whole data in one block, inflated over it: the in-place inflater takes at
  // most 2 GB, and rows of more are too large to hold.
  if (length <= 0 || length > INT32_MAX) return -1;
  if (capacity > INT32_MAX) {
    TooLarge(capacity);
    return -1;
  }
  PictureRows block;
  if (!TryAllocate(block, std::max(capacity, length), 1, 0, hook)) {
    OutOfMemory(" 621");
    return -1;
  }
  std::memcpy(block.data(), data, static_cast<size_t>(length));
  const int got = Inflate(block.data(), static_cast<int>(length), static_cast<int>(capacity));
  if (got > 0) sink.Put(block.data(), static_cast<size_t>(std::min<int64_t>(got, capacity)));
  return got;
}

int DecodePngBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx,
                   int64_t maxPixels) {
  ByteCursor in(file, length);
  const std::span<const uint8_t> signature = in.Bytes(8);
  if (in.Failed() || std::memcmp(signature.data(), kPngSignature, 8) != 0) return 0;
  Chunks c;
  if (!ReadChunks(in, c) || !c.haveData || (c.h.colorType == 3 && c.paletteCount == 0)) return 0;
  const PngHeader& h = c.h;
  if (maxPixels > 0 && int64_t{h.width} * h.height > maxPixels) return 0;
  const bool packedDib = h.colorType == 3 || (h.colorType == 0 && h.depth < 8);
  const int dibBits = packedDib ? (h.depth == 2 ? 4 : h.depth) : 24;
  if (!cx.Holds(h.width, h.height, dibBits)) return 0;
  // The DIB's first rows are the picture's last: the rows the caller keeps are the
  // bottom ones, and only they are held.
  const int64_t stride = DibStride(h.width, dibBits);
  const int64_t keptRows = cx.keepBytes > 0 ? std::min<int64_t>(h.height, (cx.keepBytes + stride - 1) / stride) : h.height;
  const int64_t first = h.height - keptRows;
  PictureRows kept;
  bool whole = false;
  if (!InflateRows(cx, c, first, kept, whole)) return 0;

  PictureRows& block = picture.block;
  if (!TryAllocate(block, keptRows, stride, kDibSpareBytes, cx.hook)) {
    cx.OutOfMemory(" 623");
    return 0;
  }
  *out = BITMAPINFO{};
  if (packedDib) PackedColors(c, out);
  bool rowMark = false;
  for (int64_t y = first; y < h.height; ++y) {
    const uint8_t* src = kept.data() + (y - first) * h.rowBytes;
    uint8_t* dst = block.data() + (h.height - 1 - y) * stride;
    if (packedDib) {
      PackedRowToDib(h, src, dst);
    } else {
      ColorRowToDib(c, src, dst, rowMark);
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
  bh.biClrUsed = packedDib ? 1u << dibBits : 0;
  picture.whole = whole;
  return 1;
}
