// The compound-file stage and the roads after it over any bytes: the first input byte
// picks the file's name (workbook, Word, presentation, mail, unknown, rich text);
// the rest is the file. Nothing may read past the file or the raw buffer, write past
// the output, or follow a chain for ever.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "LoadFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"a.xls", "a.doc", "a.ppt", "a.msg", "a.dat", "a.rtf"};
  if (size == 0) return 0;
  LoadFuzzFile(kNames[data[0] % 6], std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), [](CQelDoc& doc) {
    doc.m_nInDataLimit = 65536;
    doc.m_nOutDataLimit = 65536;
    doc.m_nTableRows = 2000;
    doc.m_nTableRowsR = 2000;
  });
  return 0;
}
