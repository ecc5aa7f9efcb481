// The sheets of a cell text as the build road reads them (sheet heads, settings
// line, column format block, data and free-text rows with their row items), with
// each data row's cells after their number forms: what a writer of another form
// than the sheet RTF walks. Read by the same code that the sheet RTF uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "richtext/sheet/SheetMarkup.h"

namespace sheet {

struct SheetRowText {
  std::vector<std::string> cells;  // the cells as written, at most 65,535 bytes each
  std::vector<std::string> texts;  // the cells after their number forms
  RowFormat format;
  bool hasFormat = false;
  bool freeText = false;
  bool outside = false;  // before a '<' row item or from a '>' one: outside the table
};

struct SheetText {
  SettingsLine settings;
  bool settingsSeen = false;
  std::vector<ColumnFormat> columns;
  std::vector<std::string> conditions;
  std::vector<SheetRowText> rows;
  bool widthLine = false;  // kind 'S': the first row sets widths only
  // Whether column c's format applies to a cell of raw text (its condition holds).
  bool ColumnApplies(size_t c, std::string_view raw) const;
};

std::vector<SheetText> ReadCellSheets(std::string_view cells);

}  // namespace sheet
