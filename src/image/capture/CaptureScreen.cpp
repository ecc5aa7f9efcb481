// Screen capture: the view's own display paged through its scroll positions (code
// 0), the desktop (1), a clicked window with a numbered name (2) or a chosen name
// (40), and a timed series of a clicked window (41). Every road ends in
// GrabWindowImage, which copies a screen rectangle into a 24-bit DIB and writes it
// through the document's image writers. Waits are on the program clock over the
// virtual desktop and on the wall clock over a real X server, where the user needs
// real time to click and a series its real intervals; a wait for the user's window
// ends after a time limit or on Esc, and the frame is restored whatever happened.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "base/AsciiCase.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "image/saving/ImageSaveFormats.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "view/QelView.h"

namespace {

constexpr uint64_t kForegroundWaitLimitMs = 60000;
constexpr int kMaxSeriesCount = 9000;
constexpr int kMaxSeriesInterval = 10000;
constexpr int kMinGrabHeight = 51;

plat::UiHost* Ui() { return g_pMainFrame ? &g_pMainFrame->Ui() : nullptr; }

// A region is set when its corners span something; the empty rectangle a view
// starts with is no region.
bool RegionSet(const CRect& r) { return r.left >= 0 && r.right > r.left && r.bottom > r.top; }

bool RealScreen() { return Ui() && Ui()->GetScreen().UsesX(); }

// Milliseconds on the clock the waits run on.
uint64_t ClockMs() {
  if (RealScreen()) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
  }
  return Ui() ? Ui()->NowMs() : 0;
}

// The program clock moves on in both cases, so its timers see the time pass.
void WaitMs(uint64_t ms) {
  if (RealScreen()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  if (plat::UiHost* ui = Ui()) ui->Advance(ms);
}

// The image writer of a capture's extension, a ".jpeg" name at the high quality;
// none for one a capture does not write (a GIF or TIFF would get another format's
// bytes under its name; a PDF is the data screen's JPEG wrapped afterwards).
std::optional<ImageSaveCode> SaveCodeOfName(const std::string& name) {
  const std::optional<ImageSaveCode> code = SaveCodeForTarget(name);
  if (!code) return std::nullopt;
  switch (SaveFormat(*code).writer) {
    case ImageWriter::kPdf: return std::nullopt;
    case ImageWriter::kJpeg: return JpegCodeForName(name);
    default: return code;
  }
}

// A failure's reason on the message road (text UTF-8, the name CP932 as chosen).
void Refuse(const std::string& name, const std::string& why) {
  AfxMessageBox((name.empty() ? std::string() : plat::ShownPath(name) + ": ") + plat::Utf8ToCp932Lossy(why));
}

// The next numbered name of a capture from the list: "shot07" gives "shot08",
// a name without such a number gets "TMP01". An existing name steps on.
std::string NextNumberedName(const std::string& name) {
  std::string base = CQelDoc::GetPathPart(name, PathPart::kWithoutExtension);
  int n = 0;
  if (base.size() >= 2 && isdigit(static_cast<unsigned char>(base[base.size() - 1])) &&
      isdigit(static_cast<unsigned char>(base[base.size() - 2]))) {
    n = (base[base.size() - 2] - '0') * 10 + (base[base.size() - 1] - '0');
  }
  if (n > 0) {
    base.resize(base.size() - 2);
  } else {
    base += "TMP";
    n = 0;
  }
  for (int next = n + 1; next < 100; ++next) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02d", next);
    const std::string candidate = base + digits + ".png";
    if (!plat::Exists(candidate)) return candidate;
  }
  return "";
}

// A series' pictures and their interval from the marker after the last "#" of the
// base name ("#5s1000m": 5 seconds, one picture each 1,000 ms); 10 a second without one.
struct SeriesPlan {
  int count = 10;
  int interval = 1000;
};

SeriesPlan PlanSeries(const std::string& base) {
  SeriesPlan plan;
  const size_t hash = base.rfind('#');
  if (base.size() > 5 && hash != std::string::npos && hash > 0) {
    size_t i = hash + 1;
    int64_t a = 0, b = 0;
    while (i < base.size() && isdigit(static_cast<unsigned char>(base[i])) && a < 1000000) a = a * 10 + (base[i++] - '0');
    ++i;
    while (i < base.size() && isdigit(static_cast<unsigned char>(base[i])) && b < 1000000) b = b * 10 + (base[i++] - '0');
    // A second number of 0 (or none) would divide by zero: the defaults stay.
    if (b > 0) {
      plan.count = static_cast<int>(std::min<int64_t>(a * 1000 / b, kMaxSeriesCount));
      plan.interval = static_cast<int>(std::min<int64_t>(b, kMaxSeriesInterval));
    }
  }
  return plan;
}

// Picture n of a series: base "_%04d." and the chosen name's extension as written.
std::string SeriesName(const std::string& name, int n) {
  char file[16];
  std::snprintf(file, sizeof file, "_%04d.", n);
  return CQelDoc::GetPathPart(name, PathPart::kWithoutExtension) + file + CQelDoc::GetPathPart(name, PathPart::kExtension);
}

// A series writes its numbered pictures, never the chosen name itself: the question
// is asked once, about the first picture of the series that is there already.
bool ConfirmSeriesOverwrite(const std::string& name) {
  const std::string base = CQelDoc::GetPathPart(name, PathPart::kWithoutExtension);
  const int count = PlanSeries(base).count;
  for (int n = 1; n <= count; ++n) {
    const std::string file = SeriesName(name, n);
    if (plat::Exists(file)) return ConfirmOverwrite(file) != 0;
  }
  return true;
}

// Why a chosen name cannot take this capture ("" when it can): a format the
// captures do not write, a series marker that gives no pictures.
std::string RefusedTarget(const std::string& name, int code) {
  const std::string ext = CQelDoc::GetPathPart(name, PathPart::kExtension);
  if (AsciiLowerCopy(ext) == "pdf") return "";  // the data screen writes one; the others refuse it below
  if (!SaveCodeOfName(name)) {
    return "a capture is written as BMP, PNG or JPEG (.bmp, .png, .jpg, .jpeg), not as ." +
           plat::Cp932ToUtf8(ext.empty() ? std::string("(no extension)") : ext);
  }
  if (code == kCaptureClickedSeries && PlanSeries(CQelDoc::GetPathPart(name, PathPart::kWithoutExtension)).count < 1) {
    return "the series marker after '#' gives no pictures (#SECONDSsINTERVALm, e.g. #5s1000m)";
  }
  return "";
}

// Why the shown picture could not be rendered for a data-screen capture: the
// rendering at a zoom above 1:1 needs the picture's bytes times the zoom squared,
// and the display caps its work at the picture volume.
std::string RenderFailure(const CQelDoc& doc, int zoomIndex) {
  const BITMAPINFOHEADER& h = doc.Image().m_bmiImage.bmiHeader;
  const int zoom = std::clamp(zoomIndex, 1, 9);
  const int64_t bytes = DibImageBytes(h.biWidth, std::abs(h.biHeight), 24);
  const int64_t need = zoom > 5 ? bytes << (2 * (zoom - 5)) : bytes;
  const int64_t volume = int64_t{std::max(doc.m_nBmpDataLimit, 0)};
  std::string why = "the picture could not be rendered at this zoom";
  if (need > volume) {
    why += ": it takes " + std::to_string(need >> 20) + " MB, over the picture volume of " + std::to_string(volume >> 20) +
           " MB (--set bmpdata=MB raises it; zooming out takes less)";
  }
  return why + "; nothing was taken";
}

}  // namespace

int CQelView::GrabWindowImage(const std::string& name, int source) {
  plat::UiHost* ui = Ui();
  if (!ui) return -1;
  plat::Screen& screen = ui->GetScreen();
  // Source 1 the desktop; another one the window rectangle the caller put in the
  // capture rectangle.
  CRect rect = source == 1 ? screen.DesktopRect() : Region().m_rcCapture;
  rect.right = std::max(rect.right, rect.left + 10);
  rect.bottom = std::max(rect.bottom, rect.top + 10);
  if (rect.bottom - rect.top < kMinGrabHeight) {
    AfxMessageBox("Eror");
    return -1;
  }
  const plat::BitmapPtr grabbed = screen.Grab(rect);
  if (!grabbed) return -1;
  BITMAPINFO info{};
  info.bmiHeader.biBitCount = 24;
  const int64_t bytes = DibImageBytes(grabbed->width, grabbed->height, 24);
  std::vector<uint8_t> bits;
  if (bytes <= 0 || !TryResize(bits, static_cast<size_t>(bytes) + kDibSpareBytes, &m_doc.m_allocHook)) {
    AfxMessageBox(OutOfMemoryText(" 663"));
    return -1;
  }
  plat::GetDIBits(*grabbed, 0, grabbed->height, bits.data(), bits.size(), reinterpret_cast<uint8_t*>(&info),
                  sizeof info);
  info.bmiHeader.biXPelsPerMeter = info.bmiHeader.biYPelsPerMeter = kDibPixelsPerMeter;
  Region().m_rcCapture = CRect{rect.left, rect.top, rect.left + grabbed->width, rect.top + grabbed->height};
  // The name was checked when it was chosen; a BMP is what an unknown one always got.
  const ImageSaveCode code = SaveCodeOfName(name).value_or(ImageSaveCode::kBmpTarget);
  return m_doc.SaveImageByExtension(bits.data(), &info, name, code).ok() ? 0 : -1;
}

// Waits for the user's window: on X the window of the next button press (the
// pointer taken meanwhile, so the click reaches no window), on the virtual desktop
// a window other than the frame in front. 0, with the reason said, after the time
// limit or Esc.
uint64_t CQelView::WaitForUserWindow() {
  plat::UiHost* ui = Ui();
  if (!ui) return 0;
  plat::Screen& screen = ui->GetScreen();
  const bool x = RealScreen();
  if (std::string why; x && !screen.GrabPointer(&why)) {
    Refuse("", "the clicked window cannot be waited for: " + why);
    return 0;
  }
  const uint64_t start = ClockMs();
  uint64_t window = 0;
  for (;;) {
    window = x ? screen.TakeClick() : screen.ForegroundWindow(ui->NowMs());
    if (window != 0 && window != plat::Screen::kFrameWindow) break;
    window = 0;
    if (ui->PopKeyDown() == plat::VK_ESCAPE) {
      Refuse("", "the wait for a window was ended with Esc; nothing was taken");
      break;
    }
    if (ClockMs() - start >= kForegroundWaitLimitMs) {
      Refuse("", x ? "no window was clicked in " + std::to_string(kForegroundWaitLimitMs / 1000) + " s; nothing was taken"
                   : "no other window came to the front in " + std::to_string(kForegroundWaitLimitMs / 1000) +
                         " s; nothing was taken");
      break;
    }
    WaitMs(x ? 50 : 100);
  }
  if (x) screen.ReleasePointer();
  return window;
}

int CQelView::CaptureScreen(int code) {
  plat::UiHost* ui = Ui();
  if (!ui) return -1;
  plat::Screen& screen = ui->GetScreen();
  // Without DISPLAY the captures read the virtual desktop; a DISPLAY whose server
  // does not answer is a failure, never a picture of nothing.
  if (std::string why; !screen.UseX(&why) && !why.empty()) {
    Refuse("", why);
    return -1;
  }
  screen.SetFrame(CRect{0, 0, kClientWidth, kClientHeight}, [this](plat::Bitmap& frame) {
    PreparePaneSurface();
    plat::BitBlt(frame, 0, 0, frame.width, frame.height, Pane().m_paneSurface, 0, 0);
  });
  Region().m_rcCapture = CRect{Region().m_ptRegionClick.x, Region().m_ptRegionClick.y, -1, -1};
  if (RegionSet(Region().m_rcRegion)) Region().m_rcCapture = Region().m_rcRegion;
  if (Image().m_nPictureObjectMode != 0 && !RegionSet(Region().m_rcRegion)) {
    AfxMessageBox(IDS_SET_SAVE_REGION);
    return -1;
  }
  Region().m_rcCapture.left = std::max(Region().m_rcCapture.left, 0);
  Region().m_rcCapture.top = std::max(Region().m_rcCapture.top, 0);
  if (Region().m_rcCapture.right <= Region().m_rcCapture.left) Region().m_rcCapture.right = kClientWidth;
  if (Region().m_rcCapture.bottom <= Region().m_rcCapture.top) Region().m_rcCapture.bottom = kClientHeight;

  // The name: the view's file, the document's, or the active list's current one.
  std::string name = !Pane().m_strFileName.empty()       ? Pane().m_strFileName
                     : !m_doc.m_strPathName.empty() ? m_doc.m_strPathName
                     : m_doc.m_nActiveList == 1      ? m_doc.m_strFileName1
                                                     : m_doc.m_strFileName2;
  if (name.find('.') == std::string::npos) {
    name += code == kCaptureClickedSeries ? "\\temp#10s200m.bmp" : code == kCaptureNumbered ? "\\" : "\\temp.png";
  } else if (name.size() > 4 && !(m_doc.GetFileKind(name) >= kKindBmp && m_doc.GetFileKind(name) <= kKindUserImage5)) {
    name = CQelDoc::GetPathPart(name, PathPart::kWithoutExtension) + ".png";
  }
  if (code == kCaptureNumbered) {
    name = NextNumberedName(name);
    if (name.empty()) return -1;
  } else {
    CFileDialog dialog(false, name);
    if (dialog.DoModal() != plat::IDOK || dialog.GetPathName().empty()) return -1;
    name = dialog.GetPathName();
    if (const std::string why = RefusedTarget(name, code); !why.empty()) {
      Refuse(name, why);
      return -1;
    }
    if (!(code == kCaptureClickedSeries ? ConfirmSeriesOverwrite(name) : ConfirmOverwrite(name) != 0)) return -1;
    if (code == kCaptureClickedWindow) AfxMessageBox("Click the target window");
    if (code == kCaptureDesktop) AfxMessageBox("Save Desktop Window");
  }
  const bool pdf = AsciiLowerTail(name, 4) == ".pdf";
  if (pdf && code != kCaptureDataScreen) {
    AfxMessageBox(plat::ShownPath(name) + "\n" + LoadString(IDS_CANNOT_MAKE) +
                  plat::Utf8ToCp932Lossy("  (only the data screen is captured as PDF; a screen capture is .bmp, .png or .jpg)"));
    return -1;
  }
  if (code == kCaptureDataScreen) return CaptureDataScreen(name, pdf);

  screen.MinimizeFrame(true);
  std::string saved;
  if (code == kCaptureDesktop) {
    WaitMs(2000);
    saved = GrabWindowImage(name, 1) == 0 ? name : "";
  } else {
    WaitMs(1000);
    const uint64_t window = WaitForUserWindow();
    if (window != 0) {
      WaitMs(1000);
      CRect r = screen.WindowRect(window);
      r.left = std::max(r.left, 0);
      r.top = std::max(r.top, 0);
      if (code == kCaptureNumbered && RegionSet(Region().m_rcRegion)) {
        r = CRect{r.left + Region().m_rcRegion.left, r.top + Region().m_rcRegion.top, r.left + Region().m_rcRegion.right, r.top + Region().m_rcRegion.bottom};
      }
      Region().m_rcCapture = r;
      if (code != kCaptureClickedSeries) {
        saved = GrabWindowImage(name, 3) == 0 ? name : "";
        Region().m_rcRegion = CRect{-1, -1, -1, -1};
      } else {
        saved = CaptureSeries(name, window);
      }
    }
  }
  screen.MinimizeFrame(false);
  if (!saved.empty()) m_doc.LoadDocument(saved);
  return saved.empty() ? -1 : 0;
}

std::string CQelView::CaptureSeries(const std::string& name, uint64_t window) {
  plat::UiHost* ui = Ui();
  const std::string base = CQelDoc::GetPathPart(name, PathPart::kWithoutExtension);
  const SeriesPlan plan = PlanSeries(base);
  const uint64_t start = ClockMs();
  std::string last;
  for (int n = 1; n <= plan.count; ++n) {
    const std::string target = SeriesName(name, n);
    // A picture that cannot be written ends the series, which then fails.
    if (GrabWindowImage(target, 3) != 0) return "";
    last = target;
    if (n == plan.count) break;
    const uint64_t due = start + static_cast<uint64_t>(n) * static_cast<uint64_t>(plan.interval);
    if (const uint64_t now = ClockMs(); now < due) WaitMs(due - now);
    // On X the series follows the clicked window until it closes; on the virtual
    // desktop until another window comes to the front.
    const CRect r = ui->GetScreen().WindowRect(window);
    if (RealScreen() ? r.right <= r.left : ui->GetScreen().ForegroundWindow(ui->NowMs()) != window) {
      break;
    }
  }
  return last;
}

int CQelView::CaptureDataScreen(const std::string& name, bool pdf) {
  plat::UiHost* ui = Ui();
  const std::string target = pdf ? PdfWorkJpeg(m_doc) : name;
  const bool region = RegionSet(Region().m_rcRegion);
  // A picture is taken as the display renders it: one not rendered yet (the pane
  // not painted since it was opened or zoomed) is rendered now, and one the display
  // cannot render is a failure with that reason, never the blank pane saved.
  if (IsImageKind(Pane().m_nShownKind) && m_doc.Image().m_pImageBits && !region && !Image().m_pDisplayBitmap) {
    RefreshImage(RefreshMode::kKeepScroll);
    if (!Image().m_pDisplayBitmap) {
      Refuse(name, RenderFailure(m_doc, Image().m_ImageSettings.m_nZoomIndex));
      return -1;
    }
  }
  const bool paged = IsImageKind(Pane().m_nShownKind) && Image().m_pDisplayBitmap && !region;
  const int pageWidth = kClientWidth, pageHeight = kClientHeight;
  const int W = paged ? Image().m_pDisplayBitmap.Width() : Region().m_rcCapture.right - Region().m_rcCapture.left;
  const int H = paged ? Image().m_pDisplayBitmap.Height() : Region().m_rcCapture.bottom - Region().m_rcCapture.top;
  if (W <= 0 || H <= 0) return -1;
  // The first grab must be at least 51 rows high (a shorter last page is taken).
  if (std::min(std::max(H, 10), pageHeight) < kMinGrabHeight) {
    AfxMessageBox("Eror");
    return -1;
  }
  ui->BeginWaitCursor();
  if (paged) ScrollImageTo(0, 0);
  WaitMs(2000);
  const int64_t stride = DibStride(W, 24);
  std::vector<uint8_t> picture;
  if (stride <= 0 || !TryResize(picture, static_cast<size_t>(stride * H) + kDibSpareBytes, &m_doc.m_allocHook)) {
    ui->EndWaitCursor();
    AfxMessageBox(OutOfMemoryText(" 664"));
    return -1;
  }
  WaitMs(2000);
  // Pages of the client's size, column by column, each column top to bottom, with a
  // prompt before every page after the first. Adjacent columns overlap by one pixel:
  // a column starts at the previous column's last pixel, in the view as in the
  // picture, so the picture stays whole; columns follow until the last pixel is in.
  int x = 0;  // the column's first pixel, in the view and in the picture
  for (int column = 1; x < W; ++column) {
    int rowsLeft = H, top = 0, page = 1, pw = 0;
    while (rowsLeft > 0) {
      if (paged) ScrollImageTo(x, top);
      const int v = paged ? Image().m_nImageOriginY : 0, h = paged ? Image().m_nImageOriginX : 0;
      // The page shows picture rows v.., columns h..; take the ones not yet taken.
      const int skipY = top - v, skipX = x - h;
      pw = std::min(pageWidth - skipX, W - x);
      const int ph = std::min(pageHeight - skipY, rowsLeft);
      if (pw <= 0 || ph <= 0) break;
      if (paged) Region().m_rcCapture = CRect{skipX, skipY, skipX + pw, skipY + ph};
      // A region's frame is drawn away right before the pane is read (a refresh
      // during the waits draws it again).
      if (region && PaneShowsPicture()) RepaintImage(false);
      if (GrabPaneInto(picture, stride, H, x, top, pw, ph) != 0) break;
      top += ph;
      rowsLeft -= ph;
      if (!paged) break;
      const bool nextColumn = rowsLeft == 0;
      if (!nextColumn || x + pw < W) {
        char prompt[64];
        std::snprintf(prompt, sizeof prompt, "H: %d  V: %d\n Push OK", nextColumn ? column + 1 : column,
                      nextColumn ? 1 : ++page);
        AfxMessageBox(prompt);
      }
      WaitMs(2000);
    }
    if (!paged || pw < 2 || x + pw >= W) break;
    x += pw - 1;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = W;
  info.bmiHeader.biHeight = H;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(stride * H);
  info.bmiHeader.biXPelsPerMeter = info.bmiHeader.biYPelsPerMeter = kDibPixelsPerMeter;
  const ImageSaveCode code = SaveCodeOfName(target).value_or(ImageSaveCode::kBmpTarget);
  const ConvertStatus saved = m_doc.SaveImageByExtension(picture.data(), &info, target, code);
  ui->EndWaitCursor();
  if (!saved.ok()) return -1;
  Region().m_rcRegion = CRect{-1, -1, -1, -1};
  if (pdf) return m_doc.WritePdf(name, target, W, H).ok() ? 0 : -1;
  m_doc.LoadDocument(name);
  return 0;
}

// Copies pw x ph pixels of the pane from the capture rectangle's corner into the
// picture (bottom-up, stride bytes a row) at column x, row top counted from the top.
int CQelView::GrabPaneInto(std::vector<uint8_t>& picture, int64_t stride, int height, int x, int top, int pw, int ph) {
  PreparePaneSurface();
  for (int y = 0; y < ph; ++y) {
    const int sy = Region().m_rcCapture.top + y;
    if (sy < 0 || sy >= Pane().m_paneSurface.height || top + y >= height) break;
    uint8_t* out = picture.data() + static_cast<size_t>(stride) * static_cast<size_t>(height - 1 - (top + y));
    const uint32_t* in = Pane().m_paneSurface.Row(sy);
    for (int i = 0; i < pw; ++i) {
      const int sx = Region().m_rcCapture.left + i;
      if (sx < 0 || sx >= Pane().m_paneSurface.width || (x + i) * 3 + 3 > stride) break;
      const uint32_t p = in[sx];
      uint8_t* px = out + static_cast<size_t>(x + i) * 3;
      px[0] = static_cast<uint8_t>(p);
      px[1] = static_cast<uint8_t>(p >> 8);
      px[2] = static_cast<uint8_t>(p >> 16);
    }
  }
  return 0;
}
