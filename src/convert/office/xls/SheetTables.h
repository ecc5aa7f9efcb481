// The spreadsheet cell tables in the dump's work storage, shared by the binary
// workbook records, the XLSX reader and the sheet output:
// - SheetStringPool: the DumpCellTable in its own character-major order (byte k of
//   entry i at call.Cell(k, i)): byte 0 the widest line, the text from byte 1,
//   NUL-terminated. Short texts, the usual case, so touch only the first few
//   character planes, not a page or two per entry;
// - CellTextCode: one int per entry (1,000 + n 8-bit text, n + 1 converted text,
//   9,000 + n a number, 9,002 "--");
// - SheetCellList: row, column, pool entry and sheet number per cell, in read order;
//   the text boxes after the cells, from index Capacity() on (at most 200).
// Every access is bounded by the table sizes; a text is cut to the cell limit on a
// character boundary.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "convert/dump/DumpCall.h"
#include "platform/text/CodePage.h"

class SheetTables {
 public:
  static constexpr int kMaxBoxes = 200;

  SheetTables(DumpCall& call, int charLimit, int tableRows)
      : call_(call),
        charLimit_(std::clamp(charLimit, 1, call.cellChars - 3)),
        capacity_(std::max(tableRows - 210, 0)),
        limit_(ValidLimit()) {}

  int Capacity() const { return capacity_; }     // ordinary cells and pool entries
  int Entries() const { return capacity_ + kMaxBoxes; }  // with the text boxes
  int CharLimit() const { return charLimit_; }

  bool Valid(int i) const { return i >= 0 && i < limit_; }

  // Pool entry i: widest line and text (cut to the cell limit, whole characters).
  void SetText(int i, int widest, std::string_view text) {
    if (!Valid(i)) return;
    Byte(i, 0) = static_cast<char>(std::clamp(widest, 0, 255));
    // Byte k + 1 of the entry lies cellRows after byte k.
    char* byte = &Byte(i, 1);
    const size_t step = static_cast<size_t>(call_.cellRows);
    // Plain ASCII, the usual case, is never cut inside a character: it is stored as
    // it is met.
    size_t n = 0;
    const size_t plain = std::min(text.size(), static_cast<size_t>(charLimit_));
    for (; n < plain && static_cast<uint8_t>(text[n]) < 0x80; ++n, byte += step) *byte = text[n];
    while (n < text.size()) {
      const bool pair = IsSjisLeadByte(static_cast<uint8_t>(text[n]));
      const size_t w = pair ? 2 : 1;
      if (n + w > static_cast<size_t>(charLimit_) || n + w > text.size()) break;
      *byte = text[n];
      byte += step;
      if (pair) {
        *byte = text[n + 1];
        byte += step;
      }
      n += w;
    }
    *byte = '\0';
  }
  // The text of entry i into out (cleared first).
  void Text(int i, std::string& out) const {
    out.clear();
    if (!Valid(i)) return;
    char text[520];  // charLimit_: at most 510, the cell limit
    int n = 0;
    for (; n < charLimit_ && n < static_cast<int>(sizeof text); ++n) {
      text[n] = Byte(i, n + 1);
      if (text[n] == '\0') break;
    }
    out.assign(text, static_cast<size_t>(n));
  }
  // The texts of count entries at once, as Text() reads them but at most `most`
  // bytes (at most stride): text j into out[j * stride ...] (the bytes after its
  // length in the slot are undefined), its length into lengths[j], whether it holds
  // an in-cell line break (0x0B) into breaks[j] (SheetTables.cpp).
  void Gather(const int* entries, int count, char* out, int stride, int most, int* lengths, uint8_t* breaks) const;
  static constexpr int kGatherMax = 512;

  int Widest(int i) const { return Valid(i) ? static_cast<uint8_t>(Byte(i, 0)) : 0; }
  void Clear(int i) {
    if (!Valid(i)) return;
    Byte(i, 0) = 0;
    Byte(i, 1) = 0;
    Code(i) = 0;
  }

  int& Code(int i) { return Field(0, i); }
  // Field k (0 code, 1 row, 2 column, 3 entry, 4 sheet) of the entries below
  // Limit() as one array, for loops over many cells; an index outside goes through
  // the accessors above.
  const int* Fields(int k) const { return call_.workInts[k].data(); }
  int Limit() const { return limit_; }
  int& Row(int i) { return Field(1, i); }
  int& Column(int i) { return Field(2, i); }
  int& Entry(int i) { return Field(3, i); }
  int& Sheet(int i) { return Field(4, i); }

 private:
  // Byte k (below cellChars) of entry i (a valid entry, below cellRows).
  char& Byte(int i, int k) const { return *call_.Cell(k, i); }
  // The entries that every table has room for: the tables keep their sizes while a
  // road runs, so this is taken once.
  int ValidLimit() const {
    if (static_cast<size_t>(call_.cellChars) * static_cast<size_t>(std::max(call_.cellRows, 0)) > call_.cells.size()) return 0;
    int64_t n = std::min<int64_t>(Entries(), call_.cellRows);
    for (const auto& ints : call_.workInts) n = std::min<int64_t>(n, static_cast<int64_t>(ints.size()));
    return static_cast<int>(std::max<int64_t>(n, 0));
  }
  int& Field(int k, int i) {
    return Valid(i) ? call_.workInts[k][i] : scratch_;
  }

  DumpCall& call_;
  int charLimit_;
  int capacity_;
  int limit_;
  int scratch_ = 0;  // where an out-of-range index reads and writes
};
