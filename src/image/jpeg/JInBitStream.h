// The decoder's one reader of the input. Marker segments are read bytewise through
// GetByte/GetWord/CopyByte/SkipByte, which throw JBufferError past the end. The
// entropy-coded data is read through a 64-bit bit buffer: stuffed 0xFF 0x00 pairs
// become 0xFF, and at a marker or at the end of the input the buffer is padded with
// zero bits and the stream stops, so the hot loop never tests bounds; Overrun() then
// tells whether a code reached into the padding.
#pragma once

#include <cstdint>

#include "image/jpeg/JErrors.h"

class JInBitStream {
 public:
  JInBitStream(const uint8_t* data, int64_t length) : mData(data), mEnd(data && length > 0 ? length : 0) {}

  // Marker segments.
  int GetByte() {
    if (mPos >= mEnd) throw JBufferError("GetByte");
    return mData[mPos++];
  }
  int GetWord() {
    if (mEnd - mPos < 2) throw JBufferError("GetWord");
    const int v = mData[mPos] << 8 | mData[mPos + 1];
    mPos += 2;
    return v;
  }
  void SkipByte(int64_t n) {
    if (n < 0 || n > mEnd - mPos) throw JBufferError("SkipByte");
    mPos += n;
  }
  // The next n bytes in place (n checked), and past them.
  const uint8_t* CopyByte(int64_t n) {
    if (n < 0 || n > mEnd - mPos) throw JBufferError("CopyByte");
    const uint8_t* at = mData + mPos;
    mPos += n;
    return at;
  }
  // Byte offset of the next byte to read.
  int64_t GetPosition() const { return mPos; }

  // Entropy-coded data: starts at the current byte with an empty bit buffer.
  void StartBits() {
    mBuf = 0;
    mBits = 0;
    mPad = 0;
    mStopped = false;
    mMarker = -1;
  }
  // At least 32 bits (real or padding) are in the buffer afterwards.
  void Need32() {
    if (mBits < 32) Fill();
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(mBuf >> (64 - n)); }
  void Consume(int n) {
    mBuf <<= n;
    mBits -= n;
  }
  // n (1..16) bits as an unsigned value; Need32 must have run.
  int Take(int n) {
    const int v = static_cast<int>(Peek(n));
    Consume(n);
    return v;
  }
  // True once a read went past the last real bit before a marker or the end.
  bool Overrun() const { return mBits < mPad; }
  // Drops the bits left of the current segment and reads the marker that ends it:
  // its code (0xD0..0xD7 for a restart), or -1 at the end of the input. The bit
  // buffer restarts after the marker.
  int NextScanMarker();

 private:
  void Fill();

  const uint8_t* mData;
  int64_t mEnd;
  int64_t mPos = 0;
  uint64_t mBuf = 0;   // bits from the most significant end
  int mBits = 0;       // bits in mBuf, padding included
  int mPad = 0;        // zero bits appended after the stream stopped
  bool mStopped = false;
  int mMarker = -1;    // the marker code the stream stopped at, -1 for the end
};
