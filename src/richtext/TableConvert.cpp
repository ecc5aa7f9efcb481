// Lines of the rich text made into a tab-stop table in place: 101 for Tab-separated
// lines, 102 for '|'-separated ones, and 'D' giving Tab-separated lines their rule
// slots. Each cell opens with its left rule slot: a 1-point character highlighted in
// the rule colour. Only the lines named change; the rest of the text stays.
#include <algorithm>
#include <vector>

#include "richtext/TableEngine.h"
#include "view/QelView.h"

namespace {

constexpr int kMaxAddedRows = 3;
constexpr int kOpenerStop = 300;
constexpr int kRuleLineSpacing = 60;
constexpr int kOpenerHeight = 210;  // twips: the row opener's blank when the line holds no text  // a line with stops this narrow is a rule line
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

// 101: Tab-separated lines first..last-1 get one stop per Tab and a slot after each Tab.
// A line that already carries stops (and is not a rule line) stays as it is; its text
// is added again after the lines as a table row of its own, with its stop list shifted
// to open on 0 (and the start indent when there is one).
void CQelView::ConvertTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  int added = 0;
  std::vector<int> converted;
  int insertLine = lastLine;
  const int rangeEnd = lastLine;
  for (int line = firstLine; line < rangeEnd; ++line) {
    const plat::ParaFormat2 para = rich.ParaOfLine(line);
    if (para.cTabCount > 0) {
      const bool rule = para.bLineSpacingRule == plat::kSpacingExact && para.dyLineSpacing <= kRuleLineSpacing;
      if (!rule) insertLine = AddShiftedRow(line, insertLine);
      continue;
    }
    if (added >= kMaxAddedRows) continue;
    std::vector<int> stops;
    const int end = table::LineEnd(rich, line);
    for (int cp = rich.LineIndex(line); cp < end && stops.size() < plat::kMaxTabStops; ++cp) {
      if (CharText(rich, cp) == "\t") stops.push_back(StopAtPixel(rich.PosFromChar(cp + 1).x));
    }
    if (!stops.empty()) {
      SetStops(rich, line, stops);
      ++added;
    }
    converted.push_back(line);
  }
  for (int line = rangeEnd; line < insertLine; ++line) converted.push_back(line);
  for (int line : converted) {
    for (int cp = rich.LineIndex(line); cp < table::LineEnd(rich, line); ++cp) {
      if (CharText(rich, cp) == "\t") cp = SlotAfterTab(rich, cp, false);
    }
  }
}

// The row 101 adds for a line with stops: its text after a blank (a Tab when the
// start indent is kept as a stop), at the start of line `at`, with the shifted stops,
// exact spacing 240 and the Gothic face at the line's text height. Returns the line
// after it.
int CQelView::AddShiftedRow(int line, int at) {
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
  const int height = rich.FormatAt(rich.LineIndex(line)).yHeight;
  const std::string text = (indent ? "\t" : " ") + rich.GetTextRange(rich.LineIndex(line), table::LineEnd(rich, line)) + "\n";
  const bool atEnd = at >= rich.GetLineCount();
  int start = atEnd ? rich.GetTextLength() : rich.LineIndex(at);
  if (atEnd) {
    // After the last line: a line end first, so the row stands on a line of its own.
    rich.ExSetSel(start, start);
    rich.ReplaceSel("\n", true);
    start = rich.GetTextLength();
    at = rich.GetLineCount() - 1;
  }
  rich.ExSetSel(start, start);
  rich.ReplaceSel(atEnd ? text.substr(0, text.size() - 1) : text, true);
  rich.ExSetSel(start, table::LineEnd(rich, at));
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_SIZE | plat::CFM_FACE | plat::CFM_CHARSET;
  cf.yHeight = height;
  cf.szFaceName = kGothicFace;
  cf.bCharSet = plat::SHIFTJIS_CHARSET;
  rich.SetCharFormat(cf, true);
  SetStops(rich, at, stops);
  plat::Clipboard unused;
  table::TableEngine(rich, unused, m_doc.m_clrTextBack).SetExactSpacing(at, table::kUnsetSpacing);
  return at + 1;
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

// 'D' on rich text: every line opens with a blank at its text size and a ruled cell,
// gets a closing empty cell and a slot after every Tab, and a stop at 300 twips after
// the first; nothing outside the lines changes.
void CQelView::RuleTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  for (int line = firstLine; line < lastLine; ++line) {
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
