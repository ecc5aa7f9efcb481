#include "image/jpeg/JOutBitStream.h"

#include <algorithm>
#include <climits>

#include "base/CheckedSize.h"

JOutBitStream::JOutBitStream(int64_t nSize, plat::AllocHook* hook) : mHook(hook) {
  if (nSize < 1 || !CheckedSize(nSize, 1, 0, INT_MAX) || !TryAllocate(mBuf, nSize, 1, 0, mHook))
    throw JMemoryError(nSize, "JOutBitStream");
}

void JOutBitStream::FlushBits() {
  if (mBits > 0) SetBits(0xFF, 8 - mBits);
}

void JOutBitStream::Grow(const char* what) {
  const int64_t size = static_cast<int64_t>(mBuf.size());
  if (size >= INT_MAX) throw JBufferError(what);
  const int64_t grown = std::min<int64_t>(INT_MAX, size * 2);
  if (!TryAllocate(mBuf, grown, 1, 0, mHook)) throw JMemoryError(grown, "JOutBitStream");
}
