#include "view/RichTextModel.h"

#include <algorithm>

int RichTextModel::LineIndex(int line) const {
  if (line < 0 || line >= edit_.GetLineCount()) return -1;
  return edit_.ByteFromChar(edit_.LineIndex(line));
}

int RichTextModel::LineLength(int line) const {
  const int start = edit_.LineIndex(line < 0 ? -2 : line);
  if (start < 0) return -1;
  const int end = start + edit_.LineLength(start);
  return edit_.ByteFromChar(end) - edit_.ByteFromChar(start);
}

// The control keeps its selection in text order; the pane's anchor may be either end.
void RichTextModel::SetSel(int start, int end) {
  const int n = GetTextLength();
  if (start < 0) start = n;
  if (end < 0) end = n;
  const int a = edit_.CharFromByte(std::clamp(start, 0, n));
  const int b = edit_.CharFromByte(std::clamp(end, 0, n));
  edit_.ExSetSel(a, b);
  anchorFirst_ = a <= b ? 1 : 0;
}

void RichTextModel::GetSel(int& start, int& end) const {
  int a = 0, b = 0;
  edit_.ExGetSel(a, b);
  a = edit_.ByteFromChar(a);
  b = edit_.ByteFromChar(b);
  start = anchorFirst_ ? a : b;
  end = anchorFirst_ ? b : a;
}

ScrollPos RichTextModel::GetScrollPos() const {
  const CPoint p = edit_.GetScrollPos();
  return ScrollPos{p.y, p.x};
}

void RichTextModel::SetScrollPos(ScrollPos pos) { edit_.SetScrollPos(CPoint{std::max(pos.column, 0), pos.line}); }
