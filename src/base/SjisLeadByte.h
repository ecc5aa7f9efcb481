// The lead-byte test of CP932 (Shift-JIS), the text inside the program: the byte
// reading of the display writer needs it below the code page's conversions.
#pragma once

#include <cstdint>

// True for a byte that starts a double-byte CP932 character: 81-9F and E0-FC (the
// display text's own test, IsLeadByte80To9FE0ToEFFAToFC, differs).
constexpr bool IsSjisLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
