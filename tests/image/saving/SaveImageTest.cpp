// The writers, read back by the tools nobody here wrote: PNG at every depth
// (pngcheck, pngtopnm), BMP (bmptoppm), BMZ (unzip -t), the one-page PDF (qpdf,
// pdfimages); and the saves that must write nothing.
#include "image/ImageTestSupport.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/saving/ImageSaveFormats.h"
#include "image/saving/PdfImage.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class SaveImageTest : public testenv::DocTest {
 protected:
  // The built-in picture of ImageMagick, loaded as the document image.
  void LoadRose() {
    testenv::Shell("convert rose: -type TrueColor " + testenv::Quote(dir_.HostPath("rose.bmp")));
    doc_->Image().m_nImageLoadState = 0;
    ASSERT_EQ(doc_->LoadImageFile(Win("rose.bmp"), 0), 0);
    info_ = doc_->Image().m_bmiImage;
  }
  ConvertStatus Save(const std::string& name, ImageSaveCode code) {
    return doc_->SaveDib(doc_->Image().m_pImageBits, &info_, Win(name), code);
  }
  BITMAPINFO info_{};
};

struct PngCase {
  ImageSaveCode code;
  const char* depth;  // what pngcheck reports
};

TEST_F(SaveImageTest, PngAtEveryDepthReadsBackClean) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("pngcheck");
  LoadRose();
  const auto rose = imagetest::DocImage(*doc_);
  for (const PngCase c : {PngCase{ImageSaveCode::kPng, "24-bit RGB"}, PngCase{ImageSaveCode::kPng1, "1-bit palette"},
                          PngCase{ImageSaveCode::kPng4, "4-bit palette"}, PngCase{ImageSaveCode::kPng8, "8-bit palette"}}) {
    SCOPED_TRACE(SaveCodeNumber(c.code));
    const std::string name = "out" + std::to_string(SaveCodeNumber(c.code)) + ".png";
    ASSERT_TRUE(Save(name, c.code).ok());
    int status = 0;
    const std::string report = testenv::Shell("pngcheck -v " + testenv::Quote(dir_.HostPath(name)) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find(c.depth), std::string::npos) << report;
    EXPECT_NE(report.find("chunk IEND at offset"), std::string::npos);
    const auto peer = imagetest::PeerPnm("pngtopnm " + testenv::Quote(dir_.HostPath(name)));
    if (c.code == ImageSaveCode::kPng) {
      EXPECT_EQ(imagetest::MaxDiff(peer, rose), 0);
    } else {
      // Reduced pixels differ from the source; read back, they equal the peer's reading.
      doc_->Image().m_nImageLoadState = 0;
      ASSERT_EQ(doc_->LoadImageFile(Win(name), 0), 0);
      EXPECT_EQ(imagetest::MaxDiff(imagetest::DocImage(*doc_), peer), 0);
      LoadRose();
    }
  }
}

TEST_F(SaveImageTest, BmpAndBmz) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("bmptoppm");
  SKIP_WITHOUT_PROGRAM("unzip");
  LoadRose();
  const auto rose = imagetest::DocImage(*doc_);
  Save("copy.bmp", ImageSaveCode::kBmpTarget);
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerPnm("bmptoppm " + testenv::Quote(dir_.HostPath("copy.bmp"))), rose), 0);
  // With the keep-date option the saved file takes the kept time.
  doc_->m_bKeepFileDate = 1;
  doc_->m_timeKeepFile = 1000000000;
  Save("dated.bmp", ImageSaveCode::kBmp);
  EXPECT_EQ(plat::Stat(Win("dated.bmp"))->mtime, 1000000000);
  doc_->m_bKeepFileDate = 0;
  Save("copy.bmz", ImageSaveCode::kBmz);
  int status = 0;
  testenv::Shell("unzip -t " + testenv::Quote(dir_.HostPath("copy.bmz")), &status);
  EXPECT_EQ(status, 0);
  doc_->Image().m_nImageLoadState = 0;
  ASSERT_EQ(doc_->LoadImageFile(Win("copy.bmz"), 0), 0);
  EXPECT_EQ(imagetest::MaxDiff(imagetest::DocImage(*doc_), rose), 0);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(frame_->StatusBar().CommandToIndex(104)), "Bitmap(zip) 24 bit");
  // A BMZ that holds no BMP is refused with its message.
  testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && echo text > a.txt && zip -q text.bmz a.txt");
  doc_->LoadDocument(Win("text.bmz"));
  EXPECT_EQ(Text(), LoadString(IDS_UNSUPPORTED_FORMAT) + LoadString(IDS_IMAGE_BROKEN));
}

TEST_F(SaveImageTest, JpegAtThreeLevelsReadsBackWithDjpeg) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("djpeg");
  LoadRose();
  const auto rose = imagetest::DocImage(*doc_);
  double last = 0;
  for (ImageSaveCode code : {ImageSaveCode::kJpegHigh, ImageSaveCode::kJpegStandard, ImageSaveCode::kJpegBest}) {
    SCOPED_TRACE(SaveCodeNumber(code));
    const std::string name = "out" + std::to_string(SaveCodeNumber(code)) + ".jpg";
    ASSERT_TRUE(Save(name, code).ok());
    int status = 0;
    testenv::Shell("djpeg " + testenv::Quote(dir_.HostPath(name)) + " > /dev/null", &status);
    EXPECT_EQ(status, 0);
    const double psnr = imagetest::Psnr(imagetest::PeerPnm("djpeg " + testenv::Quote(dir_.HostPath(name))), rose);
    EXPECT_GT(psnr, 24);
    EXPECT_GT(psnr, last);  // each level keeps more than the one before
    last = psnr;
  }
  // An 8-bit palette picture is widened for the encoder; the caller's rows stay.
  Save("p8.png", ImageSaveCode::kPng8);
  doc_->Image().m_nImageLoadState = 0;
  ASSERT_EQ(doc_->LoadImageFile(Win("p8.png"), 0), 0);
  const auto palette = imagetest::DocImage(*doc_);
  info_ = doc_->Image().m_bmiImage;
  Save("p8.jpg", ImageSaveCode::kJpegBest);
  EXPECT_EQ(imagetest::MaxDiff(imagetest::DocImage(*doc_), palette), 0);
  EXPECT_GT(imagetest::Psnr(imagetest::PeerPnm("djpeg " + testenv::Quote(dir_.HostPath("p8.jpg"))), palette), 24);
}

TEST_F(SaveImageTest, SavesThatWriteNothing) {
  SKIP_WITHOUT_PROGRAM("convert");
  LoadRose();
  // A marked name of a protected file asks for the marked form instead.
  EXPECT_EQ(Save("photo.+png", ImageSaveCode::kPng).stringId, IDS_EDITED_SAVE_FORMAT);
  EXPECT_FALSE(plat::Exists(Win("photo.+png")));
  ASSERT_FALSE(frame_->Ui().MessageLog().empty());
  EXPECT_NE(frame_->Ui().MessageLog().back().text.find("+png"), std::string::npos);
  // A JPEG wider than 65,535 pixels is not written.
  std::vector<uint8_t> row(70000 * 3 + 16, 0x80);
  BITMAPINFO wide{};
  wide.bmiHeader = {40, 70000, 1, 1, 24, 0, 0, 0, 0, 0, 0};
  doc_->SaveDib(row.data(), &wide, Win("wide.jpg"), ImageSaveCode::kJpegStandard);
  EXPECT_FALSE(plat::Exists(Win("wide.jpg")));
  // A save that fails leaves the old file as it was.
  WriteFile("old.png", "old bytes");
  doc_->m_allocHook.FailAfter(0);
  EXPECT_FALSE(Save("old.png", ImageSaveCode::kPng).ok());
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("old.png")), "old bytes");
}

TEST_F(SaveImageTest, OnePagePdfAroundAJpeg) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  SKIP_WITHOUT_PROGRAM("qpdf");
  SKIP_WITHOUT_PROGRAM("pdfimages");
  const std::string jpegHost = dir_.HostPath("rose.jpg");
  testenv::Shell("convert rose: ppm:- | cjpeg > " + testenv::Quote(jpegHost));
  const std::string jpeg = testenv::ReadHostFile(jpegHost);
  ASSERT_GT(jpeg.size(), 100u);
  // The size comes from the JPEG's frame header, whatever the caller says.
  ASSERT_TRUE(doc_->WritePdf(Win("rose.pdf"), Win("rose.jpg"), 7, 9).ok());
  int status = 0;
  const std::string check = testenv::Shell("qpdf --check " + testenv::Quote(dir_.HostPath("rose.pdf")) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << check;
  EXPECT_NE(testenv::Shell("pdfimages -list " + testenv::Quote(dir_.HostPath("rose.pdf"))).find("70    46"),
            std::string::npos);
  testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && pdfimages -j rose.pdf img");
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("img-000.jpg")), jpeg);
  const std::string pdf = testenv::ReadHostFile(dir_.HostPath("rose.pdf"));
  EXPECT_NE(pdf.find("/MediaBox[0 0    70    46]"), std::string::npos);

  // Another extension asks for a ".pdf" name; a cancelled dialog writes nothing.
  EXPECT_EQ(doc_->WritePdf(Win("photo.bmp"), Win("rose.jpg"), 70, 46).stringId, kSaveCancelled);
  EXPECT_FALSE(plat::Exists(Win("photo.pdf")));
  plat::DialogAnswer answer;
  answer.result = plat::IDOK;
  answer.fields["path"] = Win("chosen.pdf");
  frame_->Ui().QueueDialog(answer);
  doc_->WritePdf(Win("photo.bmp"), Win("rose.jpg"), 70, 46);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("chosen.pdf")), pdf);
}

// The JPEG read for a PDF went around the allocation check: a JPEG too large to hold
// must write nothing rather than fail outside the checked allocation.
TEST_F(SaveImageTest, WritePdfOfAJpegTooLargeToHoldWritesNothing) {
  WriteFile("big.jpg", std::string(4000, '\xFF'));
  doc_->m_allocHook.FailAbove(1000);
  doc_->WritePdf(Win("big.pdf"), Win("big.jpg"), 70, 46);
  doc_->m_allocHook.Reset();
  EXPECT_FALSE(plat::Exists(Win("big.pdf")));
}

TEST_F(SaveImageTest, LoadImageAsDibWritesABmpOfAnyPicture) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  SKIP_WITHOUT_PROGRAM("bmptoppm");
  testenv::Shell("convert rose: ppm:- | cjpeg > " + testenv::Quote(dir_.HostPath("rose.jpg")));
  doc_->Image().m_nImageLoadState = 2;  // a shown picture does not stop the conversion, and stays shown
  ASSERT_EQ(doc_->LoadImageAsDib(Win("rose.jpg"), Win("rose.bmp")), 0);
  EXPECT_EQ(doc_->Image().m_nImageLoadState, 2);
  const std::string bmp = testenv::ReadHostFile(dir_.HostPath("rose.bmp"));
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(static_cast<uint8_t>(bmp[10]), 54);
  EXPECT_EQ(bmp[28], 24);
  EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerPnm("bmptoppm " + testenv::Quote(dir_.HostPath("rose.bmp"))),
                               imagetest::DocImage(*doc_)),
            0);
  EXPECT_EQ(doc_->LoadImageAsDib(Win("missing.jpg"), Win("x.bmp")), -1);
  EXPECT_FALSE(plat::Exists(Win("x.bmp")));
}

TEST(PdfImageTest, FixedLayoutForSmallNumbers) {
  // 640 x 480 and a 12,345-byte JPEG: startxref 13080, 13,361 bytes in all.
  std::vector<uint8_t> jpeg(12345, 0);
  const auto pdf = BuildImagePdf(jpeg, 640, 480);
  const std::string text(pdf.begin(), pdf.end());
  EXPECT_EQ(pdf.size(), 13361u);
  EXPECT_NE(text.find("startxref\n   13080\n%%EOF\n"), std::string::npos);
  EXPECT_NE(text.find("0000000547 00000 n \n"), std::string::npos);
}

}  // namespace
