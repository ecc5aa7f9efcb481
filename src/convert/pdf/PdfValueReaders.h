// The small readers of PDF values on raw bytes: fixed-point
// numbers (hundredths, or ten-thousandths where asked), the operands before an
// operator, ASCII85 data and resource names turned into numeric resource codes.
// None allocates; every read is bounded by the byte view.
#pragma once

#include <array>
#include <cstdint>

#include "convert/pdf/PdfScan.h"

// A number in hundredths by the short rule (three integer digits with two decimals,
// four without, a fifth multiplies by ten).
int ParsePdfNumberShort(const ByteCursor& b, int64_t pos);

// The scale of the fixed-point numbers: ten-thousandths where asked, else hundredths.
enum PdfNumberMode : int { kPdfHundredths = 0, kPdfTenThousandths = 1 };
// The mode of PdfReadValue: the name at the position, or after a slash within 10 bytes.
enum PdfValueMode : int { kPdfNameAt = 0, kPdfNameAfterSlash = 1 };

// A decimal number as fixed point by mode (PdfNumberMode). The position ends on the
// first byte that is neither digit nor point.
int64_t ParsePdfNumber(const ByteCursor& b, int64_t* pos, int mode);

// A hex string "<...>" whose '<' stands within the 10 bytes from *pos: the value of
// its first four digits (one digit counts as its high half). A two-digit string sets
// *oneByte (when given) to 1 and leaves the position after '>'; a longer one leaves
// it five bytes after the first digit (after '>' at most). -1, with the position
// unchanged, when no '<' comes first, when the string is empty or holds a foreign
// byte. The search for '<' passes over the rest of a longer string but stops at a
// bracket or a letter that is no hex digit, so a list of strings ends at the
// keyword or bracket that closes it.
int ParsePdfHexString(const ByteCursor& b, int64_t* pos, int* oneByte);

// The operands before an operator, pos being the byte before it: the run of digits,
// signs, points and blanks before pos is found backward (digits that belong to a
// name such as /F1 are passed over), then up to 10 numbers are read forward into out
// (the first two in ten-thousandths when mode is kPdfTenThousandths, the rest in hundredths); the
// elements not read are 0. Returns the byte after a tenth number, else 0.
int PdfReadNumberBackward(const ByteCursor& b, int64_t pos, std::array<int64_t, 10>& out, int mode);

// ASCII85 from in[0..length) into out (at most capacity bytes); "~>" ends the data.
// Returns the decoded length, or 0 when more than half the bytes are foreign.
int DecodeAscii85(const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity);

// Learned name prefixes: up to 8 of up to 4 characters.
using PdfPrefixes = std::array<char, 100>;

// A resource name as its resource code (0 when the name is not one). *kind: in the
// caller's selector (3 in font dictionaries), out the name's kind; mode: PdfValueMode. The position ends after the number.
int PdfReadValue(const ByteCursor& b, int64_t* pos, int* kind, int mode, PdfPrefixes& prefixes);
