// The run of ordinary 16-bit characters in Word text: pairs (low byte first) that the
// Word road takes into a line as they stand, with no mark, substitution or zero pair.
#pragma once

#include <cstdint>

// The end of the run of ordinary pairs at bytes[pos], stepping two bytes at a time
// while the pair's place is before limit: a pair stops the run when its high byte is
// 0 and its low byte is a control byte, a byte from 0x80, or followed by a pair whose
// low byte is 0 (or by the end of the size bytes); when its high byte is 0x20 or 0xF0;
// or when it is 0x10 0x10. The caller keeps limit <= size - 1.
int64_t OrdinaryPairsEnd(const uint8_t* bytes, int64_t pos, int64_t limit, int64_t size);
