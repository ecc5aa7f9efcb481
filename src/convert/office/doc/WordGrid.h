// The character grid of the Word text roads: Shift-JIS text with control bytes,
// laid into rows of `width` bytes as one continuous stream (a line end does not
// start a new row). The roads fill it; CQelDoc::RenderWordGrid writes it out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

struct WordGrid {
  uint8_t* bytes = nullptr;  // rows * width bytes
  int width = 1;
  int rows = 0;
  int row = 0;  // the next byte's place
  int col = 0;

  bool Full() const { return row >= rows; }
  // Appends one byte; false (and nothing stored) once the row limit is reached.
  bool Put(uint8_t b) {
    if (Full() || !bytes) return false;
    bytes[static_cast<int64_t>(row) * width + col] = b;
    if (++col >= width) {
      col = 0;
      ++row;
    }
    return true;
  }
  // Appends n bytes as n calls of Put would; the bytes stored.
  int PutBytes(const uint8_t* b, int n) {
    int stored = 0;
    while (stored < n && !Full() && bytes) {
      const int k = std::max(1, std::min(n - stored, width - col));
      std::memcpy(bytes + static_cast<int64_t>(row) * width + col, b + stored, static_cast<size_t>(k));
      stored += k;
      col += k;
      if (col >= width) {
        col = 0;
        ++row;
      }
    }
    return stored;
  }
  // The bytes from the next byte's place to the end of the grid: the rows lie end to
  // end, so n bytes written there are what PutBytes would store when n fits.
  int64_t Room() const { return bytes && !Full() ? static_cast<int64_t>(rows - row) * width - col : 0; }
  // Moves the place past n bytes written there (n at most Room()).
  void Skip(int n) {
    const int64_t at = static_cast<int64_t>(row) * width + col + std::clamp<int64_t>(n, 0, Room());
    row = static_cast<int>(at / width);
    col = static_cast<int>(at % width);
  }
  uint8_t At(int64_t index) const { return index >= 0 && index < static_cast<int64_t>(rows) * width ? bytes[index] : 0; }
};
