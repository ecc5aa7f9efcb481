#include "view/PlainTextModel.h"

#include <algorithm>

int PlainNextCell(std::string_view line, size_t i, int cell) {
  if (line[i] == '\t') return (cell / kPlainTabCells + 1) * kPlainTabCells;
  return cell + SjisCharSize(line, i);
}

int PlainCellOfByte(std::string_view line, int byte) {
  int cell = 0;
  for (size_t i = 0; i < line.size() && static_cast<int>(i) < byte; i += static_cast<size_t>(SjisCharSize(line, i))) {
    cell = PlainNextCell(line, i, cell);
  }
  return cell;
}

int PlainByteOfCell(std::string_view line, int cell) {
  int at = 0;
  for (size_t i = 0; i < line.size(); i += static_cast<size_t>(SjisCharSize(line, i))) {
    const int next = PlainNextCell(line, i, at);
    if (cell < next) return static_cast<int>(i);
    at = next;
  }
  return static_cast<int>(line.size());
}

void PlainTextModel::SetText(std::string_view text) {
  text_.assign(text);
  IndexLines();
  selStart_ = selEnd_ = 0;
  scroll_ = ScrollPos{};
}

void PlainTextModel::IndexLines() {
  starts_.assign(1, 0);
  const int n = GetTextLength();
  for (int i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text_[i]);
    if (SjisCharSize(text_, static_cast<size_t>(i)) == 2) {
      ++i;
    } else if (c == '\r') {
      if (i + 1 < n && text_[i + 1] == '\n') ++i;
      starts_.push_back(i + 1);
    } else if (c == '\n') {
      starts_.push_back(i + 1);
    }
  }
}

int PlainTextModel::LineIndex(int line) const {
  return line >= 0 && line < GetLineCount() ? starts_[line] : -1;
}

int PlainTextModel::LineLength(int line) const {
  if (line < 0 || line >= GetLineCount()) return -1;
  int end = line + 1 < GetLineCount() ? starts_[line + 1] : GetTextLength();
  if (line + 1 < GetLineCount()) {
    --end;  // the '\n' or '\r'
    if (end > starts_[line] && text_[end] == '\n' && text_[end - 1] == '\r') --end;
  }
  return end - starts_[line];
}

int PlainTextModel::LineFromChar(int pos) const {
  pos = std::clamp(pos, 0, GetTextLength());
  return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), pos) - starts_.begin()) - 1;
}

int PlainTextModel::CharStart(int pos) const {
  pos = std::clamp(pos, 0, GetTextLength());
  const int lineStart = starts_[LineFromChar(pos)];
  int i = lineStart;
  while (i < pos) {
    const int step = SjisCharSize(text_, static_cast<size_t>(i));
    if (i + step > pos) break;
    i += step;
  }
  return i;
}

void PlainTextModel::SetSel(int start, int end) {
  if (start < 0) start = GetTextLength();  // -1 selects to the end, as the control does
  if (end < 0) end = GetTextLength();
  selStart_ = CharStart(start);
  selEnd_ = CharStart(end);
}

std::string PlainTextModel::GetSelText() const {
  const int a = std::min(selStart_, selEnd_);
  const int b = std::max(selStart_, selEnd_);
  return text_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

void PlainTextModel::ReplaceSel(std::string_view text) {
  const int a = std::min(selStart_, selEnd_);
  const int b = std::max(selStart_, selEnd_);
  text_.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), text);
  IndexLines();
  selStart_ = selEnd_ = CharStart(a + static_cast<int>(text.size()));
  SetScrollPos(scroll_);
}

void PlainTextModel::SetScrollPos(ScrollPos pos) {
  scroll_.line = std::clamp(pos.line, 0, GetLineCount() - 1);
  scroll_.column = std::max(pos.column, 0);
}
