// The image region: its two coordinate spaces, the corner picks and the undo of an
// edit. The region is kept in display pixels (client point plus scroll position),
// half-open: [left, right) x [top, bottom); every pixel operation clips it to the
// display picture first, so a region that reaches past the picture edits only what
// lies inside.
#include <algorithm>
#include <cstring>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "view/QelView.h"

namespace {

int64_t ScreenFromImage(int64_t v, int zoom, int tenths) {
  if (zoom < 6) return v * tenths / (int64_t{1} << (5 - zoom)) / 10;
  return v * tenths * (int64_t{1} << (zoom - 5)) / 10;
}

int64_t ImageFromScreen(int64_t v, int zoom, int tenths) {
  if (zoom < 5) return v * ((int64_t{1} << (5 - zoom)) * 10) / tenths;
  if (zoom == 5) return v;
  return v * 10 / ((int64_t{1} << (zoom - 5)) * 10);
}

bool SameRect(const CRect& a, const CRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

int Clamp32(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

void CQelView::MapRegion(bool toImage) {
  const int zoom = std::clamp(Image().m_ImageSettings.m_nZoomIndex, 1, 9);
  const int tenths = Image().m_ImageSettings.m_nFitTenths < 1 ? 10 : Image().m_ImageSettings.m_nFitTenths;
  const CRect& from = toImage ? Region().m_rcRegion : Region().m_rcRegionImage;
  CRect& to = toImage ? Region().m_rcRegionImage : Region().m_rcRegion;
  const auto map = [&](int v) {
    if (v < 0) return v;  // an unset side stays unset
    return Clamp32(toImage ? ImageFromScreen(v, zoom, tenths) : ScreenFromImage(v, zoom, tenths));
  };
  to = CRect{map(from.left), map(from.top), map(from.right), map(from.bottom)};
}

void CQelView::SetRegionPointAt(int x, int y, int readOut) {
  const CPoint p{x + Image().m_nImageOriginX, y + Image().m_nImageOriginY};
  if (m_doc.Image().m_ptLastClick.x == -1 && m_doc.Image().m_ptLastClick.y == -1) m_doc.Image().m_ptLastClick = CPoint{0, 0};
  if (readOut == 1) {
    m_doc.Image().m_ptLastClick = p;
    Image().m_bImageDirty = 1;
    ShowPixelInfo(1, x, y);
  }
  switch (Region().m_nRegionPickState) {
    case 1:
    case 11:
      Region().m_ptRegionClick = p;
      Region().m_rcRegion.left = p.x;
      Region().m_rcRegion.top = p.y;
      Region().m_nRegionPickState = Region().m_nRegionPickState == 1 ? 2 : 0;
      break;
    case 2:
    case 12:
      Region().m_rcRegion.right = p.x;
      Region().m_rcRegion.bottom = p.y;
      Region().m_nRegionPickState = 0;
      break;
    case 3:
    case 13:
      m_doc.Image().m_ptLastClick2 = p;
      if (Image().m_ImageSettings.m_bActive) {
        RefreshImage(RefreshMode::kKeepScroll);
        Image().m_bImageDirty = 1;
        Region().m_nRegionPickState = 0;
      } else if (Region().m_nRegionPickState == 13) {
        Region().m_nRegionPickState = 0;
      }
      break;
    default: break;
  }
}

bool CQelView::IsActiveImagePane() const { return m_doc.m_nActivePane == 0 || m_doc.m_nActivePane == Pane().m_nPane; }

CRect CQelView::ClippedRegion() const {
  if (!Image().m_pDisplayBitmap) return CRect{};
  CRect r{std::min(Region().m_rcRegion.left, Region().m_rcRegion.right), std::min(Region().m_rcRegion.top, Region().m_rcRegion.bottom),
          std::max(Region().m_rcRegion.left, Region().m_rcRegion.right), std::max(Region().m_rcRegion.top, Region().m_rcRegion.bottom)};
  r.left = std::clamp(r.left, 0, Image().m_pDisplayBitmap->width);
  r.right = std::clamp(r.right, 0, Image().m_pDisplayBitmap->width);
  r.top = std::clamp(r.top, 0, Image().m_pDisplayBitmap->height);
  r.bottom = std::clamp(r.bottom, 0, Image().m_pDisplayBitmap->height);
  if (r.right <= r.left || r.bottom <= r.top) return CRect{};
  return r;
}

bool CQelView::DisplayShowsImageInPlace() const {
  return Image().m_pDisplayBitmap && !Region().m_bDisplayMoved && Image().m_pDisplayBitmap->width == Image().m_nImageWidth &&
         Image().m_pDisplayBitmap->height == Image().m_nImageHeight;
}

bool CQelView::TakeDisplayAsImage() {
  if (!Image().m_pDisplayBitmap) return false;
  const bool moved = !DisplayShowsImageInPlace();
  BITMAPINFO info{};
  info.bmiHeader.biSize = kDibHeaderSize;
  info.bmiHeader.biBitCount = 24;
  const int64_t bytes = DibImageBytes(Image().m_pDisplayBitmap->width, Image().m_pDisplayBitmap->height, 24);
  std::vector<uint8_t> bits;
  if (bytes <= 0 || !TryResize(bits, static_cast<size_t>(bytes) + kDibSpareBytes, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 670"));
    return false;
  }
  if (plat::GetDIBits(*Image().m_pDisplayBitmap, 0, Image().m_pDisplayBitmap->height, bits.data(), bits.size(),
                      reinterpret_cast<uint8_t*>(&info), sizeof info) <= 0) {
    return false;
  }
  info.bmiHeader.biXPelsPerMeter = info.bmiHeader.biYPelsPerMeter = kDibPixelsPerMeter;
  Image().m_editedImage = std::move(bits);
  Image().m_sourceInfo = info;
  Image().m_pImageInfo = reinterpret_cast<uint8_t*>(&Image().m_sourceInfo);
  Image().m_pImageBits = Image().m_editedImage.data();
  Image().m_nImageBitsSize = static_cast<int>(bytes);
  Image().m_nImageWidth = info.bmiHeader.biWidth;
  Image().m_nImageHeight = info.bmiHeader.biHeight;
  Image().m_nPaintBits = 24;
  std::memcpy(Image().m_bmiSource.data(), &info, kDibHeaderSize);
  std::memcpy(Image().m_bmiDisplay.data(), &info, kDibHeaderSize);
  if (moved) ++Region().m_nImageLayout;
  Region().m_bDisplayMoved = false;
  return true;
}

void CQelView::RestoreRegionPixels() {
  if (!IsActiveImagePane() || !Image().m_pDisplayBitmap) return;
  RegionBackup& b = Region().m_regionBackup;
  // A cut goes back where its pixels were taken, whatever region was marked or
  // edited since and whatever zoom shows it; the edits' saved pixels are spent with it.
  if (Region().m_nRegionState == 2) {
    if (PutPixelsBack(Region().m_cutBackup)) {
      Region().m_rcRegionImage = Region().m_cutBackup.rect;
      MapRegion(false);
    }
    Region().m_cutBackup = RegionBackup{};
    b = RegionBackup{};
    Region().m_nRegionCount = 0;
    Region().m_nRegionState = 0;
    if (Region().m_nPaintMode > 1) Region().m_nPaintMode = 0;
    Region().m_nEditStep = 0;
    return;
  }
  if (Region().m_nRegionState == 3 && b.wholeImage) {
    const CRect region = Region().m_rcRegion;
    const std::vector<uint8_t> whole = std::move(b.pixels);
    b = RegionBackup{};
    if (ResizeImageBuffer(whole) == 0) Region().m_nRegionState = 0;
    Region().m_rcRegion = region;
    return;
  }
  PutBackupPixels();
}

void CQelView::PutBackupPixels() { PutPixelsBack(Region().m_regionBackup); }

bool CQelView::PutPixelsBack(const RegionBackup& b) {
  // The saved rows go into the view's image where they were taken, and the display
  // is rendered again from it at its zoom; an image whose pixels have moved since
  // (another picture, a crop, an edit of a zoomed display) has no place for them.
  const BITMAPINFOHEADER& h = Image().m_sourceInfo.bmiHeader;
  const CRect& r = b.rect;
  if (b.wholeImage || b.layout != Region().m_nImageLayout || !Image().m_pImageBits || Image().m_pImageBits != Image().m_editedImage.data() ||
      h.biBitCount != 24 || r.left < 0 || r.top < 0 ||
      r.right <= r.left || r.bottom <= r.top || r.right > h.biWidth || r.bottom > h.biHeight) {
    return false;
  }
  const size_t rowBytes = static_cast<size_t>(r.right - r.left) * 3;
  const int64_t stride = DibStride(h.biWidth, 24);
  if (b.pixels.size() < rowBytes * static_cast<size_t>(r.bottom - r.top) ||
      stride * h.biHeight > Image().m_nImageBitsSize) {
    return false;
  }
  for (int y = r.top; y < r.bottom; ++y) {
    std::memcpy(Image().m_pImageBits + (h.biHeight - 1 - y) * stride + int64_t{r.left} * 3,
                b.pixels.data() + static_cast<size_t>(y - r.top) * rowBytes, rowBytes);
  }
  RefreshImage(RefreshMode::kKeepScroll);
  SetTimer(ImageRepaintTimer(Pane().m_nPane), 10);
  return true;
}

bool CQelView::OnImageEditClick(CPoint point) {
  if (!Image().m_pDisplayBitmap) return false;
  const int x = point.x + Image().m_nImageOriginX, y = point.y + Image().m_nImageOriginY;
  // A press on the block just pasted (its region unchanged since) picks it up; the
  // click still picks the point for the read-out and the corner commands.
  const RegionBackup& pasted = Region().m_regionBackup;
  const CRect& at = pasted.rect;
  Region().m_ptBlockDragFrom = CPoint{-1, -1};
  if (pasted.pastedCode != 0 && !pasted.wholeImage && Region().m_nPaintMode == 0 && Region().m_nRegionPickState == 0 &&
      Image().m_ImageSettings.m_nRegionScope != 2 && SameRect(ClippedRegion(), at) && x >= at.left && x < at.right && y >= at.top &&
      y < at.bottom) {
    Region().m_ptBlockDragFrom = CPoint{x, y};
    return false;
  }
  if (Region().m_nPaintMode == 1) {
    if (x < 0 || y < 0 || x >= Image().m_pDisplayBitmap->width || y >= Image().m_pDisplayBitmap->height) return false;
    // The first paint copies the picture as it was; later ones paint over it.
    if (Region().m_nRegionState == 0) {
      CopyRegion();
      ApplyImageEdit(ImageEdit::kPaintFirst, "");
    } else {
      ApplyImageEdit(ImageEdit::kPaintAgain, "");
    }
    Region().m_nRegionState = 1;
    return true;
  }
  // Region mode waiting for clicks: the first corner, then the second.
  if (Region().m_nRegionPickState == 0 && Image().m_ImageSettings.m_nRegionScope == 2) Region().m_nRegionPickState = 1;
  if (Region().m_nRegionPickState == 0) return false;
  const int state = Region().m_nRegionPickState;
  SetRegionPointAt(point.x, point.y, 1);
  if (state == 2 || state == 12) {
    Image().m_ImageSettings.m_nRegionScope = 1;
    MapRegion(true);
  } else if (state == 1) {
    Region().m_rcRegion.right = Region().m_rcRegion.bottom = -1;
  }
  RepaintImage();
  return true;
}

void CQelView::DragPastedBlock(CPoint point) {
  const CRect r = Region().m_regionBackup.rect;
  const int width = r.right - r.left, height = r.bottom - r.top;
  const int code = Region().m_regionBackup.pastedCode;
  if (!Image().m_pDisplayBitmap || code == 0 || width <= 0 || height <= 0) return;
  // The block follows the pointer and stays inside the picture.
  const int left = std::clamp(r.left + point.x + Image().m_nImageOriginX - Region().m_ptBlockDragFrom.x, 0, Image().m_pDisplayBitmap->width - width);
  const int top = std::clamp(r.top + point.y + Image().m_nImageOriginY - Region().m_ptBlockDragFrom.y, 0, Image().m_pDisplayBitmap->height - height);
  if (left == r.left && top == r.top) return;
  Region().m_ptBlockDragFrom.x += left - r.left;
  Region().m_ptBlockDragFrom.y += top - r.top;
  // What the block covered comes back, and the copy is pasted at the new place.
  PutBackupPixels();
  Region().m_rcRegion = CRect{left, top, left + width, top + height};
  MapRegion(true);
  ApplyImageEdit(static_cast<ImageEdit>(code), "");
  Image().m_bImageDirty = 1;
}
