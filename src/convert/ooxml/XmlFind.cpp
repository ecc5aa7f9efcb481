// Attribute and token reading on a part's Shift-JIS text. Every read stays inside
// the text given (a part is never read past its end into what an earlier, longer
// part left in the buffer), numbers saturate, and a position never moves before
// the text's start.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "convert/ooxml/XmlPart.h"

namespace {

constexpr int kSearchWindow = 1500;
constexpr int kSkipWindow = 500;
constexpr int kFormatWindow = 199;
constexpr int kFormatHead = 24;  // a digit placeholder counts only among the first 24 characters

// The text as a bounded byte source: reads past its end give 0.
struct Text {
  std::string_view s;
  int At(int64_t i) const { return i >= 0 && i < static_cast<int64_t>(s.size()) ? static_cast<uint8_t>(s[i]) : 0; }
  int Size() const { return static_cast<int>(std::min<size_t>(s.size(), INT_MAX)); }
};

int Saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// Moves p past the end of the current element: nesting from 1, '<' up, '>' down.
void SkipElement(const Text& t, int* p) {
  *p = std::max(*p - 1, 0);
  int depth = 1;
  for (int k = 0; k < kSkipWindow && *p < t.Size(); ++k) {
    const int c = t.At(*p);
    if (c == '\\' && (t.At(*p + 1) == '<' || t.At(*p + 1) == '>')) {
      *p += 2;
      continue;
    }
    ++*p;
    if (c == '<') ++depth;
    if (c == '>' && --depth == 0) return;
  }
}

int ReadNumber(const Text& t, int p) {
  if (t.At(p) == '"') ++p;
  bool negative = false;
  if (t.At(p) == '-') {
    negative = true;
    ++p;
  }
  int64_t v = 0;
  for (int k = 0; k < 10 && t.At(p) >= '0' && t.At(p) <= '9'; ++k) v = v * 10 + (t.At(p++) - '0');
  if (t.At(p) == 'i' && t.At(p + 1) == 'n') v *= 72;
  return Saturate(negative ? -v : v);
}

int ReadColumnLetters(const Text& t, int* p) {
  int v = 0;
  for (int k = 0; k < 4 && t.At(*p) >= 'A' && t.At(*p) <= 'Z'; ++k) v = v * 26 + (t.At((*p)++) - 'A' + 1);
  return v;
}

// Date and time flags of a format code.
enum : int {
  kDay = 1, kMonth = 2, kYear = 4, kNichi = 0x10, kTsuki = 0x20, kNen = 0x40,
  kHour = 0x80, kYearAfter = 0x100, kJi = 0x200, kAm = 0x400,
};

bool IsPair(const Text& t, int i, int lead, int trail) { return t.At(i) == lead && t.At(i + 1) == trail; }

// The number-format class of the code at p (see the header: mode 2).
int FormatClass(const Text& t, int p) {
  int decimals = 0, currency = 0, flags = 0, placeholder = -1;
  bool percent = false;
  for (int k = 0; k < kFormatWindow; ++k) {
    const int i = p + k;
    const int c = t.At(i), n = t.At(i + 1);
    if (c == 0) break;
    if (placeholder < 0 && k < kFormatHead && (c == '#' || c == '0')) placeholder = i;
    if (c == 'E' && decimals > 0) {
      decimals += 11000;
      break;
    }
    bool handled = true;
    if (c == '.') {
      decimals = 1;
    } else if (c == '0' && decimals > 0) {
      ++decimals;
    } else if (c == '%') {
      percent = true;
    } else if (c == 'y') {
      if (flags & (kDay | kMonth)) flags |= kYearAfter;
      flags |= kYear;
    } else if (c == 'q' && n == 'u' && t.At(i + 2) == 'o' && t.At(i + 3) == 't' && t.At(i + 4) == ';' &&
               (t.At(i + 5) == '$' || t.At(i + 5) == '\\' || t.At(i + 5) == 'E') &&
               (t.At(i + 6) == '&' || t.At(i + 6) == 'U')) {
      currency = t.At(i + 5) == '$' ? 2 : t.At(i + 5) == '\\' ? 1 : 3;
      k += 4;  // the five characters of the entity's tail
      continue;
    } else if (c == '\\' && n == '$' && decimals == 0) {
      currency = 2;
    } else {
      handled = false;
    }
    if (!handled) {
      if (c == 'm' && k == 0) flags |= kMonth;
      if (n == 'm' && c != ':' && c != 'u' && c != 'm') flags |= kMonth;
      if (n == 'd' && c != 'e') flags |= kDay;
      if (IsPair(t, i, 0x94, 0x4E)) flags |= kNen;
      if (IsPair(t, i, 0x8C, 0x8E)) flags |= kTsuki;
      if (IsPair(t, i, 0x93, 0xFA)) flags |= kNichi;
      if (IsPair(t, i, 0x8E, 0x9E)) flags |= kJi;
      if (c == 'h' && n == ':') flags |= kHour;
      if (c == 'A' && n == 'M') flags |= kAm;
    }
    if (c == '"') break;
  }

  auto small = [](int r) { return r >= 1 && r <= 999 ? r + 1000 : r; };
  if (placeholder >= 0 && flags == 0 && !percent) {
    const int after = t.At(placeholder + 1);
    if (after == ',' || after == '.') {
      static constexpr int kGrouped[] = {549000, 548000, 550000, 551000};
      return small(decimals + kGrouped[currency]);
    }
    return small(decimals);
  }
  if (percent) return decimals + 9000;
  if (flags == 0) return small(decimals);

  const bool d = flags & kDay, m = flags & kMonth, y = flags & kYear;
  int code = 999;
  if (flags & kYearAfter) {
    if (d && m && y) code = 556;
    else if (m && y) code = 552;
  } else if ((flags & (kNen | kTsuki | kNichi)) == (kNen | kTsuki | kNichi)) {
    code = 31;
  } else if ((flags & (kNen | kTsuki)) == (kNen | kTsuki)) {
    code = 555;
  } else if ((flags & (kTsuki | kNichi)) == (kTsuki | kNichi)) {
    code = 56;
  } else if (d && m && y) {
    code = 14;
  } else if (m && y) {
    code = 553;
  } else if (m && d) {
    code = 554;
  }
  const bool am = flags & kAm;
  if (flags & (kHour | kJi)) {
    if (code == 14 || code == 554) code = am ? 559 : 22;
    else if (code == 31 || code == 56) code = 558;
    else if (flags & kJi) code = 33;
    else code = am ? 560 : 557;
  } else if (code == 999) {
    code = 14;
  }
  return decimals + code * 1000;
}

}  // namespace

int XmlFindInElement(std::string_view pattern, std::string_view text, int* pos, int mode) {
  const Text t{text};
  *pos = std::clamp(*pos, 0, t.Size());
  bool restricted = true;
  if (mode >= kXmlPastTag) {
    restricted = false;
    mode -= kXmlPastTag;
  }
  if (mode == kXmlSkipElement) {
    SkipElement(t, pos);
    return 0;
  }
  if (mode >= kXmlAfterElement && mode < kXmlPastTag) {
    SkipElement(t, pos);
    mode -= kXmlAfterElement;
  }
  if (pattern.size() < 2) return 0;

  int depth = 1;
  int found = -1;
  const int size = t.Size();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const int first = static_cast<uint8_t>(pattern[0]), second = static_cast<uint8_t>(pattern[1]);
  for (int q = *pos, k = 0; q < size; ++k) {
    int c = bytes[q], next = q + 1;
    int n = next < size ? bytes[next] : 0;
    const bool literal = c == '\\' && (n == '<' || n == '>');
    if (literal) {
      c = n;
      next = q + 2;
      n = next < size ? bytes[next] : 0;
    } else if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    }
    const size_t rest = static_cast<size_t>(next) + 1;
    if (c == first && n == second && rest <= text.size() &&
        text.substr(rest, pattern.size() - 2) == pattern.substr(2)) {
      found = next + 1 + static_cast<int>(pattern.size()) - 2;
      break;
    }
    if (k + 1 >= kSearchWindow || (restricted && depth <= 0)) return 0;
    q = next;
  }
  if (found < 0) return 0;
  switch (mode) {
    case kXmlNumber: return ReadNumber(t, found);
    case kXmlColumn: return ReadColumnLetters(t, &found);
    case kXmlFormatClass: return FormatClass(t, found);
    case kXmlMoveTo: *pos = std::min(found, t.Size()); return 1;
    case kXmlPresent: return 1;
    default: return 0;
  }
}

int XlsxParseToken(std::string_view text, int* pos, int mode) {
  const Text t{text};
  int p = std::clamp(*pos, 0, t.Size());
  if (t.At(p) == '"') ++p;
  int result = 0;
  if (mode == kXmlNumber) {
    int64_t v = 0;
    for (int k = 0; k < 10 && t.At(p) >= '0' && t.At(p) <= '9'; ++k) v = v * 10 + (t.At(p++) - '0');
    ++p;  // the character that ended the number
    result = Saturate(v);
  } else if (mode == kXmlColumn) {
    result = ReadColumnLetters(t, &p);
    ++p;
  } else if (mode == kXmlFormatClass) {
    int hashes = 0;
    bool point = false;
    for (int k = 0; k < kFormatWindow; ++k) {
      const int c = t.At(p++);
      if (c == '"' || c == 0) break;
      if (c == '#') {
        ++hashes;
      } else if (c == ',' && hashes >= 1 && hashes <= 4) {
        hashes = 999;
      } else if (c == '.') {
        point = true;
      } else if (hashes > 0 && c != '0') {
        break;
      }
    }
    result = (point ? 1 : 0) + (hashes == 999 ? 1000 : 0);
  } else {
    return 0;
  }
  *pos = std::min(p, t.Size());
  return result;
}
