#include "image/ImageStatus.h"

#include <cstdio>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "codec/CodecServices.h"
#include "frame/MainFrame.h"
#include "frame/StatusBar.h"
#include "image/ImageState.h"
#include "image/codecs/PictureContext.h"

void ShowImageFormat(const std::string& text) {
  if (!g_pStatusBar) return;
  const int pane = g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT);
  if (pane >= 0) g_pStatusBar->SetPaneText(pane, text);
}

void ShowImageOutOfMemory(const char* place) { AfxMessageBox(OutOfMemoryText(place)); }

std::string ImageVolumeOverText(int64_t volume) {
  char setting[160];
  std::snprintf(setting, sizeof setting, "(bmpfile=%.6g: the image file volume in MB, which the file or its decoded picture passes; a "
                "larger one reads the whole picture)",
                static_cast<double>(volume) / (1 << 20));
  return FileSizeOverText(volume) + "\r\n" + setting;
}

namespace {

std::string Megabytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g MB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

}  // namespace

std::string ImageTooLargeText(int64_t bytes) {
  return "the picture's rows would take " + Megabytes(bytes) + ", more than the largest picture held (" +
         Megabytes(kMaxDibBytes) + ", the most bmpdata allows); no setting raises it";
}

std::string ImageDataOverText(int64_t bytes, int64_t volume) {
  return "the picture's rows take " + Megabytes(bytes) + ", more than the picture memory volume (bmpdata=" +
         Megabytes(volume) + "): the rows past it are not shown; --set bmpdata=MB (or bmpdata=MB in Pelnor.inf, " +
         "up to " + Megabytes(kMaxDibBytes) + ") raises it";
}

std::string ImageDataRefusedText(int64_t bytes, int64_t volume) {
  return "the picture's rows take " + Megabytes(bytes) + ", more than the picture memory volume (bmpdata=" +
         Megabytes(volume) + "); --set bmpdata=MB (or bmpdata=MB in Pelnor.inf, up to " + Megabytes(kMaxDibBytes) +
         ") raises it";
}

PictureContext DocPictureContext(CQelDoc& doc) {
  PictureContext cx;
  cx.hook = &doc.m_allocHook;
  cx.outOfMemory = ShowImageOutOfMemory;
  cx.format = ShowImageFormat;
  cx.tooLarge = [&doc](int64_t bytes) { doc.Image().m_nImageTooLarge = bytes; };
  // The own codec, taking the rows as they inflate: a PNG's rows are never held whole.
  cx.inflateTo = [](const uint8_t* data, int64_t length, codec::CByteSink& sink, int64_t capacity) -> int64_t {
    CBufferInflater inflater;
    const int64_t got = inflater.Run(data, length, sink, capacity);
    return got == -3 ? capacity : got;  // data past the rows is not theirs
  };
  return cx;
}
