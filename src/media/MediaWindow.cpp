// The video window: its size by the zoom step, the filler text that gives the pane
// a scroll range of that size, its place at the scroll position, and the timers
// that have it repainted after a change.
#include <algorithm>
#include <cstdio>

#include "app/FileKind.h"
#include "media/MediaHost.h"
#include "view/QelView.h"

namespace {

constexpr int kFitFrameTimer = 10;
constexpr int kFitWindowTimer = 11;

}  // namespace

void CQelView::PlaceVideoWindow(int action, const std::string& device) {
  if (action == 31) m_nVideoZoom = std::max(m_nVideoZoom - 1, 1);
  if (action == 32) m_nVideoZoom = std::min(m_nVideoZoom + 1, 9);
  if (m_nVideoWidth < 0 || m_nVideoHeight < 0) return;
  int64_t w = m_nVideoWidth, h = m_nVideoHeight;
  static constexpr int kShrink[] = {800, 400, 200, 141};  // steps 1 to 4: native x 100 / these
  static constexpr int kGrow[] = {141, 200, 300};         // steps 6 to 8: native x these / 100
  if (m_nVideoZoom == 9) {
    w = kClientWidth;
    h = kClientHeight;
  } else if (m_nVideoZoom < 5) {
    w = w * 100 / kShrink[m_nVideoZoom - 1];
    h = h * 100 / kShrink[m_nVideoZoom - 1];
  } else if (m_nVideoZoom > 5) {
    w = w * kGrow[m_nVideoZoom - 6] / 100;
    h = h * kGrow[m_nVideoZoom - 6] / 100;
  }
  m_rcVideo = CRect{0, 0, static_cast<int>(w), static_cast<int>(h)};
  if (action != 33 && action != 34) {
    // Blanks and line ends as wide and as tall as the video, so the pane scrolls over it.
    std::string filler(static_cast<size_t>(std::max<int64_t>(2, w / 4) + 1), ' ');
    filler += '.';
    for (int64_t i = 0; i < std::max<int64_t>(2, h / 6); ++i) filler += "\r\n";
    filler += '.';
    Text().SetText(filler);
    m_nVideoScrollX = m_nVideoScrollY = 0;
  }
  char put[96];
  std::snprintf(put, sizeof put, " window at %d %d %d %d", 1 - m_nVideoScrollX, 1 - m_nVideoScrollY, m_rcVideo.right,
                m_rcVideo.bottom);
  std::string reply;
  SendMci(m_doc, "put " + device + put, &reply, 50);
}

// Nothing here draws the video, so the repaint is the timer's "window ... state
// restore"; mode 1 stands for the frame's one-pixel move of the desktop program.
void CQelView::FitMediaWindow(int mode, int period) {
  if (mode == 1) {
    SetTimer(kFitFrameTimer, static_cast<uint32_t>(std::max(period, 1)));
  } else if (mode == 2 && !m_bMediaFitPending) {
    SetTimer(kFitWindowTimer, static_cast<uint32_t>(std::max(period, 1)));
  } else {
    return;
  }
  m_bMediaFitPending = 1;
}

void CQelView::OnZoomIn() {
  if (IsMediaKind(m_nFileKind)) MediaCommand(6, 1);
}

void CQelView::OnZoomOut() {
  if (IsMediaKind(m_nFileKind)) MediaCommand(5, 1);
}
