// Hostile and broken PDFs: each must end, stay inside its output and show what can
// be shown (or the system's own message), never crash or hang.
#include <random>

#include "PdfTestSupport.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"

namespace pdftest {
namespace {

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const std::string kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /LastChar 126 >>";
const std::string kHello = "BT /F1 12 Tf 72 700 Td (Hello hostile world) Tj ET";

std::string Page(const std::string& extra = "") {
  return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> " + extra +
         ">> /Contents 4 0 R >>";
}

std::string OnePage(const std::string& content, const std::string& contentEntries = "", const std::string& resources = "") {
  return MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page(resources), Stream(contentEntries, content), kFont});
}

// Counts how often text occurs.
int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

std::string Repeat(const std::string& unit, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += unit;
  return s;
}

class PdfHostile : public PdfTest {};

TEST_F(PdfHostile, BrokenStructuresStillShowTheirText) {
  const struct {
    const char* name;
    std::string pdf;
    const char* shown;
    int times;
  } cases[] = {
      {"plain", OnePage(kHello), "Hello hostile world", 1},
      // ASCII85 data: a long run of z (four zero bytes each), then the text.
      {"ascii85 z run", OnePage(std::string(20000, 'z') + "6<#'\\7PQ#?1*BP.+?)%u2_Zp.<+I+\"87cURD^cf.C*5rE+9~>", "/Filter /ASCII85Decode"),
       "Hello", 1},
      // The page tree points back at itself.
      {"kids cycle",
       MakePdf({kCatalog, "<< /Type /Pages /Kids [6 0 R 3 0 R 2 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont,
                "<< /Type /Pages /Kids [2 0 R 6 0 R] /Count 0 >>"}),
       "Hello hostile world", 1},
      // A form that draws itself.
      {"self-drawing form",
       MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page("/XObject << /Fm0 6 0 R >> "),
                Stream("", "q /Fm0 Do Q " + kHello), kFont,
                Stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /Fm0 6 0 R >> /Font << /F1 5 0 R >> >>",
                       "/Fm0 Do BT /F1 12 Tf 72 600 Td (Inside) Tj ET")}),
       "Inside", 1},
      // References to objects that do not exist.
      {"dangling", MakePdf({kCatalog, "<< /Type /Pages /Kids [77 0 R 3 0 R 0 0 R] /Count 2 >>", Page(), Stream("", kHello), kFont}),
       "Hello hostile world", 1},
      // A root that is not there, or negative: the walk starts at the file's start.
      {"root unknown", MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont}, 88),
       "Hello hostile world", 1},
      {"root negative", MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont}, -5),
       "Hello hostile world", 1},
      // Restores without saves, matrices far out of range, a zero font size.
      {"Q without q", OnePage("Q Q Q " + kHello + " Q"), "Hello hostile world", 1},
      {"huge matrix", OnePage("1e300 0 0 1e300 9999999999 9999999999 cm 99999999999 0 0 -99999999 0 0 Tm " + kHello), "Hello", 1},
      {"unclosed array", OnePage("BT /F1 12 Tf 72 700 Td [(Hello) -300 (hostile"), "Hello hostile", 1},
      // Flate data that is not Flate; an object stream that lies about its header.
      {"bad flate", OnePage("x\x9C\xFF\xFF\xFF garbage", "/Filter /FlateDecode"), "", 0},
      {"lying object stream",
       MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont,
                Stream("/Type /ObjStm /N 1000000 /First 99999999 /Filter /FlateDecode", Deflate("7 0 8 99999999999 << /A 1 >>"))}),
       "Hello hostile world", 1},
      // Stream keywords without an end, each once searched to the end of the file.
      {"stream keywords without end",
       MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R 6 0 R 6 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont,
                "<< /Type /Page >>" + Repeat("stream\n", 40000)}),
       "Hello hostile world", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = LoadBytes("hostile.pdf", c.pdf);
    EXPECT_LT(static_cast<int>(text.size()), doc_->m_nOutDataLimit);
    if (*c.shown) {
      EXPECT_EQ(Count(text, c.shown), c.times) << text;
    }
  }
}

TEST_F(PdfHostile, NothingToShowGivesTheMessage) {
  // A page with only graphics: the system's message, not an empty text.
  const std::string text = LoadBytes("empty.pdf", OnePage("0 0 m 100 100 l S"));
  EXPECT_EQ(text, std::string(StringUtf8(IDS_PDF_BEYOND_LIMITS)));
}

TEST_F(PdfHostile, WordGapOfZeroOrBelowNeverDivides) {
  for (int gap : {0, -2, -7}) {
    doc_->Convert().m_nPdfWordGap = gap;
    EXPECT_NE(LoadBytes("gap.pdf", OnePage(kHello)).find("Hello"), std::string::npos) << gap;
  }
}

TEST_F(PdfHostile, HugeImageIsRefusedWithTheNote) {
  const std::string pdf =
      MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page("/XObject << /Im1 6 0 R >> "),
               Stream("", "q 100 0 0 100 72 500 cm /Im1 Do Q " + kHello), kFont,
               Stream("/Type /XObject /Subtype /Image /Width 60000 /Height 60000 /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /FlateDecode",
                      Deflate(std::string(1000, '\x80')))});
  // In the text the picture is a tag; chosen, it is refused with the volume note.
  const std::string text = LoadBytes("huge.pdf", pdf);
  EXPECT_NE(text.find("[Im6]"), std::string::npos) << text;
  doc_->m_nSelectedItem = 6;
  doc_->m_nSelectedItemView = 'a';
  const std::string chosen = LoadBytes("huge.pdf", pdf);
  EXPECT_NE(chosen.find(StringUtf8(IDS_DISPLAY_VOLUME_OVER)), std::string::npos) << chosen;
  EXPECT_LT(doc_->m_nSelectedItem, 100000);
  // Raw samples without a filter claim a size their few bytes do not have.
  const std::string raw =
      MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page(), Stream("", kHello), kFont,
               Stream("/Type /XObject /Subtype /Image /Width 32000 /Height 99999 /BitsPerComponent 8 /ColorSpace /DeviceRGB", "abcdefghij")});
  doc_->m_nSelectedItem = 6;
  doc_->m_nSelectedItemView = 'a';
  const std::string refused = LoadBytes("raw.pdf", raw);
  EXPECT_NE(refused.find(StringUtf8(IDS_DISPLAY_VOLUME_OVER)), std::string::npos) << refused;
}

TEST_F(PdfHostile, FullCanvasEndsWithTheTableNote) {
  // Three pages on a canvas of two: the text placed so far and the suggestion.
  doc_->m_nTableRows = 620;
  std::vector<std::string> objects = {kCatalog, "<< /Type /Pages /Kids [3 0 R 6 0 R 7 0 R] /Count 3 >>", Page(), Stream("", kHello), kFont,
                                      Page(), Page()};
  const std::string text = LoadBytes("full.pdf", MakePdf(objects));
  EXPECT_GE(Count(text, "Hello hostile world"), 1);
  EXPECT_NE(text.find("(x100)"), std::string::npos) << text;
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(PdfHostile, OutputLimitEndsWithTheNote) {
  std::string content = "BT /F1 10 Tf ";
  for (int i = 0; i < 70; ++i) content += "1 0 0 1 20 " + std::to_string(780 - i * 10) + " Tm (" + std::string(90, 'x') + ") Tj ";
  content += "ET";
  std::vector<std::string> objects = {kCatalog, "", Page(), Stream("", content), kFont};
  std::string kids;
  for (int i = 0; i < 20; ++i) {
    objects.push_back(Page());
    kids += std::to_string(objects.size()) + " 0 R ";
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count 20 >>";
  doc_->m_nOutDataLimit = 40000;
  const std::string text = LoadBytes("long.pdf", MakePdf(objects));
  EXPECT_LE(static_cast<int>(text.size()), 40000);
  EXPECT_NE(text.find(StringUtf8(IDS_DISPLAY_VOLUME_OVER)), std::string::npos);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(PdfHostile, TruncatedAndFlippedFilesEnd) {
  const std::string good = testenv::ReadHostFile(testenv::DataPath("pdf/text-ja.pdf"));
  const std::string whole = LoadBytes("whole.pdf", good);
  std::mt19937 random(13);
  for (int i = 0; i < 40; ++i) {
    std::string bytes = good.substr(0, good.size() * static_cast<size_t>(i + 1) / 41);
    const std::string cut = LoadBytes("cut.pdf", bytes);
    EXPECT_LT(static_cast<int>(cut.size()), doc_->m_nOutDataLimit);
    bytes = good;
    for (int k = 0; k < 8; ++k) bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
    const std::string flipped = LoadBytes("flip.pdf", bytes);
    EXPECT_LT(static_cast<int>(flipped.size()), doc_->m_nOutDataLimit);
  }
  // Cut short of its cross-reference table, the file shows the same text.
  EXPECT_EQ(LoadBytes("cut.pdf", good.substr(0, good.rfind("xref"))), whole);
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfHostile, TableViewFormListsEachMove) {
  // Each move starts a line with the operator and the bytes before it; a move
  // before a number in parentheses stays on the line as a tab.
  doc_->m_nCsvMode = 2;
  const std::string text =
      LoadBytes("table.pdf", OnePage("BT /F1 12 Tf 72 700 Td (Hello) Tj 200 0 Td (12) Tj T* (World) Tj ET"));
  const std::vector<std::string> lines = [&] {
    std::vector<std::string> out;
    for (size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      out.push_back(text.substr(at, end - at));
    }
    return out;
  }();
  ASSERT_GE(lines.size(), 2u) << text;
  EXPECT_EQ(lines[0], "T /F1 12 Tf 72 700 Td:Hello\t12 ") << text;
  EXPECT_EQ(lines[1], "*                    :World ") << text;
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfHostile, FormTextStandsWhereItsDoDrewIt) {
  // The form's text at 700, moved by its /Matrix (-100) and the Do's cm (-300): 300.
  const std::string pdf =
      MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", Page("/XObject << /Fm0 6 0 R >> "),
               Stream("", kHello + " BT /F1 12 Tf 72 500 Td (Middle) Tj ET BT /F1 12 Tf 72 200 Td (Low) Tj ET q 1 0 0 1 0 -300 cm /Fm0 Do Q"),
               kFont,
               Stream("/Type /XObject /Subtype /Form /Matrix [1 0 0 1 0 -100] /BBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >>",
                      "BT /F1 12 Tf 72 700 Td (Inside) Tj ET")});
  EXPECT_EQ(Tokens(LoadBytes("form.pdf", pdf)), (std::vector<std::string>{"Hello", "hostile", "world", "Middle", "Inside", "Low"}));
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfHostile, EscStopsTheWalkWithWhatWasPlaced) {
  // Esc answered Yes: the pages after the stop are not walked; the first page stays.
  std::vector<std::string> objects = {kCatalog, "", Page(), Stream("", kHello), kFont};
  std::string kids = "3 0 R ";
  for (int i = 0; i < 20; ++i) {
    objects.push_back(Page() + std::string(600, ' '));
    kids += std::to_string(objects.size()) + " 0 R ";
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count 21 >>";
  const std::string pdf = MakePdf(objects);
  const int all = Count(LoadBytes("all.pdf", pdf), "Hello hostile world");
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  frame_->Ui().QueueAnswer(plat::IDYES);
  const int stopped = Count(LoadBytes("stop.pdf", pdf), "Hello hostile world");
  EXPECT_EQ(all, 21);
  EXPECT_GE(stopped, 1);
  EXPECT_LT(stopped, all);
  EXPECT_EQ(doc_->m_bUserAbort, 1);
}

}  // namespace
}  // namespace pdftest
