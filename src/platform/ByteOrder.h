// Little-endian integers in byte buffers, as ZIP, LZH, WAV and the other formats
// store them. Reads take a pointer the caller has bounds-checked.
#pragma once

#include <cstdint>
#include <vector>

namespace plat {

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t ReadLE32(const uint8_t* p) { return ReadLE16(p) | static_cast<uint32_t>(ReadLE16(p + 2)) << 16; }
inline uint64_t ReadLE64(const uint8_t* p) { return ReadLE32(p) | static_cast<uint64_t>(ReadLE32(p + 4)) << 32; }

inline void AppendLE16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendLE32(std::vector<uint8_t>& out, uint32_t v) {
  AppendLE16(out, v & 0xFFFF);
  AppendLE16(out, v >> 16);
}

}  // namespace plat
