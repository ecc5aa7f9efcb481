// The sheet PDF writer on arbitrary cell text: markup lines, settings, row items and
// page marks drive the pages; the output must end as a PDF or stop by a limit. A
// repeat mark (RepeatMark.h) grows an input up to 1 MiB.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "RepeatMark.h"
#include "richtext/sheet/SheetPdfWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* raw, size_t rawSize) {
  const fuzzsupport::RepeatedInput input(raw, rawSize, size_t{1} << 20);
  const size_t size = input.size();
  const std::string_view cells(reinterpret_cast<const char*>(input.data()), size);
  sheet::PdfInput in;
  in.cells = cells;
  in.paper = static_cast<char>('a' + size % 24);  // three letters past 'v' too
  in.number = size % 3 == 0 ? -1 : static_cast<int>(size * 37);
  in.title = std::string(cells.substr(0, 40));
  in.date = "20260102030405";
  int asked = 0;
  in.progress = [&asked](int, int, int) { return ++asked > 50; };
  const sheet::PdfOutput out = sheet::BuildSheetPdf(in);
  if (out.stop == sheet::PdfStop::None && !out.bytes.ends_with("%%EOF\n")) std::abort();
  return 0;
}
