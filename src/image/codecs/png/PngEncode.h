// The PNG writer: a DIB of 1, 4, 8 or 24 bits as a PNG file. Rows go top first with
// filter 0: 24-bit pixels as R, G, B, smaller depths as their packed bytes with a
// PLTE of 2, 16 or 256 entries. The rows are streamed: each is deflated by the own
// codec as it is made and the compressed bytes go out in IDAT chunks as they come,
// so no copy of the picture is held.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "image/codecs/Dib.h"
#include "image/codecs/PictureContext.h"

class PngEncoder {
 public:
  // Takes the DIB (held, not copied, until Write ends) and the buffer of one row;
  // false when the DIB cannot be a PNG or the buffer is refused (told to the context
  // with place " 624").
  bool Begin(const uint8_t* bits, const BITMAPINFO* info, const PictureContext& cx);
  // Writes the whole file through out, which returns 0 or the errno of a failed write;
  // after the first failure nothing more is written. Returns 0 or that errno.
  int Write(const std::function<int(std::span<const uint8_t>)>& out);
  // The file's bytes handed out.
  uint64_t Written() const { return written_; }

 private:
  const uint8_t* bits_ = nullptr;
  const BITMAPINFO* info_ = nullptr;
  std::vector<uint8_t> row_;
  uint64_t written_ = 0;
};
