// What a user reaches of a PDF from a script: a picture chosen by its tag in the
// text, and the source display's compact and table forms through the settings.
#include <gtest/gtest.h>

#include "app/FileKind.h"
#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "support/TestEnv.h"

namespace {

class PdfScriptTest : public clitest::ScriptDocTest {
 protected:
  int Run(const std::string& script) { return ScriptDocTest::Run(script, "pdf.script"); }
  std::string Fixture(const std::string& name) {
    WriteFile(name, testenv::ReadHostFile(testenv::DataPath("pdf/" + name)));
    return "\"" + dir_.HostPath(name) + "\"";
  }
};

TEST_F(PdfScriptTest, PictureChosenByItsTagIsShown) {
  const std::string pdf = Fixture("jpeg-image.pdf");
  // The tag on the first line, selected; the command shows its picture.
  EXPECT_EQ(Run("open " + pdf + "\nexpect text [Im7]\nkey Ctrl+Home Shift+End\ncommand ID_VIEW_SELECTED_PICTURE\nprint status\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_EQ(doc_->m_nFileKind, kKindJpeg);
  EXPECT_NE(out_.str().find("Jpeg"), std::string::npos) << out_.str();
  // The choice is given up: the next load shows the text again.
  EXPECT_EQ(doc_->m_nSelectedItem, 0);
  EXPECT_EQ(Run("open " + pdf + "\nexpect text [Im7]\n"), kScriptDone) << messages_.str();
  // Without a tag in the selection the command fails.
  EXPECT_EQ(Run("open " + Fixture("lzw.pdf") + "\ncommand ID_EDIT_SELECT_ALL\ncommand ID_VIEW_SELECTED_PICTURE\n"), kScriptFailed);
}

TEST_F(PdfScriptTest, SourceFormsFromTheSettings) {
  const std::string pdf = Fixture("lzw.pdf");
  // The compact form marks every object end with its position.
  EXPECT_EQ(Run("set dispform=2\nset compact=1\nopen " + pdf + "\nexpect text $$\n"), kScriptDone) << messages_.str();
  // The table form lists streams as text, not as bytes in hexadecimal.
  EXPECT_EQ(Run("set compact=0\nopen " + pdf + "\nexpect text \"42 54 \"\n"), kScriptDone) << messages_.str();
  EXPECT_EQ(Run("set tableform=2\nopen " + pdf + "\nexpect text \"BT /F1\"\n"), kScriptDone) << messages_.str();
}

}  // namespace
