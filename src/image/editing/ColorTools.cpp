// The drawing tools' colours: the source and target colours of the colour
// replacement, the text and background colours of figures and text, each chosen in
// the colour dialog (its custom colours 0 and 8 are the document's text colour and
// text background), and the colour replacement switch. Bit 24 of the source and
// target colours marks "not set" while the low 24 bits keep the last choice.
#include "image/editing/ColorTools.h"

#include "app/FileKind.h"
#include "app/ViewCodes.h"
#include "frame/Dialogs.h"
#include "image/ViewImageCommands.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "platform/ui/Ui.h"
#include "view/QelView.h"

namespace {

constexpr COLORREF kColorNotSet = 0x1000000;
constexpr unsigned kConversionSwitch = 32989;

bool ShowsImage(CommandContext& cx) { return cx.view && IsImageKind(cx.view->Pane().m_nShownKind) && cx.view->Image().m_pImageBits; }
bool IsSet(COLORREF c) { return (c & kColorNotSet) == 0; }

// The colour dialog opened on a colour; true with the choice in `chosen` on OK.
bool ChooseColor(CommandContext& cx, COLORREF initial, COLORREF& chosen) {
  CColorDialog dialog(initial & 0xFFFFFF);
  dialog.m_crCustom[0] = cx.doc->m_clrTextChar;
  dialog.m_crCustom[8] = cx.doc->m_clrTextBack;
  if (dialog.DoModal() != plat::IDOK) return false;
  chosen = dialog.GetColor() & 0xFFFFFF;
  return true;
}

// The picture again through the changed settings: the whole image, or an edited
// region's own pixels.
void Rerender(CQelView& v) {
  if (v.Region().m_nRegionCount < 1) {
    v.RefreshImage(CQelView::RefreshMode::kKeepScroll);
    return;
  }
  v.Image().m_ImageSettings.m_bTransform = 1;
  v.RestoreRegionPixels();
  v.ApplyImageEdit(CQelView::ImageEdit::kRender, "");
  v.SetTimer(ImageRepaintTimer(v.Pane().m_nPane), 10);
}

// The set/unset switch of the source or target colour.
int ToggleReplaceColor(CommandContext& cx, COLORREF& colour) {
  if (IsSet(colour)) {
    colour |= kColorNotSet;
    return 0;
  }
  colour &= ~kColorNotSet;
  COLORREF chosen = 0;
  if (ChooseColor(cx, colour, chosen)) colour = chosen;
  return 0;
}
int OnSourceColorSet(CommandContext& cx) { return ToggleReplaceColor(cx, cx.view->Image().m_ImageSettings.m_clrSource); }
int OnTargetColorSet(CommandContext& cx) { return ToggleReplaceColor(cx, cx.view->Image().m_ImageSettings.m_clrTarget); }

// The source or target colour from the dialog opened on the colour under the cursor.
int PickReplaceColor(CommandContext& cx, COLORREF& colour) {
  COLORREF chosen = 0;
  if (!ChooseColor(cx, cx.view->Image().m_ImageSettings.m_clrPicked, chosen)) return 0;
  colour = chosen;
  if (cx.view->Image().m_ImageSettings.m_bActive) Rerender(*cx.view);
  return 0;
}
int OnSourceColor(CommandContext& cx) { return PickReplaceColor(cx, cx.view->Image().m_ImageSettings.m_clrSource); }
int OnTargetColor(CommandContext& cx) { return PickReplaceColor(cx, cx.view->Image().m_ImageSettings.m_clrTarget); }

// The text or background colour: back to the document's when it differs, else chosen
// on the macro colour and remembered there too.
int ToggleDrawColor(CommandContext& cx, COLORREF& colour, COLORREF documentColour, COLORREF& macro) {
  if (colour != documentColour) {
    colour = documentColour;
    return 0;
  }
  COLORREF chosen = 0;
  if (ChooseColor(cx, macro, chosen)) colour = macro = chosen;
  return 0;
}
int OnTextColorSet(CommandContext& cx) {
  return ToggleDrawColor(cx, cx.view->Image().m_ImageSettings.m_clrText, cx.doc->m_clrTextChar, cx.view->Macro().m_crMacroText);
}
int OnBackColorSet(CommandContext& cx) {
  return ToggleDrawColor(cx, cx.view->Image().m_ImageSettings.m_clrBackground, cx.doc->m_clrTextBack,
                         cx.view->Macro().m_crMacroBack);
}

int PickDrawColor(CommandContext& cx, COLORREF& colour, COLORREF& macro) {
  COLORREF chosen = 0;
  if (ChooseColor(cx, cx.view->Image().m_ImageSettings.m_clrPicked, chosen)) colour = macro = chosen;
  return 0;
}
int OnTextColor(CommandContext& cx) {
  return PickDrawColor(cx, cx.view->Image().m_ImageSettings.m_clrText, cx.view->Macro().m_crMacroText);
}
int OnBackColor(CommandContext& cx) {
  return PickDrawColor(cx, cx.view->Image().m_ImageSettings.m_clrBackground, cx.view->Macro().m_crMacroBack);
}

// Colour replacement on or off, then the conversion switch toggles the conversion.
int OnColorReplace(CommandContext& cx) {
  ImageConvertSettings& s = cx.view->Image().m_ImageSettings;
  if (s.m_bActive == 0 || s.m_bSkipSelected == 1 || s.m_bToTarget == 0) {
    s.m_bSkipSelected = 0;
    s.m_bToTarget = 1;
    s.m_bActive = 0;
  } else {
    s.m_bSkipSelected = 1;
    s.m_bToTarget = 0;
    const bool otherFilters = s.m_bInvert || s.m_bEmphasis || s.m_bSaturationCorr || s.m_bHueCorr ||
                              s.m_bBrightnessCorr || s.m_bContourCorr;
    s.m_bActive = otherFilters ? 0 : 1;
  }
  const CommandEntry* conversion = FindCommand(CommandTables{ViewImageCommands()}, kConversionSwitch);
  return conversion && conversion->handler ? conversion->handler(cx) : -1;
}

void Check(CCmdUI& ui, bool check, bool enable) {
  ui.SetCheck(check ? 1 : 0);
  ui.Enable(enable);
}
void UpImage(CommandContext& cx, CCmdUI& ui) { ui.Enable(ShowsImage(cx)); }
void UpSourceSet(CommandContext& cx, CCmdUI& ui) {
  Check(ui, IsSet(cx.view->Image().m_ImageSettings.m_clrSource), ShowsImage(cx));
}
void UpTargetSet(CommandContext& cx, CCmdUI& ui) {
  Check(ui, IsSet(cx.view->Image().m_ImageSettings.m_clrTarget), ShowsImage(cx));
}
void UpTextSet(CommandContext& cx, CCmdUI& ui) {
  Check(ui, cx.view->Image().m_ImageSettings.m_clrText != cx.doc->m_clrTextChar, ShowsImage(cx));
}
void UpBackSet(CommandContext& cx, CCmdUI& ui) {
  Check(ui, cx.view->Image().m_ImageSettings.m_clrBackground != cx.doc->m_clrTextBack, ShowsImage(cx));
}
void UpColorReplace(CommandContext& cx, CCmdUI& ui) {
  const ImageConvertSettings& s = cx.view->Image().m_ImageSettings;
  const bool unset = !IsSet(s.m_clrSource) || !IsSet(s.m_clrTarget);
  Check(ui, s.m_bActive == 1 && s.m_bSkipSelected == 0 && s.m_bToTarget == 1,
        ShowsImage(cx) && !(unset && s.m_bActive == 0));
}

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {33180, "ID_DRAW_SOURCE_COLOR_SET", "変換元の色を設定", V, OnSourceColorSet, UpSourceSet},
    {33175, "ID_DRAW_TARGET_COLOR_SET", "変換先の色を設定", V, OnTargetColorSet, UpTargetSet},
    {32978, "ID_DRAW_SOURCE_COLOR", "変換元の色", V, OnSourceColor, UpImage},
    {32972, "ID_DRAW_TARGET_COLOR", "変換先の色", V, OnTargetColor, UpImage},
    {33178, "ID_DRAW_TEXT_COLOR_SET", "文字色を設定", V, OnTextColorSet, UpTextSet},
    {33040, "ID_DRAW_TEXT_COLOR", "文字色", V, OnTextColor, UpImage},
    {33179, "ID_DRAW_BACK_COLOR_SET", "背景色を設定", V, OnBackColorSet, UpBackSet},
    {32957, "ID_DRAW_BACK_COLOR", "背景色", V, OnBackColor, UpImage},
    {33194, "ID_DRAW_COLOR_REPLACE", "色変換(変換元の色→変換先の色)を入り切りします。", V, OnColorReplace,
     UpColorReplace},
    {33195, "ID_DRAW_COLOR_REPLACE_SWITCH", "色変換入切", V, OnColorReplace, UpColorReplace},
};

}  // namespace

CommandRows ColorToolCommands() { return kRows; }
