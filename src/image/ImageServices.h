// What the image subsystem offers the other subsystems besides the document's
// operations: the LZW decoder that PDF streams share with GIF and TIFF.
#pragma once

#include <cstdint>

// Decodes LZW data in place: the result is copied over the first bytes of data, so
// data must hold max(length, capacity) bytes. Returns the bytes decoded (at most
// capacity); 0 when nothing came out or a scratch block could not be allocated.
// mode 0 PDF (bytes 0 come out as 0x40), 1 GIF (LSB first, minimum code size 2..8),
// 2 TIFF (MSB first, 9..12 bits, early width change).
int LzwDecode(uint8_t* data, int length, int capacity, int mode, int minCodeSize);
