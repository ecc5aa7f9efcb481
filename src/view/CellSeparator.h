// The separator of a line's cells when text becomes a table: '|' when the line's
// bars outnumber its Tabs and there are more than 2 of them (or it has bars and no
// Tab at all), so a '|' inside a cell of a Tab table stays text; else the Tab when
// it has one; else blanks. Double-byte characters are skipped whole (a trail byte
// may be 0x7C).
#pragma once

#include <string_view>

#include "base/SjisLeadByte.h"

struct SeparatorCount {
  int tabs = 0;
  int bars = 0;
  // '|' outnumbers the Tabs and there are more than 2: the bars separate the cells.
  bool BarsRule() const { return bars > tabs && bars > 2; }
};

// The Tabs and bars of a line up to its first CR, LF or NUL.
inline SeparatorCount CountSeparators(std::string_view line) {
  SeparatorCount n;
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c == '\r' || c == '\n' || c == '\0') break;
    if (IsSjisLeadByte(c) && i + 1 < line.size()) {
      ++i;
    } else if (c == '|') {
      ++n.bars;
    } else if (c == '\t') {
      ++n.tabs;
    }
  }
  return n;
}

inline char CellSeparator(std::string_view line) {
  const SeparatorCount n = CountSeparators(line);
  if (n.bars > 0 && (n.tabs == 0 || n.BarsRule())) return '|';
  return n.tabs > 0 ? '\t' : ' ';
}
