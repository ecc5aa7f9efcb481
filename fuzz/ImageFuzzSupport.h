// One image decoder on arbitrary bytes: it must load a picture or refuse the bytes,
// never read or write out of bounds. One document serves the whole run, in a work
// folder under $TMPDIR; allocations above 64 MB are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/QelDoc.h"
#include "platform/os/Files.h"

using ImageDecoder = int (CQelDoc::*)(const uint8_t*, int, BITMAPINFO*);

inline int FuzzImageDecoder(const uint8_t* data, size_t size, ImageDecoder decode) {
  static CQelDoc* doc = [] {
    const char* tmp = std::getenv("TMPDIR");
    static CQelDoc d(plat::FromHostPath(std::string(tmp && *tmp ? tmp : "/tmp") + "/pelnorix-fuzz"));
    d.m_allocHook.FailAbove(size_t{64} << 20);
    return &d;
  }();
  BITMAPINFO info{};
  (doc->*decode)(data, static_cast<int>(size), &info);
  doc->ReleaseImage();
  return 0;
}
