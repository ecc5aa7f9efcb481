// CQelDoc::SaveDib and SaveImageByExtension: every image save ends here. The DIB is
// brought to the depth the save code asks for (ImageSaveCode: 1 to 3 BMP, 4 BMZ,
// 5 PNG, 6 to 8 JPEG at three levels, 9 to 11 PNG at 1, 4 and 8 bits) and written.
// Files replace the target only when complete (a PNG's rows are streamed into a
// work file beside it, the others are assembled in memory).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "base/CheckedSize.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/codecs/BmpFile.h"
#include "image/codecs/DibConvert.h"
#include "image/loading/Bmz.h"
#include "image/ImageStatus.h"
#include "image/saving/SaveFile.h"
#include "platform/os/Files.h"

namespace {

int TargetDepth(int code) { return code == 9 ? 1 : code == 10 ? 4 : code == 11 ? 8 : 24; }

// Why a picture that must be widened cannot be saved: at 24 bits its rows would pass
// the largest block.
std::string TooLargeAt24(const BITMAPINFOHEADER& h) {
  const double megabytes = static_cast<double>(DibStride(h.biWidth, 24)) * h.biHeight / (1 << 20);
  char text[200];
  std::snprintf(text, sizeof text, "%d x %d pixels take %.6g MB at 24 bits, more than the largest picture held (%lld MB)",
                h.biWidth, h.biHeight, megabytes, static_cast<long long>(kMaxDibBytes >> 20));
  return text;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

}  // namespace

void CQelDoc::SaveDib(const uint8_t* bits, BITMAPINFO* info, std::string target, int code) {
  Image().m_bLastSaveOk = 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  const int depth = TargetDepth(code);
  const int source = h.biBitCount;
  const int64_t sourceBytes = DibImageBytes(h.biWidth, h.biHeight, source);
  const int64_t wideBytes = DibImageBytes(h.biWidth, h.biHeight, 24);
  if (!bits || sourceBytes <= 0) return;

  // Kept as it is: BMP and BMZ, a depth that is already the target's (a palette
  // picture keeps its own indices and colour table), 24 bits for PNG and JPEG, and
  // PNG of a palette image.
  const bool keep = code < 5 || source == depth || (code == 5 && source <= 8);
  if (keep) {
    SaveImageByExtension(bits, info, target, code > 8 ? 5 : code);
  } else if (wideBytes <= 0) {
    ShowCannotCreate(target, TooLargeAt24(h));
    return;
  } else {
    std::vector<uint8_t> wide, reduced;
    if (!TryAllocate(wide, wideBytes, 1, kDibSpareBytes, &m_allocHook) ||
        (depth < 24 && !TryAllocate(reduced, wideBytes, 1, kDibSpareBytes, &m_allocHook))) {
      AfxMessageBox(OutOfMemoryText(" 650"));
      return;
    }
    BITMAPINFO work = *info;
    if (source == 24) {
      std::memcpy(wide.data(), bits, static_cast<size_t>(wideBytes));
    } else if (ConvertDibTo24(bits, wide.data(), &work, static_cast<int>(sourceBytes),
                              static_cast<int>(wide.size())) <= 0) {
      ShowCannotCreate(target, "the picture's " + std::to_string(source) + "-bit rows could not be widened to 24 bits");
      return;
    }
    if (depth < 24) {
      if (ReduceColorDepth(wide.data(), reduced.data(), &work, depth, static_cast<int>(wide.size()),
                           static_cast<int>(reduced.size())) <= 0) {
        ShowCannotCreate(target, "the picture could not be reduced to " + std::to_string(depth) + " bits");
        return;
      }
      SaveImageByExtension(reduced.data(), &work, target, 5);
    } else {
      SaveImageByExtension(wide.data(), &work, target, code > 8 ? 5 : code);
    }
  }
  if (m_bKeepFileDate == 1 && plat::Stat(target)) plat::SetFileTime(target, m_timeKeepFile);
}

void CQelDoc::SaveImageByExtension(const uint8_t* bits, BITMAPINFO* info, std::string target, int code) {
  Image().m_bLastSaveOk = 0;
  // Marked names of protected files cannot take modified data.
  const std::string tail = Lower(target.size() >= 5 ? target.substr(target.size() - 5) : target);
  if (tail == ".+png" || tail == ".+jpg" || tail == "+jpeg" || tail == ".+bmp" || tail == ".+bmz") {
    const std::string ext = tail == "+jpeg" ? ".+jpg" : tail;
    char text[512];
    std::snprintf(text, sizeof text, LoadString(387).c_str(), ext.substr(2).c_str(), ext.substr(1).c_str());
    AfxMessageBox(text);
    return;
  }
  if (code > 5) {
    WriteJpeg(bits, info, target, code - 5);
    return;
  }
  if (code == 5) {
    Image().m_bLastSaveOk = WritePng(bits, info, target) > 0;
    return;
  }
  const std::vector<uint8_t> bmp = BuildBmpFile(bits, *info);
  if (bmp.empty()) {
    ShowCannotCreate(target, "the picture's rows could not be held for the BMP file");
    return;
  }
  if (code == 4) {
    std::vector<uint8_t> bmz;
    Image().m_bLastSaveOk = PackBmz(bmp, bmz) && ReplaceFileWith(target, bmz);
    return;
  }
  Image().m_bLastSaveOk = ReplaceFileWith(target, bmp);
}
