// The Esc poll of long operations, with scripted keys and answers.
#include <gtest/gtest.h>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "support/TestEnv.h"

namespace {

class CheckUserAbortTest : public testenv::DocTest {};

TEST_F(CheckUserAbortTest, EscAsksAndYesStops) {
  auto& ui = frame_->Ui();
  EXPECT_EQ(frame_->CheckUserAbort(), 0);  // nothing waiting
  ui.PushKeyDown('A');
  ui.PushKeyDown(plat::VK_ESCAPE);
  EXPECT_EQ(frame_->CheckUserAbort(), 0);  // 'A' is consumed, Esc still waits
  EXPECT_TRUE(ui.MessageLog().empty());
  ui.QueueAnswer(plat::IDNO);
  EXPECT_EQ(frame_->CheckUserAbort(), 0);
  EXPECT_EQ(doc_->m_bUserAbort, 0);
  ui.PushKeyDown(plat::VK_ESCAPE);
  ui.QueueAnswer(plat::IDYES);
  EXPECT_EQ(frame_->CheckUserAbort(), 1);
  EXPECT_EQ(doc_->m_bUserAbort, 1);
  ASSERT_EQ(ui.MessageLog().size(), 2u);
  EXPECT_EQ(ui.MessageLog()[1].text, LoadString(IDS_ABORT_QUESTION));
  EXPECT_EQ(ui.MessageLog()[1].type, plat::MB_YESNO);
}

TEST_F(CheckUserAbortTest, UnansweredEscGoesOn) {
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  EXPECT_EQ(frame_->CheckUserAbort(), 0);
  EXPECT_EQ(doc_->m_bUserAbort, 0);
  EXPECT_TRUE(frame_->Ui().MessageLog()[0].answeredByDefault);
}

TEST_F(CheckUserAbortTest, StatusBarPanesByIndexAndIndicator) {
  CStatusBar& bar = *g_pStatusBar;
  const int format = bar.CommandToIndex(104);
  ASSERT_GE(format, 1);
  EXPECT_TRUE(bar.SetPaneText(0, "progress"));
  EXPECT_TRUE(bar.SetPaneText(format, "SJIS"));
  EXPECT_EQ(bar.GetPaneText(0), "progress");
  EXPECT_EQ(bar.GetPaneText(format), "SJIS");
  EXPECT_FALSE(bar.SetPaneText(99, "x"));
  EXPECT_EQ(bar.CommandToIndex(9999), -1);
}

}  // namespace
