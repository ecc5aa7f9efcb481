#include "frame/StatusBar.h"

CStatusBar::CStatusBar() {
  panes_.push_back(Pane{ID_SEPARATOR, ""});
  panes_.push_back(Pane{ID_INDICATOR_FORMAT, ""});
  panes_.push_back(Pane{ID_INDICATOR_POSITION, ""});
}

bool CStatusBar::SetPaneText(int index, std::string_view text, bool redraw) {
  if (index < 0 || index >= PaneCount()) return false;
  panes_[index].text = std::string(text);
  if (index == 0 && (trace_.empty() || trace_.back() != text)) {
    if (trace_.size() >= kMaxTrace) trace_.erase(trace_.begin(), trace_.begin() + kMaxTrace / 2);
    trace_.emplace_back(text);
    ++traceCount_;
  }
  if (redraw) ++redraws_;
  return true;
}

std::string CStatusBar::GetPaneText(int index) const {
  if (index < 0 || index >= PaneCount()) return "";
  return panes_[index].text;
}

int CStatusBar::CommandToIndex(unsigned id) const {
  for (int i = 0; i < PaneCount(); ++i) {
    if (panes_[i].id == id) return i;
  }
  return -1;
}

void CStatusBar::SetPaneStyle(int index, unsigned style) {
  if (index >= 0 && index < PaneCount()) panes_[index].style = style;
}

unsigned CStatusBar::GetPaneStyle(int index) const {
  return index >= 0 && index < PaneCount() ? panes_[index].style : 0;
}
