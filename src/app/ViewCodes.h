// What the document hands the text view, and the view's own timers.
// A ViewAction is a one-shot job the document stores in m_nViewAction; the view's
// update performs it and resets it. The capture numbers are also the codes of
// CQelView::CaptureScreen.
#pragma once

inline constexpr int kViewActionNone = 0;
inline constexpr int kCaptureDataScreen = 0;    // CaptureScreen only: the pane's text or picture, paged
inline constexpr int kCaptureDesktop = 1;
inline constexpr int kCaptureNumbered = 2;      // a clicked window under numbered names, from the file list
inline constexpr int kViewActionSaveFirst = 3;  // 3 to 10: the shown picture saved with the save code itself
inline constexpr int kViewActionSaveLast = 10;
inline constexpr int kViewActionSaveShownFirst = 11;  // 11 to 19: the temporary save of what is shown
inline constexpr int kViewActionSaveShownLast = 19;
// Above 20 (but 40): the refresh saves the source picture with the code
// action - 20.
inline constexpr int kViewActionSourceSave = 20;
inline constexpr int kViewActionRegionSaveFirst = 29;  // 29 to 31: a region copy, then a save
inline constexpr int kViewActionRegionSaveLast = 31;
inline constexpr int kViewActionMetafile = 32;  // 32 and 33: the view loads the metafile of m_strPathName
inline constexpr int kViewActionLoadMetafile = 33;
inline constexpr int kCaptureClickedWindow = 40;
inline constexpr int kCaptureClickedSeries = 41;
inline constexpr int kViewActionConvertSave = 50;  // 51 to 64: the list's conversion saves with code action - 50
inline constexpr int kViewActionConvertSaveLast = 64;
inline constexpr int kViewActionDone = 99;  // a save that leaves the file lists as they are

// The view's timers. Each pane repaints its picture on its own timer; the paste
// back after a selection became a table has one of its own. The media timers are
// in media/MediaCodes.h.
constexpr int ImageRepaintTimer(int pane) { return pane + 2; }
inline constexpr int kTimerFirstPaneRepaint = 5;  // the first pane's repaint after a paint
inline constexpr int kTimerPasteBack = 40;
