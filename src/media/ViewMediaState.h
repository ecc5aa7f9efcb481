// The text pane's media fields: the player bound to the pane, its video window and
// the recorder's file.
#pragma once

#include <string>

#include "platform/gdi/Types.h"

struct ViewMediaState {
  // PlayerState: -1 closed, -2 stopped (after a stop, a close or a failed play),
  // 0 idle, 1 playing, 2 paused, -3 cannot play.
  int m_nPlayerState = 0;
  int m_bMediaFitPending = 0;    // a window-fit timer (10 or 11) is pending
  int m_nRecordDevice = 0;
  std::string m_strRecordFile;
  int m_nRecordSeconds = 0;
  std::string m_strMciDevice;    // the media path the player is bound to
  int m_nMediaLength = 0;        // ms
  int m_nMediaPos = 0;           // ms, the last known position
  int m_nVideoWidth = -1;        // -1 unknown; height 0 for audio kinds
  int m_nVideoHeight = -1;
  int m_nVideoZoom = 5;          // 1..9: 5 native size, 9 the pane's client area
  int m_nVideoScrollX = 0;
  int m_nVideoScrollY = 0;
  CRect m_rcVideo;
  int m_nRepeatStart = -1;       // repeat marks in ms, -1 none
  int m_nRepeatEnd = -1;
  int m_nVolume = -1;            // 0..127 as shown; -1 for non-media kinds
  int m_bPlayRepeat = 0;         // play again from the start (or the repeat mark) at the end
  std::string m_strPlayFailure;  // why the last play failed (CP932, the file named), "" when it did not
};
