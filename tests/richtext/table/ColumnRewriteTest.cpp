// The column re-renderer's rows: a table region taken apart into characters and put
// together again keeps every character.
#include <gtest/gtest.h>

#include "platform/richedit/RichEdit.h"
#include "richtext/table/ColumnRewrite.h"

namespace {

// Characters CP932 cannot write (Korean, an emoji, é) came back from a column code's
// re-rendering as '?': each keeps its Unicode value through the rows.
TEST(ColumnRewrite, CharactersOutsideCp932CameBackAsQuestionMarksFault) {
  const std::string rtf = "{\\rtf1 Kim\\tab \\u49436?\\u50872?\\tab caf\\u233?\\par Lee\\tab \\u-10179?\\u-8704?\\tab x\\par}";
  plat::RichEdit before;
  ASSERT_TRUE(before.StreamInRtf(rtf, false));
  const plat::RichFragment frag = plat::ReadRtf(rtf, before.DefaultCharFormat());
  plat::RichEdit after;
  ASSERT_TRUE(after.StreamInRtf(plat::WriteRtf(sheetcols::FragmentOf(sheetcols::RowsOf(frag)), before.DefaultCharFormat()), false));
  ASSERT_EQ(after.Text(), before.Text());
  std::u32string was, now;
  for (int cp = 0; cp < before.GetTextLength(); ++cp) {
    was += before.UnicodeAt(cp);
    now += after.UnicodeAt(cp);
  }
  EXPECT_EQ(was, U"Kim\t서울\tcafé\rLee\t😀\tx\r");
  EXPECT_EQ(now, was);
}

}  // namespace
