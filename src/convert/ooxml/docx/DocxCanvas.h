// The character canvas of the document layout: rows of at most 510 columns, each
// kept only as wide as what was written on it (the rest reads as blanks), up to a
// cap on the rows. Writes outside it are refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/DisplayWriter.h"
#include "base/Alloc.h"

class DocxCanvas {
 public:
  static constexpr int kColumns = 510;
  static constexpr int64_t kMaxRows = 131072;

  // Room for rows at first, through the allocation hook; false when refused.
  bool Reserve(int64_t rows, AllocHook* hook);
  // False when the cell lies outside the canvas (row past the cap).
  bool Put(int64_t row, int col, char c);
  // Bytes written from col on, cut at the row's last column; false as for Put.
  bool PutRun(int64_t row, int col, std::string_view bytes);
  // The same, except that a blank of bytes leaves what the row already shows.
  bool Overlay(int64_t row, int col, std::string_view bytes);
  char At(int64_t row, int col) const;
  // Row r as exactly width bytes, blank-filled.
  void AppendRow(int64_t row, int width, DisplayWriter& out) const;

 private:
  // A row's bytes lie in one of the blocks; a row that outgrows its room moves to
  // new room at the blocks' end (rows are written mostly once, left to right).
  struct Row {
    char* data = nullptr;
    uint16_t size = 0, room = 0;
  };
  static constexpr size_t kBlockBytes = size_t{1} << 16;

  char* Room(size_t bytes);

  std::vector<Row> rows_;
  AllocHook* hook_ = nullptr;  // the hook rows grow through
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t blockUsed_ = kBlockBytes;  // bytes taken from the last block
};
