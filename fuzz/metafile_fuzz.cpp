// The metafile player on arbitrary bytes: the header, the picture size taken from
// it and the playback of every record (text included) onto a small bitmap must
// stay inside the bytes, the object table and the bitmap, and end.
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/MetafileImage.h"
#include "platform/gdi/GdiText.h"
#include "platform/metafile/Metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static plat::TextPainter text;
  const std::span<const uint8_t> bytes(data, size);
  plat::MetafileHeader header;
  if (!plat::ReadMetafileHeader(bytes, header)) return 0;
  MetafileImageSize(header);
  plat::Bitmap target;
  target.width = 64;
  target.height = 48;
  target.pixels.assign(64 * 48, 0xFFFFFF);
  plat::PlayMetafile(bytes, target, CRect{0, 0, 64, 48}, &text);
  return 0;
}
