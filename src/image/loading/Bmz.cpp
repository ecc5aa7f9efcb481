// BMZ: a ZIP archive holding one BMP file. ReadBmz unpacks the BMP member in
// memory with the own codec (bounded by the "bmpfile" volume and the room of its
// headers) and reads it like a BMP file; WriteBmz packs a BMP file image as
// "Pelnor1.bmp".
#include <algorithm>
#include <cstdio>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "codec/CodecServices.h"
#include "image/ImageStatus.h"
#include "image/codecs/BmpFile.h"
#include "image/loading/Bmz.h"

namespace {

bool IsBmpName(const std::string& name) {
  return EndsWithNoCase(name, ".bmp");
}

}  // namespace

int CQelDoc::ReadBmz(const uint8_t* file, int length, BITMAPINFO* out, std::string /*path*/) {
  const std::span<const uint8_t> archive(file, static_cast<size_t>(std::max(length, 0)));
  std::vector<uint8_t> bmp;
  // A member cut short gives what was unpacked; an unreadable archive nothing.
  if (const auto members = ListZipImage(archive)) {
    if (members->empty()) return 0;
    const auto named = std::find_if(members->begin(), members->end(), [](const ZipImageMember& m) { return IsBmpName(m.name); });
    const size_t index = named == members->end() ? 0 : static_cast<size_t>(named - members->begin());
    bmp = UnpackZipImageMember(archive, index, static_cast<uint64_t>(std::max(m_nBmpFileLimit, 0) + kBmpHeadRoom));
  }
  if (bmp.size() < 2 || bmp[0] != 'B' || bmp[1] != 'M') {
    ConvAppend(LoadString(IDS_UNSUPPORTED_FORMAT));
    return 0;
  }
  if (!DecodeBmp(bmp.data(), static_cast<int>(bmp.size()), out)) return 0;
  char status[32];
  std::snprintf(status, sizeof status, "Bitmap(zip) %d bit", out->bmiHeader.biBitCount);
  ShowImageFormat(status);
  return 1;
}

bool PackBmz(std::span<const uint8_t> bmpFile, std::vector<uint8_t>& archive) {
  return PackZipImage("Pelnor1.bmp", bmpFile, 0x20, archive);
}
