// The video window: its size by the zoom step, the filler text that gives the pane
// a scroll range of that size, its place at the scroll position, the timers that
// have it repainted after a change, and the pane's surface it paints its pictures
// into (the pane's window handle is its parent's, as the open names it).
#include <algorithm>
#include <cstdio>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "media/MediaCodes.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "view/QelView.h"

namespace {

constexpr int kZoomNative = 5;
constexpr int kZoomFit = 9;
constexpr uintptr_t kPaneWindowBase = 0x1000;  // the pane's window handle: this plus its number

}  // namespace

void CQelView::PlaceVideoWindow(int action, const std::string& device) {
  if (action == kActionDown) Media().m_nVideoZoom = std::max(Media().m_nVideoZoom - 1, 1);
  if (action == kActionUp) Media().m_nVideoZoom = std::min(Media().m_nVideoZoom + 1, kZoomFit);
  if (Media().m_nVideoWidth < 0 || Media().m_nVideoHeight < 0) return;
  int64_t w = Media().m_nVideoWidth, h = Media().m_nVideoHeight;
  static constexpr int kShrink[] = {800, 400, 200, 141};  // steps 1 to 4: native x 100 / these
  static constexpr int kGrow[] = {141, 200, 300};         // steps 6 to 8: native x these / 100
  if (Media().m_nVideoZoom == kZoomFit) {
    w = kClientWidth;
    h = kClientHeight;
  } else if (Media().m_nVideoZoom < kZoomNative) {
    w = w * 100 / kShrink[Media().m_nVideoZoom - 1];
    h = h * 100 / kShrink[Media().m_nVideoZoom - 1];
  } else if (Media().m_nVideoZoom > kZoomNative) {
    w = w * kGrow[Media().m_nVideoZoom - 6] / 100;
    h = h * kGrow[Media().m_nVideoZoom - 6] / 100;
  }
  Media().m_rcVideo = CRect{0, 0, static_cast<int>(w), static_cast<int>(h)};
  if (action != kActionScrollX && action != kActionScrollY) {
    // Blanks and line ends as wide and as tall as the video, so the pane scrolls over it.
    std::string filler(static_cast<size_t>(std::max<int64_t>(2, w / 4) + 1), ' ');
    filler += '.';
    for (int64_t i = 0; i < std::max<int64_t>(2, h / 6); ++i) filler += "\r\n";
    filler += '.';
    Text().SetText(filler);
    Media().m_nVideoScrollX = Media().m_nVideoScrollY = 0;
  }
  char put[96];
  std::snprintf(put, sizeof put, " window at %d %d %d %d", 1 - Media().m_nVideoScrollX, 1 - Media().m_nVideoScrollY, Media().m_rcVideo.right,
                Media().m_rcVideo.bottom);
  std::string reply;
  SendMci(m_doc, "put " + device + put, &reply, 50);
  // Where the window was before shows the pane again.
  RepaintMediaPane();
}

// The timers end the fit; timer 11 has the video window repainted by "window ...
// state restore". Mode 1 stands for the frame's one-pixel move of the desktop program.
void CQelView::FitMediaWindow(int mode, int period) {
  if (mode == 1) {
    SetTimer(kTimerFitFrame, static_cast<uint32_t>(std::max(period, 1)));
  } else if (mode == 2 && !Media().m_bMediaFitPending) {
    SetTimer(kTimerFitWindow, static_cast<uint32_t>(std::max(period, 1)));
  } else {
    return;
  }
  Media().m_bMediaFitPending = 1;
}

void CQelView::OnZoomIn() {
  if (IsMediaKind(Pane().m_nShownKind)) MediaCommand(kMediaUp, 1);
}

void CQelView::OnZoomOut() {
  if (IsMediaKind(Pane().m_nShownKind)) MediaCommand(kMediaDown, 1);
}

uintptr_t CQelView::MediaWindowHandle() const { return kPaneWindowBase + static_cast<uintptr_t>(Pane().m_nPane); }

void CQelView::AttachMediaWindow() {
  if (Pane().m_paneSurface.width != kClientWidth || Pane().m_paneSurface.height != kClientHeight) {
    Pane().m_paneSurface.width = kClientWidth;
    Pane().m_paneSurface.height = kClientHeight;
    Pane().m_paneSurface.pixels.assign(static_cast<size_t>(kClientWidth) * kClientHeight, plat::PixelOfColor(m_doc.m_clrTextBack));
  }
  if (plat::MciHost* host = MediaHost(m_doc)) host->SetWindowSurface(MediaWindowHandle(), &Pane().m_paneSurface);
}

void CQelView::ReleaseMediaWindow() {
  // The pane goes (the script or the program ends): a recording still running is
  // saved and said, never thrown away.
  if (Media().m_nRecordDevice != 0 && m_doc.Media().m_nRecordState != 0) {
    RecordWave(kRecordClose);
    m_doc.Media().m_nRecordState = 0;
  }
  if (g_pMainFrame) g_pMainFrame->Mci().SetWindowSurface(MediaWindowHandle(), nullptr);
}

void CQelView::PaintMediaWindow() {
  if (g_pMainFrame) g_pMainFrame->Mci().PaintChildren(MediaWindowHandle());
}

// The pane paints its text (under the video window, the filler's blanks) and the
// window over it.
void CQelView::RepaintMediaPane() {
  AttachMediaWindow();
  PaintTextPane();
}

void CQelView::SetVideoScroll(bool vertical, int pos) { (vertical ? Media().m_nVideoScrollY : Media().m_nVideoScrollX) = pos; }
