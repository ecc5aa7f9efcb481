// Thin handlers: each sends the table engine one code with fixed arguments (a second
// code while Ctrl is held), switches table mode, or undoes the last table command.
#include "richtext/table/TableCommands.h"

#include <algorithm>

#include "app/FileKind.h"
#include "platform/ui/Ui.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

using K = TableKey;
// What the commands send with a code: the whole row or column; the cell, as the
// cell split and join and the top-rule row send it (number 0); a cell's rule.
constexpr TableArgs kWhole{};
constexpr TableArgs kCell{.number = 0, .cellOnly = 1};
constexpr TableArgs kCellRule{.cellOnly = 1};

int Send(CommandContext& cx, TableKey code, TableArgs args = kWhole) {
  cx.view->TableCommand(code, args);
  return 0;
}
TableKey CtrlCode(CommandContext& cx, TableKey code, TableKey ctrlCode) {
  return cx.view->GetDocument().m_bCtrlDown == 1 ? ctrlCode : code;
}

int OnTableInsertColumn(CommandContext& cx) { return Send(cx, K::kInsertColumn); }
int OnTableDeleteColumn(CommandContext& cx) { return Send(cx, K::kDeleteColumn); }
int OnTableSplitColumn(CommandContext& cx) { return Send(cx, K::kSplit); }
int OnTableJoinColumn(CommandContext& cx) { return Send(cx, K::kJoin); }
int OnCellSplit(CommandContext& cx) { return Send(cx, K::kSplit, kCell); }
int OnCellJoin(CommandContext& cx) { return Send(cx, K::kJoin, kCell); }
int OnTableInsertRow(CommandContext& cx) { return Send(cx, K::kInsertRow); }
int OnTableDeleteRow(CommandContext& cx) { return Send(cx, K::kDeleteRow); }
int OnTableBottomRule(CommandContext& cx) { return Send(cx, K::kBottomRule); }
int OnTableTopRule(CommandContext& cx) { return Send(cx, K::kTopRule); }
int OnTableBottomRuleCycle(CommandContext& cx) { return Send(cx, CtrlCode(cx, K::kBottomRule, K::kBottomRuleCtrl)); }
int OnTableTopRuleCycle(CommandContext& cx) { return Send(cx, CtrlCode(cx, K::kTopRule, K::kTopRuleCtrl)); }
int OnTableLeftRule(CommandContext& cx) { return Send(cx, CtrlCode(cx, K::kLeftRule, K::kLeftRuleCtrl)); }
int OnTableRightRule(CommandContext& cx) { return Send(cx, CtrlCode(cx, K::kRightRule, K::kRightRuleCtrl)); }
int OnTableCellBottomRule(CommandContext& cx) { return Send(cx, K::kBottomRule, kCellRule); }
int OnTableCellTopRule(CommandContext& cx) { return Send(cx, K::kTopRule, kCellRule); }
int OnTableCellLeftRule(CommandContext& cx) { return Send(cx, K::kLeftRule, kCellRule); }
int OnTableCellRightRule(CommandContext& cx) { return Send(cx, K::kRightRule, kCellRule); }
int OnTableDeleteTopRuleRow(CommandContext& cx) { return Send(cx, K::kKeepSelection, kCell); }
int OnColumnBoundaryLeft(CommandContext& cx) { return Send(cx, K::kColumnLeft); }
int OnColumnBoundaryRight(CommandContext& cx) { return Send(cx, K::kColumnRight); }

int OnTableNew(CommandContext& cx) { return cx.view->BuildRtfTable(1); }
int OnTableConvertSelection(CommandContext& cx) {
  cx.view->OnTableConvertSelection();
  return 0;
}
int OnTableConvertLines(CommandContext& cx) { return cx.view->OnTableConvertLines(0) < 0 ? -1 : 0; }

// Every table command is one undo group, so one undo restores the text as it was
// before the last command, whatever number of steps the command made.
int OnTableUndo(CommandContext& cx) {
  plat::RichEdit* rich = cx.view->Rich();
  if (!rich) return -1;
  int a = 0, b = 0;
  cx.view->Text().GetSel(a, b);
  const int keep = std::min(a, b);
  rich->Undo();
  cx.view->SetSel(keep, keep);
  return 0;
}
int OnTableModeEnd(CommandContext& cx) {
  cx.doc->m_bTableMode = 0;
  return 0;
}
int OnTableEdit(CommandContext& cx) {
  cx.doc->m_bTableMode = cx.doc->m_bTableMode == 1 ? 0 : 1;
  return 0;
}

void OnUpdateRichText(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Pane().m_nShownKind == kKindRtf); }
void OnUpdateTableMode(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(cx.view->Pane().m_nShownKind == kKindRtf && cx.doc->m_bTableMode == 1);
}
// A sheet shown from its cell text is a table too: table mode edits it with the keys
// (and writes it as a PDF), and the table undo takes those edits back.
bool ShowsTable(CommandContext& cx) {
  return cx.view->Pane().m_nShownKind == kKindRtf || (cx.view->Pane().m_nShownKind == kKindCsv && cx.view->Table().m_nTextMode == 3);
}
void OnUpdateTableUndo(CommandContext& cx, CCmdUI& ui) { ui.Enable(cx.view->Rich() != nullptr && ShowsTable(cx)); }
void OnUpdateTableEdit(CommandContext& cx, CCmdUI& ui) {
  ui.Enable(ShowsTable(cx));
  ui.SetCheck(cx.doc->m_bTableMode == 1 ? 1 : 0);
}

constexpr auto V = CommandTarget::TextView;
constexpr CommandEntry kRows[] = {
    {33057, "ID_TABLE_INSERT_COLUMN", "カーソル列の左に列追加(表右外で右端列の右に追加)  ctrl+I   +shift：1行のみ", V, OnTableInsertColumn, OnUpdateTableMode},
    {33058, "ID_TABLE_DELETE_COLUMN", "カーソル列を削除  ctrl+U   +shift：1行のみ", V, OnTableDeleteColumn, OnUpdateTableMode},
    {33121, "ID_TABLE_SPLIT_COLUMN", "列分割（カーソル位置で左右に分ける）  ctrl+I", V, OnTableSplitColumn, OnUpdateTableMode},
    {33122, "ID_TABLE_JOIN_COLUMN", "列結合（右列と結合）  ctrl+U", V, OnTableJoinColumn, OnUpdateTableMode},
    {33114, "ID_CELL_SPLIT", "欄分割（カーソル位置で左右に分ける）  ctrl+shft+I", V, OnCellSplit, OnUpdateTableMode},
    {33115, "ID_CELL_JOIN", "欄結合（右欄と結合） ctrl+shft+U", V, OnCellJoin, OnUpdateTableMode},
    {33059, "ID_TABLE_INSERT_ROW", "カーソル行の下に行追加(左端で上に追加)  ctrl+J", V, OnTableInsertRow, OnUpdateTableMode},
    {33060, "ID_TABLE_DELETE_ROW", "カーソル行を削除  ctrl+K", V, OnTableDeleteRow, OnUpdateTableMode},
    {33061, "ID_TABLE_BOTTOM_RULE", "下罫線", V, OnTableBottomRule, OnUpdateTableMode},
    {33062, "ID_TABLE_TOP_RULE", "上罫線", V, OnTableTopRule, OnUpdateTableMode},
    {33086, "ID_TABLE_BOTTOM_RULE_CYCLE", "下罫線 【細線→太線→なし】  ctrl+1   +Shift : 欄のみ", V, OnTableBottomRuleCycle, OnUpdateTableMode},
    {33088, "ID_TABLE_TOP_RULE_CYCLE", "上罫線 【細線→太線→なし】  ctrl+2   +Shift : 欄のみ", V, OnTableTopRuleCycle, OnUpdateTableMode},
    {33064, "ID_TABLE_LEFT_RULE", "左罫線 【細線→太線→なし】  ctrl+3   +Shift : 欄のみ", V, OnTableLeftRule, OnUpdateTableMode},
    {33074, "ID_TABLE_RIGHT_RULE", "右罫線 【細線→太線→なし】  ctrl+4   +Shift : 欄のみ", V, OnTableRightRule, OnUpdateTableMode},
    {33070, "ID_TABLE_CELL_BOTTOM_RULE", "下欄罫線", V, OnTableCellBottomRule, OnUpdateTableMode},
    {33072, "ID_TABLE_CELL_TOP_RULE", "上欄罫線", V, OnTableCellTopRule, OnUpdateTableMode},
    {33106, "ID_TABLE_CELL_LEFT_RULE", "左欄罫線", V, OnTableCellLeftRule, OnUpdateTableMode},
    {33107, "ID_TABLE_CELL_RIGHT_RULE", "右欄罫線", V, OnTableCellRightRule, OnUpdateTableMode},
    {33112, "ID_TABLE_DELETE_TOP_RULE_ROW", "上罫線行削除", V, OnTableDeleteTopRuleRow, OnUpdateTableMode},
    {33080, "ID_COLUMN_BOUNDARY_LEFT", "列境界左へ移動", V, OnColumnBoundaryLeft, OnUpdateTableMode},
    {33081, "ID_COLUMN_BOUNDARY_RIGHT", "列境界右へ移動", V, OnColumnBoundaryRight, OnUpdateTableMode},
    {33053, "ID_TABLE_NEW", "新規に表を作成してカーソル位置に挿入(5列x6行)  ctrl+M", V, OnTableNew, OnUpdateRichText},
    {33055, "ID_TABLE_CONVERT_SELECTION", "選択範囲を表に変換する(区切り：| Tab 空白)  ctrl+D", V, OnTableConvertSelection, nullptr},
    {33016, "ID_TABLE_CONVERT_LINES", "選択行を表に変換（区切り記号： | ）", V, OnTableConvertLines, nullptr},
    {33067, "ID_TABLE_UNDO", "操作取消し", V, OnTableUndo, OnUpdateTableUndo},
    {33068, "ID_TABLE_MODE_END", "表ﾓｰﾄﾞ終了", V, OnTableModeEnd, nullptr},
    {33049, "ID_TABLE_EDIT", "表編集(&#)", V, OnTableEdit, OnUpdateTableEdit},
};

}  // namespace

CommandRows TableCommands() { return kRows; }
