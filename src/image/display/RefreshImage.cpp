// The display pipeline: every redisplay of an image renders a work copy of the view's
// image through its ImageConvertSettings and paints the result, in separate steps
// (a pane that shows no picture reads its file again instead). The image bits are
// never changed here. Two work buffers, sized in 64 bits and capped by the "bmpdata"
// volume, alternate as source and target of the stages; a stage whose result does
// not fit keeps the rows that do.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/DibConvert.h"
#include "image/display/DisplayKernels.h"
#include "image/saving/SaveFile.h"
#include "platform/os/WorkNames.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"

namespace {

constexpr int kWorkSpare = 100000;
constexpr int kBufferBSpare = 910000;
constexpr int kStretchWidthLimit = 2999;

int DivisorOf(int zoom) { return zoom >= 5 ? 1 : 1 << (5 - std::max(zoom, 1)); }
int MultiplierOf(int zoom) { return zoom <= 5 ? 1 : 1 << (std::min(zoom, 9) - 5); }

size_t ImageBytes(const BITMAPINFOHEADER& h) {
  const int64_t bytes = DibImageBytes(h.biWidth, h.biHeight, h.biBitCount);
  return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

// The size of a stage's result along one side.
int ScaledSide(int side, int zoom, int tenths) {
  if (zoom <= 5) {
    const int64_t f = tenths == 0 ? 640 : 64 * tenths;
    return static_cast<int>(std::max<int64_t>(f / DivisorOf(zoom) * side / 640, 1));
  }
  const int64_t m = MultiplierOf(zoom) * (tenths == 0 ? 10 : tenths);
  return static_cast<int>(std::clamp<int64_t>(m * side / 10, 1, INT32_MAX));
}

// Makes rows n bytes long. Rows that must grow are made anew (the old ones go when
// that succeeded), so nothing is copied; rows long enough keep their storage.
bool FitRows(DisplayPicture::Rows& rows, size_t n, AllocHook* hook) {
  if (n <= rows.capacity()) return TryResize(rows, n, hook);
  DisplayPicture::Rows fresh;
  if (!TryResize(fresh, n, hook)) return false;
  rows = std::move(fresh);
  return true;
}

// Which stages must run: no colour stage set clears m_bActive; m_bTransform follows
// the geometric stages and m_bActive.
void ChooseStages(ImageConvertSettings& s) {
  if (!(s.m_bByDifference || s.m_bMono || s.m_bInvert || s.m_bEmphasis || s.m_bSaturationCorr || s.m_bHueCorr ||
        s.m_bBrightnessCorr || s.m_bContinuous || s.m_bIsolated || s.m_bContourCorr || s.m_bTo24 || s.m_bCutOut ||
        s.m_bToTarget)) {
    s.m_bActive = 0;
  }
  s.m_bTransform = s.m_nRotation || s.m_bFlip || s.m_bMirror || s.m_bActive ? 1 : 0;
}

// The work buffer's size for an image of imageBytes at bits per pixel, in 64 bits,
// capped by the "bmpdata" volume but never below the image. Sets m_bWork24 (and
// with it m_bTransform and m_bActive) when the stages must work at 24 bits.
int64_t WorkSize(ImageConvertSettings& s, size_t imageBytes, int bits, int bmpDataLimit) {
  const int zoom = std::clamp(s.m_nZoomIndex, 1, 9);
  int64_t work = static_cast<int64_t>(imageBytes) + kWorkSpare;
  if (zoom > 5) work = work * (int64_t{1} << (2 * (zoom - 5))) + kWorkSpare;
  s.m_bWork24 = 0;
  if (bits == 32 || bits == 16 || s.m_bTo24 || s.m_nColorPhase > 0 ||
      (bits < 24 && (s.m_nFitTenths || s.m_nRegionScope || s.m_bContourCorr || s.m_bIsolated || s.m_bContinuous))) {
    s.m_bWork24 = 1;
    if (bits != 32 && bits != 0) {
      work = work * 24 / std::max(bits, 1);
      s.m_bTransform = 1;
    }
    if (s.m_nFitTenths > 0) s.m_bActive = 1;
  }
  return std::max<int64_t>(std::min<int64_t>(work, std::max(bmpDataLimit, 0) + int64_t{kWorkSpare}),
                           static_cast<int64_t>(imageBytes));
}

// Whether the view holds a picture to render (a pane that shows none is read again by
// the reload modes instead).
bool HoldsPicture(CQelView& v) {
  return IsImageKind(v.Pane().m_nShownKind) && v.Image().m_nImageBitsSize >= 4 && v.Image().m_pImageBits;
}

}  // namespace

void CQelView::TakeDocumentImage() {
  const BITMAPINFOHEADER& h = m_doc.Image().m_bmiImage.bmiHeader;
  const size_t bytes = std::min(ImageBytes(h), static_cast<size_t>(std::max(m_doc.Image().m_nImageBitsSize, 0)));
  // The view shows the document's block itself; it keeps it when the document loads
  // the next image, and an edit gives the view bits of its own (m_imageStore).
  std::vector<uint8_t>().swap(Image().m_editedImage);
  const bool whole = m_doc.Image().m_imageStore && m_doc.Image().m_pImageBits == m_doc.Image().m_imageStore->data() &&
                     bytes > 0 && bytes <= m_doc.Image().m_imageStore->size();
  Image().m_sharedImage = whole ? m_doc.Image().m_imageStore : nullptr;
  Image().m_sourceInfo = m_doc.Image().m_bmiImage;
  Image().m_pImageInfo = reinterpret_cast<uint8_t*>(&Image().m_sourceInfo);
  Image().m_pImageBits = Image().m_sharedImage ? Image().m_sharedImage->data() : nullptr;
  Image().m_nImageBitsSize = Image().m_sharedImage ? static_cast<int>(bytes) : 0;
  Image().m_nImageWidth = h.biWidth;
  Image().m_nImageHeight = h.biHeight;
  Image().m_bSourceCut = m_doc.Image().m_bImageCut;
  ++Region().m_nImageLayout;
  Image().m_nImageOriginX = Image().m_nImageOriginY = 0;
  Image().m_nBandIndex = 0;
  // A compressed metafile's divisor does not follow it to the next picture.
  if (Image().m_nCompressDivisor != 99 && m_doc.m_strPathName != Image().m_strCompressedFile) Image().m_nCompressDivisor = 1;
  m_doc.Image().m_nImageLoadState = 2;
  RefreshImage(RefreshMode::kRender);
}

void CQelView::FitImageToWindow(RefreshMode mode) {
  ImageConvertSettings& s = Image().m_ImageSettings;
  if (mode == RefreshMode::kQuiet) s.m_nZoomIndex = m_doc.Image().m_ImageSettings.m_nZoomIndex;
  const int window = kClientWidth;
  const int image = s.m_nRotation == 1 || s.m_nRotation == 3 ? Image().m_nImageHeight : Image().m_nImageWidth;
  if (image > window && Image().m_bFitToWindow == 1) {
    const int ratio = static_cast<int>(int64_t{window} * 100 / std::max(image, 1));
    int zoom = 1, tenths = 0;
    if (ratio >= 51) {
      zoom = 5, tenths = ratio / 10;
    } else if (ratio >= 26) {
      zoom = 4, tenths = ratio * 2 / 10;
    } else if (ratio >= 13) {
      zoom = 3, tenths = ratio * 4 / 10;
    } else if (ratio >= 7) {
      zoom = 2, tenths = ratio * 8 / 10;
    }
    if (tenths < 6 && zoom > 1) {
      --zoom;
      tenths = 0;
    }
    s.m_nZoomIndex = zoom;
    s.m_nFitTenths = tenths;
  } else if (s.m_nZoomIndex != 5 || s.m_nFitTenths != 0) {
    s.m_nZoomIndex = 5;
    s.m_nFitTenths = 0;
  }
  if (mode == RefreshMode::kQuiet) {
    m_doc.Image().m_ImageSettings.m_nZoomIndex = s.m_nZoomIndex;
    m_doc.Image().m_ImageSettings.m_nFitTenths = s.m_nFitTenths;
  }
}

int CQelView::RefreshImage(RefreshMode mode, const std::string& path, int extraRows) {
  if (mode == RefreshMode::kForceReload || !HoldsPicture(*this)) {
    if (mode == RefreshMode::kReload || mode == RefreshMode::kForceReload) ReloadShownFile();
    return 0;
  }
  BITMAPINFO source;
  RenderedImage shown;
  if (!SourceImageInfo(source) || !RenderImage(source, mode, extraRows, shown)) return 0;
  PaintRendered(shown, mode, path);
  return 1;
}

void CQelView::ReloadShownFile() {
  const std::string file = Pane().m_strFileName;
  if (file.empty()) return;
  // The picture work file of a PDF or an Office file is read again at the reduction
  // the view shows.
  if (plat::IsPictureWorkFile(file) && Image().m_ImageSettings.m_nZoomIndex < 6) {
    m_doc.Image().m_ImageSettings.m_nZoomIndex = Image().m_ImageSettings.m_nZoomIndex;
  }
  // The document keeps its kind unless the file read is a picture.
  const int kind = m_doc.m_nFileKind;
  m_doc.LoadDocument(file, Pane().m_nShownForm);
  if (!IsImageKind(m_doc.m_nFileKind)) m_doc.m_nFileKind = kind;
}

bool CQelView::SourceImageInfo(BITMAPINFO& source) {
  if (!HoldsPicture(*this)) return false;
  // Settled for the source save too, so that the settings it leaves are a rendering's.
  ChooseStages(Image().m_ImageSettings);
  source = Image().m_sourceInfo;
  BITMAPINFOHEADER& h = source.bmiHeader;
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(DibColorCount(h));
  const size_t imageBytes = std::min(ImageBytes(h), static_cast<size_t>(Image().m_nImageBitsSize));
  if (imageBytes == 0) return false;
  if (h.biSizeImage == 0) h.biSizeImage = static_cast<uint32_t>(imageBytes);
  return true;
}

bool CQelView::RenderImage(const BITMAPINFO& source, RefreshMode mode, int extraRows, RenderedImage& shown) {
  ImageConvertSettings& s = Image().m_ImageSettings;
  if (Image().m_bFitToWindow > 0) {
    FitImageToWindow(mode);
    if (Image().m_bFitToWindow > 1) Image().m_bFitToWindow = 0;
  }

  const BITMAPINFOHEADER& h = source.bmiHeader;
  const size_t imageBytes = std::min(ImageBytes(h), static_cast<size_t>(Image().m_nImageBitsSize));
  const int zoom = std::clamp(s.m_nZoomIndex, 1, 9);
  const int64_t work = WorkSize(s, imageBytes, h.biBitCount, m_doc.m_nBmpDataLimit);
  BITMAPINFO& display = shown.info;
  display = source;
  const bool convert = (Region().m_nRegionCount == 0 || s.m_bTo24) &&
                       (s.m_bWork24 || s.m_bTransform || zoom != 5 || s.m_bActive || s.m_nFitTenths ||
                        s.m_nColorPhase || s.m_bCharMode);
  // The document's block is shown as it is when nothing is rendered. Otherwise the
  // result goes into the display's own rows, reused from the last rendering; the
  // work buffer is fresh zero pages, and neither is cleared before it is written.
  const bool asItIs = !convert && Image().m_sharedImage && Image().m_pImageBits == Image().m_sharedImage->data();
  DisplayPicture::Rows a, b = Image().m_pDisplayBitmap.TakeRows();
  const size_t bSize = convert ? static_cast<size_t>(work) + kBufferBSpare : asItIs ? 0 : imageBytes;
  if ((convert && !TryResize(a, static_cast<size_t>(work), &m_doc.m_allocHook)) ||
      !FitRows(b, bSize, &m_doc.m_allocHook)) {
    Image().m_pDisplayBitmap.GiveBack(std::move(b));
    AfxMessageBox(OutOfMemoryText(" 661"));
    return false;
  }
  shown.bits = b.data();
  shown.size = b.size();
  if (convert) {
    std::memcpy(a.data(), Image().m_pImageBits, imageBytes);
    if (!ConvertImage(a, b, display, s, Pane().m_nShownKind, Region().m_rcRegion)) {
      Image().m_pDisplayBitmap.reset();
      return false;
    }
  } else {
    if (asItIs) {
      shown.bits = Image().m_pImageBits;
      shown.size = imageBytes;
    } else {
      std::memcpy(b.data(), Image().m_pImageBits, imageBytes);
    }
    if (mode == RefreshMode::kCutRows && extraRows > 0 && extraRows < h.biHeight) {
      display.bmiHeader.biHeight = h.biHeight - extraRows;
      display.bmiHeader.biSizeImage = static_cast<uint32_t>(ImageBytes(display.bmiHeader));
    }
  }
  a = DisplayPicture::Rows();
  shown.size = std::min(ImageBytes(display.bmiHeader), shown.size);
  // Stages that keep the size but put pixels elsewhere (a size that changed says so itself).
  Region().m_bDisplayMoved = convert && (s.m_bMirror == 1 || s.m_bFlip == 1 || s.m_nRotation > 0 ||
                              (s.m_bActive && s.m_bTransform && s.m_bCutOut == 1));
  if (asItIs) {
    Image().m_pDisplayBitmap.ShowShared(Image().m_sharedImage, shown.bits, shown.size, display);
  } else {
    Image().m_pDisplayBitmap.ShowOwn(std::move(b), shown.size, display);
  }
  return true;
}

void CQelView::PaintRendered(RenderedImage& shown, RefreshMode mode, const std::string& path) {
  if (mode != RefreshMode::kQuiet) ShowImageStatus(0);
  if (mode == RefreshMode::kWriteBmp) ReplaceFileWith(path, BuildBmpFile(shown.bits, shown.info));
  const bool keepScroll = mode == RefreshMode::kKeepScroll;
  if (keepScroll) {
    ++m_doc.m_nLockUpdateDepth;
    if (g_pMainFrame) g_pMainFrame->Ui().LockWindowUpdate(Pane().m_nPane);
  }
  PaintImage(shown.bits, shown.size, shown.info, keepScroll ? 3 : 0);
  if (keepScroll && --m_doc.m_nLockUpdateDepth <= 0) {
    m_doc.m_nLockUpdateDepth = 0;
    if (g_pMainFrame) g_pMainFrame->Ui().LockWindowUpdate(0);
  }
  SetTimer(ImageRepaintTimer(Pane().m_nPane), 10);
}

int CQelView::ConvertImage(uint8_t* aBits, size_t aSize, uint8_t* bBits, size_t bSize, BITMAPINFO& info,
                           ImageConvertSettings s, int kind, CRect region) {
  const int zoom = std::clamp(s.m_nZoomIndex, 1, 9);
  const int divisor = DivisorOf(zoom), multiplier = MultiplierOf(zoom);
  if (!s.m_bActive) s.m_bCutOut = s.m_bNoColorOnCut = 0;
  if (!s.m_bCutOut) s.m_bNoColorOnCut = 0;
  // The current image is in `cur`; a stage writes `next` and the two swap.
  DibBlock a{aBits, aSize}, b{bBits, bSize};
  DibBlock* cur = &a;
  DibBlock* next = &b;
  const auto in = [&] { return *cur; };
  const auto out = [&] { return *next; };
  const auto swap = [&] { std::swap(cur, next); };
  BITMAPINFOHEADER& h = info.bmiHeader;
  bool widened = false;

  if (h.biBitCount == 32 || h.biBitCount == 16 ||
      ((s.m_bActive || s.m_nColorPhase == -2) && s.m_bWork24 && h.biBitCount < 24)) {
    const int got = ConvertDibTo24(cur->bits, next->bits, &info, static_cast<int>(std::min<size_t>(cur->size, INT32_MAX)),
                                   static_cast<int>(std::min<size_t>(next->size, INT32_MAX)));
    if (got <= 0) return 0;
    widened = true;
    swap();
  }
  if (s.m_nColorPhase > 0 && h.biBitCount == 24) {
    if (!ColorPhaseKernel(in(), out(), info, s.m_nColorPhase)) return 0;
    swap();
  }
  if (s.m_bMirror == 1) {
    if (!MirrorKernel(in(), out(), info)) return 0;
    swap();
  }
  if (s.m_bFlip == 1) {
    if (!FlipKernel(in(), out(), info)) return 0;
    swap();
  }
  if (s.m_nRotation > 0) {
    if (!RotateImage(in(), out(), info, s.m_nRotation)) return 0;
    swap();
  }
  const int tenths = s.m_nFitTenths;
  if (!(zoom == 5 && (tenths < 1 || tenths > 9) && s.m_bCharMode == 0)) {
    const int width = ScaledSide(h.biWidth, zoom, tenths), height = ScaledSide(h.biHeight, zoom, tenths);
    const bool pattern = h.biBitCount < 24 || width > kStretchWidthLimit || Pane().m_nShownForm != 0;
    bool done;
    if (pattern && zoom <= 5) {
      done = ScaleImagePattern(in(), out(), info, divisor, tenths, width, height);
    } else if (pattern) {
      done = EnlargeImage(in(), out(), info, multiplier, tenths, width, height);
    } else {
      done = FillStretchKernel(cur->bits, cur->size, info, width, height, 0, next->bits, next->size) >= 0;
    }
    if (!done) return 0;
    swap();
  }
  if (s.m_bTransform == 1) {
    if ((s.m_bActive == 1 || s.m_nColorPhase == -2) && s.m_bNoColorOnCut == 0) {
      if (AdjustColors(in(), out(), info, s, region, Region().m_ptClick) == 1) swap();
    }
    if (s.m_bCutOut == 1) {
      if (!CropToRegion(in(), out(), info, region, widened ? divisor : 1)) return 0;
      swap();
    }
  }
  if (s.m_bActive && h.biBitCount == 24 && s.m_bContourCorr && s.m_bTransform && s.m_nContour != 0) {
    if (!ContourKernel(in(), out(), info, s.m_nContour, region)) return 0;
    swap();
  }
  (void)kind;
  // The result ends in b, its height bounded by b and the "bmpdata" volume.
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  if (stride <= 0) return 0;
  const int64_t limit = std::min<int64_t>(static_cast<int64_t>(b.size), std::max(m_doc.m_nBmpDataLimit, 0));
  h.biHeight = static_cast<int32_t>(std::min<int64_t>(h.biHeight, limit / stride));
  if (h.biHeight <= 0) return 0;
  h.biSizeImage = static_cast<uint32_t>(stride * h.biHeight);
  if (cur != &b) std::memcpy(b.bits, cur->bits, h.biSizeImage);
  return 1;
}

int CQelView::FillStretchKernel(const uint8_t* bits, size_t size, BITMAPINFO& info, int width, int height,
                                int /*code*/, uint8_t* out, size_t outSize) {
  BITMAPINFOHEADER& h = info.bmiHeader;
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(DibColorCount(h));
  if (!g_pMainFrame || width <= 0 || height <= 0) return -1;
  plat::GdiHost& gdi = g_pMainFrame->Ui().Gdi();
  const plat::BitmapPtr source =
      gdi.CreateDIBitmap(reinterpret_cast<const uint8_t*>(&info), sizeof info, bits, size);
  if (!source) return -1;
  // Enlarging by less than two, or equal heights in paint mode 2, goes through a
  // bitmap twice as large that a half-tone reduction brings back.
  const bool twice = (height > source->height && height < 2 * source->height) ||
                     (Region().m_nPaintMode == 2 && height == source->height);
  const int factor = twice ? 2 : 1;
  plat::BitmapPtr target = gdi.CreateCompatibleBitmap(width * factor, height * factor);
  if (!target) return -1;
  const bool smaller = width < source->width || height < source->height;
  int mode = plat::COLORONCOLOR;
  if (smaller) {
    const int charMode = Image().m_ImageSettings.m_bCharMode;
    mode = charMode <= 1 ? plat::HALFTONE : charMode == 2 ? plat::BLACKONWHITE
                                          : charMode == 3 ? plat::WHITEONBLACK
                                                          : plat::COLORONCOLOR;
  }
  plat::StretchBlt(*target, 0, 0, target->width, target->height, *source, 0, 0, source->width, source->height,
                   mode);
  if (twice) {
    plat::BitmapPtr reduced = gdi.CreateCompatibleBitmap(width, height);
    if (!reduced) return -1;
    plat::StretchBlt(*reduced, 0, 0, width, height, *target, 0, 0, target->width, target->height, plat::HALFTONE);
    target = std::move(reduced);
  }
  target->sourceBits = source->sourceBits;
  target->palette = source->palette;
  const int64_t bytes = DibImageBytes(width, height, h.biBitCount);
  if (bytes <= 0 || static_cast<size_t>(bytes) > outSize) return -1;
  BITMAPINFO result = info;
  const int lines = plat::GetDIBits(*target, 0, height, out, outSize, reinterpret_cast<uint8_t*>(&result),
                                    sizeof result);
  if (lines <= 0) return -1;
  result.bmiHeader.biXPelsPerMeter = h.biXPelsPerMeter;
  result.bmiHeader.biYPelsPerMeter = h.biYPelsPerMeter;
  info = result;
  return lines;
}
