#include "richtext/table/TableEngine.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace table {

namespace {

char CharAt(const plat::RichEdit& edit, int cp) {
  const int byte = edit.ByteFromChar(cp);
  return byte >= 0 && byte < static_cast<int>(edit.Text().size()) ? edit.Text()[static_cast<size_t>(byte)] : '\0';
}

bool ExactOrAtLeast(const plat::ParaFormat2& pf) {
  return (pf.bLineSpacingRule == plat::kSpacingExact || pf.bLineSpacingRule == plat::kSpacingAtLeast) &&
         pf.dyLineSpacing > 0;
}

}  // namespace

void SetBackColour(plat::RichEdit& edit, int a, int b, COLORREF colour) {
  edit.ExSetSel(a, b);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_BACKCOLOR;
  cf.dwEffects = 0;
  cf.crBackColor = colour;
  edit.SetCharFormat(cf, true);
}

int LineEnd(const plat::RichEdit& edit, int line) {
  const int start = edit.LineIndex(line);
  if (start < 0) return edit.GetTextLength();
  return start + edit.LineLength(start);
}

int SpacingOf(const plat::RichEdit& edit, int line) {
  if (line < 0 || line >= edit.GetLineCount()) return kUnsetSpacing;
  const plat::ParaFormat2& pf = edit.ParaOfLine(line);
  return ExactOrAtLeast(pf) ? pf.dyLineSpacing : kUnsetSpacing;
}

bool IsRuleLine(const plat::RichEdit& edit, int line) {
  if (line < 0 || line >= edit.GetLineCount()) return false;
  const plat::ParaFormat2& pf = edit.ParaOfLine(line);
  if (!ExactOrAtLeast(pf) || pf.dyLineSpacing >= kRuleSpacing) return false;
  const int end = LineEnd(edit, line);
  for (int cp = edit.LineIndex(line); cp < end; ++cp) {
    if (CharAt(edit, cp) != '\t' && edit.FormatAt(cp).yHeight >= kTextHeight) return false;
  }
  return true;
}

int GetRuleLineClass(const plat::RichEdit& edit, int line) {
  if (!IsRuleLine(edit, line)) return 0;
  return IsRuleLine(edit, line + 1) ? 2 : 1;
}

int CountTableLines(const plat::RichEdit& edit, int row, int flag) {
  int line = 0, rows = 0;
  for (; line < edit.GetLineCount() && rows < row; ++line) {
    if (!IsRuleLine(edit, line)) ++rows;
  }
  return std::min(line + (flag == 1 ? 1 : 0), std::max(edit.GetLineCount() - 1, 0));
}

int GetCaretColumn(const plat::RichEdit& edit) {
  int a = 0, b = 0;
  edit.ExGetSel(a, b);
  const int start = edit.LineIndex(edit.ExLineFromChar(b));
  int column = 1;
  for (int cp = std::max(start, 0); cp < b; ++cp) {
    if (CharAt(edit, cp) == '\t') ++column;
  }
  return column;
}

int ColumnStart(const plat::RichEdit& edit, int line, int column) {
  const int start = edit.LineIndex(line);
  if (start < 0) return edit.GetTextLength();
  const int end = LineEnd(edit, line);
  int cp = start;
  for (int c = 1; c < column && cp < end; ++cp) {
    if (CharAt(edit, cp) == '\t') ++c;
    if (c == column) return cp + 1;
  }
  return column <= 1 ? start : end;
}

int TableEngine::AdjustLineSpacing(int line, int delta) {
  int first = line, last = line;
  if (line == -1) {
    int a = 0, b = 0;
    edit_.ExGetSel(a, b);
    first = edit_.ExLineFromChar(a);
    last = edit_.ExLineFromChar(b > a ? b - 1 : b);
  }
  if (first < 0 || first >= edit_.GetLineCount()) return kUnsetSpacing;
  // In 64 bits and within the control's range, whatever step a caller passes.
  auto stepped = [&](int l) { return static_cast<int>(std::clamp<int64_t>(int64_t{SpacingOf(edit_, l)} + delta, 10, kMaxSpacing)); };
  const int result = delta != 0 ? stepped(first) : SpacingOf(edit_, first);
  if (delta != 0) {
    for (int l = first; l <= last && l < edit_.GetLineCount(); ++l) SetExactSpacing(l, stepped(l));
  }
  return result;
}

void TableEngine::SetExactSpacing(int line, int twips) {
  if (line < 0 || line >= edit_.GetLineCount()) return;
  int a = 0, b = 0;
  edit_.ExGetSel(a, b);
  const int start = edit_.LineIndex(line);
  edit_.ExSetSel(start, start);
  plat::ParaFormat2 pf;
  pf.dwMask = plat::PFM_LINESPACING;
  pf.bLineSpacingRule = plat::kSpacingExact;
  pf.dyLineSpacing = twips;
  edit_.SetParaFormat(pf);
  edit_.ExSetSel(a, b);
}

void TableEngine::CopyLineTo(int from, int to) {
  if (from < 0 || from >= edit_.GetLineCount()) return;
  const int start = edit_.LineIndex(from);
  const bool last = from + 1 >= edit_.GetLineCount();
  const int end = last ? edit_.GetTextLength() : edit_.LineIndex(from + 1);
  clip_.Empty();
  edit_.ExSetSel(start, end);
  edit_.Copy(clip_);
  if (last) {
    // The last line has no line end to carry: one is made, and the copy fills the new line.
    edit_.ExSetSel(edit_.GetTextLength(), edit_.GetTextLength());
    edit_.ReplaceSel("\r", true);
    edit_.ExSetSel(edit_.GetTextLength(), edit_.GetTextLength());
    edit_.Paste(clip_);
    return;
  }
  const int at = to < edit_.GetLineCount() ? edit_.LineIndex(std::max(to, 0)) : edit_.GetTextLength();
  edit_.ExSetSel(at, at);
  edit_.Paste(clip_);
}

int TableEngine::ClearLineCells(int line, int mode) {
  if (line < 0 || line >= edit_.GetLineCount()) return 0;
  // Cells from the last to the first, so earlier positions stay valid.
  const int start = edit_.LineIndex(line);
  std::vector<int> tabs;
  for (int cp = start; cp < LineEnd(edit_, line); ++cp) {
    if (CharAt(edit_, cp) == '\t') tabs.push_back(cp);
  }
  const int columns = static_cast<int>(tabs.size()) + 1;
  for (int cell = columns - 1; cell >= 0; --cell) {
    const int a = cell == 0 ? start : tabs[static_cast<size_t>(cell) - 1] + 1;
    const int b = cell + 1 < columns ? tabs[static_cast<size_t>(cell)] : LineEnd(edit_, line);
    int first = -1, lastText = -1;
    bool slot = false;
    for (int cp = a; cp < b; ++cp) {
      if (edit_.FormatAt(cp).yHeight >= kTextHeight) {
        if (first < 0) first = cp;
        lastText = cp;
      } else {
        slot = true;
      }
    }
    if (mode == 1) {
      if (first >= 0) {
        edit_.ExSetSel(first, lastText + 1);
        edit_.ReplaceSel(" ", true);
      }
      continue;
    }
    if (first >= 0) {
      edit_.ExSetSel(first, lastText + 1);
      edit_.ReplaceSel(slot ? "" : " ", true);
    } else if (!slot) {
      edit_.ExSetSel(a, a);
      edit_.ReplaceSel(" ", true);
    }
  }
  if (mode == 0) {
    const int s = edit_.LineIndex(line);
    edit_.ExSetSel(s, LineEnd(edit_, line));
    plat::CharFormat2 cf;
    cf.dwMask = plat::CFM_SIZE;
    cf.yHeight = kPointRun;
    edit_.SetCharFormat(cf, true);
    SetExactSpacing(line, kPointRun);
  }
  return columns;
}

void TableEngine::SetRuleHighlight(int a, int b, bool on) {
  if (b > a) SetBackColour(edit_, a, b, on ? kRuleColour : background_);
}

bool TableEngine::SegmentHighlighted(int line, int column) {
  const int a = ColumnStart(edit_, line, column);
  const int end = LineEnd(edit_, line);
  // The Tab that opens the column carries the segment's colour, or its first run.
  const int at = column > 1 && a > edit_.LineIndex(line) ? a - 1 : a;
  if (at >= end && at != a - 1) return false;
  const plat::CharFormat2& cf = edit_.FormatAt(at);
  return !(cf.dwEffects & plat::CFE_AUTOBACKCOLOR) && cf.crBackColor == kRuleColour;
}

bool TableEngine::DeleteLine(int line) {
  if (line < 0 || line >= edit_.GetLineCount()) return false;
  const int before = edit_.GetTextLength();
  if (line + 1 < edit_.GetLineCount()) {
    edit_.ExSetSel(edit_.LineIndex(line), edit_.LineIndex(line + 1));
  } else if (line > 0) {
    edit_.ExSetSel(LineEnd(edit_, line - 1), edit_.GetTextLength());
  } else {
    edit_.ExSetSel(0, edit_.GetTextLength());
  }
  edit_.ReplaceSel("", true);
  return edit_.GetTextLength() < before;
}

}  // namespace table
