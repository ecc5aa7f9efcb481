// The lead-byte tests of CP932 (Shift-JIS), the text inside the program: the code
// page's own, which the display writer's byte reading needs below the conversions,
// and the display text's, which the panes and the CSV table walk characters by.
#pragma once

#include <cstdint>

// True for a byte that starts a double-byte CP932 character: 81-9F and E0-FC (the
// display text's own test, IsLeadByte80To9FE0ToEFFAToFC, differs).
constexpr bool IsSjisLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// 1 for a byte the display text takes as the lead of a double-byte character:
// 80-9F, E0-EF and FA-FC. Unlike the code page's test it counts 80 and leaves out the
// user-defined leads F0-F9.
constexpr int IsLeadByte80To9FE0ToEFFAToFC(unsigned char c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC) ? 1 : 0;
}

// The double-byte state after one byte of display text: state 0 and a lead byte give
// 1; any byte in state 1 gives 0.
constexpr int StepSjisLeadState(int state, unsigned char byte) { return state != 0 ? 0 : IsLeadByte80To9FE0ToEFFAToFC(byte); }
