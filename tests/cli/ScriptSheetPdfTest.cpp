// A sheet written as PDF from a script (table mode, Ctrl+P, the path answered), read
// back by qpdf and poppler's tools: structure, fonts, document information, paper,
// the cells in their rows, paging, and an Esc stop that leaves the old file.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

class ScriptSheetPdfTest : public clitest::ScriptDocTest {
 protected:
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

// The words pdftotext reads from a PDF, page after page, in reading order.
std::vector<std::string> Words(const std::string& layout) {
  std::vector<std::string> words;
  std::istringstream in(layout);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Columns past the page's right edge were dropped (10 of 20 columns, the rest cut).
// Every cell comes now, the columns that do not fit on further pages (each column's
// rows in order, each row's columns in order).
TEST_F(ScriptSheetPdfTest, ColumnsPastTheRightEdgeWereDroppedFault) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  SKIP_WITHOUT_PROGRAM("pdftotext");
  std::string wide;
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 20; ++c) wide += (c > 1 ? "," : "") + std::string("列") + (c < 10 ? "0" : "") + std::to_string(c) + "データ" + std::to_string(r);
    wide += "\r\n";
  }
  ASSERT_EQ(WritePdf("wide.csv", wide, "wide.pdf"), kScriptDone) << messages_.str();
  EXPECT_NE(Tool("qpdf --check", "wide.pdf").find("No syntax or stream encoding errors found"), std::string::npos);
  const std::vector<std::string> words = Words(Tool("pdftotext -layout", "wide.pdf", " -"));
  ASSERT_EQ(words.size(), 60u);
  std::map<std::string, size_t> at;
  for (size_t k = 0; k < words.size(); ++k) at[words[k]] = k;
  auto cell = [](int r, int c) { return std::string("列") + (c < 10 ? "0" : "") + std::to_string(c) + "データ" + std::to_string(r); };
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 20; ++c) {
      ASSERT_TRUE(at.count(cell(r, c))) << cell(r, c);
      if (c > 1) {
        EXPECT_LT(at[cell(r, c - 1)], at[cell(r, c)]) << cell(r, c);
      }
      if (r > 1) {
        EXPECT_LT(at[cell(r - 1, c)], at[cell(r, c)]) << cell(r, c);
      }
    }
  }
}

// One cell of 800 bytes pushed every later cell off the page. It is cut at the
// page's margin and goes on in the next band; the cells after it follow.
TEST_F(ScriptSheetPdfTest, ALongCellPushedTheLaterCellsOffThePageFault) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  SKIP_WITHOUT_PROGRAM("pdftotext");
  std::string longCell = "L";
  for (int i = 1; i < 200; ++i) longCell += (i < 10 ? "000" : i < 100 ? "00" : "0") + std::to_string(i);
  ASSERT_EQ(WritePdf("long.csv", "a1," + longCell + ",c1\r\na2,b2,c2\r\n", "long.pdf"), kScriptDone) << messages_.str();
  EXPECT_NE(Tool("qpdf --check", "long.pdf").find("No syntax or stream encoding errors found"), std::string::npos);
  std::string all;
  for (const std::string& w : Words(Tool("pdftotext -layout", "long.pdf", " -"))) all += w == "b2" ? "" : w;
  EXPECT_EQ(all, "a1a2" + longCell + "c1c2");
}

// A row before the table's start ('<') ran its long heading over the filled cells
// beside it. It wraps within its room now: no two words on a page overlap.
TEST_F(ScriptSheetPdfTest, RowsOutsideTheTableOverprintedTheirNeighboursFault) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  ASSERT_EQ(WritePdf("head.csv", "これは表の見出しでとても長い見出しの行です,金額,区分\r\n品名,金額,区分^<\r\nりんご,120,A\r\n~free text that runs on over the empty columns after it\r\n", "head.pdf"),
            kScriptDone)
      << messages_.str();
  struct Box {
    double x0, y0, x1, y1;
    std::string word;
  };
  std::vector<Box> boxes;
  std::string text;
  const std::string bbox = Tool("pdftotext -bbox", "head.pdf", " -");
  for (size_t at = bbox.find("<word "); at != std::string::npos; at = bbox.find("<word ", at + 1)) {
    Box b{};
    const int n = std::sscanf(bbox.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &b.x0, &b.y0, &b.x1, &b.y1);
    ASSERT_EQ(n, 4);
    const size_t from = bbox.find('>', at) + 1;
    b.word = bbox.substr(from, bbox.find('<', from) - from);
    text += b.word;
    boxes.push_back(b);
  }
  EXPECT_EQ(text, "これは金額区分表の見出しでとても長い見出しの行です品名金額区分りんご120Afreetextthatrunsonovertheemptycolumnsafterit");
  for (size_t i = 0; i < boxes.size(); ++i) {
    for (size_t k = i + 1; k < boxes.size(); ++k) {
      const Box& a = boxes[i];
      const Box& b = boxes[k];
      const bool overlap = a.x0 < b.x1 - 0.5 && b.x0 < a.x1 - 0.5 && a.y0 < b.y1 - 0.5 && b.y0 < a.y1 - 0.5;
      EXPECT_FALSE(overlap) << a.word << " over " << b.word;
    }
  }
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
  ASSERT_EQ(WritePdf("k.csv", rows, "keep.pdf", "answer ok\nanswer yes\nkey Ctrl+P keys Escape\n"), kScriptDone) << messages_.str();
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("keep.pdf")), "old bytes");
}

// A sheet PDF that was not written said it was: a sheet past the row limit (9,000
// rows at the default n_tbl) printed nothing with exit 0, and a write that found the
// disk full exited 0 saying the file was write-protected or in use. Each fails with
// its reason (the setting's name, the full disk) and leaves an existing file as it
// was; with n_tbl raised the sheet is printed whole, as pdftotext reads it.
TEST_F(ScriptSheetPdfTest, SheetPdfFailuresExitedZeroFault) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  std::string rows;
  for (int i = 0; i < 9500; ++i) rows += "r" + std::to_string(i) + ",x\r\n";
  WriteFile("big.csv", rows);
  // Refused before the file dialog: no path is asked for.
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("big.csv")) + "\ncommand ID_TABLE_EDIT\nkey Ctrl+P\n"), kScriptFailed);
  EXPECT_NE(messages_.str().find("t.script:3: key failed:  raw number over 9000"), std::string::npos) << messages_.str();
  EXPECT_NE(messages_.str().find("(n_tbl=96)"), std::string::npos) << messages_.str();
  doc_->m_bTableMode = 0;
  ASSERT_EQ(Run("set n_tbl=96\nopen " + Q(dir_.HostPath("big.csv")) + "\ncommand ID_TABLE_EDIT\nanswer " +
                Q("path=" + dir_.HostPath("big.pdf")) + "\nkey Ctrl+P\n"),
            kScriptDone)
      << messages_.str();
  const std::vector<std::string> words = Words(Tool("pdftotext -layout", "big.pdf", " -"));
  ASSERT_EQ(words.size(), 19000u);
  EXPECT_EQ(words.back(), "x");
  EXPECT_EQ(words[words.size() - 2], "r9499");

  // The full disk: a small tmpfs when one can be mounted, else a file-size limit on
  // the program (which the write meets as no room).
  std::string mid;
  for (int i = 0; i < 3000; ++i) mid += "row" + std::to_string(i) + ",xxxxxxxxxxxxxxxxxxxx\r\n";
  WriteFile("mid.csv", mid);
  const testenv::SmallDisk full(dir_, "full", 16 << 10);
  const std::string target = full.HostPath("keep.pdf");
  testenv::WriteHostFile(target, "old bytes");
  WriteFile("s.script", "open " + Q(dir_.HostPath("mid.csv")) + "\ncommand ID_TABLE_EDIT\nanswer " + Q("path=" + target) +
                            "\nanswer yes\nkey Ctrl+P\n");
  const testenv::ProgramRun run =
      testenv::RunProgram(dir_.Host(), dir_.HostPath("home"), "--script s.script", full.Prefix(20 << 10));
  const int status = run.status;
  const std::string& err = run.err;
  const std::string kept = testenv::ReadHostFile(target);
  EXPECT_NE(status, 0) << err;
  EXPECT_NE(err.find("はディスクの空き容量が足りないため書き込めません。"), std::string::npos) << err;
  EXPECT_EQ(err.find("書込み禁止"), std::string::npos) << err;
  EXPECT_TRUE(kept == "old bytes") << kept.size() << " bytes";
}

}  // namespace
