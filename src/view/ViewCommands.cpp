#include "view/ViewCommands.h"

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "view/QelView.h"

namespace {

int OnEditSelectAll(CommandContext& cx) {
  cx.view->SetSel(0, -1);
  return 0;
}

void OnUpdateEditSelectAll(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Text().GetTextLength() > 0); }

int OnViewRefresh(CommandContext& cx) { return cx.view->RefreshKeepingScroll(0); }

// The picture whose tag the selection holds (without a selection, the caret's line).
int OnViewSelectedPicture(CommandContext& cx) {
  const TextModel& text = cx.view->Text();
  std::string chosen = text.GetSelText();
  if (chosen.empty()) {
    int a = 0, b = 0;
    text.GetSel(a, b);
    const int line = text.LineFromChar(a);
    const int start = text.LineIndex(line), length = text.LineLength(line);
    if (start >= 0 && length > 0) chosen = text.GetText().substr(static_cast<size_t>(start), static_cast<size_t>(length));
  }
  if (cx.doc->m_nFileKind != kKindPdf) return cx.doc->ShowOfficePicture(chosen);
  return cx.doc->ShowPdfPicture(chosen);
}

void OnUpdateViewSelectedPicture(CommandContext& cx, CCmdUI& ui) {
  const int kind = cx.doc->m_nFileKind;
  ui.Enable(kind == kKindPdf || kind == kKindPpt || kind == kKindDoc || kind == kKindXls);
}

constexpr CommandEntry kRows[] = {
    {57642, "ID_EDIT_SELECT_ALL", "すべて選択", CommandTarget::TextView, OnEditSelectAll, OnUpdateEditSelectAll},
    {32802, "ID_VIEW_REFRESH", "再表示", CommandTarget::TextView, OnViewRefresh},
    {33300, "ID_VIEW_SELECTED_PICTURE", "選択した画像を表示", CommandTarget::TextView, OnViewSelectedPicture, OnUpdateViewSelectedPicture},
};

}  // namespace

CommandRows ViewCommands() { return kRows; }
