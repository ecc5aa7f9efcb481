#include "image/jpeg/JInBitStream.h"

JInBitStream::Bits JInBitStream::FillBytes(Bits bits) {
  uint64_t buf = bits.buf;
  int n = bits.n;
  while (n <= 56) {
    uint32_t b = 0;
    if (!mStopped) {
      if (mPos < mEnd) {
        b = mData[mPos];
        if (b != 0xFF) {
          ++mPos;
        } else {
          // 0xFF 0x00 is a data byte 0xFF; 0xFF followed by fill bytes and a code is a marker.
          int64_t q = mPos + 1;
          while (q < mEnd && mData[q] == 0xFF) ++q;
          if (q < mEnd && mData[q] == 0x00) {
            mPos = q + 1;
          } else {
            mStopped = true;
            mMarker = q < mEnd ? mData[q] : -1;
            b = 0;
          }
        }
      } else {
        mStopped = true;
        mMarker = -1;
      }
    }
    if (mStopped) mPad += 8;
    buf |= static_cast<uint64_t>(b) << (56 - n);
    n += 8;
  }
  return {buf, n};
}

int JInBitStream::NextScanMarker() {
  if (!mStopped) {
    // The bytes already in the buffer belong to the segment; look on from mPos.
    while (mPos < mEnd) {
      if (mData[mPos] == 0xFF) {
        int64_t q = mPos + 1;
        while (q < mEnd && mData[q] == 0xFF) ++q;
        if (q >= mEnd) break;
        if (mData[q] != 0x00) {
          mMarker = mData[q];
          mPos = q;
          break;
        }
        mPos = q + 1;
      } else {
        ++mPos;
      }
    }
    if (mPos >= mEnd) mMarker = -1;
  } else {
    // Fill stopped at the 0xFF of the marker (or at the end).
    while (mPos < mEnd && mData[mPos] == 0xFF) ++mPos;
  }
  const int marker = mMarker;
  if (marker >= 0 && mPos < mEnd) ++mPos;  // past the marker's code
  StartBits();
  return marker;
}
