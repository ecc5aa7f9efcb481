// The text pane's own fields, grouped by what uses them: identity and text, the
// table's cell text and sheet pages, key macros, the shown image, image regions and
// tools, and media. CQelView inherits every group.
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

struct ViewImageState {
  ImageConvertSettings m_ImageSettings;
  ImageConvertSettings m_PrintSettings;      // copy taken for a region print
  uint8_t* m_pImageInfo = nullptr;           // BITMAPINFOHEADER of the shown image
  uint8_t* m_pImageBits = nullptr;
  int m_nImageBitsSize = 0;
  std::array<uint8_t, 2000> m_bmiSource{};   // BITMAPINFO copies
  std::array<uint8_t, 2000> m_bmiDisplay{};
  uintptr_t m_hImageBitmap = 0;              // the display bitmap; 0 none
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  int m_nImageOriginX = 0;
  int m_nImageOriginY = 0;
  int m_nCompressDivisor = 1;
  int m_bFitToWindow = 0;                    // in media kinds the repeat flag
  int m_nPictureObjectMode = 0;
  int m_bImageDirty = 0;
  int m_nImageHold = 0;

  std::vector<uint8_t> m_imageStore;     // the view's own image bits, after an edit
  std::shared_ptr<std::vector<uint8_t>> sharedImage_;  // the document's block the view shows
  BITMAPINFO m_sourceInfo{};             // and its header (m_pImageInfo points here)
  DisplayPicture m_pDisplayBitmap;       // the rendered picture (or its band)
  plat::Bitmap m_paneSurface;            // the pane's client area
  int m_nPaintWidth = 0;                 // the rendered picture's size and depth
  int m_nPaintHeight = 0;
  int m_nPaintBits = 0;
  int m_nBandIndex = 0;                  // 0..999, +1,000 while the last band shows
  int m_bSourceCut = 0;                  // the shown BMP was cut at the "bmpfile" volume
  std::string m_strCompressedFile;       // the metafile m_nCompressDivisor was set for
  int m_nBandTop = 0;                    // first row (from the top) of the band shown
  COLORREF m_crPixel = 0xFF000000;       // the pixel the read-out stored; top byte 0xFF: none
};

struct ViewRegionState {
  int m_nRegionCount = 0;
  int m_nRegionState = 0;
  int m_nRegionPickState = 0;
  CRect m_rcRegion{-1, -1, -1, -1};
  CRect m_rcRegionImage{-1, -1, -1, -1};
  CRect m_rcRegionSaved{-1, -1, -1, -1};
  CPoint m_ptRegionClick;
  CPoint m_ptClick;
  uint8_t* m_pRegionPixels = nullptr;
  int m_nRegionPixelsSize = 0;
  int m_nFigure = 0;
  int m_nPaintMode = 0;
  int m_nEditStep = 0;
  int m_nPattern = 0;
  int m_nLayerMode = 0;
  std::string m_strDrawText;
  CRect m_rcCapture;
  int m_nPrintKind = 0;
  int m_nPrintStartV = 0;
  int m_nPrintStartH = 0;
  COLORREF m_crLayerKey = 0;     // the key colour of the last layer drawn

  // The display slots of the mark mode, numbered 1..99 by their two digits.
  static constexpr int kDisplaySlots = 99;
  struct DisplaySlot {
    CPoint start{-1, -1};
    CPoint end{-1, -1};
    int width = 0;
    int height = 0;
    bool picture = false;
  };
  std::array<DisplaySlot, kDisplaySlots + 1> m_displaySlots{};

  // The region's unedited pixels with the rectangle they came from in the view's
  // image (24-bit rows, top-down), or after a crop the whole image as a BMP file
  // image. layout is the image's layout they were taken from; pastedCode is the
  // paste (4, or 12 with white kept) whose block now stands on those pixels.
  struct RegionBackup {
    CRect rect{-1, -1, -1, -1};
    std::vector<uint8_t> pixels;
    bool wholeImage = false;
    int pastedCode = 0;
    uint32_t layout = 0;
  };
  RegionBackup m_regionBackup;
  RegionBackup cutBackup_;        // what a cut took away, kept apart so that undoing a later edit leaves it
  // Counts the view's images whose pixels stand elsewhere than the last one's (another
  // picture, a crop, an edit of a zoomed, turned or mirrored display): saved pixels go
  // back only into the layout they came from.
  uint32_t imageLayout_ = 1;
  // The display shows the image's pixels elsewhere than they stand in it (mirrored,
  // flipped, turned, cut out); a display of another size does so too.
  bool displayMoved_ = false;
  CPoint blockDragFrom_{-1, -1};  // the pointer's last place while it drags a pasted block; x -1: none
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
