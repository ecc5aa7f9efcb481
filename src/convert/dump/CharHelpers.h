// Character helpers shared by the converters: the lead-byte test of the display
// text (FoldLatin1Char, the Latin-1 fold, is a member of CQelDoc).
#pragma once

// 1 for a byte the display text takes as the lead of a double-byte character:
// 80-9F, E0-EF and FA-FC. Unlike the code page's test (IsSjisLeadByte,
// 81-9F and E0-FC) it counts 80 and leaves out the user-defined leads F0-F9.
constexpr int IsLeadByte80To9FE0ToEFFAToFC(unsigned char c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC) ? 1 : 0;
}
