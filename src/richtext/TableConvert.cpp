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
void CQelView::ConvertTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  int added = 0;
  for (int line = firstLine; line < lastLine; ++line) {
    if (rich.ParaOfLine(line).cTabCount > 0 || added >= kMaxAddedRows) continue;
    std::vector<int> stops;
    const int end = table::LineEnd(rich, line);
    for (int cp = rich.LineIndex(line); cp < end && stops.size() < plat::kMaxTabStops; ++cp) {
      if (CharText(rich, cp) == "\t") stops.push_back(StopAtPixel(rich.PosFromChar(cp + 1).x));
    }
    if (!stops.empty()) {
      SetStops(rich, line, stops);
      ++added;
    }
  }
  for (int line = firstLine; line < lastLine; ++line) {
    for (int cp = rich.LineIndex(line); cp < table::LineEnd(rich, line); ++cp) {
      if (CharText(rich, cp) == "\t") cp = SlotAfterTab(rich, cp, false);
    }
  }
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

// 'D' on rich text: the lines get a closing empty cell and a slot after every Tab,
// and a stop at 300 twips after the first; nothing outside the lines changes.
void CQelView::RuleTabLines(int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  firstLine = std::clamp(firstLine, 0, rich.GetLineCount() - 1);
  lastLine = std::clamp(lastLine, firstLine + 1, rich.GetLineCount());
  for (int line = firstLine; line < lastLine; ++line) {
    const int end = table::LineEnd(rich, line);
    rich.ExSetSel(end, end);
    rich.ReplaceSel("\t  ", true);
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
