// The HTML browser pane's command rows: a script reaches them after `pane html`.
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "net/NetCommands.h"
#include "net/NetState.h"
#include "net/QelHtmlView.h"

namespace {

CQelHtmlView& Html(CommandContext& cx) { return *cx.html; }

// Runs a command that may navigate: it fails when the page it went to did not come,
// and says which page and why (pane 0 says it too).
template <typename Move>
int Navigating(CommandContext& cx, Move move) {
  const int before = Html(cx).Navigations();
  move(Html(cx));
  if (Html(cx).Navigations() == before || Html(cx).PageFailure().empty()) return 0;
  AfxMessageBox(Html(cx).GetLocationURL() + "\n" + Html(cx).PageFailure());
  return -1;
}

// A move with nothing to go to (no page before or after, no page to read again, no
// home page set) is not available: the command is refused and says so.
int OnForward(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnBrowserForward(); }); }
void OnUpdateForward(CommandContext& cx, CCmdUI& ui) {
  const CQelHtmlView& v = Html(cx);
  ui.Enable(v.m_nLastMove != 1 && v.TravelIndex() + 1 < static_cast<int>(v.TravelLog().size()));
}
int OnBack(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnBrowserBack(); }); }
void OnUpdateBack(CommandContext& cx, CCmdUI& ui) { ui.Enable(Html(cx).m_nLastMove != 2 && Html(cx).TravelIndex() > 0); }
int OnRecall(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnRecall(); }); }
void OnUpdateRecall(CommandContext& cx, CCmdUI& ui) { ui.Enable(!Html(cx).GetLocationURL().empty()); }
int OnInet(CommandContext& cx) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "OnInet", true);
  cx.doc->OnInternet();
  return 0;
}
void OnUpdateInet(CommandContext& cx, CCmdUI& ui) { ui.SetCheck(cx.doc->Net().m_nAddrListRequest != 0 ? 1 : 0); }
int OnAddressList(CommandContext& cx) { return Html(cx).OnAddressList(), 0; }
int OnCopy(CommandContext& cx) { return Html(cx).OnEditCopy(); }
int OnSaveSource(CommandContext& cx) { return Html(cx).OnSaveSourceAs(); }
int OnNothing(CommandContext&) { return 0; }
void OnUpdateDisable(CommandContext&, CCmdUI& ui) { ui.Enable(false); }
// The text's edit commands have no place while the browser pane is on.
void OnUpdateEditCommands(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.doc->Net().m_nHtmlBrowserMode == 0); }
int OnHome(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnHomePage(); }); }
void OnUpdateHome(CommandContext& cx, CCmdUI& ui) { ui.Enable(!Html(cx).HomePage().empty()); }
int OnInsertAddress(CommandContext& cx) { return Html(cx).OnInsertAddress(), 0; }
int OnDeleteAddress(CommandContext& cx) { return Html(cx).OnDeleteAddress(), 0; }
// Asks the frame for the layout of two text panes.
int OnTextTwoPane(CommandContext& cx) {
  if (!cx.frame) return -1;
  cx.frame->ShowTextTwoPane();
  return 0;
}
int OnFind(CommandContext& cx) { return Html(cx).OnEditFind(); }
int OnJump1(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnJump(1); }); }
void OnUpdateJump1(CommandContext& cx, CCmdUI& ui) { ui.Enable(Html(cx).m_nHistory >= 2); }
int OnJump2(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnJump(2); }); }
void OnUpdateJump2(CommandContext& cx, CCmdUI& ui) { ui.Enable(Html(cx).m_nHistory >= 3); }
int OnJump3(CommandContext& cx) { return Navigating(cx, [](CQelHtmlView& v) { v.OnJump(3); }); }
void OnUpdateJump3(CommandContext& cx, CCmdUI& ui) { ui.Enable(Html(cx).m_nHistory >= 4); }

constexpr CommandTarget kHtml = CommandTarget::HtmlView;

constexpr CommandEntry kRows[] = {
    {33039, "ID_BROWSER_FORWARD", "右へ / 進む(ブラウザ)", kHtml, OnForward, OnUpdateForward, "browser-forward"},
    {33038, "ID_BROWSER_BACK", "左へ / 戻る(ブラウザ)", kHtml, OnBack, OnUpdateBack, "browser-back"},
    {32854, "ID_RECALL", "再読出し(&U)", kHtml, OnRecall, OnUpdateRecall, "reload"},
    {33032, "ID_PAGE_DOWN", "下へ / 次のページへ", kHtml, OnRecall, OnUpdateRecall},
    {32880, "ID_INTERNET", "ｲﾝﾀｰﾈｯﾄ(&@)", kHtml, OnInet, OnUpdateInet, "internet"},
    {32882, "ID_ADDRESS_LIST", "ｱﾄﾞﾚｽﾘｽﾄ(&A)", kHtml, OnAddressList},
    {57634, "ID_EDIT_COPY", "複写(&C)", kHtml, OnCopy},
    {32930, "ID_SAVE_SOURCE_AS", "ｿｰｽを別名で保存(&B)", kHtml, OnSaveSource, nullptr, "save-source"},
    {32870, "ID_FILE_SAVE_OVER", "上書き保存(&S)", kHtml, OnSaveSource},
    {32869, "ID_FILE_SAVE_AS_NAME", "別名で保存(&A)", kHtml, OnNothing, OnUpdateDisable},
    {32955, "ID_TEXT_SAVE", "ﾃｷｽﾄ保存(&T)", kHtml, OnNothing, OnUpdateDisable},
    {33013, "ID_HOME_PAGE", "ホームページを表示します。", kHtml, OnHome, OnUpdateHome, "home"},
    {33011, "ID_INSERT_ADDRESS", "ｱﾄﾞﾚｽ挿入(&A)", kHtml, OnInsertAddress},
    {32815, "ID_DELETE_LINE", "削除(&K)", kHtml, OnDeleteAddress},
    {33018, "ID_DELETE_ADDRESS", "リストからカーソル行(又は先頭行)のアドレスを削除します。", kHtml, OnDeleteAddress},
    {57609, "ID_FILE_PRINT_PREVIEW", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)", kHtml, nullptr},
    {32874, "ID_PRINT_MARGINS", "印刷余白設定(&H)", kHtml, nullptr},
    {57636, "ID_EDIT_FIND", "検索", kHtml, OnFind},
    {33089, "ID_ENTER_ADDRESS", "アドレスを入力して呼び出す", kHtml, OnFind, nullptr, "enter-address"},
    {32842, "ID_JUMP1", "ｼﾞｬﾝﾌﾟ１(&1)", kHtml, OnJump1, OnUpdateJump1, "jump1"},
    {32843, "ID_JUMP2", "ｼﾞｬﾝﾌﾟ２(&2)", kHtml, OnJump2, OnUpdateJump2, "jump2"},
    {32844, "ID_JUMP3", "ｼﾞｬﾝﾌﾟ３(&3)", kHtml, OnJump3, OnUpdateJump3, "jump3"},
    {32971, "ID_SAVE_DATA_SCREEN", "データ画面保存(&T)", kHtml, nullptr},
    {33028, "ID_PRINT_DOCUMENT", "文章、画像の印刷", kHtml, nullptr},
    {33027, "ID_PRINT_PREVIEW_CONFIRM", "印刷出力の画面での確認", kHtml, nullptr},
    {32856, "ID_TEXT_TWO_PANE", "ﾃｷｽﾄ2画面(&W)", kHtml, OnTextTwoPane, nullptr, "text-two-pane"},
    {32777, "ID_EDIT_COMMAND_32777", "編集コマンド", kHtml, nullptr, OnUpdateEditCommands},
    {32778, "ID_EDIT_COMMAND_32778", "編集コマンド", kHtml, nullptr, OnUpdateEditCommands},
    {32782, "ID_EDIT_COMMAND_32782", "編集コマンド", kHtml, nullptr, OnUpdateEditCommands},
    {32784, "ID_EDIT_COMMAND_32784", "編集コマンド", kHtml, nullptr, OnUpdateEditCommands},
    {32786, "ID_EDIT_COMMAND_32786", "編集コマンド", kHtml, nullptr, OnUpdateEditCommands},
};

}  // namespace

CommandRows NetCommands() { return kRows; }
