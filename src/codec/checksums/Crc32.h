// CRC-32 of ISO 3309 / ITU-T V.42 (reflected 0xEDB88320), computed eight bytes at a
// time with tables built once at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codec {

// Continues a CRC kept in its running (not complemented) form; start with 0xFFFFFFFF.
uint32_t Crc32Update(uint32_t running, const uint8_t* data, size_t n);

class CCrc32 {
 public:
  void Update(const uint8_t* data, size_t n) { running_ = Crc32Update(running_, data, n); }
  uint32_t Value() const { return ~running_; }

 private:
  uint32_t running_ = 0xFFFFFFFFu;
};

}  // namespace codec
