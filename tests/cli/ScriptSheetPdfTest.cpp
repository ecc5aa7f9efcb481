// A sheet written as PDF from a script (table mode, Ctrl+P, the path answered), read
// back by qpdf and poppler's tools: structure, fonts, document information, paper,
// the cells in their rows, paging, and an Esc stop that leaves the old file.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CommandTables.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

class ScriptSheetPdfTest : public testenv::DocTest {
 protected:
  std::ostringstream out_;
  int Run(const std::string& script) {
    ScriptRunner runner(*doc_, *frame_, AllCommandTables(), out_, messages_);
    return runner.Run("t.script", script);
  }
  // Writes a CSV file (UTF-8 text stored as CP932) and turns it into a PDF.
  int WritePdf(const std::string& csv, const std::string& utf8, const std::string& pdf, const std::string& more = "") {
    WriteFile(csv, plat::Utf8ToCp932Lossy(utf8));
    return Run("open " + Q(dir_.HostPath(csv)) + "\ncommand ID_TABLE_EDIT\nanswer " + Q("path=" + dir_.HostPath(pdf)) + "\n" + more +
               "key Ctrl+P\n");
  }
  std::string Tool(const std::string& command, const std::string& pdf, const std::string& after = "") {
    return testenv::Shell(command + " " + testenv::Quote(dir_.HostPath(pdf)) + after + " 2>&1");
  }
};

TEST_F(ScriptSheetPdfTest, PeerToolsReadTheSheetPdf) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  SKIP_WITHOUT_PROGRAM("pdffonts");
  SKIP_WITHOUT_PROGRAM("pdfinfo");
  SKIP_WITHOUT_PROGRAM("pdftotext");
  ASSERT_EQ(WritePdf("品目.csv", "品名,数量,単価\r\nりんご,3,120\r\n表示,10,5\r\n", "売上表.pdf"), kScriptDone) << messages_.str();
  EXPECT_NE(Tool("qpdf --check", "売上表.pdf").find("No syntax or stream encoding errors found"), std::string::npos);
  const std::string fonts = Tool("pdffonts", "売上表.pdf");
  size_t cid = 0;
  for (size_t at = fonts.find("CID TrueType      90msp-RKSJ-H"); at != std::string::npos;
       at = fonts.find("CID TrueType      90msp-RKSJ-H", at + 1)) {
    ++cid;
  }
  EXPECT_EQ(cid, 5u) << fonts;
  const std::string info = Tool("pdfinfo", "売上表.pdf");
  EXPECT_NE(info.find("Title:           売上表\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Creator:         Tamrel\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Author:          Tamrel\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Producer:        DIZER\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Page size:       595 x 842 pts (A4)"), std::string::npos) << info;
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  std::istringstream text(Tool("pdftotext -layout", "売上表.pdf", " -"));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(text, line);) {
    std::istringstream words(line);
    std::vector<std::string> cells;
    for (std::string w; words >> w;) cells.push_back(w);
    if (!cells.empty()) rows.push_back(cells);
  }
  const std::vector<std::vector<std::string>> expected = {{"品名", "数量", "単価"}, {"りんご", "3", "120"}, {"表示", "10", "5"}};
  EXPECT_EQ(rows, expected);
  // The PDF is the shown file now.
  EXPECT_EQ(doc_->m_strFileName1, Win("売上表.pdf"));
}

TEST_F(ScriptSheetPdfTest, TheMarkupsPaperAndOrientation) {
  SKIP_WITHOUT_PROGRAM("pdfinfo");
  ASSERT_EQ(WritePdf("l.csv", "XLxA3H\r\na,b\r\n", "l.pdf"), kScriptDone) << messages_.str();
  EXPECT_NE(Tool("pdfinfo", "l.pdf").find("Page size:       1190 x 842 pts (A3)"), std::string::npos);
}

TEST_F(ScriptSheetPdfTest, HundredRowsAtTheDefaultMarginsMakeTwoPages) {
  SKIP_WITHOUT_PROGRAM("pdfinfo");
  SKIP_WITHOUT_PROGRAM("pdftotext");
  std::string rows;
  for (int i = 1; i <= 100; ++i) rows += "row" + std::to_string(i) + ",x\r\n";
  ASSERT_EQ(WritePdf("h.csv", rows, "h.pdf"), kScriptDone) << messages_.str();
  EXPECT_NE(Tool("pdfinfo", "h.pdf").find("Pages:           2\n"), std::string::npos);
  const std::string second = Tool("pdftotext -f 2 -l 2 -layout", "h.pdf", " -");
  EXPECT_EQ(second.find("row64 "), std::string::npos);
  EXPECT_NE(second.find("row65"), std::string::npos);
  EXPECT_NE(second.find("row100"), std::string::npos);
}

TEST_F(ScriptSheetPdfTest, EscWithYesLeavesTheExistingFile) {
  std::string rows;
  for (int i = 1; i <= 100; ++i) rows += "row" + std::to_string(i) + ",x\r\n";
  WriteFile("keep.pdf", "old bytes");
  ASSERT_EQ(WritePdf("k.csv", rows, "keep.pdf", "answer ok\nanswer yes\nkey Ctrl+P Escape\n"), kScriptDone) << messages_.str();
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("keep.pdf")), "old bytes");
}

}  // namespace
