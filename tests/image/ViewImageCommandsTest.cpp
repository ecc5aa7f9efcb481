// The image view's commands through the command table, as a menu runs them: the
// one-step filters with their limits and status texts, zoom and rotation, and the
// saves of what is shown read back by the peer tools.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "cli/CommandTables.h"
#include "frame/CommandTable.h"
#include "image/ImageTestSupport.h"
#include "image/ViewImageState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class ViewImageCommandsTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("convert");
    Shell("convert rose: BMP3:" + Quote(dir_.HostPath("rose.bmp")));
    view_ = std::make_unique<CQelView>(*doc_);
    ASSERT_EQ(doc_->LoadDocument(Win("rose.bmp")), 0);
  }
  // Runs a command by name as the menu would; the status line afterwards.
  std::string Run(const char* name, bool shift = false) {
    const CommandTables tables = AllCommandTables();
    CommandContext cx{view_.get(), nullptr, doc_.get(), frame_.get(), CommandTarget::TextView};
    const CommandEntry* row = FindCommand(tables, name);
    EXPECT_NE(row, nullptr) << name;
    doc_->m_bShiftDown = shift;
    last_ = RunCommand(tables, row->id, cx);
    doc_->m_bShiftDown = 0;
    return g_pStatusBar->GetPaneText(0);
  }
  bool Enabled(const char* name) {
    const CommandTables tables = AllCommandTables();
    CommandContext cx{view_.get(), nullptr, doc_.get(), frame_.get(), CommandTarget::TextView};
    return QueryCommand(tables, FindCommand(tables, name)->id, cx).m_bEnabled;
  }
  std::unique_ptr<CQelView> view_;
  CommandOutcome last_ = CommandOutcome::Done;
};

TEST_F(ViewImageCommandsTest, BrighterStepsToItsLimitAndThenDoesNothing) {
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(Run("ID_IMAGE_BRIGHTER"), "bright +" + std::to_string(5 * i));
  EXPECT_FALSE(Enabled("ID_IMAGE_BRIGHTER"));
  g_pStatusBar->SetPaneText(0, "kept");
  Run("ID_IMAGE_BRIGHTER");
  EXPECT_EQ(last_, CommandOutcome::Disabled);
  EXPECT_EQ(view_->Image().m_ImageSettings.m_nBrightness, 30);
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "kept");
  EXPECT_EQ(Run("ID_IMAGE_DARKER"), "bright +25");
}

TEST_F(ViewImageCommandsTest, StatusTextsOfTheFilters) {
  struct Step {
    const char* command;
    bool shift;
    const char* status;
  };
  const Step steps[] = {
      {"ID_IMAGE_DARKER", false, "bright -5"},
      {"ID_IMAGE_PALER", false, "color level 80%"},
      {"ID_IMAGE_DEEPER", false, "color level 100%"},
      {"ID_IMAGE_REDDER", false, "color phase -5"},
      {"ID_IMAGE_BLUER", false, "color phase +0"},
      {"ID_IMAGE_CONTOUR_SMOOTH", false, "sharpness -1"},
      {"ID_IMAGE_CONTOUR_SMOOTH", false, "sharpness -2"},
      {"ID_IMAGE_CONTOUR_SHARPEN", false, "sharpness -1"},
      {"ID_IMAGE_EXPAND_BRIGHT", false, "expand +1"},
      {"ID_IMAGE_EXPAND_DARK", false, "expand off"},
      {"ID_IMAGE_TWO_LEVEL", false, "B&W 2bit 10%"},
      {"ID_IMAGE_TWO_LEVEL", false, "B&W 2bit 20%"},
      {"ID_IMAGE_TWO_LEVEL", true, "B&W 2bit 10%"},
      {"ID_IMAGE_TWO_LEVEL", true, "B&W 2bit 10%"},
  };
  for (const Step& st : steps) EXPECT_EQ(Run(st.command, st.shift), st.status) << st.command;
  EXPECT_FALSE(view_->Image().m_ImageSettings.m_bSaturationCorr) << "back at 100 % the correction is off";
}

TEST_F(ViewImageCommandsTest, TwoLevelWalksTheThresholdsAndShiftStartsAt70) {
  const char* const up[] = {"10", "20", "25", "30", "35", "40", "45", "50", "60", "70"};
  for (const char* p : up) EXPECT_EQ(Run("ID_IMAGE_TWO_LEVEL"), std::string("B&W 2bit ") + p + "%");
  EXPECT_EQ(Run("ID_IMAGE_TWO_LEVEL"), "B&W 2bit off");
  EXPECT_EQ(Run("ID_IMAGE_TWO_LEVEL", true), "B&W 2bit 70%");
  // A threshold is on: the menu offers no tone expansion.
  EXPECT_FALSE(Enabled("ID_IMAGE_EXPAND_BRIGHT"));
}

TEST_F(ViewImageCommandsTest, ReducedModeOnlyWhileReduced) {
  EXPECT_FALSE(Enabled("ID_IMAGE_REDUCED_MODE"));
  Run("ID_IMAGE_ZOOM_OUT");
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "W70 x H46 x 24bits  1/2");
  const char* const modes[] = {" halftone", " black char", " white char", " no average", " Auto"};
  for (const char* m : modes) EXPECT_EQ(Run("ID_IMAGE_REDUCED_MODE"), std::string("sharpness +0") + m);
  EXPECT_EQ(view_->Image().m_ImageSettings.m_bCharMode, 0);
}

TEST_F(ViewImageCommandsTest, ZoomRotateAndInvertRenderWhatImageMagickDoes) {
  SKIP_WITHOUT_PROGRAM("compare");
  Run("ID_IMAGE_ZOOM_IN");
  Run("ID_IMAGE_ROTATE");
  Run("ID_IMAGE_INVERT");
  EXPECT_EQ(view_->Image().m_ImageSettings.m_bActive, 1);
  const std::string ours = dir_.HostPath("ours.png"), theirs = dir_.HostPath("theirs.png");
  ASSERT_TRUE(view_->SaveDisplayPng(plat::FromHostPath(ours)));
  Shell("convert rose: -sample 200% -rotate 90 -negate " + Quote(theirs));
  EXPECT_EQ(Shell("compare -metric AE " + Quote(ours) + " " + Quote(theirs) + " null: 2>&1"), "0");
  // Pressed twice, the inversion is gone and the conversion no longer active.
  Run("ID_IMAGE_INVERT");
  EXPECT_EQ(view_->Image().m_ImageSettings.m_bActive, 0);
}

TEST_F(ViewImageCommandsTest, FitPutsAWideImageIntoThePane) {
  Shell("convert -size 1600x200 gradient: -type TrueColor BMP3:" + Quote(dir_.HostPath("wide.bmp")));
  ASSERT_EQ(doc_->LoadDocument(Win("wide.bmp")), 0);
  Run("ID_IMAGE_FIT");
  // 640 of 1600 is 40 %: zoom 4 with fit tenths 8.
  EXPECT_EQ(view_->Image().m_ImageSettings.m_nZoomIndex, 4);
  EXPECT_EQ(view_->Image().m_ImageSettings.m_nFitTenths, 8);
  EXPECT_EQ(view_->Image().m_nPaintWidth, 640);
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "W1600 x H200 x 24bits  x40%");
}

}  // namespace
