// The metafile road of the image view: the picture's size from the header, the fit
// mode's zoom, the banded playback, the load through the document, and pictures
// that LibreOffice Draw makes as EMF and WMF compared with its own rendering of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "image/ImageTestSupport.h"
#include "image/MetafileImage.h"
#include "support/MetafileBuilder.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using metatest::EmfBuilder;
using testenv::Quote;
using testenv::Shell;

constexpr uint32_t EMR_SELECTOBJECT = 37, EMR_CREATEBRUSH = 39, EMR_RECTANGLE = 43;
constexpr int32_t kNullPen = static_cast<int32_t>(0x80000008);
constexpr const char* kCannotShow = "画像を表示できません";

plat::MetafileHeader Header(CRect frame, int dw, int dh, int mw, int mh) {
  plat::MetafileHeader h;
  h.enhanced = true;
  h.frame = frame;
  h.deviceWidth = dw, h.deviceHeight = dh, h.mmWidth = mw, h.mmHeight = mh;
  return h;
}

TEST(MetafileImageSize, FromTheFrameAndTheDevice) {
  struct Case {
    const char* name;
    plat::MetafileHeader h;
    bool ok;
    int width, height, compression;
  };
  const std::vector<Case> cases = {
      // (10,000 x 100 / 320 x 1,280 + 5,000) / 10,000 + 1 = 401
      {"100 mm at 4 pixels a millimetre", Header({0, 0, 10000, 5000}, 1280, 1024, 320, 256), true, 401, 201, 1},
      {"origin does not count", Header({-5000, 3000, 5000, 8000}, 1280, 1024, 320, 256), true, 401, 201, 1},
      {"above 20,000,000 pixels: halved", Header({0, 0, 50000, 50000}, 1000, 1000, 100, 100), true, 2500, 2500, 2},
      {"above 40,000,000: an eighth", Header({0, 0, 300000, 200000}, 1000, 1000, 100, 100), true, 3750, 2500, 8},
      // Faults: sizes from an inverted, empty or huge frame, or a device without size.
      {"inverted frame", Header({10000, 0, 0, 5000}, 1280, 1024, 320, 256), false, 0, 0, 1},
      {"empty frame", Header({0, 0, 10000, 0}, 1280, 1024, 320, 256), false, 0, 0, 1},
      {"no millimetres", Header({0, 0, 10000, 5000}, 1280, 1024, 0, 256), false, 0, 0, 1},
      {"negative device", Header({0, 0, 10000, 5000}, -1280, 1024, 320, 256), false, 0, 0, 1},
      {"huge frame", Header({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 1280, 1024, 1, 1), false, 0, 0, 1},
      {"too long a side", Header({0, 0, 20000000, 100}, 1000, 1000, 100, 100), false, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MetafilePictureSize s = MetafileImageSize(c.h);
    EXPECT_EQ(s.ok, c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_EQ(s.compression, c.compression);
  }
}

TEST(MetafileImageSize, FitModeZoomScalesThePictureItself) {
  struct Case {
    int zoom, width, height, wantWidth, wantHeight;
  };
  const std::vector<Case> cases = {
      {6, 100, 1599, 200, 3198}, {6, 100, 1600, 100, 1600}, {7, 10, 799, 40, 3196}, {7, 10, 800, 10, 800},
      {8, 10, 399, 80, 3192},    {8, 10, 400, 10, 400},     {4, 100, 50, 50, 25},   {3, 100, 50, 25, 12},
      {2, 100, 50, 12, 6},       {1, 100, 50, 6, 3},        {1, 8, 8, 1, 1},        {5, 100, 50, 100, 50},
      {9, 100, 50, 100, 50},
  };
  for (const Case& c : cases) {
    int w = c.width, h = c.height;
    ApplyMetafileZoom(c.zoom, w, h);
    EXPECT_EQ(w, c.wantWidth) << "zoom " << c.zoom;
    EXPECT_EQ(h, c.wantHeight) << "zoom " << c.zoom;
  }
}

// A 200 x 100 picture: red top half, blue bottom half.
std::vector<uint8_t> TwoBands() {
  EmfBuilder e(CRect{0, 0, 2000, 1000}, 1000, 500, 100, 50);
  e.Record(EMR_SELECTOBJECT, {kNullPen})
      .Record(EMR_CREATEBRUSH, {1, 0, 0x0000FF, 0})
      .Record(EMR_SELECTOBJECT, {1})
      .Record(EMR_RECTANGLE, {0, 0, 200, 50})
      .Record(EMR_CREATEBRUSH, {2, 0, 0xFF0000, 0})
      .Record(EMR_SELECTOBJECT, {2})
      .Record(EMR_RECTANGLE, {0, 50, 200, 100});
  return e.Bytes();
}

// Fault: when no bitmap of the full height could be made, the picture was played
// into a half-height one and the other rows were left as the buffer had them. Each
// band is now played and read back into its own rows.
TEST(MetafileImage, HalfHeightFallbackLeavesNoUninitialisedRows) {
  const std::vector<uint8_t> bytes = TwoBands();
  const size_t size = static_cast<size_t>(DibStride(200, 24)) * 100;
  plat::GdiHost unlimited;
  std::vector<uint8_t> whole(size, 0xCD);
  ASSERT_TRUE(RenderMetafileDib(bytes, 200, 100, unlimited, whole));
  for (const int64_t budget : {200 * 99, 200 * 50, 200 * 13, 200}) {
    SCOPED_TRACE(budget);
    plat::GdiHost tight;
    tight.SetPixelBudget(budget);
    std::vector<uint8_t> banded(size, 0xCD);
    ASSERT_TRUE(RenderMetafileDib(bytes, 200, 100, tight, banded));
    EXPECT_TRUE(banded == whole) << "every row drawn as in one piece";
  }
  plat::GdiHost none;
  none.SetPixelBudget(100);
  std::vector<uint8_t> nothing(size, 0);
  EXPECT_FALSE(RenderMetafileDib(bytes, 200, 100, none, nothing)) << "not even one row fits";
  // The bottom-up rows: the last row of the buffer is the picture's top (red).
  const imagetest::Rgb rgb = [&] {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 200, 100, 1, 24, 0, 0, 0, 0, 0, 0};
    return imagetest::FromDib(whole.data(), info);
  }();
  EXPECT_EQ(rgb.pixels[0], 255);                              // top-left red
  EXPECT_EQ(rgb.pixels[(99 * 200) * 3 + 2], 255);             // bottom-left blue
}

class MetafileLoad : public testenv::DocTest {
 protected:
  void SetUp() override { view_ = std::make_unique<CQelView>(*doc_); }
  int Load(const std::string& name, const std::vector<uint8_t>& bytes) {
    return doc_->LoadDocument(WriteFile(name, metatest::AsString(bytes)), 0);
  }
  std::unique_ptr<CQelView> view_;
};

TEST_F(MetafileLoad, EmfBecomesTheShownPicture) {
  ASSERT_EQ(Load("bands.emf", TwoBands()), 0);
  ASSERT_NE(view_->m_pImageBits, nullptr);
  // (2,000 x 100 / 100 x 1,000 + 5,000) / 10,000 + 1 = 201 by 101.
  EXPECT_EQ(doc_->m_nImageWidth, 201);
  EXPECT_EQ(doc_->m_nImageHeight, 101);
  EXPECT_EQ(doc_->m_bmiImage.bmiHeader.biBitCount, 24);
  EXPECT_EQ(g_pStatusBar->GetPaneText(0).rfind("W201 x H101 x 24bits ", 0), 0u) << g_pStatusBar->GetPaneText(0);
  const imagetest::Rgb rgb = imagetest::DocImage(*doc_);
  EXPECT_EQ(rgb.pixels[(10 * 201 + 10) * 3], 255);
  EXPECT_EQ(rgb.pixels[(90 * 201 + 10) * 3 + 2], 255);
}

TEST_F(MetafileLoad, LargePictureIsCompressedAndSaysSo) {
  // 150 x 150 mm at 30 pixels a millimetre: 4,501 pixels square, over 20,000,000
  // pixels, so halved to 2,250.
  EmfBuilder e(CRect{0, 0, 15000, 15000}, 3000, 3000, 100, 100);
  e.Record(EMR_SELECTOBJECT, {kNullPen}).Record(EMR_CREATEBRUSH, {1, 0, 0x0000FF, 0}).Record(EMR_SELECTOBJECT, {1});
  e.Record(EMR_RECTANGLE, {0, 0, 1500, 1500});
  ASSERT_EQ(Load("large.emf", e.Bytes()), 0);
  EXPECT_EQ(doc_->m_nImageWidth, 2250);
  EXPECT_EQ(view_->m_nCompressDivisor, 2);
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(compressed  1/2 )"), std::string::npos) << g_pStatusBar->GetPaneText(0);
  // The next picture is not said to be compressed.
  doc_->m_nImageLoadState = 0;
  ASSERT_EQ(Load("bands.emf", TwoBands()), 0);
  EXPECT_EQ(view_->m_nCompressDivisor, 1);
  EXPECT_EQ(g_pStatusBar->GetPaneText(0).find("compressed"), std::string::npos) << g_pStatusBar->GetPaneText(0);
}

// Fault: a frame that is inverted or empty, or a device without millimetres, gave
// a size from garbage (or a division by zero); it is refused with message 332.
TEST_F(MetafileLoad, NegativeOrHugeFrameIsRefused) {
  struct Case {
    const char* name;
    CRect frame;
    int mm;
  };
  for (const Case& c : {Case{"inverted", CRect{2000, 0, 0, 1000}, 100}, Case{"empty", CRect{0, 0, 0, 0}, 100},
                        Case{"no millimetres", CRect{0, 0, 2000, 1000}, 0},
                        Case{"huge", CRect{INT32_MIN, 0, INT32_MAX, 1000}, 1}}) {
    SCOPED_TRACE(c.name);
    messages_.str("");
    EXPECT_EQ(Load("bad.emf", EmfBuilder(c.frame, 1000, 500, c.mm, 50).Bytes()), 0);
    EXPECT_EQ(doc_->m_pImageBits, nullptr);
    EXPECT_NE(messages_.str().find(kCannotShow), std::string::npos) << messages_.str();
  }
}

TEST_F(MetafileLoad, NoMetafileInsideIsRefused) {
  EXPECT_EQ(Load("text.wmf", std::vector<uint8_t>(200, 'x')), 0);
  EXPECT_EQ(doc_->m_pImageBits, nullptr);
  EXPECT_NE(messages_.str().find(kCannotShow), std::string::npos) << messages_.str();
}

// Where each colour lies in a picture: boxes relative to the red rectangle's
// top-left corner, so that LibreOffice's page around the picture does not count.
struct Boxes {
  CRect red, blue, green, text;
};

Boxes BoxesOf(const imagetest::Rgb& img) {
  const auto box = [&](auto match) {
    CRect r{INT_MAX, INT_MAX, -1, -1};
    for (int y = 0; y < img.height; ++y) {
      for (int x = 0; x < img.width; ++x) {
        const uint8_t* p = &img.pixels[(static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)) * 3];
        if (!match(p[0], p[1], p[2])) continue;
        r.left = std::min(r.left, x), r.top = std::min(r.top, y);
        r.right = std::max(r.right, x), r.bottom = std::max(r.bottom, y);
      }
    }
    return r;
  };
  Boxes b;
  b.red = box([](int r, int g, int bl) { return r > 200 && g < 80 && bl < 80; });
  b.blue = box([](int r, int g, int bl) { return bl > 200 && r < 80 && g < 80; });
  b.green = box([](int r, int g, int bl) { return g > 90 && r < 60 && bl < 60; });
  b.text = box([](int r, int g, int bl) { return r < 100 && g < 100 && bl < 100; });
  for (CRect* r : {&b.blue, &b.green, &b.text, &b.red}) {
    *r = CRect{r->left - b.red.left, r->top - b.red.top, r->right - b.red.left, r->bottom - b.red.top};
  }
  return b;
}

// A drawing of LibreOffice Draw (a red rectangle, a blue ellipse, a green line and a
// word) saved as EMF and WMF, each rendered by LibreOffice and shown by the view.
// Both render at 96 pixels an inch. Tolerance: shapes' edges within 2 pixels, the
// text's box within 3 (the glyphs are the same face, rasterised by another engine).
class LibreOfficeMetafiles : public MetafileLoad {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("soffice");
    SKIP_WITHOUT_PROGRAM("convert");
    MetafileLoad::SetUp();
  }
  void Convert(const std::string& what, const std::string& file, const std::string& outdir) {
    Shell("cd " + Quote(dir_.Host()) + " && soffice -env:UserInstallation=file://" + dir_.HostPath("profile") +
          " --headless --convert-to " + what + " --outdir " + Quote(outdir) + " " + Quote(file) + " >/dev/null 2>&1");
  }
};

constexpr const char* kDrawing = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.graphics">
 <office:styles/>
 <office:automatic-styles>
  <style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm"
   fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="16cm" fo:page-height="12cm"/></style:page-layout>
  <style:style style:name="red" style:family="graphic"><style:graphic-properties draw:fill="solid" draw:fill-color="#ff0000" draw:stroke="none"/></style:style>
  <style:style style:name="blue" style:family="graphic"><style:graphic-properties draw:fill="solid" draw:fill-color="#0000ff" draw:stroke="none"/></style:style>
  <style:style style:name="line" style:family="graphic"><style:graphic-properties draw:stroke="solid" svg:stroke-color="#008000" svg:stroke-width="0.1cm"/></style:style>
  <style:style style:name="text" style:family="graphic"><style:graphic-properties draw:fill="none" draw:stroke="none"/>
   <style:text-properties fo:font-size="28pt" fo:color="#000000" fo:font-family="DejaVu Sans"/></style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/></office:master-styles>
 <office:body><office:drawing><draw:page draw:name="p1" draw:master-page-name="Default">
  <draw:rect draw:style-name="red" svg:x="1cm" svg:y="1cm" svg:width="5cm" svg:height="3cm"/>
  <draw:ellipse draw:style-name="blue" svg:x="8cm" svg:y="1cm" svg:width="6cm" svg:height="4cm"/>
  <draw:line draw:style-name="line" svg:x1="1cm" svg:y1="7cm" svg:x2="14cm" svg:y2="7cm"/>
  <draw:frame draw:style-name="text" svg:x="1cm" svg:y="8.5cm" svg:width="12cm" svg:height="2cm"><draw:text-box><text:p>Pelnorix</text:p></draw:text-box></draw:frame>
 </draw:page></office:drawing></office:body>
</office:document>
)";

TEST_F(LibreOfficeMetafiles, RenderCloseToLibreOfficesOwnRendering) {
  testenv::WriteHostFile(dir_.HostPath("shapes.fodg"), kDrawing);
  for (const std::string kind : {"emf", "wmf"}) {
    SCOPED_TRACE(kind);
    Convert(kind, dir_.HostPath("shapes.fodg"), dir_.Host());
    const std::string made = dir_.HostPath("shapes." + kind);
    ASSERT_FALSE(testenv::ReadHostFile(made).empty()) << "LibreOffice made no " << kind;
    Convert("png", made, dir_.HostPath(kind));
    const imagetest::Rgb theirs = imagetest::PeerRgb(dir_.HostPath(kind + "/shapes.png"));
    ASSERT_GT(theirs.width, 0);

    ASSERT_EQ(doc_->LoadDocument(Win("shapes." + kind), 0), 0);
    ASSERT_NE(doc_->m_pImageBits, nullptr);
    // 16 x 12 cm at 96 pixels an inch.
    EXPECT_NEAR(doc_->m_nImageWidth, 605, 2);
    EXPECT_NEAR(doc_->m_nImageHeight, 454, 2);
    const Boxes ours = BoxesOf(imagetest::DocImage(*doc_)), want = BoxesOf(theirs);
    const auto near = [](const CRect& a, const CRect& b, int tolerance, const char* what) {
      EXPECT_NEAR(a.left, b.left, tolerance) << what;
      EXPECT_NEAR(a.top, b.top, tolerance) << what;
      EXPECT_NEAR(a.right, b.right, tolerance) << what;
      EXPECT_NEAR(a.bottom, b.bottom, tolerance) << what;
    };
    near(ours.red, want.red, 2, "red rectangle");
    near(ours.blue, want.blue, 2, "blue ellipse");
    near(ours.green, want.green, 2, "green line");
    near(ours.text, want.text, 3, "text");
    doc_->m_nImageLoadState = 0;
  }
}

TEST_F(LibreOfficeMetafiles, ScriptOpensAMetafileAndSavesTheDisplay) {
  testenv::WriteHostFile(dir_.HostPath("shapes.fodg"), kDrawing);
  Convert("wmf", dir_.HostPath("shapes.fodg"), dir_.Host());
  testenv::WriteHostFile(dir_.HostPath("s.script"),
                         "open shapes.wmf\nprint status\nsave-display shown.png\n");
  int status = -1;
  const std::string out = Shell("cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(dir_.HostPath("home")) +
                                    " " + Quote(PELNORIX_BINARY) + " --script s.script 2>&1",
                                &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.rfind("W606 x H45", 0), 0u) << out;  // 16 x 12 cm at 96 pixels an inch
  const imagetest::Rgb shown = imagetest::PeerRgb(dir_.HostPath("shown.png"));
  ASSERT_EQ(shown.width, 606);
  EXPECT_GT(BoxesOf(shown).blue.right, 0) << "the ellipse is shown";
}

}  // namespace
