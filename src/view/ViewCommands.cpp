#include "view/ViewCommands.h"

#include "view/QelView.h"

namespace {

int OnEditSelectAll(CommandContext& cx) {
  cx.view->SetSel(0, -1);
  return 0;
}

void OnUpdateEditSelectAll(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Text().GetTextLength() > 0); }

int OnViewRefresh(CommandContext& cx) { return cx.view->RefreshKeepingScroll(0); }

constexpr CommandEntry kRows[] = {
    {57642, "ID_EDIT_SELECT_ALL", "すべて選択", CommandTarget::TextView, OnEditSelectAll, OnUpdateEditSelectAll},
    {32802, "ID_VIEW_REFRESH", "再表示", CommandTarget::TextView, OnViewRefresh},
};

}  // namespace

CommandRows ViewCommands() { return kRows; }
