// The metafile player: mapping, objects, shapes, text and DIBs of small metafiles
// made byte by byte, the Office files of the shared test data, and hostile records
// (lying sizes, indexes past the object table, huge counts) that must end or be
// skipped without reading outside the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/FontLibrary.h"
#include "platform/metafile/Metafile.h"
#include "support/MetafileBuilder.h"
#include "support/TestFiles.h"

namespace {

using metatest::ClipRegionBody;
using metatest::EmfBuilder;
using metatest::WmfBuilder;
using plat::Bitmap;

constexpr uint32_t kWhite = 0xFFFFFF, kGrey = 0x808080, kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;
constexpr int32_t kRedRef = 0x0000FF, kBlueRef = 0xFF0000, kGreenRef = 0x00FF00;  // COLORREF 0x00BBGGRR

// EMF record types and WMF functions the tests write.
enum : uint32_t {
  EMR_POLYGON = 3, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9, EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11,
  EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18, EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_OFFSETCLIPRGN = 26,
  EMR_SETMETARGN = 28, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38, EMR_CREATEBRUSH = 39, EMR_DELETEOBJECT = 40,
  EMR_ELLIPSE = 42, EMR_RECTANGLE = 43, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_FILLPATH = 62,
  EMR_SELECTCLIPPATH = 67, EMR_EXTSELECTCLIPRGN = 75, EMR_EXTCREATEFONTINDIRECTW = 82, EMR_POLYLINE16 = 87
};
enum : uint16_t {
  META_SELECTOBJECT = 0x012D, META_DELETEOBJECT = 0x01F0, META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C,
  META_OFFSETCLIPRGN = 0x0220, META_CREATEPENINDIRECT = 0x02FA, META_CREATEBRUSHINDIRECT = 0x02FC,
  META_EXCLUDECLIPRECT = 0x0415, META_INTERSECTCLIPRECT = 0x0416, META_RECTANGLE = 0x041B
};
constexpr int32_t kNullPen = static_cast<int32_t>(0x80000008), kNullBrush = static_cast<int32_t>(0x80000005);

Bitmap Blank(int w, int h, uint32_t pixel) {
  Bitmap b;
  b.width = w;
  b.height = h;
  b.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), pixel);
  return b;
}

// The box of the pixels of one colour; right and bottom inclusive, {INT_MAX...} when none.
CRect BoxOf(const Bitmap& b, uint32_t pixel) {
  CRect r{INT_MAX, INT_MAX, -1, -1};
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (b.At(x, y) != pixel) continue;
      r.left = std::min(r.left, x), r.top = std::min(r.top, y);
      r.right = std::max(r.right, x), r.bottom = std::max(r.bottom, y);
    }
  }
  return r;
}

void ExpectBox(const CRect& got, const CRect& want) {
  EXPECT_EQ(got.left, want.left);
  EXPECT_EQ(got.top, want.top);
  EXPECT_EQ(got.right, want.right);
  EXPECT_EQ(got.bottom, want.bottom);
}

// An EMF whose frame maps one device pixel onto one target pixel: 200 x 100 pixels
// at 10 pixels a millimetre.
EmfBuilder Emf200x100(int objects = 16) { return EmfBuilder(CRect{0, 0, 2000, 1000}, 1000, 500, 100, 50, objects); }

// A red brush in slot 1 selected, the null pen.
EmfBuilder& RedBrush(EmfBuilder& e) {
  return e.Record(EMR_CREATEBRUSH, {1, 0, kRedRef, 0}).Record(EMR_SELECTOBJECT, {1}).Record(EMR_SELECTOBJECT, {kNullPen});
}

Bitmap Play(const std::vector<uint8_t>& bytes, int w = 200, int h = 100, uint32_t ground = kWhite) {
  Bitmap b = Blank(w, h, ground);
  EXPECT_TRUE(plat::PlayMetafile(bytes, b, CRect{0, 0, w, h}, nullptr));
  return b;
}

TEST(Metafile, HeaderOfEmfAndOfWmfWithAndWithoutThePlaceableBox) {
  plat::MetafileHeader h;
  ASSERT_TRUE(plat::ReadMetafileHeader(Emf200x100().Bytes(), h));
  EXPECT_TRUE(h.enhanced);
  ExpectBox(h.frame, CRect{0, 0, 2000, 1000});
  EXPECT_EQ(h.deviceWidth, 1000);
  EXPECT_EQ(h.mmHeight, 50);
  // The placeable box: 2 x 1 inches at 1,440 units an inch.
  ASSERT_TRUE(plat::ReadMetafileHeader(WmfBuilder(true, CRect{0, 0, 2880, 1440}, 1440).Bytes(), h));
  EXPECT_FALSE(h.enhanced);
  ExpectBox(h.frame, CRect{0, 0, 5080, 2540});
  // Without it, the first window extent in reference pixels.
  const auto plain = WmfBuilder(false, {}, 0).Record(META_SETWINDOWEXT, {300, 400}).Bytes();
  ASSERT_TRUE(plat::ReadMetafileHeader(plain, h));
  EXPECT_EQ(h.deviceWidth, plat::kReferenceWidthPx);
  EXPECT_NEAR(h.frame.right, 400 * 100.0 * plat::kReferenceWidthMm / plat::kReferenceWidthPx, 1);
  EXPECT_NEAR(h.frame.bottom, 300 * 100.0 * plat::kReferenceHeightMm / plat::kReferenceHeightPx, 1);
  EXPECT_FALSE(plat::ReadMetafileHeader(std::vector<uint8_t>(100, 0x41), h));
}

// One rectangle in logical units under each map mode, with where it must land.
TEST(Metafile, MapModesPlaceARectangle) {
  struct Case {
    const char* name;
    std::vector<std::vector<int32_t>> setup;  // records: type, then fields
    int32_t l, t, r, b;
    CRect want;
  };
  const std::vector<Case> cases = {
      {"MM_TEXT: device pixels", {{EMR_SETMAPMODE, 1}}, 20, 10, 60, 40, {20, 10, 59, 39}},
      {"MM_HIMETRIC: 0.01 mm, y up", {{EMR_SETMAPMODE, 3}}, 200, -100, 600, -400, {20, 10, 59, 39}},
      {"MM_LOMETRIC: 0.1 mm, y up", {{EMR_SETMAPMODE, 2}}, 20, -10, 60, -40, {20, 10, 59, 39}},
      {"MM_ANISOTROPIC: window 100 on viewport 50",
       {{EMR_SETMAPMODE, 8}, {EMR_SETWINDOWEXTEX, 100, 100}, {EMR_SETVIEWPORTEXTEX, 50, 25}},
       40, 40, 120, 160, {20, 10, 59, 39}},
      {"MM_ISOTROPIC: the smaller scale on both axes",
       {{EMR_SETMAPMODE, 7}, {EMR_SETWINDOWEXTEX, 100, 100}, {EMR_SETVIEWPORTEXTEX, 50, 200}},
       40, 20, 120, 80, {20, 10, 59, 39}},
      {"window origin moves the picture", {{EMR_SETWINDOWORGEX, -10, -5}}, 10, 5, 50, 35, {20, 10, 59, 39}},
      {"world transform scales by 2", {{EMR_SETWORLDTRANSFORM, 0x40000000, 0, 0, 0x40000000, 0, 0}},
       10, 5, 30, 20, {20, 10, 59, 39}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmfBuilder e = Emf200x100();
    for (const auto& r : c.setup) {
      std::vector<uint8_t> body;
      for (size_t i = 1; i < r.size(); ++i) metatest::Put32(body, static_cast<uint32_t>(r[i]));
      e.Raw(static_cast<uint32_t>(r[0]), body);
    }
    RedBrush(e).Record(EMR_RECTANGLE, {c.l, c.t, c.r, c.b});
    ExpectBox(BoxOf(Play(e.Bytes()), kRed), c.want);
  }
}

TEST(Metafile, FrameIsStretchedOntoTheTarget) {
  EmfBuilder e = Emf200x100();
  RedBrush(e).Record(EMR_RECTANGLE, {0, 0, 100, 50});
  ExpectBox(BoxOf(Play(e.Bytes(), 400, 200), kRed), CRect{0, 0, 199, 99});
}

TEST(Metafile, SaveDcAndRestoreDcKeepTheSelectedBrush) {
  EmfBuilder e = Emf200x100();
  RedBrush(e)
      .Record(EMR_SAVEDC, {})
      .Record(EMR_CREATEBRUSH, {2, 0, kBlueRef, 0})
      .Record(EMR_SELECTOBJECT, {2})
      .Record(EMR_RECTANGLE, {0, 0, 10, 10})
      .Record(EMR_RESTOREDC, {-1})
      .Record(EMR_RECTANGLE, {20, 0, 30, 10})
      .Record(EMR_RESTOREDC, {-5});  // nothing saved that deep: ignored
  const Bitmap b = Play(e.Bytes());
  EXPECT_EQ(b.At(5, 5), kBlue);
  EXPECT_EQ(b.At(25, 5), kRed);
}

TEST(Metafile, ShapesPensAndPaths) {
  EmfBuilder e = Emf200x100();
  RedBrush(e)
      .Record(EMR_ELLIPSE, {10, 10, 50, 50})
      .Record(EMR_CREATEPEN, {2, 0, 5, 0, kGreenRef})  // 5 pixels wide
      .Record(EMR_SELECTOBJECT, {2})
      .Record(EMR_SELECTOBJECT, {kNullBrush})
      .Record(EMR_RECTANGLE, {100, 20, 180, 80})
      .Record(EMR_CREATEBRUSH, {3, 0, kBlueRef, 0})
      .Record(EMR_SELECTOBJECT, {3})
      .Record(EMR_SELECTOBJECT, {kNullPen})
      .Record(EMR_BEGINPATH, {})
      .Record(EMR_POLYLINE16, {0, 0, 0, 0, 3, 60 | 60 << 16, 90 | 60 << 16, 75 | 90 << 16})
      .Record(EMR_ENDPATH, {})
      .Record(EMR_FILLPATH, {0, 0, 0, 0});
  const Bitmap b = Play(e.Bytes());
  ExpectBox(BoxOf(b, kRed), CRect{10, 10, 49, 49});
  // The wide pen straddles the outline: two or three pixels each side.
  const CRect green = BoxOf(b, kGreen);
  EXPECT_NEAR(green.left, 98, 1);
  EXPECT_NEAR(green.right, 182, 1);
  EXPECT_EQ(b.At(140, 50), kWhite);  // a hollow brush leaves the inside
  const CRect blue = BoxOf(b, kBlue);
  EXPECT_NEAR(blue.left, 60, 1);
  EXPECT_NEAR(blue.right, 90, 1);
  EXPECT_NEAR(blue.bottom, 89, 2);  // pixel centres inside the apex
}

TEST(Metafile, StretchDibitsScalesTheDibTopRowFirst) {
  // 2 x 2: red, green over blue, white; drawn 40 x 20.
  const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const Bitmap b = Play(Emf200x100().StretchDib(10, 10, 40, 20, 2, 2, rgb).Bytes(), 200, 100, kGrey);
  ExpectBox(BoxOf(b, kRed), CRect{10, 10, 29, 19});
  ExpectBox(BoxOf(b, kGreen), CRect{30, 10, 49, 19});
  ExpectBox(BoxOf(b, kBlue), CRect{10, 20, 29, 29});
  ExpectBox(BoxOf(b, kWhite), CRect{30, 20, 49, 29});
}

TEST(Metafile, TextStandsOnItsBaseline) {
  std::vector<uint8_t> font;
  for (const int32_t v : {1, -40, 0, 0, 0, 400}) metatest::Put32(font, static_cast<uint32_t>(v));
  for (int i = 0; i < 8 + 64; ++i) font.push_back(0);
  EmfBuilder e = Emf200x100();
  e.Raw(EMR_EXTCREATEFONTINDIRECTW, font)
      .Record(EMR_SELECTOBJECT, {1})
      .Record(EMR_SETTEXTALIGN, {24})  // TA_BASELINE
      .Record(EMR_SETBKMODE, {1})
      .Record(EMR_SETTEXTCOLOR, {kBlueRef})
      .TextW(20, 70, u"HH");
  Bitmap b = Blank(200, 100, kWhite);
  plat::TextPainter painter;
  ASSERT_TRUE(plat::PlayMetafile(e.Bytes(), b, CRect{0, 0, 200, 100}, &painter));
  const CRect ink = BoxOf(b, kBlue);
  ASSERT_LT(ink.left, INT_MAX) << "no text drawn";
  EXPECT_NEAR(ink.bottom, 69, 3);                 // capitals end on the baseline
  EXPECT_NEAR(70 - ink.top, 40 * 0.73, 40 * 0.1);  // cap height of a 40-pixel em
  EXPECT_NEAR(ink.left, 22, 3);
  // Advances of 60 logical units put the second H 60 pixels right of the first.
  e = Emf200x100();
  e.Raw(EMR_EXTCREATEFONTINDIRECTW, font).Record(EMR_SELECTOBJECT, {1}).Record(EMR_SETTEXTCOLOR, {kBlueRef});
  e.TextW(20, 10, u"HH", {60, 60});
  b = Blank(200, 100, kWhite);
  plat::PlayMetafile(e.Bytes(), b, CRect{0, 0, 200, 100}, &painter);
  const auto columnHasInk = [&](int x) {
    for (int y = 0; y < b.height; ++y) {
      if (b.At(x, y) == kBlue) return true;
    }
    return false;
  };
  int first = 0;
  while (first < b.width && !columnHasInk(first)) ++first;
  int second = first + 40;
  while (second < b.width && !columnHasInk(second)) ++second;
  EXPECT_EQ(second - first, 60);
}

// Fault: the clip records were skipped, so a picture drew outside its clip. Each
// case clips a red rectangle over the whole picture and probes pixels in and out,
// as the clip records combine (a region's own RGN_COPY, the meta region, SaveDC).
TEST(Metafile, ClipRecordsWereIgnoredFault) {
  struct Probe {
    int x, y;
    bool red;
  };
  struct Case {
    const char* name;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> records;
    std::vector<Probe> probes;
  };
  const auto fields = [](std::initializer_list<int32_t> values) {
    std::vector<uint8_t> body;
    for (const int32_t v : values) metatest::Put32(body, static_cast<uint32_t>(v));
    return body;
  };
  using Record = std::pair<uint32_t, std::vector<uint8_t>>;
  const Record inner{EMR_INTERSECTCLIPRECT, fields({20, 20, 120, 80})};
  const auto region = [](int mode, const std::vector<CRect>& rects) {
    return Record{EMR_EXTSELECTCLIPRGN, ClipRegionBody(mode, rects)};
  };
  const CRect band{60, 10, 190, 50};
  const std::vector<Case> cases = {
      {"IntersectClipRect", {{EMR_INTERSECTCLIPRECT, fields({50, 25, 150, 75})}},
       {{50, 25, true}, {149, 74, true}, {49, 50, false}, {150, 50, false}, {100, 24, false}, {100, 75, false}}},
      {"ExcludeClipRect with no clip: the picture less the rectangle",
       {{EMR_EXCLUDECLIPRECT, fields({50, 25, 150, 75})}},
       {{49, 50, true}, {150, 50, true}, {100, 24, true}, {50, 25, false}, {149, 74, false}}},
      {"RestoreDC gives the clip back", {{EMR_SAVEDC, {}}, inner, {EMR_RESTOREDC, fields({-1})}},
       {{10, 10, true}, {190, 90, true}}},
      {"region RGN_COPY of two rectangles", {inner, region(5, {{10, 10, 40, 40}, {150, 50, 190, 90}})},
       {{10, 10, true}, {170, 70, true}, {60, 50, false}, {45, 45, false}}},
      {"region RGN_COPY without data ends the clipping",
       {inner, {EMR_EXTSELECTCLIPRGN, ClipRegionBody(5, {}, false)}}, {{5, 5, true}, {195, 95, true}}},
      {"region RGN_COPY of no rectangles: nothing", {region(5, {})}, {{100, 50, false}}},
      {"region RGN_OR", {inner, region(2, {band})},
       {{30, 70, true}, {150, 30, true}, {30, 15, false}, {150, 70, false}}},
      {"region RGN_XOR", {inner, region(3, {band})},
       {{30, 70, true}, {150, 30, true}, {80, 30, false}, {150, 70, false}}},
      {"region RGN_AND", {inner, region(1, {band})}, {{80, 30, true}, {30, 70, false}, {150, 30, false}}},
      {"region RGN_DIFF", {inner, region(4, {band})}, {{30, 70, true}, {80, 30, false}, {150, 30, false}}},
      {"SelectClipPath: an ellipse",
       {{EMR_BEGINPATH, {}}, {EMR_ELLIPSE, fields({30, 10, 170, 90})}, {EMR_ENDPATH, {}},
        {EMR_SELECTCLIPPATH, fields({5})}},
       {{100, 50, true}, {35, 50, true}, {32, 12, false}, {168, 88, false}}},
      {"OffsetClipRgn moves the clip", {inner, {EMR_OFFSETCLIPRGN, fields({40, 10})}},
       {{60, 30, true}, {159, 89, true}, {30, 50, false}, {165, 50, false}}},
      {"SetMetaRgn: later clips stay inside it",
       {{EMR_INTERSECTCLIPRECT, fields({0, 0, 100, 100})}, {EMR_SETMETARGN, {}}, region(5, {{50, 0, 200, 100}})},
       {{75, 50, true}, {25, 50, false}, {150, 50, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmfBuilder e = Emf200x100();
    RedBrush(e);
    for (const auto& [type, body] : c.records) e.Raw(type, body);
    e.Record(EMR_RECTANGLE, {0, 0, 200, 100});
    const Bitmap b = Play(e.Bytes());
    for (const Probe& p : c.probes) EXPECT_EQ(b.At(p.x, p.y) == kRed, p.red) << p.x << "," << p.y;
  }
  // WMF: the clip rectangles (bottom, right, top, left) and the offset (y, x).
  const auto wmf = [](std::initializer_list<std::pair<uint16_t, std::initializer_list<int16_t>>> clips) {
    WmfBuilder w(true, CRect{0, 0, 200, 100}, 96);
    w.Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0}).Record(META_SELECTOBJECT, {0});
    w.Record(META_CREATEPENINDIRECT, {5, 0, 0, 0, 0}).Record(META_SELECTOBJECT, {1});
    for (const auto& [function, words] : clips) w.Record(function, words);
    return Play(w.Record(META_RECTANGLE, {100, 200, 0, 0}).Bytes());
  };
  const Bitmap cut = wmf({{META_INTERSECTCLIPRECT, {75, 150, 25, 50}}, {META_OFFSETCLIPRGN, {10, 20}}});
  EXPECT_EQ(cut.At(100, 60), kRed);
  EXPECT_EQ(cut.At(60, 30), kWhite);
  const Bitmap holed = wmf({{META_EXCLUDECLIPRECT, {75, 150, 25, 50}}});
  EXPECT_EQ(holed.At(10, 10), kRed);
  EXPECT_EQ(holed.At(100, 50), kWhite);
}

// The ink of text drawn in blue onto a white 200 x 100 picture.
CRect TextInk(EmfBuilder& e, plat::TextPainter& painter) {
  Bitmap b = Blank(200, 100, kWhite);
  EXPECT_TRUE(plat::PlayMetafile(e.Bytes(), b, CRect{0, 0, 200, 100}, &painter));
  return BoxOf(b, kBlue);
}

// Fault: the font's escapement was ignored (every text lay flat) and glyph-index
// text was not drawn. A 90-degree escapement stands the text up from its
// reference point; indices of the face's glyphs draw what the characters draw,
// and indices meant for a face that is not here draw nothing.
TEST(Metafile, TextEscapementAndGlyphIndicesWereIgnoredFault) {
  plat::TextPainter painter;
  const auto text = [&](int escapement, const std::u16string& face, const std::u16string& codes, uint32_t options) {
    EmfBuilder e = Emf200x100();
    e.Font(1, -40, 400, escapement, face).Record(EMR_SELECTOBJECT, {1}).Record(EMR_SETTEXTALIGN, {24});
    e.Record(EMR_SETBKMODE, {1}).Record(EMR_SETTEXTCOLOR, {kBlueRef}).TextW(100, 90, codes, {}, options);
    return TextInk(e, painter);
  };
  const CRect flat = text(0, u"IPAGothic", u"HH", 0);
  const CRect up = text(900, u"IPAGothic", u"HH", 0);
  ASSERT_LT(up.left, INT_MAX) << "no text drawn";
  // Turned a quarter counter-clockwise about (100, 90): the width becomes the height.
  EXPECT_NEAR(up.bottom - up.top, flat.right - flat.left, 2);
  EXPECT_NEAR(up.right - up.left, flat.bottom - flat.top, 2);
  EXPECT_LE(up.right, 100);
  EXPECT_NEAR(up.bottom, 90 - (flat.left - 100), 2);

  SKIP_WITHOUT_PROGRAM("fc-match");
  const plat::FontFunctions* f = plat::Fonts();
  ASSERT_NE(f, nullptr);
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(f->FT_Init_FreeType(&library), 0);
  const std::string file = testenv::Shell("fc-match -f '%{file}' IPAGothic");
  ASSERT_EQ(f->FT_New_Face(library, file.c_str(), 0, &face), 0) << file;
  const auto h = static_cast<char16_t>(f->FT_Get_Char_Index(face, 'H'));
  f->FT_Done_Face(face);
  f->FT_Done_FreeType(library);
  constexpr uint32_t kGlyphIndex = 0x10;
  const CRect glyphs = text(0, u"IPAGothic", {h, h}, kGlyphIndex);
  ExpectBox(glyphs, flat);
  EXPECT_EQ(text(0, u"NoSuchFaceHere", {h, h}, kGlyphIndex).right, -1);
}

TEST(Metafile, WmfPlaceableBoxAndWindowMapOntoTheTarget) {
  // Box 0..1440 x 0..720; the rectangle covers its left half.
  const auto bytes = WmfBuilder(true, CRect{0, 0, 1440, 720}, 1440)
                         .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0})
                         .Record(META_SELECTOBJECT, {0})
                         .Record(META_CREATEPENINDIRECT, {5, 0, 0, 0, 0})
                         .Record(META_SELECTOBJECT, {1})
                         .Record(META_RECTANGLE, {720, 720, 0, 0})
                         .Bytes();
  ExpectBox(BoxOf(Play(bytes, 100, 50), kRed), CRect{0, 0, 49, 49});
  // A window set by the records takes over the box.
  const auto windowed = WmfBuilder(true, CRect{0, 0, 1440, 720}, 1440)
                            .Record(META_SETWINDOWORG, {0, 0})
                            .Record(META_SETWINDOWEXT, {100, 100})
                            .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0})
                            .Record(META_SELECTOBJECT, {0})
                            .Record(META_CREATEPENINDIRECT, {5, 0, 0, 0, 0})
                            .Record(META_SELECTOBJECT, {1})
                            .Record(META_RECTANGLE, {100, 50, 0, 0})
                            .Bytes();
  ExpectBox(BoxOf(Play(windowed, 100, 50), kRed), CRect{0, 0, 49, 49});
}

TEST(Metafile, WmfObjectsTakeTheFirstFreeSlot) {
  const auto bytes = WmfBuilder(true, CRect{0, 0, 100, 100}, 96)
                         .Record(META_CREATEPENINDIRECT, {5, 0, 0, 0, 0})                               // slot 0
                         .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0})   // 1
                         .Record(META_CREATEBRUSHINDIRECT, {0, 0, static_cast<int16_t>(0xFF), 0})     // 2
                         .Record(META_DELETEOBJECT, {1})
                         .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(0xFF00), 0, 0})  // 1 again
                         .Record(META_SELECTOBJECT, {0})
                         .Record(META_SELECTOBJECT, {1})
                         .Record(META_RECTANGLE, {50, 50, 0, 0})
                         .Bytes();
  const Bitmap b = Play(bytes, 100, 100);
  ExpectBox(BoxOf(b, kGreen), CRect{0, 0, 49, 49});
}

// Fault: a record size that runs past the file, is below the record's header or is
// not a multiple of 4 must end the playback, not be trusted.
TEST(Metafile, LyingRecordSizeEndsThePlayback) {
  for (const int64_t size : {0L, 4L, 6L, 0x7FFFFFF0L, 0xFFFFFFFCL}) {
    SCOPED_TRACE(size);
    EmfBuilder e = Emf200x100();
    RedBrush(e).Record(EMR_RECTANGLE, {0, 0, 10, 10});
    std::vector<uint8_t> body;
    for (const int v : {20, 0, 30, 10}) metatest::Put32(body, static_cast<uint32_t>(v));
    e.Raw(EMR_RECTANGLE, body, size).Record(EMR_RECTANGLE, {40, 0, 50, 10});
    const Bitmap b = Play(e.Bytes());
    EXPECT_EQ(b.At(5, 5), kRed);
    EXPECT_EQ(b.At(45, 5), kWhite);
  }
  for (const int64_t words : {0L, 2L, 0x7FFFFFFFL}) {
    SCOPED_TRACE(words);
    const auto bytes = WmfBuilder(true, CRect{0, 0, 100, 100}, 96)
                           .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0})
                           .Record(META_SELECTOBJECT, {0})
                           .Raw(META_RECTANGLE, {10, 0, 10, 0, 0, 0, 0, 0}, words)
                           .Record(META_RECTANGLE, {50, 50, 0, 0})
                           .Bytes();
    EXPECT_EQ(BoxOf(Play(bytes, 100, 100), kRed).right, -1);
  }
}

// Fault: an object index past the table (or of the stock range's neighbours) is
// ignored; the brush selected before stays.
TEST(Metafile, ObjectIndexPastTheTableIsIgnored) {
  EmfBuilder e = Emf200x100(4);
  RedBrush(e)
      .Record(EMR_CREATEBRUSH, {70000, 0, kBlueRef, 0})
      .Record(EMR_SELECTOBJECT, {70000})
      .Record(EMR_CREATEBRUSH, {4, 0, kBlueRef, 0})
      .Record(EMR_SELECTOBJECT, {4})
      .Record(EMR_DELETEOBJECT, {-1})
      .Record(EMR_SELECTOBJECT, {static_cast<int32_t>(0x800000FF)})
      .Record(EMR_RECTANGLE, {0, 0, 10, 10});
  EXPECT_EQ(Play(e.Bytes()).At(5, 5), kRed);
  const auto wmf = WmfBuilder(true, CRect{0, 0, 100, 100}, 96, 1)
                       .Record(META_CREATEBRUSHINDIRECT, {0, static_cast<int16_t>(kRedRef), 0, 0})
                       .Record(META_CREATEBRUSHINDIRECT, {0, 0, static_cast<int16_t>(0xFF), 0})  // no free slot
                       .Record(META_SELECTOBJECT, {0})
                       .Record(META_SELECTOBJECT, {1})
                       .Record(META_SELECTOBJECT, {-1})
                       .Record(META_RECTANGLE, {50, 50, 0, 0})
                       .Bytes();
  EXPECT_EQ(Play(wmf, 100, 100).At(10, 10), kRed);
}

// Fault: counts far above what the record holds are cut to the record.
TEST(Metafile, HugeCountsAreBoundedByTheRecord) {
  EmfBuilder e = Emf200x100();
  RedBrush(e)
      .Record(EMR_POLYGON, {0, 0, 0, 0, 0x7FFFFFFF, 10, 10, 60, 10, 10, 60})
      .Record(EMR_POLYPOLYGON, {0, 0, 0, 0, -1, -1, 3, 100, 10, 150, 10, 100, 60});
  const Bitmap b = Play(e.Bytes());
  EXPECT_EQ(b.At(20, 20), kRed);
  EXPECT_EQ(b.At(50, 50), kWhite);
}

// Fault: a DIB whose header promises more rows than the record carries is not drawn
// (and nothing of its size is allocated); offsets outside the record read nothing.
TEST(Metafile, DibLargerThanItsBytesIsNotDrawn) {
  const std::vector<uint8_t> rgb(12, 0);
  std::vector<uint8_t> bytes = Emf200x100().StretchDib(0, 0, 50, 50, 2, 2, rgb).Bytes();
  // Width and height of the DIB inside the record (record at 88, its DIB header at 80).
  for (const size_t at : {88u + 80u + 4u, 88u + 80u + 8u}) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = i == 3 ? 0x40 : 0;
  }
  EXPECT_EQ(BoxOf(Play(bytes), 0).right, -1);
  std::vector<uint8_t> offsets = Emf200x100().StretchDib(0, 0, 50, 50, 2, 2, rgb).Bytes();
  offsets[88 + 48] = 0xF0;  // offBmi past the record
  EXPECT_EQ(BoxOf(Play(offsets), 0).right, -1);
}

TEST(Metafile, NonFiniteTransformsAndHugeCoordinatesAreHarmless) {
  EmfBuilder e = Emf200x100();
  RedBrush(e)
      .Record(EMR_SETWORLDTRANSFORM, {0x7FC00000, 0, 0, 0x7F800000, 0, 0})  // NaN, infinity: refused
      .Record(EMR_RECTANGLE, {0, 0, 10, 10})
      .Record(EMR_ELLIPSE, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX})
      .Record(EMR_SETMAPMODE, {8})
      .Record(EMR_SETWINDOWEXTEX, {1, 1})
      .Record(EMR_SETVIEWPORTEXTEX, {INT32_MAX, INT32_MAX})
      .Record(EMR_RECTANGLE, {-5, -5, 5, 5});
  EXPECT_EQ(Play(e.Bytes()).At(5, 5), kRed);
}

// The Office files of the shared test data: every one opens, and draws onto a grey
// ground (one of them draws only white shapes); those with text or a bitmap show it.
TEST(Metafile, OfficeFilesOpenAndDraw) {
  const std::string folder = testenv::SharedTestData("metafile");
  SKIP_WITHOUT_SHARED_DATA(folder);
  struct Expect {
    const char* name;
    int minColours;  // distinct colours drawn
  };
  const std::vector<Expect> files = {
      {"poi-61338.wmf", 2},           {"poi-63327.emf", 2},      {"poi-64716_image1.wmf", 2},
      {"poi-SimpleEMF_windows.emf", 20}, {"poi-empty-polygon-close.wmf", 2}, {"poi-santa.wmf", 5},
      {"poi-vector_image.emf", 3},    {"poi-wrench.emf", 5},
  };
  plat::TextPainter painter;
  for (const Expect& f : files) {
    SCOPED_TRACE(f.name);
    const std::string bytes = testenv::ReadHostFile(folder + "/" + f.name);
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());
    plat::MetafileHeader h;
    ASSERT_TRUE(plat::ReadMetafileHeader(data, h));
    Bitmap b = Blank(300, 300, kGrey);
    ASSERT_TRUE(plat::PlayMetafile(data, b, CRect{0, 0, 300, 300}, &painter));
    const std::set<uint32_t> colours(b.pixels.begin(), b.pixels.end());
    const auto drawn = std::count_if(b.pixels.begin(), b.pixels.end(), [](uint32_t p) { return p != kGrey; });
    EXPECT_GE(static_cast<int>(colours.size()), f.minColours);
    EXPECT_GT(drawn, 300 * 3) << "almost nothing drawn";
  }
}

}  // namespace
