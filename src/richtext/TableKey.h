// The table engine's codes (CQelView::TableCommand) and the arguments sent with one.
// A key pressed in table mode is sent as its own code, the letters and digits as
// their characters and the arrows as their key codes; a code the engine does not
// take does nothing.
#pragma once

enum class TableKey : int {
  // The edit road: rules, columns, rows and line spacing in the pane's table.
  kRemoveRules = '0',     // the rule lines below the caret line
  kBottomRule = '1',      // none, thin, thick in turn
  kTopRule = '2',
  kLeftRule = '3',
  kRightRule = '4',
  kBottomRuleCtrl = '5',  // the Ctrl variants of the rule commands
  kTopRuleCtrl = '6',
  kLeftRuleCtrl = '7',    // walk the selected characters
  kRightRuleCtrl = '8',
  kKeepSelection = '9',   // the top-rule-row command: selection and scroll restored
  kColumnLeft = 0x25,     // the arrow keys: the caret column's right boundary,
  kLineNarrower = 0x26,   // and the caret line's spacing
  kColumnRight = 0x27,
  kLineWider = 0x28,
  kInsertColumn = 'E',
  kDeleteColumn = 'R',
  kSplit = 'I',
  kJoin = 'U',
  kInsertRow = 'J',
  kDeleteRow = 'K',
  // The build road: the cell text rendered as a sheet.
  kLinesToTable = 'D',    // over lines [firstLine, lastLine); in rich text, rule slots
  kNewGrid = 'N',         // at the caret
  kWholeSheet = 'T',      // into the document text only
  kPdf = 'P',             // a PDF file the user names
  kAppendRow = 100,
  // Rich text only: lines made a tab-stop table in place.
  kTabsToTable = 101,
  kBarsToTable = 102,
};

// Insert, delete, split and join: the codes that change a column's cells.
constexpr bool IsColumnKey(TableKey key) {
  return key == TableKey::kInsertColumn || key == TableKey::kDeleteColumn || key == TableKey::kSplit || key == TableKey::kJoin;
}
// '3' to '6': the codes that set rule slots through the column renderer.
constexpr bool IsRuleSlotKey(TableKey key) {
  return key == TableKey::kLeftRule || key == TableKey::kRightRule || key == TableKey::kBottomRuleCtrl ||
         key == TableKey::kTopRuleCtrl;
}

// The code of a key pressed in table mode.
constexpr TableKey TableKeyOf(int keyCode) { return static_cast<TableKey>(keyCode); }

struct TableArgs {
  int number = -1;    // -1 none; the build road's text size, the edit road's rule variant or drag amount
  int cellOnly = 0;   // 1: the cell, not the whole row or column (Shift forces it, but for kPdf)
  int firstLine = 0;  // a range of the pane's lines: kLinesToTable, the rich-text conversions and a drag
  int lastLine = 0;   // exclusive; on the edit road, non-zero acts on the range, not the caret
};
