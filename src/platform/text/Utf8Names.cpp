// UTF-8 characters and names to CP932, one character at a time: the form that
// archive member names flagged as UTF-8 and text read as UTF-8 take.
#include "platform/text/CodePage.h"

namespace plat {

namespace {

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

int Utf8CharToCp932(uint8_t b0, uint8_t b1, uint8_t b2, char out[2]) {
  char16_t cp;
  int consumed;
  if (b0 >= 0xF0) {
    if (b0 > 0xF4) return 0;
    // Outside the code page's reach: one '?' for the whole four-byte sequence.
    if (!IsContinuation(b1) || !IsContinuation(b2)) return 0;
    out[0] = '?';
    out[1] = 0;
    return 3;
  }
  if (b0 >= 0xE0) {
    if (!IsContinuation(b1) || !IsContinuation(b2)) return 0;
    cp = static_cast<char16_t>((b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;  // overlong or a surrogate
    consumed = 2;
  } else {
    if (b0 < 0xC2 || !IsContinuation(b1)) return 0;  // C0 and C1 start overlong forms
    cp = static_cast<char16_t>((b0 & 0x3F) << 6 | (b1 & 0x3F));
    consumed = 1;
  }
  if (WideCharToCp932(cp, out) == 1) out[1] = 0;
  return consumed;
}

std::string Utf8NameToCp932(std::string_view name, bool keepSjisPairs, bool sjisFixed, bool* exact) {
  std::string out;
  bool whole = true;
  for (size_t i = 0; i < name.size();) {
    const uint8_t b0 = static_cast<uint8_t>(name[i]);
    if (b0 < 0x80) {
      out += name[i++];
      continue;
    }
    const uint8_t b1 = i + 1 < name.size() ? static_cast<uint8_t>(name[i + 1]) : 0;
    const uint8_t b2 = i + 2 < name.size() ? static_cast<uint8_t>(name[i + 2]) : 0;
    char sjis[2] = {0, 0};
    int more = b0 >= 0xC0 && !sjisFixed ? Utf8CharToCp932(b0, b1, b2, sjis) : 0;
    // The conversion sees three bytes: the fourth of a four-byte sequence is checked here.
    if (more == 3 && (i + 3 >= name.size() || !IsContinuation(static_cast<uint8_t>(name[i + 3])))) more = 0;
    if (more <= 0 && keepSjisPairs && IsSjisLeadByte(b0) && b1 >= 0x40 && b1 <= 0xFC && b1 != 0x7F) {
      out += name.substr(i, 2);
      i += 2;
      continue;
    }
    if (more <= 0) {
      out += '?';
      whole = false;
      ++i;
      continue;
    }
    // Only an ASCII '?' is itself: one from the conversion stands for a character.
    if (sjis[0] == '?' && !sjis[1]) whole = false;
    out += sjis[0];
    if (sjis[1]) out += sjis[1];
    i += 1 + static_cast<size_t>(more);
  }
  if (exact) *exact = whole;
  return out;
}

}  // namespace plat
