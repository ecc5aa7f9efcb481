// Small fixed maps into Shift-JIS: PDF single-byte text (PDFDoc, Windows and Mac
// Roman bytes) and Unicode characters that the code page cannot express.
#pragma once

// Replaces *byte by its display byte and sets *prefix: a space for none, '(' for a
// parenthesised sign ((R), (C), (T)M), 0x0E for an "ff" ligature, or a byte that is
// written before it (0x81 for the double-byte section sign, 'f' for fi, fl, ff).
int MapPdfDocChar(unsigned char* byte, unsigned char* prefix);

// A replacement for a code point that the code page turned into '?': writes one or
// two bytes to *first, *second and returns how many.
int MapUnicodeToSjis(int codePoint, unsigned char* first, unsigned char* second);
