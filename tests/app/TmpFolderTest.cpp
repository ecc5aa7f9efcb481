// Each run keeps its work files in its own folder below the program's TMP, locked
// while it lives: two runs at once never read or delete each other's files, and the
// folders of runs that died are cleared by the next run.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/os/FolderLock.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

class TmpFolderFault : public testenv::DocTest {
 protected:
  std::string Tmp() const { return dir_.HostPath("program/TMP"); }
};

TEST_F(TmpFolderFault, TwoRunsGetTheirOwnLockedFolders) {
  CQelDoc other(dir_.Win() + "\\program", frame_.get());
  const std::string mine = doc_->TmpFolder(), theirs = other.TmpFolder();
  EXPECT_NE(mine, theirs);
  for (const std::string& folder : {mine, theirs}) {
    EXPECT_EQ(folder.rfind(doc_->m_strProgramDir + "\\TMP\\", 0), 0u) << folder;
    EXPECT_TRUE(plat::IsDirectory(folder));
    EXPECT_FALSE(plat::FolderLock::Take(folder, false)) << "a live run's folder is held";
  }
  EXPECT_EQ(doc_->TmpFolder(), mine) << "one folder for the whole run";
}

TEST_F(TmpFolderFault, OneRunsLoadLeavesTheOthersWorkFileAlone) {
  // The picture road inflates through temp.zip and removes it after the load: a
  // second run's load must not take the first run's file with it.
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::Shell("convert rose: " + testenv::Quote(dir_.HostPath("rose.png")));
  CQelDoc other(dir_.Win() + "\\program", frame_.get());
  const std::string held = doc_->TmpFolder() + "\\temp.zip";
  ASSERT_TRUE(plat::WriteWholeFile(held, "the first run's work file"));
  ASSERT_EQ(other.LoadDocument(Win("rose.png")), 0);
  ASSERT_TRUE(plat::Exists(held));
  EXPECT_EQ(*plat::ReadFileHead(held, 100), "the first run's work file");
}

TEST_F(TmpFolderFault, DeadRunsFoldersAreClearedLiveOnesKept) {
  fs::create_directories(Tmp() + "/run99999-dead00/XLSX");
  testenv::WriteHostFile(Tmp() + "/run99999-dead00/temp.zip", "left by a run that died");
  fs::create_directories(Tmp() + "/run99998-alive0");
  std::optional<plat::FolderLock> alive = plat::FolderLock::Take(doc_->m_strProgramDir + "\\TMP\\run99998-alive0", false);
  ASSERT_TRUE(alive);
  // Folders of the user's whose names merely start like a run's are never touched.
  const std::vector<std::string> users{"Kept", "runs", "running-notes", "runtime-backup", "run99997-abc", "run-abcdef",
                                       "run99997-ABCDEF", "run99997-abcdef0"};
  for (const std::string& name : users) testenv::WriteHostFile(Tmp() + "/" + name + "/notes.txt", "the user's");
  doc_->TmpFolder();
  EXPECT_FALSE(fs::exists(Tmp() + "/run99999-dead00")) << "a dead run's folder goes";
  EXPECT_TRUE(fs::exists(Tmp() + "/run99998-alive0")) << "a live run's folder stays";
  for (const std::string& name : users)
    EXPECT_EQ(testenv::ReadHostFile(Tmp() + "/" + name + "/notes.txt"), "the user's") << "only run folders are cleared: " << name;
}

TEST_F(TmpFolderFault, TheRunsFolderGoesWithIt) {
  const std::string host = *plat::ToHostPath(doc_->TmpFolder());
  testenv::WriteHostFile(host + "/Pelnor1.jpg", "work");
  doc_.reset();
  EXPECT_FALSE(fs::exists(host));
  EXPECT_TRUE(fs::is_directory(Tmp()));
}

TEST_F(TmpFolderFault, AFolderRemovedDuringTheRunIsMadeAgain) {
  const std::string folder = doc_->TmpFolder();
  plat::RemoveTree(folder);
  EXPECT_EQ(doc_->TmpFolder(), folder);
  EXPECT_TRUE(plat::IsDirectory(folder));
  EXPECT_FALSE(plat::FolderLock::Take(folder, false)) << "and held again";
}

// Between the start's check and the first work file, TMP could be swapped for a link
// or opened to others: the run then worked in TMP itself (a link's target), and a
// work file written through a link replaced the file it pointed to. The run works in
// a private folder of its own instead, says why, and a work file replaces a link at
// its name, never what the link points to.
TEST_F(TmpFolderFault, WorkFilesNeverReachAFolderOrFileSomeoneElseChose) {
  struct Case {
    const char* fault;
    void (*swap)(const std::string& tmp, const std::string& elsewhere);
    bool refused;  // TMP is refused: a message, and a folder outside TMP
  };
  const Case cases[] = {
      {"TMP swapped for a link was worked in",
       [](const std::string& tmp, const std::string& elsewhere) {
         fs::remove_all(tmp);
         fs::create_directory_symlink(elsewhere, tmp);
       },
       true},
      {"TMP opened to others (0777) was worked in",
       [](const std::string& tmp, const std::string&) { fs::permissions(tmp, fs::perms::all); }, true},
      {"a link at a work file's name was written through",
       [](const std::string&, const std::string& elsewhere) {
         fs::create_symlink(elsewhere + "/victim.txt", *plat::ToHostPath(g_pDoc->TmpFolder() + "\\pdftmp.jpg"));
       },
       false},
  };
  for (const Case& c : cases) {
    doc_.reset();
    fs::remove_all(dir_.HostPath("program"));
    fs::remove_all(dir_.HostPath("elsewhere"));
    fs::create_directories(dir_.HostPath("elsewhere"));
    testenv::WriteHostFile(dir_.HostPath("elsewhere/victim.txt"), "the user's");
    messages_.str("");
    doc_ = std::make_unique<CQelDoc>(dir_.Win() + "\\program", frame_.get());
    c.swap(Tmp(), dir_.HostPath("elsewhere"));
    const std::string work = doc_->TmpFolder();
    ASSERT_TRUE(plat::WriteWholeFile(work + "\\pdftmp.jpg", "JPEG bytes")) << c.fault;
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("elsewhere/victim.txt")), "the user's") << c.fault;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.HostPath("elsewhere")), fs::directory_iterator()), 1) << c.fault;
    const std::optional<plat::FileInfo> folder = plat::LinkStat(work);
    ASSERT_TRUE(folder && folder->isDirectory && !folder->isSymlink) << c.fault;
    EXPECT_EQ(folder->permissions, 0700) << c.fault;
    EXPECT_EQ(work.rfind(doc_->m_strProgramDir + "\\TMP\\", 0) == 0, !c.refused) << c.fault << ": " << work;
    EXPECT_EQ(messages_.str().find("other") != std::string::npos || messages_.str().find("link") != std::string::npos,
              c.refused)
        << c.fault << messages_.str();
    const std::string host = *plat::ToHostPath(work);
    doc_.reset();
    EXPECT_FALSE(fs::exists(host)) << c.fault << ": the run's folder goes with it";
  }
}

TEST(TmpFolderRuns, ParallelRunsShowTheSameAsOneRun) {
  // Packages unpack into XLSX and pictures inflate through temp.zip, both removed at
  // the end of each load: runs started together on one program folder each show
  // their file whole, and leave TMP empty.
  testenv::TempDir dir;
  const std::string book = testenv::DataPath("office/book.xlsx");
  const std::string run = "env -i PELNORIX_HOME=" + testenv::Quote(dir.HostPath("home")) + " " PELNORIX_BINARY " ";
  int status = -1;
  const std::string alone = testenv::Shell(run + testenv::Quote(book) + " 2>&1", &status);
  ASSERT_EQ(status, 0) << alone;
  ASSERT_NE(alone.find("Banana split"), std::string::npos) << alone;
  constexpr int kRuns = 8;
  std::string together;
  for (int i = 0; i < kRuns; ++i)
    together += run + testenv::Quote(book) + " >" + testenv::Quote(dir.HostPath("out" + std::to_string(i))) + " 2>&1 & ";
  testenv::Shell(together + "wait");
  for (int i = 0; i < kRuns; ++i) EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("out" + std::to_string(i))), alone) << i;
  EXPECT_TRUE(fs::is_empty(dir.HostPath("home/TMP")));
}

}  // namespace
