// One image decoder on arbitrary bytes: it must load a picture or refuse the bytes,
// never read or write out of bounds. One document serves the whole run, in the
// process's own folder (RunFolder.h); allocations above 64 MB are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "RunFolder.h"
#include "app/QelDoc.h"
#include "image/Dib.h"
#include "platform/os/Files.h"

using ImageDecoder = int (CQelDoc::*)(const uint8_t*, int, BITMAPINFO*);

inline int FuzzImageDecoder(const uint8_t* data, size_t size, ImageDecoder decode) {
  const std::string& folder = fuzzsupport::RunFolder();
  if (folder.empty()) return 0;
  static CQelDoc* doc = [&] {
    static CQelDoc d(plat::FromHostPath(folder));
    d.m_allocHook.FailAbove(size_t{64} << 20);
    return &d;
  }();
  BITMAPINFO info{};
  (doc->*decode)(data, static_cast<int>(size), &info);
  doc->ReleaseImage();
  return 0;
}
