// The text pane's own fields, grouped by what uses them: identity and text, the
// table's cell text and sheet pages, key macros, and media. CQelView inherits every
// group; the shown image and its regions are image/ViewImageState.h and
// image/ViewRegionState.h, held behind CQelView::Image() and Region().
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/codecs/Dib.h"
#include "image/ImageConvertSettings.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Types.h"
#include "view/DisplayPicture.h"

// Block corners and whether the block is active.
struct BlockRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int active = 0;
};

struct ViewTextState {
  int m_nPane = 1;               // 1 to 4; the refresh timer id is m_nPane + 2
  std::string m_strFileName;     // the name shown, base of save names
  int m_nFileKind = 0;           // FileKind shown
  int m_nDisplayForm = 0;
  int m_nTextMode = 0;           // 3: table text mode
  int m_bCtrlDown = 0;           // Ctrl held for the current command
  std::string m_strKeyFailure;   // why the work of the last key failed (CP932); "" when it did not
  plat::Bitmap m_paneSurface;    // the pane's client area (the image's and the video's paint)

  // Cell text of the table (filled by the table engine).
  char* m_pTextBuf = nullptr;
  std::string m_cellStore;       // the storage behind m_pTextBuf
  int m_nTextLen = 0;
  int m_nColumns = 0;
  int m_nRows = 0;
  int m_nRowLimit = 0;
  int m_nFirstDataLine = 0;
  int m_nFirstDataOffset = 0;
  int m_nPageStart = 0;          // first row of the page shown in table text mode 3
  int m_nPageStartOffset = 0;
  int m_nPageRowsShown = 0;
  // Sheet table, indexed by sheet number from 1, and the page start list.
  std::array<int, 500> m_anSheetLeadOffset{};
  std::array<int, 500> m_anSheetFirstDataLine{};
  std::array<int, 500> m_anSheetStartOffset{};
  std::array<int, 500> m_anSheetLastLine{};
  std::array<int, 500> m_anPageStartList{};
  int m_nPageStartCount = 0;     // entries of m_anPageStartList in use
  int m_nSheetRowsTotal = 0;     // the counted lines of the cell text, table text mode 3
  int m_nPageEndOffset = 0;      // the text offset after the display page's last line
  int m_nTableCellOnly = 0;
  std::array<int, 31> m_anColumnStops{};  // tab stops of the shown sheet's first columns
  int m_nMaxColumnsSeen = 0;
  // The selection a table replaced, put back when the timer fires after the reload.
  int m_nPasteBackStart = 0;
  int m_nPasteBackEnd = 0;
  // The converted piece itself (RTF), held here so that nothing on the clipboard
  // meanwhile takes its place; the reloaded text as it came in, and the selection's
  // bytes in it, to find the place again after edits made before the paste-back.
  std::string m_strPasteBackPiece;
  std::string m_strPasteBackText;
  int m_nPasteBackStartByte = -1;   // -1 until the reload is complete
  int m_nPasteBackEndByte = -1;
  int m_nPasteBackFirstLine = 0;   // the first visible line then
  std::string m_strPasteBackFile;  // the work file that was loaded
  std::string m_strPasteBackName;  // the view's and the document's names before
  std::string m_strPasteBackPath;
  int m_nPasteBackTicks = 0;
  BlockRect m_rcBlock;
  int m_nSelStart = 0;
  int m_nSelEnd = 0;
  int m_bPaneRefresh = 0;        // stream even a long rewritten table text at once
  int m_bMoveFollowingStops = 0; // a column-boundary move shifts the later tab stops too
  std::string m_strSearch;       // the current search text
  int m_bVerticalRules = 0;
  int m_nFontSizeStepFixed = 0;
  uint32_t m_dwCharEffects = 0;
  int m_bBackColorTarget = 0;    // 0 text, 1 background
  COLORREF m_crHighlight = RGB(255, 255, 0);  // the background the highlight command gives
  int m_nBackColorIndex = 0;     // the screen background colour, 0 to 6
  // Print margins in hundredths of a millimetre; -99 when not set.
  int m_nPrintMarginTop = -99;
  int m_nPrintMarginBottom = -99;
  int m_nPrintMarginLeft = -99;
  int m_nPrintMarginRight = -99;
};

struct ViewMacroState {
  static constexpr int kMacroSteps = 1000;
  int m_bMacroRecording = 0;
  int m_nMacroSteps = 0;
  std::array<int, kMacroSteps> m_anMacroCode{};
  std::array<int, kMacroSteps> m_anMacroParam{};
  COLORREF m_crMacroText = RGB(0, 0, 0);
  COLORREF m_crMacroBack = RGB(255, 255, 255);
};

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
};
