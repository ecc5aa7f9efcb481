#include "platform/text/CodePage.h"

#include <bit>
#include <cstring>

#include "platform/text/Cp932Tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat {
namespace {

constexpr char16_t kUnassigned = 0xFFFF;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes one UTF-8 sequence at text[i]; returns the code point and advances i, or
// returns -1 (and advances past the bad byte) for a malformed or overlong sequence.
int32_t NextUtf8(std::string_view text, size_t& i) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 && b0 < 0xF0 ? 3 : b0 >= 0xC2 && b0 < 0xE0 ? 2 : 0;
  if (len == 0 || i + len > text.size()) {
    ++i;
    return -1;
  }
  uint32_t cp = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = cp << 6 | (b & 0x3F);
  }
  static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += len;
  return static_cast<int32_t>(cp);
}

}  // namespace

char16_t Cp932CodeToUnicode(uint16_t code) { return cp932::kDecode[code]; }

uint16_t UnicodeToCp932Code(char16_t ch) { return cp932::kEncode[ch]; }

int WideCharToCp932(char16_t ch, char out[2]) {
  uint16_t code = ch == 0 ? 0 : cp932::kEncode[ch];
  if (code == 0 && ch != 0) {
    out[0] = '?';
    return 1;
  }
  if (code < 0x100) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  out[0] = static_cast<char>(code >> 8);
  out[1] = static_cast<char>(code & 0xFF);
  return 2;
}

namespace {

// WideToCp932 for a counted source into a buffer: the same bytes, with the
// count and room known, so the per-character path is a look-up and a store.
int WideToCp932Counted(const char16_t* src, int srcLen, char* dst, int dstCap) {
  const auto& encode = cp932::kEncode;
  const bool asciiKept = cp932::kAsciiKept;
  int written = 0;
  for (int i = 0; i < srcLen; ++i) {
    // Four ASCII units (none NUL) at a time, where ASCII encodes as itself.
    uint64_t units;
    if (asciiKept && i + 4 <= srcLen && written + 4 <= dstCap && (std::memcpy(&units, src + i, 8), true) &&
        (units & 0xFF80FF80FF80FF80ULL) == 0 && ((units - 0x0001000100010001ULL) & ~units & 0x8000800080008000ULL) == 0) {
      for (int k = 0; k < 4; ++k) dst[written + k] = static_cast<char>(src[i + k]);
      written += 4;
      i += 3;
      continue;
    }
    const char16_t ch = src[i];
    uint16_t code;
    if (ch < 0xD800 || ch > 0xDFFF) {
      code = encode[ch];  // 0 for U+0000 too
      if (code == 0 && ch != 0) code = '?';
    } else {
      // A surrogate pair, or a lone surrogate, is one '?'.
      if (IsHighSurrogate(ch) && i + 1 < srcLen && IsLowSurrogate(src[i + 1])) ++i;
      code = '?';
    }
    if (code < 0x100) {
      if (written >= dstCap) return 0;
      dst[written++] = static_cast<char>(code);
    } else {
      if (written + 2 > dstCap) return 0;
      dst[written] = static_cast<char>(code >> 8);
      dst[written + 1] = static_cast<char>(code & 0xFF);
      written += 2;
    }
  }
  return written;
}

// The code of the unit at src[i] ('?' for an unmappable one, a surrogate pair or
// a lone surrogate), moving i past a pair's first half.
uint16_t CodeAt(const char16_t* src, int srcLen, int& i) {
  const char16_t ch = src[i];
  if (static_cast<char16_t>(ch - 0xD800) >= 0x800) [[likely]] {
    const uint16_t code = cp932::kEncode[ch];  // 0 for U+0000 too
    return code == 0 && ch != 0 ? uint16_t{'?'} : code;
  }
  if (IsHighSurrogate(ch) && i + 1 < srcLen && IsLowSurrogate(src[i + 1])) ++i;
  return '?';
}

// WideToCp932 with room for two bytes a unit, so that no character needs a room
// check: each stores both bytes of its code and moves on by one or two, the next
// character overwriting a one-byte code's spare. The last two units go one byte at
// a time (a surrogate pair there would be the last character), so nothing is
// written past the result.
int WideToCp932Roomy(const char16_t* src, int srcLen, char* dst) {
  char* out = dst;
  const bool asciiKept = cp932::kAsciiKept;
  int i = 0;
  for (; i < srcLen - 2; ++i) {
#if defined(__SSE2__)
    // Eight units at a time, their bytes stored whole and the place moved past the
    // ASCII ones only; sixteen units or more follow, so their bytes cover any spare.
    if (asciiKept && i + 24 <= srcLen) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_setzero_si128()), _mm_cmplt_epi16(units, _mm_set1_epi16(0x80)));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
      const int run = std::countr_one(static_cast<unsigned>(_mm_movemask_epi8(ascii))) / 2;
      out += run;
      i += run;
      if (run == 8) {
        --i;
        continue;
      }
    }
#endif
    auto ascii = [asciiKept](char16_t ch) { return asciiKept && static_cast<char16_t>(ch - 1) < 0x7F; };
    if (ascii(src[i])) {
      *out++ = static_cast<char>(src[i]);
      continue;
    }
    // The other characters one by one until ASCII comes back.
    for (;;) {
      const uint16_t code = CodeAt(src, srcLen, i);
      const bool two = code >= 0x100;
      out[0] = static_cast<char>(two ? code >> 8 : code);
      out[1] = static_cast<char>(code & 0xFF);
      out += two ? 2 : 1;
      if (i + 1 >= srcLen - 2 || ascii(src[i + 1])) break;
      ++i;
    }
  }
  for (; i < srcLen; ++i) {
    const uint16_t code = CodeAt(src, srcLen, i);
    if (code >= 0x100) *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
  }
  return static_cast<int>(out - dst);
}

}  // namespace

int WideToCp932(const char16_t* src, int srcLen, char* dst, int dstCap) {
  if (srcLen >= 0 && dstCap > 0 && static_cast<int64_t>(dstCap) >= 2 * static_cast<int64_t>(srcLen)) {
    return WideToCp932Roomy(src, srcLen, dst);
  }
  if (srcLen >= 0 && dstCap > 0) return WideToCp932Counted(src, srcLen, dst, dstCap);
  const bool untilNul = srcLen < 0;
  int written = 0;
  for (int i = 0; untilNul || i < srcLen; ++i) {
    const char16_t ch = src[i];
    uint16_t code;
    if (ch < 0xD800 || ch > 0xDFFF) {
      code = ch == 0 ? 0 : cp932::kEncode[ch];
      if (code == 0 && ch != 0) code = '?';
    } else {
      // A surrogate pair, or a lone surrogate, is one '?'.
      if (IsHighSurrogate(ch) && (untilNul || i + 1 < srcLen) && IsLowSurrogate(src[i + 1])) ++i;
      code = '?';
    }
    const int n = code < 0x100 ? 1 : 2;
    if (dstCap > 0) {
      if (written + n > dstCap) return 0;
      if (n == 1) {
        dst[written] = static_cast<char>(code);
      } else {
        dst[written] = static_cast<char>(code >> 8);
        dst[written + 1] = static_cast<char>(code & 0xFF);
      }
    }
    written += n;
    if (untilNul && ch == 0) break;
  }
  return written;
}

namespace {

// The character at text[i], moving i past it: a lead byte with a byte after it
// reads the pair, and takes the second byte only when the pair is assigned; 0xFFFD
// for an unassigned code.
char16_t DecodeAt(std::string_view text, size_t& i) {
  const auto& decode = cp932::kDecode;
  const auto b = static_cast<uint8_t>(text[i++]);
  char16_t ch = decode[b];
  if (IsSjisLeadByte(b) && i < text.size()) {
    ch = decode[b << 8 | static_cast<uint8_t>(text[i])];
    if (ch != kUnassigned) ++i;
  }
  return ch == kUnassigned ? u'\uFFFD' : ch;
}

// Writes one BMP character as UTF-8 at dst; returns the end.
char* PutUtf8(char* dst, char16_t ch) {
  if (ch < 0x80) {
    *dst++ = static_cast<char>(ch);
  } else if (ch < 0x800) {
    *dst++ = static_cast<char>(0xC0 | ch >> 6);
    *dst++ = static_cast<char>(0x80 | (ch & 0x3F));
  } else {
    *dst++ = static_cast<char>(0xE0 | ch >> 12);
    *dst++ = static_cast<char>(0x80 | (ch >> 6 & 0x3F));
    *dst++ = static_cast<char>(0x80 | (ch & 0x3F));
  }
  return dst;
}

}  // namespace

std::u16string Cp932ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) out += DecodeAt(text, i);
  return out;
}

size_t Cp932ToUtf8Into(std::string_view text, char* out) {
  char* dst = out;
  const char* const src = text.data();
  const size_t n = text.size();
  const auto& decode = cp932::kDecode;
  for (size_t i = 0; i < n;) {
#if defined(__SSE2__)
    // Sixteen bytes at a time the same way (sixteen bytes of input leave room for
    // sixteen of output), then a double-byte character of three UTF-8 bytes at once.
    if (i + 16 <= n) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), bytes);
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
      const size_t ascii = high == 0 ? 16 : static_cast<size_t>(std::countr_zero(high));
      dst += ascii;
      i += ascii;
      if (ascii == 16) continue;
      const auto lead = static_cast<uint8_t>(src[i]);
      if (IsSjisLeadByte(lead) && i + 1 < n) {
        const char16_t ch = decode[lead << 8 | static_cast<uint8_t>(src[i + 1])];
        if (ch >= 0x800 && ch != kUnassigned) {
          dst[0] = static_cast<char>(0xE0 | ch >> 12);
          dst[1] = static_cast<char>(0x80 | (ch >> 6 & 0x3F));
          dst[2] = static_cast<char>(0x80 | (ch & 0x3F));
          dst += 3;
          i += 2;
          continue;
        }
      }
      dst = PutUtf8(dst, DecodeAt(text, i));
      continue;
    }
#endif
    // ASCII is copied as it is, eight bytes at a time where it can: a word is stored
    // whole (out has room for it: three bytes a byte) and the position moves past its
    // ASCII bytes only.
    uint64_t word;
    if (i + 8 <= n) {
      std::memcpy(&word, src + i, 8);
      std::memcpy(dst, &word, 8);
      const uint64_t high = word & 0x8080808080808080ULL;
      const size_t ascii = high == 0 ? 8 : static_cast<size_t>(std::countr_zero(high)) / 8;
      dst += ascii;
      i += ascii;
      if (ascii == 8) continue;
      dst = PutUtf8(dst, DecodeAt(text, i));
    } else if (static_cast<uint8_t>(src[i]) < 0x80) {
      *dst++ = src[i++];
    } else {
      dst = PutUtf8(dst, DecodeAt(text, i));
    }
  }
  return static_cast<size_t>(dst - out);
}

std::string Cp932ToUtf8(std::string_view text) {
  // A byte gives at most three bytes of UTF-8 (a single byte may become U+FFFD or a
  // half-width kana); the room is taken first and the rest given back.
  std::string out(3 * text.size(), '\0');
  out.resize(Cp932ToUtf8Into(text, out.data()));
  return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto& encode = cp932::kEncode;
  for (size_t i = 0; i < text.size();) {
    int32_t cp = NextUtf8(text, i);
    if (cp < 0 || cp > 0xFFFF) return std::nullopt;
    uint16_t code = cp == 0 ? 0 : encode[cp];
    if (code == 0 && cp != 0) return std::nullopt;
    // A name must come back unchanged: refuse one-way (best-fit) mappings.
    if (cp932::kDecode[code] != cp) return std::nullopt;
    if (code >= 0x100) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (NextUtf8(text, i) < 0) return false;
  }
  return true;
}

std::string Utf8ToCp932Lossy(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto& encode = cp932::kEncode;
  for (size_t i = 0; i < text.size();) {
    int32_t cp = NextUtf8(text, i);
    uint16_t code = cp > 0 && cp <= 0xFFFF ? encode[cp] : 0;
    if (cp == 0) {
      out += '\0';
    } else if (code == 0) {
      out += '?';
    } else {
      if (code >= 0x100) out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
    }
  }
  return out;
}

unsigned JisToSjis(unsigned jis) {
  unsigned c1 = jis >> 8;
  unsigned c2 = jis & 0xFF;
  if (c1 < 0x21 || c1 > 0x7E || c2 < 0x21 || c2 > 0x7E) return 0;
  if (c1 & 1) {
    c2 += 0x1F;
    if (c2 >= 0x7F) ++c2;
  } else {
    c2 += 0x7E;
  }
  c1 = ((c1 - 0x21) >> 1) + 0x81;
  if (c1 > 0x9F) c1 += 0x40;
  return c1 << 8 | c2;
}

std::string FoldNameCase(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<uint8_t>(out[i]);
    if (IsSjisLeadByte(b)) {
      ++i;
    } else if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + 32);
    }
  }
  return out;
}

}  // namespace plat
