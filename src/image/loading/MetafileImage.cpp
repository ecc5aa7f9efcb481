#include "image/loading/MetafileImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "app/QelDoc.h"
#include "image/codecs/Dib.h"
#include "image/ImageStatus.h"
#include "image/codecs/PictureDecoders.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "platform/gdi/GdiText.h"

namespace {

constexpr int64_t kHalveAbove = 20000000;

// One side in pixels, in floating point so that no product of hostile values overflows.
double Side(int64_t frame, int mm, int device) {
  return std::floor((std::floor(double(frame) * 100 / mm) * device + 5000) / 10000) + 1;
}

}  // namespace

MetafilePictureSize MetafileImageSize(const plat::MetafileHeader& h) {
  MetafilePictureSize s;
  const int64_t fw = int64_t{h.frame.right} - h.frame.left, fh = int64_t{h.frame.bottom} - h.frame.top;
  if (fw <= 0 || fh <= 0 || h.mmWidth <= 0 || h.mmHeight <= 0 || h.deviceWidth <= 0 || h.deviceHeight <= 0) return s;
  double w = Side(fw, h.mmWidth, h.deviceWidth), hi = Side(fh, h.mmHeight, h.deviceHeight);
  const double pixels = w * hi;
  if (pixels > 2.0 * kHalveAbove) {
    w = std::floor(w / 8), hi = std::floor(hi / 8);
    s.compression = 8;
  } else if (pixels > kHalveAbove) {
    w = std::floor(w / 2), hi = std::floor(hi / 2);
    s.compression = 2;
  }
  if (w < 1 || hi < 1 || w > kMaxMetafileSide || hi > kMaxMetafileSide || w * hi > kMaxMetafilePixels) return s;
  s.width = static_cast<int>(w);
  s.height = static_cast<int>(hi);
  s.ok = true;
  return s;
}

void ApplyMetafileZoom(int zoom, int& width, int& height) {
  int multiply = 1, divide = 1;
  if (zoom == 6 && height < 1600) multiply = 2;
  if (zoom == 7 && height < 800) multiply = 4;
  if (zoom == 8 && height < 400) multiply = 8;
  if (zoom >= 1 && zoom <= 4) divide = 1 << (5 - zoom);
  width = std::max(width * multiply / divide, 1);
  height = std::max(height * multiply / divide, 1);
}

bool RenderMetafileDib(std::span<const uint8_t> bytes, int width, int height, plat::GdiHost& gdi,
                       std::span<uint8_t> bits, const plat::MetafilePictureDecoder& pictures) {
  const int64_t stride = DibStride(width, 24);
  if (width <= 0 || height <= 0 || static_cast<int64_t>(bits.size()) < stride * height) return false;
  plat::BitmapPtr band;
  int rows = height;
  for (; rows >= 1; rows = rows == 1 ? 0 : (rows + 1) / 2) {
    if ((band = gdi.CreateCompatibleBitmap(width, rows))) break;
  }
  if (!band) return false;
  plat::TextPainter text;
  uint8_t info[40 + 1024] = {};
  for (int top = 0; top < height; top += rows) {
    plat::FillRect(*band, CRect{0, 0, width, rows}, RGB(255, 255, 255));
    plat::PlayMetafile(bytes, *band, CRect{0, -top, width, height - top}, &text, pictures);
    const int take = std::min(rows, height - top);
    std::memset(info, 0, sizeof info);
    info[0] = 40;
    info[14] = 24;
    // The band's top rows are lines rows - take .. rows - 1 counted from its bottom;
    // they land on the picture's lines height - top - take .. height - top - 1.
    uint8_t* out = bits.data() + (height - top - take) * stride;
    if (plat::GetDIBits(*band, rows - take, take, out, static_cast<size_t>(take * stride), info, sizeof info) != take) {
      return false;
    }
  }
  return true;
}

plat::MetafilePictureDecoder MetafilePictures(CQelDoc& doc) {
  return [&doc](uint32_t compression, std::span<const uint8_t> data, std::vector<uint8_t>& dib) {
    if (data.size() > INT32_MAX) return false;
    const int length = static_cast<int>(data.size());
    BITMAPINFO info{};
    PictureRows block;
    if (compression == plat::BI_JPEG) {
      JDecoder decoder(&doc.m_allocHook);
      int width = 0, height = 0, components = 0;
      if (decoder.SetSource(data.data(), length) != 0) return false;
      decoder.GetInfo(nullptr, nullptr, nullptr, &width, &height, &components);
      if (int64_t{width} * height > plat::kMaxMetafileBitmapPixels || decoder.DecodeDib(block, 0) != 0) return false;
      info.bmiHeader = BITMAPINFOHEADER{kDibHeaderSize, width, height, 1, 24, 0, 0, 0, 0, 0, 0};
    } else {
      PictureBlock png;
      if (compression != plat::BI_PNG ||
          !DecodePngBlock(data.data(), length, &info, png, DocPictureContext(doc), plat::kMaxMetafileBitmapPixels)) {
        return false;
      }
      block = std::move(png.block);
    }
    // A packed DIB: the header, its colour table and the rows.
    const BITMAPINFOHEADER& h = info.bmiHeader;
    const size_t colors = static_cast<size_t>(DibColorCount(h)) * sizeof(RGBQUAD);
    const size_t rows = static_cast<size_t>(DibImageBytes(h.biWidth, h.biHeight, h.biBitCount));
    if (rows > block.size()) return false;
    dib.resize(kDibHeaderSize + colors + rows);
    std::memcpy(dib.data(), &h, kDibHeaderSize);
    std::memcpy(dib.data() + kDibHeaderSize, info.bmiColors, colors);
    std::memcpy(dib.data() + kDibHeaderSize + colors, block.data(), rows);
    return true;
  };
}
