// The file-to-text dump over any bytes: the first input byte picks the file's name
// (and so its kind and road) and the display form; the rest is the file. Nothing
// may read past the bytes read, write past the output buffer, or loop for ever.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"

namespace {

constexpr const char* kNames[] = {"a.zip", "a.lzh", "a.jpg", "a.gif", "a.bmp", "a.tif", "a.exe", "a.dat",
                                  "a.csv", "a.wav", "a.mp3", "a.wma", "a.mid", "a.avi", "a.htm", "a.xml",
                                  "a.m3u", "a.doc", "a.rtf", "a.pdf", "a.docx", "a.MP3", "a.bin", "a.xls"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

// A private program folder for one input, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelnorix-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TempFolder folder;
  if (folder.Path().empty()) return 0;
  const std::string host = folder.Path() + "/" + kNames[data[0] % kNameCount];
  {
    std::ofstream out(host, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  CMainFrame frame;
  CQelDoc doc(plat::FromHostPath(folder.Path()));
  doc.m_nDisplayForm = data[0] / kNameCount % 3;
  doc.m_nInDataLimit = 65536;
  doc.m_nOutDataLimit = 65536;
  doc.LoadDocument(plat::FromHostPath(host), 0);
  return 0;
}
