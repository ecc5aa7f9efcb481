// The binary workbook records and the sheet output over any record stream: the input
// becomes the Workbook stream of a compound file, loaded as a workbook in the table
// form or, when its first byte is odd, the cell-list form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CfbImage.h"
#include "LoadFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 200000) return 0;
  const std::string image = cfbimage::Build({{"Workbook", std::string(reinterpret_cast<const char*>(data), size)}});
  const bool cellList = data[0] & 1;
  LoadFuzzFile("a.xls", image, [cellList](CQelDoc& doc) {
    doc.m_nInDataLimit = 262144;
    doc.m_nOutDataLimit = 65536;
    doc.m_nTableRows = 1000;
    doc.m_nTableRowsR = 1000;
    doc.m_nColumnWidthMode = cellList ? 10 : 0;
  });
  return 0;
}
