#include "image/codecs/BmpImage.h"

#include "base/ByteCursor.h"
#include "image/codecs/BmpFile.h"

bool ReadBmpImage(std::span<const uint8_t> file, BmpImageView& out) {
  ByteCursor in(file);
  if (in.U8() != 'B' || in.U8() != 'M') return false;
  in.Skip(8);
  const uint32_t offset = in.U32LE();
  out.info = BITMAPINFO{};
  out.info.bmiHeader = ReadDibHeader(in);
  if (in.Failed()) return false;
  BITMAPINFOHEADER& h = out.info.bmiHeader;
  if (h.biSize < kDibHeaderSize || h.biPlanes != 1 || h.biCompression != 0 || h.biWidth <= 0 || h.biHeight <= 0) {
    return false;
  }
  const int bits = h.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  const int colors = bits <= 8 ? DibColorCount(h) : 0;
  const int64_t tableAt = 14 + int64_t{h.biSize};
  in.Seek(tableAt);
  ReadDibColors(in, out.info.bmiColors, colors);
  if (bits <= 8) h.biClrUsed = static_cast<uint32_t>(colors);
  const int64_t rows = DibImageBytes(h.biWidth, h.biHeight, bits);
  if (rows <= 0 || offset < tableAt + 4 * int64_t{colors} || offset > file.size() ||
      rows > static_cast<int64_t>(file.size()) - offset) {
    return false;
  }
  h.biSize = kDibHeaderSize;
  h.biSizeImage = static_cast<uint32_t>(rows);
  out.bits = file.subspan(offset, static_cast<size_t>(rows));
  return true;
}
