// Pictures embedded as paint objects in RTF, and the paste-back timer of the view.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/os/Files.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class BitmapObjectTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};

  // A BMP-like file of n bytes whose header size field says n.
  std::string Bmp(const std::string& name, int n) {
    std::string bytes(static_cast<size_t>(n), '\x11');
    bytes[0] = 'B';
    bytes[1] = 'M';
    bytes[2] = static_cast<char>(n & 0xFF);
    bytes[3] = static_cast<char>((n >> 8) & 0xFF);
    bytes[4] = static_cast<char>((n >> 16) & 0xFF);
    return WriteFile(name, bytes);
  }
};

TEST_F(BitmapObjectTest, AHundredByteBitmapMakesFourPaddedLines) {
  std::vector<char> rtf(4000, 'Z');
  int pos = 3;
  ASSERT_EQ(view_.InsertBitmapObjectRtf(Bmp("p.bmp", 100), rtf.data(), &pos, 4000, 40, 21), 0);
  const std::string out(rtf.data() + 3, static_cast<size_t>(pos - 3));
  EXPECT_TRUE(out.starts_with("\n{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw60\\objh31{\\*\\objdata\n01050000\n"
                              "02000000\n07000000\n50427275736800\n00000000\n00000000\n70000000\r\n424d6400"))
      << out;
  const size_t data = out.find("70000000\r\n") + 10;
  const std::string lines = out.substr(data, out.find("\r\n\r\n01050000") + 2 - data);
  size_t count = 0;
  for (size_t p = lines.find("\r\n"); p != std::string::npos; p = lines.find("\r\n", p + 1)) ++count;
  EXPECT_EQ(count, 4u);
  EXPECT_TRUE(lines.ends_with("111111" + std::string(24, '0') + "\r\n")) << lines;
  EXPECT_TRUE(out.ends_with("\r\n01050000\r\n00000000\r\n}}"));
  EXPECT_EQ(rtf[static_cast<size_t>(pos)], '\0');
}

TEST_F(BitmapObjectTest, PicturesAbove150000BytesAreRefused) {
  std::vector<char> rtf(400000);
  int pos = 0;
  EXPECT_EQ(view_.InsertBitmapObjectRtf(Bmp("a.bmp", 150000), rtf.data(), &pos, 400000, 10, 10), 0);
  pos = 0;
  EXPECT_EQ(view_.InsertBitmapObjectRtf(Bmp("b.bmp", 150001), rtf.data(), &pos, 400000, 10, 10), -1);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(view_.InsertBitmapObjectRtf(Win("missing.bmp"), rtf.data(), &pos, 400000, 10, 10), -1);
}

// The room check took the file's size against half the room left, not counting the
// line ends, the padding and the fixed parts: a picture near that size wrote past the
// buffer. The whole object's size is checked now.
TEST_F(BitmapObjectTest, TheRoomCheckCountsTheWholeObjectFault) {
  const int capacity = 2000 + 20;
  std::vector<char> rtf(static_cast<size_t>(capacity) + 16, 'G');
  int pos = 10;
  EXPECT_EQ(view_.InsertBitmapObjectRtf(Bmp("c.bmp", 1000), rtf.data(), &pos, capacity, 10, 10), -1);
  EXPECT_EQ(pos, 10);
  for (char c : rtf) ASSERT_EQ(c, 'G');
}

TEST_F(BitmapObjectTest, OtherPicturesAreConvertedFirst) {
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::Shell("convert -size 4x3 xc:red " + testenv::Quote(dir_.HostPath("red.png")));
  std::vector<char> rtf(100000);
  int pos = 0;
  ASSERT_EQ(view_.InsertBitmapObjectRtf(Win("red.png"), rtf.data(), &pos, 100000, 10, 10), 0);
  EXPECT_NE(std::string(rtf.data(), static_cast<size_t>(pos)).find("\r\n424d"), std::string::npos);
  EXPECT_FALSE(plat::Exists(doc_->TmpFolder() + "\\PelnorTMP01.bmp"));
  // The object reads back as one character of the control and is written back whole.
  plat::RichEdit edit;
  edit.StreamInRtf("{\\rtf1 a" + std::string(rtf.data(), static_cast<size_t>(pos)) + "b}", false);
  EXPECT_EQ(edit.GetTextLength(), 3);
  EXPECT_NE(edit.StreamOutRtf(false).find(std::string(rtf.data() + 1, static_cast<size_t>(pos - 1))), std::string::npos);
}

TEST_F(BitmapObjectTest, ThePasteBackTimerPutsTheTableWhereTheSelectionWas) {
  doc_->LoadDocument(WriteFile("doc_001.rtf", "{\\rtf1 before SELECTED after}"));
  // The piece the conversion made, held by the view; the clipboard holds something else by now.
  view_.Table().m_strPasteBackPiece = "{\\rtf1 {\\b TABLE}}";
  frame_->Ui().GetClipboard().SetData(plat::CF_RTF, "{\\rtf1 copied later}");
  view_.Table().m_nPasteBackStart = 7;
  view_.Table().m_nPasteBackEnd = 15;
  view_.Table().m_strPasteBackFile = Win("doc_001.rtf");
  doc_->m_nLockUpdateDepth = 1;
  frame_->Ui().BeginWaitCursor();
  view_.SetTimer(40, 100);
  frame_->Ui().Advance(100);
  EXPECT_EQ(view_.Text().GetText(), "before TABLE after");
  EXPECT_TRUE(view_.Rich()->FormatAt(7).dwEffects & plat::CFE_BOLD);
  EXPECT_FALSE(plat::Exists(Win("doc_001.rtf")));
  EXPECT_EQ(view_.Pane().m_strFileName, Win("doc.rtf"));
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  EXPECT_EQ(frame_->Ui().WaitCursorDepth(), 0);
  EXPECT_FALSE(frame_->Ui().HasTimer(&view_, 40));
}

}  // namespace
