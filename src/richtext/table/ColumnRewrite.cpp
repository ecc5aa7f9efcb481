// Column codes on the rows of a table region: boundary moves (arrows), columns
// inserted, removed, split and joined ('E', 'R', 'I', 'U') and vertical rules and
// rule-line segments ('3' to '6'). The rows are changed as characters with their
// formats; the caller streams them back in as RTF. Every insertion is bounded: a row
// never takes more than 32 stops, a cell split never more than the cell.
#include "richtext/table/ColumnRewrite.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/Ui.h"
#include "platform/richedit/RichFormatKey.h"

namespace sheetcols {

namespace {

constexpr COLORREF kRuleColour = RGB(1, 0, 0);
constexpr int kTextHeight = 50;   // twips: a character this high or higher is text
constexpr int kPointRun = 20;     // twips: rule slots and rule runs
constexpr int kMisaligned = 150;  // twips a row's column may lie off the first row's
constexpr int kJoinLook = 150;    // characters 'U' looks at after the removed Tab
constexpr int kLeaderTab = 30;    // Tabs after this one open the leader area
constexpr int kMaxStop = 31680;   // twips: the control keeps no stop further right
constexpr int kMaxSplit = 3000;   // characters of a cell an 'I' split may keep

bool IsTab(const Glyph& g) { return g.bytes == "\t"; }
bool IsPoint(const Glyph& g) { return g.cf.yHeight < kTextHeight && !IsTab(g); }
bool Lit(const plat::CharFormat2& cf) { return !(cf.dwEffects & plat::CFE_AUTOBACKCOLOR) && cf.crBackColor == kRuleColour; }

void SetLit(plat::CharFormat2& cf) {
  cf.dwEffects &= ~plat::CFE_AUTOBACKCOLOR;
  cf.crBackColor = kRuleColour;
}
void SetClear(plat::CharFormat2& cf) {
  cf.dwEffects |= plat::CFE_AUTOBACKCOLOR;
  cf.crBackColor = 0;
}

bool IsRuleRow(const SheetRow& row, int limit) {
  return row.para.bLineSpacingRule == plat::kSpacingExact && row.para.dyLineSpacing > 0 && row.para.dyLineSpacing <= limit;
}

// Index of the j-th Tab of a row (j from 1), -1 when the row has fewer.
int TabAt(const SheetRow& row, int j) {
  if (j < 1) return -1;
  int seen = 0;
  for (size_t i = 0; i < row.glyphs.size(); ++i) {
    if (IsTab(row.glyphs[i]) && ++seen == j) return static_cast<int>(i);
  }
  return -1;
}

// End of the cell that starts at index `from`: the next Tab or the row's end.
int CellEnd(const SheetRow& row, int from) {
  int i = from;
  while (i < static_cast<int>(row.glyphs.size()) && !IsTab(row.glyphs[static_cast<size_t>(i)])) ++i;
  return i;
}

Glyph Make(const char* ch, plat::CharFormat2 cf, int height, bool lit) {
  cf.yHeight = height;
  if (lit) {
    SetLit(cf);
  } else {
    SetClear(cf);
  }
  return Glyph{ch, cf, {}};
}

std::vector<int> Stops(const SheetRow& row) {
  return std::vector<int>(row.para.rgxTabs.begin(), row.para.rgxTabs.begin() + std::clamp<int>(row.para.cTabCount, 0, plat::kMaxTabStops));
}

void SetStops(SheetRow& row, std::vector<int> stops) {
  for (int& s : stops) s = std::clamp(s, 0, kMaxStop);
  std::sort(stops.begin(), stops.end());
  if (stops.size() > plat::kMaxTabStops) stops.resize(plat::kMaxTabStops);
  row.para.rgxTabs.fill(0);
  std::copy(stops.begin(), stops.end(), row.para.rgxTabs.begin());
  row.para.cTabCount = static_cast<int16_t>(stops.size());
  row.para.dwMask |= plat::PFM_TABSTOPS;
}

bool InRange(int r, const RewriteInput& in, int first, int end) {
  (void)in;
  return r >= first && (end == 0 || r < end);
}

// VK_LEFT / VK_RIGHT: stop n moves by number x 10 twips (the later stops too when
// asked); the status gives the new width of the column it closes. A boundary never
// reaches the column's left boundary (width 0) or passes the control's last stop, so
// the stops keep their order and no column is swallowed.
void MoveBoundary(SheetRow& row, const RewriteInput& in, RewriteResult& res, std::string& why) {
  std::vector<int> stops = Stops(row);
  const int n = in.column;
  if (n < 1 || n > static_cast<int>(stops.size())) return;
  const int s = std::clamp(in.number, 1, kMaxStop / 10) * 10 * (in.code == TableKey::kColumnLeft ? -1 : 1);
  const int q = n >= 2 ? stops[static_cast<size_t>(n) - 2] : 0;
  const int old = stops[static_cast<size_t>(n) - 1];
  // A stop on the one before it would merge with it: the narrowest column is 1 twip.
  const int moved = old <= q ? old : std::clamp(old + s, q + 1, kMaxStop);
  char text[40];
  std::snprintf(text, sizeof text, "width = %d", (moved - q) / 15);
  res.status = text;
  if (moved == old) {
    why = old <= q ? "the row's left edge is no boundary to move"
          : in.code == TableKey::kColumnLeft ? "width 0: the boundary moves no further left"
                                     : "the boundary is at the right edge";
    return;
  }
  const int d = moved - old;
  for (size_t k = static_cast<size_t>(n) - 1; k < stops.size(); ++k) {
    if (k + 1 == static_cast<size_t>(n) || in.moveFollowingStops) stops[k] = std::clamp(stops[k] + d, 0, kMaxStop);
  }
  SetStops(row, std::move(stops));
}

bool SameGlyph(const Glyph& a, const Glyph& b) { return a.bytes == b.bytes && a.cf == b.cf && a.object == b.object; }
bool SameRow(const SheetRow& a, const SheetRow& b) {
  return a.para == b.para && a.glyphs.size() == b.glyphs.size() &&
         std::equal(a.glyphs.begin(), a.glyphs.end(), b.glyphs.begin(), SameGlyph);
}

// The stops of 'E', 'R', 'I', 'U' for column n; returns false for a misaligned row.
bool ColumnStops(SheetRow& row, const RewriteInput& in, int n, int& reference) {
  std::vector<int> stops = Stops(row);
  if (n < 1 || n > static_cast<int>(stops.size())) return true;
  const int s = stops[static_cast<size_t>(n) - 1];
  if (in.code == TableKey::kDeleteColumn || in.code == TableKey::kJoin) {
    if (reference < 0 && s >= 1) reference = s;
    if (reference >= 0 && std::abs(s - reference) > kMisaligned) return false;
  }
  if (n >= static_cast<int>(stops.size())) return true;  // no stop n + 1: nothing moves
  const int cw = 5 * in.textSize + 10;
  std::vector<int> out(stops.begin(), stops.begin() + n);
  const int p = stops[static_cast<size_t>(n)];
  int d = 0;
  switch (in.code) {
    case TableKey::kDeleteColumn: d = p - s; break;
    case TableKey::kJoin: break;
    case TableKey::kInsertColumn: d = p - s; out.push_back(p); out.push_back(p + d); break;
    case TableKey::kSplit: {
      const int64_t split = s + int64_t{std::clamp(in.splitLength, 1, kMaxSplit) - 1} * cw + 50;
      d = 300;
      out.push_back(static_cast<int>(std::min<int64_t>(split, kMaxStop)));
      out.push_back(p + 300);
      break;
    }
    default: return true;
  }
  for (size_t k = static_cast<size_t>(n) + 1; k < stops.size(); ++k) {
    const int v = stops[k];
    out.push_back(in.code == TableKey::kDeleteColumn ? std::max(v - d, 0) : in.code == TableKey::kJoin ? v : v + d);
  }
  SetStops(row, std::move(out));
  return true;
}

plat::CharFormat2 CellFormat(const SheetRow& row, int tab, int from);

// 'E' and 'I': the cell opened by Tab n - 1 is split after t of its characters; the
// new cell opens with a Tab and a slot run of its own ('E' keeps the whole cell, so
// the new cell is empty).
void SplitCell(SheetRow& row, const RewriteInput& in, int n, bool ruleLine) {
  const int j = n - 1;
  const int tab = TabAt(row, j);
  if (tab < 0 || j > kLeaderTab) return;
  const int cellStart = tab + 1;
  const int cellEnd = CellEnd(row, cellStart);
  const int t = in.code == TableKey::kInsertColumn ? (in.column == 2 ? 2 : cellEnd - cellStart)
                                                  : std::clamp(in.splitLength, 0, kMaxSplit);
  const int at = std::min(cellStart + t, cellEnd);
  bool lit = false;
  for (int i = cellStart; i < at; ++i) lit = lit || Lit(row.glyphs[static_cast<size_t>(i)].cf);
  const plat::CharFormat2 base = row.glyphs[static_cast<size_t>(tab)].cf;
  plat::CharFormat2 text = CellFormat(row, tab, cellStart);  // blanks take the cell's text format
  text.yHeight = in.textSize * 10;
  std::vector<Glyph> add;
  // The blank a second column opens with; on a rule line a 1-point one, so the line
  // stays a rule line.
  if (j == 1 && in.column == 2) add.push_back(ruleLine ? Make(" ", base, kPointRun, Lit(base)) : Make(" ", text, text.yHeight, false));
  Glyph newTab = row.glyphs[static_cast<size_t>(tab)];
  if (ruleLine) {
    add.push_back(newTab);
    add.push_back(Make(".", base, kPointRun, Lit(base)));
    add.push_back(Make(".", base, kPointRun, Lit(base)));
  } else if (lit) {
    SetClear(newTab.cf);
    add.push_back(newTab);
    add.push_back(Make(".", base, kPointRun, true));
    add.push_back(Make(" ", text, text.yHeight, false));
  } else {
    SetClear(newTab.cf);
    add.push_back(newTab);
    add.push_back(Make(".", base, kPointRun, false));
    add.push_back(Make(".", base, kPointRun, false));
  }
  row.glyphs.insert(row.glyphs.begin() + at, add.begin(), add.end());
}

// 'R': the cell opened by Tab n - 1 goes with one Tab; the rest of the row closes up.
void RemoveCell(SheetRow& row, int n) {
  if (n < 2) return;  // before the row's first Tab there is no cell to remove
  const int a = TabAt(row, n - 1);
  if (a < 0) return;
  int b = TabAt(row, n);
  if (b < 0) b = static_cast<int>(row.glyphs.size());
  row.glyphs.erase(row.glyphs.begin() + a, row.glyphs.begin() + b);
}

// 'U': Tab n and the slot run after it go; the text of cell n continues cell n - 1.
void JoinCells(SheetRow& row, int n) {
  const int tab = TabAt(row, n);
  if (tab < 0) return;
  int b = tab + 1;
  const int limit = std::min<int>(static_cast<int>(row.glyphs.size()), tab + 1 + kJoinLook);
  while (b < limit && IsPoint(row.glyphs[static_cast<size_t>(b)])) ++b;
  row.glyphs.erase(row.glyphs.begin() + tab, row.glyphs.begin() + b);
}

// The 1-point run right after the Tab at `tab`: [tab + 1, end).
int SlotRunEnd(const SheetRow& row, int tab) {
  int e = tab + 1;
  while (e < static_cast<int>(row.glyphs.size()) && IsPoint(row.glyphs[static_cast<size_t>(e)])) ++e;
  return e;
}

int RunState(const SheetRow& row, int a, int e) {
  std::string text;
  int lit = 0;
  for (int i = a; i < e; ++i) {
    text += row.glyphs[static_cast<size_t>(i)].bytes;
    if (Lit(row.glyphs[static_cast<size_t>(i)].cf)) ++lit;
  }
  if (text == "__") return 0;
  return std::min(lit, 2);
}

// The format a cell's own text carries: its first text character's, else the Tab's.
plat::CharFormat2 CellFormat(const SheetRow& row, int tab, int from) {
  const int end = CellEnd(row, from);
  for (int i = from; i < end; ++i) {
    if (!IsPoint(row.glyphs[static_cast<size_t>(i)])) return row.glyphs[static_cast<size_t>(i)].cf;
  }
  return row.glyphs[static_cast<size_t>(tab)].cf;
}

// '3' and '4': the vertical rule at Tab T, none, single or double.
void VerticalRule(SheetRow& row, int target, int& state, bool ruleLine) {
  const int tab = TabAt(row, target);
  if (tab < 0) return;
  const int e = SlotRunEnd(row, tab);
  if (state < 0) {
    const int now = RunState(row, tab + 1, e);
    state = now == 0 ? 1 : now == 1 ? 2 : 0;
  }
  const plat::CharFormat2 cell = CellFormat(row, tab, e);
  const bool cellLit = Lit(cell);
  plat::CharFormat2 base = row.glyphs[static_cast<size_t>(tab)].cf;
  std::vector<Glyph> run;
  if (ruleLine) {
    Glyph& t = row.glyphs[static_cast<size_t>(tab)];
    if (state == 2) {
      if (cellLit) SetLit(t.cf); else SetClear(t.cf);
      run = {Make("_", base, kPointRun, cellLit), Make("_", base, kPointRun, cellLit)};
    } else {
      SetLit(t.cf);
      if (state == 1) {
        run = {Make(".", base, kPointRun, true), Make(".", base, kPointRun, true)};
      } else {
        run = {Make("_", base, kPointRun, true)};
      }
    }
  } else if (state == 1) {
    run = {Make(".", base, kPointRun, true), Make(" ", cell, kPointRun, cellLit)};
  } else if (state == 2) {
    run = {Make(".", base, kPointRun, true), Make(".", base, kPointRun, true)};
  } else {
    run = {Make("_", cell, kPointRun, cellLit), Make("_", cell, kPointRun, cellLit)};
  }
  row.glyphs.erase(row.glyphs.begin() + tab + 1, row.glyphs.begin() + e);
  row.glyphs.insert(row.glyphs.begin() + tab + 1, run.begin(), run.end());
}

// '5' clears and '6' sets the segment of the cell opened by Tab T - 1 on a rule line.
void RuleSegment(SheetRow& row, int target, bool set) {
  const int a = TabAt(row, target - 1);
  if (a < 0) return;
  if (!set) {
    const bool any = std::any_of(row.glyphs.begin(), row.glyphs.end(), [](const Glyph& g) { return Lit(g.cf); });
    if (!any) return;
  }
  const int b = CellEnd(row, a + 1);
  for (int i = a; i < b; ++i) {
    plat::CharFormat2& cf = row.glyphs[static_cast<size_t>(i)].cf;
    if (set) SetLit(cf); else SetClear(cf);
  }
}

int TextSizeOf(const SheetRow& row, int fallback) {
  for (const Glyph& g : row.glyphs) {
    if (!IsTab(g) && !IsPoint(g) && g.cf.yHeight >= 100) return g.cf.yHeight / 10;
  }
  return fallback;
}

}  // namespace

std::vector<SheetRow> RowsOf(const plat::RichFragment& frag) {
  std::vector<SheetRow> rows(1);
  size_t object = 0;
  auto wide = frag.wide.begin();
  const std::string& text = frag.text;
  auto format = [&frag](size_t i) {
    const size_t f = i < frag.formatOfByte.size() ? frag.formatOfByte[i] : 0;
    return f < frag.formats.size() ? frag.formats[f] : plat::CharFormat2{};
  };
  for (size_t i = 0; i < text.size(); ++i) {
    SheetRow& row = rows.back();
    if (text[i] == '\r') {
      row.ended = true;
      row.para = frag.Para(rows.size() - 1);
      row.endFormat = format(i);
      rows.emplace_back();
      continue;
    }
    Glyph g{std::string(1, text[i]), format(i), {}};
    if (text[i] == plat::kObjectChar && object < frag.objects.size()) g.object = frag.objects[object++];
    while (wide != frag.wide.end() && wide->byte < static_cast<int64_t>(i)) ++wide;
    if (wide != frag.wide.end() && wide->byte == static_cast<int64_t>(i)) g.wide = wide->code;
    if (plat::IsRichLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
        plat::IsRichTrail(static_cast<unsigned char>(text[i + 1]))) {
      g.bytes += text[++i];
    }
    row.glyphs.push_back(std::move(g));
  }
  rows.back().para = frag.Para(rows.size() - 1);
  return rows;
}

plat::RichFragment FragmentOf(const std::vector<SheetRow>& rows) {
  plat::RichFragment frag;
  std::vector<std::string> keys;
  auto formatIndex = [&](const plat::CharFormat2& cf) {
    const std::string key = plat::RichFormatKey(cf, -1);
    for (size_t k = 0; k < keys.size(); ++k) {
      if (keys[k] == key) return static_cast<uint16_t>(k);
    }
    keys.push_back(key);
    frag.formats.push_back(cf);
    return static_cast<uint16_t>(frag.formats.size() - 1);
  };
  for (const SheetRow& row : rows) {
    for (const Glyph& g : row.glyphs) {
      const uint16_t f = formatIndex(g.cf);
      if (g.wide != 0) frag.wide.push_back({static_cast<int32_t>(frag.text.size()), g.wide});
      frag.text += g.bytes;
      frag.formatOfByte.insert(frag.formatOfByte.end(), g.bytes.size(), f);
      if (!g.object.empty()) frag.objects.push_back(g.object);
    }
    frag.AddPara(row.para);
    if (row.ended) {
      frag.text += '\r';
      frag.formatOfByte.push_back(formatIndex(row.endFormat));
    }
  }
  return frag;
}

RewriteResult RewriteColumns(std::vector<SheetRow>& rows, const RewriteInput& in) {
  RewriteResult res;
  const int count = static_cast<int>(rows.size());
  int first = std::max(in.first, 0);
  int end = std::max(in.end, 0);
  if (IsColumnKey(in.code) && in.number == 0 && end > 0 && !in.exactRange) ++end;
  const bool ctrlRule = in.code == TableKey::kBottomRuleCtrl || in.code == TableKey::kTopRuleCtrl;
  if (ctrlRule || (in.code == TableKey::kJoin && in.column == 32)) first = std::max(first - 2, 0);
  int reference = -1;
  int state = in.number;  // '3'-'6': -1 is resolved at the first target met
  int target = in.column;
  if (ctrlRule) ++target;
  if (target > kLeaderTab && !(ctrlRule && target == 31)) ++target;
  int n = in.column;
  if (in.code == TableKey::kInsertColumn && n > 2) --n;
  if (in.code == TableKey::kJoin && n < 32) --n;
  int h = in.textSize;
  std::string why;  // why a row was left as it was
  bool columnSeen = false;
  for (int r = 0; r < count; ++r) {
    SheetRow& row = rows[static_cast<size_t>(r)];
    h = TextSizeOf(row, h);
    if (!InRange(r, in, first, end)) continue;
    const SheetRow before = row;
    columnSeen = columnSeen || (in.column >= 1 && in.column <= row.para.cTabCount);
    RewriteInput here = in;
    here.textSize = h;
    switch (in.code) {
      case TableKey::kColumnLeft:
      case TableKey::kColumnRight: MoveBoundary(row, here, res, why); break;
      case TableKey::kInsertColumn:
      case TableKey::kDeleteColumn:
      case TableKey::kSplit:
      case TableKey::kJoin: {
        if (n >= 32) break;  // the leader area has no stops of its own
        if (in.code == TableKey::kDeleteColumn && n < 2) {
          // Before the row's first Tab there is no cell to remove: its stops stay too.
          why = "the cells before the first Tab are no column to remove";
          break;
        }
        const bool rule = IsRuleRow(row, kPointRun);
        if (!ColumnStops(row, here, n, reference)) {
          why = "the rows' columns do not line up: left as they are";
          break;
        }
        if (in.code == TableKey::kInsertColumn || in.code == TableKey::kSplit) SplitCell(row, here, n, rule);
        if (in.code == TableKey::kDeleteColumn) RemoveCell(row, n);
        if (in.code == TableKey::kJoin) JoinCells(row, n);
        break;
      }
      case TableKey::kLeftRule:
      case TableKey::kRightRule:
        if (in.number < -1 || in.number > 2) break;
        VerticalRule(row, target, state, IsRuleRow(row, 40));
        break;
      case TableKey::kBottomRuleCtrl:
      case TableKey::kTopRuleCtrl:
        if (IsRuleRow(row, 40)) RuleSegment(row, target, in.code == TableKey::kTopRuleCtrl);
        break;
      default: break;
    }
    if (!SameRow(before, row)) ++res.rowsChanged;
  }
  if (res.rowsChanged == 0) {
    // Nothing changed: the status says why, in the words of the column status.
    if (why.empty()) why = columnSeen ? "nothing to change in these rows" : "no such column in these rows";
    res.refusal = "column " + std::to_string(std::max(in.column - 1, 0)) + ": " + why;
  }
  return res;
}

int SplitLengthOfSearch(const std::string& search) {
  const size_t at = search.find("ATR:%I");
  if (at == std::string::npos) return 9;
  size_t i = at + 6;
  while (i < search.size() && i < at + 6 + 8 && search[i] == ' ') ++i;
  int n = 0;
  for (int digits = 0; i < search.size() && search[i] >= '0' && search[i] <= '9' && digits < 6; ++i, ++digits) {
    n = n * 10 + (search[i] - '0');
  }
  return n == 0 ? 12 : n + 3;
}

}  // namespace sheetcols
