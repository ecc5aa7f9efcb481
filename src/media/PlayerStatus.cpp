// The player's status line (state, position and length, volume, video size and
// zoom, auto-play, repeat) in status pane 0, and the position rule in the pane of
// indicator 104: 31 dashes with '0' at the position, '+' at the repeat marks and
// 'R' when repeat is on. Rule places are worked out in 64 bits and only over a
// length above 0 (a slide show's over its last index above 0).
#include <algorithm>
#include <cstdio>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "view/QelView.h"

namespace {

constexpr int kRuleSteps = 30;

const char* ZoomLabel(int zoom) {
  static const char* const kLabels[] = {"/64", "/16", "/ 4", "/ 2", "x 1", "x 2", "x 4", "x 9", " full"};
  return kLabels[std::clamp(zoom, 1, 9) - 1];
}

// The rule place of a time, 0 to 30, or -1 when it falls outside.
int RulePlace(int64_t at, int64_t length) {
  if (length < 1) return -1;
  const int64_t place = at * kRuleSteps / length;
  return place >= 0 && place <= kRuleSteps ? static_cast<int>(place) : -1;
}

}  // namespace

void CQelView::ShowPlayerStatus(int pos, int length) {
  if (pos == 0) return;
  if (pos == -1) pos = 0;
  const CQelDoc& doc = m_doc;
  const bool quiet = doc.m_nQuietState != 0;
  if (quiet) Media().m_nPlayerState = doc.Media().m_nMediaState < 2 ? 1 : 2;
  const bool english = doc.m_bEnglishMode != 0;
  std::string text;
  switch (Media().m_nPlayerState) {
    case 1: text = english ? "   STOP     [PLAY]     PAUSE  " : Sjis("　　停止　【再生】　一時停止　"); break;
    case 2: text = english ? "   STOP      PLAY     [PAUSE] " : Sjis("　　停止　　再生　【一時停止】"); break;
    case -3: text = english ? "   Can't play the file        " : Sjis("　　再生できません　　　　　　"); break;
    default: text = english ? "  [STOP]     PLAY      PAUSE  " : Sjis("　【停止】　再生　　一時停止　"); break;
  }
  if (Media().m_nPlayerState != -3) {
    char part[160];
    const int ps = pos / 1000, ls = length / 1000;
    if (Media().m_nPlayerState == 2) {
      std::snprintf(part, sizeof part, "   : posi = %d min %02d.%02d sec / %d min %02d.%02d sec", ps / 60, ps % 60,
                    pos % 1000 / 10, ls / 60, ls % 60, length % 1000 / 10);
    } else {
      std::snprintf(part, sizeof part, "   : posi = %d min %02d sec / %d min %02d sec", ps / 60, ps % 60, ls / 60, ls % 60);
    }
    text += part;
    if (Media().m_nVolume >= 0) {
      std::snprintf(part, sizeof part, "    vol=%3d", Media().m_nVolume);
      text += part;
    }
    if (!quiet && Pane().m_nShownKind >= kKindVideo && Pane().m_nShownKind <= kKindMp4) {
      std::snprintf(part, sizeof part, "   %3d x %3d ", Media().m_nVideoHeight, Media().m_nVideoWidth);
      text += part;
      text += ZoomLabel(Media().m_nVideoZoom);
    }
    if (doc.Media().m_bMediaAutoPlay == 1) text += "    Auto";
    if (Media().m_bPlayRepeat) text += "   repeat on";
  }
  if (Pane().m_nPane != doc.m_nActivePane && !quiet) return;
  if (!g_pStatusBar) return;
  g_pStatusBar->SetPaneText(0, text);
  if (Media().m_nPlayerState == -3) return;

  std::string rule = "-------------------------------  ";
  if (Media().m_bPlayRepeat) rule[31] = 'R';
  int64_t span = length;
  int zero = -1;
  if (quiet) {
    span = static_cast<int64_t>(doc.Media().m_nPlayStep) * doc.Media().m_nPlayLast;
    if (doc.Media().m_nPlayLast > 0) zero = std::clamp<int64_t>(static_cast<int64_t>(doc.Media().m_nPlayIndex) * kRuleSteps / doc.Media().m_nPlayLast, 0, kRuleSteps);
  } else if (length >= 1) {
    zero = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(pos) * kRuleSteps / length, 0, kRuleSteps));
  }
  if (zero >= 0) rule[static_cast<size_t>(zero)] = '0';
  for (int mark : {Media().m_nRepeatStart, Media().m_nRepeatEnd}) {
    if (mark < 0) continue;
    const int place = RulePlace(mark, span);
    if (place >= 0) rule[static_cast<size_t>(place)] = '+';
  }
  const int index = g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT);
  g_pStatusBar->SetPaneText(index, rule);
}

bool CQelView::MediaPlaying() const { return Media().m_nPlayerState > 0; }
