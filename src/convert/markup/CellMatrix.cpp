#include "convert/markup/CellMatrix.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int64_t kMinRowLines = 8;
constexpr int64_t kMaxRowLines = 1 << 20;

}  // namespace

bool CellMatrix::Allocate(int64_t cells, AllocHook* hook) {
  const int64_t rows = std::clamp<int64_t>(cells / kStride, kMinRowLines, kMaxRowLines);
  const size_t lines = static_cast<size_t>(rows) * kStride;
  const size_t bytes = lines * kLineBytes;
  if (hook && !hook->Allow(bytes)) return false;
  try {
    chars_ = std::make_unique_for_overwrite<char[]>(bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!TryResize(lengths_, lines, hook)) return false;
  rowCapacity_ = static_cast<int>(rows);
  widths_.fill(0);
  return true;
}

bool CellMatrix::Append(int rowLine, int column, const char* bytes, int count) {
  if (!InRange(rowLine, column) || count <= 0) return false;
  const size_t index = Index(rowLine, column);
  const int length = lengths_[index];
  if (length + count > kLineBytes) return false;
  std::memcpy(&chars_[index * kLineBytes + length], bytes, static_cast<size_t>(count));
  lengths_[index] = static_cast<uint16_t>(length + count);
  return true;
}

void CellMatrix::Widen(int column, int width) {
  if (column >= 0 && column < static_cast<int>(widths_.size())) widths_[column] = std::max(widths_[column], width);
}

void CellMatrix::Flush(int rowLines, int maxColumn, char separator, DisplayWriter& writer) {
  const int lastLine = std::min(rowLines, rowCapacity_ - 1);
  maxColumn = std::min(maxColumn, kMaxColumn);
  bool cut = false;
  std::string& out = line_;
  for (int line = 0; line <= lastLine; ++line) {
    out.clear();
    for (int column = 1; column <= maxColumn;) {
      const size_t index = Index(line, column);
      const int length = lengths_[index];
      const char* text = &chars_[index * kLineBytes];
      for (int i = 0; i < length; ++i) {
        if (text[i] != '\r' && text[i] != '\n') out.push_back(text[i]);
      }
      int room = widths_[column];
      int next = column + 1;
      while (length > room && next <= kLastBorrowColumn && next <= maxColumn && lengths_[Index(line, next)] == 0) {
        room += widths_[next] + 1;
        ++next;
      }
      if (room > length) out.append(static_cast<size_t>(room - length), ' ');
      out.push_back(separator);
      column = next;
    }
    out.push_back('\n');
    // Nothing is written behind a cut line: the text ends with whole characters.
    if (!cut) cut = writer.Append(out) < static_cast<int>(out.size());
    // Column 0 and any column past maxColumn are emptied as well.
    std::fill_n(&lengths_[Index(line, 0)], kStride, uint16_t{0});
  }
}
