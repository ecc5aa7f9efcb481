#include "codec/checksums/Crc16.h"

#include <array>

namespace codec {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xA001u ^ (c >> 1) : c >> 1;
    t[i] = static_cast<uint16_t>(c);
  }
  return t;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

void CCrc16::Update(const uint8_t* p, size_t n) {
  uint16_t c = value_;
  while (n--) c = static_cast<uint16_t>(kTable[(c ^ *p++) & 0xFF] ^ (c >> 8));
  value_ = c;
}

}  // namespace codec
