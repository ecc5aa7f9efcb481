// The glyph widths of a font (thousandths of an em): /FirstChar and /Widths of a
// simple font, /DW and /W of the descendant of a composite font. They place the
// end of a run on the page, which decides the blank between runs.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "convert/pdf/PdfScan.h"

struct PdfFontWidths {
  int first = 0;
  std::vector<uint16_t> simple;                  // widths from `first` on
  std::unordered_map<uint32_t, uint16_t> cids;   // composite fonts
  int defaultWidth = 0;                          // 0: unknown
  bool composite = false;

  // The width of a code, or the default (500 when nothing is known).
  int Width(uint32_t code) const;
};

// Reads the widths of the font object at position (offsets gives objects' places).
PdfFontWidths ReadPdfFontWidths(const ByteCursor& raw, const std::vector<int64_t>& offsets, int64_t position);
