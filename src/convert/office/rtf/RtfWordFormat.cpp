// RTF as plain display text, in one pass over the bytes: the word-format filter of
// .rtf files and of Word files that hold RTF. It follows braces and a fixed set of
// control words, lays table rows out at the column stops of their \cellx words and
// drops everything else; it is not a general RTF reader. Reads stop at the end of
// the data (or a 0 or 1A byte); writes stop two bytes before the output volume.
// Text runs that open with a character-set word ({\loch, {\hich, {\dbch) are text;
// \uN characters are written in Shift-JIS with their fallback skipped, so RTF from
// writers that keep Japanese in \u words reads as Japanese, not as "?"; escaped
// bytes of a Western code page (\ansicpg other than 932) are folded to ASCII.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/QelDoc.h"
#include "base/AsciiCase.h"
#include "base/ConvertStatus.h"
#include "convert/ConvertState.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kMaxStops = 20;
constexpr int kLineCap = 1000;  // a table line stops growing here
constexpr int kLineWrap = 500;  // the line counter restarts past this

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One pass of the filter over data[start, end).
class RtfPass {
 public:
  RtfPass(CQelDoc& doc, const uint8_t* data, int64_t start, int64_t end)
      : doc_(doc), d_(data), pos_(start), end_(end), out_(doc.ConvWriter()), passStart_(doc.m_nConvPos) {
    for (int k = 0; k < kMaxStops; ++k) stops_[k] = static_cast<uint8_t>(k * 10);
    limit_ = doc.m_nOutDataLimit - 2;
  }

  void Text();
  void Source(int displayForm);

 private:
  uint8_t At(int64_t i) const { return i >= 0 && i < end_ ? d_[i] : 0; }
  bool Word(int64_t at, const char* w) const {
    const size_t n = std::strlen(w);
    for (size_t k = 0; k < n; ++k)
      if (At(at + static_cast<int64_t>(k)) != static_cast<uint8_t>(w[k])) return false;
    return true;
  }
  bool Room() const { return doc_.m_nConvPos < limit_; }
  bool InRow() const { return colIndex_ >= 1; }
  void Emit(uint8_t c) {
    if (Room()) out_.Put(static_cast<char>(c));
  }
  void EmitCounted(uint8_t c) {
    Emit(c);
    if (InRow()) Count(1);
  }
  void Count(int n) {
    line_ += n;
    if (line_ > kLineWrap && line_ < kLineCap) line_ = 0;
  }
  bool Writing() const { return text_ == 1 && skip_ == 0; }
  void SetText() {
    if (skip_ == 0) text_ = 1;
  }
  // Steps over a control word's letters, its parameter and one delimiting blank.
  // Returns the parameter as the filter reads it: at least two digits, else 0.
  int StepWord(int64_t& i) {
    while (IsAsciiLetter(At(i))) ++i;
    bool negative = false;
    if (At(i) == '-') {
      negative = true;
      ++i;
    }
    int digits = 0;
    int64_t value = 0;
    while (IsDigit(At(i))) {
      if (value < 100000000) value = value * 10 + (At(i) - '0');
      ++digits;
      ++i;
    }
    if (At(i) == ' ') ++i;
    rawParam_ = negative ? -value : value;
    return negative || digits < 2 ? 0 : static_cast<int>(value);
  }
  static uint8_t ColumnValue(int n) { return static_cast<uint8_t>(std::min(n / 880 + 1, 250)); }
  void CellGap();
  void Cell();
  void ControlWord(int64_t& i);
  bool BreakWord(int64_t w, int64_t& i);
  bool TableWord(int64_t w, int64_t& i);
  bool MarkWord(int64_t w, int64_t& i);
  bool CharsetWord(int64_t w, int64_t& i);
  void PassWord(int64_t w, int64_t& i);
  void Unicode(int64_t& i);

  CQelDoc& doc_;
  const uint8_t* d_;
  int64_t pos_;
  int64_t end_;
  DisplayWriter out_;
  int passStart_;
  int limit_ = 0;

  int depth_ = 0;
  int skip_ = 0;
  int text_ = 0;
  int charset_ = 0;
  int dbcs_ = 0;
  int colIndex_ = 0;
  int nextStop_ = 0;
  int inCell_ = 0;
  int line_ = 0;
  int unicodeSkip_ = 1;
  int codePage_ = 0;  // \ansicpg: escaped bytes of another code page are Latin, folded
  int64_t rawParam_ = 0;
  std::array<uint8_t, kMaxStops> stops_{};
};

// Blanks to the next column stop (at least one), the last one "|" with rules on.
void RtfPass::CellGap() {
  nextStop_ = std::min(nextStop_, kMaxStops - 1);
  const int stop = stops_[nextStop_];
  if (nextStop_ < kMaxStops - 1) ++nextStop_;
  const int blanks = std::max(stop - line_, 1);
  for (int k = 0; k < blanks; ++k) {
    Emit(k == blanks - 1 && doc_.m_bVerticalRules == 1 ? '|' : ' ');
  }
  line_ = std::max(stop, line_ + 1);
}

void RtfPass::Cell() {
  if (colIndex_ >= 1 || line_ >= kLineCap) {
    CellGap();
  } else {
    Emit('\t');
  }
}

// \uN: the character in Shift-JIS, then the fallback characters stepped over.
void RtfPass::Unicode(int64_t& i) {
  ++i;  // 'u'
  StepWord(i);
  int64_t v = rawParam_;
  if (v < 0) v += 65536;
  if (Writing() && v > 0 && v < 65536) {
    char sjis[2];
    const int n = plat::WideCharToCp932(static_cast<char16_t>(v), sjis);
    for (int k = 0; k < n; ++k) EmitCounted(static_cast<uint8_t>(sjis[k]));
  }
  // The fallback: unicodeSkip_ characters, an escape \'hh counting as one.
  for (int k = 0; k < unicodeSkip_ && i < end_; ++k) {
    const uint8_t c = At(i);
    if (c == '{' || c == '}') break;
    if (c == '\\' && At(i + 1) == '\'') {
      i += 4;
    } else if (c == '\\') {
      break;
    } else {
      ++i;
    }
  }
}

// A control word; i stands on the byte after the backslash and ends past the word.
void RtfPass::ControlWord(int64_t& i) {
  const int64_t w = i;
  if (BreakWord(w, i) || TableWord(w, i) || MarkWord(w, i) || CharsetWord(w, i)) return;
  PassWord(w, i);
}

// Paragraph, page and section breaks and tabs.
bool RtfPass::BreakWord(int64_t w, int64_t& i) {
  if (Word(w, "pard")) {
    StepWord(i);
  } else if (Word(w, "par") && At(w + 3) != 'a' && !IsAsciiLetter(At(w + 3))) {
    StepWord(i);
    if (!inCell_) {
      Emit('\r');
      Emit('\n');
    }
    line_ = 0;
  } else if (Word(w, "page") && !IsAsciiLetter(At(w + 4))) {
    StepWord(i);
    if (Room()) out_.Append("\r\n<page>\r\n");
    inCell_ = 0;
  } else if (Word(w, "sect") && !IsAsciiLetter(At(w + 4))) {
    StepWord(i);
    if (Room()) out_.Append("\r\n<Section>\r\n");
    inCell_ = 0;
  } else if (Word(w, "tab") && !IsAsciiLetter(At(w + 3))) {
    StepWord(i);
    Emit('\t');
  } else {
    return false;
  }
  return true;
}

// Table rows: their column stops, cells and ends.
bool RtfPass::TableWord(int64_t w, int64_t& i) {
  if (Word(w, "trowd")) {
    StepWord(i);
    stops_[0] = 0;
    inCell_ = 1;
    colIndex_ = 1;
    nextStop_ = 1;
    line_ = 0;
  } else if (Word(w, "trleft")) {
    stops_[0] = ColumnValue(StepWord(i));
  } else if (Word(w, "cellx")) {
    const int n = StepWord(i);
    if (colIndex_ >= 1 && colIndex_ <= kMaxStops - 1) {
      stops_[colIndex_] = ColumnValue(n);
      ++colIndex_;
    }
  } else if (Word(w, "cell") && !IsAsciiLetter(At(w + 4))) {
    StepWord(i);
    Cell();
  } else if (Word(w, "intbl")) {
    StepWord(i);
    if (colIndex_ == 1) colIndex_ = 2;
    if (InRow() && stops_[0] > 1 && stops_[0] > line_) {
      for (int k = 0; k < stops_[0]; ++k) Emit(k == stops_[0] - 1 && doc_.m_bVerticalRules == 1 ? '|' : ' ');
      line_ = stops_[0];
    }
    inCell_ = 1;
  } else if (Word(w, "row") && !IsAsciiLetter(At(w + 3))) {
    StepWord(i);
    if (line_ < kLineCap) {
      Emit('\r');
      Emit('\n');
    }
    nextStop_ = 1;
    inCell_ = 0;
    line_ = 0;
    colIndex_ = colIndex_ > 1 ? 1 : 0;
  } else {
    return false;
  }
  return true;
}

// Quotes, picture marks and the line-spacing take-back.
bool RtfPass::MarkWord(int64_t w, int64_t& i) {
  if (Word(w, "rdblq")) {
    StepWord(i);
    EmitCounted('"');
  } else if (Word(w, "pict") && !IsAsciiLetter(At(w + 4))) {
    StepWord(i);
    if (skip_ == 0) {
      Emit(0x81);
      Emit(0xA0);
    }
  } else if (Word(w, "sl-") && At(w + 3) >= '0' && At(w + 3) <= '3' && (IsDigit(At(w + 4)) || At(w + 4) == '\\')) {
    StepWord(i);
    if (line_ >= 1 && line_ <= 49) {
      // Taken back, never before the start of this pass.
      out_.SetPos(std::max(doc_.m_nConvPos - line_, passStart_));
    }
    if (line_ < 50) line_ = kLineCap;
  } else {
    return false;
  }
  return true;
}

// Character-set and text switches, Unicode characters.
bool RtfPass::CharsetWord(int64_t w, int64_t& i) {
  auto plain = [&](int mode) {
    charset_ = mode;
    StepWord(i);
  };
  if (Word(w, "plain")) {
    plain(1);
    depth_ = 1;
  } else if (Word(w, "loch") || Word(w, "dbch") || Word(w, "hich")) {
    const bool opensRun = At(w - 2) == '{';
    plain(At(w) == 'l' ? 1 : At(w) == 'd' ? 2 : 3);
    if (opensRun) SetText();
  } else if (Word(w, "ansicpg")) {
    StepWord(i);
    codePage_ = static_cast<int>(rawParam_);
  } else if (Word(w, "insrsid") || Word(w, "charrsid")) {
    plain(1);
    SetText();
  } else if (Word(w, "fs") && IsDigit(At(w + 2))) {
    plain(4);
    SetText();
  } else if ((Word(w, "f") && IsDigit(At(w + 1))) || (Word(w, "af") && IsDigit(At(w + 2))) ||
             (Word(w, "cf") && IsDigit(At(w + 2))) || (Word(w, "uc") && IsDigit(At(w + 2)))) {
    const bool font = At(w) == 'f';
    const bool uc = At(w) == 'u';
    StepWord(i);
    if (uc) unicodeSkip_ = static_cast<int>(std::clamp<int64_t>(rawParam_, 0, 8));
    if (font) charset_ = 4;
    if (At(w - 2) != '{') SetText();
  } else if (Word(w, "u") && (IsDigit(At(w + 1)) || At(w + 1) == '-')) {
    Unicode(i);
  } else {
    return false;
  }
  return true;
}

// Destinations whose text is skipped, style words passed up to their ';', and any
// other word passed with its parameter.
void RtfPass::PassWord(int64_t w, int64_t& i) {
  if (Word(w, "fontt") || Word(w, "style") || Word(w, "lchar") || Word(w, "nonshppict")) {
    StepWord(i);
    text_ = 0;
    skip_ = depth_;
  } else if (Word(w, "snext") || Word(w, "sbasedon") || Word(w, "sautoupd") || Word(w, "level")) {
    while (i < end_) {
      const uint8_t c = At(i);
      if (c == ';') {
        ++i;
        break;
      }
      if (c == '{' || c == '}' || c == '\\' || c == 0) break;
      ++i;
    }
  } else {
    // Any other word: its letters (and parameter) up to a blank, a break or a brace.
    while (i < end_) {
      const uint8_t c = At(i);
      if (c >= 0x80 || c == ' ' || c == '\r' || c == '\\' || c == '{' || c == '}' || c == 0) break;
      ++i;
    }
    if (At(i) == ' ') {
      ++i;
    } else if (At(i) == '\r' && At(i + 1) == '\n') {
      i += 2;
    } else if (At(i) == '\n') {
      ++i;
    }
  }
}

void RtfPass::Text() {
  int64_t i = pos_;
  while (i < end_ && Room()) {
    const uint8_t b = d_[i];
    if (b == 0 || b == 0x1A) break;
    dbcs_ = dbcs_ == 1 ? 2 : (b > 0x80 ? 1 : 0);
    if (dbcs_ == 2) {
      if (Writing()) EmitCounted(b);
      ++i;
      continue;
    }
    if (b == '{') {
      ++depth_;
      if (depth_ > 1) {
        text_ = 0;
        charset_ = 0;
      }
      ++i;
    } else if (b == '}') {
      depth_ = std::max(depth_ - 1, 0);
      if (depth_ < skip_) skip_ = 0;
      text_ = 0;
      if (depth_ < 2 && skip_ == 0) {
        text_ = 1;
        if (charset_ == 0) charset_ = 1;
      }
      ++i;
    } else if (b == 0xFF) {
      i += 2;
    } else if (b == '\\') {
      const uint8_t c = At(i + 1);
      if (c == '\\' || c == '{' || c == '}') {
        if (Writing()) EmitCounted(c);
        i += 2;
      } else if (c == '\'') {
        const int hi = HexValue(At(i + 2));
        const int lo = HexValue(At(i + 3));
        i += std::min<int64_t>(4, end_ - i);
        if (Writing() && hi >= 0 && lo >= 0) {
          const auto v = static_cast<uint8_t>(hi * 16 + lo);
          EmitCounted(codePage_ != 0 && codePage_ != 932 && v >= 0x80 ? CQelDoc::FoldLatin1Char(v) : v);
          const uint8_t next = At(i);
          if (next > ' ' && next != '\\' && next != '{' && next != '}') {
            EmitCounted(next);
            ++i;
          }
        }
        dbcs_ = 0;
      } else {
        ++i;
        ControlWord(i);
      }
    } else {
      if (Writing() && b != '\r' && b != '\n' && line_ < kLineCap) EmitCounted(b);
      ++i;
    }
  }
}

void RtfPass::Source(int displayForm) {
  if (displayForm == 2) out_.Append("*\r\n");
  int64_t i = pos_;
  bool afterLead = false;
  int noBreakUntil = -1;
  while (i < end_ && Room()) {
    const uint8_t b = d_[i];
    if (b == 0 || b == 0x1A) break;
    if (doc_.m_bVerticalRules == 1 && b == '\\' && At(i + 1) == '\'') {
      const int hi = HexValue(At(i + 2));
      const int lo = HexValue(At(i + 3));
      if (hi >= 0 && lo >= 0) {
        const auto v = static_cast<uint8_t>(hi * 16 + lo);
        const bool lead = (v >= 0x81 && v <= 0x9F) || (v >= 0xE0 && v <= 0xEF) || (v >= 0xFA && v <= 0xFC);
        if (afterLead || lead || (v >= 0xA0 && v <= 0xDF)) {
          Emit(v);
          afterLead = !afterLead && lead;
          i += 4;
          continue;
        }
      }
    }
    afterLead = false;
    if (doc_.m_bShiftDown == 1) {
      if (Word(i, "\\highlight1\\") || Word(i, "\\highlight0")) {
        if (Word(i, "\\highlight1\\")) {
          Emit('\r');
          Emit('\n');
        }
        noBreakUntil = static_cast<int>(std::min<int64_t>(i + 20, INT32_MAX));
      } else if (Word(i, "\\fs2 ") && i >= noBreakUntil) {
        Emit('\r');
        Emit('\n');
      }
    }
    Emit(b);
    ++i;
  }
}

}  // namespace

void CQelDoc::DumpRtfWordFormat(int64_t start, bool embedded) {
  if (!Convert().m_pRawData) return;
  const int64_t end = std::min<int64_t>(Convert().m_nRawLen, static_cast<int64_t>(Convert().m_rawStore.size()));
  RtfPass pass(*this, Convert().m_pRawData, std::clamp<int64_t>(start, 0, std::max<int64_t>(end, 0)), end);
  if (m_nDisplayForm >= 2) {
    pass.Source(m_nDisplayForm);
    return;
  }
  if (embedded) ConvAppend("##word format##\n");
  pass.Text();
}

ConvertStatus CQelDoc::DumpRtfText(DumpCall&) {
  DumpRtfWordFormat(0, false);
  return ConvertStatus::Ok();
}
