// CQelDoc::SaveDib and SaveImageByExtension: every image save ends here. The DIB is
// brought to the depth its save code's row asks for (image/saving/ImageSaveFormats.h)
// and written by the row's writer; a PDF wraps a standard JPEG written first to the
// work file. Files replace the target only when complete (a PNG's rows are streamed
// into a work file beside it, the others are assembled in memory).
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/AsciiCase.h"
#include "base/CheckedSize.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ImageStatus.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/DibConvert.h"
#include "image/loading/Bmz.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"

namespace {

// Why a picture that must be widened cannot be saved: at 24 bits its rows would pass
// the largest block.
std::string TooLargeAt24(const BITMAPINFOHEADER& h) {
  const double megabytes = static_cast<double>(DibStride(h.biWidth, 24)) * h.biHeight / (1 << 20);
  char text[200];
  std::snprintf(text, sizeof text, "%d x %d pixels take %.6g MB at 24 bits, more than the largest picture held (%lld MB)",
                h.biWidth, h.biHeight, megabytes, static_cast<long long>(kMaxDibBytes >> 20));
  return text;
}

}  // namespace

ConvertStatus CQelDoc::SaveDib(const uint8_t* bits, BITMAPINFO* info, std::string target, ImageSaveCode code) {
  BITMAPINFOHEADER& h = info->bmiHeader;
  const ImageSaveFormat& format = SaveFormat(code);
  if (format.writer == ImageWriter::kPdf) {
    const std::string jpeg = PdfWorkJpeg(*this);
    const ConvertStatus written = SaveDib(bits, info, jpeg, ImageSaveCode::kJpegStandard);
    if (!written.ok()) return written;
    return WritePdf(target, jpeg, h.biWidth, std::abs(h.biHeight));
  }
  const int source = h.biBitCount;
  const int depth = format.depth == kOwnDepth ? source : format.depth;
  const int64_t sourceBytes = DibImageBytes(h.biWidth, h.biHeight, source);
  const int64_t wideBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
  if (!bits || sourceBytes <= 0) return SaveNotWritten();

  // Kept as it is: a depth that is already the target's (BMP and BMZ take any; a
  // palette picture keeps its own indices and colour table), and a palette picture
  // where the format keeps palettes.
  ConvertStatus saved;
  if (source == depth || (format.keepsPalette && source <= 8)) {
    saved = SaveImageByExtension(bits, info, target, code);
  } else if (wideBytes <= 0) {
    return ShowCannotCreate(target, TooLargeAt24(h));
  } else {
    std::vector<uint8_t> wide, reduced;
    if (!TryAllocate(wide, wideBytes, 1, kDibSpareBytes, &m_allocHook) ||
        (depth < 24 && !TryAllocate(reduced, wideBytes, 1, kDibSpareBytes, &m_allocHook))) {
      AfxMessageBox(OutOfMemoryText(" 650"));
      return ConvertStatus::OutOfMemory(" 650");
    }
    BITMAPINFO work = *info;
    if (source == 24) {
      std::memcpy(wide.data(), bits, static_cast<size_t>(wideBytes));
    } else if (ConvertDibTo24(bits, wide.data(), &work, static_cast<int>(sourceBytes),
                              static_cast<int>(wide.size())) <= 0) {
      return ShowCannotCreate(target, "the picture's " + std::to_string(source) + "-bit rows could not be widened to 24 bits");
    }
    if (depth < 24) {
      if (ReduceColorDepth(wide.data(), reduced.data(), &work, depth, static_cast<int>(wide.size()),
                           static_cast<int>(reduced.size())) <= 0) {
        return ShowCannotCreate(target, "the picture could not be reduced to " + std::to_string(depth) + " bits");
      }
      saved = SaveImageByExtension(reduced.data(), &work, target, code);
    } else {
      saved = SaveImageByExtension(wide.data(), &work, target, code);
    }
  }
  if (m_bKeepFileDate == 1 && plat::Stat(target)) plat::SetFileTime(target, m_timeKeepFile);
  return saved;
}

ConvertStatus CQelDoc::SaveImageByExtension(const uint8_t* bits, BITMAPINFO* info, std::string target, ImageSaveCode code) {
  // Marked names of protected files cannot take modified data.
  const std::string tail = AsciiLowerTail(target, 5);
  if (tail == ".+png" || tail == ".+jpg" || tail == "+jpeg" || tail == ".+bmp" || tail == ".+bmz") {
    const std::string ext = tail == "+jpeg" ? ".+jpg" : tail;
    char text[512];
    std::snprintf(text, sizeof text, LoadString(IDS_EDITED_SAVE_FORMAT).c_str(), ext.substr(2).c_str(), ext.substr(1).c_str());
    AfxMessageBox(text);
    return ConvertStatus::Message(IDS_EDITED_SAVE_FORMAT);
  }
  const ImageSaveFormat& format = SaveFormat(code);
  switch (format.writer) {
    case ImageWriter::kJpeg: return WriteJpeg(bits, info, target, format.jpegLevel);
    case ImageWriter::kPng: return WritePng(bits, info, target) > 0 ? ConvertStatus::Ok() : SaveNotWritten();
    case ImageWriter::kPdf: return SaveDib(bits, info, target, code);  // the JPEG it wraps is written first
    case ImageWriter::kBmp:
    case ImageWriter::kBmz: break;
  }
  const std::vector<uint8_t> bmp = BuildBmpFile(bits, *info);
  if (bmp.empty()) return ShowCannotCreate(target, "the picture's rows could not be held for the BMP file");
  if (format.writer == ImageWriter::kBmz) {
    std::vector<uint8_t> bmz;
    if (!PackBmz(bmp, bmz)) return SaveNotWritten();
    return ReplaceFileWith(target, bmz);
  }
  return ReplaceFileWith(target, bmp);
}
