// The metafile road of the image view: the picture's size from the header, the fit
// mode's zoom, the banded playback, the load through the document, and pictures
// that LibreOffice Draw makes as EMF and WMF compared with its own rendering of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <climits>
#include <tuple>
#include <string>
#include <vector>

#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "image/ViewImageState.h"
#include "image/loading/MetafileImage.h"
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
    return doc_->LoadDocument(WriteFile(name, metatest::AsString(bytes)));
  }
  std::unique_ptr<CQelView> view_;
};

TEST_F(MetafileLoad, EmfBecomesTheShownPicture) {
  ASSERT_EQ(Load("bands.emf", TwoBands()), 0);
  ASSERT_NE(view_->Image().m_pImageBits, nullptr);
  // (2,000 x 100 / 100 x 1,000 + 5,000) / 10,000 + 1 = 201 by 101.
  EXPECT_EQ(doc_->Image().m_nImageWidth, 201);
  EXPECT_EQ(doc_->Image().m_nImageHeight, 101);
  EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, 24);
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
  EXPECT_EQ(doc_->Image().m_nImageWidth, 2250);
  EXPECT_EQ(view_->Image().m_nCompressDivisor, 2);
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(compressed  1/2 )"), std::string::npos) << g_pStatusBar->GetPaneText(0);
  // The next picture is not said to be compressed.
  doc_->Image().m_nImageLoadState = 0;
  ASSERT_EQ(Load("bands.emf", TwoBands()), 0);
  EXPECT_EQ(view_->Image().m_nCompressDivisor, 1);
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
    EXPECT_EQ(doc_->Image().m_pImageBits, nullptr);
    EXPECT_NE(messages_.str().find(kCannotShow), std::string::npos) << messages_.str();
  }
}

TEST_F(MetafileLoad, NoMetafileInsideIsRefused) {
  EXPECT_EQ(Load("text.wmf", std::vector<uint8_t>(200, 'x')), 0);
  EXPECT_EQ(doc_->Image().m_pImageBits, nullptr);
  EXPECT_NE(messages_.str().find(kCannotShow), std::string::npos) << messages_.str();
}

// Fault: a metafile opened for conversion (`--convert`, the file list's batch
// conversion) or shown on the terminal was refused as a broken picture, since only
// a view draws metafiles; both now draw it at the size its header states.
TEST_F(MetafileLoad, ConvertOfAMetafileWasRefusedFault) {
  testenv::WriteHostFile(dir_.HostPath("bands.emf"), metatest::AsString(TwoBands()));
  int status = -1;
  const std::string run = "cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
                          Quote(PELNORIX_BINARY);
  const std::string out = Shell(run + " --convert out.png bands.emf 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  const imagetest::Rgb png = imagetest::PeerRgb(dir_.HostPath("out.png"));
  ASSERT_EQ(Load("bands.emf", TwoBands()), 0);
  EXPECT_EQ(imagetest::MaxDiff(png, imagetest::DocImage(*doc_)), 0) << "the picture the view shows";
  EXPECT_NE(Shell(run + " bands.emf 2>&1", &status).find("201 x 101  24 bpp"), std::string::npos);
  EXPECT_EQ(status, 0);
}

// Fault: JPEG and PNG bitmaps inside a metafile (DIB compressions 4 and 5) were
// left out. Four flat blocks made by ImageMagick, drawn at their own size, show
// ImageMagick's own colours at each block's centre (JPEG within its rounding).
TEST_F(MetafileLoad, JpegAndPngBitmapsWereLeftOutFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  Shell("cd " + Quote(dir_.Host()) + " && convert -size 40x20 xc:'#c02010' -fill '#1040e0' -draw 'rectangle 20,0 39,9' "
        "-fill '#20c040' -draw 'rectangle 0,10 19,19' -fill '#f0e020' -draw 'rectangle 20,10 39,19' pic.png && "
        "convert pic.png -quality 95 pic.jpg");
  EmfBuilder e(CRect{0, 0, 2000, 1000}, 1000, 500, 100, 50);
  e.StretchPicture(10, 10, 40, 20, 40, 20, 4, testenv::ReadHostFile(dir_.HostPath("pic.jpg")));
  e.StretchPicture(110, 50, 40, 20, 40, 20, 5, testenv::ReadHostFile(dir_.HostPath("pic.png")));
  ASSERT_EQ(Load("pictures.emf", e.Bytes()), 0);
  const imagetest::Rgb ours = imagetest::DocImage(*doc_);
  for (const auto& [file, x, y, tolerance] : {std::tuple{"pic.jpg", 10, 10, 6}, std::tuple{"pic.png", 110, 50, 0}}) {
    SCOPED_TRACE(file);
    const imagetest::Rgb theirs = imagetest::PeerRgb(dir_.HostPath(file));
    ASSERT_EQ(theirs.width, 40);
    for (const auto& [bx, by] : {std::pair{5, 5}, std::pair{30, 5}, std::pair{5, 15}, std::pair{30, 15}}) {
      for (int k = 0; k < 3; ++k) {
        const int want = theirs.pixels[static_cast<size_t>((by * 40 + bx) * 3 + k)];
        const int got = ours.pixels[static_cast<size_t>(((y + by) * ours.width + x + bx) * 3 + k)];
        EXPECT_NEAR(got, want, tolerance) << bx << "," << by << " channel " << k;
      }
    }
  }
}

// Fault: each WMF object record looked for its slot from the start of the table,
// and once the 65,535 slots were full every later record walked them all: 170,000
// records took minutes. Each record costs the same now; the bound is generous
// (sanitizers, a loaded machine) and far below the quadratic walk.
TEST_F(MetafileLoad, ObjectTableWalkTookQuadraticTimeFault) {
  metatest::WmfBuilder w(true, CRect{0, 0, 1440, 1440}, 1440, 65535);
  std::vector<uint8_t> font(18, 0);
  font[0] = static_cast<uint8_t>(-20);
  font[1] = 0xFF;
  for (const char c : std::string("Arial")) font.push_back(static_cast<uint8_t>(c));
  font.resize(26, 0);
  for (int i = 0; i < 170000; ++i) {
    if (i % 2 == 0) {
      w.Record(0x02FC, {0, 0xFF, 0, 0});
    } else {
      w.Raw(0x02FB, font);
    }
  }
  w.Record(0x012D, {0}).Record(0x041B, {1440, 1440, 0, 0});
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Load("objects.wmf", w.Bytes()), 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NE(doc_->Image().m_pImageBits, nullptr);
  EXPECT_LT(seconds, 30.0);
  const imagetest::Rgb rgb = imagetest::DocImage(*doc_);
  EXPECT_EQ(rgb.pixels[(5 * rgb.width + 5) * 3], 255) << "the first brush (red) fills the picture";
}

// Where each colour lies in a picture: boxes relative to the red rectangle's
// top-left corner, so that LibreOffice's page around the picture does not count.
struct Boxes {
  CRect red, blue, green, text;
};

bool IsRed(const uint8_t* p) { return p[0] > 200 && p[1] < 80 && p[2] < 80; }
bool IsBlue(const uint8_t* p) { return p[2] > 200 && p[0] < 80 && p[1] < 80; }
bool IsGreen(const uint8_t* p) { return p[1] > 90 && p[0] < 60 && p[2] < 60; }
bool IsInk(const uint8_t* p) { return p[0] < 100 && p[1] < 100 && p[2] < 100; }

const uint8_t* At(const imagetest::Rgb& img, int x, int y) {
  return &img.pixels[(static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)) * 3];
}

// The box of the pixels of a class, and how many there are.
CRect BoxWhere(const imagetest::Rgb& img, bool (*match)(const uint8_t*), int* count = nullptr) {
  CRect r{INT_MAX, INT_MAX, -1, -1};
  if (count) *count = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      if (!match(At(img, x, y))) continue;
      if (count) ++*count;
      r.left = std::min(r.left, x), r.top = std::min(r.top, y);
      r.right = std::max(r.right, x), r.bottom = std::max(r.bottom, y);
    }
  }
  return r;
}

Boxes BoxesOf(const imagetest::Rgb& img) {
  Boxes b;
  b.red = BoxWhere(img, IsRed);
  b.blue = BoxWhere(img, IsBlue);
  b.green = BoxWhere(img, IsGreen);
  b.text = BoxWhere(img, IsInk);
  for (CRect* r : {&b.blue, &b.green, &b.text, &b.red}) {
    *r = CRect{r->left - b.red.left, r->top - b.red.top, r->right - b.red.left, r->bottom - b.red.top};
  }
  return b;
}

// A drawing of LibreOffice Draw (a red rectangle, a blue ellipse, a green line and a
// word; then a picture and a turned word) saved as EMF and WMF, each rendered by
// LibreOffice and shown by the view.
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
    ConvertAll(what, {file}, outdir);
  }
  void ConvertAll(const std::string& what, const std::vector<std::string>& files, const std::string& outdir) {
    std::string list;
    for (const std::string& file : files) list += " " + Quote(file);
    Shell("cd " + Quote(dir_.Host()) + " && soffice -env:UserInstallation=file://" + dir_.HostPath("profile") +
          " --headless --convert-to " + what + " --outdir " + Quote(outdir) + list + " >/dev/null 2>&1");
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

// The same page with a picture (blue and green halves, made by ImageMagick) in
// place of the ellipse and the line, and the word turned by 30 degrees: LibreOffice
// writes it as a clip rectangle, two DIBs and a font with an escapement.
std::string PictureDrawing(const std::string& pngBase64) {
  std::string page = kDrawing;
  const size_t from = page.find("  <draw:ellipse"), to = page.find(" </draw:page>");
  page.replace(from, to - from,
               "  <draw:frame draw:style-name=\"text\" svg:x=\"8cm\" svg:y=\"1cm\" svg:width=\"6cm\" "
               "svg:height=\"4cm\"><draw:image><office:binary-data>" + pngBase64 +
                   "</office:binary-data></draw:image></draw:frame>\n  <draw:frame draw:style-name=\"text\" "
                   "svg:width=\"8cm\" svg:height=\"2cm\" draw:transform=\"rotate (0.5235987756) translate (2cm "
                   "10cm)\"><draw:text-box><text:p>Pelnorix</text:p></draw:text-box></draw:frame>\n");
  return page;
}

TEST_F(LibreOfficeMetafiles, RenderCloseToLibreOfficesOwnRendering) {
  testenv::WriteHostFile(dir_.HostPath("shapes.fodg"), kDrawing);
  Shell("cd " + Quote(dir_.Host()) +
        " && convert -size 60x40 xc:'#0000ff' -fill '#00ff00' -draw 'rectangle 30,0 59,39' picture.png");
  testenv::WriteHostFile(dir_.HostPath("picture.fodg"),
                         PictureDrawing(Shell("base64 -w0 " + Quote(dir_.HostPath("picture.png")))));
  for (const std::string name : {"shapes.emf", "shapes.wmf", "picture.emf", "picture.wmf"}) {
    SCOPED_TRACE(name);
    const std::string kind = name.substr(name.size() - 3), stem = name.substr(0, name.size() - 4);
    Convert(kind, dir_.HostPath(stem + ".fodg"), dir_.Host());
    const std::string made = dir_.HostPath(name);
    ASSERT_FALSE(testenv::ReadHostFile(made).empty()) << "LibreOffice made no " << kind;
    Convert("png", made, dir_.HostPath(kind));
    const imagetest::Rgb theirs = imagetest::PeerRgb(dir_.HostPath(kind + "/" + stem + ".png"));
    ASSERT_GT(theirs.width, 0);

    ASSERT_EQ(doc_->LoadDocument(Win(name)), 0);
    ASSERT_NE(doc_->Image().m_pImageBits, nullptr);
    // 16 x 12 cm at 96 pixels an inch.
    EXPECT_NEAR(doc_->Image().m_nImageWidth, 605, 2);
    EXPECT_NEAR(doc_->Image().m_nImageHeight, 454, 2);
    const Boxes ours = BoxesOf(imagetest::DocImage(*doc_)), want = BoxesOf(theirs);
    const auto near = [](const CRect& a, const CRect& b, int tolerance, const char* what) {
      EXPECT_NEAR(a.left, b.left, tolerance) << what;
      EXPECT_NEAR(a.top, b.top, tolerance) << what;
      EXPECT_NEAR(a.right, b.right, tolerance) << what;
      EXPECT_NEAR(a.bottom, b.bottom, tolerance) << what;
    };
    for (const CRect& r : {want.blue, want.green, want.text}) EXPECT_GT(r.right - r.left, 20) << "drawn by LibreOffice";
    near(ours.red, want.red, 2, "red rectangle");
    near(ours.blue, want.blue, 2, "blue ellipse or picture half");
    near(ours.green, want.green, 2, "green line or picture half");
    near(ours.text, want.text, 3, "text");
    doc_->Image().m_nImageLoadState = 0;
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

namespace {

// How many pixels of ours are red (or not) where no pixel of theirs within one
// pixel is, both pictures placed by their blue marks.
int RedDisagreements(const imagetest::Rgb& ours, const imagetest::Rgb& theirs) {
  const CRect a = BoxWhere(ours, IsBlue), b = BoxWhere(theirs, IsBlue);
  if (a.right < 0 || b.right < 0) return INT_MAX;
  int wrong = 0;
  for (int y = 0; y < ours.height; ++y) {
    for (int x = 0; x < ours.width; ++x) {
      const bool red = IsRed(At(ours, x, y));
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) {
          const int tx = x - a.left + b.left + dx, ty = y - a.top + b.top + dy;
          const bool inside = tx >= 0 && ty >= 0 && tx < theirs.width && ty < theirs.height;
          near = (inside && IsRed(At(theirs, tx, ty))) == red;
        }
      }
      wrong += near ? 0 : 1;
    }
  }
  return wrong;
}

}  // namespace

// Metafiles of clip records and of text, made byte by byte on the reference device
// (96 pixels an inch, so both draw them at their own size), each with a blue mark
// outside every clip: the red that the clips leave agrees with LibreOffice's within
// one pixel, and the text's ink (a bold face's weight, a turned baseline) within
// 3 pixels of its box and 15 % of its count. LibreOffice 7.4 leaves out
// ExcludeClipRect and a region's RGN_COPY and takes RGN_AND onto a clip for
// RGN_XOR, so those are pinned by the platform test alone.
TEST_F(LibreOfficeMetafiles, ClipsAndTextMatchLibreOffice) {
  struct Case {
    const char* name;
    std::function<void(EmfBuilder&)> draw;
  };
  constexpr uint32_t EMR_SETBKMODE = 18, EMR_SETTEXTALIGN = 22, EMR_OFFSETCLIPRGN = 26, EMR_INTERSECTCLIPRECT = 30,
                     EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_ELLIPSE = 42, EMR_BEGINPATH = 59, EMR_ENDPATH = 60,
                     EMR_SELECTCLIPPATH = 67, EMR_EXTSELECTCLIPRGN = 75;
  const auto clipped = [](std::function<void(EmfBuilder&)> clip) {
    return [clip](EmfBuilder& e) {
      e.Record(EMR_CREATEBRUSH, {1, 0, 0x0000FF, 0}).Record(EMR_SELECTOBJECT, {1});
      clip(e);
      e.Record(EMR_RECTANGLE, {0, 0, 200, 100});
    };
  };
  const auto inner = [](EmfBuilder& e) { e.Record(EMR_INTERSECTCLIPRECT, {20, 20, 120, 80}); };
  const auto region = [inner](int mode) {
    return [inner, mode](EmfBuilder& e) {
      inner(e);
      e.Raw(EMR_EXTSELECTCLIPRGN, metatest::ClipRegionBody(mode, {{60, 10, 190, 50}}));
    };
  };
  const auto text = [](int weight, int escapement) {
    return [weight, escapement](EmfBuilder& e) {
      e.Font(1, -40, weight, escapement, u"DejaVu Sans").Record(EMR_SELECTOBJECT, {1});
      e.Record(EMR_SETBKMODE, {1}).Record(EMR_SETTEXTALIGN, {24}).TextW(40, 80, u"Bold");
    };
  };
  const std::vector<Case> cases = {
      {"IntersectClipRect", clipped([](EmfBuilder& e) { e.Record(EMR_INTERSECTCLIPRECT, {50, 25, 150, 75}); })},
      {"SaveDC and RestoreDC", clipped([inner](EmfBuilder& e) {
         e.Record(EMR_SAVEDC, {});
         inner(e);
         e.Record(EMR_RESTOREDC, {-1}).Record(EMR_INTERSECTCLIPRECT, {30, 10, 190, 90});
       })},
      {"region RGN_AND with no clip before", clipped([](EmfBuilder& e) {
         e.Raw(EMR_EXTSELECTCLIPRGN, metatest::ClipRegionBody(1, {{60, 10, 190, 50}}));
       })},
      {"region RGN_OR", clipped(region(2))},
      {"region RGN_XOR", clipped(region(3))},
      {"region RGN_DIFF", clipped(region(4))},
      {"no region ends the clipping", clipped([inner](EmfBuilder& e) {
         inner(e);
         e.Raw(EMR_EXTSELECTCLIPRGN, metatest::ClipRegionBody(5, {}, false));
       })},
      {"OffsetClipRgn", clipped([inner](EmfBuilder& e) {
         inner(e);
         e.Record(EMR_OFFSETCLIPRGN, {40, 10});
       })},
      {"SelectClipPath", clipped([](EmfBuilder& e) {
         e.Record(EMR_BEGINPATH, {}).Record(EMR_ELLIPSE, {30, 10, 170, 90}).Record(EMR_ENDPATH, {});
         e.Record(EMR_SELECTCLIPPATH, {5});
       })},
      {"weight 700", text(700, 0)},
      {"escapement 30 degrees", text(400, 300)},
  };
  std::vector<std::string> files;
  for (size_t i = 0; i < cases.size(); ++i) {
    // 220 x 110 pixels: 5,821 x 2,910 hundredths of a millimetre at 96 pixels an inch.
    EmfBuilder e(CRect{0, 0, 5821, 2910}, 1920, 1080, 508, 286);
    e.Record(EMR_SELECTOBJECT, {kNullPen}).Record(EMR_CREATEBRUSH, {2, 0, 0xFF0000, 0}).Record(EMR_SELECTOBJECT, {2});
    e.Record(EMR_RECTANGLE, {205, 100, 215, 110});
    cases[i].draw(e);
    files.push_back(dir_.HostPath("case" + std::to_string(i) + ".emf"));
    testenv::WriteHostFile(files.back(), metatest::AsString(e.Bytes()));
  }
  ConvertAll("png", files, dir_.HostPath("lo"));
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const imagetest::Rgb theirs = imagetest::PeerRgb(dir_.HostPath("lo/case" + std::to_string(i) + ".png"));
    ASSERT_GT(theirs.width, 0);
    doc_->Image().m_nImageLoadState = 0;
    ASSERT_EQ(doc_->LoadDocument(Win("case" + std::to_string(i) + ".emf")), 0);
    const imagetest::Rgb ours = imagetest::DocImage(*doc_);
    EXPECT_LE(RedDisagreements(ours, theirs), 30);  // a few pixels of a curved edge
    const CRect markA = BoxWhere(ours, IsBlue), markB = BoxWhere(theirs, IsBlue);
    int inkA = 0, inkB = 0;
    const CRect a = BoxWhere(ours, IsInk, &inkA), b = BoxWhere(theirs, IsInk, &inkB);
    EXPECT_NEAR(inkA, inkB, inkB * 15 / 100);
    if (inkB == 0) continue;
    EXPECT_NEAR(a.left - markA.left, b.left - markB.left, 3);
    EXPECT_NEAR(a.top - markA.top, b.top - markB.top, 3);
    EXPECT_NEAR(a.right - markA.left, b.right - markB.left, 3);
    EXPECT_NEAR(a.bottom - markA.top, b.bottom - markB.top, 3);
  }
}
