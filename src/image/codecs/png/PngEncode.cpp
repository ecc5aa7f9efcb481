// PngEncoder: the chunks of the file made and handed out one by one.
#include "image/codecs/png/PngEncode.h"

#include <cstring>

#include "base/CheckedSize.h"
#include "codec/CodecServices.h"
#include "image/codecs/png/PngFormat.h"

namespace {

// Compressed bytes gathered before they go out as one IDAT chunk.
constexpr size_t kIdatBytes = size_t{1} << 16;

void AppendBE32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v)};
  out.insert(out.end(), b, b + 4);
}

// The chunks of the file, handed out as they are made; the first failed write is
// kept with its reason and every later one is skipped.
class ChunkWriter {
 public:
  explicit ChunkWriter(const std::function<int(std::span<const uint8_t>)>& out) : out_(out) {}
  void Bytes(std::span<const uint8_t> bytes) {
    if (error_ == 0) error_ = out_(bytes);
    written_ += bytes.size();
  }
  // Length, type, data, CRC over type and data.
  void Chunk(const char* type, std::span<const uint8_t> data) {
    chunk_.clear();
    AppendBE32(chunk_, static_cast<uint32_t>(data.size()));
    chunk_.insert(chunk_.end(), type, type + 4);
    chunk_.insert(chunk_.end(), data.begin(), data.end());
    AppendBE32(chunk_, Crc32Of(chunk_.data() + 4, data.size() + 4));
    Bytes(chunk_);
  }
  int Error() const { return error_; }
  uint64_t Written() const { return written_; }

 private:
  const std::function<int(std::span<const uint8_t>)>& out_;
  std::vector<uint8_t> chunk_;
  uint64_t written_ = 0;
  int error_ = 0;
};

}  // namespace

bool PngEncoder::Begin(const uint8_t* bits, const BITMAPINFO* info, const PictureContext& cx) {
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int depth = h.biBitCount;
  if (!bits || (depth != 1 && depth != 4 && depth != 8 && depth != 24)) return false;
  if (DibImageBytes(h.biWidth, h.biHeight, depth) <= 0) return false;
  const int64_t rowBytes = (int64_t{h.biWidth} * depth + 7) / 8;
  if (!TryAllocate(row_, rowBytes + 1, 1, 0, cx.hook)) {
    cx.OutOfMemory(" 624");
    return false;
  }
  bits_ = bits;
  info_ = info;
  return true;
}

int PngEncoder::Write(const std::function<int(std::span<const uint8_t>)>& out) {
  const BITMAPINFOHEADER& h = info_->bmiHeader;
  const int depth = h.biBitCount;
  const int64_t stride = DibStride(h.biWidth, depth);
  const int64_t rowBytes = (int64_t{h.biWidth} * depth + 7) / 8;
  ChunkWriter png(out);
  png.Bytes(kPngSignature);
  std::vector<uint8_t> ihdr;
  AppendBE32(ihdr, static_cast<uint32_t>(h.biWidth));
  AppendBE32(ihdr, static_cast<uint32_t>(h.biHeight));
  ihdr.push_back(static_cast<uint8_t>(depth == 24 ? 8 : depth));
  ihdr.push_back(depth == 24 ? 2 : 3);
  ihdr.insert(ihdr.end(), {0, 0, 0});
  png.Chunk("IHDR", ihdr);
  if (depth < 24) {
    std::vector<uint8_t> plte;
    for (int i = 0; i < (1 << depth); ++i) {
      plte.insert(plte.end(), {info_->bmiColors[i].rgbRed, info_->bmiColors[i].rgbGreen, info_->bmiColors[i].rgbBlue});
    }
    png.Chunk("PLTE", plte);
  }

  CZlibWriter zlib(static_cast<size_t>((rowBytes + 1) * h.biHeight));
  for (int64_t y = h.biHeight - 1; y >= 0 && png.Error() == 0; --y) {
    const uint8_t* src = bits_ + y * stride;
    uint8_t* dst = row_.data();
    *dst++ = 0;
    if (depth == 24) {
      for (int64_t x = 0; x < h.biWidth; ++x, src += 3) {
        *dst++ = src[2];
        *dst++ = src[1];
        *dst++ = src[0];
      }
    } else {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
    }
    zlib.Write(row_.data(), row_.size());
    if (zlib.Ready().size() >= kIdatBytes) {
      png.Chunk("IDAT", zlib.Ready());
      zlib.Release();
    }
  }
  zlib.Finish();
  png.Chunk("IDAT", zlib.Ready());
  png.Chunk("IEND", {});
  written_ = png.Written();
  return png.Error();
}
