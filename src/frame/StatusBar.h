// The frame's status bar: panes of text addressed by index, each with an indicator id.
// Pane 0 carries progress and results; the pane of indicator 104 the format texts.
#pragma once

#include <cstdint>
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
  // Every text pane 0 was given, in order (a repeat of the last one is not kept
  // again; the oldest go beyond kMaxTrace), for the script's trace.
  static constexpr size_t kMaxTrace = 4096;
  const std::vector<std::string>& Trace() const { return trace_; }
  uint64_t TraceCount() const { return traceCount_; }  // texts kept since the start

 private:
  struct Pane {
    unsigned id;
    std::string text;
    unsigned style = 0;
  };
  std::vector<Pane> panes_;
  int redraws_ = 0;
  std::vector<std::string> trace_;
  uint64_t traceCount_ = 0;
};

// Indicator ids of the panes.
enum : unsigned { ID_SEPARATOR = 0, ID_INDICATOR_FORMAT = 104, ID_INDICATOR_POSITION = 105 };
