// Page marks of saved RTF become page breaks; the "\pard" after a mark is kept and
// the look-ahead never passes the text.
#include <gtest/gtest.h>

#include "platform/os/Files.h"
#include "richtext/sheet/RtfPageMarks.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

TEST(FixRtfPageMarks, MarksBeforeParagraphEndsBecomePageBreaks) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"text between", "x ~~abc\\par y", "x~`abc\\page y"},
      {"already a page", "x ~~ \\page\\par", "x ~` \\page\\par"},
      {"no paragraph end near", " ~~" + std::string(40, 'a') + "\\par", " ~~" + std::string(40, 'a') + "\\par"},
      {"paragraph end just in reach", " ~~" + std::string(36, 'a') + "\\par", "~`" + std::string(36, 'a') + "\\page"},
      {"a NUL ends the scan", std::string("a\0 ~~\\par", 9), std::string("a\0 ~~\\par", 9)},
      {"mark at the very end", "x ~~", "x ~~"},
      {"word cut at the end", "x ~~\\pa", "x ~~\\pa"},
      {"two marks", " ~~\\par  ~~\\par", "~`\\page ~`\\page"},
  };
  for (const Case& c : cases) EXPECT_EQ(FixRtfPageMarksText(c.in), c.out) << c.name;
}

// The mark directly before "\pard" lost the paragraph's reset: it became "\page ".
TEST(FixRtfPageMarks, PardAfterAMarkIsKeptFault) {
  EXPECT_EQ(FixRtfPageMarksText("a ~~\\pard\\sl-240 b"), "a~`\\page\\pard\\sl-240 b");
}

class FixRtfPageMarksFile : public testenv::DocTest {};

TEST_F(FixRtfPageMarksFile, OnlyRtfFilesAreRewrittenAndAMissingOneIsReported) {
  const std::string rtf = WriteFile("a.rtf", "{\\rtf1 x ~~\\par}");
  const std::string txt = WriteFile("a.txt", "{\\rtf1 x ~~\\par}");
  EXPECT_EQ(CQelView::FixRtfPageMarks(rtf), 0);
  EXPECT_EQ(*plat::ReadFileHead(rtf, 100), "{\\rtf1 x~`\\page}");
  EXPECT_EQ(CQelView::FixRtfPageMarks(txt), 0);
  EXPECT_EQ(*plat::ReadFileHead(txt, 100), "{\\rtf1 x ~~\\par}");
  EXPECT_EQ(CQelView::FixRtfPageMarks(Win("missing.rtf")), -1);
  EXPECT_NE(frame_->Ui().MessageLog().back().text.find("\nfile = "), std::string::npos);
}

}  // namespace
