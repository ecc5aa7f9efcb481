// DecodeGifBlock: the first image of a GIF87a or GIF89a file into a DIB of 4
// bits (LZW minimum code size up to 4) or 8 bits.
//
// Extensions before the image are stepped over by their sub-block lengths; a
// graphic control extension's transparent entry shows as light grey when it is
// black. The image data's sub-blocks are gathered (each bounded by the file) and
// decoded by LzwDecode; pixels the data does not reach stay index 0 and mark the
// picture short.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/ByteCursor.h"
#include "base/CheckedSize.h"
#include "image/codecs/ImageCodecs.h"
#include "image/codecs/PictureDecoders.h"

namespace {

void ReadColorTable(ByteCursor& in, int count, RGBQUAD* table) {
  for (int i = 0; i < count; ++i) {
    const int r = in.U8(), g = in.U8(), b = in.U8();
    SetRgb(table[i], r, g, b);
  }
}

void SkipSubBlocks(ByteCursor& in) {
  while (in.Ok()) {
    const int n = in.U8();
    if (n == 0) break;
    in.Skip(n);
  }
}

}  // namespace

int DecodeGifBlock(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx) {
  ByteCursor in(file, length);
  if (!in.Has(13) || std::memcmp(file, "GIF8", 4) != 0 || (file[4] != '7' && file[4] != '9') || file[5] != 'a') return 0;
  std::memset(out, 0, sizeof *out);
  in.Seek(10);
  const int screenFlags = in.U8();
  in.Skip(2);
  if (screenFlags & 0x80) ReadColorTable(in, 2 << (screenFlags & 7), out->bmiColors);
  int transparent = -1;
  for (;;) {
    const int introducer = in.U8();
    if (in.Failed() || introducer == ';') return 0;  // no image
    if (introducer == ',') break;
    if (introducer == 0) continue;
    const int label = in.U8();
    if (label == 0xF9 && in.PeekU8(in.Pos()) == 4) {
      const int flags = in.PeekU8(in.Pos() + 1);
      if (flags & 1) transparent = in.PeekU8(in.Pos() + 4);
    }
    SkipSubBlocks(in);
  }
  in.Skip(4);  // left and top
  const int width = in.U16LE();
  const int height = in.U16LE();
  const int flags = in.U8();
  if (flags & 0x80) {
    std::memset(out->bmiColors, 0, sizeof out->bmiColors);
    ReadColorTable(in, 2 << (flags & 7), out->bmiColors);
  }
  if (transparent >= 0) {
    RGBQUAD& t = out->bmiColors[transparent];
    if (t.rgbRed == 0 && t.rgbGreen == 0 && t.rgbBlue == 0) SetRgb(t, 248, 248, 248);
  }
  const int minCodeSize = in.U8();
  if (in.Failed() || width == 0 || height == 0 || minCodeSize < 2 || minCodeSize > 8 || !cx.Holds(width, height, 8)) {
    return 0;
  }
  const int depth = minCodeSize <= 4 ? 4 : 8;
  const int64_t pixels = int64_t{width} * height;

  // The sub-blocks, gathered in front of the room the decoded pixels need.
  const int64_t capacity = std::max<int64_t>(pixels + height, length);
  std::vector<uint8_t> buffer;
  if (!TryAllocate(buffer, capacity, 1, 0, cx.hook)) {
    cx.OutOfMemory(" 630");
    return 0;
  }
  int64_t gathered = 0;
  while (in.Ok()) {
    const int n = in.U8();
    if (n == 0) break;
    const auto bytes = in.Bytes(std::min<int64_t>(n, in.Remaining()));
    std::memcpy(buffer.data() + gathered, bytes.data(), bytes.size());
    gathered += static_cast<int64_t>(bytes.size());
  }
  int decoded = gathered > 0 ? LzwDecode(buffer.data(), static_cast<int>(gathered), static_cast<int>(capacity), kLzwGif,
                                         minCodeSize, cx.hook)
                             : 0;
  if (decoded == kLzwOutOfMemory) cx.OutOfMemory(" 610");
  if (decoded <= 0) return 0;
  const bool whole = decoded >= pixels;
  if (!whole) {
    std::memset(buffer.data() + decoded, 0, static_cast<size_t>(capacity - decoded));
    decoded = static_cast<int>(pixels);
  }

  const int64_t stride = DibStride(width, depth);
  PictureRows& block = picture.block;
  if (!TryAllocate(block, height, stride, kDibSpareBytes, cx.hook)) {
    cx.OutOfMemory(" 631");
    return 0;
  }
  // Rows of an interlaced image come in four passes.
  std::vector<int> order;
  order.reserve(static_cast<size_t>(height));
  if ((flags & 0x40) && height >= 3) {
    static const int kPasses[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& p : kPasses) {
      for (int y = p[0]; y < height; y += p[1]) order.push_back(y);
    }
  } else {
    for (int y = 0; y < height; ++y) order.push_back(y);
  }
  for (int i = 0; i < height; ++i) {
    const uint8_t* src = buffer.data() + int64_t{i} * width;
    uint8_t* dst = block.data() + (height - 1 - order[static_cast<size_t>(i)]) * stride;
    if (depth == 8) {
      std::memcpy(dst, src, static_cast<size_t>(width));
    } else {
      for (int x = 0; x < width; ++x) {
        dst[x >> 1] = static_cast<uint8_t>(dst[x >> 1] | (x & 1 ? src[x] & 0x0F : (src[x] & 0x0F) << 4));
      }
    }
  }
  BITMAPINFOHEADER& h = out->bmiHeader;
  h.biSize = kDibHeaderSize;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(depth);
  h.biSizeImage = static_cast<uint32_t>(stride * height);
  picture.whole = whole;
  char status[32];
  std::snprintf(status, sizeof status, "GIF %d bit", minCodeSize);
  cx.Format(status);
  return decoded;
}
