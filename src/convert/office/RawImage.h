// Bounded access to the raw buffer of the binary Office roads (the stream or file
// image in CQelDoc::m_pRawData): reads outside the buffer give 0 and writes outside
// it are dropped, so the walks can follow positions taken from the file as they are.
#pragma once

#include <cstdint>

#include "app/QelDoc.h"

class RawImage {
 public:
  RawImage(uint8_t* data, int64_t size) : data_(data), size_(data ? size : 0) {}
  static RawImage Of(CQelDoc& doc) { return RawImage(doc.m_pRawData, static_cast<int64_t>(doc.m_rawStore.size())); }

  int64_t Size() const { return size_; }
  bool Inside(int64_t i) const { return i >= 0 && i < size_; }
  uint8_t At(int64_t i) const { return Inside(i) ? data_[i] : 0; }
  int8_t Signed(int64_t i) const { return static_cast<int8_t>(At(i)); }
  uint16_t U16(int64_t i) const { return static_cast<uint16_t>(At(i) | At(i + 1) << 8); }
  uint32_t U24(int64_t i) const { return At(i) | static_cast<uint32_t>(At(i + 1)) << 8 | static_cast<uint32_t>(At(i + 2)) << 16; }
  uint32_t U32(int64_t i) const { return U24(i) | static_cast<uint32_t>(At(i + 3)) << 24; }
  void Set(int64_t i, uint8_t v) {
    if (Inside(i)) data_[i] = v;
  }
  const uint8_t* Data() const { return data_; }

 private:
  uint8_t* data_;
  int64_t size_;
};
