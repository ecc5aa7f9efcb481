// The edit executor: every change to the shown pixels goes through here. It makes
// the region's new pixels (from the copy buffer, stretched to the region; the
// background colour; the region's pixels turned a quarter), saves the pixels it
// replaces so that the edit can be undone, writes the new ones into the display
// picture and takes the display picture as the view's image. The region is clipped
// to the picture, so no row or column outside it is read or written. A cut is put
// back by RestoreRegionPixels itself, into the image, at whatever zoom it shows.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/codecs/BmpImage.h"
#include "image/display/DisplayKernels.h"
#include "image/ImageStatus.h"
#include "base/Alloc.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "view/QelView.h"

namespace {

constexpr int kNearWhite = 199;               // a pasted pixel above this in all channels is kept out by kPasteKeepWhite
constexpr COLORREF kColorNotSet = 0x1000000;  // bit 24 of a settings colour: not set

COLORREF Solid(COLORREF c) { return c & 0xFFFFFF; }

// A bitmap as a 24-bit DIB and back (for the pipeline's stages, which work on DIBs).
bool ToDib(const plat::Bitmap& b, BITMAPINFO& info, std::vector<uint8_t>& bits, size_t spare) {
  info = BITMAPINFO{};
  info.bmiHeader.biBitCount = 24;
  const int64_t bytes = DibImageBytes(b.width, b.height, 24);
  if (bytes <= 0) return false;
  bits.assign(static_cast<size_t>(bytes) + spare, 0);
  return plat::GetDIBits(b, 0, b.height, bits.data(), bits.size(), reinterpret_cast<uint8_t*>(&info), sizeof info) >
         0;
}

// The pixels of r turned a quarter clockwise, as a bitmap of the turned shape.
plat::BitmapPtr TurnedRegion(plat::GdiHost& gdi, const plat::Bitmap& shown, const CRect& r) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  plat::BitmapPtr part = gdi.CreateCompatibleBitmap(width, height);
  if (!part) return nullptr;
  plat::BitBlt(*part, 0, 0, width, height, shown, r.left, r.top);
  BITMAPINFO info;
  std::vector<uint8_t> a, b;
  const int64_t turned = DibImageBytes(height, width, 24);
  if (turned <= 0 || !ToDib(*part, info, a, 0)) return nullptr;
  b.assign(static_cast<size_t>(turned), 0);
  if (!RotateImage(DibBlock{a.data(), a.size()}, DibBlock{b.data(), b.size()}, info, 1)) return nullptr;
  return gdi.CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info), sizeof info, b.data(), b.size());
}

// The picture an edit writes into the region r, of the region's size: source (the
// copy buffer, or the turned region) stretched to it, painted at the click, and for
// kRender with active settings the region's pixels through the colour stages at 1:1.
// Null when the edit cannot go on.
plat::BitmapPtr EditPicture(CQelView& v, plat::GdiHost& gdi, CQelView::ImageEdit code, const plat::Bitmap& source,
                            const CRect& r, int width, int height) {
  using ImageEdit = CQelView::ImageEdit;
  plat::BitmapPtr work = gdi.CreateCompatibleBitmap(width, height);
  if (!work) {
    AfxMessageBox(OutOfMemoryText(" 675"));
    return nullptr;
  }
  if (source.width == width && source.height == height) {
    plat::BitBlt(*work, 0, 0, width, height, source, 0, 0);
  } else {
    const bool smaller = width < source.width || height < source.height;
    plat::StretchBlt(*work, 0, 0, width, height, source, 0, 0, source.width, source.height,
                     smaller ? plat::HALFTONE : plat::COLORONCOLOR);
  }
  if (code == ImageEdit::kPaintAgain || code == ImageEdit::kPaintFirst) {
    v.PaintAtClick(*work, CPoint{v.Region().m_ptClick.x + v.Image().m_nImageOriginX - r.left, v.Region().m_ptClick.y + v.Image().m_nImageOriginY - r.top});
  }
  if (code == ImageEdit::kRender && v.Image().m_ImageSettings.m_bActive) {
    ImageConvertSettings s = v.Image().m_ImageSettings;
    s.m_nRegionScope = 0;
    s.m_nZoomIndex = 5;
    s.m_nFitTenths = 0;
    s.m_nRotation = s.m_bMirror = s.m_bFlip = 0;
    s.m_bCutOut = 0;
    s.m_bWork24 = 1;
    s.m_bTransform = 1;
    BITMAPINFO info;
    std::vector<uint8_t> a, b;
    constexpr size_t kStageSpare = 100000;
    if (!ToDib(*work, info, a, kStageSpare)) return nullptr;
    b.assign(a.size(), 0);
    if (v.ConvertImage(a, b, info, s, v.Pane().m_nShownKind, CRect{-1, -1, -1, -1})) {
      plat::BitmapPtr converted =
          gdi.CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info), sizeof info, b.data(), b.size());
      if (converted) plat::BitBlt(*work, 0, 0, width, height, *converted, 0, 0);
    }
  }
  return work;
}

// What the row writer needs to know of the edit.
struct EditRows {
  CQelView::ImageEdit code = CQelView::ImageEdit::kRender;
  bool layered = false;   // the layer's key colour lets the picture through
  bool darken = false;    // ... darkened (the H layer modes)
  uint32_t background = 0;
  uint32_t key = 0;
};

// Row by row over r: the old pixels into saved (24-bit, when given), the new ones
// (work's, or the background for a fill) into the picture.
void WriteEditRows(plat::Bitmap& shown, const plat::Bitmap* work, const CRect& r, const EditRows& e, uint8_t* saved) {
  using ImageEdit = CQelView::ImageEdit;
  uint8_t* out = saved;
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = shown.Row(y);
    const uint32_t* from = work ? work->Row(y - r.top) : nullptr;
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t old = row[x];
      if (out) {
        *out++ = static_cast<uint8_t>(old);
        *out++ = static_cast<uint8_t>(old >> 8);
        *out++ = static_cast<uint8_t>(old >> 16);
      }
      if (e.code == ImageEdit::kBackupOnly) continue;
      if (e.code == ImageEdit::kFillBackground) {
        row[x] = e.background;
        continue;
      }
      const uint32_t p = from[x - r.left];
      if (e.layered && p == e.key) {
        if (e.darken) row[x] = old >> 1 & 0x7F7F7F;
        continue;
      }
      if (e.code == ImageEdit::kPasteKeepWhite && (p & 0xFF) > kNearWhite && (p >> 8 & 0xFF) > kNearWhite &&
          (p >> 16 & 0xFF) > kNearWhite) {
        continue;
      }
      row[x] = p;
    }
  }
}

// The rectangle where two DIBs of one size (24 bits, bottom-up) differ, in top-down
// rows; empty when they are equal.
CRect DifferingRect(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, int height) {
  const size_t stride = static_cast<size_t>(DibStride(width, 24)), used = static_cast<size_t>(width) * 3;
  CRect r{width, height, 0, 0};
  for (int y = 0; y < height; ++y) {
    const uint8_t* pa = a.data() + static_cast<size_t>(height - 1 - y) * stride;
    const uint8_t* pb = b.data() + static_cast<size_t>(height - 1 - y) * stride;
    if (std::memcmp(pa, pb, used) == 0) continue;
    int left = 0, right = width;
    while (std::memcmp(pa + left * 3, pb + left * 3, 3) == 0) ++left;
    while (std::memcmp(pa + (right - 1) * 3, pb + (right - 1) * 3, 3) == 0) --right;
    r = CRect{std::min(r.left, left), std::min<int>(r.top, y), std::max(r.right, right), y + 1};
  }
  return r.right > r.left ? r : CRect{};
}

// A cut's saved pixels follow the picture when the display, which shows it elsewhere
// (zoomed, mirrored, turned), is about to become the view's image: the picture with
// the cut put back is rendered as the display shows it, and where that rendering
// differs from the display lie the cut's pixels in the picture to come (their layout
// is set once it is taken). Nothing when no cut waits or the display shows the
// picture in place.
std::optional<RegionBackup> CutAsDisplayed(CQelView& v) {
  const RegionBackup& cut = v.Region().m_cutBackup;
  const int state = v.Region().m_nRegionState;
  const BITMAPINFOHEADER& h = v.Image().m_sourceInfo.bmiHeader;
  const CRect& r = cut.rect;
  if ((state != 2 && state != 4) || cut.wholeImage || cut.layout != v.Region().m_nImageLayout ||
      v.DisplayShowsImageInPlace() || !v.Image().m_pImageBits || h.biBitCount != 24 || r.left < 0 || r.top < 0 ||
      r.right <= r.left || r.bottom <= r.top || r.right > h.biWidth || r.bottom > h.biHeight ||
      DibStride(h.biWidth, 24) * h.biHeight > v.Image().m_nImageBitsSize) {
    return std::nullopt;
  }
  // The picture's pixels under the cut as they stand now (its fill), to go back after.
  RegionBackup filled = cut;
  const size_t rowBytes = static_cast<size_t>(r.right - r.left) * 3;
  const int64_t stride = DibStride(h.biWidth, 24);
  filled.pixels.resize(rowBytes * static_cast<size_t>(r.bottom - r.top));
  for (int y = r.top; y < r.bottom; ++y) {
    std::memcpy(filled.pixels.data() + static_cast<size_t>(y - r.top) * rowBytes,
                v.Image().m_pImageBits + (h.biHeight - 1 - y) * stride + int64_t{r.left} * 3, rowBytes);
  }
  BITMAPINFO info, uncutInfo;
  std::vector<uint8_t> shown, uncut;
  if (!ToDib(*v.Image().m_pDisplayBitmap, info, shown, 0) || !v.PutPixelsBack(cut)) return std::nullopt;
  const bool rendered = ToDib(*v.Image().m_pDisplayBitmap, uncutInfo, uncut, 0);
  v.PutPixelsBack(filled);
  const int width = info.bmiHeader.biWidth, height = info.bmiHeader.biHeight;
  if (!rendered || uncutInfo.bmiHeader.biWidth != width || uncutInfo.bmiHeader.biHeight != height || height <= 0 ||
      uncut.size() != shown.size()) {
    return std::nullopt;
  }
  RegionBackup carried;
  carried.rect = DifferingRect(shown, uncut, width, height);
  const CRect& c = carried.rect;
  const size_t carriedRow = static_cast<size_t>(c.right - c.left) * 3, dibStride = static_cast<size_t>(DibStride(width, 24));
  carried.pixels.resize(carriedRow * static_cast<size_t>(c.bottom - c.top));
  for (int y = c.top; y < c.bottom; ++y) {
    std::memcpy(carried.pixels.data() + static_cast<size_t>(y - c.top) * carriedRow,
                uncut.data() + static_cast<size_t>(height - 1 - y) * dibStride + static_cast<size_t>(c.left) * 3,
                carriedRow);
  }
  return carried;
}

}  // namespace

plat::BitmapPtr CQelView::CopyBufferBitmap(const std::vector<uint8_t>& file) const {
  BmpImageView image;
  if (!g_pMainFrame || !ReadBmpImage(file, image)) return nullptr;
  return g_pMainFrame->Ui().Gdi().CreateDIBitmap(reinterpret_cast<const uint8_t*>(&image.info), sizeof image.info,
                                                 image.bits.data(), image.bits.size());
}

void CQelView::PaintAtClick(plat::Bitmap& work, CPoint at) {
  plat::DrawContext dc(work);
  const COLORREF target = Image().m_ImageSettings.m_clrTarget & 0xFFFFFF;
  const plat::Brush brush{plat::BS_SOLID, target, 0};
  if (Region().m_nFigure == 11) {
    const int side = std::clamp(Region().m_nPattern, 0, 6) + 1;
    dc.FillRect(CRect{at.x, at.y, at.x + side, at.y + side}, brush);
    return;
  }
  // The colour filled: the source colour when it is set, else the pixel under the click.
  const COLORREF source = Image().m_ImageSettings.m_clrSource;
  const COLORREF colour = (source & kColorNotSet) == 0 ? source & 0xFFFFFF : dc.GetPixel(at.x, at.y);
  if (colour == plat::CLR_INVALID) return;
  dc.SelectBrush(brush);
  dc.ExtFloodFill(at.x, at.y, colour, Region().m_nEditStep == 11 ? plat::FLOODFILLBORDER : plat::FLOODFILLSURFACE);
}

int CQelView::ApplyImageEdit(ImageEdit code, const std::string& text) {
  if (!IsActiveImagePane() || !Image().m_pDisplayBitmap || !g_pMainFrame) return 0;
  if (Region().m_rcRegion.right < 0 && Region().m_nPaintMode == 0) return 0;
  // Turning the region takes the pixels it needs itself.
  const bool ownPixels = code == ImageEdit::kTurnQuarter;
  const std::vector<uint8_t>& copy = m_doc.Image().m_pBmpFile;
  if (!ownPixels && (copy.size() < 2 || copy[0] != 'B' || copy[1] != 'M')) return 0;
  std::optional<RegionBackup> carriedCut;
  if (code != ImageEdit::kBackupOnly) carriedCut = CutAsDisplayed(*this);
  plat::GdiHost& gdi = g_pMainFrame->Ui().Gdi();
  plat::Bitmap& shown = *Image().m_pDisplayBitmap;
  if (Image().m_nPaintBits != 24) {
    char text[32];
    std::snprintf(text, sizeof text, "Bitmap %d bit", 24);
    ShowImageFormat(text);
  }

  // The work picture of the region's size.
  if (Region().m_rcRegion.right < 0) Region().m_rcRegion = CRect{0, 0, shown.width, shown.height};
  CRect r = ClippedRegion();
  if (r.right <= r.left) return 0;
  int width = r.right - r.left, height = r.bottom - r.top;
  plat::BitmapPtr turned;
  if (code == ImageEdit::kTurnQuarter) {
    // The region's pixels as shown turn a quarter clockwise about its top-left
    // corner, and the region takes the turned shape.
    turned = TurnedRegion(gdi, shown, r);
    if (!turned) return 0;
    std::swap(width, height);
    Region().m_rcRegion = CRect{r.left, r.top, r.left + width, r.top + height};
    MapRegion(true);
    r = ClippedRegion();
  }
  plat::BitmapPtr work;
  if (code == ImageEdit::kTextLayer || code == ImageEdit::kFigure) {
    if (DrawTextIntoImage(m_doc.Image().m_pBmpFile, width, height, text) < 0) return 0;
  }
  const bool layered = code == ImageEdit::kTextLayer || code == ImageEdit::kFigure || Region().m_nPaintMode == 2;
  if (code != ImageEdit::kFillBackground && code != ImageEdit::kBackupOnly) {
    plat::BitmapPtr source = code == ImageEdit::kTurnQuarter ? std::move(turned) : CopyBufferBitmap(copy);
    if (!source) return 0;
    work = EditPicture(*this, gdi, code, *source, r, width, height);
    if (!work) return 0;
  }

  // Row by row: the old pixels into the backup, the new ones into the picture.
  const bool backup = code != ImageEdit::kPaintAgain;
  std::vector<uint8_t> saved;
  if (backup && !TryResize(saved, static_cast<size_t>(r.right - r.left) * static_cast<size_t>(r.bottom - r.top) * 3,
                                 &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 676"));
    return 0;
  }
  EditRows rows;
  rows.code = code;
  rows.layered = layered;
  rows.darken = Region().m_nLayerMode == 8 || Region().m_nLayerMode == 18;
  rows.background = plat::PixelOfColor(Solid(Image().m_ImageSettings.m_clrBackground));
  rows.key = plat::PixelOfColor(Region().m_crLayerKey);
  // The edited picture is of 24 bits, as the format pane says: what is saved is what is shown.
  if (code != ImageEdit::kBackupOnly) Image().m_pDisplayBitmap.ForEdit();
  WriteEditRows(shown, work.get(), r, rows, backup ? saved.data() : nullptr);
  // The display becomes the image, so the saved pixels' place in the display is
  // their place in the image (kBackupOnly changes nothing and keeps them only when the
  // display shows the image in place).
  const bool inPlace = code == ImageEdit::kBackupOnly ? DisplayShowsImageInPlace() : TakeDisplayAsImage();
  if (carriedCut && inPlace) {
    carriedCut->layout = Region().m_nImageLayout;
    Region().m_cutBackup = std::move(*carriedCut);
  }
  if (backup) {
    Region().m_regionBackup.rect = r;
    Region().m_regionBackup.pixels = std::move(saved);
    Region().m_regionBackup.wholeImage = false;
    Region().m_regionBackup.pastedCode = code == ImageEdit::kPaste || code == ImageEdit::kPasteKeepWhite ? static_cast<int>(code) : 0;
    Region().m_regionBackup.layout = inPlace ? Region().m_nImageLayout : 0;
  }
  // The drawing codes keep the region's new pixels as the copy for the next step.
  if (code > ImageEdit::kPaste && code != ImageEdit::kTurnQuarter && code != ImageEdit::kPasteKeepWhite && Region().m_nPaintMode != 2) BitmapToBmp(shown, r, m_doc.Image().m_pBmpFile);
  if (code == ImageEdit::kTextLayer && Region().m_nRegionCount < 3) Region().m_nPaintMode = 2;

  if (Region().m_nRegionCount == 0) {
    ImageConvertSettings& s = Image().m_ImageSettings;
    s.m_bActive = 0;
    s.m_bTransform = 0;
    s.m_nRotation = s.m_bMirror = s.m_bFlip = 0;
    if (s.m_nZoomIndex > 5) s.m_bCharMode = 4;
    s.m_nZoomIndex = 5;
    s.m_nFitTenths = 0;
  }
  Region().m_nRegionState = Region().m_nRegionState == 2 || Region().m_nRegionState == 4 ? 4 : 1;
  RepaintImage();
  SetTimer(ImageRepaintTimer(Pane().m_nPane), 10);
  Image().m_bImageDirty = 1;
  return 1;
}
