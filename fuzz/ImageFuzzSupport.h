// One picture decoder on arbitrary bytes: it must decode a picture or refuse the
// bytes, never read or write out of bounds. The decoders run alone, without a
// document: their context refuses allocations above 64 MB and inflates PNG data
// with the own codec in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Alloc.h"
#include "codec/CodecServices.h"
#include "image/codecs/PictureDecoders.h"

using PictureDecoder = int (*)(const uint8_t*, int, BITMAPINFO*, PictureBlock&, const PictureContext&);

inline const PictureContext& FuzzPictureContext() {
  static AllocHook hook;
  static const PictureContext cx = [] {
    hook.FailAbove(size_t{64} << 20);
    PictureContext c;
    c.hook = &hook;
    c.inflate = [](uint8_t* data, int length, int capacity) {
      const std::vector<uint8_t> in(data, data + length);
      CBufferInflater inflater;
      return static_cast<int>(inflater.Run(in.data(), length, data, capacity));
    };
    c.inflateTo = [](const uint8_t* data, int64_t length, codec::CByteSink& sink, int64_t capacity) {
      CBufferInflater inflater;
      return inflater.Run(data, length, sink, capacity);
    };
    return c;
  }();
  return cx;
}

inline int FuzzPictureDecoder(const uint8_t* data, size_t size, PictureDecoder decode) {
  BITMAPINFO info{};
  PictureBlock picture;
  decode(data, static_cast<int>(size), &info, picture, FuzzPictureContext());
  return 0;
}
