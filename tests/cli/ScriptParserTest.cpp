// The script language's errors: each is reported with its line, and a script with
// one runs none of its lines.
#include <gtest/gtest.h>

#include "cli/CommandTables.h"
#include "cli/ScriptParser.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"

namespace {

TEST(ScriptParser, ErrorsNameTheirLine) {
  struct Case {
    std::string script;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"opne a.txt", 1, "unknown statement 'opne'"},
      {"# comment\n\nopen", 3, "open: missing argument"},
      {"wait 1 2", 1, "too many arguments"},
      {"print text\nopen \"a b.txt", 2, "unbalanced double quote"},
      {"open a.txt\n" + std::string(kMaxScriptLine + 1, 'x'), 2, "longer than 4096"},
      {"open caf\xC3\xA9.txt", 1, "cannot be written in Shift-JIS"},
      {"open \xF0\x9F\x98\x80.txt", 1, "cannot be written in Shift-JIS"},
      {"open \xFF\xFE", 1, "cannot be written in Shift-JIS"},
      {"open a\\b.txt", 1, "a '\\' is not allowed in a name"},  // '\' inside a name
      {std::string("open a\0b.txt", 12), 1, "a control character"},  // would cut the name at the NUL
      {"print text\n\x1B[2Jprint text", 2, "a control character"},
      {"select a.txt \"\"", 1, "an empty name names no file"},
      {"command ID_NO_SUCH_COMMAND", 1, "unknown command"},
      {"command 4000000000", 1, "unknown command"},
      {"command ID_LIST_UNPACK", 1, "use 'list-command'"},
      {"list-command ID_EDIT_SELECT_ALL", 1, "use 'command'"},
      {"key Down Ctrl+Ctrl+A", 1, "unknown key 'Ctrl+Ctrl+A'"},
      {"key F13", 1, "unknown key"},
      {"key Hyper+A", 1, "unknown key"},
      {"key Ctrl+", 1, "unknown key"},
      {"key Shift+<", 1, "unknown key"},
      {"click 1 2 left", 1, "not 'right'"},
      {"click -1 5", 1, "not a number"},
      {"click 1 99999", 1, "not a number"},
      {"drag 1 2 3 x", 1, "not a number"},
      {"wait 1e3", 1, "not a number"},
      {"wait 86400001", 1, "not a number"},
      {"list 3 a.txt", 1, "a list is 1 or 2"},
      {"set readform", 1, "KEY=VALUE"},
      {"set nosuchkey=1", 1, "unknown setting"},
      {"print colour", 1, "print text|status|title|selection"},
      {"expect selection x", 1, "expect text|status|title"},
      {"expect text \xE2\x98\x83", 1, "cannot be written in Shift-JIS"},  // a snowman
      {"answer text=\xE2\x98\x83", 1, "cannot be written"},
      {"answer path=a\\b", 1, "a '\\' is not allowed in a name"},
      {"command ID_IMAGE_TWO_LEVEL alt", 1, "is not shift, ctrl or keys"},
      {"command ID_IMAGE_TWO_LEVEL keys", 1, "'keys' needs at least one key"},
      {"key A keys Esc Hyper+B", 1, "unknown key 'Hyper+B'"},
      {"command ID_IMAGE_TWO_LEVEL shift ctrl ctrl", 1, "too many arguments"},
      {"answer color=12345", 1, "is not a colour"},
      {"answer color=GG0000", 1, "is not a colour"},
  };
  const CommandTables tables = AllCommandTables();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script.substr(0, 60));
    const ParsedScript parsed = ParseScript(c.script, tables);
    EXPECT_EQ(parsed.errorLine, c.line);
    EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
    EXPECT_TRUE(parsed.statements.empty());
  }
}

TEST(ScriptParser, WordsQuotesCommentsAndAnswers) {
  const ParsedScript parsed = ParseScript(
      "\xEF\xBB\xBF  open \"my file.txt\"   # a comment\r\n"
      "expect text \"a \"\"b\"\n"
      "key a Shift+Tab ctrl+p f5 < > Ctrl+.\n"
      "answer yes /tmp/out.png name=x size=3 cancel\n"
      "command 57642\n"
      "expect status C#\n",
      AllCommandTables());
  ASSERT_EQ(parsed.errorLine, 0) << parsed.error;
  ASSERT_EQ(parsed.statements.size(), 6u);
  EXPECT_EQ(parsed.statements[0].paths[0], "my file.txt");
  EXPECT_EQ(parsed.statements[1].contains, "a b");
  EXPECT_EQ(parsed.statements[2].keys,
            (std::vector<int>{'A', plat::VK_TAB | plat::KEY_SHIFT, 'P' | plat::KEY_CTRL, plat::VK_F1 + 4,
                              plat::VK_OEM_COMMA | plat::KEY_SHIFT, plat::VK_OEM_PERIOD | plat::KEY_SHIFT,
                              plat::VK_OEM_PERIOD | plat::KEY_CTRL}));
  const auto& answers = parsed.statements[3].answers;
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_TRUE(answers[0].box);
  EXPECT_EQ(answers[0].result, plat::IDYES);
  EXPECT_FALSE(answers[1].box);
  EXPECT_EQ(answers[1].fields.at("path"), "\\tmp\\out.png");
  EXPECT_EQ(answers[2].fields, (std::map<std::string, std::string>{{"name", "x"}, {"size", "3"}}));
  EXPECT_EQ(answers[3].result, plat::IDCANCEL);
  EXPECT_EQ(parsed.statements[4].command->name, std::string("ID_EDIT_SELECT_ALL"));
  EXPECT_EQ(parsed.statements[5].contains, "C#");
  EXPECT_EQ(parsed.statements[5].line, 6);
}

}  // namespace

// The fuzz target stopped on open<TAB>"<TAB>": a TAB inside quotes became part of a
// name. A TAB separates words; inside a quoted word it is a script error.
TEST(ScriptParserFault, TabInsideQuotesIsAScriptError) {
  const CommandTables tables = AllCommandTables();
  ParsedScript script = ParseScript("open\t\"\t\"\n", tables);
  EXPECT_EQ(script.errorLine, 1);
  EXPECT_NE(script.error.find("TAB"), std::string::npos) << script.error;
  EXPECT_TRUE(script.statements.empty());
  script = ParseScript("wait 10\nopen\t\"a b\tc.txt\"\n", tables);
  EXPECT_EQ(script.errorLine, 2);
  // Between words a TAB is a blank as before.
  script = ParseScript("open\t\"a b.txt\"\t# comment\n", tables);
  ASSERT_EQ(script.errorLine, 0) << script.error;
  ASSERT_EQ(script.statements.size(), 1u);
  EXPECT_EQ(script.statements[0].paths[0], "a b.txt");
}
