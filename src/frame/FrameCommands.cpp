#include "frame/FrameCommands.h"

#include "app/QelDoc.h"
#include "frame/Dialogs.h"
#include "frame/MainFrame.h"

namespace {

// File > Open: the path the file dialog gives is loaded; a cancelled dialog does nothing.
int OnFileOpen(CommandContext& cx) {
  CFileDialog dialog(true, "");
  if (dialog.DoModal() != plat::IDOK) return 0;
  return cx.doc->LoadDocument(dialog.GetPathName()) < 0 ? -1 : 0;
}

int OnListDisplay(CommandContext& cx) {
  cx.frame->OnListDisplay();
  return 0;
}

int OnSwitchScreen(CommandContext& cx) {
  cx.frame->OnSwitchScreen();
  return 0;
}

int OnDrawToolbar(CommandContext& cx) {
  cx.frame->m_bDrawToolbar = !cx.frame->m_bDrawToolbar;
  cx.frame->m_nMenuSignature = 0;
  return 0;
}

void OnUpdateDrawToolbar(CommandContext& cx, CCmdUI& ui) { ui.SetCheck(cx.frame->m_bDrawToolbar ? 1 : 0); }

constexpr CommandEntry kRows[] = {
    {57601, "ID_FILE_OPEN", "開く", CommandTarget::Document, OnFileOpen},
    {32800, "ID_LIST_DISPLAY", "リスト表示切替", CommandTarget::Frame, OnListDisplay},
    {32801, "ID_SWITCH_SCREEN", "画面切替", CommandTarget::Frame, OnSwitchScreen},
    {33177, "ID_VIEW_DRAW_TOOLBAR", "描画ツールバー", CommandTarget::Frame, OnDrawToolbar, OnUpdateDrawToolbar},
};

}  // namespace

CommandRows FrameCommands() { return kRows; }
