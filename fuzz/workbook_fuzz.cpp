// The binary workbook records and the sheet output over any record stream: the input
// becomes the Workbook stream of a compound file, loaded as a workbook in the table
// form or, when its first byte is odd, the cell-list form.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "CfbImage.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 200000) return 0;
  std::string folder = (std::filesystem::temp_directory_path() / "pelnorix-wb-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 0;
  const std::string host = folder + "/a.xls";
  {
    const std::string image = cfbimage::Build({{"Workbook", std::string(reinterpret_cast<const char*>(data), size)}});
    std::ofstream out(host, std::ios::binary);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
  }
  {
    CMainFrame frame;
    CQelDoc doc(plat::FromHostPath(folder));
    doc.m_nInDataLimit = 262144;
    doc.m_nOutDataLimit = 65536;
    doc.m_nTableRows = 1000;
    doc.m_nTableRowsR = 1000;
    doc.m_nColumnWidthMode = data[0] & 1 ? 10 : 0;
    doc.LoadDocument(plat::FromHostPath(host), 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
