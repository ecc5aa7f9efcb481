// The objects of a sheet (pictures, rectangles, lines, text boxes: column format
// lines named "Im", "Re", "Li", "TH", "TV" with a cell range) and the conditions of
// column formats ("if:" in the third field). The objects cover rectangles of cells;
// a later object overwrites an earlier one where they share cells. Each covered cell
// takes its rules from its object and the objects of its neighbours: 'N' draws a box's
// outline, 'H' the outline and the inner rules between rows, 'V' the outline and the
// inner rules between columns, any other direction every cell's own frame.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "richtext/sheet/SheetMarkup.h"

namespace sheet {

struct SheetObject {
  ColumnFormat format;     // the column line as read
  std::string content;     // field 4: a picture's file, a text box's text
  int firstColumn = 1, firstRow = 1, lastColumn = 1, lastRow = 1;  // cells from 1
};
// The object of a column line, or false for a plain column, a condition or a line
// without a range.
bool ObjectOfColumnLine(std::string_view line, const ColumnFormat& format, SheetObject& out);

// Rule kinds of one cell's four sides (0 none, 1 thin, 2 thick) with their colour
// indices (0: the rule colour).
struct CellRules {
  int left = 0, right = 0, top = 0, bottom = 0;
  int leftColour = 0, rightColour = 0;
};

class ObjectGrid {
 public:
  explicit ObjectGrid(std::vector<SheetObject> objects);
  bool Empty() const { return objects_.empty(); }
  // The object covering a cell (rows and columns from 1), or -1.
  int ObjectAt(int row, int column) const;
  const SheetObject& Object(int index) const { return objects_[static_cast<size_t>(index)]; }
  // The rules that a covered cell takes from the objects; all 0 when uncovered.
  CellRules Rules(int row, int column) const;

  // The object of every cell of a row (columns 1..columns at [0..columns-1], -1 none)
  // in one pass over the objects, and a cell's rules from the owners of its row and
  // the rows above and below it: what a renderer walking row by row uses.
  std::vector<int> RowOwners(int row, int columns) const;
  CellRules RulesFrom(const std::vector<int>& above, const std::vector<int>& here, const std::vector<int>& below,
                      int column) const;

 private:
  CellRules Resolve(int object, int above, int below, int column) const;
  std::vector<SheetObject> objects_;
};

// A column's condition: "if:" then an optional comparison (=, <>, !=, <, >, <=, >=)
// and a value. Numbers (with their thousands separators) compare as numbers, other
// texts byte by byte; with no comparison the cell must equal the value.
bool ConditionHolds(std::string_view condition, std::string_view cell);
// The condition text of a column line ("" when it has none).
std::string_view ConditionOfColumnLine(std::string_view line, const ColumnFormat& format);

}  // namespace sheet
