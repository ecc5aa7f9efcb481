// CQelDoc::WritePng: a DIB of 1, 4, 8 or 24 bits as a PNG file. Rows go top first
// with filter 0: 24-bit pixels as R, G, B, smaller depths as their packed bytes with
// a PLTE of 2, 16 or 256 entries. The data is deflated in memory by the own codec
// and the file is assembled in memory, then written at once.
#include <cstring>
#include <vector>

#include "app/QelDoc.h"
#include "codec/CodecServices.h"
#include "base/CheckedSize.h"
#include "image/ImageStatus.h"
#include "image/PngFormat.h"
#include "image/SaveFile.h"
#include "base/ByteOrder.h"

namespace {

void AppendBE32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v)};
  out.insert(out.end(), b, b + 4);
}

// Appends a chunk: length, type, data, CRC over type and data.
void AppendChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t n) {
  AppendBE32(out, static_cast<uint32_t>(n));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (n) out.insert(out.end(), data, data + n);
  AppendBE32(out, Crc32Of(out.data() + typeAt, n + 4));
}

uint32_t Adler32(const uint8_t* p, size_t n) {
  uint32_t s1 = 1, s2 = 0;
  while (n > 0) {
    const size_t block = n < 5552 ? n : 5552;
    for (size_t i = 0; i < block; ++i) {
      s1 += p[i];
      s2 += s1;
    }
    s1 %= 65521;
    s2 %= 65521;
    p += block;
    n -= block;
  }
  return s2 << 16 | s1;
}

}  // namespace

int CQelDoc::WritePng(const uint8_t* bits, const BITMAPINFO* info, std::string target) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int depth = h.biBitCount;
  if (!bits || (depth != 1 && depth != 4 && depth != 8 && depth != 24)) return 0;
  const int64_t stride = DibStride(h.biWidth, depth);
  const int64_t rowBytes = (int64_t{h.biWidth} * depth + 7) / 8;
  if (DibImageBytes(h.biWidth, h.biHeight, depth) <= 0) return 0;

  std::vector<uint8_t> raw;
  if (!TryAllocate(raw, h.biHeight, rowBytes + 1, 0, &m_allocHook)) {
    ShowImageOutOfMemory(" 624");
    return 0;
  }
  uint8_t* dst = raw.data();
  for (int64_t y = h.biHeight - 1; y >= 0; --y) {
    const uint8_t* src = bits + y * stride;
    *dst++ = 0;
    if (depth == 24) {
      for (int64_t x = 0; x < h.biWidth; ++x, src += 3) {
        *dst++ = src[2];
        *dst++ = src[1];
        *dst++ = src[0];
      }
    } else {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
      dst += rowBytes;
    }
  }

  std::vector<uint8_t> zlib = {0x78, 0xDA};
  DeflateAppend(raw, zlib);
  const uint32_t adler = Adler32(raw.data(), raw.size());
  std::vector<uint8_t>().swap(raw);
  AppendBE32(zlib, adler);

  std::vector<uint8_t> file(kPngSignature, kPngSignature + 8);
  std::vector<uint8_t> ihdr;
  AppendBE32(ihdr, static_cast<uint32_t>(h.biWidth));
  AppendBE32(ihdr, static_cast<uint32_t>(h.biHeight));
  ihdr.push_back(static_cast<uint8_t>(depth == 24 ? 8 : depth));
  ihdr.push_back(depth == 24 ? 2 : 3);
  ihdr.insert(ihdr.end(), {0, 0, 0});
  AppendChunk(file, "IHDR", ihdr.data(), ihdr.size());
  if (depth < 24) {
    std::vector<uint8_t> plte;
    for (int i = 0; i < (1 << depth); ++i) {
      plte.insert(plte.end(), {info->bmiColors[i].rgbRed, info->bmiColors[i].rgbGreen, info->bmiColors[i].rgbBlue});
    }
    AppendChunk(file, "PLTE", plte.data(), plte.size());
  }
  AppendChunk(file, "IDAT", zlib.data(), zlib.size());
  AppendChunk(file, "IEND", nullptr, 0);
  if (!ReplaceFileWith(target, file)) return 0;
  return static_cast<int>(file.size());
}
