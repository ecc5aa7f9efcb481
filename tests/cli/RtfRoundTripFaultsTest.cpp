// RTF that LibreOffice wrote from a page made here (HTML, ODT, UTF-8 text), opened by
// `pelnorix --script` and written back by `print rtf`, then read by LibreOffice
// again: every word both ways, the characters CP932 has no code for too (French,
// German, Chinese, Korean, an emoji), Japanese, and the pictures, however large,
// while the file fits the input volume; a picture past it is left out with a
// message that names the setting.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/RoundTripCompare.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;

// One line of each script the page holds: the words the round trip must keep.
const char* const kLines[] = {
    "French: café naïve crème brûlée garçon",
    "German: Straße Größe über Mädchen",
    "Chinese: 你好 中国 我们",
    "Korean: 안녕하세요 한국어",
    "Emoji: smile 😀 rocket 🚀",
    "Money: € 100",
    "Japanese: 日本語の文章です。",
};

std::string FlatDocument(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
         "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" office:version=\"1.2\" "
         "office:mimetype=\"application/vnd.oasis.opendocument.text\">\n"
         "<office:font-face-decls><style:font-face style:name=\"IPAGothic\" svg:font-family=\"IPAGothic\"/>"
         "</office:font-face-decls>\n"
         "<office:automatic-styles><style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties "
         "style:font-name-asian=\"IPAGothic\" style:language-asian=\"ja\" style:country-asian=\"JP\"/></style:style>"
         "</office:automatic-styles>\n<office:body><office:text>\n" +
         body + "</office:text></office:body></office:document>\n";
}

std::string Paragraph(const std::string& text) { return "<text:p text:style-name=\"P1\">" + text + "</text:p>\n"; }

std::string PictureParagraph(const std::string& pngBase64) {
  return Paragraph("<draw:frame draw:name=\"pic\" svg:width=\"3cm\" svg:height=\"3cm\" text:anchor-type=\"as-char\">"
                   "<draw:image><office:binary-data>" + pngBase64 + "</office:binary-data></draw:image></draw:frame>");
}

using clitest::Pictures;
using clitest::WordsKept;

class RtfRoundTripFaultsTest : public ::testing::Test {
 protected:
  using Run = testenv::ProgramRun;

  // `pelnorix [--set ...] --script` with `open FILE`, the statements given and `print rtf`.
  Run OpenAndPrintRtf(const std::string& settings, const std::string& rtfFile, const std::string& statements = "") {
    testenv::WriteHostFile(dir_.HostPath("s.script"), "open \"" + rtfFile + "\"\n" + statements + "print rtf\n");
    return testenv::RunProgram(dir_.Host(), dir_.HostPath("home"), settings + " --script s.script");
  }
  // LibreOffice's conversion of a file in the test's folder, kept there as `as`.
  std::string Convert(const std::string& name, const std::string& filter, const std::string& ext, const std::string& as,
                      const std::string& inFilter = "") {
    const std::string out = dir_.HostPath("out");
    testenv::Shell("rm -rf " + Quote(out) + " && soffice -env:UserInstallation=file://" + dir_.HostPath("profile") +
                   " --headless" + (inFilter.empty() ? "" : " --infilter=" + Quote(inFilter)) + " --convert-to " +
                   Quote(filter) + " --outdir " + Quote(out) + " " + Quote(dir_.HostPath(name)) + " >/dev/null 2>&1");
    const std::string made = testenv::ReadHostFile(out + "/" + name.substr(0, name.rfind('.')) + "." + ext);
    testenv::WriteHostFile(dir_.HostPath(as), made);
    return made;
  }
  // What LibreOffice reads of an RTF file, as UTF-8 text.
  std::string TextOf(const std::string& rtfName) {
    std::string text = Convert(rtfName, "txt:Text (encoded):UTF8", "txt", rtfName + ".txt");
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    return text;
  }
  std::string Png(const std::string& name, const std::string& imageMagickArgs) {
    testenv::Shell("convert " + imageMagickArgs + " " + Quote(dir_.HostPath(name)));
    return testenv::Shell("base64 -w0 " + Quote(dir_.HostPath(name)));
  }

  testenv::TempDir dir_;
};

TEST_F(RtfRoundTripFaultsTest, CharactersOutsideCp932BecameQuestionMarksFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("base64");
  std::string html = "<html><head><meta charset=\"utf-8\"></head><body>\n";
  std::string fodt, txt;
  for (const char* line : kLines) {
    html += "<p>" + std::string(line) + "</p>\n";
    fodt += Paragraph(line);
    txt += std::string(line) + "\n";
  }
  html += "<ul><li>bullet one</li><li>bullet two</li></ul></body></html>\n";
  const std::string picture = Png("small.png", "-size 40x30 gradient:red-blue");
  ASSERT_FALSE(picture.empty());
  testenv::WriteHostFile(dir_.HostPath("page.html"), html);
  testenv::WriteHostFile(dir_.HostPath("page.fodt"), FlatDocument(fodt + PictureParagraph(picture)));
  testenv::WriteHostFile(dir_.HostPath("page.txt"), txt);
  ASSERT_EQ(Convert("page.fodt", "odt", "odt", "page.odt").substr(0, 2), "PK") << "soffice made no ODT";

  struct Case {
    const char* page;     // the page LibreOffice writes as RTF
    const char* inFilter;
    size_t pictures;
  } cases[] = {{"page.html", "HTML (StarWriter)", 0}, {"page.odt", "", 1}, {"page.txt", "Text (encoded):UTF8", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const std::string source = Convert(c.page, "rtf", "rtf", "source.rtf", c.inFilter);
    ASSERT_NE(source.find("\\u233"), std::string::npos) << "soffice wrote no \\uN";
    const Run run = OpenAndPrintRtf("", dir_.HostPath("source.rtf"));
    ASSERT_EQ(run.status, 0) << run.err;
    testenv::WriteHostFile(dir_.HostPath("back.rtf"), run.out);

    const std::string sourceText = TextOf("source.rtf");
    const std::string backText = TextOf("back.rtf");
    for (const char* line : kLines) EXPECT_NE(sourceText.find(line), std::string::npos) << line << "\n" << sourceText;
    EXPECT_EQ(WordsKept(sourceText, backText), 1.0) << backText;
    EXPECT_EQ(WordsKept(backText, sourceText), 1.0) << backText;
    for (const char* line : kLines) EXPECT_NE(backText.find(line), std::string::npos) << line << "\n" << backText;
    EXPECT_EQ(backText.find('?'), std::string::npos) << backText;
    const std::vector<std::string> sourcePictures = Pictures(Convert("source.rtf", "fodt", "fodt", "source.fodt"));
    ASSERT_EQ(sourcePictures.size(), c.pictures);
    EXPECT_EQ(Pictures(Convert("back.rtf", "fodt", "fodt", "back.fodt")), sourcePictures);
  }
}

// The plain table conversion made its table from the lines' cell text, which is
// CP932: every character CP932 has no code for became '?' in the table. Each keeps
// its Unicode value through the conversion now, '|' lines and Tab lines alike.
TEST_F(RtfRoundTripFaultsTest, TableConversionTurnedCharactersOutsideCp932IntoQuestionMarksFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::vector<std::vector<std::string>> rows = {
      {"French", "café naïve", "crème"}, {"German", "Straße Größe", "über"}, {"Chinese", "你好", "中国"},
      {"Korean", "안녕하세요", "한국어"},  {"Emoji", "😀", "🚀 €"},           {"Japanese", "日本語", "表"},
  };
  for (const char* separator : {"|", "\t"}) {
    SCOPED_TRACE(*separator == '|' ? "'|' lines" : "Tab lines");
    std::string txt;
    for (const auto& row : rows) txt += row[0] + separator + row[1] + separator + row[2] + "\n";
    testenv::WriteHostFile(dir_.HostPath("rows.txt"), txt);
    const std::string source = Convert("rows.txt", "rtf", "rtf", "source.rtf", "Text (encoded):UTF8");
    ASSERT_NE(source.find("\\u233"), std::string::npos) << "soffice wrote no \\uN";
    const Run run = OpenAndPrintRtf("", dir_.HostPath("source.rtf"),
                                    "caret 1 1 " + std::to_string(rows.size()) + " 30\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\n");
    ASSERT_EQ(run.status, 0) << run.err;
    testenv::WriteHostFile(dir_.HostPath("back.rtf"), run.out);
    const std::string back = TextOf("back.rtf");
    for (const auto& row : rows) {
      for (const std::string& cell : row) {
        std::istringstream words(cell);
        for (std::string word; words >> word;) EXPECT_NE(back.find(word), std::string::npos) << word << "\n" << back;
      }
    }
    EXPECT_EQ(back.find('?'), std::string::npos) << back;
  }
}

// Text read from RTF, written back by `print rtf` and read again is the text shown,
// character for character: a Hebrew or Vietnamese byte became "?" (the decoder held it
// back unflushed), a Western byte in a charset-0 or \ansi run was taken for a CP932
// lead byte and dropped, and a group closed inside a group made a later \object or
// \pict keep the group raw with its text, which then doubled on each round. Where
// LibreOffice reads the source, its reading holds the same words.
TEST_F(RtfRoundTripFaultsTest, CharactersLostOrDoubledInReadingFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  struct Case {
    const char* fault;
    const char* rtf;
    const char* shown;      // the words the pane shows, as LibreOffice reads them back
    bool libreOfficeReads;  // LibreOffice's reading of the source holds them too
  } cases[] = {
      {"Hebrew (charset 177) became question marks", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset177 David;}}\\f0 \\'f9\\'ec\\'e5\\'ed\\par}", "שלום", true},
      {"Vietnamese (charset 163) became question marks", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset163 Times;}}\\f0 \\'d0\\'e2y\\par}", "Đây", true},
      {"a charset-0 font's byte was a CP932 lead byte", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset0 Arial;}}\\f0 caf\\'e9\\par}", "café", true},
      {"\\ansi text was read as CP932", "{\\rtf1\\ansi caf\\'e9 na\\'efve\\par}", "café naïve", true},
      {"an object after a closed group doubled its text", "{\\rtf1\\ansi before {{u}\\object} after\\par}", "before u after", false},
      {"a picture after a closed group doubled its text", "{\\rtf1\\ansi before {{`}\\pict} after\\par}", "before ` after", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    testenv::WriteHostFile(dir_.HostPath("in.rtf"), c.rtf);
    if (c.libreOfficeReads) {
      const std::string source = TextOf("in.rtf");
      EXPECT_NE(source.find(c.shown), std::string::npos) << source;
    }
    std::string rtf = "in.rtf";
    for (const char* round : {"once.rtf", "twice.rtf"}) {
      const Run run = OpenAndPrintRtf("", dir_.HostPath(rtf));
      ASSERT_EQ(run.status, 0) << run.err;
      testenv::WriteHostFile(dir_.HostPath(round), run.out);
      const std::string text = TextOf(round);
      EXPECT_EQ(text.substr(0, text.find_last_not_of("\r\n") + 1), c.shown) << round;
      rtf = round;
    }
  }
}

TEST_F(RtfRoundTripFaultsTest, PicturesOverEightMegabytesWereDroppedWithoutAMessageFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("base64");
  // A 4.6 MB PNG of noise (it does not compress), its RTF from LibreOffice about 28 MB.
  const std::string picture = Png("noise.png", "-size 1240x1240 xc: +noise Random -depth 8");
  ASSERT_GT(picture.size(), size_t{6000000});
  testenv::WriteHostFile(dir_.HostPath("big.fodt"),
                         FlatDocument(Paragraph("Before the picture") + PictureParagraph(picture) + Paragraph("After the picture")));
  ASSERT_EQ(Convert("big.fodt", "odt", "odt", "big.odt").substr(0, 2), "PK") << "soffice made no ODT";
  const std::string source = Convert("big.odt", "rtf", "rtf", "source.rtf");
  ASSERT_NE(source.find("\\pngblip"), std::string::npos) << "soffice wrote no PNG picture";
  const std::string sourceText = TextOf("source.rtf");
  const int64_t megabytes = (static_cast<int64_t>(source.size()) + (1 << 20) - 1) >> 20;

  struct Case {
    const char* settings;
    bool kept;
  } cases[] = {{"--set indata=64", true}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept ? "indata=64" : "the default input volume");
    const Run run = OpenAndPrintRtf(c.settings, dir_.HostPath("source.rtf"));
    ASSERT_EQ(run.status, 0) << run.err;
    testenv::WriteHostFile(dir_.HostPath("back.rtf"), run.out);
    const std::vector<std::string> pictures = Pictures(Convert("back.rtf", "fodt", "fodt", "back.fodt"));
    const std::string text = TextOf("back.rtf");
    if (c.kept) {
      EXPECT_EQ(pictures, std::vector<std::string>{picture});
      EXPECT_EQ(WordsKept(sourceText, text), 1.0) << text;
      EXPECT_EQ(WordsKept(text, sourceText), 1.0) << text;
      EXPECT_EQ(run.err.find("ファイル容量オーバー"), std::string::npos) << run.err;
      // Shown whole, so not marked as shown in part.
      EXPECT_EQ(run.err.find("部分表示"), std::string::npos) << run.err;
    } else {
      EXPECT_TRUE(pictures.empty());
      EXPECT_NE(text.find("Before the picture"), std::string::npos) << text;
      EXPECT_NE(run.err.find("ファイル容量オーバーです(>512KB)"), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("(indata=" + std::to_string(megabytes) + ")"), std::string::npos) << run.err;
    }
  }
}

}  // namespace
