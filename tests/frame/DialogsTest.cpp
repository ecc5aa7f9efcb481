// Dialogs answered from the queue: fields by name, a bare value, a plain OK or
// Cancel queued for a box, and no answer at all.
#include <gtest/gtest.h>

#include "frame/Dialogs.h"
#include "support/TestEnv.h"

namespace {

class DialogsTest : public testenv::DocTest {};

TEST_F(DialogsTest, AnswersFromTheQueue) {
  plat::UiHost& ui = frame_->Ui();
  ui.QueueDialog({plat::IDOK, {{"text", "typed"}}});
  ui.QueueDialog({plat::IDOK, {{"value", "bare"}}});
  ui.QueueDialog({plat::IDOK, {{"value", "no path"}}});
  ui.QueueDialog({plat::IDOK, {{"value", "x"}, {"path", "\\tmp\\x.png"}}});
  CInputDlg input("caption", "prompt", "initial");
  EXPECT_EQ(input.DoModal(), plat::IDOK);
  EXPECT_EQ(input.m_strText, "typed");
  CTextInputDlg text;
  EXPECT_EQ(text.DoModal(), 1);
  EXPECT_EQ(text.m_strText, "bare");
  CFileDialog noPath(false, "keep.png");
  EXPECT_EQ(noPath.DoModal(), plat::IDCANCEL);  // a file dialog needs a path, not just a word
  EXPECT_EQ(noPath.GetPathName(), "keep.png");
  CFileDialog save(false, "keep.png");
  EXPECT_EQ(save.DoModal(), plat::IDOK);
  EXPECT_EQ(save.GetPathName(), "\\tmp\\x.png");

  // With no dialog answer waiting, a plain OK or Cancel queued for a box serves.
  ui.QueueAnswer(plat::IDOK);
  CKeyCodeDlg key;
  EXPECT_EQ(key.DoModal(), 1);
  EXPECT_EQ(key.m_strKeyCode, "");
  // A Yes is for a box only: the dialog is cancelled and says so.
  ui.QueueAnswer(plat::IDYES);
  CInputDlg unanswered("c", "p", "initial");
  EXPECT_EQ(unanswered.DoModal(), plat::IDCANCEL);
  EXPECT_EQ(unanswered.m_strText, "initial");
  EXPECT_NE(messages_.str().find("(dialog CInputDlg not answered: Cancel)"), std::string::npos);
  EXPECT_EQ(ui.MessageBox("?", plat::MB_YESNO), plat::IDYES);
}

// The colour chooser takes the answer's RRGGBB; OK alone keeps its colour, Cancel
// reports itself.
TEST_F(DialogsTest, ColourDialogAnswers) {
  plat::UiHost& ui = frame_->Ui();
  ui.QueueDialog({plat::IDOK, {{"color", "FF8001"}}});
  ui.QueueDialog({plat::IDOK, {}});
  ui.QueueDialog({plat::IDCANCEL, {{"color", "000000"}}});
  CColorDialog chosen(RGB(1, 2, 3));
  EXPECT_EQ(chosen.DoModal(), plat::IDOK);
  EXPECT_EQ(chosen.GetColor(), RGB(255, 128, 1));
  CColorDialog kept(RGB(1, 2, 3));
  EXPECT_EQ(kept.DoModal(), plat::IDOK);
  EXPECT_EQ(kept.GetColor(), RGB(1, 2, 3));
  CColorDialog cancelled(RGB(1, 2, 3));
  EXPECT_EQ(cancelled.DoModal(), plat::IDCANCEL);
  EXPECT_EQ(cancelled.GetColor(), RGB(1, 2, 3));
}

}  // namespace
