// The document's JPEG roads: CQelDoc::DecodeJpeg turns a JPEG file held in memory
// into the DocImage (a 24-bit DIB) through the own decoder, and CQelDoc::WriteJpeg
// writes a DIB of any depth as a JFIF file at one of three quality levels.
#include <cstdio>
#include <string>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "image/ImageState.h"
#include "image/codecs/DibConvert.h"
#include "image/codecs/PictureContext.h"
#include "image/ImageStatus.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/SaveFile.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JpegFromDib.h"

namespace {

constexpr int kMaxJpegSide = 65535;  // the frame header's 16-bit width and height

}  // namespace

int CQelDoc::DecodeJpeg(const uint8_t* file, int length, BITMAPINFO* out) {
  JDecoder decoder(&m_allocHook);
  PictureRows block;
  if (decoder.SetSource(file, length) != 0) return 0;
  int width = 0, height = 0, components = 0;
  decoder.GetInfo(nullptr, nullptr, nullptr, &width, &height, &components);
  if (!DocPictureContext(*this).Holds(width, height, 24)) return 0;
  const int decoded = decoder.DecodeDib(block, kDibSpareBytes);
  if (decoded == -1) ShowImageOutOfMemory(" 660");
  if (decoded != 0) return 0;
  if (components == 1) Image().m_ImageSettings.m_nColorPhase = 0;
  *out = BITMAPINFO{};
  BITMAPINFOHEADER& h = out->bmiHeader;
  h.biSize = kDibHeaderSize;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<uint32_t>(DibStride(width, 24) * height);
  h.biXPelsPerMeter = h.biYPelsPerMeter = kDibPixelsPerMeter;
  SetImageBlock(std::move(block));
  // A scan that ended early (a cut file) is shown as far as it goes, marked short.
  Image().m_bImageShort = decoder.Whole() ? 0 : 1;
  if (m_nQuietState == 0) {
    char status[40];
    std::snprintf(status, sizeof status, "Jpeg %d color%s", components, Image().m_ImageSettings.m_nColorPhase > 0 ? " cmy" : "");
    ShowImageFormat(status);
  }
  return 1;
}

ConvertStatus CQelDoc::WriteJpeg(const uint8_t* bits, BITMAPINFO* info, std::string path, int level) {
  BITMAPINFOHEADER& h = info->bmiHeader;
  const int64_t sourceBytes = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  const int64_t wideBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
  if (!bits || sourceBytes <= 0) return SaveNotWritten();
  if (h.biWidth > kMaxJpegSide || h.biHeight > kMaxJpegSide) {
    return ShowCannotCreate(path, std::to_string(h.biWidth) + " x " + std::to_string(h.biHeight) +
                                      " pixels: a JPEG holds at most 65535 x 65535");
  }
  if (wideBytes <= 0) return ShowCannotCreate(path, "the picture's rows at 24 bits would pass the largest picture held");
  // Other depths are widened into a block of their own; the caller's rows stay.
  std::vector<uint8_t> wide;
  const uint8_t* rows = bits;
  if (h.biBitCount != 24) {
    if (!TryAllocate(wide, wideBytes, 1, kDibSpareBytes, &m_allocHook)) {
      ShowImageOutOfMemory(" 661");
      return ConvertStatus::OutOfMemory(" 661");
    }
    if (ConvertDibTo24(bits, wide.data(), info, static_cast<int>(sourceBytes), static_cast<int>(wide.size())) <= 0) {
      return SaveNotWritten();
    }
    rows = wide.data();
  }
  std::vector<uint8_t> jpeg;
  const int64_t rowsBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
  if (EncodeJpegFromDib24(rows, rowsBytes, h.biWidth, h.biHeight, level, jpeg, &m_allocHook) != 0) {
    ShowImageOutOfMemory(" 669");
    return ConvertStatus::OutOfMemory(" 669");
  }
  return ReplaceFileWith(path, jpeg);
}
