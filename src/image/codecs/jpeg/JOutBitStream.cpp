#include "image/codecs/jpeg/JOutBitStream.h"

#include <algorithm>
#include <climits>

#include "base/CheckedSize.h"

JOutBitStream::JOutBitStream(int64_t nSize, AllocHook* hook) : hook_(hook) {
  if (nSize < 1 || !CheckedSize(nSize, 1, 0, INT_MAX) || !TryAllocate(buf_, nSize, 1, 0, hook_))
    throw JMemoryError(nSize, "JOutBitStream");
}

void JOutBitStream::FlushBits() {
  int pending = 64 - free_;
  for (; pending >= 8; pending -= 8) PutStuffed(static_cast<uint8_t>(acc_ >> (pending - 8)));
  if (pending > 0) PutStuffed(static_cast<uint8_t>((acc_ << (8 - pending)) | ((1u << (8 - pending)) - 1)));
  acc_ = 0;
  free_ = 64;
}

void JOutBitStream::Grow(const char* what) {
  const int64_t size = static_cast<int64_t>(buf_.size());
  if (size >= INT_MAX) throw JBufferError(what);
  const int64_t grown = std::min<int64_t>(INT_MAX, size * 2);
  if (!TryAllocate(buf_, grown, 1, 0, hook_)) throw JMemoryError(grown, "JOutBitStream");
}
