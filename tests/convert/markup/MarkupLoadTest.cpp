// The whole road: a page or a sheet loaded as a document, and shown by the program.
#include <string>

#include "app/FileKind.h"
#include "convert/markup/MarkupTestSupport.h"
#include "support/TestEnv.h"

using testenv::DataPath;
using testenv::ReadHostFile;

namespace {

class MarkupLoad : public testenv::DocTest {};

}  // namespace

TEST_F(MarkupLoad, DocumentsShowTheConvertersText) {
  const std::string page = ReadHostFile(DataPath("markup/page.jis.html"));
  const std::string sheet = ReadHostFile(DataPath("markup/lo-sheet1.xml"));
  doc_->m_bVerticalRules = 1;  // ruled tables for HTML
  const std::string expectedPage = markuptest::Convert(*doc_, page, markuptest::Form::Html, 1);
  const std::string expectedSheet = markuptest::Convert(*doc_, sheet, markuptest::Form::Sheet, 0);

  ASSERT_GE(doc_->LoadDocument(WriteFile("page.htm", page)), 0);
  EXPECT_EQ(doc_->m_nFileKind, kKindHtml);
  EXPECT_EQ(Text(), expectedPage + "\r\n");
  EXPECT_NE(Text().find("|"), std::string::npos);

  ASSERT_GE(doc_->LoadDocument(WriteFile("sheet.xml", sheet)), 0);
  EXPECT_EQ(Text(), expectedSheet);
}

TEST_F(MarkupLoad, TheProgramPrintsThePageAsUtf8) {
  const std::string path = dir_.HostPath("page.html");
  testenv::WriteHostFile(path, ReadHostFile(DataPath("markup/page.sjis.html")));
  int status = -1;
  const std::string out = testenv::Shell("PELNORIX_HOME=" + testenv::Quote(dir_.HostPath("home")) + " " +
                                         testenv::Quote(PELNORIX_BINARY) + " " + testenv::Quote(path),
                                         &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("$:日本語の見出し"), std::string::npos);
  EXPECT_NE(out.find("名古屋 230  中部"), std::string::npos);
}
