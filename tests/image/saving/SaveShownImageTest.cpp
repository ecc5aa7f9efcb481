// Saving what the image view shows, read back by the peer tools: BMP and PNG equal
// to the rendering, PNG at 1, 4 and 8 bits valid for pngcheck and identify, JPEG
// within 36 dB, the PDF sound for qpdf with the shown picture inside. And the
// faults of the save roads, each named after what went wrong.
#include <gtest/gtest.h>

#include <string>

#include "app/Globals.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/ImageTestSupport.h"
#include "image/ShownPictureTest.h"
#include "image/ViewImageState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class SaveShownImageTest : public imagetest::ShownPictureTest {
 protected:
  void AnswerSaveDialog(const std::string& name) {
    frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", Win(name)}}});
  }
  // The rendering as ImageMagick reads it.
  imagetest::Rgb Shown() {
    EXPECT_TRUE(view_->SaveDisplayPng(Win("shown.png")));
    return imagetest::PeerRgb(dir_.HostPath("shown.png"));
  }
};

TEST_F(SaveShownImageTest, ZoomedViewSavesThePictureAsShown) {
  Open("rose.bmp", "rose: BMP3:");
  view_->Image().m_ImageSettings.m_nZoomIndex = 4;
  view_->Image().m_ImageSettings.m_bMirror = 1;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  const imagetest::Rgb shown = Shown();
  struct Case {
    ImageSaveCode code;
    const char* name;
    int maxDiff;
  };
  for (const Case c : {Case{ImageSaveCode::kBmp, "half.bmp", 0}, Case{ImageSaveCode::kPng, "half.png", 0},
                       Case{ImageSaveCode::kBmz, "half.bmz", -1}}) {
    AnswerSaveDialog(c.name);
    ASSERT_TRUE(view_->SaveImageAs(c.code, CQelView::SaveImageMode::kAsk).ok()) << c.name;
    if (c.maxDiff < 0) continue;
    const imagetest::Rgb saved = imagetest::PeerRgb(dir_.HostPath(c.name));
    EXPECT_EQ(saved.width, 35);
    EXPECT_EQ(saved.height, 23);
    EXPECT_EQ(imagetest::MaxDiff(saved, shown), 0) << c.name;
  }
  // The file list re-reads its folder after a save.
  EXPECT_EQ(doc_->m_nViewRequest, kRefreshLists);
}

TEST_F(SaveShownImageTest, PngAtOneFourAndEightBits) {
  SKIP_WITHOUT_PROGRAM("pngcheck");
  SKIP_WITHOUT_PROGRAM("identify");
  Open("rose.bmp", "rose: BMP3:");
  struct Case {
    ImageSaveCode code;
    const char* name;
    const char* depth;
  };
  for (const Case c : {Case{ImageSaveCode::kPng1, "b1.png", "1"}, Case{ImageSaveCode::kPng4, "b4.png", "4"},
                       Case{ImageSaveCode::kPng8, "b8.png", "8"}}) {
    AnswerSaveDialog(c.name);
    ASSERT_TRUE(view_->SaveImageAs(c.code, CQelView::SaveImageMode::kAsk).ok()) << c.name;
    int status = -1;
    Shell("pngcheck -q " + Quote(dir_.HostPath(c.name)), &status);
    EXPECT_EQ(status, 0) << c.name;
    EXPECT_EQ(Shell("identify -format '%[png:IHDR.bit-depth-orig] %[png:IHDR.color-type-orig] %wx%h' " +
                    Quote(dir_.HostPath(c.name))),
              std::string(c.depth) + " 3 70x46");
  }
}

TEST_F(SaveShownImageTest, FourBitPictureUnderAPngNameFromTheBmpCommandStaysFourBit) {
  SKIP_WITHOUT_PROGRAM("identify");
  Open("rose4.bmp", "rose: -colors 16 -type Palette BMP3:");
  ASSERT_EQ(view_->Image().m_nPaintBits, 4);
  AnswerSaveDialog("four.png");
  ASSERT_TRUE(view_->SaveImageAs(ImageSaveCode::kBmp, CQelView::SaveImageMode::kAsk).ok());
  EXPECT_EQ(Shell("identify -format '%[png:IHDR.bit-depth-orig] %[png:IHDR.color-type-orig]' " +
                  Quote(dir_.HostPath("four.png"))),
            "4 3");
}

TEST_F(SaveShownImageTest, JpegOfTheRenderingReadsBackWithin36Decibels) {
  SKIP_WITHOUT_PROGRAM("djpeg");
  Open("grad.bmp", "-size 64x48 gradient:orange-navy -type TrueColor BMP3:");
  view_->Image().m_ImageSettings.m_nRotation = 1;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  const imagetest::Rgb shown = Shown();
  for (const char* name : {"q.jpg", "q.jpeg"}) {
    AnswerSaveDialog(name);
    ASSERT_TRUE(view_->SaveImageAs(ImageSaveCode::kBmp, CQelView::SaveImageMode::kAsk).ok()) << name;
    const imagetest::Rgb back = imagetest::PeerPnm("djpeg " + Quote(dir_.HostPath(name)));
    EXPECT_EQ(back.width, 48);
    EXPECT_GE(imagetest::Psnr(back, shown), 36.0) << name;
  }
}

// The PDF of an edited view held the original JPEG: it holds what is shown.
TEST_F(SaveShownImageTest, PdfOfAnEditedViewHoldsWhatIsShownFault) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  SKIP_WITHOUT_PROGRAM("pdfimages");
  Open("rose.jpg", "rose: -quality 95 JPEG:");
  view_->Image().m_ImageSettings.m_nZoomIndex = 6;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  AnswerSaveDialog("shown.pdf");
  view_->OnSavePdf();
  int status = -1;
  Shell("qpdf --check " + Quote(dir_.HostPath("shown.pdf")) + " > /dev/null", &status);
  EXPECT_EQ(status, 0);
  const std::string list = Shell("pdfimages -list " + Quote(dir_.HostPath("shown.pdf")));
  EXPECT_NE(list.find(" 140    92 "), std::string::npos) << list;

  // Unchanged, the file itself goes in.
  ASSERT_EQ(doc_->LoadDocument(Win("rose.jpg")), 0);
  view_->Image().m_ImageSettings.m_nZoomIndex = 5;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  AnswerSaveDialog("same.pdf");
  view_->OnSavePdf();
  Shell("pdfimages -j " + Quote(dir_.HostPath("same.pdf")) + " " + Quote(dir_.HostPath("x")));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("x-000.jpg")), testenv::ReadHostFile(dir_.HostPath("rose.jpg")));
}

TEST_F(SaveShownImageTest, TemporarySaveBesideTheFile) {
  Open("pic_TMP.bmp", "rose: BMP3:");
  ASSERT_TRUE(view_->SaveImageAs(ImageSaveCode::kBmpTarget, CQelView::SaveImageMode::kTemporary).ok());
  EXPECT_TRUE(plat::Exists(Win("pic_TMP.bmp")));
  EXPECT_FALSE(plat::Exists(Win("pic_TMP_TMP.bmp")));
  Open("pic.bmp", "rose: BMP3:");
  ASSERT_TRUE(view_->SaveImageAs(ImageSaveCode::kBmpTarget, CQelView::SaveImageMode::kTemporary).ok());
  EXPECT_TRUE(plat::Exists(Win("pic_TMP.bmp")));
}

TEST_F(SaveShownImageTest, MarkedTargetsAreRefused) {
  Open("rose.bmp", "rose: BMP3:");
  AnswerSaveDialog("rose.+bmp");
  EXPECT_FALSE(view_->SaveImageAs(ImageSaveCode::kBmp, CQelView::SaveImageMode::kAsk).ok());
  EXPECT_FALSE(plat::Exists(Win("rose.+bmp")));
  EXPECT_NE(frame_->Ui().MessageLog().back().text.find("\x92\xBC\x90\xDA"), std::string::npos);  // 直接
}

// The document's BMP save (the source save) wrote BMP bytes over the picture being
// shown, whatever its format: it writes base + ".bmp", after the overwrite question.
TEST_F(SaveShownImageTest, DocumentBmpSaveNeverOverwritesTheShownFileFault) {
  Open("rose.gif", "rose: GIF:");
  const std::string gif = testenv::ReadHostFile(dir_.HostPath("rose.gif"));
  doc_->m_nViewRequest = ViewRequest::kRedisplay;
  EXPECT_TRUE(doc_->PostViewAction({ViewActionKind::kSaveSource, ImageSaveCode::kBmpTarget}));
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("rose.gif")), gif);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("rose.bmp")).substr(0, 2), "BM");
  EXPECT_EQ(doc_->m_nViewAction, ViewAction{});
  // An existing BMP is only replaced when the user says yes.
  testenv::WriteHostFile(dir_.HostPath("rose.bmp"), "mine");
  frame_->Ui().QueueAnswer(plat::IDCANCEL);
  doc_->PostViewAction({ViewActionKind::kSaveSource, ImageSaveCode::kBmpTarget});
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("rose.bmp")), "mine");
}

// Code 1 without a dialog (the save to the document's path) wrote BMP bytes under a .gif name.
TEST_F(SaveShownImageTest, SaveWithoutDialogNeverPutsBmpBytesUnderAGifNameFault) {
  Open("rose.gif", "rose: GIF:");
  const std::string gif = testenv::ReadHostFile(dir_.HostPath("rose.gif"));
  doc_->m_nViewRequest = {};
  ASSERT_TRUE(view_->SaveImageAs(ImageSaveCode::kBmp, CQelView::SaveImageMode::kDocumentPath).ok());
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("rose.gif")), gif);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("rose.bmp")).substr(0, 2), "BM");
}

// A pending ViewAction that no image view took stayed pending and saved the next
// picture shown: every action read is cleared.
TEST_F(SaveShownImageTest, UntakenViewActionIsNotKeptForTheNextPictureFault) {
  testenv::WriteHostFile(dir_.HostPath("a.txt"), "text\n");
  ASSERT_EQ(doc_->LoadDocument(Win("a.txt")), 0);
  doc_->PostViewAction({ViewActionKind::kSaveSource, ImageSaveCode::kBmpTarget});
  EXPECT_EQ(doc_->m_nViewAction, ViewAction{});
  Open("next.gif", "rose: GIF:");
  EXPECT_FALSE(plat::Exists(Win("next.bmp")));
  EXPECT_TRUE(view_->Image().m_pDisplayBitmap) << "the picture is shown, not saved";
}

TEST_F(SaveShownImageTest, NothingShownGivesString334) {
  testenv::WriteHostFile(dir_.HostPath("a.txt"), "text\n");
  ASSERT_EQ(doc_->LoadDocument(Win("a.txt")), 0);
  AnswerSaveDialog("x.bmp");
  EXPECT_FALSE(view_->SaveImageAs(ImageSaveCode::kBmp, CQelView::SaveImageMode::kAsk).ok());
  EXPECT_FALSE(plat::Exists(Win("x.bmp")));
}

}  // namespace
