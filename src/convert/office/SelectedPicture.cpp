// The picture the user picked in a binary Office file (m_nSelectedItem): its bytes
// are copied out of the image by the dump's picture table, written to a temporary
// picture file named after their first bytes and loaded as the shown picture.
// Positions and volumes come from the file: the copy never starts outside the data
// and never reads past it.
#include <algorithm>
#include <vector>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/OfficeArt.h"
#include "convert/office/OfficeState.h"
#include "convert/office/cfb/RawImage.h"
#include "convert/office/doc/WordText.h"
#include "convert/office/xls/BiffRecord.h"
#include "platform/os/Files.h"

namespace {

struct PictureFile {
  const char* name;
  int kind;
};

// The temporary file and file kind of picture bytes; null name: not a picture we load.
PictureFile PictureFileOf(std::string_view b) {
  const auto at = [&](size_t k) { return k < b.size() ? static_cast<uint8_t>(b[k]) : 0; };
  if (at(0) == 0xFF && at(1) == 0xD8 && at(2) == 0xFF) return {"\\pdftmp.jpg", kKindJpeg};
  if (at(0) == 0x89 && at(1) == 'P' && at(2) == 'N' && at(3) == 'G') return {"\\pdftmp.PNG", kKindPng};
  if (at(0) == 'B' && at(1) == 'M') return {"\\pdftmp.bmp", kKindBmp};
  if ((at(0) == 'I' && at(1) == 'I' && at(2) == 42) || (at(0) == 'M' && at(1) == 'M' && at(3) == 42)) return {"\\pdftmp.tif", kKindTiff};
  return {nullptr, 0};
}

}  // namespace

ConvertStatus CQelDoc::ShowSelectedPicture(DumpCall& call) {
  if (m_nSelectedItem <= 0 || m_nFileKind >= kKindRtf || !Convert().m_pRawData) return ConvertStatus::Ok();
  const bool direct = m_nSelectedItem == 100 && m_nFileKind == kKindPpt;
  const int n = direct || m_nSelectedItem > 199 ? 1 : m_nSelectedItem;
  int64_t volume = call.pictureVolume[static_cast<size_t>(n)];
  const int64_t address = call.pictureAddress[static_cast<size_t>(n)];
  const ByteCursor img = RawImageOf(*this);
  const int64_t end = std::min<int64_t>(std::min(call.readSize, Convert().m_nRawLen), img.Size());
  if (volume <= 0 || address < 0) return ConvertStatus::Ok();
  const int64_t base = m_nFileKind == kKindPpt ? (Office().m_anCfbSlots[4] > 0 ? Office().m_anCfbSlots[4] : 512) + 8 : 0;
  int64_t start = base + address;
  if (start >= end) return ConvertStatus::Ok();

  const int type = call.pictureType[static_cast<size_t>(n)];
  // JPEG and PNG data start at their signature (a 0xFF may occur in the store
  // entry's identifier before it); other direct pictures at their first 0xFF.
  if (m_nFileKind == kKindPpt && (type == kBlipJpeg || type == kBlipPng)) {
    for (int64_t k = 0; k < 500; ++k) {
      const int64_t p = start + k;
      const bool jpeg = type == kBlipJpeg && img.PeekU8(p) == 0xFF && img.PeekU8(p + 1) == 0xD8 && img.PeekU8(p + 2) == 0xFF;
      const bool png = type == kBlipPng && img.PeekU8(p) == 0x89 && img.PeekU8(p + 1) == 0x50 && img.PeekU8(p + 2) == 0x4E;
      if (jpeg || png) {
        start = p;
        volume -= k;
        break;
      }
    }
  } else if (direct) {
    for (int k = 0; k < 100 && img.PeekU8(start) != 0xFF && volume > 0; ++k, ++start, --volume) {}
  }
  std::vector<uint8_t> bytes;
  if (!TryAllocate(bytes, volume, 1, 1000, &m_allocHook)) {
    return ConvertStatus::OutOfMemory(direct ? " 008" : " 013");
  }
  bytes.clear();
  for (int64_t p = start; p < end && static_cast<int64_t>(bytes.size()) < volume; ++p) {
    // Workbook pictures: the headers of full-length continuation records are dropped.
    if (m_nFileKind == kKindXls && (img.MarkAt(p, kBiffContinuedMark) || img.MarkAt(p, kBiffDrawingContinuedMark))) {
      p += 3;
      continue;
    }
    bytes.push_back(img.PeekU8(p));
  }
  ShowPictureBytes(*this, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return ConvertStatus::Ok();
}

void ShowPictureBytes(CQelDoc& doc, std::string_view bytes) {
  const PictureFile file = PictureFileOf(bytes);
  if (!file.name) return;
  const std::string path = doc.TmpFolder() + file.name;
  if (!plat::WriteWholeFile(path, bytes)) return;
  doc.m_nFileKind = file.kind;
  doc.LoadNamedImageFile(path, 0);
}
