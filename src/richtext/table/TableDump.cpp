// Line form:
//   text exact 240 tabs 0,145,1290: |"item" b fs21 cf#010000 | "" ...
//   rule exact 20 tabs 0,145,1290: =-=
// A text cell is its rule slot ('|' when a 1-point run before it is highlighted in the
// rule colour), its text in quotes without the blanks around it, and its format: b i
// u s, the size in half-points, the text and background colours when set. A rule line
// shows each column's run: '=' highlighted, '-' not.
#include "richtext/table/TableDump.h"

#include <cstdio>

namespace {

constexpr int kPointRun = 20;  // twips: the 1-point runs of rules and slots
constexpr COLORREF kRuleColour = RGB(1, 0, 0);

const char* SpacingName(uint8_t rule) {
  switch (rule) {
    case plat::kSpacingOneHalf: return "one-and-half";
    case plat::kSpacingDouble: return "double";
    case plat::kSpacingAtLeast: return "at-least";
    case plat::kSpacingExact: return "exact";
    case plat::kSpacingMultiple: return "multiple";
    default: return "single";
  }
}

bool Highlighted(const plat::CharFormat2& cf) {
  return !(cf.dwEffects & plat::CFE_AUTOBACKCOLOR) && cf.crBackColor == kRuleColour;
}

std::string Colour(COLORREF c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", static_cast<unsigned>(c & 0xFF), static_cast<unsigned>((c >> 8) & 0xFF),
                static_cast<unsigned>((c >> 16) & 0xFF));
  return buf;
}

std::string FormatWords(const plat::CharFormat2& cf) {
  std::string w;
  if (cf.dwEffects & plat::CFE_BOLD) w += " b";
  if (cf.dwEffects & plat::CFE_ITALIC) w += " i";
  if (cf.dwEffects & plat::CFE_UNDERLINE) w += " u";
  if (cf.dwEffects & plat::CFE_STRIKEOUT) w += " s";
  w += " fs" + std::to_string(cf.yHeight / 10);
  if (!(cf.dwEffects & plat::CFE_AUTOCOLOR)) w += " cf" + Colour(cf.crTextColor);
  if (!(cf.dwEffects & plat::CFE_AUTOBACKCOLOR)) w += " bg" + Colour(cf.crBackColor);
  return w;
}

}  // namespace

std::string DumpTableParagraphs(const plat::RichEdit& edit) {
  std::string out;
  for (int line = 0; line < edit.GetLineCount(); ++line) {
    const int start = edit.LineIndex(line);
    const int end = start + edit.LineLength(start);
    bool rule = end > start;
    for (int cp = start; cp < end && rule; ++cp) {
      const std::string ch = edit.GetTextRange(cp, cp + 1);
      if (ch != "\t" && edit.FormatAt(cp).yHeight > kPointRun) rule = false;
    }
    const plat::ParaFormat2& pf = edit.ParaOfLine(line);
    out += rule ? "rule " : "text ";
    out += SpacingName(pf.bLineSpacingRule);
    if (pf.bLineSpacingRule >= plat::kSpacingAtLeast) {
      out += ' ';
      out += std::to_string(pf.dyLineSpacing);
    }
    out += " tabs ";
    for (int i = 0; i < pf.cTabCount; ++i) {
      if (i) out += ',';
      out += std::to_string(pf.rgxTabs[static_cast<size_t>(i)]);
    }
    out += ":";
    if (rule) {
      out += ' ';
      for (int cp = start; cp < end; ++cp) {
        if (edit.GetTextRange(cp, cp + 1) == "\t" && cp > start) out += Highlighted(edit.FormatAt(cp)) ? '=' : '-';
      }
      out += '\n';
      continue;
    }
    // Cells: the runs between Tabs.
    int cellStart = start;
    for (int cp = start; cp <= end; ++cp) {
      if (cp < end && edit.GetTextRange(cp, cp + 1) != "\t") continue;
      if (cp > cellStart || cp == end) {
        std::string text;
        plat::CharFormat2 first;
        bool haveText = false, slot = false;
        for (int c = cellStart; c < cp; ++c) {
          const plat::CharFormat2& cf = edit.FormatAt(c);
          if (cf.yHeight <= kPointRun) {
            if (Highlighted(cf)) slot = true;
            continue;
          }
          if (!haveText) first = cf;
          haveText = true;
          text += edit.GetTextRange(c, c + 1);
        }
        const size_t a = text.find_first_not_of(' ');
        text = a == std::string::npos ? std::string() : text.substr(a, text.find_last_not_of(' ') - a + 1);
        if (haveText || slot) {
          out += slot ? " |\"" : " \"";
          out += text;
          out += '"';
          if (!text.empty()) out += FormatWords(first);
        }
      }
      cellStart = cp + 1;
    }
    out += '\n';
  }
  return out;
}
