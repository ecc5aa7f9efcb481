// Table code 'P' on the view: the file chosen, questions, the work file and the
// rename, the stops, the printer defaults, and the PDF opened afterwards.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "app/StringTable.h"
#include "platform/os/Files.h"
#include "richtext/RichTextState.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class SheetPdfFileTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};

  void SetRows(int rows) {
    std::string cells;
    for (int i = 1; i <= rows; ++i) cells += "row" + std::to_string(i) + "\x06" "v\r\n";
    view_.Table().m_cellStore = cells;
    view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
    view_.Table().m_nCellTextLen = static_cast<int>(cells.size());
    view_.Table().m_nColumns = 2;
    view_.Table().m_nRows = rows;
    view_.Table().m_nRowLimit = 9000;
  }
  void AnswerPath(const std::string& win) { frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", win}}}); }
  int P() { return view_.TableCommand(TableKey::kPdf); }
  // Names in the test's folder, but the program folder.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Host())) {
      if (e.path().filename() != "program") names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SheetPdfFileTest, WritesOpensAndKeepsThePrinterDefaults) {
  SetRows(3);
  AnswerPath(Win("out.pdf"));
  ASSERT_EQ(P(), 0);
  const std::string pdf = testenv::ReadHostFile(dir_.HostPath("out.pdf"));
  EXPECT_TRUE(pdf.starts_with("%PDF-1.3\n"));
  EXPECT_NE(pdf.find("/Title <FEFF006F00750074>"), std::string::npos);
  EXPECT_EQ(doc_->m_strFileName1, Win("out.pdf"));
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  EXPECT_EQ(doc_->RichText().m_nPrinterPaper, 9);
  EXPECT_EQ(doc_->RichText().m_nPrinterOrientation, 1);
  // The margins unset came from the print settings 101, 201, 0.
  EXPECT_EQ(view_.Table().m_nPrintMarginTop, 1000);
  EXPECT_EQ(view_.Table().m_nPrintMarginBottom, 1000);
  EXPECT_EQ(view_.Table().m_nPrintMarginLeft, 2000);
  EXPECT_EQ(view_.Table().m_nPrintMarginRight, 1000);
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.pdf"}));
}

TEST_F(SheetPdfFileTest, ASettingsLineSetsPaperAndOrientation) {
  view_.Table().m_cellStore = "XLxA4H\r\na\r\n";
  view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
  view_.Table().m_nCellTextLen = static_cast<int>(view_.Table().m_cellStore.size());
  view_.Table().m_nRows = 2;
  view_.Table().m_nRowLimit = 100;
  AnswerPath(Win("w.pdf"));
  ASSERT_EQ(P(), 0);
  EXPECT_NE(testenv::ReadHostFile(dir_.HostPath("w.pdf")).find("/MediaBox [ 0 0 842 595 ]"), std::string::npos);
  EXPECT_EQ(doc_->RichText().m_nPrinterPaper, 9);
  EXPECT_EQ(doc_->RichText().m_nPrinterOrientation, 2);
}

TEST_F(SheetPdfFileTest, CancelAndDeclinedOverwriteWriteNothing) {
  SetRows(3);
  EXPECT_EQ(P(), -1);  // no answer: the dialog is cancelled
  EXPECT_TRUE(Names().empty());
  WriteFile("old.pdf", "old");
  AnswerPath(Win("old.pdf"));
  frame_->Ui().QueueAnswer(plat::IDCANCEL);
  EXPECT_EQ(P(), -1);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("old.pdf")), "old");
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
}

// The target was opened for writing before the PDF was built, so Esc (or a limit)
// left an existing file empty. The PDF now goes to a work file in the target's folder
// that is renamed over the target only when complete.
TEST_F(SheetPdfFileTest, StopEmptiedTheExistingTargetFault) {
  SetRows(45);
  WriteFile("old.pdf", "old");
  AnswerPath(Win("old.pdf"));
  frame_->Ui().QueueAnswer(plat::IDOK);   // overwrite
  frame_->Ui().QueueAnswer(plat::IDYES);  // stop
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  EXPECT_EQ(P(), -1);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("old.pdf")), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"old.pdf"}));  // no work file left behind
  EXPECT_EQ(doc_->m_bUserAbort, 1);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  const auto& trace = frame_->StatusBar().Trace();
  EXPECT_NE(std::find(trace.begin(), trace.end(), " 10 /  45 line of sheet 1  (Push ESC key to stop)"), trace.end());
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_ABORT_QUESTION));
  // A new name is not made at all.
  AnswerPath(Win("new.pdf"));
  frame_->Ui().QueueAnswer(plat::IDYES);
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  EXPECT_EQ(P(), -1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"old.pdf"}));
}

TEST_F(SheetPdfFileTest, TheObjectLimitIsReportedAndLeavesTheTarget) {
  std::string cells;
  for (int i = 0; i < 1214; ++i) cells += "a^P\r\n";
  view_.Table().m_cellStore = cells;
  view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
  view_.Table().m_nCellTextLen = static_cast<int>(cells.size());
  view_.Table().m_nRows = 1214;
  view_.Table().m_nRowLimit = 9000;
  WriteFile("big.pdf", "old");
  AnswerPath(Win("big.pdf"));
  frame_->Ui().QueueAnswer(plat::IDOK);
  EXPECT_EQ(P(), -1);
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, "output items over limit  adrs# =4873 > 4870(max)");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("big.pdf")), "old");
}

TEST_F(SheetPdfFileTest, AWriteProtectedTargetIsAskedAbout) {
  SetRows(2);
  const std::string target = WriteFile("ro.pdf", "old");
  ASSERT_EQ(chmod(dir_.HostPath("ro.pdf").c_str(), 0444), 0);
  AnswerPath(target);
  frame_->Ui().QueueAnswer(plat::IDOK);  // overwrite
  frame_->Ui().QueueAnswer(plat::IDNO);  // leave it protected
  EXPECT_EQ(P(), -1);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("ro.pdf")), "old");
  AnswerPath(target);
  frame_->Ui().QueueAnswer(plat::IDOK);
  frame_->Ui().QueueAnswer(plat::IDYES);  // make it writable and write
  EXPECT_EQ(P(), 0);
  EXPECT_TRUE(testenv::ReadHostFile(dir_.HostPath("ro.pdf")).starts_with("%PDF-1.3"));
}

TEST_F(SheetPdfFileTest, AFolderOrAMissingFolderIsRefused) {
  SetRows(2);
  std::filesystem::create_directory(dir_.HostPath("d.pdf"));
  const std::pair<std::string, std::string> targets[] = {{Win("d.pdf"), "Is a directory"},
                                                         {Win("none") + "\\x.pdf", "No such file or directory"}};
  for (const auto& [target, why] : targets) {
    AnswerPath(target);
    frame_->Ui().QueueAnswer(plat::IDOK);
    EXPECT_EQ(P(), -1) << target;
    // "%s \nは書込み禁止又は他で使用中です。\n実行できません。", named as written, and the reason
    std::string expected = LoadString(IDS_CANNOT_USE);
    expected.replace(expected.find("%s"), 2, plat::ShownPath(target));
    EXPECT_EQ(frame_->Ui().MessageLog().back().text, expected + "  (" + why + ")");
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_.HostPath("d.pdf")));
}

TEST_F(SheetPdfFileTest, TheRowLimitStopsBeforeTheDialog) {
  SetRows(95);
  view_.Table().m_nRowLimit = 100;
  EXPECT_EQ(P(), 1);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), " raw number over 100 ");
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
}

}  // namespace
