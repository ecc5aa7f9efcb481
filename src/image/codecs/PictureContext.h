// What a picture decoder needs of its caller, so that the decoders stand without the
// document: the hook through which every block is allocated (tests and fuzzers make
// it refuse), where a refused block is told with its place code (" 6nn"; the program
// shows string 152), where a reader says what it read (the status bar's format pane),
// the inflater of PNG's zlib data, and where a picture too large to hold is told. A
// context left empty allocates freely and tells nothing; without an inflater no PNG
// decodes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "image/codecs/Dib.h"

class AllocHook;
namespace codec {
class CByteSink;
}

struct PictureContext {
  AllocHook* hook = nullptr;
  std::function<void(const char* place)> outOfMemory;
  std::function<void(const std::string& format)> format;
  // Inflates the raw Deflate data in data[0, length) over data (which holds capacity
  // bytes): the bytes inflated, at most capacity; 0 or below when nothing inflates.
  std::function<int(uint8_t* data, int length, int capacity)> inflate;
  // A picture whose rows would pass kMaxDibBytes: the bytes they would take.
  std::function<void(int64_t bytes)> tooLarge;
  // Inflates the raw Deflate data in data[0, length) into sink as it decodes, at most
  // capacity bytes: the bytes inflated; 0 or below when nothing inflates. Unset: the
  // data is inflated whole through inflate, then handed to the sink.
  std::function<int64_t(const uint8_t* data, int64_t length, codec::CByteSink& sink, int64_t capacity)> inflateTo;
  // The bytes of a DIB's rows the caller keeps (its picture memory volume), counted
  // from the DIB's first row; a PNG reader holds no rows past them. 0 keeps all.
  int64_t keepBytes = 0;

  void OutOfMemory(const char* place) const {
    if (outOfMemory) outOfMemory(place);
  }
  void Format(const std::string& text) const {
    if (format) format(text);
  }
  int Inflate(uint8_t* data, int length, int capacity) const { return inflate ? inflate(data, length, capacity) : -1; }
  int64_t InflateTo(const uint8_t* data, int64_t length, codec::CByteSink& sink, int64_t capacity) const;
  void TooLarge(int64_t bytes) const {
    if (tooLarge) tooLarge(bytes);
  }
  // Whether the rows of a width x height DIB at bits per pixel can be held; a picture
  // of a valid size that passes kMaxDibBytes is told through tooLarge.
  bool Holds(int64_t width, int64_t height, int bits) const {
    if (DibImageBytes(width, height, bits) > 0) return true;
    const int64_t stride = DibStride(width, bits);
    int64_t bytes = 0;
    if (stride > 0 && height > 0 && height <= (int64_t{1} << 31)) {
      TooLarge(__builtin_mul_overflow(stride, height, &bytes) ? INT64_MAX : bytes);
    }
    return false;
  }
};
