// Runs a script (cli/ScriptParser.h) against a document, its text pane and its two
// file lists, without a window. The statements run in the order written, each one
// finished before the next starts: a key reaches the active pane and does its work
// before the next key or statement. Keys meant to arrive while an operation runs
// (`keys KEY...` after open, command, list-command or key) wait in the frame's key
// queue while it runs, so its Esc poll (CMainFrame::CheckUserAbort) takes them, as
// when a user presses Esc then; what it leaves reaches the pane after it. A script
// writes nothing itself; its commands write where its names and answers say, and
// into the program folder's TMP.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ScriptParser.h"
#include "filelist/FlistView.h"
#include "frame/CommandTable.h"
#include "view/QelView.h"

class CMainFrame;
class CQelHtmlView;

// Exit statuses of a script run.
enum : int { kScriptDone = 0, kScriptFailed = 1, kScriptError = 2 };

class ScriptRunner {
 public:
  ScriptRunner(CQelDoc& doc, CMainFrame& frame, CommandTables tables, std::ostream& out, std::ostream& err);
  ~ScriptRunner();

  // Checks every line, then runs them; name is how messages call the script.
  int Run(std::string_view name, std::string_view text);

  // print writes the CP932 bytes as they are (--sjis) instead of UTF-8.
  void SetRawSjis(bool raw) { rawSjis_ = raw; }
  // print writes to a terminal: control characters are shown, not written.
  void SetTerminal(bool terminal) { terminal_ = terminal; }

  CQelView& View() { return view_; }
  CFlistView& List(int n) { return n == 2 ? m_list2 : m_list1; }

 private:
  struct Stop {
    int status;
    std::string message;  // UTF-8
  };
  std::optional<Stop> RunStatement(const ScriptStatement& st);
  std::optional<Stop> RunPointerStatement(const ScriptStatement& st);
  std::optional<Stop> RunAddress(const ScriptStatement& st);
  std::optional<Stop> RunCommandOn(const CommandEntry& row, CommandTarget active, bool shift, bool ctrl,
                                   const std::vector<int>& during);
  // Presses the queued keys on the active pane; a key whose work failed stops the script.
  std::optional<Stop> DeliverKeys();
  // The statement's failure when a "no" kept a file it would have replaced.
  std::optional<Stop> NotReplaced() const;
  void PushKeys(const std::vector<int>& keys);
  // Drops the answers the statement on line did not use (0: the script's end), with
  // a note naming them.
  void DropUnusedAnswers(const std::string& where, int line);
  void SayLine(const std::string& line);
  // The text, the status panes (joined by " | "), the title, the selection or the
  // trace (status texts and messages since the statement before, one a line); CP932.
  // After `pane html` the text is the shown page's and `history` its jump slots.
  std::string Subject(const std::string& what);

  CQelDoc& doc_;
  CMainFrame& frame_;
  CommandTables tables_;
  std::ostream& out_;
  std::ostream& err_;
  CQelView view_;
  CFlistView m_list1;
  CFlistView m_list2;
  bool rawSjis_ = false;
  bool terminal_ = false;
  // The answers given for the next statement, in the order written.
  std::vector<ScriptAnswer> given_;
  // Where the trace of the statement before began: status texts kept and messages shown.
  uint64_t traceMark_ = 0;
  size_t messageMark_ = 0;
  bool htmlPane_ = false;  // `pane html`: commands go to the HTML browser pane
  // The HTML browser pane, made on the first `pane html` or when the settings turn it on.
  std::unique_ptr<CQelHtmlView> html_;
  CQelHtmlView& Html();
  // Makes the HTML browser pane the active pane, as the frame brings it up.
  void ShowHtmlPane();
};
