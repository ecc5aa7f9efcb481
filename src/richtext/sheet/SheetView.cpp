// The pane's update for a sheet: the document's cell text (cell marks, sheet heads
// "!*[Sheet%2d]") becomes the view's cell text, each row cut after 16,384 cells, the
// engine renders it whole ('T'), and the sheet RTF it leaves in the document text is
// streamed into the rich-text control.
#include <algorithm>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"
#include "richtext/ViewTableState.h"
#include "richtext/sheet/SheetRtfWriter.h"
#include "view/QelView.h"

namespace {

// A sheet row holds at most 16,384 cells, the columns of the widest worksheet (XFD):
// the cells after them are not shown, so that a row of millions of cells costs what
// a row of a worksheet does.
constexpr int kMaxSheetColumns = 16384;
constexpr int kSizeStepUnit = 15;  // 'T' number of one size step: text size 3 x step + 9 half-points
constexpr int kSizeStepBase = 45;

// Whether a line of the control holds a table row (a Tab).
bool IsRowLine(const plat::RichEdit& rich, int line) { return rich.GetLine(line).find('\t') != std::string::npos; }

}  // namespace

int CQelView::SheetSizeNumber() const {
  if (Table().m_nFontSizeStepFixed > 0) return kSizeStepUnit * Table().m_nFontSizeStepFixed + kSizeStepBase;
  // The size letter's table size is (3 x step + 9) x 10.
  if (m_doc.m_nTablePointSize > 0) return m_doc.m_nTablePointSize / 2;
  return -1;
}

bool CQelView::SheetPageKey(int code, bool ctrl) {
  plat::RichEdit* rich = Rich();
  if (!rich || Pane().m_nShownKind != kKindCsv || Table().m_nTextMode != 3 || Table().m_cellStore.empty() || Table().m_pTextBuf != Table().m_cellStore.data()) return false;
  const int pageRows = sheet::DisplayPageRows(m_doc.m_nDisplayPageRows, Table().m_nColumns);
  const int lastPage = std::max(Table().m_nSheetRowsTotal - 1, 0) / pageRows * pageRows;
  int a = 0, b = 0;
  rich->ExGetSel(a, b);
  const int line = rich->ExLineFromChar(b);
  auto rowBelow = [&] {
    for (int l = line + 1; l < rich->GetLineCount(); ++l) {
      if (IsRowLine(*rich, l)) return true;
    }
    return false;
  };
  auto rowAbove = [&] {
    for (int l = line - 1; l >= 0; --l) {
      if (IsRowLine(*rich, l)) return true;
    }
    return false;
  };
  const bool more = Table().m_nPageStart + std::max(Table().m_nPageRowsShown, 1) < Table().m_nSheetRowsTotal;
  if (ctrl && code == plat::VK_END && Table().m_nPageStart != lastPage && Table().m_nSheetRowsTotal > pageRows) {
    ShowSheetPage(lastPage, true);
  } else if (ctrl && code == plat::VK_HOME && Table().m_nPageStart != 0) {
    ShowSheetPage(0, false);
  } else if (!ctrl && (code == plat::VK_DOWN || code == plat::VK_NEXT) && more && !rowBelow()) {
    ShowSheetPage(Table().m_nPageStart + std::max(Table().m_nPageRowsShown, 1), false);
  } else if (!ctrl && (code == plat::VK_UP || code == plat::VK_PRIOR) && Table().m_nPageStart > 0 && !rowAbove()) {
    ShowSheetPage(std::max(Table().m_nPageStart - pageRows, 0), true);
  } else {
    return false;
  }
  return true;
}

// Renders the display page from row pageStart of the view's cell text and shows it,
// the caret at its first row, or at its end.
void CQelView::ShowSheetPage(int pageStart, bool atEnd) {
  Table().m_nPageStart = pageStart;
  if (TableCommand(TableKey::kWholeSheet, {.number = SheetSizeNumber()}) != 0) return;
  if (!StreamRtfText(std::string_view(m_doc.m_pText, static_cast<size_t>(std::max(m_doc.m_nTextLen, 0))), false)) return;
  plat::RichEdit& rich = UseRichText();
  int line = 0;
  if (atEnd) {
    line = rich.GetLineCount() - 1;
    while (line > 0 && !IsRowLine(rich, line)) --line;
  }
  rich.SetScrollPos(CPoint{0, std::max(line - (atEnd ? kClientHeight / kLineHeight - 1 : 0), 0)});
  SetSel(m_pModel->LineIndex(line), m_pModel->LineIndex(line));
}

bool CQelView::ShowSheet() {
  if (Pane().m_nShownKind != kKindCsv) Table().m_nTextMode = 0;
  // A load that showed nothing of the file leaves its reason as the text, not a sheet.
  if (Pane().m_nShownKind != kKindCsv || Pane().m_nShownForm != 0 || !m_doc.m_pText || m_doc.m_nTextLen <= 0 ||
      m_doc.m_bNothingShown) {
    return false;
  }
  const std::string_view text(m_doc.m_pText, static_cast<size_t>(m_doc.m_nTextLen));
  if (text.starts_with("{\\rtf")) {
    // Another pane has rendered the sheet already.
    return StreamRtfText(text, false);
  }
  // The cell text, each row cut after the engine's last column.
  Table().m_cellStore.clear();
  Table().m_cellStore.reserve(text.size());
  int rows = 0, columns = 0, cells = 1;
  bool cut = false;
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\x06' && ++cells > kMaxSheetColumns) {
      // The rest of the row goes: a column mark or a line end is never a trail byte.
      Table().m_cellStore.append(text.substr(from, i - from));
      cut = true;
      while (i + 1 < text.size() && text[i + 1] != '\r' && text[i + 1] != '\n') ++i;
      from = i + 1;
      cells = kMaxSheetColumns;
      continue;
    }
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++rows;
      columns = std::max(columns, cells);
      cells = 1;
    }
  }
  Table().m_cellStore.append(text.substr(std::min(from, text.size())));
  Table().m_pTextBuf = Table().m_cellStore.data();
  Table().m_nCellTextLen = static_cast<int>(Table().m_cellStore.size());
  if (!text.ends_with('\n') && !text.ends_with('\r')) ++rows;
  Table().m_nRows = rows;
  Table().m_nColumns = std::max(columns, cells);
  Table().m_nRowLimit = std::max(m_doc.m_nTableRows, 0);
  Pane().m_nShownKind = kKindCsv;
  Table().m_nTextMode = 3;
  Table().m_nPageStart = 0;
  if (TableCommand(TableKey::kWholeSheet, {.number = SheetSizeNumber()}) != 0) return false;
  if (!StreamRtfText(std::string_view(m_doc.m_pText, static_cast<size_t>(m_doc.m_nTextLen)), false)) return false;
  if (cut) {
    m_doc.m_bPartialLoad = 1;  // what the pane holds is not the whole file: a save warns
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, LoadString(IDS_DATA_OMITTED));
  }
  m_nAnchor = 0;
  SyncSelection();
  return true;
}
