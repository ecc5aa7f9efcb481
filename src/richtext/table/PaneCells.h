// The table as it stands in the rich-text pane, as cell text: what the sheet PDF
// writes when the pane shows rich text or an edited sheet.
#pragma once

#include <string>

#include "platform/richedit/RichEdit.h"

namespace table {

struct PaneCells {
  std::string cells;           // rows ending in CR LF, cells opened by byte 6
  int rows = 0;
  int columns = 0;
  bool verticalRules = false;  // a cell's rule slot is highlighted somewhere
  int number = -1;             // the table's text size as the engine's number (half-points x 5)
};

// Lines with a Tab are rows: their cells are the runs between Tabs (in the leader
// area between 1-point runs), without rule slots and surrounding blanks. Rule lines
// become the rule items of the rows around them ("^" top and bottom, a double rule
// line thick); other lines with text become free-text rows. A first column empty in
// every row (the rows of a rendered sheet open with a Tab) is left out.
PaneCells CellTextOfPane(const plat::RichEdit& rich);

}  // namespace table
