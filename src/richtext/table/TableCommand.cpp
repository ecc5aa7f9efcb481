// CQelView::TableCommand: one table key code on the pane. The build road renders the
// cell text as sheet RTF into the document text and streams it into the control; the
// edit road and the rich-text conversions belong to the table editor. Every road
// takes the window-update lock one level and gives back exactly that level.
#include <algorithm>
#include <cstring>

#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "platform/ui/Keys.h"
#include "richtext/RichTextState.h"
#include "richtext/sheet/BitmapObjectRtf.h"
#include "richtext/sheet/SheetMarkup.h"
#include "richtext/sheet/SheetRtfWriter.h"
#include "richtext/ViewTableState.h"
#include "view/CellSeparator.h"
#include "view/QelView.h"

namespace {

constexpr int kWorkBuffer = 21000;
constexpr int kMinOutput = 300000;
constexpr int kTableModeMinOutput = 1000000;
constexpr int kOutputSpare = 500;
constexpr int kBytesPerCell = 200;
constexpr int kLineRead = 3000;
constexpr int kWriteBackSpare = 10000;

// The arrow codes are the keys' own.
static_assert(static_cast<int>(TableKey::kColumnLeft) == plat::VK_LEFT && static_cast<int>(TableKey::kColumnRight) == plat::VK_RIGHT);
static_assert(static_cast<int>(TableKey::kLineNarrower) == plat::VK_UP && static_cast<int>(TableKey::kLineWider) == plat::VK_DOWN);

bool IsEditCode(TableKey code) {
  switch (code) {
    case TableKey::kRemoveRules:
    case TableKey::kBottomRule:
    case TableKey::kTopRule:
    case TableKey::kLeftRule:
    case TableKey::kRightRule:
    case TableKey::kBottomRuleCtrl:
    case TableKey::kTopRuleCtrl:
    case TableKey::kLeftRuleCtrl:
    case TableKey::kRightRuleCtrl:
    case TableKey::kKeepSelection:
    case TableKey::kInsertColumn:
    case TableKey::kDeleteColumn:
    case TableKey::kSplit:
    case TableKey::kJoin:
    case TableKey::kInsertRow:
    case TableKey::kDeleteRow:
    case TableKey::kColumnLeft:
    case TableKey::kColumnRight:
    case TableKey::kLineNarrower:
    case TableKey::kLineWider: return true;
    default: return false;
  }
}

bool WritesBack(TableKey code) {
  return IsEditCode(code) || code == TableKey::kTabsToTable || code == TableKey::kBarsToTable ||
         code == TableKey::kLinesToTable;
}

}  // namespace

void CQelView::ReleaseTableLock() {
  if (m_doc.m_nLockUpdateDepth > 0) --m_doc.m_nLockUpdateDepth;
  if (m_doc.m_nLockUpdateDepth == 0 && g_pMainFrame) g_pMainFrame->Ui().LockWindowUpdate(0);
}

void CQelView::HoldCellText() {
  if (Table().m_pTextBuf != Table().m_cellStore.data()) Table().m_cellStore.assign(Table().m_pTextBuf ? Table().m_pTextBuf : "", static_cast<size_t>(std::max(Table().m_nCellTextLen, 0)));
  Table().m_cellStore.resize(static_cast<size_t>(std::clamp<int>(Table().m_nCellTextLen, 0, static_cast<int>(Table().m_cellStore.size()))));
  if (Table().m_cellStore.empty() || (Table().m_cellStore.back() != '\r' && Table().m_cellStore.back() != '\n')) Table().m_cellStore += "\r\n";
  Table().m_pTextBuf = Table().m_cellStore.data();
  Table().m_nCellTextLen = static_cast<int>(Table().m_cellStore.size());
}

bool CQelView::RowLimitReached() {
  if (Table().m_nRows < Table().m_nRowLimit - 10) return false;
  if (g_pStatusBar) {
    char text[64];
    std::snprintf(text, sizeof text, " raw number over %d ", Table().m_nRowLimit);
    g_pStatusBar->SetPaneText(0, text);
  }
  return true;
}

int CQelView::TableCommand(TableKey code, TableArgs args) {
  if (g_pMainFrame) g_pMainFrame->Ui().LockWindowUpdate(Pane().m_nPane);
  ++m_doc.m_nLockUpdateDepth;
  const int firstLine = args.firstLine, lastLine = args.lastLine, number = args.number;

  if (code == TableKey::kTabsToTable) {
    // Cells separated by '|' rather than Tabs make the conversion the '|' one.
    char line[kLineRead + 1];
    const int n = std::max(CopyLine(firstLine, line, sizeof line), 0);
    if (CountSeparators(std::string_view(line, static_cast<size_t>(n))).BarsRule()) code = TableKey::kBarsToTable;
  }
  const int cellOnly = code != TableKey::kPdf && m_doc.m_bShiftDown ? 1 : args.cellOnly;
  Table().m_nTableCellOnly = cellOnly;

  if (code == TableKey::kAppendRow || code == TableKey::kNewGrid || code == TableKey::kWholeSheet ||
      (code == TableKey::kLinesToTable && Pane().m_nShownKind != kKindRtf)) {
    return BuildSheet(code, number, firstLine, lastLine);
  }
  if (code == TableKey::kPdf) return WriteSheetPdf(number);
  if (IsEditCode(code)) {
    const ScrollPos scroll = m_pModel->GetScrollPos();
    TableEditRoad(code, number, cellOnly, firstLine, lastLine);
    m_pModel->SetScrollPos(scroll);
  } else if (code == TableKey::kLinesToTable) {
    // Only the lines named (the caret line when none are) change: the rest of the
    // text is never dropped.
    plat::RichEdit& rich = UseRichText();
    int a = 0, b = 0;
    rich.ExGetSel(a, b);
    const int first = firstLine == 0 && lastLine == 0 ? rich.ExLineFromChar(b) : firstLine;
    const int last = firstLine == 0 && lastLine == 0 ? first + 1 : lastLine;
    rich.BeginUndoGroup();
    RuleTabLines(first, last);
    rich.EndUndoGroup();
    SetSel(0, 0);
  } else if (code == TableKey::kTabsToTable || code == TableKey::kBarsToTable) {
    if (Pane().m_nShownKind != kKindRtf) {
      ReleaseTableLock();
      return 0;
    }
    plat::RichEdit& rich = UseRichText();
    rich.BeginUndoGroup();
    if (code == TableKey::kTabsToTable) {
      ConvertTabLines(firstLine, lastLine);
    } else {
      ConvertBarLines(firstLine, lastLine);
    }
    rich.EndUndoGroup();
    SetSel(m_pModel->LineIndex(std::max(firstLine, 0)), m_pModel->LineIndex(std::max(firstLine, 0)));
  } else {
    ReleaseTableLock();
    return 0;
  }
  return TableCommonEnd(code);
}

// The common end of the edit road: the control's RTF becomes the document text (the
// buffer grows to whatever the RTF needs), the panes are refreshed when asked, and
// the lock goes back one level.
int CQelView::TableCommonEnd(TableKey code) {
  if (WritesBack(code)) {
    const int64_t want = int64_t{std::max(m_doc.m_nTextLen, 0)} + kWriteBackSpare;
    if (static_cast<int64_t>(m_doc.m_textStore.size()) < want &&
        !TryResize(m_doc.m_textStore, static_cast<size_t>(want), &m_doc.m_allocHook)) {
      AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 041");
    } else {
      m_doc.m_pText = m_doc.m_textStore.data();
      m_doc.m_nTextCap = static_cast<int>(m_doc.m_textStore.size());
      m_doc.m_nStreamLimit = m_doc.m_nTextCap;
      m_doc.m_nStreamPos = 0;
      if (StreamOutRtf(0, 0) == 0) {
        m_doc.m_nTextLen = m_doc.m_nStreamPos;
      } else {
        AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 041");
      }
    }
  }
  if (Table().m_bPaneRefresh) RefreshKeepingScroll(0);
  ReleaseTableLock();
  return 0;
}

namespace {

// What the view keeps of a built sheet's layout: the column stops, the sheet starts,
// the printer defaults and margins of its settings line, and in table text mode 3
// the display page and its status line.
void KeepSheetLayout(CQelView& view, const sheet::BuildOutput& out) {
  CQelDoc& doc = view.GetDocument();
  for (size_t k = 0; k < out.stops.size(); ++k) view.Table().m_anColumnStops[k] = out.stops[k];
  view.Table().m_nMaxColumnsSeen = std::max(view.Table().m_nMaxColumnsSeen, out.maxColumns);
  for (size_t k = 0; k < out.sheetStartOffsets.size() && k + 1 < view.Table().m_anSheetStartOffset.size(); ++k) {
    view.Table().m_anSheetStartOffset[k + 1] = out.sheetStartOffsets[k];
  }
  // The settings line's paper and scale become the printer defaults.
  if (out.paper) sheet::PaperOfLetter(out.paper, doc.RichText().m_nPrinterPaper, doc.RichText().m_nPrinterOrientation);
  if (out.scale > 0) doc.RichText().m_nPrinterScale = out.scale;
  if (out.marginsSet) {
    int* margins[4] = {&view.Table().m_nPrintMarginTop, &view.Table().m_nPrintMarginBottom, &view.Table().m_nPrintMarginLeft, &view.Table().m_nPrintMarginRight};
    for (int k = 0; k < 4; ++k) {
      if (out.margins[k] != -99) *margins[k] = out.margins[k];
    }
    const int set[4] = {view.Table().m_nPrintMarginTop, view.Table().m_nPrintMarginBottom, view.Table().m_nPrintMarginLeft, view.Table().m_nPrintMarginRight};
    sheet::MarginsToPrintSettings(set, doc.m_nPrSpace1, doc.m_nPrSpace2, doc.m_nPrSpace3);
  }
  if (view.Table().m_nTextMode == 3) {
    view.Table().m_nPageStartOffset = out.pageStartOffset;
    view.Table().m_nPageEndOffset = out.pageEndOffset;
    view.Table().m_nSheetRowsTotal = out.rowsTotal;
    view.Table().m_nPageRowsShown = std::max(out.lastRowShown - view.Table().m_nPageStart, 0);
    if (g_pStatusBar && (out.rowsTotal > out.lastRowShown || view.Table().m_nPageStart > 0)) {
      // A later page says where it stands; the last one has no next page to offer.
      char text[96];
      std::snprintf(text, sizeof text,
                    out.rowsTotal > out.lastRowShown ? " disp  %d / %d line  (Down button to next page)" : " disp  %d / %d line",
                    out.lastRowShown, out.rowsTotal);
      g_pStatusBar->SetPaneText(0, text);
    }
  }
}

}  // namespace

void CQelView::FillUnsetPrintMargins() {
  const int p1 = m_doc.m_nPrSpace1, p2 = m_doc.m_nPrSpace2, p3 = m_doc.m_nPrSpace3;
  const int fromSettings[4] = {(10 * (p1 / 100) + p3 / 1000) * 100, (10 * (p1 % 100) + (p3 % 1000) / 100) * 100,
                               (10 * (p2 / 100) + (p3 % 100) / 10) * 100, (10 * (p2 % 100) + p3 % 10) * 100};
  int* margins[4] = {&Table().m_nPrintMarginTop, &Table().m_nPrintMarginBottom, &Table().m_nPrintMarginLeft, &Table().m_nPrintMarginRight};
  for (int k = 0; k < 4; ++k) {
    if (*margins[k] == -99) *margins[k] = fromSettings[k];
  }
}

bool CQelView::ReserveSheetText() {
  // The output size, in 64 bits: columns x rows x 200 passes 32 bits on large sheets.
  int64_t size = int64_t{Table().m_nCellTextLen} + int64_t{std::max(Table().m_nColumns, 0)} * std::max(Table().m_nRows, 0) * kBytesPerCell;
  size = std::max<int64_t>(size, kMinOutput);
  if (Table().m_nTextMode == 3) {
    // One display page is written: room for its rows, not the whole sheet's (the
    // build grows the buffer when a page needs more).
    const int64_t page = int64_t{std::max(Table().m_nColumns, 0)} *
                         sheet::DisplayPageRows(m_doc.m_nDisplayPageRows, Table().m_nColumns) * kBytesPerCell;
    size = std::min<int64_t>(std::max<int64_t>(std::min(size, page), kTableModeMinOutput), m_doc.m_nOutDataLimit);
  }
  if (size > INT32_MAX - kOutputSpare - 1 ||
      (static_cast<int64_t>(m_doc.m_textStore.size()) < size + kOutputSpare &&
       !TryResize(m_doc.m_textStore, static_cast<size_t>(size + kOutputSpare), &m_doc.m_allocHook))) {
    char text[64];
    std::snprintf(text, sizeof text, " %lld TAct1", static_cast<long long>(size));
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + text + " 038");
    m_doc.m_nTextCap = m_doc.m_nStreamLimit = 0;
    return false;
  }
  m_doc.m_pText = m_doc.m_textStore.data();
  m_doc.m_nTextCap = m_doc.m_nStreamLimit = static_cast<int>(size);
  return true;
}

void CQelView::StreamSheetIntoPane(TableKey code, int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  rich.BeginUndoGroup();
  if (code != TableKey::kNewGrid) {
    if (firstLine == 0 && lastLine == 0) {
      rich.ExSetSel(0, -1);
    } else {
      const int a = rich.LineIndex(std::max(firstLine, 0));
      const int b = lastLine < rich.GetLineCount() ? rich.LineIndex(lastLine) : rich.GetTextLength();
      rich.ExSetSel(a < 0 ? rich.GetTextLength() : a, b < 0 ? rich.GetTextLength() : b);
    }
    rich.ReplaceSel("", true);
  }
  m_doc.m_nStreamEnd = m_doc.m_nTextLen;
  m_doc.m_nStreamPos = 0;
  StreamInRtf(0, 1);
  rich.EndUndoGroup();
}

int CQelView::BuildSheet(TableKey code, int number, int firstLine, int lastLine) {
  ZeroedVector<char> work;
  if (!TryResize(work, kWorkBuffer, &m_doc.m_allocHook)) {
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY));
    ReleaseTableLock();
    return -1;
  }
  const bool whole = code == TableKey::kWholeSheet;
  const bool append = code == TableKey::kAppendRow;
  if (append) ++Table().m_nRows;

  HoldCellText();

  if (RowLimitReached() || !ReserveSheetText()) {
    if (append) --Table().m_nRows;
    ReleaseTableLock();  // one level: a caller's own lock stays
    return 1;
  }
  // Print margins still unset come from the document's print settings.
  FillUnsetPrintMargins();

  sheet::BuildInput in;
  in.cells = std::string_view(Table().m_cellStore);
  in.code = code;
  in.number = number;
  in.wholeText = firstLine == 0 && lastLine == 0;
  in.tableTextMode = Table().m_nTextMode == 3;
  in.pageStart = Table().m_nPageStart;
  in.pageRows = sheet::DisplayPageRows(m_doc.m_nDisplayPageRows, Table().m_nColumns);
  in.verticalRules = Table().m_bSheetVerticalRules != 0;
  in.background = m_doc.m_clrTextBack;
  in.charColours = m_doc.m_strCharColours;
  in.picture = [this](const std::string& path, int width, int height) { return PictureObjectRtf(path, width, height); };
  sheet::BuildOutput out = sheet::BuildSheetRtfText(in);

  // A sheet that does not fit the buffer grows it; when memory runs out, the sheets
  // end at the last whole row that fits, and the status says so.
  if (static_cast<int64_t>(out.rtf.size()) + 1 > m_doc.m_nTextCap) {
    const int64_t need = static_cast<int64_t>(out.rtf.size()) + kOutputSpare;
    if (need < INT32_MAX && TryResize(m_doc.m_textStore, static_cast<size_t>(need), &m_doc.m_allocHook)) {
      m_doc.m_pText = m_doc.m_textStore.data();
      m_doc.m_nTextCap = m_doc.m_nStreamLimit = static_cast<int>(need);
    } else {
      in.limit = std::max<int64_t>(m_doc.m_nTextCap - 1000, 0);
      out = sheet::BuildSheetRtfText(in);
      if (out.rtf.size() + 1 > static_cast<size_t>(std::max(m_doc.m_nTextCap, 0))) {
        AfxMessageBox(OutOfMemoryText(" 038"));
        if (append) --Table().m_nRows;
        ReleaseTableLock();
        return 1;
      }
      if (g_pStatusBar) g_pStatusBar->SetPaneText(0, LoadString(IDS_DATA_OMITTED));
    }
  }
  if (out.sheetsCut && g_pStatusBar) g_pStatusBar->SetPaneText(0, LoadString(IDS_DATA_OMITTED));
  KeepSheetLayout(*this, out);

  std::memcpy(m_doc.m_pText, out.rtf.data(), out.rtf.size());
  m_doc.m_pText[out.rtf.size()] = '\0';
  m_doc.m_nTextLen = static_cast<int>(out.rtf.size());

  if (!whole) {
    StreamSheetIntoPane(code, firstLine, lastLine);
  } else {
    m_doc.m_nStreamEnd = m_doc.m_nTextLen;
    m_doc.m_nStreamPos = 0;
  }
  if (Table().m_nPageStartCount < static_cast<int>(Table().m_anPageStartList.size())) Table().m_anPageStartList[static_cast<size_t>(Table().m_nPageStartCount++)] = Table().m_nPageStart;
  ReleaseTableLock();
  return 0;
}

std::string CQelView::PictureObjectRtf(const std::string& path, int width, int height) {
  // A name without a drive or root is taken from the shown file's folder.
  std::string file = path;
  if (!file.empty() && file.find(':') == std::string::npos && file[0] != '\\') {
    const std::string shown = GetRealFileName();
    const size_t slash = shown.rfind('\\');
    if (slash != std::string::npos) file = shown.substr(0, slash + 1) + file;
  }
  // Room for the largest picture's hex text with its line ends and fixed parts.
  std::string rtf(400000, '\0');
  int pos = 0;
  // The object's size is written at 3/2 of what it is given: the box in twips, given as 2/3.
  std::string why;
  if (sheet::WriteBitmapObjectRtf(m_doc, file, rtf.data(), &pos, static_cast<int>(rtf.size()), width * 2 / 3, height * 2 / 3,
                                  &why) != 0) {
    AfxNote("picture " + path + " left out: " + why);
    return {};
  }
  rtf.resize(static_cast<size_t>(pos));
  return rtf;
}
