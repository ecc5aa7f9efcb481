// Both directions of the CP932 table, made at build time from glibc iconv's "CP932"
// (tools/MakeCp932Tables.cpp) and kept read-only. kDecode is indexed by the code
// (single bytes below 0x100, double-byte codes lead*256+trail; 0xFFFF: unassigned),
// kEncode by the UTF-16 unit (0: unmappable; U+0000 itself maps to 0 too).
// kAsciiKept: every unit from 1 to 0x7F encodes as its own byte.
#pragma once

#include <cstdint>

namespace plat::cp932 {

extern const char16_t kDecode[65536];
extern const uint16_t kEncode[65536];
extern const bool kAsciiKept;

}  // namespace plat::cp932
