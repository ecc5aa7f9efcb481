// Glyph widths of the standard fonts a PDF may name without /Widths (Helvetica,
// Times, Courier and the metric-compatible Arial and Times New Roman), so that
// runs of those fonts end where the page sets them.
#pragma once

#include <cstdint>
#include <string_view>

// The widths (thousandths of an em) of the codes 32 to 126 of the named font, or
// null when the name is none of the standard ones. A subset prefix "ABCDEF+" is
// passed over; Courier gives its fixed 600 through the same table.
const uint16_t* PdfStandardWidths(std::string_view baseFont);
