#include "richtext/sheet/SheetMarkup.h"

#include <algorithm>

#include "base/AsciiCase.h"

namespace sheet {

namespace {

constexpr int kMaxSheetFormat = 15;
constexpr int kMaxSheetAttributes = 8;
constexpr int64_t kNumberCap = 999999999;

bool IsLead(unsigned char c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC); }
bool IsControl(unsigned char c) { return c < 0x20; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads an optional '-' and up to maxDigits digits at i; saturates; 0 without digits.
int ReadNumber(std::string_view s, size_t& i, int maxDigits) {
  bool negative = false;
  if (i < s.size() && s[i] == '-') {
    negative = true;
    ++i;
  }
  int64_t v = 0;
  int digits = 0;
  while (i < s.size() && IsDigit(s[i]) && digits < maxDigits) {
    v = std::min<int64_t>(v * 10 + (s[i] - '0'), kNumberCap);
    ++i;
    ++digits;
  }
  return static_cast<int>(negative ? -v : v);
}

uint8_t ComposePlacement(char horizontal, char vertical) {
  int code = horizontal ? horizontal : (vertical ? 64 : 0);
  if (vertical == 'T') code += 96;
  if (vertical == 'M') code += 64;
  if (vertical == 'B') code += 32;
  return static_cast<uint8_t>(code);
}

uint8_t FontCode(char c) {
  switch (c) {
    case 'J': return 16;
    case 'M': return 32;
    case 'P': return 48;
    case 'N': return 64;
    default: return 0;
  }
}

uint8_t NumberFormOf(char c, uint8_t current) {
  if (c == 'c') return static_cast<uint8_t>((current ? current : 'c') | 0x80);
  if (c == 'm' || c == 'd') return static_cast<uint8_t>(c | 0x80);
  return static_cast<uint8_t>(c);
}

}  // namespace

LineClass ClassifyLine(std::string_view line) {
  auto at = [&](size_t i) { return i < line.size() ? static_cast<unsigned char>(line[i]) : 0; };
  if (at(0) == '!' && (at(1) == '*' || at(1) == '#')) return LineClass::SheetHead;
  if (at(0) == '!' && at(1) == '^') return LineClass::RowFormatHead;
  if (at(0) == '!' && at(1) == '%' && IsControl(at(2))) return LineClass::ColumnBlock;
  if ((at(0) == '!' && at(1) == '$' && IsControl(at(2))) || (at(0) == '$' && at(1) == '$')) return LineClass::Objects;
  if (at(0) == '~') return LineClass::FreeText;
  if (at(0) == 'X' && at(1) == 'L' && IsAsciiLower(static_cast<char>(at(2)))) return LineClass::Settings;
  return LineClass::Data;
}

int ColourIndex(char letter) {
  static constexpr char kUpper[] = "RGBYTVAISOWD";
  static constexpr char kLower[] = "rgbytvaisowd";
  for (int i = 0; i < 12; ++i) {
    if (letter == kUpper[i]) return 2 + i;
    if (letter == kLower[i]) return 14 + i;
  }
  return letter == 'C' || letter == 'c' ? 26 : 0;
}

TextAttributes ParseColumnAttributes(std::string_view text) {
  TextAttributes a;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto b = static_cast<unsigned char>(c);
    if (IsControl(b) || c == '$') break;
    if (IsLead(b)) {
      ++i;
    } else if (c == '@') {
      ++i;
    } else if (const uint8_t font = FontCode(c)) {
      a.attributes = static_cast<uint8_t>((a.attributes & 0x8F) | font);
    } else if (IsAsciiUpper(c) && i < 2) {
      a.textColour = c;
    } else if (IsAsciiUpper(c)) {
      if (c == 'B') a.attributes |= 1;
      if (c == 'U') a.attributes |= 2;
      if (c == 'I') a.attributes |= 4;
      if (c == 'S') a.attributes |= 8;
      if (c == 'K') a.attributes = static_cast<uint8_t>((a.attributes & 0x8F) | 16);
    } else if (IsAsciiLower(c)) {
      a.backColour = c;
    } else if (IsDigit(c)) {
      int n = c - '0';
      if (i + 1 < text.size() && IsDigit(text[i + 1])) n = n * 10 + (text[++i] - '0');
      a.size = 3 * n + 9;
    }
  }
  return a;
}

TextAttributes ParseSheetAttributes(std::string_view text) {
  TextAttributes a;
  text = text.substr(0, kMaxSheetAttributes);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsControl(static_cast<unsigned char>(c))) break;
    if (const uint8_t font = FontCode(c)) {
      a.attributes = static_cast<uint8_t>((a.attributes & 0x8F) | font);
    } else if (IsDigit(c)) {
      int n = c - '0';
      if (i + 1 < text.size() && IsDigit(text[i + 1])) n = n * 10 + (text[++i] - '0');
      a.size = 3 * n + 9;
    } else if (IsAsciiLower(c)) {
      a.backColour = c;
    } else if (IsAsciiUpper(c) && i < 2) {
      a.textColour = c;
    } else if (c == 'B' || c == 'U' || c == 'I' || c == 'S') {
      a.attributes |= c == 'B' ? 1 : c == 'U' ? 2 : c == 'I' ? 4 : 8;
    } else if (c == 'K') {
      a.attributes |= 15;
    }
  }
  return a;
}

SheetFormat ParseSheetFormat(std::string_view text) {
  SheetFormat f;
  char horizontal = 0, vertical = 0;
  const size_t n = std::min<size_t>(text.size(), kMaxSheetFormat);
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == ':' || c == '$' || IsControl(static_cast<unsigned char>(c)) || (c == '_' && i >= 2)) break;
    switch (c) {
      case 'C':
      case 'R':
      case 'L': horizontal = c; break;
      case 'T':
      case 'M':
      case 'B': vertical = c; break;
      case 'P': f.pageMarks = true; break;
      case 'c':
      case 'g':
      case 'i':
      case 'm':
      case 'd':
      case 's':
      case 'v': f.numberForm = NumberFormOf(c, f.numberForm); break;
      case 'f':
        f.numberForm = i + 1 < n && IsDigit(text[i + 1]) && text[i + 1] != '0' ? static_cast<uint8_t>(text[++i]) : '2';
        break;
      case 'h':
      case 'w': {
        size_t j = i + 1;
        const int v = ReadNumber(text, j, 2);
        if (v >= 1 && v <= 99) (c == 'h' ? f.rowSize : f.widthFactor) = c == 'h' ? 2 * v : v;
        i = j - 1;
        break;
      }
      case '%': f.attrs = ParseSheetAttributes(text.substr(i + 1)); i = n; break;
      default: break;
    }
  }
  f.placement = ComposePlacement(horizontal, vertical);
  return f;
}

SettingsLine ParseSettingsLine(std::string_view line) {
  SettingsLine s;
  size_t i = 2;
  auto at = [&](size_t k) { return k < line.size() ? line[k] : '\0'; };
  if (at(i) != 'x') {
    s.paper = at(i);
    ++i;
  } else {
    ++i;
    while (i < line.size()) {
      const char c = line[i];
      const auto b = static_cast<unsigned char>(c);
      if (c == '#' || c == ' ' || IsControl(b) || b >= 0x80) break;
      const char c1 = at(i + 1), c2 = at(i + 2);
      const bool orient = c2 == 'V' || c2 == 'H';
      if ((c == 'A' || c == 'B') && (c1 == '3' || c1 == '4' || c1 == '5') && orient) {
        s.paper = static_cast<char>((c == 'A' ? 'a' : 'g') + (c1 == '3' ? 2 : c1 == '5' ? 4 : 0) + (c2 == 'H' ? 1 : 0));
        i += 3;
        continue;
      }
      const std::string_view two = line.substr(i, 2);
      const char base = two == "LT" ? 'm' : two == "LG" ? 'o' : two == "TB" ? 'q' : two == "EX" ? 's' : two == "PC" ? 'u' : 0;
      if (base && orient) {
        s.paper = static_cast<char>(base + (c2 == 'H' ? 1 : 0));
        i += 3;
        continue;
      }
      ++i;
      if (c == '%' || c == 'T' || c == 'B' || c == 'L' || c == 'R' || c == 'h' || c == 'v') {
        const int v = ReadNumber(line, i, 3);
        if (c == '%') s.scale = std::clamp(v, 1, 999);
        // A margin is never negative.
        const int margin = std::max(v, 0) * 100;
        if (c == 'T') s.margins[0] = margin;
        if (c == 'B') s.margins[1] = margin;
        if (c == 'L') s.margins[2] = margin;
        if (c == 'R') s.margins[3] = margin;
      }
    }
    if (at(i) == '#') ++i;
  }
  if (at(i) == 'A' || at(i) == 'T' || at(i) == 'S') s.kind = line[i++];
  if (at(i) == '_') ++i;
  if (i < line.size()) s.format = ParseSheetFormat(line.substr(i));
  return s;
}

void MarginsToPrintSettings(const int margins[4], int& space1, int& space2, int& space3) {
  int m[4];
  for (int k = 0; k < 4; ++k) m[k] = std::clamp(margins[k], 0, 99999);
  space1 = 100 * std::min(m[0] / 1000, 99) + std::min(m[1] / 1000, 99);
  space2 = 100 * std::min(m[2] / 1000, 99) + std::min(m[3] / 1000, 99);
  space3 = 10 * (m[0] % 1000) + m[1] % 1000 + (m[2] % 1000) / 10 + (m[3] % 1000) / 100;
}

char MapRuleChar(char c) {
  if (c == '3') return '1';
  if (c == '4' || c == '5') return '2';
  if (c == '_') return '9';
  return c;
}

int ParseRange(std::string_view text, bool workbook, std::array<int32_t, 4>& out) {
  out = {};
  int count = 0;
  size_t i = 0;
  while (i < text.size() && count < 4) {
    const char c = text[i];
    if (IsAsciiUpper(c)) {
      int64_t v = 0;
      while (i < text.size() && IsAsciiUpper(text[i])) v = std::min<int64_t>(v * 26 + (text[i++] - 'A' + 1), kNumberCap);
      out[static_cast<size_t>(count++)] = static_cast<int32_t>(v);
    } else if (IsDigit(c) || (c == '-' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      int64_t v = ReadNumber(text, i, 9);
      if (i < text.size() && text[i] == '%') {
        ++i;
        const bool below = i < text.size() && text[i] == '-';
        if (below) ++i;
        const int pct = std::min(ReadNumber(text, i, 4), 9999);
        v = below ? std::min(90000 + pct, 99999) : std::min<int64_t>(v * 100000 + pct, kNumberCap);
      }
      out[static_cast<size_t>(count++)] = static_cast<int32_t>(v);
    } else {
      ++i;
    }
  }
  if (workbook) {
    if (count >= 2) ++out[1];
    if (count >= 4) ++out[3];
  }
  if (count == 2) {
    out[2] = out[0];
    out[3] = out[1];
  }
  return count;
}

ColumnFormat ParseColumnLine(std::string_view line, bool workbook) {
  ColumnFormat col;
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t i = 0; i <= line.size() && fields.size() < 4; ++i) {
    if (i == line.size() || IsControl(static_cast<unsigned char>(line[i]))) {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  const std::string_view name = fields.empty() ? std::string_view() : fields[0];
  const std::string_view two = name.substr(0, 2);
  col.kind = two == "Im" ? 1 : two == "Re" ? 2 : two == "Li" ? 3 : two == "TH" || two == "TV" ? 4 : 0;
  col.name = std::string(name.substr(0, 5));
  if (!col.name.empty() && col.name[0] == 'M') {
    col.name[0] = 'c';
    col.direction = 'N';
  }
  char horizontal = 0, vertical = 0;
  const std::string_view items = fields.size() > 1 ? fields[1] : std::string_view();
  for (size_t i = 0; i < items.size(); ++i) {
    const char c = items[i];
    const auto b = static_cast<unsigned char>(c);
    if (IsLead(b)) {
      ++i;
    } else if (c == '#') {
      for (size_t k = 0; k < 4 && i + 1 < items.size(); ++k) col.ruleColours[k] = static_cast<char>(items[++i] - 64);
    } else if (c == '@') {
      ++i;
    } else if (c == '!') {
      i += 2;
    } else if (c == '%' && (col.kind == 0 || col.kind == 4)) {
      col.attrs = ParseColumnAttributes(items.substr(i + 1));
      while (i + 1 < items.size() && items[i + 1] != '$') ++i;
    } else if (c == '$' && col.kind != 0) {
      // Object sub-items up to '%': a digit is the left rule character and a digit
      // right after it the right one (else '1'); an upper-case letter is the top rule
      // character, a lower-case one the bottom one.
      col.rules = {0, 0, 0, 0};
      for (; i + 1 < items.size() && items[i + 1] != '%'; ++i) {
        const char d = items[i + 1];
        if (IsLead(static_cast<unsigned char>(d))) {
          ++i;
        } else if (IsDigit(d)) {
          col.rules[0] = MapRuleChar(d);
          const bool second = i + 2 < items.size() && IsDigit(items[i + 2]);
          col.rules[1] = second ? MapRuleChar(items[i + 2]) : '1';
          if (second) ++i;
        } else if (IsAsciiUpper(d)) {
          col.rules[2] = d;
        } else if (IsAsciiLower(d)) {
          col.rules[3] = d;
        } else if (d == '!') {
          i += 2;
        } else if (d == '@' && i + 2 < items.size() && IsDigit(items[i + 2])) {
          ++i;
        }
      }
    } else if (c == 'C' || c == 'R' || c == 'L' || c == 'W' || c == 'O') {
      horizontal = c;
    } else if (c == 'T' || c == 'M' || c == 'B') {
      vertical = c;
    } else if (c == 'h') {
      while (i + 1 < items.size() && IsDigit(items[i + 1])) ++i;
    } else if (c == 'f') {
      col.numberForm = i + 1 < items.size() && IsDigit(items[i + 1]) && items[i + 1] != '0' ? static_cast<uint8_t>(items[++i]) : '2';
    } else if (c == 'c' || c == 'i' || c == 'm' || c == 'd' || c == 's' || c == 'v') {
      col.numberForm = NumberFormOf(c, col.numberForm);
    } else if (c == 'H' || c == 'V' || c == 'N') {
      col.direction = c;
    } else if (IsDigit(c) && col.kind == 0) {
      col.rules = {0, 0, 0, 0};
      for (size_t k = 0; k < 4 && i < items.size(); ++k, ++i) col.rules[k] = MapRuleChar(items[i]);
      --i;
    }
  }
  col.placement = ComposePlacement(horizontal, vertical);
  if (fields.size() > 2) {
    if (fields[2].starts_with("if:")) {
      col.range[0] = -9999;
      col.contentPos = static_cast<size_t>(fields[2].data() - line.data()) + 3;
    } else {
      col.rangeCount = ParseRange(fields[2], workbook, col.range);
    }
  }
  if (fields.size() > 3 && col.kind != 0) col.contentPos = static_cast<size_t>(fields[3].data() - line.data());
  return col;
}

size_t FindRowFormat(std::string_view row) {
  for (size_t i = 0; i < row.size(); ++i) {
    const auto b = static_cast<unsigned char>(row[i]);
    if (IsLead(b)) {
      ++i;
    } else if (row[i] == '^' && (i == 0 || (row[i - 1] != '\\' && row[i - 1] != '!'))) {
      return i;
    }
  }
  return std::string_view::npos;
}

RowFormat ParseRowFormat(std::string_view items) {
  RowFormat r;
  char horizontal = 0, vertical = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const char c = items[i];
    const auto b = static_cast<unsigned char>(c);
    if (IsLead(b)) {
      ++i;
    } else if (c == '<') {
      r.tableStart = true;
    } else if (c == '>') {
      r.tableEnd = true;
    } else if (c == '#') {
      i += 2;
    } else if ((c >= '0' && c <= '5') || c == '9' || c == '_') {
      r.top = MapRuleChar(c);
      if (i + 1 < items.size()) r.bottom = MapRuleChar(items[++i]);
    } else if (c == 'C' || c == 'R' || c == 'L') {
      horizontal = c;
    } else if (c == 'T' || c == 'M' || c == 'B') {
      vertical = c;
    } else if (c == 'f') {
      r.numberForm = i + 1 < items.size() && IsDigit(items[i + 1]) && items[i + 1] != '0' ? static_cast<uint8_t>(items[++i]) : '2';
    } else if (c == 'c' || c == 'g' || c == 'i' || c == 's' || c == 'm' || c == 'd' || c == 'v') {
      r.numberForm = NumberFormOf(c, r.numberForm);
    } else if (c == 'P') {
      r.pageBreak = true;
    }
  }
  r.placement = ComposePlacement(horizontal, vertical);
  return r;
}

int RuleKindBetween(char upperBottom, char lowerTop) {
  if (lowerTop == '2' || (upperBottom == '2' && lowerTop != '0' && lowerTop != '1')) return 2;
  if (lowerTop == '1' || upperBottom == '1') return 1;
  return 0;
}

char HorizontalPlacement(uint8_t code) {
  const int h = code >= 0xA0 ? code - 96 : code >= 0x80 ? code - 64 : code >= 0x60 ? code - 32 : code;
  return h > 0x40 ? static_cast<char>(h) : 0;
}

char VerticalPlacement(uint8_t code) { return code >= 0xA0 ? 'T' : code >= 0x80 ? 'M' : code >= 0x60 ? 'B' : 0; }

namespace {

// Adds one to the digits of text[0..end), carrying over commas; a carry out of the
// first digit puts a '1' before it.
void IncrementDigits(std::string& text, size_t first, size_t end) {
  for (size_t k = end; k > first; --k) {
    char& d = text[k - 1];
    if (!IsDigit(d)) continue;
    if (d != '9') {
      ++d;
      return;
    }
    d = '0';
  }
  text.insert(first, 1, '1');
}

}  // namespace

std::string ApplyNumberForm(std::string_view text, uint8_t form) {
  const bool thousands = (form & 0x80) != 0;
  const char f = static_cast<char>(form & 0x7F);
  if (f == 0 && !thousands) return std::string(text);
  for (char c : text) {
    const bool allowed = IsDigit(c) || c == '+' || c == ',' || c == '-' || c == '.' || c == '/' || c == ' ' ||
                         c == '@' || c == '\\' || c == '$' || c == '\x04';
    if (!allowed) return std::string(text);
  }
  std::string t(text);
  if (f == 'i') t.erase(std::remove(t.begin(), t.end(), ','), t.end());
  // The number's integer digits start after leading blanks, signs and currency marks.
  size_t first = 0;
  while (first < t.size() && first < 50 &&
         (t[first] == ' ' || t[first] == '-' || t[first] == '\\' || t[first] == '$' || t[first] == '+' || t[first] == '@' || t[first] == '\x04')) {
    ++first;
  }
  if (first >= t.size() || !IsDigit(t[first])) return t;
  const size_t dot = t.find('.', first);
  if (f == 'i' || f == 'm' || f == 'd' || f == 'c') {
    if (dot != std::string::npos) {
      const bool up = dot + 1 < t.size() && IsDigit(t[dot + 1]) && t[dot + 1] >= '5';
      t.erase(dot);
      if (up) IncrementDigits(t, first, t.size());
    }
  } else if (f >= '1' && f <= '9') {
    const size_t n = static_cast<size_t>(f - '0');
    if (dot != std::string::npos) {
      size_t end = dot + 1;
      while (end < t.size() && IsDigit(t[end])) ++end;
      const size_t have = end - dot - 1;
      if (have > n) {
        const bool up = t[dot + 1 + n] >= '5';
        t.erase(dot + 1 + n, have - n);
        if (up) IncrementDigits(t, first, dot + 1 + n);
      } else {
        t.insert(end, n - have, '0');
      }
    } else if (IsDigit(t.back()) && !(t.size() >= n + 1 && t[t.size() - n - 1] == '\'')) {
      t += '.';
      t.append(n, '0');
    }
  }
  if (thousands && f != 's') {
    size_t end = first;
    while (end < t.size() && IsDigit(t[end])) ++end;
    if (end < t.size() && static_cast<unsigned char>(t[end]) > ' ' && t[end] != '.') return t;
    for (size_t k = end; k > first + 3; k -= 3) t.insert(k - 3, 1, ',');
  }
  return t;
}

}  // namespace sheet

namespace sheet {

namespace {

constexpr struct {
  int code;
  char letter;
} kPapers[] = {{9, 'a'}, {8, 'c'}, {11, 'e'}, {12, 'g'}, {4414, 'i'}, {13, 'k'},
               {1, 'm'}, {5, 'o'}, {3, 'q'},  {7, 's'},  {43, 'u'}};

}  // namespace

char PaperLetter(int paperCode, int orientation) {
  char letter = 'a';
  for (const auto& p : kPapers) {
    if (p.code == paperCode) letter = p.letter;
  }
  return static_cast<char>(letter + (orientation == 2 ? 1 : 0));
}

void PaperOfLetter(char letter, int& paperCode, int& orientation) {
  if (letter < 'a' || letter > 'v') return;
  const int base = (letter - 'a') / 2 * 2;
  for (const auto& p : kPapers) {
    if (p.letter - 'a' == base) paperCode = p.code;
  }
  orientation = (letter - 'a') % 2 == 0 ? 1 : 2;
}

}  // namespace sheet
