#include "cli/ScriptRunner.h"

#include <ostream>

#include "app/Settings.h"
#include "cli/KeyNames.h"
#include "cli/ScriptParser.h"
#include "frame/MainFrame.h"
#include "platform/CodePage.h"
#include "platform/Keys.h"

namespace {

// The table display splits cells at the column mark byte 6; a terminal shows it as a tab.
std::string ForTerminal(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\x06') c = '\t';
  }
  return plat::Cp932ToUtf8(out);
}

const char* OutcomeText(CommandOutcome outcome) {
  switch (outcome) {
    case CommandOutcome::Done: return "done";
    case CommandOutcome::Failed: return "failed";
    case CommandOutcome::Disabled: return "is not available now";
    case CommandOutcome::NotBuilt: return "is not built yet";
    case CommandOutcome::Unknown: return "has no receiver";
  }
  return "";
}

// Statements that only fill a queue, and those that start an operation that may poll
// for Esc, find the keys still waiting; the others see them delivered first.
bool LeavesKeysWaiting(ScriptVerb verb) {
  return verb == ScriptVerb::Key || verb == ScriptVerb::Answer || verb == ScriptVerb::Open ||
         verb == ScriptVerb::Command || verb == ScriptVerb::ListCommand;
}

}  // namespace

ScriptRunner::ScriptRunner(CQelDoc& doc, CMainFrame& frame, CommandTables tables, std::ostream& out,
                           std::ostream& err)
    : m_doc(doc),
      m_frame(frame),
      m_tables(std::move(tables)),
      m_out(out),
      m_err(err),
      m_view(doc, 1),
      m_list1(doc, 1),
      m_list2(doc, 2) {}

int ScriptRunner::Run(std::string_view name, std::string_view text) {
  const std::string where = std::string(name) + ":";
  const ParsedScript script = ParseScript(text, m_tables);
  if (script.errorLine != 0) {
    m_err << "pelnorix: " << where << script.errorLine << ": " << script.error << '\n';
    return kScriptError;
  }
  for (const ScriptStatement& st : script.statements) {
    if (!LeavesKeysWaiting(st.verb)) DeliverKeys();
    if (auto stop = RunStatement(st)) {
      m_out.flush();
      m_err << "pelnorix: " << where << st.line << ": " << stop->message << '\n';
      return stop->status;
    }
  }
  DeliverKeys();
  m_out.flush();
  return kScriptDone;
}

void ScriptRunner::DeliverKeys() {
  plat::UiHost& ui = m_frame.Ui();
  while (ui.HasPendingKey()) {
    const int key = ui.PopKeyDown();
    if (m_frame.IsListPaneActive()) {
      List(m_frame.ActiveListPane() + 1).OnKeyDown(key);
      continue;
    }
    m_view.OnKeyDown(key);
    if (const char ch = CharOfKey(key)) m_view.OnChar(ch);
  }
}

std::optional<ScriptRunner::Stop> ScriptRunner::RunCommandOn(const CommandEntry& row, CommandTarget active) {
  CommandContext cx{&m_view, &List(m_doc.m_nActiveList), &m_doc, &m_frame, active};
  const CommandOutcome outcome = RunCommand(m_tables, row.id, cx);
  DeliverKeys();
  if (outcome == CommandOutcome::Done) return std::nullopt;
  return Stop{kScriptFailed, std::string(row.name) + " " + OutcomeText(outcome)};
}

std::string ScriptRunner::Subject(const std::string& what) {
  if (what == "status") {
    // Every pane that holds a text, pane 0 first.
    std::string status;
    const CStatusBar& bar = m_frame.StatusBar();
    for (int i = 0; i < bar.PaneCount(); ++i) {
      const std::string pane = bar.GetPaneText(i);
      if (pane.empty()) continue;
      if (!status.empty()) status += " | ";
      status += pane;
    }
    return status;
  }
  if (what == "title") return m_frame.GetWindowText();
  if (what == "selection") return m_view.Text().GetSelText();
  return m_view.Text().GetText();
}

std::optional<ScriptRunner::Stop> ScriptRunner::RunStatement(const ScriptStatement& st) {
  switch (st.verb) {
    case ScriptVerb::Open: {
      const int result = m_doc.LoadDocument(st.paths[0], 0);
      DeliverKeys();
      if (result < 0) return Stop{kScriptFailed, "open: " + plat::Cp932ToUtf8(st.paths[0]) + " cannot be opened"};
      return std::nullopt;
    }
    case ScriptVerb::Command:
      return RunCommandOn(*st.command, CommandTarget::TextView);
    case ScriptVerb::ListCommand:
      m_frame.ActivateListPane(0, m_doc.m_nActiveList - 1);
      return RunCommandOn(*st.command, CommandTarget::FileList);
    case ScriptVerb::Key:
      for (int key : st.keys) m_frame.Ui().PushKeyDown(key);
      return std::nullopt;
    case ScriptVerb::Click: {
      m_frame.ActivateViewPane(0, 0);
      const CPoint p{static_cast<int>(st.numbers[0]), static_cast<int>(st.numbers[1])};
      if (st.right) {
        m_view.OnRButtonDown(plat::MK_RBUTTON, p);
      } else {
        m_view.OnLButtonDown(plat::MK_LBUTTON, p);
        m_view.OnLButtonUp(0, p);
      }
      return std::nullopt;
    }
    case ScriptVerb::Drag: {
      m_frame.ActivateViewPane(0, 0);
      const CPoint from{static_cast<int>(st.numbers[0]), static_cast<int>(st.numbers[1])};
      const CPoint to{static_cast<int>(st.numbers[2]), static_cast<int>(st.numbers[3])};
      m_view.OnLButtonDown(plat::MK_LBUTTON, from);
      m_view.OnMouseMove(plat::MK_LBUTTON, to);
      m_view.OnLButtonUp(0, to);
      return std::nullopt;
    }
    case ScriptVerb::Answer:
      for (const ScriptAnswer& a : st.answers) {
        if (a.box) {
          m_frame.Ui().QueueAnswer(a.result);
        } else {
          m_frame.Ui().QueueDialog(plat::DialogAnswer{a.result, a.fields});
        }
      }
      return std::nullopt;
    case ScriptVerb::Wait: m_frame.Ui().Advance(static_cast<uint64_t>(st.numbers[0])); return std::nullopt;
    case ScriptVerb::List: {
      const int n = static_cast<int>(st.numbers[0]);
      m_frame.ActivateListPane(0, n - 1);
      if (List(n).ShowPath(st.paths[0]) < 0) {
        return Stop{kScriptFailed, "list " + std::to_string(n) + ": " + plat::Cp932ToUtf8(st.paths[0]) + " cannot be shown"};
      }
      return std::nullopt;
    }
    case ScriptVerb::Select:
      for (const std::string& path : st.paths) {
        if (List(m_doc.m_nActiveList).Select(path) < 0) {
          return Stop{kScriptFailed, "select: " + plat::Cp932ToUtf8(path) + " is not in list " +
                                         std::to_string(m_doc.m_nActiveList)};
        }
      }
      return std::nullopt;
    case ScriptVerb::Set:
      if (std::string problem = ApplySetting(m_doc, st.key, st.value); !problem.empty()) {
        return Stop{kScriptError, "set " + st.key + ": " + problem};
      }
      return std::nullopt;
    case ScriptVerb::Print: {
      std::string text = m_bRawSjis ? Subject(st.what) : ForTerminal(Subject(st.what));
      if (text.empty() || text.back() != '\n') text += '\n';
      m_out << text;
      return std::nullopt;
    }
    case ScriptVerb::Expect:
      if (Subject(st.what).find(st.contains) == std::string::npos) {
        return Stop{kScriptFailed, "expect " + st.what + ": it does not contain \"" + plat::Cp932ToUtf8(st.contains) + "\""};
      }
      return std::nullopt;
  }
  return std::nullopt;
}
