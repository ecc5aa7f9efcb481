#include "image/ImageStatus.h"

#include <cstdio>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "frame/StatusBar.h"
#include "image/codecs/PictureContext.h"

void ShowImageFormat(const std::string& text) {
  if (!g_pStatusBar) return;
  const int pane = g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT);
  if (pane >= 0) g_pStatusBar->SetPaneText(pane, text);
}

void ShowImageOutOfMemory(const char* place) { AfxMessageBox(OutOfMemoryText(place)); }

std::string ImageVolumeOverText(int64_t volume) {
  char setting[160];
  std::snprintf(setting, sizeof setting, "(bmpfile=%.6g: the image file volume in MB; a larger one reads the whole picture)",
                static_cast<double>(volume) / (1 << 20));
  return FileSizeOverText(volume) + "\r\n" + setting;
}

PictureContext DocPictureContext(CQelDoc& doc) {
  PictureContext cx;
  cx.hook = &doc.m_allocHook;
  cx.outOfMemory = ShowImageOutOfMemory;
  cx.format = ShowImageFormat;
  cx.inflate = [&doc](uint8_t* data, int length, int capacity) { return doc.InflateViaTempZip(data, length, capacity, CQelDoc::kInflateToCapacity); };
  return cx;
}
