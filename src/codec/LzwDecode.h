// The LZW decoder that GIF and TIFF pictures share with PDF streams.
#pragma once

#include <cstdint>

class AllocHook;

enum LzwMode : int {
  kLzwPdf = 0,   // most significant bit first, bytes 0 come out as 0x40
  kLzwGif = 1,   // least significant bit first, minimum code size 2..8
  kLzwTiff = 2,  // most significant bit first, 9..12 bits, early width change
};

// What LzwDecode returns when a scratch block could not be allocated; the data is
// then unchanged and the caller shows its out-of-memory message.
inline constexpr int kLzwOutOfMemory = -1;

// Decodes LZW data in place: the result is copied over the first bytes of data, so
// data must hold max(length, capacity) bytes. Returns the bytes decoded (at most
// capacity), 0 when nothing came out, or kLzwOutOfMemory. PDF and TIFF data take
// a minimum code size of 8.
int LzwDecode(uint8_t* data, int length, int capacity, int mode, int minCodeSize, AllocHook* hook);
