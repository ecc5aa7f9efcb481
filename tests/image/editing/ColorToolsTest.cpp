// The colour commands of the drawing tools: colours chosen in the colour dialog (a
// script's `answer color=RRGGBB`) reach the colour replacement and the figures, and
// the check marks follow the set/unset state. Pictures are made by ImageMagick and
// the results compared with ImageMagick's drawing of the expected picture.
#include <gtest/gtest.h>

#include <string>

#include "image/editing/ColorTools.h"
#include "image/ShownPictureTest.h"
#include "image/ViewImageState.h"
#include "platform/ui/Ui.h"
#include "image/ScriptPictureTest.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class ColorToolsScriptTest : public imagetest::ScriptPictureTest {
 protected:
  void SetUp() override {
    ScriptPictureTest::SetUp();
    if (IsSkipped()) return;
    // A red picture with a blue square at (10, 10)-(29, 29).
    Sh("convert -size 60x40 xc:red +antialias -fill blue -draw 'rectangle 10,10 29,29' -type TrueColor BMP3:p.bmp");
  }
};

TEST_F(ColorToolsScriptTest, ReplacementTurnsTheSourceColourIntoTheTarget) {
  Run("open p.bmp\nanswer color=0000FF\ncommand ID_DRAW_SOURCE_COLOR\nanswer color=00FF00\n"
      "command ID_DRAW_TARGET_COLOR\ncommand ID_DRAW_COLOR_REPLACE\nsave-display on.png\n"
      "command ID_DRAW_COLOR_REPLACE_SWITCH\nsave-display off.png\n");
  Sh("convert p.bmp +antialias -fill lime -draw 'rectangle 10,10 29,29' want.png");
  EXPECT_EQ(Differ("on.png", "want.png"), "0");
  EXPECT_EQ(Differ("off.png", "p.bmp"), "0");
}

TEST_F(ColorToolsScriptTest, FrameTakesTheChosenTextColourAndFillTheBackground) {
  // The first press sets the text colour back to the document's (black); the second
  // chooses one. The background colour is chosen directly.
  Run("open p.bmp\ncommand ID_DRAW_TEXT_COLOR_SET\nanswer color=FFFF00\ncommand ID_DRAW_TEXT_COLOR_SET\n"
      "answer color=00FFFF\ncommand ID_DRAW_BACK_COLOR\n"
      "click 35 5\ncommand ID_REGION_TOP_LEFT\nclick 55 35\ncommand ID_REGION_BOTTOM_RIGHT\n"
      "command ID_REGION_FILL\ncommand ID_REGION_FRAME\nsave-display both.png\n");
  Sh("convert p.bmp +antialias -fill cyan -stroke yellow -draw 'rectangle 35,5 54,34' want.png");
  EXPECT_EQ(Differ("both.png", "want.png"), "0");
}

TEST_F(ColorToolsScriptTest, CancelledDialogKeepsTheColour) {
  // No answer: the dialog is cancelled, and the frame keeps the view's text colour.
  Run("open p.bmp\ncommand ID_DRAW_TEXT_COLOR\n"
      "click 35 5\ncommand ID_REGION_TOP_LEFT\nclick 55 35\ncommand ID_REGION_BOTTOM_RIGHT\n"
      "command ID_REGION_FRAME\nsave-display frame.png\n");
  Sh("convert p.bmp +antialias -fill none -stroke '#030201' -draw 'rectangle 35,5 54,34' want.png");
  EXPECT_EQ(Differ("frame.png", "want.png"), "0");
}

class ColorToolsTest : public imagetest::ShownPictureTest {
 protected:
  void SetUp() override {
    ShownPictureTest::SetUp();
    if (IsSkipped()) return;
    Open("p.bmp", "-size 20x20 xc:white -type TrueColor BMP3:");
  }
  CCmdUI State(unsigned id) {
    CommandContext cx{view_.get(), nullptr, doc_.get(), frame_.get()};
    return QueryCommand(CommandTables{ColorToolCommands()}, id, cx);
  }
  void Run(unsigned id, const std::string& colour = "") {
    if (!colour.empty()) frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"color", colour}}});
    CommandContext cx{view_.get(), nullptr, doc_.get(), frame_.get()};
    ASSERT_EQ(RunCommand(CommandTables{ColorToolCommands()}, id, cx), CommandOutcome::Done);
  }
  ImageConvertSettings& S() { return view_->Image().m_ImageSettings; }
};

TEST_F(ColorToolsTest, SetSwitchesMarkTheColourAndKeepItsLastValue) {
  // The source colour starts not set: the press clears the mark and offers the dialog.
  EXPECT_EQ(State(33180).m_nCheck, 0);
  Run(33180, "123456");
  EXPECT_EQ(S().m_clrSource, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(State(33180).m_nCheck, 1);
  Run(33180);
  EXPECT_EQ(S().m_clrSource, RGB(0x12, 0x34, 0x56) | 0x1000000u);
  EXPECT_EQ(State(33180).m_nCheck, 0);
  // Cancelled: set again on the last colour.
  Run(33175);
  EXPECT_EQ(S().m_clrTarget, 0xF8F9FAu);
}

TEST_F(ColorToolsTest, TextAndBackgroundColoursAreRememberedForMacros) {
  Run(33040, "FF0000");
  EXPECT_EQ(S().m_clrText, RGB(255, 0, 0));
  EXPECT_EQ(view_->Macro().m_crMacroText, RGB(255, 0, 0));
  EXPECT_EQ(State(33178).m_nCheck, 1);
  Run(33178);  // differs from the document's: back to it
  EXPECT_EQ(S().m_clrText, doc_->m_clrTextChar);
  EXPECT_EQ(State(33178).m_nCheck, 0);
  Run(32957, "0000FF");
  EXPECT_EQ(S().m_clrBackground, RGB(0, 0, 255));
  EXPECT_EQ(view_->Macro().m_crMacroBack, RGB(0, 0, 255));
  Run(33179);
  EXPECT_EQ(S().m_clrBackground, doc_->m_clrTextBack);
  Run(33179, "00FF00");
  EXPECT_EQ(S().m_clrBackground, RGB(0, 255, 0));
}

TEST_F(ColorToolsTest, ReplacementSwitchStatesAndEnabling) {
  // Source not set and the conversion off: disabled.
  EXPECT_FALSE(State(33194).m_bEnabled);
  Run(32978, "0000FF");
  Run(32972, "00FF00");
  EXPECT_TRUE(State(33194).m_bEnabled);
  Run(33194);
  EXPECT_EQ(S().m_bActive, 1);
  EXPECT_EQ(S().m_bToTarget, 1);
  EXPECT_EQ(S().m_bSkipSelected, 0);
  EXPECT_EQ(State(33195).m_nCheck, 1);
  // Off again: with another filter on, the conversion stays on for it.
  S().m_bInvert = 1;
  Run(33195);
  EXPECT_EQ(S().m_bToTarget, 0);
  EXPECT_EQ(S().m_bSkipSelected, 1);
  EXPECT_EQ(S().m_bActive, 1);
  EXPECT_EQ(State(33194).m_nCheck, 0);
}

}  // namespace
