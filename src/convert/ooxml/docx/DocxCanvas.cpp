#include "convert/ooxml/docx/DocxCanvas.h"

#include <algorithm>
#include <cstring>

#include "base/CheckedSize.h"

namespace {
constexpr size_t kRowReserve = 128;
}  // namespace

bool DocxCanvas::Reserve(int64_t rows, AllocHook* hook) {
  hook_ = hook;
  return TryResize(rows_, static_cast<size_t>(std::clamp<int64_t>(rows, 1, kMaxRows)), hook);
}

bool DocxCanvas::Put(int64_t row, int col, char c) { return PutRun(row, col, std::string_view(&c, 1)); }

char* DocxCanvas::Room(size_t bytes) {
  if (kBlockBytes - blockUsed_ < bytes) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
    blockUsed_ = 0;
  }
  char* room = blocks_.back().get() + blockUsed_;
  blockUsed_ += bytes;
  return room;
}

bool DocxCanvas::PutRun(int64_t row, int col, std::string_view bytes) {
  if (row < 0 || row >= kMaxRows || col < 0 || col >= kColumns) return false;
  if (row >= static_cast<int64_t>(rows_.size())) {
    const int64_t grown = std::min<int64_t>(std::max<int64_t>(row + 1, 2 * static_cast<int64_t>(rows_.size())), kMaxRows);
    if (!TryAllocate(rows_, grown, 1, 0, hook_)) return false;
  }
  Row& line = rows_[static_cast<size_t>(row)];
  const size_t n = std::min(bytes.size(), static_cast<size_t>(kColumns - col));
  const size_t end = static_cast<size_t>(col) + n;
  if (end > line.size) {
    if (end > line.room) {  // most rows fit at once
      const size_t room = std::min(std::max({end, kRowReserve, size_t{2} * line.room}), static_cast<size_t>(kColumns));
      char* moved = Room(room);
      if (line.size) std::memcpy(moved, line.data, line.size);
      line.data = moved;
      line.room = static_cast<uint16_t>(room);
    }
    std::memset(line.data + line.size, ' ', end - line.size);
    line.size = static_cast<uint16_t>(end);
  }
  std::memcpy(line.data + col, bytes.data(), n);
  return true;
}

bool DocxCanvas::Overlay(int64_t row, int col, std::string_view bytes) {
  if (row < 0 || row >= kMaxRows || col < 0 || col >= kColumns) return false;
  const size_t shown = row < static_cast<int64_t>(rows_.size()) ? rows_[static_cast<size_t>(row)].size : 0;
  // Over what the row shows, only the characters; beyond it, the bytes as they are.
  const size_t over = std::min(bytes.size(), shown > static_cast<size_t>(col) ? shown - static_cast<size_t>(col) : 0);
  for (size_t i = 0; i < over; ++i)
    if (bytes[i] != ' ' && !Put(row, col + static_cast<int>(i), bytes[i])) return false;
  if (over < bytes.size()) return PutRun(row, col + static_cast<int>(over), bytes.substr(over));
  return true;
}

char DocxCanvas::At(int64_t row, int col) const {
  if (row < 0 || row >= static_cast<int64_t>(rows_.size()) || col < 0) return ' ';
  const Row& line = rows_[static_cast<size_t>(row)];
  return static_cast<size_t>(col) < line.size ? line.data[col] : ' ';
}

void DocxCanvas::AppendRow(int64_t row, int width, DisplayWriter& out) const {
  int written = 0;
  if (row >= 0 && row < static_cast<int64_t>(rows_.size())) {
    const Row& line = rows_[static_cast<size_t>(row)];
    written = static_cast<int>(std::min<size_t>(line.size, static_cast<size_t>(std::max(width, 0))));
    if (written > 0) out.Append(std::string_view(line.data, static_cast<size_t>(written)));
  }
  out.Fill(' ', width - written);
}
