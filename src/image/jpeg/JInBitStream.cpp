#include "image/jpeg/JInBitStream.h"

#include <bit>
#include <cstring>

namespace {

inline uint64_t FromBigEndian(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

}  // namespace

JInBitStream::Bits JInBitStream::Fill(Bits bits) {
  uint64_t buf = bits.buf;
  int n = bits.n;
  // Fast path: the next eight bytes hold no 0xFF, so as many as fit are data.
  if (!mStopped && mEnd - mPos >= 8) {
    // One unaligned load; the test for a 0xFF byte holds in either byte order.
    uint64_t raw;
    std::memcpy(&raw, mData + mPos, sizeof raw);
    const uint64_t inverted = ~raw;  // a 0xFF byte becomes a zero byte
    if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
      const uint64_t next = FromBigEndian(raw);
      const int k = (64 - n) >> 3;  // n < 32 here, so 4 to 8 bytes
      buf |= (k == 8 ? next : next >> (64 - 8 * k)) << (64 - n - 8 * k);
      mPos += k;
      return {buf, n + 8 * k};
    }
  }
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
