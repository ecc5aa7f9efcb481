// The text pane: lines and positions over Shift-JIS text, keys and mouse, the
// update requests and one-shot actions, and the text services other subsystems use.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "app/StringTable.h"
#include "image/saving/ImageSaveFormats.h"
#include "platform/ui/Keys.h"
#include "support/TestEnv.h"
#include "view/PlainTextModel.h"
#include "view/QelView.h"

namespace {

const std::string kA = "\x82\xA0";  // あ
const std::string kI = "\x82\xA2";  // い

TEST(PlainTextModel, LinesEndAtEveryLineEndAndNeverInsideACharacter) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\r\n", {"a", ""}},
      {"", {""}},
      {kA + "\n" + kI, {kA, kI}},
      {"\x82\nX", {"\x82", "X"}},     // a stray lead byte does not swallow the line end
      {"x\x82", {"x\x82"}},           // nor run past the text
      {"\x83\x5C\n", {"\x83\x5C", ""}},  // a trail byte 0x5C is no separator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    PlainTextModel m;
    m.SetText(c.text);
    ASSERT_EQ(m.GetLineCount(), static_cast<int>(c.lines.size()));
    for (int i = 0; i < m.GetLineCount(); ++i) {
      EXPECT_EQ(c.text.substr(m.LineIndex(i), m.LineLength(i)), c.lines[i]);
      EXPECT_EQ(m.LineFromChar(m.LineIndex(i)), i);
    }
    EXPECT_EQ(m.LineIndex(m.GetLineCount()), -1);
  }
  PlainTextModel m;
  m.SetText("x" + kA + kI);
  m.SetSel(2, 4);  // inside あ, inside い
  int a = 0, b = 0;
  m.GetSel(a, b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 3);
  m.SetSel(0, 99);
  EXPECT_EQ(m.GetSelText(), "x" + kA + kI);
}

TEST(StepSjisLeadState, LeadRangesOfThePane) {
  const struct {
    int state;
    unsigned char byte;
    int next;
  } cases[] = {{0, 0x41, 0}, {0, 0x80, 1}, {0, 0x9F, 1}, {0, 0xA0, 0}, {0, 0xDF, 0}, {0, 0xE0, 1}, {0, 0xEF, 1},
               {0, 0xF0, 0}, {0, 0xF9, 0}, {0, 0xFA, 1}, {0, 0xFC, 1}, {0, 0xFD, 0}, {1, 0x82, 0}, {1, 0x0D, 0}};
  for (const auto& c : cases) EXPECT_EQ(StepSjisLeadState(c.state, c.byte), c.next) << int(c.byte);
}

class QelViewTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};
  void Show(const std::string& text) {
    doc_->LoadDocument(WriteFile("t.txt", text));
  }
  std::pair<int, int> Sel() const { return {view_.Pane().m_nSelStart, view_.Pane().m_nSelEnd}; }
};

TEST_F(QelViewTest, CopyLineIsBoundedAndKeepsCharactersWhole) {
  Show("a" + kA + "b\r\n\r\nlast");
  char buf[16];
  struct Case {
    int line, cap, len;
    std::string text;
  };
  const Case cases[] = {
      {0, 8, 4, "a" + kA + "b"}, {0, 4, 3, "a" + kA}, {0, 3, 1, "a"},  // あ does not fit whole
      {0, 1, 0, ""},             {1, 8, 0, ""},       {2, 8, 4, "last"}, {2, 3, 2, "la"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << " cap " << c.cap);
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(view_.CopyLine(c.line, buf, c.cap), c.len);
    EXPECT_EQ(std::string(buf), c.text);
    EXPECT_EQ(buf[c.cap], 'Z');  // nothing past the buffer it was given
  }
  EXPECT_EQ(view_.CopyLine(3, buf, 8), -1);
  EXPECT_EQ(view_.GetLineEnd(0), 4);
  EXPECT_EQ(view_.GetLineEnd(2), 12);
  EXPECT_EQ(view_.GetLineEnd(3), -1);
}

TEST_F(QelViewTest, KeysMoveByCharactersAndEdit) {
  Show("a" + kA + "\r\nxy");
  struct Step {
    int key;
    std::pair<int, int> sel;
  };
  const Step steps[] = {
      {plat::VK_RIGHT, {1, 1}},
      {plat::VK_RIGHT, {3, 3}},                    // over あ
      {plat::VK_RIGHT, {5, 5}},                    // over CR LF
      {plat::VK_LEFT | plat::KEY_SHIFT, {3, 5}},   // extends back over the line end
      {plat::VK_DOWN, {7, 7}},                     // column 3 of a line of 2
      {plat::VK_UP, {1, 1}},                       // column 2 falls inside あ: its start
      {plat::VK_END | plat::KEY_SHIFT, {1, 3}},
      {plat::VK_HOME | plat::KEY_SHIFT, {0, 1}},
      {plat::VK_END | plat::KEY_CTRL, {7, 7}},
      {'A' | plat::KEY_CTRL, {0, 7}},
  };
  for (const Step& s : steps) {
    view_.OnKeyDown(s.key);
    EXPECT_EQ(Sel(), s.sel) << std::hex << s.key;
  }
  EXPECT_TRUE(view_.HasSelection());
  view_.OnKeyDown(plat::VK_RIGHT);
  view_.OnKeyDown(plat::VK_UP);
  view_.OnKeyDown(plat::VK_END);
  view_.OnKeyDown(plat::VK_BACK);  // deletes あ whole
  view_.OnChar('q');
  view_.OnKeyDown(plat::VK_RETURN);
  view_.OnKeyDown(plat::VK_TAB);
  view_.OnKeyDown(plat::VK_TAB | plat::KEY_SHIFT);
  EXPECT_EQ(view_.Text().GetText(), "aq\r\n\t\r\nxy");
  EXPECT_FALSE(view_.HasSelection());
}

TEST_F(QelViewTest, ClicksAndDragsSelectByCells) {
  Show("line zero\r\n" + kA + kI + "cd\r\nline two");
  view_.OnLButtonDown(plat::MK_LBUTTON, {3 * CQelView::kCharWidth, 0});
  view_.OnLButtonUp(0, {3 * CQelView::kCharWidth, 0});
  EXPECT_EQ(Sel(), std::make_pair(3, 3));
  // Column 1 is the second half of あ: the position is its start.
  view_.OnLButtonDown(plat::MK_LBUTTON, {1 * CQelView::kCharWidth + 2, CQelView::kLineHeight + 5});
  view_.OnMouseMove(plat::MK_LBUTTON, {5 * CQelView::kCharWidth, 2 * CQelView::kLineHeight});
  view_.OnLButtonUp(0, {99 * CQelView::kCharWidth, 2 * CQelView::kLineHeight});
  EXPECT_EQ(view_.Text().GetSelText(), kA + kI + "cd\r\nline two");
  view_.OnVScroll(plat::SB_LINEDOWN, 0);
  EXPECT_EQ(view_.CharFromPoint({0, 0}), 11);  // the first line shown is line 1
  view_.OnVScroll(plat::SB_THUMBPOSITION, 99);
  EXPECT_EQ(view_.Text().GetScrollPos().line, 2);  // kept inside the text
}

// A click finds the character where the pane paints it: a Tab runs on to its stop
// (six cells), the second half of a double-byte character is that character.
TEST_F(QelViewTest, ClicksFindCharactersOnTheirPaintedCells) {
  Show("a\tb" + kA + "\r\n\t\tc");
  const std::pair<int, int> line0[] = {{0, 0}, {1, 1}, {5, 1}, {6, 2}, {7, 3}, {8, 3}, {9, 5}, {40, 5}};
  const std::pair<int, int> line1[] = {{0, 7}, {11, 8}, {12, 9}};
  for (const auto& [cell, pos] : line0) EXPECT_EQ(view_.CharFromPoint({cell * CQelView::kCharWidth, 0}), pos) << cell;
  for (const auto& [cell, pos] : line1) {
    EXPECT_EQ(view_.CharFromPoint({cell * CQelView::kCharWidth + 7, CQelView::kLineHeight}), pos) << cell;
  }
}

TEST_F(QelViewTest, UpdatesActOnTheirPaneAndResetOneShotActions) {
  CQelView second(*doc_, 2);
  Show("first");
  doc_->m_pText[0] = 'F';
  doc_->m_nViewRequest = {ViewRequest::kRedisplay, 2};  // for pane 2 only
  EXPECT_TRUE(doc_->PostViewAction({ViewActionKind::kSaveAsked, ImageSaveCode::kJpegStandard}));
  EXPECT_EQ(view_.Text().GetText(), "first");
  EXPECT_EQ(second.Text().GetText(), "First");
  EXPECT_EQ(doc_->m_nViewAction, ViewAction{});  // performed once, by pane 2
  EXPECT_EQ(messages_.str(), "image save 7 dropped: no picture is shown\n");
  view_.OnFilePrintPreview();
  EXPECT_EQ(messages_.str(), "image save 7 dropped: no picture is shown\nnot built yet: printing (print mode 2)\n");
  EXPECT_EQ(view_.Pane().m_strFileName, doc_->m_strPathName);
}

TEST_F(QelViewTest, RefreshKeepingScrollHandsTheTextBackOrReportsMemory) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "row " + std::to_string(i) + "\r\n";
  Show(text);
  view_.OnVScroll(plat::SB_PAGEDOWN, 0);
  view_.OnKeyDown(plat::VK_END | plat::KEY_CTRL);
  view_.OnChar('!');
  const ScrollPos scroll = view_.Text().GetScrollPos();
  ASSERT_EQ(view_.RefreshKeepingScroll(0), 0);
  EXPECT_EQ(std::string(doc_->m_pText, doc_->m_nTextLen), text + "!");
  EXPECT_GE(doc_->m_nTextCap, doc_->m_nTextLen + 1000);
  EXPECT_EQ(view_.Text().GetScrollPos().line, scroll.line);

  view_.OnChar('?');
  const std::string before(doc_->m_pText, doc_->m_nTextLen);
  doc_->m_allocHook.FailAbove(0);
  for (int i = 0; i < 1200; ++i) view_.OnChar('x');  // beyond the spare room
  EXPECT_EQ(view_.RefreshKeepingScroll(0), -1);
  EXPECT_EQ(std::string(doc_->m_pText, doc_->m_nTextLen), before);
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_OUT_OF_MEMORY) + " 301");
}

TEST_F(QelViewTest, RealFileNameOfATemporaryCopy) {
  Show("x");
  EXPECT_EQ(view_.GetRealFileName(), doc_->m_strPathName);
  // The run's work folder, named in another case.
  std::string work = doc_->TmpFolder() + "\\Pelnor1.rtf";
  for (char& c : work) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  view_.Pane().m_strFileName = work;
  doc_->m_nActiveList = 2;
  doc_->m_strFileName2 = "\\data\\letter.rtf+";
  EXPECT_EQ(view_.GetRealFileName(), "\\data\\letter.rtf+");
  doc_->m_strFileName2.clear();
  EXPECT_EQ(view_.GetRealFileName(), view_.Pane().m_strFileName);
}

}  // namespace
