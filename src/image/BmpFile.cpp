#include "image/BmpFile.h"

#include "platform/ByteOrder.h"

std::vector<uint8_t> BuildBmpFile(const uint8_t* bits, const BITMAPINFO& info) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int colors = h.biBitCount <= 8 ? DibColorCount(h) : 0;
  const int64_t rows = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  int64_t size = h.biSizeImage != 0 && h.biSizeImage < rows ? h.biSizeImage : rows;
  if (!bits || rows <= 0) return {};
  const uint32_t offset = 14 + kDibHeaderSize + 4 * static_cast<uint32_t>(colors);
  std::vector<uint8_t> file;
  file.reserve(offset + static_cast<size_t>(size));
  file.push_back('B');
  file.push_back('M');
  plat::AppendLE32(file, static_cast<uint32_t>(offset + size));
  plat::AppendLE32(file, 0);
  plat::AppendLE32(file, offset);
  BITMAPINFOHEADER out = h;
  out.biSize = kDibHeaderSize;
  out.biSizeImage = static_cast<uint32_t>(size);
  if (h.biBitCount > 8) out.biClrUsed = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(&out);
  file.insert(file.end(), p, p + kDibHeaderSize);
  const auto* table = reinterpret_cast<const uint8_t*>(info.bmiColors);
  file.insert(file.end(), table, table + 4 * colors);
  file.insert(file.end(), bits, bits + size);
  return file;
}
