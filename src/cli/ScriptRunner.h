// Runs a script (cli/ScriptParser.h) against a document, its text pane and its two
// file lists, without a window. Keys wait in the frame's key queue: they reach the
// active pane before the next statement, except that `open`, `command` and
// `list-command` start with them still waiting, so a long operation's Esc poll
// (CMainFrame::CheckUserAbort) takes them first, as when a user presses Esc while it
// runs. A script writes nothing itself; its commands write where its names and
// answers say, and into the program folder's TMP.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "cli/ScriptParser.h"
#include "filelist/FlistView.h"
#include "frame/CommandTable.h"
#include "view/QelView.h"

class CMainFrame;

// Exit statuses of a script run.
enum : int { kScriptDone = 0, kScriptFailed = 1, kScriptError = 2 };

class ScriptRunner {
 public:
  ScriptRunner(CQelDoc& doc, CMainFrame& frame, CommandTables tables, std::ostream& out, std::ostream& err);

  // Checks every line, then runs them; name is how messages call the script.
  int Run(std::string_view name, std::string_view text);

  CQelView& View() { return m_view; }
  CFlistView& List(int n) { return n == 2 ? m_list2 : m_list1; }

 private:
  struct Stop {
    int status;
    std::string message;  // UTF-8
  };
  std::optional<Stop> RunStatement(const ScriptStatement& st);
  std::optional<Stop> RunCommandOn(const CommandEntry& row, CommandTarget active);
  void DeliverKeys();
  std::string Subject(const std::string& what) const;  // CP932

  CQelDoc& m_doc;
  CMainFrame& m_frame;
  CommandTables m_tables;
  std::ostream& m_out;
  std::ostream& m_err;
  CQelView m_view;
  CFlistView m_list1;
  CFlistView m_list2;
};
