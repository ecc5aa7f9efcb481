// CQelDoc::WritePng: a DIB as a PNG file (the picture codecs' PngEncoder), written
// to a work file beside the target, which replaces the target only when the whole
// file was written.
#include <algorithm>
#include <cerrno>
#include <span>

#include "app/QelDoc.h"
#include "image/ImageStatus.h"
#include "image/codecs/png/PngEncode.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"

int CQelDoc::WritePng(const uint8_t* bits, const BITMAPINFO* info, std::string target) {
  PngEncoder png;
  if (!png.Begin(bits, info, DocPictureContext(*this))) return 0;
  plat::WorkFile work;
  if (!work.CreateBeside(target)) {
    ShowWriteFailure(target, errno);
    return 0;
  }
  plat::File& out = work.Out();
  const int error = png.Write([&out](std::span<const uint8_t> bytes) {
    if (out.Write(bytes.data(), static_cast<int64_t>(bytes.size()))) return 0;
    return errno ? errno : EIO;
  });
  if (error != 0) {
    ShowWriteFailure(target, error);
    return 0;
  }
  if (!work.CommitAs(target)) {
    ShowWriteFailure(target, errno);
    return 0;
  }
  return static_cast<int>(std::min<uint64_t>(png.Written(), INT32_MAX));
}
