// CQelView::BuildSheetRtf: a table region of the rich-edit control re-rendered for a
// column code. The region (the lines around the caret that hold the table's Tabs) is
// streamed out as RTF into the document text, rewritten for the code into a work
// buffer sized once before, and streamed back in place of the region in one undo
// group. The document text and the work buffer are taken before anything changes, so
// running out of memory leaves the control as it was.
#include <algorithm>
#include <cstring>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "richtext/table/ColumnRewrite.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

constexpr int kLineRead = 3000;
constexpr int64_t kMinBuffer = 200000;
constexpr int kSpare = 500;
constexpr int kPiecesAbove = 500000;

int TabsOfLine(const plat::RichEdit& rich, int line) {
  const std::string text = rich.GetLine(line);
  const size_t n = std::min<size_t>(text.size(), kLineRead);
  int tabs = 0;
  for (size_t i = 0; i < n && text[i] != '\0'; ++i) tabs += text[i] == '\t' ? 1 : 0;
  return tabs;
}

void ShowFormatPane(const std::string& text) {
  if (!g_pStatusBar || text.empty()) return;
  g_pStatusBar->SetPaneText(g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT), text);
}

// The table region around the caret line: up while lines hold 3 Tabs or more, down
// while they hold any. narrow is the first line below that holds 6 Tabs fewer than
// the widest before it (-1 when a wider one follows again or there is none).
struct TableRegion {
  int first = 0;
  int last = 0;  // the first line below that holds no Tab (or the line count)
  int narrow = -1;
  int64_t tabsSeen = 0;
  int lastBytes = 0;  // the bytes read of the last line looked at
};

TableRegion FindTableRegion(const plat::RichEdit& rich, int caretLine) {
  TableRegion region;
  const int lines = rich.GetLineCount();
  int first = caretLine;
  int largest = 0;
  while (first > 0) {
    const int tabs = TabsOfLine(rich, first);
    largest = std::max(largest, tabs);
    region.tabsSeen += tabs;
    if (tabs < 3) break;
    --first;
  }
  int last = caretLine + 1;
  int narrow = -1;
  for (; last < lines; ++last) {
    const int tabs = TabsOfLine(rich, last);
    region.tabsSeen += tabs;
    region.lastBytes = static_cast<int>(std::min<size_t>(rich.GetLine(last).size(), kLineRead));
    if (tabs == 0) break;
    largest = std::max(largest, tabs);
    if (narrow < 0 && tabs < largest - 5) narrow = last;
    if (narrow >= 0 && tabs > largest - 4) narrow = -1;
  }
  region.first = first;
  region.last = last;
  region.narrow = narrow;
  return region;
}

// The rewritten text goes into the document text through the work buffer, which grows
// when a rewrite outgrows the size taken before; neither is ever written past. False,
// with the memory message shown, when either cannot grow.
bool PutRewrittenText(CQelDoc& doc, ZeroedVector<char>& work, const std::string& rtf) {
  if (rtf.size() + 1 > work.size() && !TryResize(work, rtf.size() + kSpare, &doc.m_allocHook)) {
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 043");
    return false;
  }
  std::memcpy(work.data(), rtf.data(), rtf.size());
  if (rtf.size() + 1 > doc.m_textStore.size() && !TryResize(doc.m_textStore, rtf.size() + kSpare, &doc.m_allocHook)) {
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 042");
    return false;
  }
  doc.m_pText = doc.m_textStore.data();
  doc.m_nTextCap = static_cast<int>(std::min<size_t>(doc.m_textStore.size(), INT32_MAX));
  std::memcpy(doc.m_pText, work.data(), rtf.size());
  doc.m_pText[rtf.size()] = '\0';
  doc.m_nTextLen = static_cast<int>(rtf.size());
  return true;
}

}  // namespace

void CQelView::BuildSheetRtf(TableKey code, int position, int firstLine, int column, int lastLine, int number, int caret, int,
                             bool exactRows) {
  plat::RichEdit& rich = UseRichText();
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int lines = rich.GetLineCount();
  const int caretLine = rich.ExLineFromChar(selA);

  const TableRegion region = FindTableRegion(rich, caretLine);
  const int first = region.first, last = region.last, narrow = region.narrow;
  const int regionStart = rich.LineIndex(first);
  const int regionEnd = last + 1 < lines ? rich.LineIndex(last + 1) - 1 : rich.GetTextLength();
  const int regionLast = std::min(last, lines - 1);

  // Rows counted from the region's first line.
  int firstRow = std::max(firstLine - first, 0);
  int endRow = std::max(lastLine - first, 0);
  if (firstRow == 0 && !exactRows) firstRow = std::max(rich.ExLineFromChar(position) - first, 0);
  const bool columnCode = IsColumnKey(code) || IsRuleSlotKey(code);
  if (columnCode && endRow == 0 && narrow >= 0 && !exactRows) endRow = narrow - first;

  // Both buffers are taken before anything changes.
  int64_t size = 100 * (region.tabsSeen + 10 * int64_t{regionLast - first + 1}) + 8 * int64_t{region.lastBytes};
  size = std::max({size, kMinBuffer, 2 * int64_t{std::max(m_doc.m_nTextLen, 0)} + 20000});
  if (size > INT32_MAX - kSpare - 1 ||
      (static_cast<int64_t>(m_doc.m_textStore.size()) < size + kSpare &&
       !TryResize(m_doc.m_textStore, static_cast<size_t>(size + kSpare), &m_doc.m_allocHook))) {
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 042");
    return;
  }
  m_doc.m_pText = m_doc.m_textStore.data();
  m_doc.m_nTextCap = m_doc.m_nStreamLimit = static_cast<int>(size);
  ZeroedVector<char> work;
  if (!TryResize(work, static_cast<size_t>(size + kSpare), &m_doc.m_allocHook)) {
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 043");
    return;
  }

  rich.ExSetSel(regionStart, regionEnd);
  m_doc.m_nStreamPos = 0;
  if (StreamOutRtf(0, 1) != 0) {
    rich.ExSetSel(selA, selB);
    AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + " 042");
    return;
  }
  m_doc.m_pText = m_doc.m_textStore.data();
  m_doc.m_nTextLen = m_doc.m_nStreamPos;
  rich.ExSetSel(selA, selB);

  // The rewrite.
  const plat::RichFragment frag =
      plat::ReadRtf(std::string_view(m_doc.m_pText, static_cast<size_t>(m_doc.m_nTextLen)), rich.DefaultCharFormat());
  std::vector<sheetcols::SheetRow> rows = sheetcols::RowsOf(frag);
  sheetcols::RewriteInput in;
  in.code = code;
  in.first = firstRow;
  in.end = endRow;
  in.column = column;
  in.number = number;
  in.textSize = rich.GetTextLength() > 1 ? std::max(rich.FormatAt(1).yHeight / 10, 1) : 21;
  in.moveFollowingStops = Table().m_bMoveFollowingStops != 0;
  in.exactRange = exactRows;
  if (code == TableKey::kSplit) {
    in.splitLength = number != 0 ? SplitLengthAtCaret(caret) : sheetcols::SplitLengthOfSearch(Pane().m_strSearch);
  }
  const sheetcols::RewriteResult res = sheetcols::RewriteColumns(rows, in);
  ShowFormatPane(res.status);
  if (res.rowsChanged == 0) {
    // A refused or empty edit leaves the control (and its undo) as it was and says why.
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, res.refusal);
    return;
  }
  const std::string rtf = plat::WriteRtf(sheetcols::FragmentOf(rows), rich.DefaultCharFormat());

  if (!PutRewrittenText(m_doc, work, rtf)) return;

  rich.BeginUndoGroup();
  rich.ExSetSel(regionStart, regionEnd);
  rich.ReplaceSel("", true);
  m_doc.m_nStreamLimit = m_doc.m_nTextLen;
  m_doc.m_nStreamPos = 0;
  m_doc.m_nStreamEnd = 0;
  if (m_doc.m_nTextLen > kPiecesAbove && Table().m_bPaneRefresh == 0) {
    m_doc.m_nStreamEnd = m_doc.m_nTextLen;
    OutputListing();
  } else {
    StreamInRtf(0, 1);
  }
  // The region's last paragraph ends outside it: its stops are set apart.
  if (!rows.empty() && !rows.back().ended) {
    const int line = first + static_cast<int>(rows.size()) - 1;
    if (line < rich.GetLineCount() && !(rich.ParaOfLine(line) == rows.back().para)) {
      const int at = rich.LineIndex(line);
      rich.ExSetSel(at, at);
      rich.SetParaFormat(rows.back().para);
    }
  }
  rich.EndUndoGroup();
  rich.ExSetSel(std::min(selA, rich.GetTextLength()), std::min(selB, rich.GetTextLength()));
}

// 'I' at the caret: the cell is split where the caret stands. The characters counted
// run from the first one after the cell's Tab that is neither a leader ('.', '_') nor
// a 1-point slot, to the caret, plus the slot itself.
int CQelView::SplitLengthAtCaret(int caret) {
  plat::RichEdit& rich = UseRichText();
  const int line = rich.ExLineFromChar(caret);
  const int start = rich.LineIndex(line);
  int tab = start - 1;
  for (int cp = start; cp < caret; ++cp) {
    if (rich.GetTextRange(cp, cp + 1) == "\t") tab = cp;
  }
  int cp = tab + 1;
  while (cp < caret) {
    const std::string ch = rich.GetTextRange(cp, cp + 1);
    if (ch != "." && ch != "_" && rich.FormatAt(cp).yHeight >= 50) break;
    ++cp;
  }
  return std::max(caret - cp + 1, 0);
}
