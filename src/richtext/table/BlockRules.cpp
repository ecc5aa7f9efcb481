#include "richtext/table/BlockRules.h"

#include <algorithm>

#include "richtext/table/TableEngine.h"

namespace table {
namespace {

bool IsSlot(const plat::RichEdit& edit, int cp) { return edit.FormatAt(cp).yHeight < kTextHeight; }

bool IsRuled(const plat::RichEdit& edit, int cp) {
  const plat::CharFormat2& cf = edit.FormatAt(cp);
  return !(cf.dwEffects & plat::CFE_AUTOBACKCOLOR) && cf.crBackColor == kRuleColour;
}

bool IsClear(const plat::RichEdit& edit, int cp, COLORREF background) {
  const plat::CharFormat2& cf = edit.FormatAt(cp);
  return (cf.dwEffects & plat::CFE_AUTOBACKCOLOR) || cf.crBackColor == 0 || cf.crBackColor == background;
}

// A blank at `cp` made a 1-point slot in the rule colour.
void InsertRuledSlot(plat::RichEdit& edit, int cp) {
  edit.ExSetSel(cp, cp);
  edit.ReplaceSel(" ", true);
  edit.ExSetSel(cp, cp + 1);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_SIZE | plat::CFM_BACKCOLOR;
  cf.dwEffects = 0;
  cf.yHeight = kPointRun;
  cf.crBackColor = kRuleColour;
  edit.SetCharFormat(cf, true);
}

// The character under `distance` twips from the line's start: the last one that
// starts before it. -1 when the line does not reach so far. A Tab stands for the
// gap before the next column, whose slot is taken instead.
int CharUnder(const plat::RichEdit& edit, int line, int distance) {
  const int start = edit.LineIndex(line);
  const int end = LineEnd(edit, line);
  const int x0 = edit.XInLineTwips(start);
  if (distance <= 0 || edit.XInLineTwips(end) - x0 < distance) return -1;
  // x rises with the position: the first position at or past the distance, halved for.
  int lo = start + 1, hi = end;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (edit.XInLineTwips(mid) - x0 >= distance) hi = mid; else lo = mid + 1;
  }
  int c = lo - 1;
  if (edit.GetTextRange(c, c + 1) == "\t") ++c;
  return c < end && edit.GetTextRange(c, c + 1) != "\t" ? c : -1;
}

}  // namespace

BlockLines WidenBlockByRules(const plat::RichEdit& edit, int first, int last) {
  BlockLines block{first, last};
  if (IsRuleLine(edit, first - 1)) --block.first;
  if (IsRuleLine(edit, last)) ++block.last;
  return block;
}

int SetBlockRule(plat::RichEdit& edit, int first, int last, int distance, COLORREF background) {
  int changed = 0;
  last = std::min(last, edit.GetLineCount());
  for (int line = std::max(first, 0); line < last; ++line) {
    if (IsRuleLine(edit, line)) continue;
    const int c = CharUnder(edit, line, distance);
    if (c < 0) continue;
    const int end = LineEnd(edit, line);
    const bool nextSlot = c + 1 < end && IsSlot(edit, c + 1) && edit.GetTextRange(c + 1, c + 2) != "\t";
    if (!IsSlot(edit, c)) {
      InsertRuledSlot(edit, c);  // a new single rule before the character
    } else if (!nextSlot) {
      if (IsRuled(edit, c)) {
        InsertRuledSlot(edit, c + 1);  // single becomes double
      } else {
        SetBackColour(edit, c, c + 1, kRuleColour);
      }
    } else if (IsRuled(edit, c) && IsRuled(edit, c + 1)) {
      SetBackColour(edit, c, c + 1, background);  // double becomes none
      SetBackColour(edit, c + 1, c + 2, background);
    } else if (IsRuled(edit, c)) {
      if (!IsClear(edit, c + 1, background)) continue;
      SetBackColour(edit, c + 1, c + 2, kRuleColour);
    } else if (IsClear(edit, c, background) && IsClear(edit, c + 1, background)) {
      SetBackColour(edit, c, c + 1, kRuleColour);
    } else {
      continue;
    }
    ++changed;
  }
  return changed;
}

}  // namespace table
