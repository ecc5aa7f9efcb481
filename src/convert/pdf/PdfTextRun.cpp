// Text decoding: the bytes of a string operand become Shift-JIS characters by the
// current font (a ToUnicode or Differences map, a Japanese CMap, CIDs of the
// Adobe-Japan1 collection, Shift-JIS encodings, or single PDFDoc bytes) and are
// written into the canvas one byte per cell from the current column.
#include <algorithm>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "convert/ConvertState.h"
#include "convert/charmap/CharMaps.h"
#include "convert/charmap/CidToSjis.h"
#include "convert/pdf/PdfContent.h"
#include "convert/pdf/PdfReader.h"
#include "platform/text/CodePage.h"

namespace {

// Kangxi radicals and one CJK radical that fonts map instead of the ideograph.
struct Radical {
  uint16_t from, to;
};
constexpr Radical kRadicals[] = {
    {0x2ED1, 0x9577}, {0x2F00, 0x4E00}, {0x2F04, 0x4E59}, {0x2F08, 0x4EBA}, {0x2F0A, 0x5165}, {0x2F12, 0x529B},
    {0x2F26, 0x5B50}, {0x2F3F, 0x624B}, {0x2F40, 0x652F}, {0x2F42, 0x6587}, {0x2F45, 0x65B9}, {0x2F47, 0x65E5},
    {0x2F49, 0x6708}, {0x2F4A, 0x6728}, {0x2F4B, 0x6B20}, {0x2F4C, 0x6B62}, {0x2F64, 0x7528}, {0x2F70, 0x793A},
    {0x2F8F, 0x884C}, {0x2F92, 0x898B}, {0x2F94, 0x8A00}, {0x2F9C, 0x8DB3}, {0x2FAF, 0x9762},
};

// Vertical text: characters that read correctly across the line instead.
struct VerticalForm {
  uint16_t from, to;
};
constexpr VerticalForm kVertical[] = {
    {0x815B, 0x828C}, {0x815C, 0x828C}, {0x815D, 0x828C}, {0x817C, 0x828C}, {0x849F, 0x8162},
    {0x8179, 0x81A1}, {0x817A, 0x81A1}, {0x8169, 0x81C8}, {0x8183, 0x81C8}, {0x816A, 0x81C9},
    {0x8184, 0x81C9}, {0x8141, 0x20A4}, {0x8142, 0x20A1}, {0x8143, 0x202C}, {0x8163, 0xFA55},
    {0x8181, 0x81A5}, {0x8175, 0x81CA}, {0x8176, 0x8798},
};

// Presentation forms for vertical text (U+FE10 to U+FE48) that fonts map their
// vertical glyphs to: the ordinary characters, which the vertical table then turns.
constexpr uint16_t kVerticalPresentation[] = {
    0xFF0C, 0x3001, 0x3002, 0xFF1A, 0xFF1B, 0xFF01, 0xFF1F, 0x3016, 0x3017, 0x2026,  // U+FE10 to U+FE19
};
constexpr uint16_t kCompatibilityForms[] = {
    0x2025, 0x2014, 0x2013, 0xFF3F, 0xFF3F, 0xFF08, 0xFF09, 0xFF5B, 0xFF5D, 0x3014, 0x3015, 0x3010, 0x3011,
    0x300A, 0x300B, 0x3008, 0x3009, 0x300C, 0x300D, 0x300E, 0x300F, 0xFE45, 0xFE46, 0xFF3B, 0xFF3D,  // U+FE30 to U+FE48
};

uint32_t OrdinaryForm(uint32_t u) {
  if (u >= 0xFE10 && u <= 0xFE19) return kVerticalPresentation[u - 0xFE10];
  if (u >= 0xFE30 && u <= 0xFE48) return kCompatibilityForms[u - 0xFE30];
  return u;
}

bool IsSjisTrail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

void PdfContent::ShowString(const std::string& text, bool hex) {
  const ByteCursor in(text);
  const auto n = static_cast<size_t>(in.Size());
  double advance = 0;  // text space units
  int spaces = 0;      // blanks in a row; in the table-view form 50 of them end the writing
  bool stopped = false;
  for (size_t i = 0; i < n;) {
    const auto at = static_cast<int64_t>(i);
    const uint8_t b0 = in.PeekU8(at), b1 = in.PeekU8(at + 1);
    spaces = b0 == ' ' ? std::min(spaces + 1, 200) : 0;
    if (spaces >= 50 && r_.doc.m_nCsvMode == 2) stopped = true;
    const bool write = !lineFull_ && !stopped;
    bool twoBytes = false;
    // Two-byte codes: a Unicode CMap, or a mapped font that is neither one-byte by its
    // /LastChar nor a Type1 font (whose codes are single bytes).
    const uint16_t single = singleMap_ && map_ ? (*map_)[kPdfSingleByteCodes + b0] : 0;
    if (single) {
      // A CMap of one-byte codes: the byte is a character of its own, whatever the
      // font's other entries suggest.
      if (!write) {
      } else if (single >= 0x20 && single < 0x7F) {
        WriteSingle(static_cast<uint8_t>(single));
      } else {
        WriteUnicode(single);
      }
    } else if (!singleMap_ && (fontMode_ == 9 || ((fontMode_ & 3) == 3 && !(fontMode_ & 4) && !simple_))) {
      const uint32_t code = in.PeekU16BE(at);
      uint32_t u = code;
      if (fontMode_ != 9 && map_ && code < map_->size() && (*map_)[code]) u = (*map_)[code];
      if (write) WriteUnicode(u);
      twoBytes = true;
    } else if ((fontMode_ & 2) && map_ && (*map_)[b0]) {
      const uint16_t u = (*map_)[b0];
      if (!write) {
      } else if (u >= 0x20 && u < 0x7F) {
        WriteSingle(static_cast<uint8_t>(u));
      } else {
        WriteUnicode(u);
      }
    } else if (!simple_ && !singleMap_ && (cidFont_ || (hex && b0 < 0x20))) {
      if (write) WriteCid(b0, b1);
      twoBytes = true;
    } else if ((sjisFont_ || hex || pageDoubleBytes_ >= 5) && IsSjisLeadByte(b0) && IsSjisTrail(b1)) {
      // Shift-JIS pairs of a 90ms-RKSJ font (or a page of Japanese bytes) first.
      if (write) WriteBytes(in.PeekBytes(at, 2).data(), 2);
      twoBytes = true;
    } else if (write) {
      WriteSingle(b0);
    }
    const uint32_t code = twoBytes ? in.PeekU16BE(at) : b0;
    const int width = fontWidths_ ? fontWidths_->Width(code) : (twoBytes ? 1000 : 500);
    advance += width / 1000.0 * fontSize_ + charSpacing_ + (!twoBytes && b0 == ' ' ? wordSpacing_ : 0);
    i += twoBytes ? 2 : 1;
  }
  Advance(advance * scale_);
  EndRun();
}

void PdfContent::WriteCid(uint8_t high, uint8_t low) {
  const ConvertState& cid = r_.doc.Convert();
  uint8_t h = high, l = low;
  MapCidToSjis(&h, &l, cid.m_anCidRangeStart.data(), cid.m_anCidRangeSjis.data(), cid.m_abyCidSymbolTrail.data());
  if (h == 0 && l == 0) return;
  if (l == 0) {
    WriteSingle(h);
    return;
  }
  const uint8_t pair[2] = {h, l};
  WriteBytes(pair, 2);
}

void PdfContent::WriteUnicode(uint32_t u) {
  u = OrdinaryForm(u);
  if (u >= 0x2ED0 && u <= 0x2FFF) {
    for (const Radical& r : kRadicals) {
      if (r.from == u) u = r.to;
    }
  }
  if (u < 0x80) {
    WriteSingle(static_cast<uint8_t>(u));
    return;
  }
  char out[2];
  int n = plat::WideCharToCp932(static_cast<char16_t>(u), out);
  uint8_t bytes[2] = {static_cast<uint8_t>(out[0]), static_cast<uint8_t>(n > 1 ? out[1] : 0)};
  if (n == 1 && out[0] == '?' && u != '?') {
    unsigned char first = 0, second = 0;
    n = MapUnicodeToSjis(static_cast<int>(u), &first, &second);
    bytes[0] = first;
    bytes[1] = second;
  }
  if (n <= 0 || bytes[0] == 0) return;
  if (n == 2 && (vertical_ || rotated_)) {
    const uint16_t code = ByteCursor(bytes, 2).PeekU16BE(0);
    for (const VerticalForm& v : kVertical) {
      if (v.from == code) {
        bytes[0] = static_cast<uint8_t>(v.to >> 8);
        bytes[1] = static_cast<uint8_t>(v.to);
      }
    }
  }
  WriteBytes(bytes, n == 2 ? 2 : 1);
}

void PdfContent::WriteSingle(uint8_t byte) {
  if (byte == 0) byte = ' ';
  if ((byte < 0x20 || byte >= 0x7F) && !vertical_ && pageDoubleBytes_ < 5) {
    unsigned char b = byte, prefix = ' ';
    MapPdfDocChar(&b, &prefix);
    uint8_t out[4];
    int n = 0;
    if (prefix == '(') {
      const uint8_t sign[4] = {'(', b, 'M', ')'};
      for (int i = 0; i < 4; ++i) {
        if (i == 2 && b != 'T') continue;
        WriteBytes(&sign[i], 1);
      }
      return;
    }
    if (prefix == 0x0E) {
      out[n++] = 'f';
      out[n++] = 'f';
    } else if (prefix != ' ') {
      out[n++] = prefix;
    }
    out[n++] = b;
    if (n == 2 && IsSjisLeadByte(out[0])) {
      WriteBytes(out, 2);
      return;
    }
    for (int i = 0; i < n; ++i) WriteBytes(&out[i], 1);
    return;
  }
  if (byte < 0x20) byte = ' ';
  if (r_.doc.m_bAsciiFixed) byte = CQelDoc::FoldLatin1Char(byte);
  WriteBytes(&byte, 1);
}

void PdfContent::WriteBytes(const uint8_t* bytes, int n) {
  const int lastLine = r_.rows - 4;
  // A double-byte character is never split at the canvas edge.
  if (column_ + n > 510) {
    lineFull_ = true;
    return;
  }
  // Text drawn a second time over itself (a bold effect) is not written again.
  bool same = true;
  for (int i = 0; i < n; ++i) same = same && r_.GetCell(column_ + i, line_) == bytes[i];
  // A blank never moves text aside: over a character it is not written. A cell that
  // holds a blank is free for a character, so a word is never split by a blank drawn
  // on its own where one of its glyphs falls.
  if (n == 1 && bytes[0] == ' ' && !r_.IsEmpty(column_, line_)) same = true;
  if (!same) {
    auto free = [&](int col, int ln) {
      for (int i = 0; i < n; ++i) {
        if (!r_.IsEmpty(col + i, ln) && r_.GetCell(col + i, ln) != ' ') return false;
      }
      return true;
    };
    if (!free(column_, line_)) {
      if (vertical_ || rotated_) {
        for (int k = 0; k < 20 && line_ < lastLine && !free(column_, line_); ++k) ++line_;
      } else if (r_.doc.Convert().m_nPdfWordGap < 8) {
        for (int k = 0; k < 20 && column_ + n <= 489 && !free(column_, line_); ++k) ++column_;
      }
    }
    for (int i = 0; i < n; ++i) r_.SetCell(column_ + i, line_, bytes[i]);
    if (IsSjisLeadByte(bytes[0]) && n == 2) ++pageDoubleBytes_;
  }
  column_ += n;
  // Turned or vertical text: each double-byte character on the next line; single
  // bytes (Latin words) stay together across the line.
  if (n == 2 && (rotated_ || vertical_)) {
    column_ = std::max(column_ - n, 0);
    line_ = std::min(line_ + 1, lastLine);
  }
  r_.highestLine = std::max(r_.highestLine, line_);
}
