// The column re-renderer's rewrite: a table region streamed out of the rich-edit
// control, taken apart into rows of characters with their formats, changed for one
// column code and put together again. A row is a paragraph; its Tabs separate the
// cells (Tab j opens cell j, which lies between stop j+1 and stop j+2, stop 1 being
// 0); a cell opens with its rule slot, 1-point characters highlighted in the rule
// colour. Rule lines are paragraphs of exact spacing 20 (40 for the vertical-rule
// codes) or less.
#pragma once

#include <string>
#include <vector>

#include "platform/richedit/RichEdit.h"
#include "richtext/TableKey.h"

namespace sheetcols {

struct Glyph {
  std::string bytes;   // one character: one byte, or a Shift-JIS pair
  plat::CharFormat2 cf;
  std::string object;  // the embedded object's RTF when the character stands for one
  char32_t wide = 0;   // its Unicode value when CP932 cannot write it (bytes hold the stand-in)
};

struct SheetRow {
  plat::ParaFormat2 para;
  std::vector<Glyph> glyphs;
  bool ended = false;  // the row closes with a paragraph end
  plat::CharFormat2 endFormat;  // the paragraph end's own format
};

std::vector<SheetRow> RowsOf(const plat::RichFragment& frag);
plat::RichFragment FragmentOf(const std::vector<SheetRow>& rows);

struct RewriteInput {
  TableKey code{};        // a rule slot or column code, or a column boundary arrow
  int first = 0;          // first row to change
  int end = 0;            // row after the last to change; 0: to the end
  int column = 0;         // the column argument
  int number = -1;        // the variant (amount, rule state, ...)
  int textSize = 21;      // half-points of the table's text, h
  int splitLength = 9;    // 'I': characters of the cell kept before the split, t
  bool moveFollowingStops = false;
  bool exactRange = false;  // rows first to end - 1 only: no row more for number 0
};

struct RewriteResult {
  std::string status;  // "width = %d" after a boundary move, else empty
  int rowsChanged = 0;
  std::string refusal;  // when no row changed: "column N: " and why
};

RewriteResult RewriteColumns(std::vector<SheetRow>& rows, const RewriteInput& in);

// 'I' from the cell split command: the split length the search text asks for,
// "ATR:%I" followed by a number n giving n + 3 (12 for 0 or none), else 9.
int SplitLengthOfSearch(const std::string& search);

}  // namespace sheetcols
