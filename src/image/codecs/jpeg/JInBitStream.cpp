#include "image/codecs/jpeg/JInBitStream.h"

JInBitStream::Bits JInBitStream::FillBytes(Bits bits) {
  uint64_t buf = bits.buf;
  int n = bits.n;
  while (n <= 56) {
    uint32_t b = 0;
    if (!stopped_) {
      if (pos_ < end_) {
        b = data_[pos_];
        if (b != 0xFF) {
          ++pos_;
        } else {
          // 0xFF 0x00 is a data byte 0xFF; 0xFF followed by fill bytes and a code is a marker.
          int64_t q = pos_ + 1;
          while (q < end_ && data_[q] == 0xFF) ++q;
          if (q < end_ && data_[q] == 0x00) {
            pos_ = q + 1;
          } else {
            stopped_ = true;
            marker_ = q < end_ ? data_[q] : -1;
            b = 0;
          }
        }
      } else {
        stopped_ = true;
        marker_ = -1;
      }
    }
    if (stopped_) pad_ += 8;
    buf |= static_cast<uint64_t>(b) << (56 - n);
    n += 8;
  }
  return {buf, n};
}

int JInBitStream::NextScanMarker() {
  if (!stopped_) {
    // The bytes already in the buffer belong to the segment; look on from pos_.
    while (pos_ < end_) {
      if (data_[pos_] == 0xFF) {
        int64_t q = pos_ + 1;
        while (q < end_ && data_[q] == 0xFF) ++q;
        if (q >= end_) break;
        if (data_[q] != 0x00) {
          marker_ = data_[q];
          pos_ = q;
          break;
        }
        pos_ = q + 1;
      } else {
        ++pos_;
      }
    }
    if (pos_ >= end_) marker_ = -1;
  } else {
    // Fill stopped at the 0xFF of the marker (or at the end).
    while (pos_ < end_ && data_[pos_] == 0xFF) ++pos_;
  }
  const int marker = marker_;
  if (marker >= 0 && pos_ < end_) ++pos_;  // past the marker's code
  StartBits();
  return marker;
}
