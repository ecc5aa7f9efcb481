// The region's copy buffer: the document's BMP image (24-bit rows of the region,
// read from the display picture) and what copy, cut, crop and paste do with it.
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/BmpImage.h"
#include "image/codecs/DibConvert.h"
#include "base/Alloc.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "view/QelView.h"

namespace {

void PutLE(uint8_t* at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

// A 24-bit BMP file image of a rectangle of the picture, rows bottom-up.
bool CQelView::BitmapToBmp(const plat::Bitmap& shown, const CRect& r, std::vector<uint8_t>& out) {
  AllocHook* hook = &m_doc.m_allocHook;
  const int width = r.right - r.left, height = r.bottom - r.top;
  const int64_t rows = DibImageBytes(width, height, 24);
  if (rows <= 0) return false;
  const size_t stride = static_cast<size_t>(DibStride(width, 24));
  std::vector<uint8_t> file;
  if (!TryResize(file, 54 + static_cast<size_t>(rows), hook)) return false;
  file[0] = 'B';
  file[1] = 'M';
  PutLE(file.data() + 2, static_cast<uint32_t>(54 + rows), 4);
  PutLE(file.data() + 10, 54, 4);
  PutLE(file.data() + 14, kDibHeaderSize, 4);
  PutLE(file.data() + 18, static_cast<uint32_t>(width), 4);
  PutLE(file.data() + 22, static_cast<uint32_t>(height), 4);
  PutLE(file.data() + 26, 1, 2);
  PutLE(file.data() + 28, 24, 2);
  PutLE(file.data() + 34, static_cast<uint32_t>(rows), 4);
  PutLE(file.data() + 38, kDibPixelsPerMeter, 4);
  PutLE(file.data() + 42, kDibPixelsPerMeter, 4);
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = file.data() + 54 + static_cast<size_t>(height - 1 - y) * stride;
    const uint32_t* src = shown.Row(r.top + y) + r.left;
    for (int x = 0; x < width; ++x, dst += 3) {
      const uint32_t p = src[x];
      dst[0] = static_cast<uint8_t>(p);
      dst[1] = static_cast<uint8_t>(p >> 8);
      dst[2] = static_cast<uint8_t>(p >> 16);
    }
  }
  out = std::move(file);
  return true;
}

int CQelView::CopyRegion() {
  if (!IsActiveImagePane() || !Image().m_pDisplayBitmap) return -1;
  // No region: the whole picture (which becomes the region unless a paint mode is on).
  const CRect whole{0, 0, Image().m_pDisplayBitmap->width, Image().m_pDisplayBitmap->height};
  if (Region().m_rcRegion.right < 0 && Region().m_nPaintMode == 0) {
    Region().m_rcRegion = whole;
    Image().m_ImageSettings.m_nRegionScope = 1;
  }
  const CRect r = Region().m_rcRegion.right < 0 ? whole : ClippedRegion();
  if (r.right <= r.left) return -1;
  std::vector<uint8_t> file;
  if (!BitmapToBmp(*Image().m_pDisplayBitmap, r, file)) {
    AfxMessageBox(OutOfMemoryText(" 671"));
    return -1;
  }
  m_doc.Image().m_pBmpFile = std::move(file);
  m_doc.Image().m_rcLastRegion = r;
  m_doc.Image().m_nBmpFileKind = Pane().m_nShownKind;
  // A copy changes no pixel: a cut waiting to be restored (with or without an edit
  // after it) still waits.
  if (Region().m_nRegionState != 2 && Region().m_nRegionState != 4) Region().m_nRegionState = 1;
  Image().m_bImageDirty = 1;
  return 0;
}

int CQelView::CutRegion() {
  if (CopyRegion() < 0 || !ApplyImageEdit(ImageEdit::kFillBackground, "")) return -1;
  // The cut's pixels are kept apart: later edits save their own.
  Region().m_cutBackup = Region().m_regionBackup;
  Region().m_nRegionState = 2;
  Image().m_bImageDirty = 1;
  return 0;
}

int CQelView::CropRegion() {
  if (!IsActiveImagePane() || !Image().m_pDisplayBitmap || Region().m_rcRegion.right < 1) return -1;
  // The crop is the region itself, as every region edit takes it: a region of one
  // pixel crops to one pixel.
  const CRect r = ClippedRegion();
  if (r.right <= r.left) return -1;
  const plat::Bitmap& shown = *Image().m_pDisplayBitmap;
  std::vector<uint8_t> whole, part;
  if (!BitmapToBmp(shown, CRect{0, 0, shown.width, shown.height}, whole) ||
      !BitmapToBmp(shown, r, part)) {
    AfxMessageBox(OutOfMemoryText(" 672"));
    return -1;
  }
  Region().m_regionBackup.rect = CRect{0, 0, shown.width, shown.height};
  Region().m_regionBackup.pixels = std::move(whole);
  Region().m_regionBackup.wholeImage = true;
  m_doc.Image().m_pBmpFile = part;
  m_doc.Image().m_nBmpFileKind = Pane().m_nShownKind;
  Image().m_ImageSettings.m_nRotation = 0;
  Image().m_ImageSettings.m_nZoomIndex = 5;
  Image().m_ImageSettings.m_nFitTenths = 0;
  if (ResizeImageBuffer(part) < 0) return -1;
  m_doc.Image().m_rcLastRegion = CRect{0, 0, r.right - r.left, r.bottom - r.top};
  Image().m_PrintSettings = Image().m_ImageSettings;
  Region().m_nRegionState = 3;
  Image().m_bImageDirty = 1;
  return 0;
}

int CQelView::ResizeImageBuffer(const std::vector<uint8_t>& bmp) {
  BmpImageView image;
  if (!ReadBmpImage(bmp, image)) return -1;
  std::vector<uint8_t> bits;
  if (!TryResize(bits, image.bits.size() + kDibSpareBytes, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 673"));
    return -1;
  }
  std::memcpy(bits.data(), image.bits.data(), image.bits.size());
  Text().SetText("");
  Image().m_editedImage = std::move(bits);
  Image().m_sourceInfo = image.info;
  Image().m_pImageInfo = reinterpret_cast<uint8_t*>(&Image().m_sourceInfo);
  Image().m_pImageBits = Image().m_editedImage.data();
  Image().m_nImageBitsSize = static_cast<int>(image.bits.size());
  Image().m_nImageWidth = image.info.bmiHeader.biWidth;
  Image().m_nImageHeight = image.info.bmiHeader.biHeight;
  ++Region().m_nImageLayout;
  Region().m_bDisplayMoved = false;
  std::memcpy(Image().m_bmiSource.data(), &Image().m_sourceInfo, kDibHeaderSize);
  std::memcpy(Image().m_bmiDisplay.data(), &Image().m_sourceInfo, kDibHeaderSize);
  BITMAPINFO shown = Image().m_sourceInfo;
  PaintImage(Image().m_pImageBits, image.bits.size(), shown, 0);
  ShowImageStatus(0);
  return 0;
}

int CQelView::BuildBmpImage() {
  if (!Image().m_pImageBits || Image().m_nImageBitsSize <= 0) return -1;
  BITMAPINFO info = Image().m_sourceInfo;
  BITMAPINFOHEADER& h = info.bmiHeader;
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(DibColorCount(h));
  const int64_t bytes24 = DibImageBytes(h.biWidth, h.biHeight, 24);
  const int64_t own = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  if (bytes24 <= 0 || own <= 0 || own > Image().m_nImageBitsSize) return -1;
  std::vector<uint8_t> wide;
  if (!TryResize(wide, static_cast<size_t>(bytes24) + kDibSpareBytes, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 674"));
    return -1;
  }
  if (h.biBitCount == 24) {
    std::memcpy(wide.data(), Image().m_pImageBits, static_cast<size_t>(own));
  } else if (ConvertDibTo24(Image().m_pImageBits, wide.data(), &info, static_cast<int>(own),
                            static_cast<int>(wide.size())) <= 0) {
    return -1;
  }
  std::vector<uint8_t> file = BuildBmpFile(wide.data(), info);
  if (file.empty()) return -1;
  m_doc.Image().m_pBmpFile = std::move(file);
  return 0;
}

int CQelView::PasteRegion() {
  if (m_doc.Image().m_rcLastRegion.right <= 0 || m_doc.Image().m_pBmpFile.size() < 2) return -1;
  const int done = ApplyImageEdit(m_doc.m_bShiftDown ? ImageEdit::kPasteKeepWhite : ImageEdit::kPaste, "");
  Image().m_bImageDirty = 1;
  return done ? 0 : -1;
}
