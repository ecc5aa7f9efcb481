// Font code maps: a ToUnicode CMap (bfchar and bfrange entries) or an encoding's
// /Differences array (glyph names) turned into a table of character code to
// Unicode code point. Each font gets its own table, so one font's entries never
// decode another's text.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/QelDoc.h"
#include "base/CheckedSize.h"
#include "convert/pdf/PdfReader.h"
#include "convert/pdf/PdfStreamDecode.h"
#include "convert/pdf/PdfValueReaders.h"

namespace {

constexpr int64_t kMapInputLimit = 1 << 20;   // compressed CMap bytes read
constexpr int64_t kMapOutputLimit = 4 << 20;  // decoded CMap bytes

struct GlyphName {
  const char* name;
  uint16_t code;
};

// Glyph names of the standard Latin set that differ from their character.
constexpr GlyphName kGlyphNames[] = {
    {"space", ' '}, {"exclam", '!'}, {"quotedbl", '"'}, {"numbersign", '#'}, {"dollar", '$'},
    {"percent", '%'}, {"ampersand", '&'}, {"quotesingle", '\''}, {"quoteright", 0x2019}, {"quoteleft", 0x2018},
    {"parenleft", '('}, {"parenright", ')'}, {"asterisk", '*'}, {"plus", '+'}, {"comma", ','}, {"hyphen", '-'},
    {"minus", '-'}, {"endash", 0x2013}, {"emdash", 0x2014}, {"period", '.'}, {"slash", '/'}, {"zero", '0'},
    {"one", '1'}, {"two", '2'}, {"three", '3'}, {"four", '4'}, {"five", '5'}, {"six", '6'}, {"seven", '7'},
    {"eight", '8'}, {"nine", '9'}, {"colon", ':'}, {"semicolon", ';'}, {"less", '<'}, {"equal", '='},
    {"greater", '>'}, {"question", '?'}, {"at", '@'}, {"bracketleft", '['}, {"backslash", '\\'},
    {"bracketright", ']'}, {"asciicircum", '^'}, {"underscore", '_'}, {"grave", '`'}, {"acute", '`'},
    {"braceleft", '{'}, {"bar", '|'}, {"braceright", '}'}, {"asciitilde", '~'}, {"tilde", '~'},
    {"copyright", 'C'}, {"registered", 'R'}, {"yen", 0xA5}, {"bullet", 0x2022}, {"fi", 0xFB01},
    {"fl", 0xFB02}, {"quotedblleft", 0x201C}, {"quotedblright", 0x201D}, {"ellipsis", 0x2026},
    {"degree", 0xB0}, {"section", 0xA7}, {"paragraph", 0xB6}, {"multiply", 0xD7}, {"divide", 0xF7},
};

int Hex(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One hex string of a CMap list through ParsePdfHexString; the position then stands
// after its '>' even when the string was longer than four digits.
bool ReadHex(const ByteCursor& b, int64_t& p, uint32_t* value, int* oneByte) {
  const int v = ParsePdfHexString(b, &p, oneByte);
  if (v < 0) return false;
  if (b.PeekU8(p - 1) != '>') {
    const int64_t end = std::min(p + 512, b.Size());
    while (p < end && b.PeekU8(p) != '>') ++p;
    if (p >= end) return false;
    ++p;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

uint16_t GlyphCode(const ByteCursor& b, int64_t at, int64_t len) {
  const auto bytes = b.PeekBytes(at, len);
  const std::string_view name(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (len == 1) return b.PeekU8(at);
  for (const GlyphName& g : kGlyphNames) {
    if (name == g.name) return g.code;
  }
  if (len == 7 && name.substr(0, 3) == "uni") {
    uint32_t v = 0;
    for (int i = 3; i < 7; ++i) {
      const int h = Hex(b.PeekU8(at + i));
      if (h < 0) return 0;
      v = v * 16 + static_cast<uint32_t>(h);
    }
    return static_cast<uint16_t>(v);
  }
  return 0;
}

}  // namespace

int PdfReader::BuildDifferences(int64_t position, std::vector<uint16_t>& map) {
  for (int c = 32; c < 127; ++c) map[c] = static_cast<uint16_t>(c);
  int64_t p = position;
  const int64_t end = std::min(position + 4000, raw.Size());
  while (p < end && !PdfMatch(raw, p, "/Differences")) {
    if (PdfMatch(raw, p, "endobj")) return 1;
    ++p;
  }
  while (p < end && raw.PeekU8(p) != '[') ++p;
  int code = 0;
  for (++p; p < end && raw.PeekU8(p) != ']';) {
    const uint8_t c = raw.PeekU8(p);
    if (PdfIsDigit(c)) {
      int v = 0;
      while (PdfIsDigit(raw.PeekU8(p)) && v < 100000) v = v * 10 + (raw.PeekU8(p++) - '0');
      code = v;
    } else if (c == '/') {
      const int64_t start = ++p;
      while (p < end && raw.PeekU8(p) > 0x20 && raw.PeekU8(p) != '/' && raw.PeekU8(p) != ']' && raw.PeekU8(p) != '[') ++p;
      if (code >= 0 && code < 256) {
        const uint16_t u = GlyphCode(raw, start, p - start);
        if (u) map[code] = u;
      }
      ++code;
    } else {
      ++p;
    }
  }
  return 1;
}

int PdfReader::PdfBuildCodeMap(int64_t position, std::vector<uint16_t>& map, unsigned flags) {
  if (position <= 0 || position >= raw.Size()) return 0;
  if ((flags & 0x8F) == 0x8F) return BuildDifferences(position, map);

  // The CMap stream: its filters from the names before "stream".
  int filters = 0;
  int64_t p = position;
  const int64_t look = std::min(position + 2000, raw.Size());
  while (p < look && !PdfMatch(raw, p, "stream")) {
    if (PdfMatch(raw, p, "/ASCII85")) filters |= 1;
    if (PdfMatch(raw, p, "/Fla")) filters |= 2;
    if (PdfMatch(raw, p, "endobj")) return 0;
    ++p;
  }
  if (p >= look) return 0;
  p += 6;
  if (raw.PeekU8(p) == '\r') ++p;
  if (raw.PeekU8(p) == '\n') ++p;
  int64_t end = p;
  const int64_t stop = std::min(p + kMapInputLimit, raw.Size());
  while (end < stop && !PdfMatch(raw, end, "endstream")) ++end;
  ByteCursor b = raw.Window(p, end - p);
  std::vector<uint8_t> work;
  if (filters & 1) {
    if (!TryAllocate(work, b.Size(), 1, 8, &doc.m_allocHook)) return 0;
    const auto coded = b.PeekBytes(0, b.Size());
    b = ByteCursor(work.data(), DecodeAscii85(coded.data(), b.Size(), work.data(), static_cast<int64_t>(work.size())));
  }
  std::vector<uint8_t> inflated;
  if (filters & 2) {
    const int64_t header = b.Size() > 2 && PdfIsZlibHeader(b.PeekU8(0), b.PeekU8(1)) ? 2 : 0;
    const auto packed = b.PeekBytes(header, b.Size() - header);
    if (!TryAllocate(inflated, kMapOutputLimit, 1, 0, &doc.m_allocHook)) return 0;
    const int64_t n = PdfInflate(inflater, packed.data(), static_cast<int64_t>(packed.size()), inflated.data(), kMapOutputLimit);
    if (n < 0 && n != -3) return 0;
    b = ByteCursor(inflated.data(), n < 0 ? kMapOutputLimit : n);
  }
  const int64_t length = b.Size();

  int result = 0;
  bool ranged = false;  // a code-space range came first
  for (int64_t q = 0; q + 10 < length; ++q) {
    if (b.PeekU8(q) != 'b' || !PdfMatch(b, q, "begin")) continue;
    if (PdfMatch(b, q, "begincode")) {
      ranged = true;
    } else if (PdfMatch(b, q, "beginbfchar")) {
      q += 11;
      uint32_t src, dst;
      while (ReadHex(b, q, &src, nullptr) && ReadHex(b, q, &dst, nullptr)) {
        if (src >= kPdfCodeMapSize) continue;
        map[src] = static_cast<uint16_t>(dst);
        result |= 1;
        // Codes a subset left out just below a mapped one are taken as running on
        // to it: up to 30 empty entries get the characters before its own.
        for (uint32_t k = 1; ranged && k <= 30 && k <= src && k < dst && map[src - k] == 0; ++k) {
          map[src - k] = static_cast<uint16_t>(dst - k);
        }
      }
    } else if (PdfMatch(b, q, "beginbfrange")) {
      q += 12;
      uint32_t lo, hi;
      int oneByte = 0;  // a one-byte low source was read in this block
      while (ReadHex(b, q, &lo, &oneByte) && ReadHex(b, q, &hi, nullptr)) {
        const uint32_t copies = oneByte ? kPdfSingleByteCodes : 0;
        if (oneByte) result |= 2;
        while (q < length && PdfIsBlank(b.PeekU8(q))) ++q;
        if (b.PeekU8(q) == '[') {
          ++q;
          uint32_t dst;
          for (uint32_t c = lo; ReadHex(b, q, &dst, nullptr); ++c) {
            if (c <= hi && c < kPdfCodeMapSize) map[c] = static_cast<uint16_t>(dst);
            if (copies && c <= hi && c < 256) map[copies + c] = static_cast<uint16_t>(dst);
          }
          while (q < length && b.PeekU8(q) != ']') ++q;
          ++q;
          result |= 1;
          continue;
        }
        uint32_t dst;
        if (!ReadHex(b, q, &dst, nullptr)) break;
        if (lo < kPdfCodeMapSize) result |= 1;
        if (dst == 0xFFFF || hi >= kPdfCodeMapSize || hi < lo) continue;
        for (uint32_t c = lo; c <= hi; ++c) {
          const auto u = static_cast<uint16_t>(std::min<uint32_t>(dst + (c - lo), 0xFFFF));
          map[c] = u;
          if (copies && c < 256) map[copies + c] = u;
        }
      }
    }
  }
  return result;
}
