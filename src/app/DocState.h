// The document's own fields (application core): paths and kinds, the requests that
// the views act on, the text buffers, the memory volumes and display settings,
// user state flags, colours, fonts, print settings and the system strings.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/ViewCodes.h"
#include "base/ZeroedVector.h"
#include "platform/os/FolderLock.h"
#include "platform/gdi/Types.h"

// The volume that cut the display text short, if one did: the text holds its note,
// and the terminal names the setting that raises it (the package cap has none).
enum class VolumeCut { kNone, kInput, kOutput, kImageFile, kPackageCap };

struct DocState {
  // Paths and files.
  std::string m_strProgramDir;  // program folder, no trailing '\'
  bool m_bProgramDirForRun = false;  // a private folder made for this run (the usual one was refused)
  // This run's own work folder below the program's TMP, made on first use and locked
  // while the run lives, so that two runs never share a work file.
  mutable std::string m_strRunTmp;
  mutable plat::FolderLock m_runTmpLock;
  std::string m_strPathName;    // the file being shown or loaded
  std::string m_strFileName1;   // current file of file list 1
  std::string m_strFileName2;   // current file of file list 2
  int m_nActiveList = 1;        // 1 or 2
  int m_nActivePane = 0;        // 5 while the browser pane is active
  std::string m_strOverridePath;  // redisplay path when not empty

  // Kind, form and the requests the views act on.
  int m_nFileKind = 0;       // FileKind of the loaded document
  int m_nDisplayForm = 0;    // 0 normal, 1 binary dump, 2 source, 3 reload after save
  int m_nDisplayState = 0;   // 99 while a reload by the image view or a sheet rendering runs
  ViewRequests m_nViewRequest;  // what the views do at an update: it stays set, applied at every one until changed
  ViewAction m_nViewAction;     // the text pane's one-shot job (CQelDoc::PostViewAction)
  int m_nViewActionResult = 0;  // what the pane's performance of it gave: 0 done, -1 failed
  int m_nMediaRequest = 0;   // MediaRequest
  int m_nListLayout = 0;     // ListLayout, 0 to 18
  int m_nStartMode = 0;      // 1 in the "##" start

  // The document text, also the views' RTF stream buffer.
  char* m_pText = nullptr;
  int m_nTextLen = 0;
  int m_nTextCap = 0;
  int m_nStreamPos = 0;
  int m_nStreamEnd = 0;
  int m_nStreamLimit = 0;

  // The converter output (DisplayTextBuffer) and its write position.
  char* m_pConvBuf = nullptr;
  int m_nConvPos = 0;
  int m_nConvCap = 0;        // bytes m_pConvBuf holds; no write passes it
  int m_bConvBufOwned = 0;   // 1 while m_pConvBuf belongs to this load

  // Memory volumes (bytes, or entries for the tables).
  int m_nInDataLimit = 524288;
  int m_nOutDataLimit = 1048576;
  int m_nBmpFileLimit = 10485760;
  int m_nBmpDataLimit = 33554432;
  int m_nCharLimit = 256;     // "n_char": bytes of text per cell or grid row
  int m_nTableRows = 9000;    // "n_tbl"
  int m_nTableRowsR = 9000;   // "r_tbl"
  int m_nDisplayPageRows = 1000;

  // Display and reading settings.
  int m_bQuickHead = 0;
  int m_bVerticalRules = 0;
  int m_bRichTextDisplay = 0;
  int m_nReadTextForm = 0;   // 0 Shift-JIS; 1 UTF-8; 2 EUC; 3 JIS (text read on request)
  int m_bNoDisplay = 0;
  int m_nColumnWidthMode = 0;
  int m_nTableDecimals = 0;
  int m_nCsvMode = 0;
  int m_nTextSizeIndex = 0;
  // Font sizes set by a size letter, in tenths of a point (0: the font's own): the
  // text's and the sheets'; and the letter's case (1: it was lower case).
  int m_nTextPointSize = 0;
  int m_nTablePointSize = 0;
  int m_bLowerCaseLetter = 0;
  int m_bShowAddress = 0;
  int m_bAsciiFixed = 0;
  int m_bSjisFixed = 0;
  int m_nListingKind = 0;
  int m_nListingForm = 0;
  int m_bAltDisplay = 0;
  int m_bPartialLoad = 0;    // the text covers less than the whole file
  VolumeCut m_volumeCut = VolumeCut::kNone;  // the volume that cut it
  int m_bNothingShown = 0;   // the load's text is a failure message alone: nothing of the file is shown
  int m_nDumpBlock = 0;      // 64 KB block of the binary display; negative: the last
  int m_nSelectedItem = 0;   // embedded item the next load shows
  int m_nSelectedItemView = 0;

  // Keys, modes and flags.
  // Shift and Ctrl held for the current key or command: set by the view's key
  // handler and the script, read by the views' commands (which may consume Ctrl).
  int m_bShiftDown = 0;
  int m_bCtrlDown = 0;
  int m_bTableMode = 0;
  int m_bUserAbort = 0;
  int m_nQuietState = 0;
  int m_bEnglishMode = 0;
  int m_nLockUpdateDepth = 0;
  int m_bRepeat = 0;
  // The files a "no" to a replacement question kept since the script's statement
  // began: the statement fails naming them.
  std::vector<std::string> m_astrNotReplaced;

  // File times.
  int m_bKeepFileDate = 0;
  int64_t m_timeKeepFile = 0;
  int32_t m_tSourceFileTime = 0;

  // Colours and fonts.
  COLORREF m_clrTextChar = RGB(0, 0, 0);
  COLORREF m_clrTextBack = RGB(255, 255, 255);
  std::string m_strProFont = "IPAPGothic";
  std::string m_strTableFont = "IPAGothic";
  // Sheets: characters shown in a colour of their own, each followed by its colour letter.
  std::string m_strCharColours;

  // Print margins (see the sheet settings line) and formatting.
  int m_nPrSpace1 = 101;  // 10 mm top and bottom
  int m_nPrSpace2 = 201;  // 20 mm left, 10 mm right
  int m_nPrSpace3 = 0;
  int m_bLineHeightFirst = 0;
  int m_bSpaceLineSpacing = 0;

  // SystemStrings: the 60 key/value pairs of Pelnor.sys.
  std::array<std::string, 60> m_astrSysKey;
  std::array<std::string, 60> m_astrSysValue;

  // Storage behind the two text pointers.
  ZeroedVector<char> m_textStore;
  ZeroedVector<char> m_convStore;
  bool m_bSettingsApplied = false;
  // Settings given for this run alone (--set, a script's set), by key: the value the
  // settings files hold and the value given, so that a save keeps the former.
  struct RunSetting {
    std::string lasting;
    std::string given;
  };
  std::map<std::string, RunSetting, std::less<>> m_runSettings;
};
