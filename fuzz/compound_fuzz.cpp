// The compound-file stage and the roads after it over any bytes: the first input byte
// picks the file's name (workbook, Word, presentation, mail, unknown, rich text);
// the rest is the file. Nothing may read past the file or the raw buffer, write past
// the output, or follow a chain for ever.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"a.xls", "a.doc", "a.ppt", "a.msg", "a.dat", "a.rtf"};
  if (size == 0) return 0;
  std::string folder = (std::filesystem::temp_directory_path() / "pelnorix-cfb-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 0;
  const std::string host = folder + "/" + kNames[data[0] % 6];
  {
    std::ofstream out(host, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  {
    CMainFrame frame;
    CQelDoc doc(plat::FromHostPath(folder));
    doc.m_nInDataLimit = 65536;
    doc.m_nOutDataLimit = 65536;
    doc.m_nTableRows = 2000;
    doc.m_nTableRowsR = 2000;
    doc.LoadDocument(plat::FromHostPath(host), 0);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
