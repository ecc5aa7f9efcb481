// The table matrix of the HTML and spreadsheet-XML converters: the cells of the
// table rows gathered since the last flush, each row possibly several row lines
// deep (the wrapped continuation lines of its cells), with the widest line seen
// per column. A flush lays the gathered row lines out as aligned columns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/DisplayWriter.h"
#include "base/Alloc.h"

class CellMatrix {
 public:
  // Column 0 holds text met in a row before its first cell; cells are 1 to 255.
  static constexpr int kStride = 256;
  static constexpr int kMaxColumn = 255;
  static constexpr int kLastBorrowColumn = 254;
  static constexpr int kLineBytes = 635;  // bytes one cell line holds

  // Room for `cells` cell lines (at least 8 row lines); false when refused.
  bool Allocate(int64_t cells, AllocHook* hook);
  int RowCapacity() const { return rowCapacity_; }

  int Length(int rowLine, int column) const {
    return InRange(rowLine, column) ? lengths_[Index(rowLine, column)] : 0;
  }
  // Appends to a cell line; false (nothing written) when the line or matrix has no room.
  bool Append(int rowLine, int column, const char* bytes, int count);

  // The widest cell line of each column since the last flush that cleared them.
  void Widen(int column, int width);
  void ClearWidths() { widths_.fill(0); }

  // Writes row lines 0..rowLines (one line more than gathered) to `out`: each
  // column to maxColumn padded to its width and followed by `separator`; a line
  // longer than its width borrows the widths (each plus 1) of the following
  // columns while their cells are empty. Every cell line is emptied, also those
  // that no longer fit once the output is cut.
  void Flush(int rowLines, int maxColumn, char separator, DisplayWriter& out);

 private:
  bool InRange(int rowLine, int column) const {
    return rowLine >= 0 && rowLine < rowCapacity_ && column >= 0 && column <= kMaxColumn;
  }
  size_t Index(int rowLine, int column) const { return static_cast<size_t>(rowLine) * kStride + column; }

  // kLineBytes bytes per cell line, left uninitialised: lengths_ says what is valid,
  // so the pages of a matrix that no table reaches are never touched.
  std::unique_ptr<char[]> chars_;
  std::vector<uint16_t> lengths_;  // bytes in each cell line
  std::array<int, 510> widths_{};
  int rowCapacity_ = 0;
  std::string line_;  // one laid-out row line
};
