// Text in UTF-8, EUC-JP or ISO-2022-JP turned into Shift-JIS one character at a
// time. Bad data: a byte that starts no convertible character (malformed, cut by
// the end, or without a Shift-JIS character) becomes '?', and reading goes on at
// the next byte; each such '?' is counted for the note that says so.
#include "convert/ConvertState.h"
#include "convert/charmap/TextDecode.h"

#include "app/QelDoc.h"
#include "convert/charmap/CharMode.h"
#include "platform/text/CodePage.h"

namespace {

unsigned char At(std::string_view bytes, size_t i) {
  return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
}

// Appends the scratch's character pair; false when the conversion left nothing. A
// lone '?' there stands for a character without a Shift-JIS code, and is counted.
bool AppendScratch(const CQelDoc& doc, std::string& out, size_t& replaced) {
  const char* s = doc.Convert().m_szSjisScratch.data();
  if (s[0] == 0) return false;
  out += s[0];
  if (s[1] != 0) out += s[1];
  if (s[0] == '?' && s[1] == 0) ++replaced;
  return true;
}

std::string FromUtf8(CQelDoc& doc, std::string_view in, size_t& replaced) {
  std::string out;
  out.reserve(in.size());
  size_t i = in.size() >= 3 && in.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (i < in.size()) {
    const unsigned char b = At(in, i);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    int more = b >= 0xC0 ? doc.ConvertCharToSjis(b, At(in, i + 1), At(in, i + 2), kCharUtf8, 0) : 0;
    // The conversion sees three bytes: the fourth of a four-byte sequence is checked here.
    if (more == 3 && (At(in, i + 3) & 0xC0) != 0x80) more = 0;
    if (more > 0 && i + more < in.size() && AppendScratch(doc, out, replaced)) {
      i += 1 + more;
    } else {
      out += '?';
      ++replaced;
      ++i;
    }
  }
  return out;
}

std::string FromEuc(CQelDoc& doc, std::string_view in, size_t& replaced) {
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const unsigned char b = At(in, i);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
    } else if (b == 0x8E && At(in, i + 1) >= 0xA1 && At(in, i + 1) <= 0xDF) {
      out += static_cast<char>(At(in, i + 1));  // half-width katakana
      i += 2;
    } else if (b == 0x8F && i + 2 < in.size()) {
      out += '?';  // JIS X 0212 has no Shift-JIS codes
      ++replaced;
      i += 3;
    } else if (i + 1 < in.size() && doc.ConvertCharToSjis(b, At(in, i + 1), 0, kCharEuc, 0) == 1 && AppendScratch(doc, out, replaced)) {
      i += 2;
    } else {
      out += '?';
      ++replaced;
      ++i;
    }
  }
  return out;
}

std::string FromJis(CQelDoc& doc, std::string_view in, size_t& replaced) {
  enum { kAscii, kKanji, kKana } state = kAscii;
  bool shiftOut = false;  // SO: 7-bit half-width katakana
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const unsigned char b = At(in, i);
    if (b == 0x1B) {
      const unsigned char c1 = At(in, i + 1);
      const unsigned char c2 = At(in, i + 2);
      if (c1 == '$' && (c2 == 'B' || c2 == '@')) {
        state = kKanji;
      } else if (c1 == '(' && (c2 == 'B' || c2 == 'J' || c2 == 'H')) {
        state = kAscii;
      } else if (c1 == '(' && c2 == 'I') {
        state = kKana;
      } else {
        out += static_cast<char>(b);
        ++i;
        continue;
      }
      i += 3;
    } else if (b == 0x0E || b == 0x0F) {
      shiftOut = b == 0x0E;
      ++i;
    } else if (b < 0x21 || b >= 0x7F) {
      out += static_cast<char>(b);  // controls and line ends pass in every state
      ++i;
    } else if (shiftOut || state == kKana) {
      out += static_cast<char>(b <= 0x5F ? b + 0x80 : '?');
      if (b > 0x5F) ++replaced;
      ++i;
    } else if (state == kKanji) {
      const unsigned char b1 = At(in, i + 1);
      if (b1 < 0x21 || b1 >= 0x7F) {
        out += '?';  // a cut pair: the line end or escape after it keeps its meaning
        ++replaced;
        ++i;
      } else if (doc.ConvertCharToSjis(b, b1, 0, kCharJis, 0) == 1 && AppendScratch(doc, out, replaced)) {
        i += 2;
      } else {
        out += '?';
        ++replaced;
        i += 2;
      }
    } else {
      out += static_cast<char>(b);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string DecodeTextCounting(CQelDoc& doc, std::string_view bytes, int form, size_t& replaced) {
  replaced = 0;
  switch (form) {
    case kTextUtf8: return FromUtf8(doc, bytes, replaced);
    case kTextEuc: return FromEuc(doc, bytes, replaced);
    case kTextJis: return FromJis(doc, bytes, replaced);
    default: return std::string(bytes);
  }
}

std::string CQelDoc::DecodeTextToSjis(std::string_view bytes, int form) {
  size_t replaced = 0;
  return DecodeTextCounting(*this, bytes, form, replaced);
}
