// A window on an archive for the member listings: the bytes at a file offset, taken
// from the data the dump already holds when they lie inside it, else read from the
// file. The bytes are read through a cursor over the window: past its end a read
// gives 0, so a header cut by the end of the file reads as zeros, never outside.
#pragma once

#include <cstdint>
#include <vector>

#include "base/ByteCursor.h"
#include "platform/os/Files.h"

class ListingWindow {
 public:
  ListingWindow(plat::File& file, const uint8_t* held, int64_t heldLen, int64_t fileLength)
      : file_(file), held_(held), heldLen_(heldLen), fileLength_(fileLength) {}

  // Makes the window the bytes from offset on, at most size of them (none outside
  // the file, or when the file cannot be read there); a cursor over them.
  ByteCursor Load(int64_t offset, int64_t size);
  int64_t FileLength() const { return fileLength_; }

 private:
  plat::File& file_;
  const uint8_t* held_;
  int64_t heldLen_;
  int64_t fileLength_;
  std::vector<uint8_t> buffer_;
};
