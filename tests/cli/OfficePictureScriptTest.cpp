// A picture of a binary workbook or Word document chosen from a script as a user
// chooses it: the caret on its tag's line, then the selected-picture command.
#include <gtest/gtest.h>

#include "app/FileKind.h"
#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "support/TestEnv.h"

namespace {

class OfficePictureScriptTest : public clitest::ScriptDocTest {
 protected:
  int Run(const std::string& script) { return ScriptDocTest::Run(script, "office.script"); }
  std::string Fixture(const std::string& name) {
    WriteFile(name, testenv::ReadHostFile(testenv::DataPath("office/" + name)));
    return "\"" + dir_.HostPath(name) + "\"";
  }
};

// The command took only PDF tags: a workbook's or a Word document's picture could
// not be chosen.
TEST_F(OfficePictureScriptTest, PictureTagOfAWorkbookOrWordDocumentIsShown) {
  const struct {
    const char* file;
    const char* tag;
    int line, kind;
    const char* status;
  } cases[] = {
      {"shapes.xls", "[Image1]PNG", 3, kKindPng, "W8 x H8"},
      {"word-sample.doc", "[Image2]JPG", 9, kKindJpeg, "W16 x H16"},
  };
  for (const auto& c : cases) {
    out_.str("");
    const std::string file = Fixture(c.file);
    EXPECT_EQ(Run("open " + file + "\nexpect text " + c.tag + "\ncaret " + std::to_string(c.line) +
                  " 1\ncommand ID_VIEW_SELECTED_PICTURE\nprint status\n"),
              kScriptDone)
        << c.file << messages_.str();
    EXPECT_EQ(doc_->m_nFileKind, c.kind) << c.file;
    EXPECT_NE(out_.str().find(c.status), std::string::npos) << out_.str();
    // The choice is given up: the next load shows the text again.
    EXPECT_EQ(doc_->m_nSelectedItem, 0);
    EXPECT_EQ(Run("open " + file + "\nexpect text " + c.tag + "\n"), kScriptDone) << messages_.str();
    // A line without a tag: the command fails and the text stays.
    EXPECT_EQ(Run("open " + file + "\ncaret 1 1\ncommand ID_VIEW_SELECTED_PICTURE\n"), kScriptFailed) << c.file;
  }
}

}  // namespace
