// The sheet RTF of a cell text: the header and colour table, then per sheet its
// head line, rule lines and text lines (the table as tab-stop paragraphs, rules as
// 1-point runs highlighted in colour 1), and the end. Pure text in, text out; the
// table engine sizes the document buffer and streams the result.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Types.h"
#include "richtext/TableKey.h"

namespace sheet {

struct BuildInput {
  std::string_view cells;   // the cell text: rows end in CR LF, cells open with byte 6
  TableKey code = TableKey::kWholeSheet;  // or lines, a new grid, an appended row
  int number = -1;          // text size: number / 5 half-points when positive
  bool wholeText = true;    // firstLine and lastLine both 0: a head line opens the text
  bool tableTextMode = false;  // the view's text mode 3: one display page of rows
  int pageStart = 0;        // first row of that page
  int pageRows = 1000;
  bool verticalRules = false;
  COLORREF background = RGB(255, 255, 255);
  int64_t limit = 0;        // largest output; 0 none. Sheets end at a row boundary there.
  std::string_view charColours;  // the view's character colour list: character, colour letter, ...
  // A picture object's RTF for a file and a box size in twips; "" when it cannot be
  // made (the cell then shows the file's name).
  std::function<std::string(const std::string& path, int width, int height)> picture;
};

struct BuildOutput {
  std::string rtf;
  int sheets = 0;
  int rowsShown = 0;        // rows written on the display page (text mode 3)
  int rowsTotal = 0;         // text mode 3: the counted lines of the cell text
  int lastRowShown = 0;      // text mode 3: the count of the page's last row
  int pageStartOffset = 0;   // text mode 3: the text offset of the page's first line
  int pageEndOffset = 0;     // text mode 3: the text offset after the page's last line
  bool cut = false;         // ended at a row boundary because of the limit
  bool sheetsCut = false;   // more sheets than the view's sheet table holds
  int maxColumns = 0;
  std::array<int, 31> stops{};  // tab stops of the shown sheet's first columns
  int margins[4] = {-99, -99, -99, -99};  // from a settings line; -99 unset
  bool marginsSet = false;
  char paper = 0;  // a settings line's paper letter; 0 none
  int scale = 0;   // its print scale; 0 none
  std::vector<int> sheetStartOffsets;  // text offset of each sheet's first line
};

// The fixed header, font table and colour table (colour 26 the view background).
std::string SheetRtfHeader(COLORREF background);

BuildOutput BuildSheetRtfText(const BuildInput& in);

// The rows of one display page of a sheet whose widest row has `columns` cells: the
// page rows setting, or fewer when the rows are wide, so that one page holds at most
// kMaxPageCells cells (at least one row). A page of 1,000 rows of 2,000 cells took
// seconds and hundreds of megabytes to show; the next page is a key away.
constexpr int kMaxPageCells = 65536;
int DisplayPageRows(int pageRows, int columns);

}  // namespace sheet
