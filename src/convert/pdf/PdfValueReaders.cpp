// The PDF value readers: bounded, allocation-free scans of raw bytes.
#include "convert/pdf/PdfValueReaders.h"

#include <algorithm>

#include "base/AsciiCase.h"

namespace {

constexpr int64_t kNumberLimit = 2000000000;

}  // namespace

int ParsePdfNumberShort(const ByteCursor& b, int64_t pos) {
  int sign = 1;
  if (b.PeekU8(pos) == '-') {
    sign = -1;
    ++pos;
  }
  const uint8_t c0 = b.PeekU8(pos);
  if ((c0 == '1' || c0 == '0') && b.PeekU8(pos + 1) < 0x21) return sign * (c0 == '1' ? 100 : 0);
  if (c0 != '.' && !PdfIsDigit(c0)) return 0;
  int whole = 0, digits = 0;
  while (PdfIsDigit(b.PeekU8(pos)) && digits < 5) {
    if (digits == 4) return sign * whole * 1000;  // a fifth digit: ten times the four
    whole = whole * 10 + (b.PeekU8(pos) - '0');
    ++digits;
    ++pos;
  }
  if (digits == 4) return sign * whole * 100;
  int fraction = 0;
  if (b.PeekU8(pos) == '.') {
    ++pos;
    if (PdfIsDigit(b.PeekU8(pos))) fraction = (b.PeekU8(pos) - '0') * 10;
    if (PdfIsDigit(b.PeekU8(pos)) && PdfIsDigit(b.PeekU8(pos + 1))) fraction += b.PeekU8(pos + 1) - '0';
  }
  return sign * (whole * 100 + fraction);
}

int64_t ParsePdfNumber(const ByteCursor& b, int64_t* pos, int mode) {
  const int keep = mode == kPdfTenThousandths ? 4 : 2;
  int64_t p = *pos;
  const bool negative = b.PeekU8(p) == '-';
  if (negative) ++p;
  int64_t value = 0;
  int before = -1;  // digits before the point, -1 without a point
  int taken = 0, after = 0;
  bool rounded = false;
  while (true) {
    const uint8_t c = b.PeekU8(p);
    if (c == '.') {
      if (before >= 0) break;
      before = taken;
    } else if (PdfIsDigit(c)) {
      if (before < 0 || after < keep) {
        if (value < kNumberLimit) value = value * 10 + (c - '0');
        ++taken;
        if (before >= 0) ++after;
      } else if (!rounded) {
        if (c >= '5') ++value;
        rounded = true;
      }
    } else {
      break;
    }
    ++p;
  }
  static constexpr int64_t kScale[] = {1, 10, 100, 1000, 10000};
  value *= kScale[keep - std::min(after, keep)];
  value = std::min(value, kNumberLimit);
  *pos = p;
  return negative ? -value : value;
}

int DecodeAscii85(const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity) {
  int64_t n = 0, bad = 0;
  uint32_t group[5];
  int digits = 0;
  auto put = [&](uint8_t byte) {
    if (n < capacity) out[n++] = byte;
  };
  int64_t i = length >= 2 && in[0] == '<' && in[1] == '~' ? 2 : 0;  // the PostScript opening mark
  for (; i < length; ++i) {
    const uint8_t c = in[i];
    if (c == '~') break;  // "~>": the end of the data
    if (c == 'z' && digits == 0) {
      for (int k = 0; k < 4; ++k) put(0);
      continue;
    }
    if (c < '!' || c > 'u') {
      if (c >= 0x21) ++bad;
      continue;
    }
    group[digits++] = c - 33;
    if (digits == 5) {
      uint64_t v = 0;
      for (uint32_t d : group) v = v * 85 + d;
      for (int k = 3; k >= 0; --k) put(static_cast<uint8_t>(v >> (8 * k)));
      digits = 0;
    }
  }
  if (digits > 1) {
    uint64_t v = 0;
    for (int k = 0; k < 5; ++k) v = v * 85 + (k < digits ? group[k] : 84);
    for (int k = 0; k < digits - 1; ++k) put(static_cast<uint8_t>(v >> (8 * (3 - k))));
  }
  if (bad * 2 > length) return 0;
  return static_cast<int>(n);
}

namespace {


int NameIndex(uint8_t c) {
  if (PdfIsDigit(c)) return c - '0' + 1;
  if (c >= 'A' && c <= 'Z') return c - 54;
  return c - 61;
}

}  // namespace

int PdfReadValue(const ByteCursor& b, int64_t* pos, int* kind, int mode, PdfPrefixes& prefixes) {
  int64_t p = *pos;
  const int selector = *kind;
  while (p < b.Size() && b.PeekU8(p) < 0x21) ++p;
  if (mode == kPdfNameAfterSlash) {
    int64_t q = std::max<int64_t>(p - 1, 0);
    const int64_t end = q + 10;
    while (q < end && b.PeekU8(q) != '/' && b.PeekU8(q) != '>') ++q;
    if (b.PeekU8(q) != '/' || q >= end) return 0;
    p = q + 1;
  } else if (b.PeekU8(p) == '/') {
    ++p;
  }
  const uint8_t c0 = b.PeekU8(p), c1 = b.PeekU8(p + 1), c2 = b.PeekU8(p + 2);
  if (c0 < 0x21) return 0;
  // The prefix: the first character and the letters after it.
  int prefixLen = 1;
  while (prefixLen < 8 && b.PeekU8(p + prefixLen) >= 0x40 && b.PeekU8(p + prefixLen) <= 0x7B && b.PeekU8(p + prefixLen) != '_') ++prefixLen;
  const uint8_t after = b.PeekU8(p + prefixLen);
  if (!((PdfIsDigit(after) && prefixLen <= 5) || after == '_' || prefixLen <= 2)) return 0;
  const uint8_t l0 = AsciiLower(c0), l1 = AsciiLower(c1);
  if ((l0 == 'c' || l0 == 'g') && l1 == 's') return 0;

  int k = 0, skip = prefixLen, code = -1;
  if (l0 == 'i' && l1 == 'm' && (PdfIsDigit(c2) || AsciiLower(c2) == 'g' || AsciiLower(c2) == 'a')) {
    k = 1;
    skip = PdfIsDigit(c2) ? 2 : AsciiLower(c2) == 'g' ? 3 : 5;
  } else if (l0 == 'o' && l1 == 'b' && (PdfIsDigit(c2) || c2 == 'j') && selector != 3) {
    k = 1;
    skip = 2;
  } else if (l0 == 'p' && l1 == 'a' && AsciiLower(c2) == 'g' && selector != 3) {
    k = 1;
    skip = 3;
  } else if (c1 < 0x21 || c1 == '/') {
    k = 1;
    code = c0 + (c0 >= 'a' && c0 <= 'z' ? 7339 : c0 >= 'A' && c0 <= 'Z' ? 7346 : 7353);
    p += 1;
  } else if ((PdfIsDigit(c0) || IsAsciiLetter(c0)) && c1 >= 'a' && c1 <= 'z' && (c2 < 0x21 || c2 == '/')) {
    k = 1;
    code = NameIndex(c1) + 40 * NameIndex(c0) + 7490;
    p += 2;
  } else if (PdfIsDigit(c0) && PdfIsDigit(c1)) {
    k = 1;
    skip = 0;
  } else if (l0 == 'f' && l1 == 'm' && PdfIsDigit(c2)) {
    k = 2;
    skip = 2;
  } else if (l0 == 'f' && PdfIsDigit(c1)) {
    k = 3;
    skip = 1;
  } else if (l0 == 't' && l1 == 't') {
    k = 4;
    skip = 2;
  } else if (l0 == 'r' && PdfIsDigit(c1)) {
    k = 9;
    skip = 1;
  }
  if ((k == 1 || k == 2) && selector == 3) k = 9;
  if (k == 0) {
    int slot = -1;
    const int len = std::min(prefixLen, 4);
    for (int s = 0; s < 8 && slot < 0; ++s) {
      char* stored = &prefixes[static_cast<size_t>(s) * 4];
      if (stored[0] == 0) {
        for (int i = 0; i < 4; ++i) stored[i] = i < len ? static_cast<char>(b.PeekU8(p + i)) : 0;
        slot = s;
        break;
      }
      bool same = true;
      for (int i = 0; i < 4; ++i) same = same && static_cast<uint8_t>(stored[i]) == (i < len ? b.PeekU8(p + i) : 0);
      if (same) slot = s;
    }
    if (slot < 0) {
      *kind = 99;
      return 0;
    }
    k = 5 + slot;
  }
  *kind = k;
  if (code >= 0) {
    *pos = p;
    return code;
  }
  // The number: the digits after the prefix (underscores passed over), plus one.
  p += skip;
  while (p < b.Size() && !PdfIsDigit(b.PeekU8(p)) && b.PeekU8(p) > 0x20 && b.PeekU8(p) != '/' && p < *pos + 40) ++p;
  int64_t n = 0;
  while (PdfIsDigit(b.PeekU8(p)) || (b.PeekU8(p) == '_' && PdfIsDigit(b.PeekU8(p + 1)))) {
    if (PdfIsDigit(b.PeekU8(p)) && n < 100000000) n = n * 10 + (b.PeekU8(p) - '0');
    ++p;
  }
  *pos = p;
  if (b.PeekU8(p) == '+') return 0;
  if (n > 49152 && (k != 9 || mode == kPdfNameAfterSlash)) n %= 49152;
  n += 1;
  switch (k) {
    case 1: return n < 10000 ? static_cast<int>(n) : 0;
    case 2: return static_cast<int>(11000 + n);
    case 3: return static_cast<int>(12000 + n);
    case 4: return static_cast<int>(13000 + n);
    case 9: return static_cast<int>(std::min<int64_t>(10000 + n, INT32_MAX));
    default: return static_cast<int>(k == 9 ? 10000 + n : 9000 + k * 1000 + n);
  }
}

namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr int64_t kHexStringLimit = 512;  // bytes searched for a string's '>'
constexpr int64_t kOperandWindow = 256;   // bytes of operands before an operator

bool IsOperandByte(uint8_t c) { return PdfIsDigit(c) || c == '-' || c == '.'; }

}  // namespace

int ParsePdfHexString(const ByteCursor& b, int64_t* pos, int* oneByte) {
  const int64_t start = *pos;
  int64_t p = start;
  const int64_t look = std::min(start + 10, b.Size());
  while (p < look && b.PeekU8(p) != '<') {
    const uint8_t c = b.PeekU8(p);
    if (c == '[' || c == ']' || (HexValue(c) < 0 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))) return -1;
    ++p;
  }
  if (p >= look) return -1;
  const int64_t first = p + 1;
  const int64_t end = std::min(first + kHexStringLimit, b.Size());
  int value = 0, digits = 0;
  int64_t q = first;
  for (; q < end && b.PeekU8(q) != '>'; ++q) {
    const int h = HexValue(b.PeekU8(q));
    if (h < 0) {
      if (PdfIsBlank(b.PeekU8(q)) || b.PeekU8(q) == '\t') continue;
      return -1;
    }
    if (digits < 4) value = value * 16 + h;
    ++digits;
  }
  if (q >= end || digits == 0) return -1;
  if (digits == 1) value *= 16;
  if (digits <= 2) {
    if (oneByte) *oneByte = 1;
    *pos = q + 1;
  } else {
    *pos = std::min(first + 5, q + 1);
  }
  return value;
}

int PdfReadNumberBackward(const ByteCursor& b, int64_t pos, std::array<int64_t, 10>& out, int mode) {
  out.fill(0);
  pos = std::min(pos, b.Size() - 1);
  const int64_t floor = std::max<int64_t>(pos - kOperandWindow, 0);
  int64_t p = pos;
  while (p >= floor && (IsOperandByte(b.PeekU8(p)) || b.PeekU8(p) <= ' ')) --p;
  // p is on the byte before the operands (or before the window); the digits of a
  // name ending there are no operand.
  ++p;
  if (p > floor || (p == floor && floor > 0)) {
    while (p <= pos && PdfIsDigit(b.PeekU8(p))) ++p;
  }
  while (p <= pos && b.PeekU8(p) <= ' ') ++p;
  int n = 0;
  while (n < 10 && p <= pos && IsOperandByte(b.PeekU8(p))) {
    const int64_t at = p;
    out[static_cast<size_t>(n)] = ParsePdfNumber(b, &p, mode == kPdfTenThousandths && n < 2 ? kPdfTenThousandths : kPdfHundredths);
    ++n;
    if (p == at) ++p;  // a lone sign
    while (p <= pos && b.PeekU8(p) <= ' ') ++p;
  }
  return n == 10 && p <= pos + 1 ? b.PeekU8(p) : 0;
}
