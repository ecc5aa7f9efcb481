// The table engine's services on the rich-edit control: a table is a run of text
// lines whose cells are separated by Tabs, with rule lines (exact spacing below 40
// twips, only 1-point runs) between them; a rule is a run highlighted in colour 1,
// RGB(1, 0, 0). Positions are the control's character positions. Queries never edit.
#pragma once

#include <string>

#include "platform/ui/Clipboard.h"
#include "platform/richedit/RichEdit.h"

namespace table {

inline constexpr COLORREF kRuleColour = RGB(1, 0, 0);
inline constexpr int kPointRun = 20;      // twips: the 1-point runs of rules and slots
inline constexpr int kTextHeight = 50;    // twips: a character this high or higher is text
inline constexpr int kRuleSpacing = 40;   // twips: a rule line's spacing is below this
inline constexpr int kUnsetSpacing = 240;
inline constexpr int kMaxSpacing = 31680;  // twips: the control's largest line spacing

// A line's spacing in twips: its exact or at-least spacing, 240 when none is set.
int SpacingOf(const plat::RichEdit& edit, int line);
// Whether a line is a rule line: an exact spacing below 40 and no character of 50
// twips or more, so a text line narrowed by formatting never counts as one.
bool IsRuleLine(const plat::RichEdit& edit, int line);
// 0 a text line (or no line), 1 a rule line, 2 a rule line followed by another.
int GetRuleLineClass(const plat::RichEdit& edit, int line);
// The control line at which `row` text lines (rule lines not counted) are reached,
// one further when flag is 1.
int CountTableLines(const plat::RichEdit& edit, int row, int flag);
// The caret's column: 1 before the line's first Tab, one more after each Tab.
int GetCaretColumn(const plat::RichEdit& edit);
// The character position where column `column` of a line starts (after its Tab);
// the line's end when it has fewer columns.
int ColumnStart(const plat::RichEdit& edit, int line, int column);
// The column of a character counted as the column codes count it: one more after
// each Tab, and past a row's 30th Tab one more after each 1-point separator.
int LeaderColumnAt(const plat::RichEdit& edit, int cp);
// "line space = %d.%d" of a spacing in twips (a remainder of 50 shown as 5).
std::string LineSpaceText(int twips);

// Selects [a, b) and gives it the background colour.
void SetBackColour(plat::RichEdit& edit, int a, int b, COLORREF colour);
// The end of a line (the position of its CR, or the text's end).
int LineEnd(const plat::RichEdit& edit, int line);

class TableEngine {
 public:
  TableEngine(plat::RichEdit& edit, plat::Clipboard& clip, COLORREF background)
      : edit_(edit), clip_(clip), background_(background) {}

  // Spacing of the line (-1: each selected line): a non-zero delta is added (at least
  // 10) and set as an exact spacing. Returns the (first) line's spacing.
  int AdjustLineSpacing(int line, int delta);
  // Sets a line's exact spacing.
  void SetExactSpacing(int line, int twips);
  // Copies line `from` (with its line end) through the clipboard to the start of
  // line `to`; a last line gets a line end first. The selection ends after the copy.
  void CopyLineTo(int from, int to);
  // Mode 1: every cell's text becomes one blank. Mode 0: the line becomes a rule line:
  // each cell one 1-point blank (rule slots kept), exact spacing 20. Returns the columns.
  int ClearLineCells(int line, int mode);
  // Background of [a, b): the rule colour, or the view's background to clear.
  void SetRuleHighlight(int a, int b, bool on);
  // Whether the run at the start of column `column` on a rule line is highlighted.
  bool SegmentHighlighted(int line, int column);
  // Deletes a whole line with its line end; false when nothing was removed.
  bool DeleteLine(int line);

  plat::RichEdit& Edit() { return edit_; }

 private:
  plat::RichEdit& edit_;
  plat::Clipboard& clip_;
  COLORREF background_;
};

}  // namespace table
