// One stored workbook string (the BIFF8 Unicode string: a 16-bit character count, a
// flags byte, formatting runs and a phonetic block) at m_nRawPos, read across the
// continuation records that split it: the walk has rewritten their headers to
// 3C 00 20 20, and in character data each is followed by a flags byte giving the
// width of the characters after it. The text is converted to Shift-JIS, cleaned for
// the table (tab and vertical tab to a blank, line feed to the in-cell break 0x0B,
// byte 2 blanks the rest) and cut to nMaxBytes (at most 498) on a character boundary.
// Every read goes through one cursor bounded by m_nRawLen.
#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "app/QelDoc.h"
#include "base/ByteCursor.h"
#include "convert/ConvertState.h"
#include "convert/office/OfficeState.h"
#include "convert/office/xls/BiffRecord.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxChars = 32767;        // the longest string a cell can hold
constexpr int64_t kMaxPhonetic = 25600;
constexpr int kResultBytes = 498;
// The flags byte: 16-bit characters, a phonetic block, formatting runs; no string sets the others.
constexpr unsigned kFlagWide = 1, kFlagPhonetic = 4, kFlagRuns = 8, kFlagsUnknown = 0xF2;

// The header of a stored string: character count, flags, run count, phonetic block size.
struct StringHeader {
  unsigned length = 0;
  unsigned flags = 0;
  unsigned runs = 0;
  int64_t phonetic = 0;
};

// The string's text as it is read: each character straight to Shift-JIS, cleaned,
// with the widest line, until a NUL or the byte limit, after which the characters
// are only passed.
class RecordText {
 public:
  explicit RecordText(int maxBytes) : cap_(std::clamp(maxBytes, 0, kResultBytes)) {}
  bool Stopped() const { return stopped_; }
  void Put(char16_t ch);
  // Printable ASCII, the usual character, is kept as it is.
  void PutPlain(char16_t ch) {
    if (ch >= 0x20 && ch < 0x80 && !blanked_ && n_ < cap_) {
      text_[static_cast<size_t>(n_++)] = static_cast<unsigned char>(ch);
      ++line_;
    } else {
      Put(ch);
    }
  }
  // The characters of a string that lies whole inside its record.
  void PutWhole(std::span<const uint8_t> chars, bool wide);
  // A lone 8-bit U+00D7: the full-width times sign.
  void PutTimesSign();
  // Widest line, text and code into the document's text-record result.
  void Store(CQelDoc& doc, int code);
  int Size() const { return n_; }

 private:
  int cap_;
  int n_ = 0;
  int line_ = 0;
  int widest_ = 0;
  bool blanked_ = false;
  bool stopped_ = false;
  std::array<unsigned char, kResultBytes + 2> text_;
};

void RecordText::Put(char16_t ch) {
  char out[2];
  int w = 1;
  if (ch < 0x80) {
    out[0] = static_cast<char>(ch);
  } else if (ch < 0x100) {
    out[0] = static_cast<char>(CQelDoc::FoldLatin1Char(static_cast<unsigned char>(ch)));
  } else {
    w = plat::WideCharToCp932(ch, out);
  }
  if (w == 1) {
    char& c = out[0];
    if (c == 2) blanked_ = true;
    if (blanked_ || c == '\t' || c == 11 || (c > 0 && c < 0x20 && c != '\n')) c = ' ';
    if (c == '\n') {
      c = 11;
      widest_ = std::max(widest_, line_);
      line_ = -1;
    }
    if (c == '\0') {
      stopped_ = true;
      return;
    }
  } else if (blanked_) {
    out[0] = out[1] = ' ';
  }
  if (n_ + w > cap_) {
    stopped_ = true;
    return;
  }
  for (int k = 0; k < w; ++k) text_[static_cast<size_t>(n_++)] = static_cast<unsigned char>(out[k]);
  line_ += w;
}

void RecordText::PutWhole(std::span<const uint8_t> chars, bool wide) {
  if (!wide) {
    for (size_t i = 0; i < chars.size() && !stopped_; ++i) PutPlain(chars[i]);
    return;
  }
  const ByteCursor pairs(chars);
  for (size_t i = 0; i + 1 < chars.size() && !stopped_; i += 2) PutPlain(pairs.PeekU16LE(static_cast<int64_t>(i)));
}

void RecordText::PutTimesSign() {
  n_ = 0;
  line_ = 0;
  widest_ = 0;
  if (cap_ >= 2) {
    text_[0] = 0x81;
    text_[1] = 0x7E;
    n_ = line_ = 2;
  }
}

void RecordText::Store(CQelDoc& doc, int code) {
  widest_ = std::max(widest_, line_);
  doc.Office().m_abRecordText[0] = static_cast<unsigned char>(std::min(widest_, 255));
  std::memcpy(&doc.Office().m_abRecordText[1], text_.data(), static_cast<size_t>(n_));
  doc.Office().m_abRecordText[1 + n_] = 0;
  doc.Office().m_nRecordTextCode = code;
}

// The header after any continuation header before it; false when it is cut.
bool ReadHeader(ByteCursor& in, StringHeader& h) {
  in.PassMark(kBiffContinuedMark);
  h.length = in.U16LE();
  h.flags = in.U8();
  if (in.Failed()) return false;
  if (h.length == 0 && h.flags == 0) return true;
  if (h.length > kMaxChars || (h.flags & kFlagsUnknown) != 0) return false;  // not a string's header
  h.runs = h.flags & kFlagRuns ? in.U16LE() : 0;
  h.phonetic = h.flags & kFlagPhonetic ? static_cast<int64_t>(in.U32LE()) : 0;
  return h.phonetic <= kMaxPhonetic;
}

// The characters of a string that continuation records split, each checked for a
// continuation header followed by a flags byte (0 or 1) that gives the width of the
// characters after it. Returns whether any part was 16-bit; first is the first character.
bool ReadSplit(ByteCursor& in, const StringHeader& h, RecordText& text, char16_t& first) {
  bool wide = h.flags & kFlagWide;
  bool anyWide = wide;
  for (unsigned i = 0; i < h.length && in.Ok(); ++i) {
    const int64_t at = in.Pos();
    if (in.MarkAt(at, kBiffContinuedMark) && in.Inside(at + 4) && in.PeekU8(at + 4) <= 1) {
      in.Skip(4);
      wide = in.U8() & kFlagWide;
      anyWide = anyWide || wide;
    }
    const char16_t ch = wide ? in.U16LE() : in.U8();
    if (i == 0) first = ch;
    if (!text.Stopped() && in.Ok()) text.PutPlain(ch);
  }
  return anyWide;
}

}  // namespace

int CQelDoc::ReadOfficeRecordText(int nMaxBytes, int /*nUnused*/) {
  ConvertState& c = Convert();
  const int64_t limit = std::min<int64_t>(c.m_nRawLen, static_cast<int64_t>(c.m_rawStore.size()));
  Office().m_abRecordText[0] = 0;
  Office().m_abRecordText[1] = 0;
  Office().m_nRecordTextCode = 0;
  if (!c.m_pRawData || c.m_nRawPos < 0 || c.m_nRawPos > std::max<int64_t>(limit, 0)) return -1;
  ByteCursor in(c.m_pRawData, limit);
  in.Seek(c.m_nRawPos);
  StringHeader h;
  const bool header = ReadHeader(in, h);
  c.m_nRawPos = in.Pos();
  if (!header) return -1;
  if (h.length == 0 && h.flags == 0) {
    if (Office().m_nRecordTextState == 1) Office().m_nRecordTextState = -1;
    Office().m_nRecordTextCode = 1;
    return 1;
  }

  RecordText text(nMaxBytes);
  bool anyWide = h.flags & kFlagWide;
  char16_t first = 0;
  // The usual string lies whole inside its record: no continuation header (no 0x3C
  // byte at all) among its character bytes, so they are read without a check each.
  const int64_t need = static_cast<int64_t>(h.length) * (anyWide ? 2 : 1);
  const std::span<const uint8_t> whole = in.Has(need) ? in.PeekBytes(in.Pos(), need) : std::span<const uint8_t>();
  if (in.Has(need) && (need == 0 || !std::memchr(whole.data(), kBiffContinue, whole.size()))) {
    if (h.length > 0) first = anyWide ? ByteCursor(whole).PeekU16LE(0) : whole[0];
    text.PutWhole(whole, anyWide);
    in.Skip(need);
  } else {
    anyWide = ReadSplit(in, h, text, first);
  }
  // A continuation header before the runs is followed by the pair 1, 0.
  const int64_t after = in.Pos();
  if (in.Has(6) && in.MarkAt(after, kBiffContinuedMark) && in.PeekU16LE(after + 4) == 1) in.Skip(4);
  in.SkipContinued(static_cast<int64_t>(h.runs) * 4, kBiffContinuedMark);
  in.SkipContinued(h.phonetic, kBiffContinuedMark);
  c.m_nRawPos = in.Pos();
  if (in.Failed()) return -1;

  const bool loneTimes = !anyWide && h.length == 1 && first == 0xD7 && !m_bAsciiFixed;
  if (loneTimes) text.PutTimesSign();
  text.Store(*this, loneTimes ? 1002 : anyWide ? text.Size() + 1 : 1000 + text.Size());
  return 1;
}
