// HTML to text: tags, entities, links, character sets and the output bounds.
#include <string>

#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/markup/MarkupTestSupport.h"
#include "support/TestEnv.h"

using markuptest::Body;
using markuptest::Convert;
using markuptest::LinkList;
using markuptest::Sjis;

namespace {

class HtmlText : public testenv::DocTest {};

bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

}  // namespace

TEST_F(HtmlText, EntitiesTakeTheirAsciiOrShiftJisForms) {
  const std::string page =
      "<p>&quot;x&quot; &#149; &hellip; &rarr; &copy;&reg; a&nbsp;b &unknown; [&#91;] [&#160;] &LT;&gt;&amp;amp;</p>";
  const std::string text = Body(Convert(*doc_, page));
  EXPECT_NE(text.find("'x'"), std::string::npos) << "quot is an apostrophe";
  EXPECT_NE(text.find("\x81\x45 \x81\x64 \x81\xA8 [C][R] a b"), std::string::npos);
  EXPECT_NE(text.find("&unknown;"), std::string::npos) << "an unknown name stays in the text";
  EXPECT_NE(text.find("[\t]"), std::string::npos) << "#91 begins with #9";
  EXPECT_NE(text.find("[\x81\x45]"), std::string::npos) << "#160 begins with #16";
  EXPECT_NE(text.find("<>&amp;"), std::string::npos);

  doc_->m_bAsciiFixed = 1;
  const std::string ascii = Body(Convert(*doc_, page));
  EXPECT_NE(ascii.find("*  ** -> [C][R]"), std::string::npos);

  EXPECT_NE(Body(Convert(*doc_, "a&ensp;b")).find("a b"), std::string::npos);
  EXPECT_NE(Body(Convert(*doc_, "a&ensp;b", markuptest::Form::Sheet)).find("a&ensp;b"), std::string::npos)
      << "spreadsheet XML has no ensp";
}

TEST_F(HtmlText, LinksAreNumberedInTheTextAndListedAtTheEnd) {
  doc_->m_bShowAddress = 1;
  std::string page;
  for (int i = 1; i <= 645; ++i) page += "<a href=\"http://h.example/" + std::to_string(i) + "\">L" + std::to_string(i) + "</a>";
  const std::string text = Convert(*doc_, page);
  const std::string body = Body(text);
  EXPECT_NE(body.find(" @07:L7"), std::string::npos);
  EXPECT_NE(body.find(" @C3:L123"), std::string::npos);
  EXPECT_NE(body.find(" @e0:L400"), std::string::npos);
  EXPECT_EQ(body.find("L641 @"), std::string::npos);
  const auto links = LinkList(text);
  ASSERT_EQ(links.size(), 640u) << "the list holds 640 addresses";
  EXPECT_EQ(links[6], "@07 http://h.example/7");
  EXPECT_EQ(links[122], "@C3 http://h.example/123");
  EXPECT_EQ(links[399], "@e0 http://h.example/400");

  doc_->m_bShowAddress = 0;
  const std::string hidden = Convert(*doc_, page);
  EXPECT_EQ(hidden.find(" @0"), std::string::npos);
  EXPECT_TRUE(LinkList(hidden).empty());
}

TEST_F(HtmlText, AddressesAndAlternativeTextsOfOtherTags) {
  doc_->m_bShowAddress = 1;
  const std::string page =
      "<frame src=\"menu.html\"><meta http-equiv=\"refresh\" content=\"0; URL=http://x.example/next\">"
      "<area nohref href=\"skip.html\" alt=\"dead\"><img src=\"p.png\" alt=\"a quiet lake\">"
      "<a href='single.html'><img src=\"q.png\"></a><input type=text name=\"query\">";
  const std::string text = Convert(*doc_, page);
  const std::string body = Body(text);
  EXPECT_NE(body.find("<<dead>>"), std::string::npos);
  EXPECT_NE(body.find("<image><<a quiet lake>>"), std::string::npos) << "alternative text keeps its blanks";
  EXPECT_NE(body.find(" @03:<a-img>"), std::string::npos);
  EXPECT_NE(body.find("<input> <query> "), std::string::npos);
  const auto links = LinkList(text);
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(links[0], "@01 menu.html");
  EXPECT_EQ(links[1], "@02 http://x.example/next");
  EXPECT_EQ(links[2], "@03 single.html");
}

TEST_F(HtmlText, TagTextIsBoundedTo1000Bytes) {
  doc_->m_bShowAddress = 1;
  const std::string text = Convert(*doc_, "<a href=\"http://" + std::string(100000, 'u') + "\">x</a>after");
  const auto links = LinkList(text);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_LT(links[0].size(), 1000u);
  EXPECT_NE(Body(text).find("xafter"), std::string::npos) << "the rest of the long tag is passed over";
}

TEST_F(HtmlText, LayoutOfHeadingsListsEmphasisAndRules) {
  const std::string text = Body(Convert(*doc_,
      "<h1>Top</h1>\n<ul>\n <li>one</li>\n <li>two</li>\n</ul>\n<p><b>B</b>x<i>I</i>y<u>U</u>z<b></b>"
      "<hr><select><option>o1<option>o2</select><dl><dt>T</dt><dd>D</dd></dl>"));
  EXPECT_EQ(text.find("\n$:Top\n"), 0u);
  EXPECT_NE(text.find("\n   \x81\x45one\n   \x81\x45two\n"), std::string::npos) << "each item on its own line";
  EXPECT_NE(text.find(" [B] x <I> y<<U>>z"), std::string::npos);
  EXPECT_EQ(text.find("[]"), std::string::npos) << "an empty emphasis leaves no marks";
  EXPECT_NE(text.find("\n" + std::string(78, '-') + "\n"), std::string::npos);
  EXPECT_NE(text.find("|o1|o2"), std::string::npos);
  EXPECT_NE(text.find("T\nD\n"), std::string::npos) << "no second break after a closing tag's break";
}

TEST_F(HtmlText, SourceLineBreaksVanishUnlessPreformattedOrRuled) {
  const std::string page = "<p>ab\r\ncd\n\t   ef</p><pre>g\n  h</pre>";
  const std::string text = Body(Convert(*doc_, page));
  EXPECT_NE(text.find("abcdef"), std::string::npos);
  EXPECT_NE(text.find("g\n  h"), std::string::npos);
  doc_->m_bVerticalRules = 1;
  EXPECT_NE(Body(Convert(*doc_, page)).find("ab\ncd\n   ef"), std::string::npos);
}

TEST_F(HtmlText, StyleTextIsHiddenScriptTextIsNot) {
  const std::string text = Body(Convert(*doc_, "<style>p{color:red}</style><script>var k=1;</script><p>after"));
  EXPECT_EQ(text.find("color"), std::string::npos);
  EXPECT_NE(text.find("var k=1;"), std::string::npos);
  EXPECT_NE(text.find("after"), std::string::npos);
}

TEST_F(HtmlText, CommentsAreSkippedUpTo10000Bytes) {
  EXPECT_EQ(Body(Convert(*doc_, "a<!-- hidden -->b")), "\nab");
  const std::string text = Body(Convert(*doc_, "<!--" + std::string(15000, 'y')));
  EXPECT_EQ(std::count(text.begin(), text.end(), 'y'), 5000);
}

TEST_F(HtmlText, RefusedCharacterPairsNeverPutNulInTheText) {
  // A4 A0 has no JIS code: the conversion refuses it with two zero bytes.
  const std::string euc = Convert(*doc_, "<p>\xA4\xA2\xA4\xA0x</p>");
  EXPECT_FALSE(HasNul(euc));
  EXPECT_NE(euc.find("\x82\xA0?x"), std::string::npos);
  // Stray EUC bytes in a page labelled UTF-8 go through the JIS conversion as they stand.
  const std::string utf8 = Convert(*doc_, "<meta charset=\"utf-8\"><p>\xE3\x81\x82\xA4\xA2z</p>");
  EXPECT_FALSE(HasNul(utf8));
  EXPECT_NE(utf8.find("\x82\xA0?z"), std::string::npos);
  // A four-byte character is taken whole; one cut short leaves the byte after it.
  const std::string four = Convert(*doc_, "<meta charset=\"utf-8\"><p>\xF0\x9F\x98\x80" "a\xF0\x9F\x98" "b</p>");
  EXPECT_NE(four.find("?a"), std::string::npos) << four;
  EXPECT_NE(four.find("b"), std::string::npos) << four;
  // JIS pairs outside the JIS rows, and in the alternative text of a tag.
  const std::string jis = Convert(*doc_, "<img alt=\"\x1B$B\x24\x22\x7F\x7F\x1B(B\">\x1B$B\x24\x22\x20\x21\x1B(Bq");
  EXPECT_FALSE(HasNul(jis));
  EXPECT_NE(jis.find("<<\x82\xA0?>>"), std::string::npos) << jis;
  EXPECT_NE(jis.find("\x82\xA0?q"), std::string::npos);
}

TEST_F(HtmlText, CharacterSetsAreGuessedNamedOrLeftAlone) {
  // UTF-8 guessed from a lead byte of E0 or more; EUC-JP from a lower one.
  EXPECT_NE(Convert(*doc_, "<p>\xE6\x97\xA5\xE6\x9C\xAC</p>").find(Sjis("日本")), std::string::npos);
  EXPECT_NE(Convert(*doc_, "<p>\xC6\xFC\xCB\xDC</p>").find(Sjis("日本")), std::string::npos);
  // Named Shift_JIS: bytes as they stand, pairs kept whole.
  const std::string sjis = Sjis("日本語");
  EXPECT_NE(Convert(*doc_, "<meta content=\"text/html; charset=Shift_JIS\"><p>" + sjis).find(sjis), std::string::npos);
  // A JIS run of any length.
  std::string run = "\x1B$B";
  for (int i = 0; i < 600; ++i) run += "\x24\x22";
  const std::string text = Body(Convert(*doc_, run + "\x1B(Bend"));
  std::string expected;
  for (int i = 0; i < 600; ++i) expected += "\x82\xA0";
  EXPECT_EQ(text, "\n" + expected + "end");
}

TEST_F(HtmlText, ByteOrderMarkSkippedAndByteFFEndsTheText) {
  EXPECT_EQ(Body(Convert(*doc_, "\xEF\xBB\xBFstart")), "\nstart");
  EXPECT_EQ(Body(Convert(*doc_, "before\xFF" "after")), "\nbefore");
}

TEST_F(HtmlText, InputCutInsideACharacterIsReadNoFurther) {
  for (const std::string tail : {"\xE3", "\xE3\x81", "\x1B", "\x1B$", "\x1B$B\x24", "&am", "<a hr", "<!--", "\xA4"}) {
    const std::string text = Convert(*doc_, "<meta charset=utf-8><p>ab" + tail);
    EXPECT_FALSE(HasNul(text)) << tail;
    EXPECT_NE(text.find("ab"), std::string::npos) << tail;
  }
}

TEST_F(HtmlText, EveryWriteStaysInsideTheOutputBuffer) {
  doc_->m_bShowAddress = 1;
  std::string page = "<table>";
  for (int r = 0; r < 40; ++r) page += "<tr><td>" + std::string(150, 'c') + "</td><td>" + std::string(100, 'd') + "</td></tr>";
  page += "</table>";
  for (int i = 0; i < 640; ++i) page += "<a href=\"http://" + std::string(200, 'h') + "\">x</a>";
  for (int limit : {1, 50, 300, 5000}) {
    doc_->m_nOutDataLimit = limit;
    const std::string text = Convert(*doc_, page, markuptest::Form::Html, 1, limit + 1);
    EXPECT_LE(text.size(), static_cast<size_t>(limit)) << limit;
    EXPECT_FALSE(HasNul(text));
  }
}

TEST_F(HtmlText, AllocationFailureIsTheWholeText) {
  Convert(*doc_, "<p>x");
  doc_->m_allocHook.FailAfter(0);
  DumpCall call;
  doc_->WriteConvertFailure(doc_->ConvertHtmlToText(call));
  EXPECT_EQ(std::string(doc_->m_pConvBuf, doc_->m_nConvPos), LoadString(IDS_OUT_OF_MEMORY) + " 015");
  doc_->m_allocHook.FailAfter(0);
  doc_->WriteConvertFailure(doc_->ConvertXmlSheetToText(call));
  EXPECT_EQ(std::string(doc_->m_pConvBuf, doc_->m_nConvPos), LoadString(IDS_OUT_OF_MEMORY) + " 014");
}

TEST_F(HtmlText, AMillionPassesEndTheConversion) {
  std::string page;
  for (int i = 0; i < 1100000; ++i) page += "<x>";
  Convert(*doc_, page);
  EXPECT_EQ(doc_->Convert().m_nRawPos, 3000000);
}

TEST_F(HtmlText, SourceDisplayCopiesOrIndentsTables) {
  doc_->m_nDisplayForm = 2;
  const std::string page = "<table>\n<tr><td>\xE6\x97\xA5</td></tr>\n<pre>\nq\n</pre></table>\nz\xFF" "tail";
  EXPECT_EQ(Convert(*doc_, page), page.substr(0, page.find('\xFF')));
  EXPECT_EQ(Convert(*doc_, ""), "") << "an empty file has no buffer";
  doc_->m_bVerticalRules = 1;
  EXPECT_EQ(Convert(*doc_, page), "<table>\n\t<tr><td>" + Sjis("日") + "</td></tr>\n\t<pre>\nq\n</pre></table>\nz");
}
