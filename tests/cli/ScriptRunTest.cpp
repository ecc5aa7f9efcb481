// Scripts run in the process against a test's document: statements in the order
// written, keys meant for an operation's Esc poll through the queue it reads, timers
// in clock order, answers reaching dialogs, stops.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CommandTables.h"
#include "cli/ScriptRunner.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

// A long operation: polls for Esc ten times; fails when the user stopped it.
int LongOperation(CommandContext& cx) {
  for (int i = 0; i < 10; ++i) {
    if (cx.frame->CheckUserAbort()) return -1;
  }
  return 0;
}

constexpr CommandEntry kTestRows[] = {
    {40000, "ID_TEST_LONG", "長い処理", CommandTarget::Document, LongOperation},
};

class ScriptRunTest : public testenv::DocTest {
 protected:
  std::ostringstream out_;
  CommandTables Tables() {
    CommandTables tables = AllCommandTables();
    tables.push_back(kTestRows);
    return tables;
  }
  int Run(ScriptRunner& runner, const std::string& script) { return runner.Run("t.script", script); }
};

TEST_F(ScriptRunTest, EscWaitingInTheQueueStopsALongOperation) {
  ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
  WriteFile("a.txt", "one\r\ntwo\r\n");
  // Keys pressed while a command runs wait for its Esc poll; the ones it leaves reach the pane.
  EXPECT_EQ(Run(runner, "open " + Q(dir_.HostPath("a.txt")) + "\nanswer yes\ncommand ID_TEST_LONG keys A Esc Down\n"),
            kScriptFailed);
  EXPECT_EQ(doc_->m_bUserAbort, 1);
  EXPECT_EQ(frame_->Ui().MessageLog().back().answer, plat::IDYES);
  EXPECT_NE(messages_.str().find("t.script:3: ID_TEST_LONG failed"), std::string::npos) << messages_.str();
  EXPECT_FALSE(frame_->Ui().HasPendingKey());
}

TEST_F(ScriptRunTest, KeysBeforeOtherStatementsReachThePane) {
  ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
  WriteFile("a.txt", "one\r\ntwo\r\n");
  EXPECT_EQ(Run(runner, "open " + Q(dir_.HostPath("a.txt")) +
                            "\nkey Down Shift+End\nprint selection\nkey Esc\ncommand ID_TEST_LONG\n"),
            kScriptDone);
  EXPECT_EQ(out_.str(), "two\n");
  // The Esc of the `key` statement reached the pane before the command began: the
  // long operation found nothing to ask about.
  EXPECT_TRUE(frame_->Ui().MessageLog().empty());
  // An Esc pressed while it runs goes to it, which asks and takes the safe reply.
  EXPECT_EQ(Run(runner, "command ID_TEST_LONG keys Esc\n"), kScriptDone);
  EXPECT_EQ(doc_->m_bUserAbort, 0);
  ASSERT_FALSE(frame_->Ui().MessageLog().empty());
  EXPECT_TRUE(frame_->Ui().MessageLog().back().answeredByDefault);
}

TEST_F(ScriptRunTest, TimersFireInClockOrder) {
  ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
  std::vector<std::string> fired;
  plat::UiHost& ui = frame_->Ui();
  const int owner = 0;
  ui.SetTimer(&owner, 1, 10, [&](int) { fired.push_back("a" + std::to_string(ui.NowMs())); });
  ui.SetTimer(&owner, 2, 7, [&](int) { fired.push_back("c" + std::to_string(ui.NowMs())); });
  ui.SetTimer(&owner, 3, 15, [&](int id) {
    fired.push_back("b" + std::to_string(ui.NowMs()));
    ui.KillTimer(&owner, id);
  });
  // The pane's refresh timer is one-shot: it fires once and is gone.
  runner.View().SetTimer(runner.View().Pane().m_nPane + 2, 12);
  EXPECT_EQ(Run(runner, "wait 20\nwait 10\n"), kScriptDone);
  EXPECT_EQ(fired, (std::vector<std::string>{"c7", "a10", "c14", "b15", "a20", "c21", "c28", "a30"}));
  EXPECT_EQ(ui.NowMs(), 30u);
  EXPECT_FALSE(ui.HasTimer(&runner.View(), runner.View().Pane().m_nPane + 2));
  EXPECT_EQ(messages_.str(), "not built yet: timer 3 (image repaint)\n");
  {
    // A pane that goes away takes its timers along: the clock never calls it later.
    CQelView gone(*doc_, 2);
    gone.SetTimer(77, 5);
  }
  ui.Advance(10);
}

TEST_F(ScriptRunTest, FileDialogAnsweredWithAPathOpensIt) {
  ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
  WriteFile("b.txt", "from the dialog");
  EXPECT_EQ(Run(runner, "answer " + Q(dir_.HostPath("b.txt")) + "\ncommand ID_FILE_OPEN\nexpect text dialog\n"
                            "command ID_FILE_OPEN\nexpect text dialog\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_NE(messages_.str().find("not answered: Cancel"), std::string::npos);  // the second open
}

TEST_F(ScriptRunTest, StatusIsEveryPaneWithText) {
  ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
  frame_->StatusBar().SetPaneText(0, "   <\x95\x94\x95\xAA\x95\x5C\x8E\xA6>");  // 部分表示
  frame_->StatusBar().SetPaneText(frame_->StatusBar().CommandToIndex(ID_INDICATOR_POSITION), "12:3");
  EXPECT_EQ(Run(runner, "print status\nexpect status 12:3\nexpect status \xE8\xA1\xA8\xE7\xA4\xBA\n"), kScriptDone)
      << messages_.str();
  EXPECT_EQ(out_.str(), "   <\xE9\x83\xA8\xE5\x88\x86\xE8\xA1\xA8\xE7\xA4\xBA> | 12:3\n");
}

TEST_F(ScriptRunTest, StopsAtTheFirstFailureWithItsLine) {
  SKIP_WITHOUT_PROGRAM("convert");
  struct Case {
    std::string script;
    int status;
    const char* says;
  };
  WriteFile("c.txt", "abc");
  const std::string open = "open " + Q(dir_.HostPath("c.txt")) + "\n";
  testenv::Shell("convert -size 200x150 plasma: " + testenv::Quote(dir_.HostPath("whole.jpg")));
  WriteFile("head.jpg", testenv::ReadHostFile(dir_.HostPath("whole.jpg")).substr(0, 300));
  WriteFile("random.png", std::string("\x13\x9A\x04\xEE\x71\x02\xC8\x55", 8) + std::string(600, '\x5A'));
  WriteFile("empty.gif", "");
  std::filesystem::create_symlink(dir_.HostPath("gone"), dir_.HostPath("gone.csv"));
  const Case cases[] = {
      {open + "expect text abd\nprint text\n", kScriptFailed, "t.script:2: expect text: it does not contain \"abd\""},
      {"open " + Q(dir_.HostPath("none.txt")) + "\n", kScriptFailed, "t.script:1: open:"},
      {open + "list 2 " + Q(dir_.HostPath("c.txt")) + "\nselect nothere.txt\n", kScriptFailed,
       "t.script:3: select: nothere.txt is not in list 2"},
      {open + "command ID_EDIT_SELECT_ALL\nlist-command ID_LIST_MACRO\n", kScriptFailed,
       "t.script:3: ID_LIST_MACRO is not built yet"},
      {open + "set readform=9\n", kScriptError, "t.script:2: set readform:"},
      {open + "print text\nopne x\n", kScriptError, "t.script:3: unknown statement"},
      // A picture that could not be read opened with exit 0 and nothing said.
      {"open " + Q(dir_.HostPath("random.png")) + "\n", kScriptFailed, "random.png cannot be shown: 画像ファイルが壊れて"},
      {"open " + Q(dir_.HostPath("head.jpg")) + "\n", kScriptFailed, "head.jpg cannot be shown: 画像ファイルが壊れて"},
      {"open " + Q(dir_.HostPath("empty.gif")) + "\n", kScriptFailed, "empty.gif cannot be shown: 画像ファイルが壊れて"},
      // A CSV that could not be read gave the sheet's RTF head as the reason.
      {"open " + Q(dir_.HostPath("gone.csv")) + "\n", kScriptFailed, "gone.csv cannot be shown: ファイルをオープンできません。"},
      // A bad set value stopped the script after the lines before it had run.
      {open + "print text\nset indata=abc\n", kScriptError, "t.script:3: set indata: indata needs a size in MB"},
      // An answer its statement did not use waited for a later question.
      {"answer yes\n" + open, kScriptDone, "t.script:2: answer yes not used by this statement, dropped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    out_.str("");
    messages_.str("");
    ScriptRunner runner(*doc_, *frame_, Tables(), out_, messages_);
    EXPECT_EQ(Run(runner, c.script), c.status);
    EXPECT_NE(messages_.str().find(c.says), std::string::npos) << messages_.str();
    EXPECT_EQ(out_.str(), "");  // nothing after the failing line ran; a script error runs no line
  }
}

}  // namespace
