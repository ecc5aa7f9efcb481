// Picture-object mode: the rendered picture pasted into the rich-text control as an
// object, read back out of the object's RTF and compared with ImageMagick's reading
// of the file; the user's clipboard kept whole; tall pictures in bands; the
// conversion to a bitmap object; saves that leave the mode first.
#include <gtest/gtest.h>

#include <string>

#include "app/Globals.h"
#include "base/ByteCursor.h"
#include "image/ImageTestSupport.h"
#include "image/ShownPictureTest.h"
#include "image/ViewImageState.h"
#include "platform/os/Files.h"
#include "platform/ui/Keys.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class PictureObjectTest : public imagetest::ShownPictureTest {
 protected:
  // The picture inside the control's first object, written as a BMP file for the peer.
  std::string ObjectPictureFile(const std::string& name) {
    plat::RichEdit* rich = view_->Rich();
    if (!rich || rich->Text().empty() || rich->Text()[0] != plat::kObjectChar) return "";
    rich->ExSetSel(0, 1);
    const std::string* object = rich->SelectedObject();
    if (!object) return "";
    const size_t pict = object->find("\\dibitmap0");
    const size_t start = object->find(' ', pict) + 1;
    const size_t end = object->find('}', start);
    std::string packed;
    for (size_t i = start; i + 1 < end; i += 2) packed += static_cast<char>(std::stoi(object->substr(i, 2), nullptr, 16));
    const uint32_t colors = ByteCursor(packed).PeekU32LE(32);
    const uint32_t offset = 14 + 40 + 4 * colors, size = static_cast<uint32_t>(14 + packed.size());
    std::string file = "BM";
    for (uint32_t v : {size, 0u, offset}) {
      for (int b = 0; b < 4; ++b) file += static_cast<char>(v >> (8 * b) & 255);
    }
    testenv::WriteHostFile(dir_.HostPath(name), file + packed);
    return dir_.HostPath(name);
  }
};

TEST_F(PictureObjectTest, TextViewOnlyKeepsTheMode) {
  doc_->LoadDocument(WriteFile("a.txt", "text\r\n"));
  const std::string text = view_->Text().GetText();
  EXPECT_EQ(view_->OnPictureObjectMode(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 4);
  EXPECT_EQ(view_->Text().GetText(), text);
  EXPECT_EQ(view_->OnPictureObjectMode(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 0);
}

// The object holds the rendered picture; the switch's click selects it; the user's
// clipboard (a text and a picture, in that order) is there afterwards unchanged.
TEST_F(PictureObjectTest, ImageBecomesASelectedObjectAndTheClipboardIsKept) {
  Open("rose.bmp", "rose: BMP3:");
  plat::Clipboard& clip = frame_->Ui().GetClipboard();
  clip.SetData(plat::CF_TEXT, "user text");
  clip.SetData(plat::CF_DIB, "user picture");
  const auto before = clip.Formats();
  EXPECT_EQ(view_->OnPictureObjectMode(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 1);
  EXPECT_EQ(clip.Formats(), before);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  ASSERT_NE(view_->Rich(), nullptr);
  int start = -1, end = -1;
  view_->Rich()->ExGetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 1) << "the click at (16, 16) selected the object";
  const std::string bmp = ObjectPictureFile("object.bmp");
  ASSERT_FALSE(bmp.empty());
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(bmp), imagetest::PeerRgb(dir_.HostPath("rose.bmp"))), 0);
  // Off again: the painted picture is back.
  EXPECT_EQ(view_->OnPictureObjectMode(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 0);
  EXPECT_EQ(view_->Rich(), nullptr);
  EXPECT_TRUE(view_->SaveDisplayPng(Win("shown.png")));
}

TEST_F(PictureObjectTest, ConvertToBitmapFirstInsertsTheObject) {
  Open("rose.png", "rose: ");
  EXPECT_EQ(view_->OnConvertToBitmapObject(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 2);
  ASSERT_NE(view_->Rich()->SelectedObject(), nullptr);
  EXPECT_EQ(plat::ObjectClassOf(*view_->Rich()->SelectedObject()), "PBrush");
  // Once converted, the object is no static picture any more.
  EXPECT_EQ(view_->OnConvertToBitmapObject(), -1);
}

// The temporary save from picture-object mode writes the painted rendering.
TEST_F(PictureObjectTest, TemporarySaveLeavesTheModeAndSavesThePaintedPicture) {
  Open("pic.bmp", "rose: -flop BMP3:");
  view_->Image().m_ImageSettings.m_nZoomIndex = 6;
  view_->OnPictureObjectMode();
  ASSERT_EQ(view_->OnSaveImageTemp(), 0);
  EXPECT_EQ(view_->Image().m_nPictureObjectMode, 0);
  ASSERT_TRUE(plat::Exists(Win("pic_TMP.bmp")));
  ASSERT_TRUE(view_->SaveDisplayPng(Win("shown.png")));
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(dir_.HostPath("pic_TMP.bmp")),
                               imagetest::PeerRgb(dir_.HostPath("shown.png"))),
            0);
  EXPECT_EQ(Shell("identify -format '%wx%h' " + Quote(dir_.HostPath("pic_TMP.bmp"))), "140x92");
}

// A tall 8-bit picture goes into the control in bands of 3,800 rows; the band
// index past the end shows the last band.
TEST_F(PictureObjectTest, TallPictureInBands) {
  Open("tall.bmp", "-size 20x5000 gradient:white-black -type Palette -colors 200 -compress None BMP3:");
  view_->OnPictureObjectMode();
  ASSERT_EQ(view_->Image().m_nPaintBits, 8);
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(1 - 3800)lines of "), std::string::npos) << g_pStatusBar->GetPaneText(0);
  const std::string first = ObjectPictureFile("band1.bmp");
  Shell("convert " + Quote(dir_.HostPath("tall.bmp")) + " -crop 20x3800+0+0 +repage " + Quote(dir_.HostPath("want1.png")));
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(first), imagetest::PeerRgb(dir_.HostPath("want1.png"))), 0);
  view_->Image().m_nBandIndex = 7;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(3801 - 5000)lines of "), std::string::npos);
  const std::string second = ObjectPictureFile("band2.bmp");
  Shell("convert " + Quote(dir_.HostPath("tall.bmp")) + " -crop 20x1200+0+3800 +repage " +
        Quote(dir_.HostPath("want2.png")));
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(second), imagetest::PeerRgb(dir_.HostPath("want2.png"))), 0);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  // Above 8 bits a pixel the bands are 3,200 rows.
  view_->Image().m_nBandIndex = 0;
  Open("deep.bmp", "-size 20x3300 gradient:white-black -type TrueColor BMP3:");
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(1 - 3200)lines of "), std::string::npos) << g_pStatusBar->GetPaneText(0);
}

// The status named Ctrl+Up/Down for the other bands of a tall picture, but no key
// changed the band. Ctrl+Down and Ctrl+Up step through the object's bands and stop
// at both ends; Ctrl+PageDown steps the bands of a painted picture that the host
// would not make whole.
TEST_F(PictureObjectTest, BandsCouldNotBeMovedFault) {
  Open("tall.bmp", "-size 20x5000 gradient:white-black -type Palette -colors 200 -compress None BMP3:");
  view_->OnPictureObjectMode();
  const auto shows = [&](const char* rows) {
    return g_pStatusBar->GetPaneText(0).find(std::string("(") + rows + ")lines of ") != std::string::npos;
  };
  EXPECT_TRUE(shows("1 - 3800")) << g_pStatusBar->GetPaneText(0);
  for (const int key : {plat::VK_DOWN, plat::VK_DOWN}) {
    view_->OnKeyDown(plat::KEY_CTRL | key);
    EXPECT_TRUE(shows("3801 - 5000")) << g_pStatusBar->GetPaneText(0);
  }
  Shell("convert " + Quote(dir_.HostPath("tall.bmp")) + " -crop 20x1200+0+3800 +repage " + Quote(dir_.HostPath("want.png")));
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(ObjectPictureFile("band.bmp")), imagetest::PeerRgb(dir_.HostPath("want.png"))), 0);
  for (const int key : {plat::VK_UP, plat::VK_UP}) {
    view_->OnKeyDown(plat::KEY_CTRL | key);
    EXPECT_TRUE(shows("1 - 3800")) << g_pStatusBar->GetPaneText(0);
  }
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);

  view_->OnPictureObjectMode();
  ASSERT_EQ(view_->Image().m_nPictureObjectMode, 0);
  frame_->Ui().Gdi().SetPixelBudget(20 * 1900);
  Open("tall.bmp", "-size 20x5000 gradient:white-black -type TrueColor BMP3:");
  EXPECT_TRUE(shows("1 - 1600")) << g_pStatusBar->GetPaneText(0);
  view_->OnKeyDown(plat::KEY_CTRL | plat::VK_NEXT);
  EXPECT_TRUE(shows("1601 - 3200")) << g_pStatusBar->GetPaneText(0);
  EXPECT_EQ(view_->Image().m_nBandTop, 1600);
}

}  // namespace
