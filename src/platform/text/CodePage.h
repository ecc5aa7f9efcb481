// CP932 (Shift-JIS) conversions: the system's code page. Text inside the program is
// CP932; UTF-16 comes from Office and PDF files, UTF-8 from the terminal and the
// file system. The tables are glibc iconv's "CP932", read at build time (Cp932Tables.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/SjisLeadByte.h"

namespace plat {

// UTF-16 to CP932 in the manner of the system code-page conversion:
// srcLen < 0 converts up to and including the terminating 0 (which is counted);
// otherwise exactly srcLen units and no terminator. An unmappable character,
// a surrogate pair or a lone surrogate gives one '?'. dstCap 0 returns the size
// needed without writing; a destination too small returns 0.
int WideToCp932(const char16_t* src, int srcLen, char* dst, int dstCap);

// One UTF-8 character (first byte b0 >= 0xC0, the next two bytes b1 and b2) to CP932
// in out[0..1], out[1] 0 for a one-byte result: returns the bytes taken after b0 (1, 2,
// or 3 for a four-byte sequence, which becomes one '?'), or 0 for a malformed,
// overlong or surrogate form, so that no "/" or "." can hide in a longer form.
int Utf8CharToCp932(uint8_t b0, uint8_t b1, uint8_t b2, char out[2]);

// A name stored as UTF-8 (an archive member's) in CP932. A byte that starts no UTF-8
// character becomes '?', so no stray byte passes on as part of a name; with
// keepSjisPairs, a valid Shift-JIS pair there (a name only guessed to be UTF-8) stays
// as it is. With sjisFixed (the reader fixed to Shift-JIS) nothing is converted.
// *exact is set to false when a '?' stands for something (a character CP932 cannot
// express, a stray byte).
std::string Utf8NameToCp932(std::string_view name, bool keepSjisPairs, bool sjisFixed, bool* exact = nullptr);

// One UTF-16 unit to CP932: returns 1 or 2 bytes written into out[0..1] ('?' when unmappable).
int WideCharToCp932(char16_t ch, char out[2]);

// CP932 to UTF-16 code units; a malformed byte becomes U+FFFD.
std::u16string Cp932ToWide(std::string_view text);

// CP932 to UTF-8 for the terminal; malformed bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view text);

// The same into out, which holds at least 3 * text.size() bytes (no character
// takes more); returns the bytes written. ASCII runs are copied as they are.
size_t Cp932ToUtf8Into(std::string_view text, char* out);

// UTF-8 to CP932, exact: nullopt when the text is not valid UTF-8 or holds a
// character that CP932 cannot express (used for names, which must not change).
std::optional<std::string> Utf8ToCp932(std::string_view text);

// UTF-8 to CP932 with '?' for what cannot be expressed.
std::string Utf8ToCp932Lossy(std::string_view text);

// Whether the text is well-formed UTF-8 (ASCII is).
bool IsUtf8(std::string_view text);

// The Unicode character of one CP932 code (a single byte, or lead*256+trail);
// 0xFFFF when the code is not assigned.
char16_t Cp932CodeToUnicode(uint16_t code);

// The CP932 code (single byte, or lead*256+trail) of a BMP character; 0 when unmappable.
uint16_t UnicodeToCp932Code(char16_t ch);

// JIS X 0208 row/cell code (0x2121..0x7E7E) to the Shift-JIS code; 0 when either
// byte lies outside 0x21..0x7E.
unsigned JisToSjis(unsigned jis);

// The name with ASCII capitals made small, as Windows compares file names; a
// double-byte character is kept whole (its trail byte may look like a letter).
std::string FoldNameCase(std::string_view name);

}  // namespace plat
