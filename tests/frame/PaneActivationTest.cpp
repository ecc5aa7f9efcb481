// Which pane has the focus, and the list layout's cycle.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

class PaneActivationTest : public testenv::DocTest {};

TEST_F(PaneActivationTest, ListPanesAndTheDocumentsActiveList) {
  const struct {
    int nList, pane, activeList;
  } cases[] = {{1, 1, 2}, {0, 0, 1}, {2, 0, 1}, {-1, 0, 1}};
  for (const auto& c : cases) {
    frame_->ActivateListPane(0, c.nList);
    EXPECT_EQ(frame_->ActiveListPane(), c.pane) << c.nList;
    EXPECT_EQ(doc_->m_nActiveList, c.activeList) << c.nList;
    EXPECT_TRUE(frame_->IsListPaneActive());
  }
  frame_->OnSwitchScreen();
  EXPECT_EQ(doc_->m_nActiveList, 2);
  frame_->ActivateViewPane(7, 1);
  EXPECT_FALSE(frame_->IsListPaneActive());
  EXPECT_EQ(doc_->m_nActivePane, 2) << "the document knows the active text pane";
  frame_->ActivateViewPane(0, 0);
  EXPECT_EQ(doc_->m_nActivePane, 1);
  frame_->ActivateViewPane(0, 1);
  frame_->OnSwitchScreen();  // from a text pane the focus goes to the list last active
  EXPECT_EQ(doc_->m_nActiveList, 2);
  for (int kind : {1, 2, 0}) {
    frame_->ActivateNextViewPane(0);
    EXPECT_EQ(frame_->m_nActiveViewKind, kind);
  }
  doc_->m_nListLayout = 17;
  frame_->OnListDisplay();
  frame_->OnListDisplay();
  EXPECT_EQ(doc_->m_nListLayout, 0);
}

}  // namespace
