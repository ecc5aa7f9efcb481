#include "view/DisplayPicture.h"

#include <algorithm>
#include <cstring>

namespace {

// Colours in the table of a DIB as the drawing layer counts them.
int TableColors(const BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return 0;
  const uint32_t all = 1u << h.biBitCount;
  return static_cast<int>(h.biClrUsed == 0 || h.biClrUsed > all ? all : h.biClrUsed);
}

}  // namespace

void DisplayPicture::ShowOwn(Rows&& rows, size_t size, const BITMAPINFO& info) {
  rows_ = std::move(rows);
  keep_.reset();
  SelectBand(rows_.data(), std::min(size, rows_.size()), info, 0, info.bmiHeader.biHeight);
}

void DisplayPicture::ShowShared(std::shared_ptr<const void> keep, const uint8_t* bits, size_t size,
                                const BITMAPINFO& info) {
  keep_ = std::move(keep);
  rows_ = Rows();
  SelectBand(bits, size, info, 0, info.bmiHeader.biHeight);
}

bool DisplayPicture::ShowCopy(const uint8_t* bits, size_t size, const BITMAPINFO& info, AllocHook* hook) {
  Rows rows;
  if (!TryResize(rows, size, hook)) return false;
  if (size > 0) std::memcpy(rows.data(), bits, size);
  ShowOwn(std::move(rows), size, info);
  return true;
}

bool DisplayPicture::Holds(const uint8_t* bits) const {
  return block_ && (keep_ || !rows_.empty()) && bits >= block_ && bits < block_ + blockSize_;
}

void DisplayPicture::SelectBand(const uint8_t* bits, size_t size, const BITMAPINFO& info, int top, int count) {
  bitmap_.reset();
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  block_ = bits;
  blockSize_ = size;
  info_ = info;
  info_.bmiHeader.biHeight = count;
  info_.bmiHeader.biSizeImage = static_cast<uint32_t>(std::max<int64_t>(stride, 0) * count);
  // Rows from the top are the DIB's last ones: the band starts (height - top - count) rows in.
  const bool ok = bits && stride > 0 && count > 0 && top >= 0 && top + count <= h.biHeight;
  offset_ = ok ? static_cast<size_t>(stride) * static_cast<size_t>(h.biHeight - top - count) : 0;
  width_ = ok ? h.biWidth : 0;
  height_ = ok ? count : 0;
}

void DisplayPicture::reset() {
  rows_ = Rows();
  keep_.reset();
  bitmap_.reset();
  block_ = nullptr;
  blockSize_ = 0;
  width_ = height_ = 0;
}

const uint8_t* DisplayPicture::BandBits() const { return offset_ < blockSize_ ? block_ + offset_ : nullptr; }
size_t DisplayPicture::BandBytes() const { return offset_ < blockSize_ ? blockSize_ - offset_ : 0; }

plat::Bitmap* DisplayPicture::get() const {
  if (!bitmap_ && width_ > 0) {
    // The picture was admitted when it was shown; the bitmap is not refused again.
    plat::GdiHost unlimited;
    bitmap_ = unlimited.CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info_), sizeof info_, BandBits(),
                                       BandBytes());
  }
  return bitmap_.get();
}

plat::Bitmap* DisplayPicture::ForEdit() {
  plat::Bitmap* bitmap = get();
  if (bitmap) {
    bitmap->sourceBits = 24;
    bitmap->palette.clear();
  }
  return bitmap;
}

void DisplayPicture::PaintTo(plat::Bitmap& target, int x, int y, int width, int height, int sx, int sy) const {
  if (bitmap_) {
    plat::BitBlt(target, x, y, width, height, *bitmap_, sx, sy);
  } else if (width_ > 0) {
    plat::SetDIBitsToDevice(target, x, y, width, height, sx, sy, BandBits(), BandBytes(),
                            reinterpret_cast<const uint8_t*>(&info_), sizeof info_);
  }
}

bool DisplayPicture::ReadDib(BITMAPINFO& info, std::vector<uint8_t>& bits, AllocHook* hook) const {
  if (width_ <= 0) return false;
  std::memset(&info, 0, sizeof info);
  uint8_t* bmi = reinterpret_cast<uint8_t*>(&info);
  const int depth = info_.bmiHeader.biBitCount;
  if (!bitmap_ && (depth == 1 || depth == 4 || depth == 8 || depth == 24)) {
    // The rows as they are, their unused bits and padding cleared, as a read-back gives them.
    const int64_t stride = DibStride(width_, depth);
    const int64_t bytes = stride * height_;
    if (!TryResize(bits, static_cast<size_t>(bytes) + kDibSpareBytes, hook)) return false;
    const int colors = TableColors(info_.bmiHeader);
    BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = kDibHeaderSize;
    h.biWidth = width_;
    h.biHeight = height_;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(depth);
    h.biSizeImage = static_cast<uint32_t>(bytes);
    h.biClrUsed = static_cast<uint32_t>(colors);
    for (int i = 0; i < colors; ++i) {
      info.bmiColors[i] = info_.bmiColors[i];
      info.bmiColors[i].rgbReserved = 0;
    }
    // Rows the block lacks read back black.
    const size_t have = std::min(BandBytes(), static_cast<size_t>(bytes));
    if (have > 0) std::memcpy(bits.data(), BandBits(), have);
    std::memset(bits.data() + have, 0, static_cast<size_t>(bytes) - have);
    const int64_t usedBits = int64_t{width_} * depth;
    const int64_t full = usedBits / 8;
    if (full < stride) {
      const uint8_t mask = static_cast<uint8_t>(0xFF00 >> (usedBits % 8));
      for (int y = 0; y < height_; ++y) {
        uint8_t* row = bits.data() + y * stride;
        row[full] &= mask;
        std::memset(row + full + 1, 0, static_cast<size_t>(stride - full - 1));
      }
    }
    return true;
  }
  const plat::Bitmap* shown = get();
  if (!shown) return false;
  if (plat::GetDIBits(*shown, 0, shown->height, nullptr, 0, bmi, sizeof info) <= 0) {
    // A bitmap made at a palette depth without its table reads back at 24 bits.
    info.bmiHeader.biBitCount = 24;
  }
  const int64_t bytes = DibImageBytes(shown->width, shown->height, info.bmiHeader.biBitCount);
  if (bytes <= 0 || !TryResize(bits, static_cast<size_t>(bytes) + kDibSpareBytes, hook)) return false;
  return plat::GetDIBits(*shown, 0, shown->height, bits.data(), bits.size(), bmi, sizeof info) > 0;
}
