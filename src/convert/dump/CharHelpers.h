// Character helpers shared by the converters: the Shift-JIS lead-byte test of the
// display text (FoldLatin1Char, the Latin-1 fold, is a member of CQelDoc).
#pragma once

// 1 for a Shift-JIS lead byte: 80-9F, E0-EF and FA-FC; else 0.
constexpr int IsSjisLeadByte(unsigned char c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC) ? 1 : 0;
}
