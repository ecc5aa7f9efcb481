// The file lists over a real folder: order, current item, selection, moving onto a
// file shows it, re-reading on the document's request; names the program cannot
// write back are not listed.
#include <gtest/gtest.h>

#include <filesystem>

#include "filelist/FlistView.h"
#include "platform/ui/Keys.h"
#include "support/TestEnv.h"

namespace {

class FlistViewTest : public testenv::DocTest {
 protected:
  // The document's program folder (made when the document is) lies outside the
  // folder the list shows.
  bool MoveProgramFolder() {
    doc_.reset();
    std::filesystem::remove_all(dir_.HostPath("program"));
    doc_ = std::make_unique<CQelDoc>(programDir_.Win() + "\\program", frame_.get());
    return true;
  }
  testenv::TempDir programDir_;
  bool moved_ = MoveProgramFolder();
  CFlistView list_{*doc_, 1};
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : list_.Entries()) names.push_back(e.name);
    return names;
  }
};

TEST_F(FlistViewTest, ShowsTheFolderAndLoadsTheCurrentFile) {
  WriteFile("b.txt", "bee");
  WriteFile("a.txt", "ay");
  WriteFile("caf\xC3\xA9.txt", "no CP932 name");
  testenv::Shell("mkdir " + testenv::Quote(dir_.HostPath("zsub")));
  ASSERT_EQ(list_.ShowPath(Win("b.txt")), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"zsub", "a.txt", "b.txt"}));
  EXPECT_EQ(doc_->m_strFileName1, Win("b.txt"));
  EXPECT_EQ(Text(), "bee");
  list_.OnKeyDown(plat::VK_UP);
  EXPECT_EQ(Text(), "ay");
  EXPECT_EQ(doc_->m_strFileName1, Win("a.txt"));
  list_.OnKeyDown(plat::VK_UP);  // onto the folder: current, not loaded
  EXPECT_EQ(list_.CurrentPath(), Win("zsub"));
  EXPECT_EQ(doc_->m_strPathName, Win("a.txt"));
  list_.OnKeyDown(plat::VK_UP);  // stays at the top
  EXPECT_EQ(list_.CurrentIndex(), 0);

  list_.OnKeyDown(plat::VK_SPACE);
  EXPECT_EQ(list_.Select("B.TXT"), -1);  // a name is taken as spelled: B.TXT is not b.txt
  EXPECT_EQ(list_.Select("b.txt"), 0);
  EXPECT_EQ(list_.Select(Win("a.txt")), 0);
  EXPECT_EQ(list_.Select("\\elsewhere\\a.txt"), -1);
  EXPECT_EQ(list_.Select("c.txt"), -1);
  EXPECT_EQ(list_.SelectedPaths(), (std::vector<std::string>{Win("zsub"), Win("a.txt"), Win("b.txt")}));

  // The document asks the lists to re-read: a new file appears, current and selection stay.
  WriteFile("0.txt", "zero");
  doc_->RefreshFileLists();
  EXPECT_EQ(Names(), (std::vector<std::string>{"zsub", "0.txt", "a.txt", "b.txt"}));
  EXPECT_EQ(list_.CurrentPath(), Win("zsub"));
  EXPECT_EQ(list_.SelectedPaths().size(), 3u);
  EXPECT_EQ(list_.ShowPath(Win("none.txt")), -1);
  EXPECT_EQ(list_.ShowPath(Win("nofolder\\x.txt")), -1);
}

TEST_F(FlistViewTest, TakesTheDocumentsCurrentFile) {
  WriteFile("a.txt", "a");
  WriteFile("b.txt", "b");
  ASSERT_EQ(list_.ShowPath(Win("a.txt")), 0);
  doc_->m_strFileName1 = Win("b.txt");
  doc_->m_nViewRequest = kRefreshAll;
  doc_->UpdateAllViews();
  EXPECT_EQ(list_.CurrentPath(), Win("b.txt"));
}

}  // namespace

// A folder with more entries than the list takes kept the first ones the file
// system gave, so some files could never be listed: the list now holds the first
// ones in its own order (folders, then names) and the status pane says so.
TEST_F(FlistViewTest, FolderOverTheLimitListsTheFirstByNameAndSaysSo) {
  list_.SetMaxEntries(5);
  for (char c = 'k'; c >= 'a'; --c) WriteFile(std::string(1, c) + ".txt", "x");
  testenv::Shell("mkdir " + testenv::Quote(dir_.HostPath("zsub")));
  ASSERT_EQ(list_.ShowPath(Win("a.txt")), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"zsub", "a.txt", "b.txt", "c.txt", "d.txt"}));
  EXPECT_NE(frame_->StatusBar().GetPaneText(0).find("5 / 12"), std::string::npos) << frame_->StatusBar().GetPaneText(0);
  // Within the limit nothing is said.
  list_.SetMaxEntries(0);
  frame_->StatusBar().SetPaneText(0, "");
  ASSERT_EQ(list_.ReadFolder(), 0);
  EXPECT_EQ(Names().size(), 12u);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), "");
}
