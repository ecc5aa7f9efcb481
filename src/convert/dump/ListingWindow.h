// A window on an archive for the member listings: the bytes at a file offset, taken
// from the data the dump already holds when they lie inside it, else read from the
// file. Reads of the window are bounded by the bytes it holds; past them it gives 0.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Files.h"

class ListingWindow {
 public:
  ListingWindow(plat::File& file, const uint8_t* held, int64_t heldLen, int64_t fileLength)
      : file_(file), held_(held), heldLen_(heldLen), fileLength_(fileLength) {}

  // Makes the window the bytes from offset on, at most size of them; returns how many.
  int64_t Load(int64_t offset, int64_t size);

  int64_t Offset() const { return offset_; }
  int64_t Size() const { return len_; }
  int64_t FileLength() const { return fileLength_; }
  const uint8_t* Data() const { return data_; }
  uint8_t At(int64_t i) const { return i >= 0 && i < len_ ? data_[i] : 0; }
  uint32_t U16(int64_t i) const { return At(i) | At(i + 1) << 8; }
  uint32_t U32(int64_t i) const { return U16(i) | U16(i + 2) << 16; }
  uint64_t U64(int64_t i) const { return U32(i) | static_cast<uint64_t>(U32(i + 4)) << 32; }

 private:
  plat::File& file_;
  const uint8_t* held_;
  int64_t heldLen_;
  int64_t fileLength_;
  std::vector<uint8_t> buffer_;
  const uint8_t* data_ = nullptr;
  int64_t offset_ = 0;
  int64_t len_ = 0;
};
