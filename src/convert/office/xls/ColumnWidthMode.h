// ColumnWidthMode: the table setting CQelDoc::m_nColumnWidthMode as the sheet output
// and the number texts of both workbook roads read it. 0 keeps the file's widths,
// from 1 the widths follow the cells, from 10 to 13 the cells are written as a cell
// list instead of a table (and no thousands separators are written).
#pragma once

enum ColumnWidthMode : int {
  kWidthsOfFile = 0,
  kWidthsAuto = 1,
  kWidthsAutoWide = 2,        // automatic, a column up to 150 wide
  kWidthsCellList = 10,       // the first cell-list mode
  kWidthsCellListLined = 11,  // with the sheet names between dashed lines
  kWidthsCellListLast = 13,
};
