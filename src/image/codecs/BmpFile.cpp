#include "image/codecs/BmpFile.h"

#include "base/ByteOrder.h"

BITMAPINFOHEADER ReadDibHeader(ByteCursor& in) {
  BITMAPINFOHEADER h;
  h.biSize = in.U32LE();
  h.biWidth = static_cast<int32_t>(in.U32LE());
  h.biHeight = static_cast<int32_t>(in.U32LE());
  h.biPlanes = in.U16LE();
  h.biBitCount = in.U16LE();
  h.biCompression = in.U32LE();
  h.biSizeImage = in.U32LE();
  h.biXPelsPerMeter = static_cast<int32_t>(in.U32LE());
  h.biYPelsPerMeter = static_cast<int32_t>(in.U32LE());
  h.biClrUsed = in.U32LE();
  h.biClrImportant = in.U32LE();
  return h;
}

void ReadDibColors(ByteCursor& in, RGBQUAD* out, int n) {
  for (int i = 0; i < n; ++i) {
    out[i].rgbBlue = in.U8();
    out[i].rgbGreen = in.U8();
    out[i].rgbRed = in.U8();
    out[i].rgbReserved = in.U8();
  }
}

namespace {

void AppendDibHeader(std::vector<uint8_t>& out, const BITMAPINFOHEADER& h) {
  AppendLE32(out, h.biSize);
  AppendLE32(out, static_cast<uint32_t>(h.biWidth));
  AppendLE32(out, static_cast<uint32_t>(h.biHeight));
  AppendLE16(out, h.biPlanes);
  AppendLE16(out, h.biBitCount);
  AppendLE32(out, h.biCompression);
  AppendLE32(out, h.biSizeImage);
  AppendLE32(out, static_cast<uint32_t>(h.biXPelsPerMeter));
  AppendLE32(out, static_cast<uint32_t>(h.biYPelsPerMeter));
  AppendLE32(out, h.biClrUsed);
  AppendLE32(out, h.biClrImportant);
}

}  // namespace

std::vector<uint8_t> BuildBmpFile(const uint8_t* bits, const BITMAPINFO& info) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  // The colour table, or the masks of a bit-field image.
  const int colors = h.biBitCount <= 8 ? DibColorCount(h) : DibMaskCount(h);
  const int64_t rows = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  int64_t size = h.biSizeImage != 0 && h.biSizeImage < rows ? h.biSizeImage : rows;
  if (!bits || rows <= 0) return {};
  const uint32_t offset = 14 + kDibHeaderSize + 4 * static_cast<uint32_t>(colors);
  std::vector<uint8_t> file;
  file.reserve(offset + static_cast<size_t>(size));
  file.push_back('B');
  file.push_back('M');
  AppendLE32(file, static_cast<uint32_t>(offset + size));
  AppendLE32(file, 0);
  AppendLE32(file, offset);
  BITMAPINFOHEADER out = h;
  out.biSize = kDibHeaderSize;
  out.biSizeImage = static_cast<uint32_t>(size);
  if (h.biBitCount > 8) out.biClrUsed = 0;
  AppendDibHeader(file, out);
  for (int i = 0; i < colors; ++i) {
    const RGBQUAD& q = info.bmiColors[i];
    file.insert(file.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved});
  }
  file.insert(file.end(), bits, bits + size);
  return file;
}
