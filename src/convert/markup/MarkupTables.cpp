// Table rows and cells: cells gather in the matrix, row by row, and a flush lays
// the gathered rows out as aligned columns. Spreadsheet XML has its sheet, row and
// cell elements in the places of the table, row and cell tags.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"

namespace {

constexpr int kRowLinesHeld = 5;  // row lines kept free beyond the deepest row

}  // namespace

bool MarkupConverter::IsTableTag(bool end) const {
  if (m_dialect == MarkupDialect::Html) return Word(end ? "/table" : "table");
  return Word(end ? "/sheetData" : "sheetData");
}

bool MarkupConverter::IsRowTag(bool end) const {
  if (m_dialect == MarkupDialect::Html) return Word(end ? "/tr" : "tr");
  return Word(end ? "/row" : "row");
}

bool MarkupConverter::IsCellTag(bool end) const {
  if (m_dialect == MarkupDialect::Html) return end ? Word("/td") || Word("/th") : Word("td") || Word("th");
  return Word(end ? "/c" : "c");
}

// A row starts at column 0 on the next free row line; columns that a cell of an
// earlier row spans down into are marked covered and their counters count down.
void MarkupConverter::StartRow(bool countSpans) {
  m_inRow = true;
  m_inCell = false;
  m_column = 0;
  m_cellLine = 0;
  m_rowDeepest = 0;
  if (!countSpans) return;
  for (size_t c = 0; c < m_rowSpan.size(); ++c) {
    m_covered[c] = m_rowSpan[c] > 0;
    if (m_covered[c]) --m_rowSpan[c];
  }
}

void MarkupConverter::EndRow() {
  if (!m_inRow) return;
  EndCell();
  m_rowLine += 1 + m_rowDeepest;
  m_inRow = false;
  m_cellLine = 0;
  if (m_matrix.RowCapacity() - m_rowLine < m_rowDeepest + kRowLinesHeld) m_matrixFull = true;
  m_rowDeepest = 0;
}

void MarkupConverter::StartCell() {
  if (m_listing) {
    Break();
    return;
  }
  if (!m_inRow) {
    Out("\n");
    StartRow(true);
  }
  EndCell();
  m_column = std::min(m_column + 1, CellMatrix::kMaxColumn);
  while (m_column < CellMatrix::kMaxColumn && m_covered[m_column]) ++m_column;
  // Sheet cells have no spans.
  const bool html = m_dialect == MarkupDialect::Html;
  const int columnSpan = html ? NumberAttribute("colspan") : 1;
  const int rowSpan = html ? NumberAttribute("rowspan") : 1;
  m_cellSpan = std::clamp(columnSpan, 1, CellMatrix::kMaxColumn + 1 - m_column);
  if (rowSpan > 1) {
    for (int c = m_column; c < m_column + m_cellSpan; ++c) m_rowSpan[c] = rowSpan - 1;
  }
  m_inCell = true;
  m_cellLine = 0;
  m_cellWidest = 0;
  m_maxColumn = std::max(m_maxColumn, m_column + m_cellSpan - 1);
}

// The cell's widest line widens its column, unless it spans several columns (its
// text then overflows into the empty cells it spans at the flush).
void MarkupConverter::EndCell() {
  if (!m_inCell) return;
  const int widest = std::max(m_cellWidest, m_matrix.Length(m_rowLine + m_cellLine, m_column));
  if (m_cellSpan <= 1) m_matrix.Widen(m_column, widest);
  m_column = std::min(m_column + m_cellSpan - 1, CellMatrix::kMaxColumn);
  m_inCell = false;
  m_cellLine = 0;
  m_cellWidest = 0;
  m_cellSpan = 1;
}

bool MarkupConverter::MatrixFull() const {
  return m_matrixFull || (m_inRow && m_rowLine + m_cellLine >= m_matrix.RowCapacity() - 1);
}

// Writes the gathered rows. A flush forced by a full matrix keeps the column
// widths and carries an open row and cell on at the top of the emptied matrix.
void MarkupConverter::FlushTable(bool forced) {
  const bool rowOpen = m_inRow;
  const bool cellOpen = m_inCell;
  const int column = m_column;
  const int span = m_cellSpan;
  EndRow();
  if (m_rowLine > 0) {
    m_matrix.Flush(m_rowLine, m_maxColumn, m_separator, m_out);
  }
  m_rowLine = 0;
  m_matrixFull = false;
  if (!forced) {
    m_matrix.ClearWidths();
    m_maxColumn = 0;
    return;
  }
  if (rowOpen) {
    StartRow(false);
    m_column = column;
    if (cellOpen) {
      m_inCell = true;
      m_cellSpan = span;
    }
  }
}
