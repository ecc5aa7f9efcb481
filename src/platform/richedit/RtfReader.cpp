// RTF into a rich-text fragment, as the rich-edit control reads it. Reads the words
// the program writes (header, font and colour tables, \pard \li \sb \sa \sl \slmult
// \tx, \plain \cf \highlight \b \i \ul \uld \ulnone \strike \f \fs \up \dn, \par \tab
// \page) and what other writers add (\uN with \ucN fallbacks, \'hh, \cell \row,
// quotes and dashes). Text bytes are in the code page of the font's character set
// (128 CP932; 0 code page 1252; 204 Cyrillic, 161 Greek, 134 and 136 Chinese, 129
// Korean, 238 Central European and the other Windows pages through iconv), else in the
// document's code page (\ansicpg; 1252 after \ansi, else 932). A raw lead byte
// takes the next byte as its trail, even a backslash. A double-byte character takes
// the run's double-byte font (\dbch\afN) and the character set 128, as the control
// keeps Japanese text. A character CP932 has no code of its own for (\uN, a UTF-16
// pair of them, or code page 1252 text) keeps its Unicode value beside its stand-in
// in the text. {\object ...}, {\pict ...} and {\*\shppict ...} (with the
// {\nonshppict ...} after it) become one object character each that keeps its RTF
// verbatim, however large; other {\* ...} groups and the tables, headers and the like
// are skipped. Limits: 256 nested groups (deeper ones keep their text in one shared
// format; their destinations and objects are skipped), numbers
// saturate at 32 bits, an object the input cuts before its end is left out (and
// counted), \bin skips no further than the input's end, 65,000 distinct formats.
#include <algorithm>
#include <array>
#include <map>

#include "base/AsciiCase.h"
#include "platform/text/CodePage.h"
#include "platform/text/ForeignCodePage.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichFormatKey.h"
#include "platform/richedit/RichReserve.h"

namespace plat {

namespace {

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxTableEntries = 4096;
constexpr size_t kMaxFaceBytes = 31;
constexpr uint16_t kMaxFormats = 65000;
constexpr size_t kMaxWordLetters = 32;

enum class Dest { Text, Skip, FontTable, ColourTable };
// Which characters an \af word names the font of: \loch, \hich, \dbch, \rtlch.
enum class Script { Low, High, Double, Complex };

// Destinations whose content is not text.
constexpr std::string_view kSkipped[] = {
    "stylesheet", "info",      "header",    "headerl",     "headerr",   "headerf",     "footer",
    "footerl",    "footerr",   "footerf",    "footnote",  "annotation",  "fldinst",   "themedata",   "datastore",
    "listtable",  "listoverridetable",       "revtbl",    "rsidtbl",     "generator", "filetbl",     "template",
    "nonshppict", "shpinst",   "sp",         "sn",        "sv",          "xmlnstbl",  "latentstyles", "colorschememapping",
    "pn",         "pntxta",    "pntxtb",     "objdata",   "objclass",    "bkmkstart", "bkmkend",     "pgdsctbl",
    "mmathPr",    "userprops", "docvar",     "xe",        "tc",          "atnid",     "atnauthor",   "private",
};

constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct State {
  Dest dest = Dest::Text;
  CharFormat2 cf;
  bool faceSet = false;
  int charset = -1;  // of the font chosen by \f; -1 unknown
  Script script = Script::Low;
  int doubleFont = -1;  // the double-byte font (\dbch\afN); -1 none
  ParaFormat2 pf;
  int sl = 0;
  int slmult = 0;
  int uc = 1;
  size_t groupStart = 0;
  bool fresh = true;    // nothing read yet in this group
  bool starred = false;  // the group opened with \*
};

struct Font {
  int number = -1;
  std::string name;
  int charset = -1;  // -1 when the table names none
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class RtfReader {
 public:
  RtfReader(std::string_view in, const CharFormat2& def, AllocHook* hook) : in_(in), hook_(hook) {
    st_.cf = def;
    st_.cf.yHeight = 240;
    st_.fresh = false;  // outside every group: no \object or \* group opens here
  }

  RichFragment Run() {
    while (pos_ < in_.size() && !done_) Step();
    if (!done_) AddPara();
    return std::move(frag_);
  }

 private:
  void Step() {
    const char c = in_[pos_];
    if (overflow_ > 0) return DeepStep(c);
    switch (c) {
      case '{': OpenGroup(); return;
      case '}': CloseGroup(); return;
      case '\\': Control(); return;
      case '\r':
      case '\n': ++pos_; return;
      default: RawText(); return;
    }
  }

  void OpenGroup() {
    pendingLead_ = -1;
    skip_ = 0;
    if (stack_.size() >= kMaxDepth) {
      deepBase_ = st_;
      overflow_ = 1;
      OpenDeepGroup();
      return;
    }
    stack_.push_back(st_);
    st_.groupStart = pos_;
    st_.fresh = true;
    st_.starred = false;
    ++pos_;
  }

  // Groups nested past the limit keep their text: they share one state, and the one
  // at the limit comes back when the outermost of them closes. A destination, an
  // object or a picture opening there is skipped whole.
  void DeepStep(char c) {
    if (deepSkipFrom_ > 0) {
      if (c == '\\') {
        pos_ += 2;
        return;
      }
      if (c == '{') ++overflow_;
      if (c == '}') CloseDeepGroup();
      ++pos_;
      return;
    }
    switch (c) {
      case '{':
        ++overflow_;
        OpenDeepGroup();
        return;
      case '}':
        CloseDeepGroup();
        ++pos_;
        return;
      case '\\': DeepControl(); return;
      case '\r':
      case '\n': ++pos_; return;
      default: RawText(); return;
    }
  }

  void OpenDeepGroup() {
    pendingLead_ = -1;
    skip_ = 0;
    st_.groupStart = pos_;
    st_.fresh = true;
    st_.starred = false;
    ++pos_;
  }

  void CloseDeepGroup() {
    pendingLead_ = -1;
    skip_ = 0;
    if (overflow_ == deepSkipFrom_) deepSkipFrom_ = 0;
    if (--overflow_ > 0) return;
    st_ = deepBase_;
    formatDirty_ = true;
  }

  void DeepControl() {
    size_t end = pos_ + 1;
    while (end < in_.size() && IsAsciiLetter(in_[end])) ++end;
    const std::string_view word = in_.substr(pos_ + 1, end - pos_ - 1);
    if (st_.fresh && (word == "object" || word == "pict" || word == "shppict")) {
      deepSkipFrom_ = overflow_;
      pos_ = end;
      return;
    }
    const Dest before = st_.dest;
    Control();
    if (st_.dest != before) {
      st_.dest = before;
      deepSkipFrom_ = overflow_;
    }
  }

  void CloseGroup() {
    ++pos_;
    pendingLead_ = -1;
    skip_ = 0;
    if (stack_.empty()) return;
    if (stack_.size() == 1) {
      // The document's own group ends: its paragraph format is the last paragraph's.
      AddPara();
      done_ = true;
      return;
    }
    if (st_.dest == Dest::FontTable && font_.number >= 0 && !font_.name.empty()) FinishFont();
    st_ = stack_.back();
    stack_.pop_back();
    st_.fresh = false;  // a group closed inside it: \object or \pict no longer opens it
    formatDirty_ = true;
  }

  void RawText() {
    const auto b = static_cast<unsigned char>(in_[pos_]);
    st_.fresh = false;
    if (st_.dest == Dest::Text && skip_ > 0) {
      --skip_;
      ++pos_;
      return;
    }
    if (st_.dest == Dest::Text && b != '\t' && TextCodePage() == 932 && IsRichLead(b)) {
      // A raw lead byte takes the next byte as its trail, whatever it is.
      if (pos_ + 1 < in_.size() && IsRichTrail(static_cast<unsigned char>(in_[pos_ + 1]))) {
        pendingLead_ = -1;
        PushPair(b, static_cast<unsigned char>(in_[pos_ + 1]));
        pos_ += 2;
        return;
      }
      ++pos_;
      return;
    }
    ++pos_;
    TextByte(b, false);
  }

  // A byte of text from the input (raw, escaped or \'hh), for the current destination.
  void TextByte(unsigned char b, bool fromHex) {
    switch (st_.dest) {
      case Dest::Skip: return;
      case Dest::FontTable:
        if (b == ';' && !fromHex) {
          FinishFont();
        } else if (font_.name.size() < kMaxFaceBytes && (b >= 0x20 || fromHex)) {
          font_.name += static_cast<char>(b);
        }
        return;
      case Dest::ColourTable:
        if (b == ';') {
          if (colours_.size() < kMaxTableEntries) colours_.push_back(colourSeen_ ? static_cast<int64_t>(RGB(red_, green_, blue_)) : -1);
          red_ = green_ = blue_ = 0;
          colourSeen_ = false;
        }
        return;
      case Dest::Text: break;
    }
    if (b == '\t') {
      Push('\t');
      return;
    }
    if (b < 0x20) return;  // line ends and other control bytes are not text
    const int page = TextCodePage();
    if (page != 932 && page != 1252) return ForeignByte(page, b);
    if (b < 0x80) {
      if (pendingLead_ >= 0 && IsRichTrail(b)) {
        PushPair(static_cast<unsigned char>(pendingLead_), b);
        pendingLead_ = -1;
        return;
      }
      pendingLead_ = -1;
      Push(static_cast<char>(b));
      return;
    }
    if (page == 1252) {
      pendingLead_ = -1;
      const char16_t u = b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
      PushUnicode(u ? u : u'?');
      return;
    }
    if (pendingLead_ >= 0 && IsRichTrail(b)) {
      PushPair(static_cast<unsigned char>(pendingLead_), b);
      pendingLead_ = -1;
    } else if (IsRichLead(b)) {
      pendingLead_ = b;
    } else {
      pendingLead_ = -1;
      Push(static_cast<char>(b));
    }
  }

  // The code page of the text bytes: the font's character set names it (0 is the Western
  // page 1252), else the document's (a page no character set stands for is read as 1252).
  int TextCodePage() const {
    const int charset = CurrentCharset();
    if (charset == 0) return 1252;
    if (const int page = CodePageOfCharset(charset)) return page;
    if (codePage_ == 932 || codePage_ == 1252) return codePage_;
    for (int charset : {129, 130, 134, 136, 161, 162, 163, 177, 178, 186, 204, 222, 238}) {
      if (CodePageOfCharset(charset) == codePage_) return codePage_;
    }
    return 1252;
  }

  // A byte of text in a page other than 932 and 1252; a double-byte page's lead waits
  // for its trail. What the page does not assign becomes '?'.
  void ForeignByte(int page, unsigned char b) {
    auto it = foreign_.find(page);
    if (it == foreign_.end()) it = foreign_.emplace(page, ForeignCodePage(page)).first;
    const ForeignCodePage& cp = it->second;
    if (pendingLead_ >= 0 && cp.DoubleByte()) {
      const char32_t u = cp.Pair(static_cast<uint8_t>(pendingLead_), b);
      return PushUnicode(u ? u : U'?');
    }
    if (cp.IsLead(b)) {
      pendingLead_ = b;
      return;
    }
    const char32_t u = cp.Single(b);
    PushUnicode(u ? u : U'?');
  }
  int CurrentCharset() const {
    if (st_.faceSet) return st_.charset;
    const Font* f = FindFont(defaultFont_);
    return f ? f->charset : -1;
  }

  void Control() {
    ++pos_;
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (IsAsciiLetter(c)) {
      std::string word;
      while (pos_ < in_.size() && IsAsciiLetter(in_[pos_])) {
        if (word.size() < kMaxWordLetters) word += in_[pos_];
        ++pos_;
      }
      bool has = false;
      bool negative = false;
      int64_t value = 0;
      if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
        negative = true;
        ++pos_;
      }
      while (pos_ < in_.size() && IsDigit(in_[pos_])) {
        has = true;
        value = std::min<int64_t>(value * 10 + (in_[pos_] - '0'), int64_t{1} << 31);
        ++pos_;
      }
      if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
      if (negative) value = -value;
      Word(word, has, static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
      return;
    }
    if (c == '\'') {
      ++pos_;
      int v = 0;
      int digits = 0;
      while (digits < 2 && pos_ < in_.size() && HexValue(in_[pos_]) >= 0) {
        v = v * 16 + HexValue(in_[pos_++]);
        ++digits;
      }
      st_.fresh = false;
      if (digits < 2) return;  // a cut \'h is no byte
      if (st_.dest == Dest::Text && skip_ > 0) {
        --skip_;
        return;
      }
      TextByte(static_cast<unsigned char>(v), true);
      return;
    }
    ++pos_;
    Symbol(c);
  }

  void Symbol(char c) {
    const bool fresh = st_.fresh;
    st_.fresh = false;
    if (c == '*') {
      if (fresh) {
        st_.dest = Dest::Skip;
        st_.starred = true;
      }
      return;
    }
    if (st_.dest == Dest::Text && skip_ > 0) {
      --skip_;
      return;
    }
    switch (c) {
      case '\\':
      case '{':
      case '}': TextByte(static_cast<unsigned char>(c), true); return;
      case '~':
      case ' ': TextByte(' ', true); return;
      case '_': TextByte('-', true); return;
      case '\r':
      case '\n':
        if (st_.dest == Dest::Text) Paragraph();
        return;
      default: return;
    }
  }

  void Word(const std::string& w, bool has, int p) {
    const bool fresh = st_.fresh;
    st_.fresh = false;
    if (w == "bin") {
      if (has && p > 0) pos_ = std::min(in_.size(), pos_ + static_cast<size_t>(p));
      return;
    }
    // Objects and pictures of the text stay as they are, one character each.
    const bool inText = !stack_.empty() && stack_.back().dest == Dest::Text;
    if ((fresh && (w == "object" || w == "pict") && st_.dest == Dest::Text) || (st_.starred && w == "shppict" && inText)) {
      Object();
      return;
    }
    if (w == "fonttbl") {
      st_.dest = Dest::FontTable;
      return;
    }
    if (w == "colortbl") {
      st_.dest = Dest::ColourTable;
      return;
    }
    if (std::find(std::begin(kSkipped), std::end(kSkipped), std::string_view(w)) != std::end(kSkipped)) {
      st_.dest = Dest::Skip;
      return;
    }
    switch (st_.dest) {
      case Dest::Skip: return;
      case Dest::FontTable:
        if (w == "f") {
          font_ = Font{p, {}, -1};
        } else if (w == "fcharset") {
          font_.charset = std::clamp(p, 0, 255);
        } else if (w == "u") {
          AppendUnicodeToName(p);
        }
        return;
      case Dest::ColourTable:
        if (w == "red") red_ = std::clamp(p, 0, 255), colourSeen_ = true;
        if (w == "green") green_ = std::clamp(p, 0, 255), colourSeen_ = true;
        if (w == "blue") blue_ = std::clamp(p, 0, 255), colourSeen_ = true;
        return;
      case Dest::Text: break;
    }
    if (skip_ > 0 && w != "u") {
      --skip_;
      return;
    }
    TextWord(w, has, p);
  }

  void TextWord(const std::string& w, bool has, int p) {
    CharFormat2& cf = st_.cf;
    const bool on = !has || p != 0;
    auto effect = [&](uint32_t bit) {
      cf.dwEffects = on ? (cf.dwEffects | bit) : (cf.dwEffects & ~bit);
      formatDirty_ = true;
    };
    auto underline = [&](uint8_t type) {
      cf.bUnderlineType = type;
      cf.dwEffects = type ? (cf.dwEffects | CFE_UNDERLINE) : (cf.dwEffects & ~CFE_UNDERLINE);
      formatDirty_ = true;
    };
    if (w == "par" || w == "line" || w == "row") return Paragraph();
    if (w == "tab" || w == "cell") return TextByte('\t', true);
    if (w == "page") return Push(kPageChar);
    if (w == "u") return Unicode(p);
    if (w == "uc") {
      st_.uc = std::clamp(p, 0, 10);
      return;
    }
    if (w == "ansicpg") {
      codePage_ = p;
      return;
    }
    if (w == "ansi") {
      codePage_ = 1252;
      return;
    }
    if (w == "deff") {
      defaultFont_ = p;
      formatDirty_ = true;
      return;
    }
    if (w == "plain") {
      const CharFormat2 keep = cf;
      cf = CharFormat2{};
      cf.szFaceName = keep.szFaceName;
      cf.bCharSet = keep.bCharSet;
      cf.yHeight = 240;
      st_.faceSet = false;
      st_.charset = -1;
      st_.script = Script::Low;
      st_.doubleFont = -1;
      formatDirty_ = true;
      return;
    }
    if (w == "loch" || w == "ltrch") return void(st_.script = Script::Low);
    if (w == "hich") return void(st_.script = Script::High);
    if (w == "dbch") return void(st_.script = Script::Double);
    if (w == "rtlch") return void(st_.script = Script::Complex);
    if (w == "af") {
      if (st_.script == Script::Double) {
        st_.doubleFont = p;
        formatDirty_ = true;
      }
      return;
    }
    if (w == "b") return effect(CFE_BOLD);
    if (w == "i") return effect(CFE_ITALIC);
    if (w == "strike") return effect(CFE_STRIKEOUT);
    if (w == "ul") return underline(on ? CFU_UNDERLINE : CFU_UNDERLINENONE);
    if (w == "ulnone") return underline(CFU_UNDERLINENONE);
    if (w == "uld") return underline(CFU_UNDERLINEDOTTED);
    if (w.size() > 2 && w.starts_with("ul")) return underline(CFU_UNDERLINE);
    if (w == "cf") {
      SetColour(p, cf.crTextColor, CFE_AUTOCOLOR);
      return;
    }
    if (w == "highlight" || w == "cb") {
      SetColour(p, cf.crBackColor, CFE_AUTOBACKCOLOR);
      return;
    }
    if (w == "f") {
      const Font* f = FindFont(p);
      if (f) {
        cf.szFaceName = f->name;
        cf.bCharSet = static_cast<uint8_t>(std::max(f->charset, 0));
      }
      st_.charset = f ? f->charset : -1;
      st_.faceSet = true;
      formatDirty_ = true;
      return;
    }
    if (w == "fs") {
      cf.yHeight = std::clamp(has ? p : 24, 1, 3276) * 10;
      formatDirty_ = true;
      return;
    }
    if (w == "up" || w == "dn") {
      const int v = std::clamp(has ? p : 6, 0, 3276) * 10;
      cf.yOffset = w == "up" ? v : -v;
      formatDirty_ = true;
      return;
    }
    ParaWord(w, has, p);
  }

  void ParaWord(const std::string& w, bool has, int p) {
    ParaFormat2& pf = st_.pf;
    if (w == "pard") {
      pf = ParaFormat2{};
      st_.sl = st_.slmult = 0;
    } else if (w == "li") {
      pf.dxStartIndent = std::clamp(p, -31680, 31680);
    } else if (w == "sb") {
      pf.dySpaceBefore = std::clamp(p, 0, 31680);
    } else if (w == "sa") {
      pf.dySpaceAfter = std::clamp(p, 0, 31680);
    } else if (w == "sl") {
      st_.sl = std::clamp(p, -31680, 31680);
    } else if (w == "slmult") {
      st_.slmult = p;
    } else if ((w == "tx" || w == "tb") && has) {
      const int32_t x = std::clamp(p, 0, 31680);
      auto* end = pf.rgxTabs.begin() + pf.cTabCount;
      auto* at = std::lower_bound(pf.rgxTabs.begin(), end, x);
      if ((at == end || *at != x) && pf.cTabCount < kMaxTabStops) {
        std::copy_backward(at, end, end + 1);
        *at = x;
        ++pf.cTabCount;
      }
    } else if (const char16_t u = w == "emdash" ? 0x2014 : w == "endash" ? 0x2013 : w == "bullet" ? 0x2022
                                 : w == "lquote" ? 0x2018 : w == "rquote" ? 0x2019 : w == "ldblquote" ? 0x201C
                                 : w == "rdblquote" ? 0x201D : w == "emspace" || w == "enspace" ? 0x20 : 0) {
      PushUnicode(u);
    }
  }

  ParaFormat2 CurrentPara() const {
    ParaFormat2 pf = st_.pf;
    const int sl = st_.sl;
    if (sl == 0) {
      pf.bLineSpacingRule = kSpacingSingle;
      pf.dyLineSpacing = 0;
    } else if (st_.slmult == 0) {
      pf.bLineSpacingRule = sl > 0 ? kSpacingAtLeast : kSpacingExact;
      pf.dyLineSpacing = sl > 0 ? sl : -sl;
    } else if (sl == 240 || sl == 360 || sl == 480) {
      pf.bLineSpacingRule = sl == 240 ? kSpacingSingle : sl == 360 ? kSpacingOneHalf : kSpacingDouble;
      pf.dyLineSpacing = 0;
    } else {
      pf.bLineSpacingRule = kSpacingMultiple;
      pf.dyLineSpacing = std::abs(sl) / 12;
    }
    return pf;
  }

  void SetColour(int index, COLORREF& colour, uint32_t autoBit) {
    CharFormat2& cf = st_.cf;
    formatDirty_ = true;
    if (index > 0 && static_cast<size_t>(index) < colours_.size() && colours_[static_cast<size_t>(index)] >= 0) {
      colour = static_cast<COLORREF>(colours_[static_cast<size_t>(index)]);
      cf.dwEffects &= ~autoBit;
    } else {
      colour = 0;
      cf.dwEffects |= autoBit;
    }
  }

  const Font* FindFont(int number) const {
    for (const Font& f : fonts_) {
      if (f.number == number) return &f;
    }
    return nullptr;
  }

  void FinishFont() {
    if (font_.number >= 0 && fonts_.size() < kMaxTableEntries && !FindFont(font_.number)) fonts_.push_back(font_);
    font_.name.clear();
  }

  void AppendUnicodeToName(int p) {
    char out[2];
    const int n = WideCharToCp932(static_cast<char16_t>(p < 0 ? p + 65536 : p), out);
    if (font_.name.size() + static_cast<size_t>(n) <= kMaxFaceBytes) font_.name.append(out, static_cast<size_t>(n));
    skip_ = st_.uc;
  }

  // \uN: a character, or half of a UTF-16 pair (its fallback may stand between).
  void Unicode(int p) {
    const auto u = static_cast<char16_t>(p < 0 ? p + 65536 : p);
    skip_ = st_.uc;
    if (u >= 0xD800 && u <= 0xDBFF) {
      highSurrogate_ = u;
      return;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
      if (highSurrogate_ != 0) PushUnicode(0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) + (u - 0xDC00));
      highSurrogate_ = 0;
      return;
    }
    highSurrogate_ = 0;
    PushUnicode(u);
  }

  // A character as CP932 text; one CP932 has no code of its own for stands in the text
  // as '?' (or as the CP932 character it is shown as) and keeps its Unicode value.
  void PushUnicode(char32_t u) {
    pendingLead_ = -1;
    if (u == U'\t') return Push('\t');
    if (u < 0x20) return;
    if (u < 0x80) return Push(static_cast<char>(u));
    const uint16_t code = u <= 0xFFFF ? UnicodeToCp932Code(static_cast<char16_t>(u)) : 0;
    if (code != 0 && Cp932CodeToUnicode(code) == u) {
      if (code > 0xFF) return PushPair(static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF));
      return Push(static_cast<char>(code));
    }
    if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return Push('?');
    ReserveMore(frag_.wide, 1, hook_);
    frag_.wide.push_back({static_cast<int32_t>(frag_.text.size()), u});
    // The stand-in takes the run's own format, not a Japanese one.
    const uint16_t f = FormatIndex(false);
    const size_t bytes = code > 0xFF ? 2 : 1;
    ReserveMore(frag_.text, bytes, hook_);
    ReserveMore(frag_.formatOfByte, bytes, hook_);
    if (code > 0xFF) frag_.text += static_cast<char>(code >> 8);
    frag_.text += static_cast<char>(code == 0 ? '?' : code & 0xFF);
    frag_.formatOfByte.insert(frag_.formatOfByte.end(), bytes, f);
  }

  void Paragraph() {
    pendingLead_ = -1;
    Push('\r');
    AddPara();
  }

  void AddPara() {
    ReserveMore(frag_.paraOfLine, 1, hook_);
    frag_.AddPara(CurrentPara());
  }

  // The end of the group that opens at `start` (just past its '}'), 0 when it does not end.
  size_t GroupEnd(size_t start) const {
    int depth = 0;
    for (size_t i = start; i < in_.size(); ++i) {
      const char c = in_[i];
      if (c == '\\') {
        ++i;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        return i + 1;
      }
    }
    return 0;
  }

  // {\object ...}, {\pict ...} or {\*\shppict ...}: the whole group, kept verbatim,
  // is one character; a {\nonshppict ...} right after a {\*\shppict ...} (the same
  // picture for older readers) belongs to it.
  void Object() {
    const size_t start = st_.groupStart;
    size_t end = GroupEnd(start);
    if (end == 0) {  // cut before its end: nothing of it is kept
      ++frag_.objectsLeftOut;
      pos_ = in_.size();
      return;
    }
    if (st_.starred) {
      size_t next = end;
      while (next < in_.size() && (in_[next] == '\r' || in_[next] == '\n' || in_[next] == ' ')) ++next;
      constexpr std::string_view kOlder = "{\\nonshppict";
      if (in_.substr(next, kOlder.size()) == kOlder && !IsAsciiLetter(next + kOlder.size() < in_.size() ? in_[next + kOlder.size()] : ' ')) {
        if (const size_t older = GroupEnd(next)) end = older;
      }
    }
    pos_ = end;
    std::string object;
    ReserveExactly(object, end - start, hook_);
    object.assign(in_.substr(start, end - start));
    ReserveMore(frag_.objects, 1, hook_);
    frag_.objects.push_back(std::move(object));
    Push(kObjectChar);
    st_ = stack_.back();
    stack_.pop_back();
    formatDirty_ = true;
  }

  // The format of the next character: a Japanese one is in the run's double-byte font
  // when it names one, and in a font of the character set 128 either way.
  uint16_t FormatIndex(bool doubleByte) {
    if (formatDirty_) {
      formatDirty_ = false;
      lastIndex_ = {-1, -1};
    }
    int& cached = lastIndex_[doubleByte ? 1 : 0];
    if (cached >= 0) return static_cast<uint16_t>(cached);
    CharFormat2 cf = st_.cf;
    if (!st_.faceSet) {
      if (const Font* f = FindFont(defaultFont_)) {
        cf.szFaceName = f->name;
        cf.bCharSet = static_cast<uint8_t>(std::max(f->charset, 0));
      }
    }
    if (doubleByte) {
      if (const Font* f = FindFont(st_.doubleFont)) cf.szFaceName = f->name;
      cf.bCharSet = SHIFTJIS_CHARSET;
    }
    const std::string key = RichFormatKey(cf, -1);
    if (auto it = index_.find(key); it != index_.end()) return static_cast<uint16_t>(cached = it->second);
    if (frag_.formats.size() >= kMaxFormats) return static_cast<uint16_t>(cached = 0);
    cached = static_cast<int>(frag_.formats.size());
    frag_.formats.push_back(cf);
    index_.emplace(key, static_cast<uint16_t>(cached));
    return static_cast<uint16_t>(cached);
  }

  void Push(char c) {
    const uint16_t f = FormatIndex(static_cast<unsigned char>(c) >= 0x80);  // a half-width kana is Japanese too
    ReserveMore(frag_.text, 1, hook_);
    ReserveMore(frag_.formatOfByte, 1, hook_);
    frag_.text += c;
    frag_.formatOfByte.push_back(f);
  }

  void PushPair(unsigned char lead, unsigned char trail) {
    const uint16_t f = FormatIndex(true);
    ReserveMore(frag_.text, 2, hook_);
    ReserveMore(frag_.formatOfByte, 2, hook_);
    frag_.text += static_cast<char>(lead);
    frag_.text += static_cast<char>(trail);
    frag_.formatOfByte.push_back(f);
    frag_.formatOfByte.push_back(f);
  }

  std::string_view in_;
  AllocHook* hook_;
  size_t pos_ = 0;
  bool done_ = false;
  int overflow_ = 0;
  std::vector<State> stack_;
  State st_;
  RichFragment frag_;
  std::map<std::string, uint16_t> index_;
  bool formatDirty_ = true;
  std::array<int, 2> lastIndex_{-1, -1};  // single-byte and double-byte; -1 not yet made
  std::vector<Font> fonts_;
  Font font_;
  int defaultFont_ = 0;
  int codePage_ = 932;
  std::vector<int64_t> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colourSeen_ = false;
  int skip_ = 0;
  int pendingLead_ = -1;
  State deepBase_;        // the state of the group at the depth limit
  int deepSkipFrom_ = 0;  // the deep group being skipped (its depth past the limit); 0 none
  std::map<int, ForeignCodePage> foreign_;  // the pages met, by number
  char16_t highSurrogate_ = 0;  // the first half of a UTF-16 pair; 0 none
};

}  // namespace

RichFragment ReadRtf(std::string_view rtf, const CharFormat2& defaultFormat, AllocHook* hook) {
  return RtfReader(rtf, defaultFormat, hook).Run();
}

}  // namespace plat
