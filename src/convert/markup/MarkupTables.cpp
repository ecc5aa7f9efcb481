// Table rows and cells: cells gather in the matrix, row by row, and a flush lays
// the gathered rows out as aligned columns. Spreadsheet XML has its sheet, row and
// cell elements in the places of the table, row and cell tags.
#include <algorithm>

#include "app/QelDoc.h"
#include "convert/markup/MarkupConverter.h"

namespace {

constexpr int kRowLinesHeld = 5;  // row lines kept free beyond the deepest row

}  // namespace

// Spreadsheet XML comes as an XLSX worksheet part (sheetData, row, c) or as the
// older XML spreadsheet (Table, Row, Cell); both sets are taken, by their names, so
// that no other element of either ("col", "cols", "Column", "Comment", "rowBreaks")
// opens a row or a cell.
bool MarkupConverter::IsTableTag(bool end) const {
  if (dialect_ == MarkupDialect::Html) return Word(end ? "/table" : "table");
  return end ? Word("/sheetData") || Word("/table") : Word("sheetData") || Word("table");
}

bool MarkupConverter::IsRowTag(bool end) const {
  if (dialect_ == MarkupDialect::Html) return Word(end ? "/tr" : "tr");
  return Word(end ? "/row" : "row");
}

bool MarkupConverter::IsCellTag(bool end) const {
  if (dialect_ == MarkupDialect::Html) return end ? Word("/td") || Word("/th") : Word("td") || Word("th");
  return end ? Word("/c") || Word("/cell") : Word("c") || Word("cell");
}

// A row starts at column 0 on the next free row line; columns that a cell of an
// earlier row spans down into are marked covered and their counters count down.
void MarkupConverter::StartRow(bool countSpans) {
  inRow_ = true;
  inCell_ = false;
  column_ = 0;
  cellLine_ = 0;
  rowDeepest_ = 0;
  if (!countSpans) return;
  for (size_t c = 0; c < rowSpan_.size(); ++c) {
    covered_[c] = rowSpan_[c] > 0;
    if (covered_[c]) --rowSpan_[c];
  }
}

void MarkupConverter::EndRow() {
  if (!inRow_) return;
  EndCell();
  rowLine_ += 1 + rowDeepest_;
  inRow_ = false;
  cellLine_ = 0;
  if (matrix_.RowCapacity() - rowLine_ < rowDeepest_ + kRowLinesHeld) matrixFull_ = true;
  rowDeepest_ = 0;
}

void MarkupConverter::StartCell() {
  if (listing_) {
    Break();
    return;
  }
  if (!inRow_) {
    Out("\n");
    StartRow(true);
  }
  EndCell();
  column_ = std::min(column_ + 1, CellMatrix::kMaxColumn);
  while (column_ < CellMatrix::kMaxColumn && covered_[column_]) ++column_;
  // Sheet cells have no spans.
  const bool html = dialect_ == MarkupDialect::Html;
  const int columnSpan = html ? NumberAttribute("colspan") : 1;
  const int rowSpan = html ? NumberAttribute("rowspan") : 1;
  cellSpan_ = std::clamp(columnSpan, 1, CellMatrix::kMaxColumn + 1 - column_);
  if (rowSpan > 1) {
    for (int c = column_; c < column_ + cellSpan_; ++c) rowSpan_[c] = rowSpan - 1;
  }
  inCell_ = true;
  cellLine_ = 0;
  cellWidest_ = 0;
  maxColumn_ = std::max(maxColumn_, column_ + cellSpan_ - 1);
}

// The cell's widest line widens its column, unless it spans several columns (its
// text then overflows into the empty cells it spans at the flush).
void MarkupConverter::EndCell() {
  if (!inCell_) return;
  const int widest = std::max(cellWidest_, matrix_.Length(rowLine_ + cellLine_, column_));
  if (cellSpan_ <= 1) matrix_.Widen(column_, widest);
  column_ = std::min(column_ + cellSpan_ - 1, CellMatrix::kMaxColumn);
  inCell_ = false;
  cellLine_ = 0;
  cellWidest_ = 0;
  cellSpan_ = 1;
}

bool MarkupConverter::MatrixFull() const {
  return matrixFull_ || (inRow_ && rowLine_ + cellLine_ >= matrix_.RowCapacity() - 1);
}

// Writes the gathered rows. A flush forced by a full matrix keeps the column
// widths and carries an open row and cell on at the top of the emptied matrix.
void MarkupConverter::FlushTable(bool forced) {
  const bool rowOpen = inRow_;
  const bool cellOpen = inCell_;
  const int column = column_;
  const int span = cellSpan_;
  EndRow();
  if (rowLine_ > 0) {
    matrix_.Flush(rowLine_, maxColumn_, separator_, out_);
  }
  rowLine_ = 0;
  matrixFull_ = false;
  if (!forced) {
    matrix_.ClearWidths();
    maxColumn_ = 0;
    return;
  }
  if (rowOpen) {
    StartRow(false);
    column_ = column;
    if (cellOpen) {
      inCell_ = true;
      cellSpan_ = span;
    }
  }
}
