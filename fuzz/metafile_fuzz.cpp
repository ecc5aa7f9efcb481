// The metafile player on arbitrary bytes: the header, the picture size taken from
// it and the playback of every record (text, clipping and JPEG and PNG bitmaps
// through the document's own decoders included) onto a small bitmap must stay
// inside the bytes, the object table and the bitmap, and end. One document serves
// the whole run, in the process's own folder (RunFolder.h); allocations above 64 MB
// are refused.
// A repeat mark (RepeatMark.h) grows an input up to 1 MiB.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "RepeatMark.h"
#include "RunFolder.h"
#include "app/QelDoc.h"
#include "image/loading/MetafileImage.h"
#include "platform/gdi/GdiText.h"
#include "platform/metafile/Metafile.h"
#include "platform/os/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static plat::TextPainter text;
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return 0;
  static CQelDoc* doc = [&] {
    static CQelDoc d(plat::FromHostPath(folder));
    d.m_allocHook.FailAbove(size_t{64} << 20);
    return &d;
  }();
  static const plat::MetafilePictureDecoder pictures = MetafilePictures(*doc);
  const fuzzsupport::RepeatedInput input(data, size, size_t{1} << 20);
  const std::span<const uint8_t> bytes(input.data(), input.size());
  plat::MetafileHeader header;
  if (!plat::ReadMetafileHeader(bytes, header)) return 0;
  MetafileImageSize(header);
  plat::Bitmap target;
  target.width = 64;
  target.height = 48;
  target.pixels.assign(64 * 48, 0xFFFFFF);
  plat::PlayMetafile(bytes, target, CRect{0, 0, 64, 48}, &text, pictures);
  return 0;
}
