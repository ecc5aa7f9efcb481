// PDFs made by real tools (LibreOffice, Ghostscript, pango-view, qpdf) and the
// real-world files of the shared test data, compared page by page with pdftotext's
// reading of the same file: the words (single characters for Japanese) and their
// order, not the spacing.
#include <set>

#include "PdfTestSupport.h"
#include "app/StringTable.h"
#include "platform/text/CodePage.h"

namespace pdftest {
namespace {

using testenv::DataPath;
using testenv::Quote;
using testenv::ReadHostFile;
using testenv::Shell;

class PdfRealFiles : public PdfTest {
 protected:
  // Our pages against pdftotext's reading, page by page.
  void ExpectPagesMatch(const std::string& ours, const std::string& reference, double minimum) {
    const std::vector<std::string> mine = Pages(ours);
    const std::vector<std::string> theirs = ReferencePages(reference);
    ASSERT_EQ(mine.size(), theirs.size()) << ours;
    for (size_t i = 0; i < theirs.size(); ++i) {
      EXPECT_GE(OrderedRecall(Tokens(mine[i]), Tokens(theirs[i])), minimum) << "page " << i + 1 << "\n" << mine[i] << "---\n" << theirs[i];
    }
  }
  std::string Fixture(const std::string& name) { return Load(WriteFile(name, ReadHostFile(DataPath("pdf/" + name)))); }
};

TEST_F(PdfRealFiles, FixturesMatchPdftotextPageByPage) {
  // LibreOffice (TrueType subsets with ToUnicode maps), its Ghostscript rewrite and
  // pango-view (a CID font, Identity-H, beside a simple one), and an LZW content stream.
  for (const char* name : {"text-ja", "text-ja-gs", "cid-ja", "lzw"}) {
    SCOPED_TRACE(name);
    ExpectPagesMatch(Fixture(std::string(name) + ".pdf"), ReadHostFile(DataPath("pdf/" + std::string(name) + ".txt")), 0.97);
  }
}

TEST_F(PdfRealFiles, QpdfRewritesShowTheSameText) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  const std::string source = DataPath("pdf/text-ja.pdf");
  const std::string original = Fixture("text-ja.pdf");
  // Object streams and a cross-reference stream; uncompressed streams; the QDF form.
  for (const char* options : {"--object-streams=generate --stream-data=compress", "--stream-data=uncompress",
                              "--qdf --object-streams=disable", "--object-streams=generate --compress-streams=y --recompress-flate"}) {
    SCOPED_TRACE(options);
    const std::string out = dir_.HostPath("rewritten.pdf");
    Shell("qpdf " + std::string(options) + " " + Quote(source) + " " + Quote(out));
    EXPECT_EQ(Load(Win("rewritten.pdf")), original);
  }
}

TEST_F(PdfRealFiles, EncryptedFileShowsOnlyTheNote) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  const std::string out = dir_.HostPath("locked.pdf");
  Shell("qpdf --encrypt user owner 256 -- " + Quote(DataPath("pdf/text-ja.pdf")) + " " + Quote(out));
  const std::string text = Load(Win("locked.pdf"));
  EXPECT_EQ(text, std::string(StringUtf8(IDS_ENCRYPTED_DATA)) + "\r\n");
}

// Letters, digits and ideographs of a text, each once per occurrence.
std::multiset<std::string> Letters(const std::string& text) {
  std::multiset<std::string> letters;
  for (const std::string& token : Tokens(text)) {
    if (static_cast<unsigned char>(token[0]) < 0x80) {
      for (char c : token) letters.insert(std::string(1, c));
    } else if (token.rfind("\xE3\x80", 0) != 0 && token.rfind("\xEF\xBD", 0) != 0) {
      letters.insert(token);  // punctuation takes its vertical form
    }
  }
  return letters;
}

TEST_F(PdfRealFiles, RotatedPageRunsDownTheCanvas) {
  SKIP_WITHOUT_PROGRAM("qpdf");
  const std::string out = dir_.HostPath("turned.pdf");
  Shell("qpdf --rotate=+90:1 " + Quote(DataPath("pdf/text-ja.pdf")) + " " + Quote(out));
  const std::vector<std::string> turned = Pages(Load(Win("turned.pdf")));
  const std::vector<std::string> plain = Pages(Fixture("text-ja.pdf"));
  ASSERT_EQ(turned.size(), 2u);
  EXPECT_EQ(turned[1], plain[1]);
  // The turned page's lines run down the canvas, one character a line, and no
  // character is lost or written over another.
  const std::multiset<std::string> want = Letters(plain[0]), have = Letters(turned[0]);
  EXPECT_EQ(have, want);
}

TEST_F(PdfRealFiles, SharedFilesLoadAndShowPdftotextsText) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  const std::string folder = testenv::SharedTestData("pdf");
  SKIP_WITHOUT_SHARED_DATA(folder);
  // The share of pdftotext's words each file shows at least, in order (a form in
  // several columns reads across them, pdftotext down each).
  const std::vector<std::pair<std::string, double>> files = {
      {"pdfjs-160F-2019.pdf", 0.8},      {"pdfjs-canvas.pdf", 0.9},        {"pdfjs-issue1350.pdf", 0.9},
      {"pdfjs-issue15759.pdf", 0.9},     {"pdfjs-issue16063.pdf", 0.9},    {"pdfjs-issue17730.pdf", 0.9},
      {"pdfjs-issue8570.pdf", 0.8},      {"pdfjs-javauninstall-7r.pdf", 0.9}, {"pypdf-crazyones-pdfa.pdf", 0.9},
      {"pypdf-google-doc-document.pdf", 0.9},
  };
  for (const auto& [name, minimum] : files) {
    SCOPED_TRACE(name);
    const std::string host = folder + "/" + name;
    const std::string text = Load(Win(name).empty() ? "" : WriteFile(name, ReadHostFile(host)));
    ASSERT_FALSE(text.empty());
    EXPECT_LT(static_cast<int>(text.size()), doc_->m_nOutDataLimit);
    const std::string reference = Shell("pdftotext -layout " + Quote(host) + " -");
    const double recall = OrderedRecall(Tokens(text), Tokens(reference));
    EXPECT_GE(recall, minimum) << text;
    // The source display of the same file stays inside its volume.
    doc_->m_nDisplayForm = 2;
    const std::string source = Load(Win(name));
    doc_->m_nDisplayForm = 0;
    EXPECT_EQ(source.rfind("%P%PDF-", 0), 0u);
    EXPECT_LT(static_cast<int>(source.size()), doc_->m_nOutDataLimit);
  }
}

}  // namespace
}  // namespace pdftest
