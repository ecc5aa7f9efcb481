// The file-to-text dump over any bytes: the first input byte picks the file's name
// (and so its kind and road) and the display form; the rest is the file. Nothing
// may read past the bytes read, write past the output buffer, or loop for ever.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "LoadFuzzSupport.h"

namespace {

constexpr const char* kNames[] = {"a.zip", "a.lzh", "a.jpg", "a.gif", "a.bmp", "a.tif", "a.exe", "a.dat",
                                  "a.csv", "a.wav", "a.mp3", "a.wma", "a.mid", "a.avi", "a.htm", "a.xml",
                                  "a.m3u", "a.doc", "a.rtf", "a.pdf", "a.docx", "a.MP3", "a.bin", "a.xls"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  LoadFuzzFile(kNames[options % kNameCount], std::string_view(reinterpret_cast<const char*>(data + 1), size - 1),
               [options](CQelDoc& doc) {
                 doc.m_nDisplayForm = options / kNameCount % 3;
                 doc.m_nInDataLimit = 65536;
                 doc.m_nOutDataLimit = 65536;
               });
  return 0;
}
