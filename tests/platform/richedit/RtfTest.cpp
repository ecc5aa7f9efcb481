// RTF read and written by the rich-edit layer: the exact words written, regions that
// come back unchanged, what other writers put in, and hostile input.
#include <gtest/gtest.h>

#include <vector>

#include "platform/richedit/RichEdit.h"
#include "platform/text/CodePage.h"
#include "support/TestFiles.h"

namespace {

using namespace plat;

const std::string kSo = "\x83\x5C";  // ソ: its trail byte is a backslash

// Everything a paragraph and its characters carry, for comparing two controls.
std::string Describe(const RichEdit& e) {
  std::string out;
  for (int cp = 0; cp < e.GetTextLength(); ++cp) {
    const CharFormat2& cf = e.FormatAt(cp);
    out += e.GetTextRange(cp, cp + 1) + "[" + std::to_string(cf.dwEffects & 0x4400000F) + "," +
           std::to_string(cf.yHeight) + "," + std::to_string(cf.yOffset) + "," + std::to_string(cf.crTextColor) + "," +
           std::to_string(cf.crBackColor) + "," + std::to_string(cf.bUnderlineType) + "," + cf.szFaceName + "]";
  }
  for (int line = 0; line < e.GetLineCount(); ++line) {
    const ParaFormat2& pf = e.ParaOfLine(line);
    out += "|" + std::to_string(pf.dxStartIndent) + "," + std::to_string(pf.bLineSpacingRule) + "," +
           std::to_string(pf.dyLineSpacing) + ",";
    for (int i = 0; i < pf.cTabCount; ++i) out += std::to_string(pf.rgxTabs[static_cast<size_t>(i)]) + " ";
  }
  return out;
}

RichEdit Formatted() {
  RichEdit e;
  e.SetText("plain {x} \\ " + kSo + "\tend\rsecond line\r\rlast");
  CharFormat2 cf;
  cf.dwMask = CFM_BOLD | CFM_COLOR | CFM_BACKCOLOR | CFM_SIZE;
  cf.dwEffects = CFE_BOLD;
  cf.crTextColor = RGB(0, 160, 0);
  cf.crBackColor = RGB(1, 0, 0);
  cf.yHeight = 20;
  e.ExSetSel(2, 9);
  e.SetCharFormat(cf, true);
  CharFormat2 ul;
  ul.dwMask = CFM_UNDERLINETYPE | CFM_ITALIC | CFM_OFFSET | CFM_STRIKEOUT;
  ul.dwEffects = CFE_ITALIC | CFE_STRIKEOUT;
  ul.bUnderlineType = CFU_UNDERLINEDOTTED;
  ul.yOffset = -60;
  e.ExSetSel(25, 29);
  e.SetCharFormat(ul, true);
  ParaFormat2 pf;
  pf.dwMask = PFM_ALL2;
  pf.dxStartIndent = 100;
  pf.cTabCount = 2;
  pf.rgxTabs[0] = 200;
  pf.rgxTabs[1] = 1400;
  pf.bLineSpacingRule = kSpacingExact;
  pf.dyLineSpacing = 240;
  e.ExSetSel(0, 0);
  e.SetParaFormat(pf);
  pf.bLineSpacingRule = kSpacingAtLeast;
  pf.dyLineSpacing = 300;
  pf.cTabCount = 0;
  e.ExSetSel(30, 30);
  e.SetParaFormat(pf);
  return e;
}

TEST(Rtf, WrittenWordsFollowTheFixedOrder) {
  RichEdit e = Formatted();
  const std::string rtf = e.StreamOutRtf(false);
  EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg932")) << rtf;
  EXPECT_NE(rtf.find("{\\colortbl ;\\red1\\green0\\blue0;\\red0\\green160\\blue0;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\pard\\li100\\sl-240\\slmult0\\tx200\\tx1400\\cf0\\highlight0\\b0\\i0\\ulnone\\strike0\\f0\\fs20\\up0 pl"),
            std::string::npos)
      << rtf;
  // A later run writes only what changed, in order, then a blank.
  EXPECT_NE(rtf.find("pl\\cf2\\highlight1\\b\\fs2 ain \\{x"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\cf0\\highlight0\\b0\\fs20  \\\\ \\'83\\'5c\\tab end\\par\n"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\i\\uld\\strike\\dn6 line\\i0\\ulnone\\strike0\\up0 \\par"), std::string::npos) << rtf;
  EXPECT_EQ(rtf.find("\\\\\\"), std::string::npos);  // no trail byte becomes a backslash
  EXPECT_TRUE(rtf.ends_with("last}\n"));
}

TEST(Rtf, AWholeTextAndAnyRegionComeBackUnchanged) {
  RichEdit e = Formatted();
  RichEdit copy;
  copy.StreamInRtf(e.StreamOutRtf(false), false);
  EXPECT_EQ(Describe(copy), Describe(e));
  EXPECT_EQ(copy.StreamOutRtf(false), e.StreamOutRtf(false));
  const int n = e.GetTextLength();
  for (int a = 0; a <= n; a += 3) {
    for (int b = a; b <= n; b += 4) {
      RichEdit r = Formatted();
      const std::string before = Describe(r);
      r.ExSetSel(a, b);
      const std::string region = r.StreamOutRtf(true);
      r.StreamInRtf(region, true);
      ASSERT_EQ(Describe(r), before) << a << ".." << b << "\n" << region;
    }
  }
}

TEST(Rtf, ReadsWhatOtherWritersPutIn) {
  struct Case {
    const char* name;
    std::string rtf;
    std::string text;
  };
  const Case cases[] = {
      {"unicode with fallbacks", "{\\rtf1\\uc2 a\\u12354\\'82\\'a0b\\u-3\\'3f}", "a\x82\xA0" "b?"},
      {"code page 1252", "{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'93q\\'94}", "caf? \x81\x67q\x81\x68"},
      {"hex pair", "{\\rtf1 \\'83\\'5c\\'83\\\\x}", kSo + kSo + "x"},
      {"raw lead takes a backslash", "{\\rtf1 \x83\\x}", kSo + "x"},
      {"unknown destinations", "{\\rtf1 a{\\*\\foo {b}c}{\\info{\\title t}}d}", "ad"},
      {"page, cell and row", "{\\rtf1 a\\page b\\cell c\\row d\\line e}", "a\x0C" "b\tc\rd\re"},
      {"symbols", "{\\rtf1 \\~\\-\\_\\{\\}\\\\\\lquote\\ ~~}", " -{}\\\x81\x65 ~~"},
      {"text after the document", "{\\rtf1 in}out", "in"},
      {"font table in CP932", "{\\rtf1{\\fonttbl{\\f1\\fcharset128 \\'82\\'6c;}}\\f1 \\'82\\'a0}", "\x82\xA0"},
  };
  for (const Case& c : cases) {
    RichEdit e;
    e.StreamInRtf(c.rtf, false);
    EXPECT_EQ(e.Text(), c.text) << c.name;
  }
}

TEST(Rtf, ColourNumbersWereReadAsOneDigitFault) {
  std::string rtf = "{\\rtf1{\\colortbl ;\\red1\\green0\\blue0";
  for (int i = 2; i <= 14; ++i) rtf += ";\\red" + std::to_string(i) + "\\green0\\blue0";
  rtf += ";}\\highlight14 x\\highlight1 y\\cf13 z}";
  RichEdit e;
  e.StreamInRtf(rtf, false);
  EXPECT_EQ(e.FormatAt(0).crBackColor, RGB(14, 0, 0));
  EXPECT_EQ(e.FormatAt(1).crBackColor, RGB(1, 0, 0));
  EXPECT_EQ(e.FormatAt(2).crTextColor, RGB(13, 0, 0));
  EXPECT_FALSE(e.FormatAt(2).dwEffects & CFE_AUTOCOLOR);
  EXPECT_NE(e.StreamOutRtf(false).find("\\red14\\green0\\blue0"), std::string::npos);
}

TEST(Rtf, AnObjectIsOneCharacterWrittenBackVerbatim) {
  const std::string object = "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw10\\objh10{\\*\\objdata\n0105}}";
  RichEdit e;
  e.StreamInRtf("{\\rtf1 a" + object + "b\\par}", false);
  EXPECT_EQ(e.GetTextLength(), 4);
  EXPECT_EQ(e.Text(), std::string("a") + kObjectChar + "b\r");
  EXPECT_NE(e.StreamOutRtf(false).find("a" + object + "b"), std::string::npos);
  e.ExSetSel(1, 2);
  EXPECT_EQ(e.StreamOutRtf(true).find("\\objemb") != std::string::npos, true);
}

// An \object (or \pict) as the input's first word is in no group: taking it for an
// object group popped the empty group stack (undefined behaviour, found by
// rtf_reader_fuzz) and kept bytes that read back as other text. Outside every group
// it opens nothing.
TEST(Rtf, ObjectOutsideEveryGroupPoppedAnEmptyStackFault) {
  for (const std::string rtf : {"\\object{\\objdata 01}}x", "\\object x{\\b y}", "\\pict{01}}x", "\\*\\object x"}) {
    RichEdit e;
    e.StreamInRtf(rtf, false);
    EXPECT_EQ(e.Text().find(kObjectChar), std::string::npos) << rtf;
    RichEdit again;
    again.StreamInRtf(e.StreamOutRtf(false), false);
    EXPECT_EQ(again.Text(), e.Text()) << rtf;
  }
}

// Japanese text in a document whose Latin runs use a font of another character set
// came back in that font (a reader took its bytes as code page 1252), and pictures
// were dropped; a double-byte character keeps its run's double-byte font, and a
// picture (with the older readers' copy after it) is one character, kept verbatim.
TEST(Rtf, JapaneseWasWrittenInALatinFontAndPicturesDroppedFault) {
  const std::string fonts = "{\\fonttbl{\\f1\\fcharset0 Latin;}{\\f2\\fcharset0 IPAGothic;}}";
  const std::string picture = "{\\*\\shppict{\\pict\\pngblip 0102}}\n{\\nonshppict{\\pict\\wmetafile8 03}}";
  struct Case {
    const char* name;
    std::string rtf;
    std::string text;
    std::vector<std::string> written;
  } cases[] = {
      {"double-byte run", "{\\rtf1" + fonts + "\\loch\\f1\\dbch\\af2 a{\\dbch \\u26085\\'3f}b}", "a\x93\xFA" "b",
       {"\\fcharset0 Latin;", "\\fcharset128 IPAGothic;", "\\f1\\fs24\\up0 a\\f2 \\'93\\'fa\\f1 b"}},
      {"half-width kana", "{\\rtf1" + fonts + "\\f1\\dbch\\af2 \\u65399\\'3f}", "\xB7", {"\\f1\\fs24\\up0 \\'b7"}},
      {"no double-byte font", "{\\rtf1" + fonts + "\\f1 \\u26085\\'3f}", "\x93\xFA", {"\\fcharset128 Latin;"}},
      {"pictures", "{\\rtf1 a" + picture + "b{\\pict\\wmetafile8 04}c}", "a\x01" "b\x01" "c", {"a" + picture + "b{\\pict\\wmetafile8 04}c"}},
      {"a picture inside an object", "{\\rtf1 {\\object\\objemb{\\result{\\pict 05}}}}", "\x01", {"{\\object\\objemb{\\result{\\pict 05}}}"}},
  };
  for (const Case& c : cases) {
    RichEdit e;
    ASSERT_TRUE(e.StreamInRtf(c.rtf, false)) << c.name;
    EXPECT_EQ(e.Text(), c.text) << c.name;
    const std::string out = e.StreamOutRtf(false);
    for (const std::string& w : c.written) EXPECT_NE(out.find(w), std::string::npos) << c.name << ": " << w << "\n" << out;
    // What was written reads back the same.
    RichEdit back;
    back.StreamInRtf(out, false);
    EXPECT_EQ(Describe(back), Describe(e)) << c.name;
  }
  // A Japanese character given a Latin font by a format command is still written in
  // a font of the character set 128.
  RichEdit e;
  e.SetText("x\x93\xFA");
  CharFormat2 latin;
  latin.dwMask = CFM_FACE | CFM_CHARSET;
  latin.szFaceName = "Latin";
  latin.bCharSet = 0;
  e.SetCharFormat(latin, false, true);
  const std::string out = e.StreamOutRtf(false);
  EXPECT_NE(out.find("{\\f1\\fnil\\fcharset128 Latin;}"), std::string::npos) << out;
  EXPECT_NE(out.find("x\\f1 \\'93\\'fa"), std::string::npos) << out;
}

// Hostile input ends the text where it stops making sense, within bounds.
TEST(Rtf, HostileInputIsReadWithinBounds) {
  struct Case {
    const char* name;
    std::string rtf;
    std::string text;
  };
  const Case cases[] = {
      {"deep groups were skipped without a word", "{\\rtf1 a" + std::string(100000, '{') + "x" + std::string(100000, '}') + "b}", "axb"},
      {"a deep destination is skipped, its neighbours kept",
       "{\\rtf1 a" + std::string(300, '{') + "{\\*\\foo z}{\\pict 0102}x\\par y" + std::string(300, '}') + "b}", "ax\ryb"},
      {"huge numbers", "{\\rtf1\\fs99999999999999999999\\li-99999999999999\\tx999999999999 x\\u99999999999 y}", "x?"},
      {"cut hex", "{\\rtf1 a\\'8", "a"},
      {"hex lead at the end", "{\\rtf1 a\\'82", "a"},
      {"raw lead at the end", "{\\rtf1 a\x82", "a"},
      {"lead before a paragraph", "{\\rtf1 \\'82\\par b}", "\rb"},
      {"unterminated object", "{\\rtf1 a{\\object\\objdata 0102", "a"},
      {"binary past the end", "{\\rtf1 a\\bin999999999 xyz}", "a"},
      {"lone backslash", "{\\rtf1 a\\", "a"},
      {"too many tab stops", "{\\rtf1" + [] { std::string t; for (int i = 0; i < 100; ++i) t += "\\tx" + std::to_string(i * 10); return t; }() + " x}", "x"},
  };
  for (const Case& c : cases) {
    RichEdit e;
    e.StreamInRtf(c.rtf, false);
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_LE(e.ParaOfLine(0).cTabCount, kMaxTabStops);
    EXPECT_LE(e.FormatAt(0).yHeight, 32760) << c.name;
  }
}

// Pictures over 8 MB were dropped without a word: an object is kept whole however
// large (its caller bounds the input), and one that the input cuts before its end is
// left out and counted, so that the caller can say which setting would keep it.
TEST(Rtf, PicturesOverEightMegabytesWereDroppedWithoutAMessageFault) {
  const std::string hex(9 << 20, '7');
  struct Case {
    const char* name;
    std::string rtf;
    std::string text;
    int leftOut;
  } cases[] = {
      {"a 9 MB picture", "{\\rtf1 a{\\pict\\pngblip " + hex + "}b}", "a\x01" "b", 0},
      {"a 9 MB object", "{\\rtf1 a{\\object{\\*\\objdata " + hex + "}}b}", "a\x01" "b", 0},
      {"a picture the input cuts", "{\\rtf1 a{\\*\\shppict{\\pict\\pngblip " + hex, "a", 1},
  };
  for (const Case& c : cases) {
    RichEdit e;
    ASSERT_TRUE(e.StreamInRtf(c.rtf, false)) << c.name;
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_EQ(e.ObjectsLeftOut(), c.leftOut) << c.name;
    EXPECT_EQ(e.StreamOutRtf(false).find(hex) != std::string::npos, c.leftOut == 0) << c.name;
  }
  // Memory for the picture refused: the control stays as it was.
  AllocHook hook;
  hook.FailAbove(1 << 20);
  RichEdit e;
  e.SetText("kept");
  e.SetAllocHook(&hook);
  EXPECT_FALSE(e.StreamInRtf(cases[0].rtf, false));
  EXPECT_EQ(e.Text(), "kept");
}

// The Unicode value of each character, as the control keeps it.
std::u32string Codes(const RichEdit& e) {
  std::u32string codes;
  for (int cp = 0; cp < e.GetTextLength(); ++cp) codes += e.UnicodeAt(cp);
  return codes;
}

// Every character outside CP932 came back as '?' ("café" as "caf?", Korean, emoji,
// bullets): the control keeps its Unicode value beside its stand-in in the CP932
// text and writes it back as \uN (signed 16-bit, a UTF-16 pair beyond the BMP) with
// the fallback '?'; what CP932 has stays CP932.
TEST(Rtf, CharactersOutsideCp932CameBackAsQuestionMarksFault) {
  struct Case {
    const char* name;
    std::string rtf;
    std::string text;  // the CP932 text with its stand-ins
    std::u32string codes;
    std::vector<std::string> written;
  } cases[] = {
      {"LibreOffice's Latin text", "{\\rtf1\\ansi\\ansicpg1252 caf\\u233\\'e9 \\u8364\\'80 na\\u239\\'efve \\u20320\\'3f}",
       "caf? ? na?ve ?", U"café € naïve 你", {"caf\\u233? \\u8364? na\\u239?ve \\u20320?"}},
      {"Korean, signed and unsigned", "{\\rtf1 \\u50504\\'3f\\u-10916?}", "??", U"안한", {"\\u-15032?\\u-10916?"}},
      {"an emoji as Word pairs it", "{\\rtf1 a\\u-10179?\\u-8704?b}", "a?b", U"a😀b", {"a\\u-10179?\\u-8704?b"}},
      {"an emoji as LibreOffice pairs it", "{\\rtf1 \\uc0 \\u55357\\uc1 \\u56960\\'3f!}", "?!", U"🚀!", {"\\u-10179?\\u-8576?!"}},
      {"code page 1252 bytes", "{\\rtf1\\ansi\\ansicpg1252 Stra\\'dfe \\'fc\\'95}", "Stra?e ??", U"Straße ü•", {"Stra\\u223?e \\u252?\\u8226?"}},
      {"a bullet word", "{\\rtf1 {\\listtext\\bullet\\tab}x}", "?\tx", U"•\tx", {"\\u8226?\\tab x"}},
      {"shown as their nearest CP932", "{\\rtf1 \\u165?1\\emdash}", "\\1\x81\x5C", U"¥1—", {"\\u165?1\\u8212?"}},
      {"what CP932 has", "{\\rtf1 \\u26085?\\u12354?\\u8213?}", "\x93\xFA\x82\xA0\x81\x5C", U"日あ―", {"\\'93\\'fa\\'82\\'a0\\'81\\'5c"}},
      {"Cyrillic bytes were read as code page 1252", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset204 F;}}\\f1 \\'cf\\'f0\\'e8}", "\x84\x50\x84\x82\x84\x79", U"При", {}},
      {"Greek bytes", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset161 F;}}\\f1 \\'e1\\'e2\\'e3}", "\x83\xBF\x83\xC0\x83\xC1", U"αβγ", {}},
      {"simplified Chinese pairs", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset134 F;}}\\f1 \\'c4\\'e3\\'ba\\'c3}", "?\x8D\x44", U"你好", {}},
      {"traditional Chinese pairs", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset136 F;}}\\f1 \\'a4\\'a4\\'a4\\'e5}", "\x92\x86\x95\xB6", U"中文", {}},
      {"a Korean pair", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset129 F;}}\\f1 \\'c7\\'d1}", "?", U"한", {}},
      {"Central European bytes", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f1\\fcharset238 F;}}\\f1 \\'b9\\'e8}", "??", U"ąč", {}},
  };
  for (const Case& c : cases) {
    RichEdit e;
    ASSERT_TRUE(e.StreamInRtf(c.rtf, false)) << c.name;
    EXPECT_EQ(e.Text(), c.text) << c.name;
    EXPECT_EQ(Codes(e), c.codes) << c.name;
    const std::string out = e.StreamOutRtf(false);
    for (const std::string& w : c.written) EXPECT_NE(out.find(w), std::string::npos) << c.name << ": " << w << "\n" << out;
    RichEdit back;
    back.StreamInRtf(out, false);
    EXPECT_EQ(back.Text(), c.text) << c.name;
    EXPECT_EQ(Codes(back), c.codes) << c.name;
  }

  // The kept characters move with edits, go with the text they are in, and come back
  // with undo; a region streamed out and in carries them.
  RichEdit e;
  e.StreamInRtf("{\\rtf1 caf\\u233? \\u-10179?\\u-8704? na\\u239?ve}", false);
  e.ExSetSel(0, 0);
  e.ReplaceSel("\x93\xFA:");
  EXPECT_EQ(Codes(e), U"日:café 😀 naïve");
  e.ExSetSel(2, 6);
  e.ReplaceSel("x");
  EXPECT_EQ(Codes(e), U"日:x 😀 naïve");
  ASSERT_TRUE(e.Undo());
  EXPECT_EQ(Codes(e), U"日:café 😀 naïve");
  Clipboard clip;
  e.ExSetSel(7, 14);
  e.Copy(clip);
  e.ExSetSel(0, 0);
  e.Paste(clip);
  EXPECT_EQ(Codes(e), U"😀 naïve日:café 😀 naïve");
  EXPECT_EQ(e.Text(), "? na?ve\x93\xFA:caf? ? na?ve");
}

// The same runs in six Windows code pages read as LibreOffice reads them.
TEST(Rtf, FontCodePagesAreReadAsLibreOfficeReadsThem) {
  SKIP_WITHOUT_PROGRAM("soffice");
  testenv::TempDir dir;
  std::string rtf = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl";
  const int charsets[] = {204, 161, 134, 136, 129, 238};
  for (int f : charsets) rtf += "{\\f" + std::to_string(f) + "\\fcharset" + std::to_string(f) + " Arial;}";
  rtf += "}";
  const char* runs[] = {"\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2", "\\'e1\\'e2\\'e3 \\'d3",  "\\'c4\\'e3\\'ba\\'c3\\'a3\\'ac",
                        "\\'a4\\'a4\\'a4\\'e5",           "\\'c7\\'d1\\'b1\\'b9", "\\'b9\\'e8\\'9e"};
  for (size_t i = 0; i < std::size(runs); ++i) rtf += "{\\f" + std::to_string(charsets[i]) + " " + runs[i] + "} ";
  rtf += "}";
  testenv::WriteHostFile(dir.HostPath("pages.rtf"), rtf);
  std::string theirs = testenv::LibreOfficeConvert(dir, dir.HostPath("pages.rtf"), "txt:Text (encoded):UTF8", "txt");
  if (theirs.rfind("\xEF\xBB\xBF", 0) == 0) theirs.erase(0, 3);
  while (!theirs.empty() && (theirs.back() == '\n' || theirs.back() == '\r')) theirs.pop_back();
  ASSERT_FALSE(theirs.empty());
  RichEdit e;
  ASSERT_TRUE(e.StreamInRtf(rtf, false));
  std::u16string units;
  for (char32_t u : Codes(e)) units += static_cast<char16_t>(u);
  std::string ours;
  for (char16_t u : units) {
    if (u < 0x80) ours += static_cast<char>(u);
    else if (u < 0x800) ours += {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
    else ours += {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)), static_cast<char>(0x80 | (u & 0x3F))};
  }
  while (!ours.empty() && (ours.back() == '\r' || ours.back() == ' ')) ours.pop_back();
  while (!theirs.empty() && theirs.back() == ' ') theirs.pop_back();
  EXPECT_EQ(ours, theirs);
}

}  // namespace
