// The sheet RTF build road on arbitrary cell text: markup lines, object boxes,
// conditions, settings and rows, whole and as one display page of table text mode,
// with and without an output limit; the whole RTF is read back by the control. A
// repeat mark (RepeatMark.h) grows an input up to 128 KiB.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "RepeatMark.h"
#include "platform/richedit/RichEdit.h"
#include "richtext/sheet/SheetRtfWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* raw, size_t rawSize) {
  const fuzzsupport::RepeatedInput input(raw, rawSize, size_t{1} << 17);
  const size_t size = input.size();
  const std::string_view cells(reinterpret_cast<const char*>(input.data()), size);
  sheet::BuildInput in;
  in.cells = cells;
  in.charColours = cells.substr(0, std::min<size_t>(cells.size(), 6));
  in.picture = [](const std::string&, int, int) { return std::string(); };
  const sheet::BuildOutput whole = sheet::BuildSheetRtfText(in);
  in.tableTextMode = true;
  in.pageStart = static_cast<int>(size % 7);
  in.pageRows = 3;
  in.verticalRules = true;
  in.limit = 4096;
  sheet::BuildSheetRtfText(in);
  plat::RichEdit edit;
  edit.StreamInRtf(whole.rtf, false);
  return 0;
}
