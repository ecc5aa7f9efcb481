// The text pane's fields of the table engine: the cell text of the shown table, the
// sheet table and display pages of table text mode 3, the column block, the
// paste-back of a converted selection and the view's print margins. CQelView holds
// them behind Table().
#pragma once

#include <array>
#include <string>

// Block corners and whether the block is active.
struct BlockRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int active = 0;
};

struct ViewTableState {
  int m_nTextMode = 0;           // 3: table text mode

  // Cell text of the table (filled by the table engine).
  char* m_pTextBuf = nullptr;
  std::string m_cellStore;       // the storage behind m_pTextBuf
  int m_nCellTextLen = 0;        // the bytes of the cell text at m_pTextBuf
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
  int m_bPaneRefresh = 0;        // stream even a long rewritten table text at once
  int m_bMoveFollowingStops = 0; // a column-boundary move shifts the later tab stops too
  int m_bSheetVerticalRules = 0; // the shown sheet is drawn with vertical rules
  int m_nFontSizeStepFixed = 0;  // the size step a converted selection renders at; 0 none
  // Print margins in hundredths of a millimetre; -99 when not set.
  int m_nPrintMarginTop = -99;
  int m_nPrintMarginBottom = -99;
  int m_nPrintMarginLeft = -99;
  int m_nPrintMarginRight = -99;
};
