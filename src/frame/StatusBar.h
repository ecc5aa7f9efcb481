// The frame's status bar: panes of text addressed by index, each with an indicator id.
// Pane 0 carries progress and results; the pane of indicator 104 the format texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CStatusBar {
 public:
  CStatusBar();

  // Sets a pane's text (CP932); false for an index out of range.
  bool SetPaneText(int index, std::string_view text, bool redraw = true);
  std::string GetPaneText(int index) const;
  // The index of the pane with the given indicator id, or -1.
  int CommandToIndex(unsigned id) const;
  void SetPaneStyle(int index, unsigned style);
  unsigned GetPaneStyle(int index) const;
  int PaneCount() const { return static_cast<int>(panes_.size()); }
  // How many times a pane was redrawn (progress texts are written with redraw).
  int RedrawCount() const { return redraws_; }

 private:
  struct Pane {
    unsigned id;
    std::string text;
    unsigned style = 0;
  };
  std::vector<Pane> panes_;
  int redraws_ = 0;
};

// Indicator ids of the panes.
enum : unsigned { ID_SEPARATOR = 0, ID_INDICATOR_FORMAT = 104, ID_INDICATOR_POSITION = 105 };
