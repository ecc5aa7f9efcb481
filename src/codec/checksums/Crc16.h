// CRC-16/ARC (reflected 0xA001, initial 0): the data check of LZH archives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codec {

class CCrc16 {
 public:
  void Init() { value_ = 0; }
  void Update(const uint8_t* data, size_t n);
  uint16_t Value() const { return value_; }

 private:
  uint16_t value_ = 0;
};

}  // namespace codec
