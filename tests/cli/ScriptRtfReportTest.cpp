// A report written by LibreOffice (English and Japanese paragraphs, a table and a
// picture), opened in the rich-text pane and written back by `print rtf`: LibreOffice
// reads the same words from both and the same picture, also after a table in it was
// converted (which streams the whole pane out and back in).
#include <gtest/gtest.h>


#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "cli/RoundTripCompare.h"
#include "support/TestEnv.h"

namespace {

// The report as LibreOffice's flat document (made an ODT first): a Latin text font and the Asian font
// IPAGothic, so its RTF carries Japanese runs in a double-byte font (\dbch\afN).
std::string ReportFodt(const std::string& pngBase64) {
  const std::string p = "<text:p text:style-name=\"P1\">";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
         "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" office:version=\"1.2\" "
         "office:mimetype=\"application/vnd.oasis.opendocument.text\">\n"
         "<office:font-face-decls><style:font-face style:name=\"IPAGothic\" svg:font-family=\"IPAGothic\"/>"
         "<style:font-face style:name=\"Liberation Serif\" svg:font-family=\"'Liberation Serif'\"/></office:font-face-decls>\n"
         "<office:automatic-styles><style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties "
         "style:font-name=\"Liberation Serif\" style:font-name-asian=\"IPAGothic\" style:language-asian=\"ja\" "
         "style:country-asian=\"JP\"/></style:style></office:automatic-styles>\n"
         "<office:body><office:text>\n" +
         p + "Quarterly report for the northern office</text:p>\n" + p +
         "売上は前年より増えました。東京と大阪の店舗が好調です。</text:p>\n"
         "<table:table table:name=\"T1\"><table:table-column table:number-columns-repeated=\"2\"/>\n"
         "<table:table-row><table:table-cell>" + p + "品名</text:p></table:table-cell><table:table-cell>" + p +
         "数量</text:p></table:table-cell></table:table-row>\n"
         "<table:table-row><table:table-cell>" + p + "りんご</text:p></table:table-cell><table:table-cell>" + p +
         "120</text:p></table:table-cell></table:table-row>\n</table:table>\n" + p +
         "<draw:frame draw:name=\"pic\" svg:width=\"2cm\" svg:height=\"1.5cm\" text:anchor-type=\"as-char\"><draw:image>"
         "<office:binary-data>" + pngBase64 + "</office:binary-data></draw:image></draw:frame></text:p>\n" + p +
         "来期も新しい商品を計画しています。</text:p>\n" + p + "The plan ends here.</text:p>\n"
         "</office:text></office:body></office:document>\n";
}

using clitest::Pictures;
using clitest::WordsKept;

class ScriptRtfReportTest : public clitest::ScriptDocTest {
 protected:
};

TEST_F(ScriptRtfReportTest, JapaneseWasGarbledAndThePictureDroppedFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("base64");
  const std::string png = dir_.HostPath("p.png");
  testenv::Shell("convert -size 40x30 gradient:red-blue " + testenv::Quote(png));
  const std::string base64 = testenv::Shell("base64 -w0 " + testenv::Quote(png));
  ASSERT_FALSE(base64.empty());
  testenv::WriteHostFile(dir_.HostPath("report.fodt"), ReportFodt(base64));
  // The report is an ODT, as a user keeps it, and its RTF LibreOffice's export of that.
  const std::string odt = testenv::LibreOfficeConvert(dir_, dir_.HostPath("report.fodt"), "odt", "odt");
  ASSERT_EQ(odt.substr(0, 2), "PK") << "soffice made no ODT";
  testenv::WriteHostFile(dir_.HostPath("report.odt"), odt);
  const std::string source = testenv::LibreOfficeConvert(dir_, dir_.HostPath("report.odt"), "rtf", "rtf");
  ASSERT_NE(source.find("\\dbch"), std::string::npos) << "soffice made no RTF with double-byte runs";
  testenv::WriteHostFile(dir_.HostPath("report.rtf"), source);

  // Written back as it was, and again after the table's lines became a tab-stop table.
  ASSERT_EQ(Run("open \"" + dir_.HostPath("report.rtf") +
                "\"\nprint rtf\ncaret 3 1 4 6\ncommand ID_TABLE_CONVERT_SELECTION ctrl\nwait 500\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  const std::string out = out_.str();
  const size_t second = out.find("{\\rtf1", 1);
  ASSERT_NE(second, std::string::npos);
  testenv::WriteHostFile(dir_.HostPath("back.rtf"), out.substr(0, second));
  testenv::WriteHostFile(dir_.HostPath("table.rtf"), out.substr(second));

  const std::string sourceText = testenv::LibreOfficeConvert(dir_, dir_.HostPath("report.rtf"), "txt:Text (encoded):UTF8", "txt");
  const std::vector<std::string> sourcePictures = Pictures(testenv::LibreOfficeConvert(dir_, dir_.HostPath("report.rtf"), "fodt", "fodt"));
  ASSERT_NE(sourceText.find("売上は前年より増えました"), std::string::npos) << sourceText;
  ASSERT_EQ(sourcePictures.size(), 1u);
  for (const char* name : {"back", "table"}) {
    const std::string host = dir_.HostPath(std::string(name) + ".rtf");
    const std::string text = testenv::LibreOfficeConvert(dir_, host, "txt:Text (encoded):UTF8", "txt");
    if (std::string(name) == "back") {  // the converted table adds its rule slots
      EXPECT_EQ(WordsKept(sourceText, text), 1.0) << name << ":\n" << text;
      EXPECT_EQ(WordsKept(text, sourceText), 1.0) << name << ":\n" << text;
    }
    EXPECT_NE(text.find("来期も新しい商品を計画しています。"), std::string::npos) << name << ":\n" << text;
    EXPECT_EQ(Pictures(testenv::LibreOfficeConvert(dir_, host, "fodt", "fodt")), sourcePictures) << name;
  }
}

}  // namespace
