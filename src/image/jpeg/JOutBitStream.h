// The encoder's byte and bit writer. Bits fill bytes from the most significant end
// and a completed 0xFF byte is followed by a stuffed 0x00. The buffer starts at the
// size asked for and grows as needed (through the allocation hook), up to what an
// int can count; past that a write throws JBufferError.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/jpeg/JErrors.h"
#include "platform/Alloc.h"

class JOutBitStream {
 public:
  // JMemoryError "JOutBitStream" when nSize is below 1 or cannot be had.
  JOutBitStream(int64_t nSize, plat::AllocHook* hook);

  // Appends the low n bits of value (n up to 16), most significant first.
  void SetBits(uint32_t value, int n) {
    if (n > 16) throw JBufferError("SetBits:Max Bit Over");
    if (n <= 0) return;
    mAcc = (mAcc << n) | (value & ((1u << n) - 1));
    mBits += n;
    while (mBits >= 8) {
      mBits -= 8;
      const uint8_t b = static_cast<uint8_t>(mAcc >> mBits);
      Put(b, "SetBits");
      if (b == 0xFF) Put(0, "SetBits");
    }
  }
  // Completes a partly written byte with 1 bits.
  void FlushBits();
  void SetByte(int v) {
    FlushBits();
    Put(static_cast<uint8_t>(v), "SetByte");
  }
  void SetWord(int v) {
    FlushBits();
    Put(static_cast<uint8_t>(v >> 8), "SetWord");
    Put(static_cast<uint8_t>(v), "SetWord");
  }
  void CopyByte(const uint8_t* p, int64_t n) {
    FlushBits();
    for (int64_t i = 0; i < n; ++i) Put(p[i], "CopyByte");
  }
  std::span<const uint8_t> Written() const { return {mBuf.data(), static_cast<size_t>(mPos)}; }

 private:
  void Put(uint8_t b, const char* what) {
    if (mPos == static_cast<int64_t>(mBuf.size())) Grow(what);
    mBuf[static_cast<size_t>(mPos++)] = b;
  }
  void Grow(const char* what);

  plat::AllocHook* mHook;
  std::vector<uint8_t> mBuf;
  int64_t mPos = 0;
  uint32_t mAcc = 0;
  int mBits = 0;  // bits in mAcc not yet written
};
