// Little-endian integers appended to byte buffers, as ZIP and the other formats
// store them. Reading them back goes through ByteCursor (base/ByteCursor.h).
#pragma once

#include <cstdint>
#include <vector>

inline void AppendLE16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendLE32(std::vector<uint8_t>& out, uint32_t v) {
  AppendLE16(out, v & 0xFFFF);
  AppendLE16(out, v >> 16);
}

