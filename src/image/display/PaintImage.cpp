// Painting a rendered image over the text pane: the display bitmap is made from the
// DIB (in bands when the host cannot make it whole), the pane's client area is
// filled with the background colour and the bitmap copied at the scroll offset.
// Also the image status line and the pixel read-out under the pointer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ViewImageState.h"
#include "image/saving/SaveFile.h"
#include "view/QelView.h"

namespace {

constexpr int kCreateAttempts = 20;
constexpr int kBandStep = 400;
constexpr int kMinBandRows = 400;
constexpr COLORREF kBandStripColor = RGB(128, 255, 255);

void SetStatus(int pane, const std::string& text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(pane, text);
}

std::string Format(const char* format, auto... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

void CQelView::PaintImage(const uint8_t* bits, size_t size, BITMAPINFO& info, int mode) {
  BITMAPINFOHEADER& h = info.bmiHeader;
  if (mode == 0) Image().m_nImageOriginX = Image().m_nImageOriginY = 0;
  Image().m_nPaintWidth = h.biWidth;
  Image().m_nPaintHeight = h.biHeight;
  Image().m_nPaintBits = h.biBitCount;
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(DibColorCount(h));

  // The rows stay held while a picture object is made of them; the display is let go.
  DisplayPicture held = std::exchange(Image().m_pDisplayBitmap, DisplayPicture{});
  if (ShowPictureObjectBand(bits, size, info)) return;
  Image().m_pDisplayBitmap = std::move(held);
  const std::string blank = ImageScrollText(h);
  if (Text().GetText() != blank) Text().SetText(blank);
  Text().SetSel(0, 0);

  // The picture, in bands of fewer rows when the host would not make a bitmap of
  // the whole. It is painted from the rendered rows; no bitmap is made of them here.
  if (!Image().m_pDisplayBitmap.Holds(bits) && !Image().m_pDisplayBitmap.ShowCopy(bits, size, info, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 667"));
    return;
  }
  if (!Image().m_pDisplayBitmap.Holds(bits)) bits = Image().m_pDisplayBitmap.Block();
  plat::GdiHost unlimited;
  plat::GdiHost& gdi = g_pMainFrame ? g_pMainFrame->Ui().Gdi() : unlimited;
  const int height = h.biHeight;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  int band = height;
  int attempts = 0;
  bool shown = false;
  Image().m_hImageBitmap = 0;
  Image().m_nBandTop = 0;
  for (; attempts < kCreateAttempts && !shown && stride > 0; ++attempts) {
    if (attempts > 0) band = std::max((band / kBandStep) * kBandStep - kBandStep, kMinBandRows);
    band = std::min(band, height);
    const int bands = (height + band - 1) / band;
    // The band index selects the band from the top; one past the end shows the last.
    int index = Image().m_nBandIndex % 1000;
    if (index >= bands) index = bands - 1;
    const int top = index * band;
    const int rows = std::min(band, height - top);
    if (index == bands - 1 && bands > 1) Image().m_nBandIndex = index + 1000;
    // Rows from the top are the DIB's last ones: the band starts (height - top - rows) rows in.
    if (static_cast<size_t>(stride) * static_cast<size_t>(height - top - rows) > size) continue;
    // The band height is what the host must admit, so that every band can be shown.
    if (!gdi.Admit(h.biWidth, band)) continue;
    Image().m_pDisplayBitmap.SelectBand(bits, size, info, top, rows);
    Image().m_nBandTop = top;
    shown = true;
  }
  if (!shown) {
    Image().m_pDisplayBitmap.reset();
    AfxMessageBox(IDS_IMAGE_CANNOT_SHOW);
    KillTimer(ImageRepaintTimer(Pane().m_nPane));
    return;
  }
  Image().m_hImageBitmap = reinterpret_cast<uintptr_t>(&Image().m_pDisplayBitmap);
  if (attempts > 1 && g_pStatusBar) {
    SetStatus(0, Format("(%d - %d)lines of ", Image().m_nBandTop + 1, Image().m_nBandTop + Image().m_pDisplayBitmap.Height()) +
                     g_pStatusBar->GetPaneText(0) + "  (Push Ctrl+PageUp/Dn to move)");
  }
  RepaintImage();
  if (mode == 0) {
    SetTimer(Pane().m_nPane == 0 ? kTimerFirstPaneRepaint : ImageRepaintTimer(Pane().m_nPane), Pane().m_nPane == 0 ? 100 : 1000);
    const int marker = Image().m_ImageSettings.m_nScrollMarker;
    if (marker > 9) ScrollImageTo((marker / 10) % 10 * 100, marker / 100 * 100);
  }
}

// The control holds a blank text as large as the picture, so that it scrolls.
std::string CQelView::ImageScrollText(const BITMAPINFOHEADER& h) const {
  std::string blank(static_cast<size_t>(std::max(h.biWidth / 4 + 2, 0)), ' ');
  const std::string close = m_doc.m_bAsciiFixed ? "." : "\x81\x40";
  blank += close;
  blank.append(static_cast<size_t>(std::max(h.biHeight / 20 + 2, 0)), '\n');
  blank += close;
  return blank;
}

void CQelView::RepaintImage(bool overlay) {
  if (Pane().m_paneSurface.width != kClientWidth || Pane().m_paneSurface.height != kClientHeight) {
    Pane().m_paneSurface.width = kClientWidth;
    Pane().m_paneSurface.height = kClientHeight;
    Pane().m_paneSurface.pixels.assign(static_cast<size_t>(kClientWidth) * kClientHeight, 0);
  }
  plat::FillRect(Pane().m_paneSurface, CRect{0, 0, kClientWidth, kClientHeight}, m_doc.m_clrTextBack);
  if (!IsImageKind(Pane().m_nShownKind)) return PaintTextPane();
  if (Image().m_pDisplayBitmap) {
    // A first band of a tall image is marked below by a light cyan strip.
    const int height = Image().m_pDisplayBitmap.Height();
    if (Image().m_nBandTop == 0 && height < Image().m_nPaintHeight && Image().m_nPaintHeight > 1000) {
      plat::FillRect(Pane().m_paneSurface, CRect{0, height - Image().m_nImageOriginY, kClientWidth, kClientHeight}, kBandStripColor);
    }
    Image().m_pDisplayBitmap.PaintTo(Pane().m_paneSurface, 0, 0, kClientWidth, kClientHeight, Image().m_nImageOriginX, Image().m_nImageOriginY);
  } else if (const plat::BitmapPtr object = PictureObjectBitmap()) {
    plat::BitBlt(Pane().m_paneSurface, 0, 0, kClientWidth, kClientHeight, *object, Image().m_nImageOriginX, Image().m_nImageOriginY);
  } else {
    return PaintTextPane();
  }
  if (overlay) DrawImageOverlay();
}

void CQelView::ScrollImageTo(int x, int y) {
  int width = Image().m_pDisplayBitmap.Width(), height = Image().m_pDisplayBitmap.Height();
  if (!Image().m_pDisplayBitmap) {
    if (const plat::BitmapPtr object = PictureObjectBitmap()) width = object->width, height = object->height;
  }
  Image().m_nImageOriginX = std::clamp(x, 0, std::max(width - kClientWidth, 0));
  Image().m_nImageOriginY = std::clamp(y, 0, std::max(height - kClientHeight, 0));
  RepaintImage();
}

void CQelView::ShowImageStatus(int order) {
  if (Image().m_nCompressDivisor == 99) {
    Image().m_nCompressDivisor = 1;
    return;
  }
  const BITMAPINFOHEADER* h = &Image().m_sourceInfo.bmiHeader;
  const ImageConvertSettings& s = Image().m_ImageSettings;
  const int zoom = std::clamp(s.m_nZoomIndex, 1, 9);
  const int divisor = zoom >= 5 ? 1 : 1 << (5 - zoom), multiplier = zoom <= 5 ? 1 : 1 << (zoom - 5);
  const bool over = Pane().m_nShownKind == kKindBmp && Image().m_bSourceCut;
  const std::string size = Format(over ? "W%d x H(%d)Over! x %dbits " : "W%d x H%d x %dbits ", h->biWidth,
                                  h->biHeight, h->biBitCount);
  std::string zoomPart;
  if (s.m_nFitTenths > 0) {
    zoomPart = Format(" x%d%%", zoom <= 5 ? s.m_nFitTenths * 10 / divisor : s.m_nFitTenths * 10 * multiplier);
  } else {
    zoomPart = zoom > 5 ? Format(" x %d", multiplier) : Format(" 1/%d", divisor);
  }
  std::string text = order == 1 && zoom != 5 ? zoomPart + "   " + size : size + zoomPart;
  static const char* const kRotation[] = {"", "  + 90deg", "  +180deg", "  +270deg"};
  text += kRotation[s.m_nRotation & 3];
  if (Image().m_nCompressDivisor > 1) text += Format("  (compressed  1/%d )", Image().m_nCompressDivisor);
  if (Pane().m_nShownForm == 0 && m_doc.m_nQuietState == 0) SetStatus(0, text);
}

void CQelView::ShowPixelInfo(int useStored, int x, int y) {
  if (x < 0 || y < 0 || x >= Pane().m_paneSurface.width || y >= Pane().m_paneSurface.height) return;
  const COLORREF color = plat::ColorOfPixel(Pane().m_paneSurface.At(x, y));
  Image().m_crPixel = color;
  if (useStored == 1) Image().m_ImageSettings.m_clrPicked = color;
  const int r = color & 255, g = color >> 8 & 255, b = color >> 16 & 255;
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const int lum = (100 * (mx + mn) + 255) / 510;
  const int p = 5 * (2 * r - g - b), q = 173 * (g - b) / 20;
  int chroma = static_cast<int>((std::sqrt(double(p) * p + double(q) * q) * 100 + 1275) / 2550);
  if (chroma == 99) chroma = 100;
  double hue = std::atan2(double(q), double(p)) * 57.32484076433121;
  if (hue < 0) hue += 360;
  int sx = Image().m_nImageOriginX, sy = Image().m_nImageOriginY;
  if (Image().m_ImageSettings.m_nFitTenths >= 7 && Image().m_ImageSettings.m_nFitTenths <= 9) {
    sx = sx * Image().m_ImageSettings.m_nFitTenths / 10;
    sy = sy * Image().m_ImageSettings.m_nFitTenths / 10;
  }
  std::string text;
  if (Image().m_bImageDirty == 1) {
    text = Format("XY=(% 04d,% 04d)  RGB=(%03d,%03d,%03d)  YCP=(%03d%%,%03d%%, %03.fdeg )", x + sx, y + sy, r, g, b, lum, chroma, hue);
  }
  text += RegionMeasures();
  SetStatus(0, text);
}

bool CQelView::ReadDisplayDib(BITMAPINFO& info, std::vector<uint8_t>& bits) const {
  return Image().m_pDisplayBitmap.ReadDib(info, bits, &m_doc.m_allocHook);
}

bool CQelView::SaveDisplayPng(const std::string& path) {
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  if (!Image().m_pDisplayBitmap) {
    ShowCannotCreate(path, "no image is shown");
    return false;
  }
  if (!ReadDisplayDib(info, bits)) {
    AfxMessageBox(OutOfMemoryText(" 677"));
    return false;
  }
  return m_doc.WritePng(bits.data(), &info, path) > 0;
}

bool CQelView::SavePanePng(const std::string& path) {
  PreparePaneSurface();
  BITMAPINFO info{};
  info.bmiHeader.biBitCount = 24;
  std::vector<uint8_t> bits(static_cast<size_t>(DibImageBytes(kClientWidth, kClientHeight, 24)));
  if (plat::GetDIBits(Pane().m_paneSurface, 0, kClientHeight, bits.data(), bits.size(), reinterpret_cast<uint8_t*>(&info),
                      sizeof info) <= 0) {
    return false;
  }
  return m_doc.WritePng(bits.data(), &info, path) > 0;
}
