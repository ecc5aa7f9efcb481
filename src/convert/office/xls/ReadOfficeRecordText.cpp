// One stored workbook string (the BIFF8 Unicode string: a 16-bit character count, a
// flags byte, formatting runs and a phonetic block) at m_nRawPos, read across the
// continuation records that split it: the walk has rewritten their headers to
// 3C 00 20 20, and in character data each is followed by a flags byte giving the
// width of the characters after it. The text is converted to Shift-JIS, cleaned for
// the table (tab and vertical tab to a blank, line feed to the in-cell break 0x0B,
// byte 2 blanks the rest) and cut to nMaxBytes (at most 498) on a character boundary.
// Every read is bounded by m_nRawLen.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxChars = 32767;        // the longest string a cell can hold
constexpr int64_t kMaxPhonetic = 25600;
constexpr int kResultBytes = 498;

}  // namespace

int CQelDoc::ReadOfficeRecordText(int nMaxBytes, int /*nUnused*/) {
  const int64_t limit = std::min<int64_t>(m_nRawLen, static_cast<int64_t>(m_rawStore.size()));
  bool over = false;
  auto headerAt = [&](int64_t p) {
    return p >= 0 && p + 4 <= limit && m_pRawData[p] == 0x3C && m_pRawData[p + 1] == 0 && m_pRawData[p + 2] == 0x20 &&
           m_pRawData[p + 3] == 0x20;
  };
  auto get = [&]() -> unsigned {
    if (m_nRawPos < 0 || m_nRawPos >= limit) {
      over = true;
      return 0;
    }
    return m_pRawData[m_nRawPos++];
  };
  // Passes n bytes that may be split by continuation headers (runs, phonetic data).
  auto pass = [&](int64_t n) {
    for (int64_t i = 0; i < n && !over; ++i) {
      if (headerAt(m_nRawPos)) m_nRawPos += 4;
      get();
    }
  };

  m_abRecordText[0] = 0;
  m_abRecordText[1] = 0;
  m_nRecordTextCode = 0;
  if (!m_pRawData) return -1;
  if (headerAt(m_nRawPos)) m_nRawPos += 4;
  const unsigned length = get() | get() << 8;
  const unsigned flags = get();
  if (over) return -1;
  if (length == 0 && flags == 0) {
    if (m_nRecordTextState == 1) m_nRecordTextState = -1;
    m_nRecordTextCode = 1;
    return 1;
  }
  if (length > kMaxChars || (flags & 0xF2) != 0) return -1;  // not a string's header
  const unsigned runs = flags & 8 ? (get() | get() << 8) : 0;
  const int64_t phonetic = flags & 4 ? static_cast<int64_t>(get() | get() << 8 | get() << 16 | get() << 24) : 0;
  if (phonetic > kMaxPhonetic) return -1;

  bool wide = flags & 1;
  bool anyWide = wide;
  // Each character goes straight to Shift-JIS, cleaned, with the widest line: until
  // a NUL or the byte limit, after which the characters are only passed.
  const int cap = std::clamp(nMaxBytes, 0, kResultBytes);
  int n = 0;
  int line = 0;
  int widest = 0;
  bool blanked = false;
  bool stopped = false;
  std::array<unsigned char, kResultBytes + 2> text;
  auto put = [&](char16_t ch) {
    char out[2];
    int w = 1;
    if (ch < 0x80) {
      out[0] = static_cast<char>(ch);
    } else if (ch < 0x100) {
      out[0] = static_cast<char>(FoldLatin1Char(static_cast<unsigned char>(ch)));
    } else {
      w = plat::WideCharToCp932(ch, out);
    }
    if (w == 1) {
      char& c = out[0];
      if (c == 2) blanked = true;
      if (blanked || c == '\t' || c == 11 || (c > 0 && c < 0x20 && c != '\n')) c = ' ';
      if (c == '\n') {
        c = 11;
        widest = std::max(widest, line);
        line = -1;
      }
      if (c == '\0') {
        stopped = true;
        return;
      }
    } else if (blanked) {
      out[0] = out[1] = ' ';
    }
    if (n + w > cap) {
      stopped = true;
      return;
    }
    for (int k = 0; k < w; ++k) text[static_cast<size_t>(n++)] = static_cast<unsigned char>(out[k]);
    line += w;
  };
  // Printable ASCII, the usual character, is kept as it is.
  auto putPlain = [&](char16_t ch) {
    if (ch >= 0x20 && ch < 0x80 && !blanked && n < cap) {
      text[static_cast<size_t>(n++)] = static_cast<unsigned char>(ch);
      ++line;
    } else {
      put(ch);
    }
  };
  char16_t first = 0;
  // The usual string lies whole inside its record: no continuation header (no 0x3C
  // byte at all) among its character bytes, so they are read without a check each.
  const int64_t need = static_cast<int64_t>(length) * (wide ? 2 : 1);
  const unsigned char* at = m_nRawPos >= 0 && m_nRawPos + need <= limit ? m_pRawData + m_nRawPos : nullptr;
  if (at && (need == 0 || !std::memchr(at, 0x3C, static_cast<size_t>(need)))) {
    const ByteCursor bytes(at, need);
    if (length > 0) first = wide ? bytes.PeekU16LE(0) : bytes.PeekU8(0);
    // need bytes lie at `at` (checked above); printable ASCII is taken from its low
    // byte, the rest goes through the conversion.
    if (wide) {
      for (unsigned i = 0; i < length && !stopped; ++i) {
        const uint8_t low = at[2 * static_cast<size_t>(i)], high = at[2 * static_cast<size_t>(i) + 1];
        if (high == 0 && low >= 0x20 && low < 0x80 && !blanked && n < cap) {
          text[static_cast<size_t>(n++)] = low;
          ++line;
        } else {
          put(bytes.PeekU16LE(2 * static_cast<int64_t>(i)));
        }
      }
    } else {
      for (unsigned i = 0; i < length && !stopped; ++i) putPlain(at[i]);
    }
    m_nRawPos += need;
  } else {
    for (unsigned i = 0; i < length && !over; ++i) {
      if (headerAt(m_nRawPos) && m_nRawPos + 4 < limit && m_pRawData[m_nRawPos + 4] <= 1) {
        m_nRawPos += 4;
        wide = get() & 1;
        anyWide = anyWide || wide;
      }
      const char16_t ch = wide ? static_cast<char16_t>(get() | get() << 8) : static_cast<char16_t>(get());
      if (i == 0) first = ch;
      if (!stopped && !over) putPlain(ch);
    }
  }
  if (headerAt(m_nRawPos) && m_nRawPos + 5 < limit && m_pRawData[m_nRawPos + 4] == 1 && m_pRawData[m_nRawPos + 5] == 0) {
    m_nRawPos += 4;
  }
  pass(static_cast<int64_t>(runs) * 4);
  pass(phonetic);
  if (over) return -1;

  // A lone 8-bit U+00D7 is the full-width times sign.
  const bool loneTimes = !anyWide && length == 1 && first == 0xD7 && !m_bAsciiFixed;
  if (loneTimes) {
    n = 0;
    line = 0;
    widest = 0;
    if (cap >= 2) {
      text[0] = 0x81;
      text[1] = 0x7E;
      n = line = 2;
    }
  }
  widest = std::max(widest, line);
  m_abRecordText[0] = static_cast<unsigned char>(std::min(widest, 255));
  std::memcpy(&m_abRecordText[1], text.data(), static_cast<size_t>(n));
  m_abRecordText[1 + n] = 0;
  m_nRecordTextCode = loneTimes ? 1002 : anyWide ? n + 1 : 1000 + n;
  return 1;
}
