// RTF out of a rich-text fragment. Code page 932: every byte above 0x7F as \'hh (a
// double-byte character as \'hh\'hh, so a trail byte 0x5C is never a backslash), and
// '\', '{', '}' escaped; Japanese characters always stand in a font of the character
// set 128, so that a reader takes their bytes as Shift-JIS. A character CP932 cannot
// write goes out as itself, \uN with the fallback '?' (N signed 16-bit; beyond the
// BMP as its UTF-16 pair). Colour 1 is always RGB(1,0,0), the rule colour of tables. Each
// paragraph opens with \pard and all its properties; its first run carries its whole
// format in the order \cf \highlight \b \i \ul \strike \f \fs \up, later runs only what
// changed, each list closed by a blank.
#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichFormatKey.h"

namespace plat {

namespace {

constexpr COLORREF kRuleColour = RGB(1, 0, 0);

void AppendHex(std::string& out, unsigned char b) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\'";
  out += kHex[b >> 4];
  out += kHex[b & 15];
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b >= 0x80) {
      AppendHex(out, b);
    } else {
      out += c;
    }
  }
}

void AppendWord(std::string& out, const char* word, int64_t value) {
  out += word;
  out += std::to_string(value);
}

// \uN? for one UTF-16 unit: RTF numbers are signed 16-bit.
void AppendUnit(std::string& out, char32_t unit) {
  AppendWord(out, "\\u", unit > 0x7FFF ? static_cast<int64_t>(unit) - 0x10000 : static_cast<int64_t>(unit));
  out += '?';
}

void AppendUnicode(std::string& out, char32_t code) {
  if (code < 0x10000) return AppendUnit(out, code);
  const char32_t v = code - 0x10000;
  AppendUnit(out, 0xD800 + (v >> 10));
  AppendUnit(out, 0xDC00 + (v & 0x3FF));
}

struct Tables {
  std::vector<std::pair<std::string, uint8_t>> fonts;
  std::vector<COLORREF> colours{kRuleColour};

  int Font(const CharFormat2& cf) {
    for (size_t i = 0; i < fonts.size(); ++i) {
      if (fonts[i].first == cf.szFaceName && fonts[i].second == cf.bCharSet) return static_cast<int>(i);
    }
    fonts.emplace_back(cf.szFaceName, cf.bCharSet);
    return static_cast<int>(fonts.size() - 1);
  }
  int Colour(COLORREF c) {
    for (size_t i = 0; i < colours.size(); ++i) {
      if (colours[i] == c) return static_cast<int>(i + 1);
    }
    colours.push_back(c);
    return static_cast<int>(colours.size());
  }
};

// A run's format as the words write it.
struct RunWords {
  int cf = 0, highlight = 0, bold = 0, italic = 0, underline = 0, strike = 0, font = 0, size = 0, up = 0;
};

RunWords WordsOf(const CharFormat2& cf, Tables& t) {
  RunWords w;
  w.cf = (cf.dwEffects & CFE_AUTOCOLOR) ? 0 : t.Colour(cf.crTextColor);
  w.highlight = (cf.dwEffects & CFE_AUTOBACKCOLOR) ? 0 : t.Colour(cf.crBackColor);
  w.bold = (cf.dwEffects & CFE_BOLD) ? 1 : 0;
  w.italic = (cf.dwEffects & CFE_ITALIC) ? 1 : 0;
  w.underline = (cf.dwEffects & CFE_UNDERLINE) ? (cf.bUnderlineType == CFU_UNDERLINEDOTTED ? 2 : 1) : 0;
  w.strike = (cf.dwEffects & CFE_STRIKEOUT) ? 1 : 0;
  w.font = t.Font(cf);
  w.size = cf.yHeight / 10;
  w.up = cf.yOffset / 10;
  return w;
}

void AppendRunWords(std::string& out, const RunWords& w, const RunWords* before) {
  const bool all = before == nullptr;
  const size_t start = out.size();
  if (all || w.cf != before->cf) AppendWord(out, "\\cf", w.cf);
  if (all || w.highlight != before->highlight) AppendWord(out, "\\highlight", w.highlight);
  if (all || w.bold != before->bold) out += w.bold ? "\\b" : "\\b0";
  if (all || w.italic != before->italic) out += w.italic ? "\\i" : "\\i0";
  if (all || w.underline != before->underline) out += w.underline == 0 ? "\\ulnone" : w.underline == 2 ? "\\uld" : "\\ul";
  if (all || w.strike != before->strike) out += w.strike ? "\\strike" : "\\strike0";
  if (all || w.font != before->font) AppendWord(out, "\\f", w.font);
  if (all || w.size != before->size) AppendWord(out, "\\fs", w.size);
  if (all || w.up != before->up) {
    if (w.up < 0) {
      AppendWord(out, "\\dn", -w.up);
    } else {
      AppendWord(out, "\\up", w.up);
    }
  }
  if (out.size() > start) out += ' ';
}

void AppendPara(std::string& out, const ParaFormat2& pf) {
  out += "\\pard";
  if (pf.dxStartIndent != 0) AppendWord(out, "\\li", pf.dxStartIndent);
  if (pf.dySpaceBefore != 0) AppendWord(out, "\\sb", pf.dySpaceBefore);
  if (pf.dySpaceAfter != 0) AppendWord(out, "\\sa", pf.dySpaceAfter);
  switch (pf.bLineSpacingRule) {
    case kSpacingOneHalf: out += "\\sl360\\slmult1"; break;
    case kSpacingDouble: out += "\\sl480\\slmult1"; break;
    case kSpacingAtLeast: AppendWord(out, "\\sl", pf.dyLineSpacing), out += "\\slmult0"; break;
    case kSpacingExact: AppendWord(out, "\\sl", -int64_t{pf.dyLineSpacing}), out += "\\slmult0"; break;
    case kSpacingMultiple: AppendWord(out, "\\sl", int64_t{pf.dyLineSpacing} * 12), out += "\\slmult1"; break;
    default: break;
  }
  for (int i = 0; i < pf.cTabCount && i < kMaxTabStops; ++i) AppendWord(out, "\\tx", pf.rgxTabs[static_cast<size_t>(i)]);
}

}  // namespace

std::string WriteRtf(const RichFragment& frag, const CharFormat2& defaultFormat) {
  Tables tables;
  tables.Font(defaultFormat);
  std::string body;
  body.reserve(frag.text.size() * 2 + 256);
  size_t para = 0;
  size_t object = 0;
  bool paraOpen = false;
  RunWords last;
  int lastFormat = -1;
  auto wide = frag.wide.begin();
  auto openPara = [&] {
    AppendPara(body, frag.Para(para));
    paraOpen = true;
    lastFormat = -1;
  };
  const std::string& text = frag.text;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!paraOpen) openPara();
    const char c = text[i];
    const auto b = static_cast<unsigned char>(c);
    const int f = i < frag.formatOfByte.size() ? frag.formatOfByte[i] : 0;
    const CharFormat2& cf = static_cast<size_t>(f) < frag.formats.size() ? frag.formats[static_cast<size_t>(f)] : defaultFormat;
    while (wide != frag.wide.end() && wide->byte < static_cast<int64_t>(i)) ++wide;
    const bool kept = wide != frag.wide.end() && wide->byte == static_cast<int64_t>(i);
    // A run is a format, and for a format of another character set its Japanese part.
    const bool japanese = !kept && b >= 0x80 && cf.bCharSet != SHIFTJIS_CHARSET;
    const int run = f * 2 + (japanese ? 1 : 0);
    if (run != lastFormat) {
      CharFormat2 shown = cf;
      if (japanese) shown.bCharSet = SHIFTJIS_CHARSET;
      const RunWords words = WordsOf(shown, tables);
      AppendRunWords(body, words, lastFormat < 0 ? nullptr : &last);
      last = words;
      lastFormat = run;
    }
    if (kept) {
      AppendUnicode(body, wide->code);
      if (IsRichLead(b) && i + 1 < text.size() && IsRichTrail(static_cast<unsigned char>(text[i + 1]))) ++i;
    } else if (c == '\r') {
      body += "\\par\n";
      ++para;
      paraOpen = false;
    } else if (c == '\t') {
      body += "\\tab ";
    } else if (c == kPageChar) {
      body += "\\page ";
    } else if (c == kObjectChar && object < frag.objects.size()) {
      body += frag.objects[object++];
    } else if (IsRichLead(b) && i + 1 < text.size() && IsRichTrail(static_cast<unsigned char>(text[i + 1]))) {
      AppendHex(body, b);
      AppendHex(body, static_cast<unsigned char>(text[++i]));
    } else {
      AppendEscaped(body, std::string_view(&c, 1));
    }
  }
  if (!paraOpen) openPara();

  std::string out = "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl";
  for (size_t i = 0; i < tables.fonts.size(); ++i) {
    out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + std::to_string(tables.fonts[i].second) + ' ';
    const std::string& face = tables.fonts[i].first;
    for (size_t k = 0; k < face.size(); ++k) {
      const auto b = static_cast<unsigned char>(face[k]);
      if (IsRichLead(b) && k + 1 < face.size()) {
        AppendHex(out, b);
        AppendHex(out, static_cast<unsigned char>(face[++k]));
      } else if (face[k] == ';') {
        AppendHex(out, ';');
      } else {
        AppendEscaped(out, std::string_view(&face[k], 1));
      }
    }
    out += ";}";
  }
  out += "}\n{\\colortbl ;";
  for (COLORREF c : tables.colours) {
    out += "\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue" +
           std::to_string((c >> 16) & 0xFF) + ';';
  }
  out += "}\n\\viewkind4\\uc1\n";
  out += body;
  out += "}\n";
  return out;
}

}  // namespace plat
