// The source display of a PDF: the file as text, each stream shown decoded.
#include "PdfTestSupport.h"
#include "app/StringTable.h"

namespace pdftest {
namespace {

class PdfSourceView : public PdfTest {
 protected:
  void SetUp() override { doc_->m_nDisplayForm = 2; }
};

std::string Content(int bytes) {
  std::string s = "BT /F1 12 Tf 72 700 Td (";
  while (static_cast<int>(s.size()) < bytes - 8) s += "abcdefgh";
  s.resize(static_cast<size_t>(bytes - 8));
  return s + ") Tj ET\n";
}

TEST_F(PdfSourceView, StreamsShowDecodedAsHex) {
  const std::string pdf = MakePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>",
                                   Stream("/Filter /FlateDecode", Deflate(Content(1000)))});
  const std::string text = LoadBytes("source.pdf", pdf);
  const size_t at = text.find("stream  adrs = ");
  ASSERT_NE(at, std::string::npos) << text;
  // The first 256 decoded bytes in rows of 16, then the dotted line.
  EXPECT_NE(text.find("\r\n42 54 20 2f 46 31 20 31 32 20 54 66 20 37 32 20 \r\n", at), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n ................ \r\n", at), std::string::npos);
  EXPECT_EQ(text.find("61 62 63 64 65 66 67 68 61 62 63 64 65 66 67 68 61 62", text.find("................", at)), std::string::npos);
  EXPECT_EQ(text.rfind("%P%PDF-1.4", 0), 0u);
}

TEST_F(PdfSourceView, BytesOutsideStreams) {
  // A lone CR becomes CR LF; a control byte 0x7F; Flate that is no Flate is copied.
  const std::string pdf = "%PDF-1.4\r1 0 obj\x01<< /Filter /FlateDecode >>\nstream\nAB\x02\nendstream\nendobj\n";
  const std::string text = LoadBytes("bytes.pdf", pdf);
  EXPECT_NE(text.find("%PDF-1.4\r\n1 0 obj\x7F<<"), std::string::npos) << text;
  EXPECT_NE(text.find("AB\x7F"), std::string::npos) << text;
}

TEST_F(PdfSourceView, CompactFormMarksEveryObjectEnd) {
  doc_->m_bRepeat = 1;
  const std::string pdf = MakePdf({"<< /Type /Catalog >>", Stream("", Content(600))});
  const std::string text = LoadBytes("compact.pdf", pdf);
  EXPECT_NE(text.find("endobj\n$$               "), std::string::npos) << text;
  // Streams are not cut at 256 bytes in this form.
  EXPECT_EQ(text.find("................"), std::string::npos);
  EXPECT_NE(text.find("$~ "), std::string::npos);
}

TEST_F(PdfSourceView, OutputLimitEndsWithTheNote) {
  doc_->m_nOutDataLimit = 20000;
  std::vector<std::string> objects;
  for (int i = 0; i < 400; ++i) objects.push_back("<< /Type /Annot /Contents (" + std::string(100, 'q') + ") >>");
  const std::string text = LoadBytes("big.pdf", MakePdf(objects));
  EXPECT_LE(static_cast<int>(text.size()), 20000);
  EXPECT_NE(text.find(StringUtf8(IDS_DISPLAY_VOLUME_OVER)), std::string::npos);
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfSourceView, TextFormShowsStreamsAsText) {
  doc_->m_nCsvMode = 1;
  const std::string pdf = MakePdf({"<< /Type /Catalog >>", Stream("/Filter /FlateDecode", Deflate("BT (Hi) Tj ET\rq\x05Q"))});
  const std::string text = LoadBytes("text.pdf", pdf);
  // A lone CR as CR LF, a control byte moved up by 0xB1 (0x05 becomes 0xB6).
  EXPECT_NE(text.find("stream\r\nBT (Hi) Tj ET\r\nq\xEF\xBD\xB6Q\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace pdftest
