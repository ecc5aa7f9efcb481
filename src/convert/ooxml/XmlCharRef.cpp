#include "convert/ooxml/XmlCharRef.h"

#include <cstdint>

#include "platform/text/CodePage.h"

namespace {
constexpr size_t kMaxDigits = 8;
}

size_t DecodeXmlCharRef(std::string_view text, size_t at, std::string& sjis) {
  if (text.compare(at, 2, "&#") != 0) return 0;
  size_t p = at + 2;
  const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
  if (hex) ++p;
  const size_t first = p;
  uint32_t cp = 0;
  for (; p < text.size() && p - first < kMaxDigits; ++p) {
    const char c = text[p];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
  }
  if (p == first || p >= text.size() || text[p] != ';') return 0;
  if (cp < 0x80) {
    sjis.push_back(static_cast<char>(cp));
  } else {
    const uint16_t code = cp <= 0xFFFF ? plat::UnicodeToCp932Code(static_cast<char16_t>(cp)) : 0;
    if (code == 0) {
      sjis.push_back('?');
    } else {
      if (code >= 0x100) sjis.push_back(static_cast<char>(code >> 8));
      sjis.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return p + 1 - at;
}
