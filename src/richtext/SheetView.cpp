// The pane's update for a sheet: the document's cell text (cell marks, sheet heads
// "!*[Sheet%2d]") becomes the view's cell text, the engine renders it whole ('T'), and
// the sheet RTF it leaves in the document text is streamed into the rich-text control.
#include <algorithm>

#include "app/FileKind.h"
#include "view/QelView.h"

bool CQelView::ShowSheet() {
  if (m_nFileKind != kKindCsv) m_nTextMode = 0;
  if (m_nFileKind != kKindCsv || m_nDisplayForm != 0 || !m_doc.m_pText || m_doc.m_nTextLen <= 0) return false;
  const std::string_view text(m_doc.m_pText, static_cast<size_t>(m_doc.m_nTextLen));
  if (text.starts_with("{\\rtf")) {
    // Another pane has rendered the sheet already.
    return StreamRtfText(text, false);
  }
  m_cellStore.assign(text);
  m_pTextBuf = m_cellStore.data();
  m_nTextLen = static_cast<int>(m_cellStore.size());
  int rows = 0, columns = 0, cells = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x06') ++cells;
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++rows;
      columns = std::max(columns, cells);
      cells = 1;
    }
  }
  if (!text.ends_with('\n') && !text.ends_with('\r')) ++rows;
  m_nRows = rows;
  m_nColumns = std::max(columns, cells);
  m_nRowLimit = std::max(m_doc.m_nTableRows, 0);
  m_nFileKind = kKindCsv;
  m_nTextMode = 3;
  if (TableCommand('T', -1, 0, 0, 0, 0, 0, 0) != 0) return false;
  if (!StreamRtfText(std::string_view(m_doc.m_pText, static_cast<size_t>(m_doc.m_nTextLen)), false)) return false;
  m_nAnchor = 0;
  SyncSelection();
  return true;
}
