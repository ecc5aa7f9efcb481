#include "richtext/format/RichTextCommands.h"

#include "frame/MainFrame.h"
#include "view/QelView.h"

namespace {

plat::Clipboard* ClipboardOf(CommandContext& cx) { return cx.frame ? &cx.frame->Ui().GetClipboard() : nullptr; }

int OnEditCopy(CommandContext& cx) {
  plat::Clipboard* clip = ClipboardOf(cx);
  if (!clip || !cx.view->HasSelection()) return -1;
  if (plat::RichEdit* rich = cx.view->Rich()) {
    rich->Copy(*clip);
  } else {
    std::string text = cx.view->Text().GetSelText();
    clip->Empty();
    clip->SetData(plat::CF_TEXT, text);
  }
  return 0;
}

int OnEditCut(CommandContext& cx) {
  if (OnEditCopy(cx) != 0) return -1;
  cx.view->Text().ReplaceSel("");
  int a = 0, b = 0;
  cx.view->Text().GetSel(a, b);
  cx.view->SetSel(b, b);
  return 0;
}

int OnEditPaste(CommandContext& cx) {
  plat::Clipboard* clip = ClipboardOf(cx);
  if (!clip) return -1;
  if (plat::RichEdit* rich = cx.view->Rich()) {
    rich->Paste(*clip);
  } else if (clip->IsFormatAvailable(plat::CF_TEXT)) {
    cx.view->Text().ReplaceSel(clip->GetData(plat::CF_TEXT));
  } else {
    return -1;
  }
  int a = 0, b = 0;
  cx.view->Text().GetSel(a, b);
  cx.view->SetSel(b, b);
  return 0;
}

int OnEditUndo(CommandContext& cx) {
  plat::RichEdit* rich = cx.view->Rich();
  if (!rich || !rich->Undo()) return -1;
  int a = 0, b = 0;
  cx.view->Text().GetSel(a, b);
  cx.view->SetSel(a, b);
  return 0;
}

void OnUpdateSelection(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->HasSelection()); }
void OnUpdatePaste(CommandContext& cx, CCmdUI& ui) {
  plat::Clipboard* clip = ClipboardOf(cx);
  ui.Enable(clip && (clip->IsFormatAvailable(plat::CF_TEXT) || clip->IsFormatAvailable(plat::CF_RTF)));
}
void OnUpdateUndo(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Rich() && cx.view->Rich()->CanUndo()); }

constexpr CommandEntry kRows[] = {
    {57634, "ID_EDIT_COPY", "コピー", CommandTarget::TextView, OnEditCopy, OnUpdateSelection},
    {57635, "ID_EDIT_CUT", "切り取り", CommandTarget::TextView, OnEditCut, OnUpdateSelection},
    {57637, "ID_EDIT_PASTE", "貼り付け", CommandTarget::TextView, OnEditPaste, OnUpdatePaste},
    {57643, "ID_EDIT_UNDO", "元に戻す", CommandTarget::TextView, OnEditUndo, OnUpdateUndo},
};

}  // namespace

CommandRows RichTextCommands() { return kRows; }
