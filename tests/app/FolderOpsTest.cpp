// Removing a work folder's contents, the overwrite question, the current folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

class FoldersTest : public testenv::DocTest {};

TEST_F(FoldersTest, DeleteFolderTreeEmptiesTheFolderAndNeverFollowsLinks) {
  testenv::TempDir outside;
  testenv::WriteHostFile(outside.HostPath("keep/precious.txt"), "keep");
  testenv::WriteHostFile(dir_.HostPath("work/a.xml"), "a");
  testenv::WriteHostFile(dir_.HostPath("work/sub/deeper/b.xml"), "b");
  fs::create_directory_symlink(outside.HostPath("keep"), dir_.HostPath("work/sub/link"));
  EXPECT_EQ(doc_->DeleteFolderTree(Win("work"), 1, 1, 1, 0, 200), 0);
  EXPECT_TRUE(fs::exists(dir_.HostPath("work")));
  EXPECT_TRUE(fs::is_empty(dir_.HostPath("work")));
  EXPECT_EQ(testenv::ReadHostFile(outside.HostPath("keep/precious.txt")), "keep");
  EXPECT_LT(doc_->DeleteFolderTree(Win("missing"), 1, 1, 1, 0, 200), 0);
  EXPECT_LT(doc_->DeleteFolderTree(Win("work"), 1, 1, 1, 1, 200), 0);  // not the local file system
}

TEST_F(FoldersTest, DeleteFolderTreeStaysBelowTheFolderWhateverTheNames) {
  // A host name may hold a backslash, which a Windows path reads as a separator: the
  // file "..\keep.txt" inside work must not be taken for the keep.txt beside work.
  testenv::WriteHostFile(dir_.HostPath("keep.txt"), "keep");
  testenv::WriteHostFile(dir_.HostPath("work/..\\keep.txt"), "odd");
  testenv::WriteHostFile(dir_.HostPath("work/plain.txt"), "p");
  EXPECT_LT(doc_->DeleteFolderTree(Win("work"), 1, 1, 1, 0, 200), 0);  // the odd name stays
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("keep.txt")), "keep");
  EXPECT_TRUE(fs::exists(dir_.HostPath("work/..\\keep.txt")));
  EXPECT_FALSE(fs::exists(dir_.HostPath("work/plain.txt")));
}

TEST_F(FoldersTest, DeleteFolderTreeTakesAtMostTheLimitPerFolder) {
  for (int i = 0; i < 5; ++i) testenv::WriteHostFile(dir_.HostPath("w/f" + std::to_string(i)), "x");
  EXPECT_LT(doc_->DeleteFolderTree(Win("w"), 1, 1, 1, 0, 3), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.HostPath("w")), fs::directory_iterator()), 2);
}

TEST_F(FoldersTest, ConfirmOverwriteAsksOnlyForExistingFiles) {
  EXPECT_EQ(ConfirmOverwrite(Win("new.txt")), 1);
  EXPECT_TRUE(frame_->Ui().MessageLog().empty());
  const std::string existing = WriteFile("old.txt", "x");
  EXPECT_EQ(ConfirmOverwrite(existing), 0);  // no answer: Cancel
  frame_->Ui().QueueAnswer(plat::IDNO);
  EXPECT_EQ(ConfirmOverwrite(existing), 0);  // a No is the Cancel of the question
  frame_->Ui().QueueAnswer(plat::IDOK);
  EXPECT_EQ(ConfirmOverwrite(existing), 1);
  ASSERT_EQ(frame_->Ui().MessageLog().size(), 3u);
  const std::string& text = frame_->Ui().MessageLog()[0].text;
  EXPECT_NE(text.find(plat::ShownPath(existing)), std::string::npos);  // named as the user writes it
  EXPECT_EQ(frame_->Ui().MessageLog()[0].type, plat::MB_OKCANCEL);
}

TEST_F(FoldersTest, ChangeDirectoryReadsDoubledSeparatorsAsOne) {
  fs::create_directories(dir_.HostPath("x/y"));
  const std::string before = plat::GetCurrentDirectory();
  std::string doubled = dir_.Win() + "\\\\x\\\\y";
  EXPECT_EQ(ChangeDirectory(doubled), 0);
  EXPECT_EQ(fs::current_path(), fs::path(dir_.HostPath("x/y")));
  EXPECT_LT(ChangeDirectory(dir_.Win() + "\\none"), 0);
  plat::SetCurrentDirectory(before);
}

}  // namespace
