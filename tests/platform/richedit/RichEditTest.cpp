// The rich-edit layer: one position per character, paragraphs on CR, selection ends,
// the format an insertion takes, mixed selections, geometry at 96 DPI, undo groups
// and the clipboard.
#include <gtest/gtest.h>

#include "platform/richedit/RichEdit.h"

namespace {

using namespace plat;

const std::string kA = "\x82\xA0";  // あ
const std::string kI = "\x82\xA2";  // い

CharFormat2 Bold() {
  CharFormat2 cf;
  cf.dwMask = CFM_BOLD;
  cf.dwEffects = CFE_BOLD;
  return cf;
}

TEST(RichEdit, OnePositionPerCharacterAndOneCrPerParagraph) {
  RichEdit e;
  e.SetText("a" + kA + "\r\nb\nc\x83\x5C");
  EXPECT_EQ(e.Text(), "a" + kA + "\rb\rc\x83\x5C");
  EXPECT_EQ(e.GetTextLength(), 7);  // a あ CR b CR c ソ
  EXPECT_EQ(e.GetLineCount(), 3);
  const struct {
    int line, index, length;
    std::string text;
  } lines[] = {{0, 0, 2, "a" + kA + "\r"}, {1, 3, 1, "b\r"}, {2, 5, 2, "c\x83\x5C"}};
  for (const auto& l : lines) {
    EXPECT_EQ(e.LineIndex(l.line), l.index);
    EXPECT_EQ(e.LineLength(l.index), l.length);
    EXPECT_EQ(e.GetLine(l.line), l.text);
    EXPECT_EQ(e.ExLineFromChar(l.index), l.line);
  }
  EXPECT_EQ(e.LineIndex(3), -1);
  EXPECT_EQ(e.ByteFromChar(2), 3);
  EXPECT_EQ(e.CharFromByte(2), 1);  // inside あ
  EXPECT_EQ(e.GetTextRange(1, 4), kA + "\rb");
  e.ExSetSel(6, 6);
  EXPECT_EQ(e.LineIndex(-1), 5);  // the caret's line
  EXPECT_EQ(e.LineLength(-1), 2);
}

// EM_LINELENGTH with -1 counts the unselected characters of the lines the selection
// touches: before it on its first line, after it on the line of its last character.
TEST(RichEdit, LineLengthMinusOneCountsUnselectedCharacters) {
  RichEdit e;
  e.SetText("0123456789\rabcdefghijkl\rxy");  // lines at 0, 11 and 24
  const struct {
    int from, to, expected;
  } cases[] = {
      {3, 16, 10},  // from the fourth character through the eighth from the end: 3 + 7
      {13, 13, 12}, // a caret: its whole line
      {1, 4, 7},    // inside one line: 1 before, 6 after
      {2, 11, 2},   // the selection takes the first line's CR: nothing after it
      {0, -1, 0},   // everything
      {25, 26, 1},  // the last line without a CR
  };
  for (const auto& c : cases) {
    e.ExSetSel(c.from, c.to);
    EXPECT_EQ(e.LineLength(-1), c.expected) << c.from << ".." << c.to;
  }
}

TEST(RichEdit, SelectionEndsAreClampedAndMinusOneSelectsAll) {
  RichEdit e;
  e.SetText("abcdef");
  const struct {
    int a, b, min, max;
  } cases[] = {{0, -1, 0, 6}, {4, 2, 2, 4}, {3, 99, 3, 6}, {-1, 2, 2, 2}, {-1, -1, 6, 6}, {-5, 0, 0, 0}};
  for (const auto& c : cases) {
    e.ExSetSel(c.a, c.b);
    int min = 0, max = 0;
    e.ExGetSel(min, max);
    EXPECT_EQ(min, c.min) << c.a << "," << c.b;
    EXPECT_EQ(max, c.max) << c.a << "," << c.b;
  }
}

TEST(RichEdit, InsertedTextTakesTheFormatOfTheReplacedOrPrecedingCharacter) {
  RichEdit e;
  e.SetText("abcd");
  e.ExSetSel(1, 2);
  e.SetCharFormat(Bold(), true);
  e.ExSetSel(1, 3);  // b (bold) and c: replaced, the new text is bold
  e.ReplaceSel("XY");
  EXPECT_EQ(e.Text(), "aXYd");
  EXPECT_TRUE(e.FormatAt(1).dwEffects & CFE_BOLD);
  EXPECT_TRUE(e.FormatAt(2).dwEffects & CFE_BOLD);
  e.ExSetSel(3, 3);  // after Y (bold)
  e.ReplaceSel("z\r\nw");
  EXPECT_EQ(e.Text(), "aXYz\rwd");
  EXPECT_TRUE(e.FormatAt(3).dwEffects & CFE_BOLD);
  e.ExSetSel(0, 0);  // nothing before: the first character's format
  e.ReplaceSel("q");
  EXPECT_FALSE(e.FormatAt(0).dwEffects & CFE_BOLD);
  // An empty selection's format applies to what is typed there next.
  e.ExSetSel(1, 1);
  e.SetCharFormat(Bold(), true);
  e.ReplaceSel("B");
  EXPECT_TRUE(e.FormatAt(1).dwEffects & CFE_BOLD);
}

TEST(RichEdit, AMixedSelectionClearsTheMaskBitsThatDiffer) {
  RichEdit e;
  e.SetText("abcd");
  e.ExSetSel(0, 2);
  e.SetCharFormat(Bold(), true);
  CharFormat2 red;
  red.dwMask = CFM_COLOR | CFM_SIZE;
  red.dwEffects = 0;
  red.crTextColor = RGB(255, 0, 0);
  red.yHeight = 300;
  e.ExSetSel(0, 4);
  e.SetCharFormat(red, true);
  const CharFormat2 got = e.GetCharFormat(true);
  EXPECT_FALSE(got.dwMask & CFM_BOLD);
  EXPECT_TRUE(got.dwMask & CFM_COLOR);
  EXPECT_TRUE(got.dwMask & CFM_SIZE);
  EXPECT_TRUE(got.dwMask & CFM_FACE);
  EXPECT_EQ(got.crTextColor, RGB(255, 0, 0));
  EXPECT_EQ(got.yHeight, 300);
}

TEST(RichEdit, ParagraphFormatsSitOnTheCrAndTabsAreSortedAndBounded) {
  RichEdit e;
  e.SetText("one\rtwo\rthree");
  ParaFormat2 pf;
  pf.dwMask = PFM_TABSTOPS | PFM_LINESPACING;
  pf.cTabCount = 40;  // more than the control holds
  for (int i = 0; i < kMaxTabStops; ++i) pf.rgxTabs[static_cast<size_t>(i)] = 3000 - i * 50;
  pf.bLineSpacingRule = kSpacingExact;
  pf.dyLineSpacing = 20;
  e.ExSetSel(4, 5);
  e.SetParaFormat(pf);
  const ParaFormat2& two = e.ParaOfLine(1);
  EXPECT_EQ(two.cTabCount, kMaxTabStops);
  EXPECT_TRUE(std::is_sorted(two.rgxTabs.begin(), two.rgxTabs.end()));
  EXPECT_EQ(e.ParaOfLine(0).cTabCount, 0);
  // Deleting "one"'s CR joins the lines; the joined line keeps the CR that remains: two's.
  e.ExSetSel(3, 4);
  e.ReplaceSel("");
  EXPECT_EQ(e.GetLineCount(), 2);
  EXPECT_EQ(e.ParaOfLine(0).bLineSpacingRule, kSpacingExact);
  EXPECT_EQ(e.ParaOfLine(1).bLineSpacingRule, kSpacingSingle);
}

TEST(RichEdit, PositionsAt96DpiWithTabsAndSpacingRules) {
  RichEdit e;
  e.SetText("ab" + kA + "\tx\rsecond");
  CharFormat2 size;
  size.dwMask = CFM_SIZE;
  size.yHeight = 300;  // 15 points: 150 twips for a single byte, 300 for a double byte
  e.SetCharFormat(size, false, true);
  ParaFormat2 pf;
  pf.dwMask = PFM_TABSTOPS;
  pf.cTabCount = 1;
  pf.rgxTabs[0] = 1500;
  e.ExSetSel(0, 0);
  e.SetParaFormat(pf);
  EXPECT_EQ(e.PosFromChar(1).x, 10);   // 150 twips
  EXPECT_EQ(e.PosFromChar(3).x, 40);   // 150 + 150 + 300 = 600 twips
  EXPECT_EQ(e.PosFromChar(4).x, 100);  // the tab stop at 1500
  EXPECT_EQ(e.PosFromChar(6).y, 24);   // second line: 6/5 x 300 = 360 twips
  EXPECT_EQ(e.CharFromPos({41, 0}), 3);
  EXPECT_EQ(e.CharFromPos({200, 0}), 5);  // past the end: the line's end
  EXPECT_EQ(e.CharFromPos({1, 30}), 6);
  struct Rule {
    uint8_t rule;
    int dy, height;
  } rules[] = {{kSpacingSingle, 0, 360}, {kSpacingOneHalf, 0, 540}, {kSpacingDouble, 0, 720},
               {kSpacingAtLeast, 100, 360}, {kSpacingAtLeast, 500, 500}, {kSpacingExact, 20, 20}};
  for (const Rule& r : rules) {
    ParaFormat2 s;
    s.dwMask = PFM_LINESPACING;
    s.bLineSpacingRule = r.rule;
    s.dyLineSpacing = r.dy;
    e.ExSetSel(0, 0);
    e.SetParaFormat(s);
    EXPECT_EQ(e.LineHeightTwips(0), r.height) << int(r.rule) << " " << r.dy;
  }
  // A later tab without stops left goes to the next multiple of 720 twips.
  e.SetText("\t\tx");
  EXPECT_EQ(e.PosFromChar(1).x, 48);
  EXPECT_EQ(e.PosFromChar(2).x, 96);
}

TEST(RichEdit, UndoTakesBackOneGroupAndAStreamInResetsIt) {
  RichEdit e;
  e.SetText("abc");
  EXPECT_FALSE(e.GetModify());
  e.BeginUndoGroup();
  e.ExSetSel(0, 1);
  e.ReplaceSel("X");
  e.ExSetSel(2, 3);
  e.ReplaceSel("Y");
  e.EndUndoGroup();
  e.ExSetSel(3, 3);
  e.ReplaceSel("!");
  EXPECT_EQ(e.Text(), "XbY!");
  EXPECT_TRUE(e.GetModify());
  ASSERT_TRUE(e.Undo());
  EXPECT_EQ(e.Text(), "XbY");
  ASSERT_TRUE(e.Undo());
  EXPECT_EQ(e.Text(), "abc");
  EXPECT_FALSE(e.Undo());
  e.ReplaceSel("q");
  e.StreamInRtf("{\\rtf1 new}", false);
  EXPECT_EQ(e.Text(), "new");
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.GetModify());
  // An edit that changed nothing (Delete at the end, a format already there) is no step.
  e.ExSetSel(3, 3);
  EXPECT_TRUE(e.ReplaceSel(""));
  e.ExSetSel(0, 3);
  e.SetCharFormat(e.GetCharFormat(true), true);
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.GetModify());
  // A held range refuses what touches it, saying so, and moves with edits before it.
  int refused = 0, a = 0, b = 0;
  e.HoldRange(1, 2, [&refused] { ++refused; });
  e.ExSetSel(0, 0);
  EXPECT_TRUE(e.ReplaceSel("zz"));
  e.ExSetSel(3, 4);
  EXPECT_FALSE(e.ReplaceSel("Y"));
  e.SetParaFormat(ParaFormat2{});
  EXPECT_TRUE(e.GetHeldRange(a, b));
  EXPECT_EQ(std::make_pair(a, b), std::make_pair(3, 4));
  EXPECT_EQ(e.Text(), "zznew");
  EXPECT_EQ(refused, 2);
  ASSERT_TRUE(e.Undo());
  EXPECT_TRUE(e.GetHeldRange(a, b));
  EXPECT_EQ(std::make_pair(a, b), std::make_pair(1, 2));
  // A group that the hold refused in part is taken back whole.
  e.BeginUndoGroup();
  e.ExSetSel(0, 0);
  e.ReplaceSel("q");
  e.ExSetSel(2, 3);
  e.ReplaceSel("Y");
  e.EndUndoGroup();
  EXPECT_EQ(e.Text(), "new");
  EXPECT_EQ(refused, 3);
}

TEST(RichEdit, ClipboardCarriesTextAndRtf) {
  RichEdit e;
  Clipboard clip;
  e.SetText("ab\rcd");
  e.ExSetSel(1, 4);
  e.SetCharFormat(Bold(), true);
  e.Copy(clip);
  EXPECT_EQ(clip.GetData(CF_TEXT), "b\r\nc");
  EXPECT_NE(clip.GetData(CF_RTF).find("\\b\\i0"), std::string::npos);
  e.Cut(clip);
  EXPECT_EQ(e.Text(), "ad");
  e.ExSetSel(2, 2);
  e.Paste(clip);
  EXPECT_EQ(e.Text(), "adb\rc");
  EXPECT_TRUE(e.FormatAt(2).dwEffects & CFE_BOLD);
  EXPECT_EQ(e.GetLineCount(), 2);
  Clipboard textOnly;
  textOnly.SetData(CF_TEXT, "1\r\n2");
  e.Paste(textOnly);
  EXPECT_EQ(e.Text(), "adb\rc1\r2");
}

// A packed DIB alone on the clipboard is pasted as one static picture object whose
// RTF carries the picture; the object survives a copy and paste through RTF, and a
// header that cannot be read pastes nothing.
TEST(RichEdit, PastedDibBecomesAPictureObject) {
  std::string dib(40, '\0');
  const uint8_t header[] = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  dib.replace(0, sizeof header, reinterpret_cast<const char*>(header), sizeof header);
  dib += std::string("\x01\x02\x03\xFA\xFB\xFC\x00\x00", 8);  // two pixels, one padded row
  RichEdit e;
  e.SetText("ab");
  e.ExSetSel(1, 1);
  Clipboard clip;
  clip.SetData(CF_DIB, dib);
  e.Paste(clip);
  EXPECT_EQ(e.Text(), std::string("a") + kObjectChar + "b");
  e.ExSetSel(1, 2);
  const std::string* object = e.SelectedObject();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(ObjectClassOf(*object), "StaticDib");
  EXPECT_NE(object->find("\\pict\\dibitmap0\\picw2\\pich1\\picwgoal30\\pichgoal15 28000000020000000100000001001800"),
            std::string::npos)
      << *object;
  EXPECT_NE(object->find("010203fafbfc0000}}}"), std::string::npos);
  EXPECT_TRUE(e.SetSelectedObject("{\\object\\objemb{\\*\\objclass PBrush}}"));
  EXPECT_EQ(ObjectClassOf(*e.SelectedObject()), "PBrush");
  e.ExSetSel(0, 2);
  EXPECT_EQ(e.SelectedObject(), nullptr) << "only a selection of the object alone";
  Clipboard copied;
  e.Copy(copied);
  e.ExSetSel(3, 3);
  e.Paste(copied);
  EXPECT_EQ(e.Text(), std::string("a") + kObjectChar + "b" + "a" + kObjectChar);
  Clipboard broken;
  broken.SetData(CF_DIB, dib.substr(0, 10));
  e.Paste(broken);
  EXPECT_EQ(e.GetTextLength(), 5);
}

// The picture an object shows is the packed DIB it was made from, also after the
// object's RTF went through the clipboard; an object without one shows nothing.
TEST(RichEdit, ObjectAtGivesThePictureItWasMadeFrom) {
  std::string dib(40, '\0');
  const uint8_t header[] = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  dib.replace(0, sizeof header, reinterpret_cast<const char*>(header), sizeof header);
  dib += std::string("\x01\x02\x03\xFA\xFB\xFC\x00\x00", 8);
  RichEdit e;
  e.SetText("xy");
  Clipboard clip;
  clip.SetData(CF_DIB, dib);
  e.Paste(clip);
  ASSERT_NE(e.ObjectAt(0), nullptr);
  EXPECT_EQ(e.ObjectAt(1), nullptr);
  EXPECT_EQ(e.ObjectAt(99), nullptr);
  EXPECT_EQ(PictureObjectDib(*e.ObjectAt(0)), dib);
  e.ExSetSel(0, 1);
  Clipboard copied;
  e.Copy(copied);
  RichEdit other;
  other.Paste(copied);
  ASSERT_NE(other.ObjectAt(0), nullptr);
  EXPECT_EQ(PictureObjectDib(*other.ObjectAt(0)), dib);
  EXPECT_EQ(PictureObjectDib("{\\object\\objemb{\\*\\objclass PBrush}}"), "");
  EXPECT_EQ(PictureObjectDib("{\\pict\\dibitmap0\\picw2 2800"), std::string("\x28\x00", 2));
}

}  // namespace
