#include "richtext/format/FormatCommands.h"

#include <algorithm>
#include <cstdio>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"
#include "richtext/table/TableEngine.h"
#include "richtext/ViewRichTextState.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

constexpr int kOffsetStep = 15;
constexpr int kOffsetShiftStep = 75;
constexpr int kMaxOffset = 7500;
constexpr int kRuleTwips = 25;

void ShowFormat(const std::string& text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT), text);
}

void RecordStep(CQelView& view, int code, int param, const char* format) {
  if (!view.Macro().m_bMacroRecording || view.Macro().m_nMacroSteps >= ViewMacroState::kMacroSteps - 1) return;
  view.Macro().m_anMacroCode[static_cast<size_t>(view.Macro().m_nMacroSteps)] = code;
  view.Macro().m_anMacroParam[static_cast<size_t>(view.Macro().m_nMacroSteps)] = param;
  ++view.Macro().m_nMacroSteps;
  char text[64];
  std::snprintf(text, sizeof text, format, view.Macro().m_nMacroSteps, code, param);
  ShowFormat(text);
}

// Keeps the view's selection fields in step after the control's selection moved.
void Resync(CQelView& view) {
  int a = 0, b = 0;
  view.Text().GetSel(a, b);
  view.SetSel(a, b);
}

int OnBold(CommandContext& cx) { return ToggleCharEffect(*cx.view, 1); }
int OnUnderline(CommandContext& cx) { return ToggleCharEffect(*cx.view, 2); }
int OnItalic(CommandContext& cx) { return ToggleCharEffect(*cx.view, 3); }
int OnStrikeOut(CommandContext& cx) { return ToggleCharEffect(*cx.view, 4); }

int OnToggleTextBackColor(CommandContext& cx) {
  if (cx.view->RichText().m_bBackColorTarget == 1 && cx.view->GetDocument().m_bCtrlDown == 1) {
    cx.view->CycleBackgroundColor(1);
    cx.view->GetDocument().m_bCtrlDown = 0;
    return 0;
  }
  cx.view->RichText().m_bBackColorTarget = cx.view->RichText().m_bBackColorTarget == 1 ? 0 : 1;
  return 0;
}

int OnSetTextBackColor(CommandContext& cx) {
  CQelView& view = *cx.view;
  plat::RichEdit* rich = view.Rich();
  if (!rich) return -1;
  const bool back = view.RichText().m_bBackColorTarget == 1;
  const plat::CharFormat2 now = rich->GetCharFormat(true);
  COLORREF colour = back ? view.Macro().m_crMacroBack : view.Macro().m_crMacroText;
  if (view.GetDocument().m_bCtrlDown != 1) {
    CColorDialog dlg(back ? ((now.dwEffects & plat::CFE_AUTOBACKCOLOR) ? cx.doc->m_clrTextBack : now.crBackColor)
                          : now.crTextColor);
    if (dlg.DoModal() != plat::IDOK) {
      view.GetDocument().m_bCtrlDown = 0;
      return 0;
    }
    colour = dlg.GetColor();
    (back ? view.Macro().m_crMacroBack : view.Macro().m_crMacroText) = colour;
  }
  view.GetDocument().m_bCtrlDown = 0;
  RecordStep(view, back ? 242 : 241, static_cast<int>(colour), "step=%3d cord=%3x flag=%6x");
  if (view.Table().m_rcBlock.active) {
    view.PaintBlock(view.Table().m_rcBlock, colour);
    return 0;
  }
  int a = 0, b = 0;
  rich->ExGetSel(a, b);
  plat::CharFormat2 cf;
  cf.dwEffects = 0;
  rich->BeginUndoGroup();
  if (!back) {
    cf.dwMask = plat::CFM_COLOR;
    cf.crTextColor = colour;
    rich->SetCharFormat(cf, true);
  } else {
    // Character by character, so the 1-point rule runs of a table keep their colour.
    cf.dwMask = plat::CFM_BACKCOLOR;
    cf.crBackColor = colour;
    for (int cp = a; cp < b; ++cp) {
      if (rich->FormatAt(cp).yHeight <= table::kTextHeight) continue;
      rich->ExSetSel(cp, cp + 1);
      rich->SetCharFormat(cf, true);
    }
    rich->ExSetSel(a, b);
  }
  rich->EndUndoGroup();
  Resync(view);
  return 0;
}

int OnHighlightSelection(CommandContext& cx) {
  CQelView& view = *cx.view;
  plat::RichEdit* rich = view.Rich();
  if (!rich) return -1;
  if (view.GetDocument().m_bCtrlDown == 1) {
    view.CycleBackgroundColor(1);
    view.GetDocument().m_bCtrlDown = 0;
    return 0;
  }
  int a = 0, b = 0;
  rich->ExGetSel(a, b);
  if (a == b) {
    CColorDialog dlg(view.RichText().m_crHighlight);
    if (dlg.DoModal() != plat::IDOK) return 0;
    view.RichText().m_crHighlight = dlg.GetColor();
  }
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_BACKCOLOR;
  cf.dwEffects = 0;
  cf.crBackColor = view.RichText().m_crHighlight;
  rich->SetCharFormat(cf, true);
  return 0;
}

int MoveChars(CommandContext& cx, int direction) {
  plat::RichEdit* rich = cx.view->Rich();
  if (!rich) return -1;
  const int step = cx.doc->m_bShiftDown ? kOffsetShiftStep : kOffsetStep;
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_OFFSET;
  cf.yOffset = std::clamp(rich->GetCharFormat(true).yOffset + direction * step, -kMaxOffset, kMaxOffset);
  rich->SetCharFormat(cf, true);
  char text[32];
  std::snprintf(text, sizeof text, "char offset= %2d", cf.yOffset / kOffsetStep);
  ShowFormat(text);
  return 0;
}
int OnRaiseChars(CommandContext& cx) { return MoveChars(cx, 1); }
int OnLowerChars(CommandContext& cx) { return MoveChars(cx, -1); }
int OnLineSpacingWider(CommandContext& cx) { return ChangeLineSpacing(*cx.view, 1, 0); }
int OnLineSpacingNarrower(CommandContext& cx) { return ChangeLineSpacing(*cx.view, 2, 0); }

void UpdateEffect(CommandContext& cx, CCmdUI& ui, uint32_t bit) {
  ui.Enable(cx.view->Rich() != nullptr);
  ui.SetCheck((cx.view->RichText().m_dwCharEffects & bit) ? 1 : 0);
}
void OnUpdateBold(CommandContext& cx, CCmdUI& ui) { UpdateEffect(cx, ui, plat::CFE_BOLD); }
void OnUpdateUnderline(CommandContext& cx, CCmdUI& ui) { UpdateEffect(cx, ui, plat::CFE_UNDERLINE); }
void OnUpdateItalic(CommandContext& cx, CCmdUI& ui) { UpdateEffect(cx, ui, plat::CFE_ITALIC); }
void OnUpdateStrikeOut(CommandContext& cx, CCmdUI& ui) { UpdateEffect(cx, ui, plat::CFE_STRIKEOUT); }
void OnUpdateRich(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Rich() != nullptr); }
void OnUpdateBackTarget(CommandContext& cx, CCmdUI& ui) { ui.SetCheck(cx.view->RichText().m_bBackColorTarget == 1 ? 1 : 0); }

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {33082, "ID_FORMAT_BOLD", "太字", V, OnBold, OnUpdateBold},
    {33083, "ID_FORMAT_UNDERLINE", "下線", V, OnUnderline, OnUpdateUnderline},
    {33084, "ID_FORMAT_ITALIC", "斜体", V, OnItalic, OnUpdateItalic},
    {33085, "ID_FORMAT_STRIKEOUT", "取り消し線", V, OnStrikeOut, OnUpdateStrikeOut},
    {33079, "ID_FORMAT_TOGGLE_TEXT_BACK", "文字色/背景色切り替え （CTRL同時押し ：画面の背景色を選択）", V, OnToggleTextBackColor, OnUpdateBackTarget},
    {33077, "ID_FORMAT_SET_TEXT_BACK_COLOR", "文字色/背景色を設定する （CTRL同時押し：前回の色で着色）", V, OnSetTextBackColor, OnUpdateRich},
    {33202, "ID_FORMAT_HIGHLIGHT_SELECTION", "選択文字の背景を着色する （選択なしで背景色を設定する）", V, OnHighlightSelection, OnUpdateRich},
    {33073, "ID_FORMAT_RAISE_CHARS", "選択文字の位置を上げる", V, OnRaiseChars, OnUpdateRich},
    {33075, "ID_FORMAT_LOWER_CHARS", "選択文字の位置を下げる", V, OnLowerChars, OnUpdateRich},
    {33069, "ID_FORMAT_LINE_SPACING_WIDER", "選択行の行間隔を拡大する (Shift同時押しで文字高単位)", V, OnLineSpacingWider, OnUpdateRich},
    {33071, "ID_FORMAT_LINE_SPACING_NARROWER", "選択行の行間隔を縮小する (Shift同時押しで文字高単位)", V, OnLineSpacingNarrower, OnUpdateRich},
};

}  // namespace

CommandRows FormatCommands() { return kRows; }

int ToggleCharEffect(CQelView& view, int effect) {
  plat::RichEdit* rich = view.Rich();
  if (!rich || !view.HasSelection()) return -1;
  if (effect < 5) RecordStep(view, effect + 70, 240, "step=%3d cord=f1 flag=%2d");
  const plat::CharFormat2 now = rich->GetCharFormat(true);
  plat::CharFormat2 cf;
  cf.dwMask = plat::CFM_BOLD | plat::CFM_ITALIC | plat::CFM_UNDERLINE | plat::CFM_STRIKEOUT;
  cf.dwEffects = now.dwEffects & (plat::CFE_BOLD | plat::CFE_ITALIC | plat::CFE_UNDERLINE | plat::CFE_STRIKEOUT);
  cf.bUnderlineType = now.bUnderlineType;
  switch (effect) {
    case 0: cf.dwEffects = 0; cf.bUnderlineType = plat::CFU_UNDERLINENONE; cf.dwMask |= plat::CFM_UNDERLINETYPE; break;
    case 1: cf.dwEffects ^= plat::CFE_BOLD; break;
    case 2:
      cf.dwMask |= plat::CFM_UNDERLINETYPE;
      cf.bUnderlineType = !(now.dwEffects & plat::CFE_UNDERLINE) ? plat::CFU_UNDERLINE
                          : now.bUnderlineType == plat::CFU_UNDERLINEDOTTED ? plat::CFU_UNDERLINENONE
                                                                           : plat::CFU_UNDERLINEDOTTED;
      break;
    case 3: cf.dwEffects ^= plat::CFE_ITALIC; break;
    case 4: cf.dwEffects ^= plat::CFE_STRIKEOUT; break;
    case 5: cf.dwEffects |= plat::CFE_BOLD | plat::CFE_UNDERLINE; break;
    case 6: cf.dwEffects |= plat::CFE_BOLD | plat::CFE_ITALIC; break;
    default: return -1;
  }
  rich->SetCharFormat(cf, true);
  view.RichText().m_dwCharEffects = rich->GetCharFormat(true).dwEffects &
                         (plat::CFE_BOLD | plat::CFE_ITALIC | plat::CFE_UNDERLINE | plat::CFE_STRIKEOUT);
  const int id = effect >= 1 && effect <= 6 ? IDS_EFFECT_BOLD - 1 + effect : IDS_EFFECT_PLAIN;
  ShowFormat(now.szFaceName + LoadString(id));
  return 0;
}

int ChangeLineSpacing(CQelView& view, int mode, int value) {
  plat::RichEdit* rich = view.Rich();
  if (!rich || (mode != 1 && mode != 2)) return -1;
  CQelDoc& doc = view.GetDocument();
  int a = 0, b = 0;
  rich->ExGetSel(a, b);
  const int firstLine = rich->ExLineFromChar(a);
  const int lastLine = rich->ExLineFromChar(b > a ? b - 1 : b);
  const uint8_t exactRule = doc.m_bLineHeightFirst == 1 ? plat::kSpacingAtLeast : plat::kSpacingExact;
  auto isRule = [&](int line) {
    const plat::ParaFormat2& pf = rich->ParaOfLine(line);
    return pf.bLineSpacingRule >= plat::kSpacingAtLeast && pf.bLineSpacingRule <= plat::kSpacingExact &&
           pf.dyLineSpacing <= kRuleTwips && table::IsRuleLine(*rich, line);
  };
  int line = firstLine;
  if (isRule(line) && lastLine > firstLine) ++line;
  const plat::ParaFormat2& pf = rich->ParaOfLine(line);
  uint8_t rule = pf.bLineSpacingRule;
  int spacing = pf.dyLineSpacing;
  if (doc.m_bSpaceLineSpacing == 1) spacing = rich->FormatAt(rich->LineIndex(line)).yHeight;
  if (rule >= plat::kSpacingAtLeast && spacing == 0) spacing = 260;
  if (rule < plat::kSpacingAtLeast && doc.m_bSpaceLineSpacing != 1) spacing = 260;
  if (doc.m_bShiftDown == 1) {
    int r = rule < plat::kSpacingAtLeast ? rule : 0;
    r = mode == 1 ? std::min(r + 1, 2) : std::max(r - 1, 0);
    rule = static_cast<uint8_t>(r);
    spacing = 0;
  } else if (value > 0) {
    rule = exactRule;
    spacing = value;
  } else {
    rule = exactRule;
    if (mode == 1) {
      spacing += spacing < 1001 ? 15 : 100;
      spacing = std::min(spacing / 15 * 15, 15800);
    } else {
      spacing -= spacing < 1100 ? 15 : 100;
      spacing = std::max(spacing / 15 * 15, lastLine > firstLine ? 30 : 20);
    }
  }
  rich->BeginUndoGroup();
  plat::ParaFormat2 set;
  set.dwMask = plat::PFM_LINESPACING;
  set.bLineSpacingRule = rule;
  set.dyLineSpacing = spacing;
  for (int l = firstLine; l <= lastLine; ++l) {
    if (lastLine > firstLine && isRule(l)) continue;  // rule lines keep their 1-point spacing
    const int start = rich->LineIndex(l);
    rich->ExSetSel(start, start);
    rich->SetParaFormat(set);
  }
  rich->ExSetSel(a, b);
  rich->EndUndoGroup();
  Resync(view);
  if (rule < plat::kSpacingAtLeast) {
    ShowFormat(rule == 0 ? "line space = 1.0L" : rule == 1 ? "line space = 1.5L" : "line space = 2.0L");
  } else {
    ShowFormat(table::LineSpaceText(spacing));
  }
  return 0;
}
