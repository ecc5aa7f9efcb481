// Lines of the rich text made into a tab-stop table in place: 101 for Tab-separated
// lines, 102 for '|'-separated ones, and 'D' giving Tab-separated lines their rule
// slots. Each cell opens with its left rule slot: a 1-point character highlighted in
// the rule colour. Only the lines named change; the rest of the text stays.
#include <algorithm>
#include <vector>

#include "richtext/table/TableEngine.h"
#include "view/CellSeparator.h"
#include "view/QelView.h"

namespace {

constexpr int kOpenerStop = 300;
constexpr int kRuleLineSpacing = 60;  // a line with stops this narrow is a rule line
constexpr int kOpenerHeight = 210;  // twips: the row opener's blank when the line holds no text
const char* const kGothicFace = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック

std::string CharText(const plat::RichEdit& rich, int cp) { return rich.GetTextRange(cp, cp + 1); }

// Makes [cp, cp + 1) a rule slot: 1 point high, in the rule colour.
void MakeSlot(plat::RichEdit& rich, int cp) {
  rich.ExSetSel(cp, cp + 1);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_SIZE | plat::CFM_BACKCOLOR;
  cf.dwEffects = 0;
  cf.yHeight = table::kPointRun;
  cf.crBackColor = table::kRuleColour;
  rich.SetCharFormat(cf, true);
}

// A slot after the Tab at `tab`: a blank there becomes the slot, anything else keeps
// its place and a new slot character is inserted before it. Returns the slot's place.
int SlotAfterTab(plat::RichEdit& rich, int tab, bool replaceBlank) {
  const int at = tab + 1;
  const int end = table::LineEnd(rich, rich.ExLineFromChar(tab));
  rich.ExSetSel(at, at < end && replaceBlank && CharText(rich, at) == " " ? at + 1 : at);
  rich.ReplaceSel("_", true);
  MakeSlot(rich, at);
  return at;
}

void SetStops(plat::RichEdit& rich, int line, const std::vector<int>& stops) {
  const int start = rich.LineIndex(line);
  rich.ExSetSel(start, start);
  plat::ParaFormat2 pf;
  pf.dwMask = plat::PFM_TABSTOPS;
  pf.cTabCount = static_cast<int16_t>(std::min<size_t>(stops.size(), plat::kMaxTabStops));
  for (int i = 0; i < pf.cTabCount; ++i) pf.rgxTabs[static_cast<size_t>(i)] = stops[static_cast<size_t>(i)];
  rich.SetParaFormat(pf);
}

int StopAtPixel(int x) { return (3 * x + 30) * 5; }

}  // namespace

// 101: Tab-separated lines first..last-1 get one stop per Tab and a slot after each Tab
// (a Tab already followed by a slot keeps it). A line that already carries stops (and
// is not a rule line) becomes a row in place: its stop list shifted to open on 0 (and
// the start indent when there is one), so no line is doubled; stops that open on 0
// already are a row's and stay.
void CQelView::ConvertTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  std::vector<int> converted;
  for (int line = firstLine; line < lastLine; ++line) {
    const plat::ParaFormat2 para = rich.ParaOfLine(line);
    if (para.cTabCount > 0) {
      const bool rule = para.bLineSpacingRule == plat::kSpacingExact && para.dyLineSpacing <= kRuleLineSpacing;
      if (rule) continue;
      // Stops that open on 0 are a table row's already: they stay as they are.
      if (para.rgxTabs[0] != 0) ShiftRowStops(line);
      converted.push_back(line);
      continue;
    }
    std::vector<int> stops;
    const int end = table::LineEnd(rich, line);
    for (int cp = rich.LineIndex(line); cp < end && stops.size() < plat::kMaxTabStops; ++cp) {
      if (CharText(rich, cp) == "\t") stops.push_back(StopAtPixel(rich.PosFromChar(cp + 1).x));
    }
    if (!stops.empty()) SetStops(rich, line, stops);
    converted.push_back(line);
  }
  for (int line : converted) {
    for (int cp = rich.LineIndex(line); cp < table::LineEnd(rich, line); ++cp) {
      if (CharText(rich, cp) != "\t") continue;
      const bool slotted = cp + 1 < table::LineEnd(rich, line) && rich.FormatAt(cp + 1).yHeight < table::kTextHeight;
      cp = slotted ? cp + 1 : SlotAfterTab(rich, cp, false);
    }
  }
}

// A line with stops made a table row in place: a blank (a Tab when the start indent
// is kept as a stop) before its text at the Gothic face of its first character's
// height, its stop list shifted to open on 0, exact spacing 240, the face Gothic.
void CQelView::ShiftRowStops(int line) {
  plat::RichEdit& rich = UseRichText();
  const plat::ParaFormat2 para = rich.ParaOfLine(line);
  std::vector<int> stops{0};
  const bool indent = para.dxStartIndent > 0;
  if (indent) stops.push_back(para.dxStartIndent);
  for (int i = 0; i < para.cTabCount && i < plat::kMaxTabStops; ++i) stops.push_back(para.rgxTabs[static_cast<size_t>(i)]);
  // From the first stop that does not rise, the stops are cleared.
  for (size_t k = 1; k < stops.size(); ++k) {
    if (stops[k] <= stops[k - 1]) {
      stops.resize(k);
      break;
    }
  }
  if (stops.size() > plat::kMaxTabStops) stops.resize(plat::kMaxTabStops);
  const int start = rich.LineIndex(line);
  const int height = rich.FormatAt(start).yHeight;
  rich.ExSetSel(start, start);
  rich.ReplaceSel(indent ? "\t" : " ", true);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_FACE | plat::CFM_CHARSET;
  cf.szFaceName = kGothicFace;
  cf.bCharSet = plat::SHIFTJIS_CHARSET;
  rich.ExSetSel(start, table::LineEnd(rich, line));
  rich.SetCharFormat(cf, true);
  cf.dwMask = plat::CFM_SIZE;
  cf.yHeight = height;
  rich.ExSetSel(start, start + 1);
  rich.SetCharFormat(cf, true);
  SetStops(rich, line, stops);
  plat::Clipboard unused;
  table::TableEngine(rich, unused, m_doc.m_clrTextBack).SetExactSpacing(line, table::kUnsetSpacing);
}

// 102: '|'-separated lines: stops at the bars, each bar with the blanks before it a
// Tab (an empty cell keeps a blank), then the slot after each new Tab.
void CQelView::ConvertBarLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  for (int line = firstLine; line < lastLine; ++line) {
    std::vector<int> stops{0};
    int end = table::LineEnd(rich, line);
    for (int cp = rich.LineIndex(line); cp < end && stops.size() < plat::kMaxTabStops; ++cp) {
      if (CharText(rich, cp) == "|") stops.push_back(StopAtPixel(rich.PosFromChar(cp).x));
    }
    SetStops(rich, line, stops);
    int cellStart = rich.LineIndex(line);
    for (int cp = cellStart; cp < table::LineEnd(rich, line); ++cp) {
      if (CharText(rich, cp) != "|") continue;
      int a = cp;
      while (a > cellStart && CharText(rich, a - 1) == " ") --a;
      const bool empty = a == cellStart;
      rich.ExSetSel(a, cp + 1);
      rich.ReplaceSel(empty ? " \t" : "\t", true);
      const int tab = a + (empty ? 1 : 0);
      cp = SlotAfterTab(rich, tab, true);
      cellStart = cp + 1;
    }
  }
  m_doc.m_bShiftDown = 0;
}

// 'D' on rich text: a line of '|' cells has its bars made Tabs; every line opens
// with a blank at its text size and a ruled cell,
// gets a closing empty cell and a slot after every Tab, and a stop at 300 twips after
// the first; nothing outside the lines changes.
void CQelView::RuleTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  for (int line = firstLine; line < lastLine; ++line) {
    // A line whose cells '|' separates has its bars made Tabs first.
    if (CellSeparator(rich.GetTextRange(rich.LineIndex(line), table::LineEnd(rich, line))) == '|') {
      for (int cp = rich.LineIndex(line); cp < table::LineEnd(rich, line); ++cp) {
        if (CharText(rich, cp) != "|") continue;
        rich.ExSetSel(cp, cp + 1);
        rich.ReplaceSel("\t", true);
      }
    }
    const int end = table::LineEnd(rich, line);
    rich.ExSetSel(end, end);
    rich.ReplaceSel("\t  ", true);
    // The row opener: a blank at the line's text size, then the row's first ruled cell.
    const int start = rich.LineIndex(line);
    const int height = rich.FormatAt(start).yHeight;
    rich.ExSetSel(start, start);
    rich.ReplaceSel(" \t", true);
    rich.ExSetSel(start, start + 2);
    plat::CharFormat2 cf;
    cf.dwMask = plat::CFM_SIZE | plat::CFM_BACKCOLOR;
    cf.dwEffects = plat::CFE_AUTOBACKCOLOR;
    cf.yHeight = height >= table::kTextHeight ? height : kOpenerHeight;
    rich.SetCharFormat(cf, true);
    for (int cp = rich.LineIndex(line); cp < table::LineEnd(rich, line); ++cp) {
      if (CharText(rich, cp) == "\t") cp = SlotAfterTab(rich, cp, false);
    }
    const plat::ParaFormat2& pf = rich.ParaOfLine(line);
    std::vector<int> stops{0, kOpenerStop};
    for (int i = 0; i < pf.cTabCount; ++i) {
      const int stop = pf.rgxTabs[static_cast<size_t>(i)];
      if (stop > kOpenerStop) stops.push_back(stop);
    }
    SetStops(rich, line, stops);
  }
}
