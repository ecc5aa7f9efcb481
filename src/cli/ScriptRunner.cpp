#include "cli/ScriptRunner.h"

#include <algorithm>
#include <ostream>

#include "app/FileKind.h"
#include "app/Settings.h"
#include "cli/KeyNames.h"
#include "cli/OutputError.h"
#include "cli/ScriptParser.h"
#include "cli/ScriptRichText.h"
#include "cli/VolumeHint.h"
#include "net/Address.h"
#include "net/QelHtmlView.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "platform/text/TerminalText.h"
#include "platform/ui/Keys.h"

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

// The display text of a load that showed nothing, on one line: its line ends and
// blanks as single blanks, at most 300 bytes.
std::string OneLineReason(const CQelDoc& doc) {
  const std::string_view text(doc.m_pText ? doc.m_pText : "", static_cast<size_t>(std::clamp(doc.m_nTextLen, 0, 300)));
  std::string line;
  for (char c : text) {
    const bool blank = c == '\r' || c == '\n' || c == ' ' || c == '\t';
    if (!blank) line += c;
    else if (!line.empty() && line.back() != ' ') line += ' ';
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return plat::Cp932ToUtf8(line);
}

// An answer as the script wrote it: yes, no, ok, cancel or its fields.
std::string AnswerWord(const ScriptAnswer& a) {
  if (a.box) {
    return a.result == plat::IDYES ? "yes" : a.result == plat::IDNO ? "no" : a.result == plat::IDOK ? "ok" : "cancel";
  }
  if (const auto value = a.fields.find("value"); value != a.fields.end()) return plat::Cp932ToUtf8(value->second);
  std::string words;
  for (const auto& [name, value] : a.fields) {
    words += (words.empty() ? "" : " ") + name + "=" + plat::Cp932ToUtf8(name == "path" ? plat::ShownPath(value) : value);
  }
  return words;
}

}  // namespace

ScriptRunner::ScriptRunner(CQelDoc& doc, CMainFrame& frame, CommandTables tables, std::ostream& out,
                           std::ostream& err)
    : doc_(doc),
      frame_(frame),
      tables_(std::move(tables)),
      out_(out),
      err_(err),
      view_(doc, 1),
      m_list1(doc, 1),
      m_list2(doc, 2) {}

ScriptRunner::~ScriptRunner() = default;

CQelHtmlView& ScriptRunner::Html() {
  if (!html_) {
    html_ = std::make_unique<CQelHtmlView>(doc_);
    html_->SetHomePage(doc_.m_astrSysValue[25]);
  }
  return *html_;
}

void ScriptRunner::ShowHtmlPane() {
  htmlPane_ = true;
  // The pane comes up as the frame makes it: activated, then its first update.
  Html().OnActivateView(true);
  Html().OnUpdate();
}

int ScriptRunner::Run(std::string_view name, std::string_view text) {
  const std::string where = std::string(name) + ":";
  const ParsedScript script = ParseScript(text, tables_);
  if (script.errorLine != 0) {
    SayLine("pelnorix: " + where + std::to_string(script.errorLine) + ": " + script.error);
    return kScriptError;
  }
  for (const ScriptStatement& st : script.statements) {
    const bool traces = st.verb == ScriptVerb::Print || st.verb == ScriptVerb::Expect;
    if (!traces) {
      traceMark_ = frame_.StatusBar().TraceCount();
      messageMark_ = frame_.Ui().MessageLog().size();
    }
    if (st.verb == ScriptVerb::Answer) {
      given_.insert(given_.end(), st.answers.begin(), st.answers.end());
    }
    doc_.m_astrNotReplaced.clear();
    auto stop = RunStatement(st);
    if (st.verb != ScriptVerb::Answer) DropUnusedAnswers(where, st.line);
    if (auto kept = NotReplaced(); kept && (!stop || stop->status == kScriptFailed)) stop = kept;
    if (stop) {
      out_.flush();
      SayLine("pelnorix: " + where + std::to_string(st.line) + ": " + stop->message);
      return stop->status;
    }
  }
  DropUnusedAnswers(where, 0);
  if (const std::string why = OutputWriteError(out_); !why.empty()) {
    SayLine("pelnorix: " + where + " " + why);
    return kScriptFailed;
  }
  return kScriptDone;
}

// One line of the run's own on standard error. It repeats what the script says (a
// word, a name), so a terminal gets its control characters shown, as every message.
void ScriptRunner::SayLine(const std::string& line) {
  err_ << (frame_.Ui().MessagesToTerminal() ? plat::VisibleControls(line, true) : line) << '\n';
}

// A statement that asked to replace a file and was told no failed, whatever its road
// made of the answer: the file was kept, and the statement names it.
std::optional<ScriptRunner::Stop> ScriptRunner::NotReplaced() const {
  if (doc_.m_astrNotReplaced.empty()) return std::nullopt;
  std::string names;
  for (const std::string& path : doc_.m_astrNotReplaced) {
    names += (names.empty() ? "" : ", ") + plat::Cp932ToUtf8(plat::ShownPath(path));
  }
  return Stop{kScriptFailed, "not replaced: " + names};
}

// The answers queued before a statement belong to it: what it did not use would
// answer a question of a later statement, so it is dropped, and said.
void ScriptRunner::DropUnusedAnswers(const std::string& where, int line) {
  plat::UiHost& ui = frame_.Ui();
  size_t boxes = ui.PendingAnswers();
  size_t dialogs = ui.PendingDialogs();
  if (boxes + dialogs > 0) {
    // Each question takes the first waiting answer: the ones left are the last given.
    std::string words;
    for (auto a = given_.rbegin(); a != given_.rend(); ++a) {
      size_t& left = a->box ? boxes : dialogs;
      if (left == 0) continue;
      --left;
      words.insert(0, ' ' + AnswerWord(*a));
    }
    SayLine("pelnorix: " + where + (line > 0 ? std::to_string(line) + ": answer" : " answer") + words +
            (line > 0 ? " not used by this statement, dropped" : " not used: no statement follows it, dropped"));
    ui.DropAnswers();
  }
  given_.clear();
}

std::optional<ScriptRunner::Stop> ScriptRunner::DeliverKeys() {
  plat::UiHost& ui = frame_.Ui();
  while (ui.HasPendingKey()) {
    const int key = ui.PopKeyDown();
    if (frame_.IsListPaneActive()) {
      List(frame_.ActiveListPane() + 1).OnKeyDown(key);
      continue;
    }
    view_.Pane().m_strKeyFailure.clear();
    view_.OnKeyDown(key);
    if (const char ch = CharOfKey(key)) view_.OnChar(ch);
    if (!view_.Pane().m_strKeyFailure.empty()) {
      // What the key started failed: the rest of the queue is not pressed.
      while (ui.HasPendingKey()) ui.PopKeyDown();
      std::string why = plat::Cp932ToUtf8(view_.Pane().m_strKeyFailure);
      for (char& c : why) c = c == '\r' || c == '\n' ? ' ' : c;
      return Stop{kScriptFailed, "key failed: " + why};
    }
  }
  return std::nullopt;
}

void ScriptRunner::PushKeys(const std::vector<int>& keys) {
  for (int key : keys) frame_.Ui().PushKeyDown(key);
}

std::optional<ScriptRunner::Stop> ScriptRunner::RunCommandOn(const CommandEntry& row, CommandTarget active, bool shift,
                                                             bool ctrl, const std::vector<int>& during) {
  CommandContext cx{&view_, &List(doc_.m_nActiveList), &doc_, &frame_, active};
  doc_.m_bShiftDown = shift ? 1 : 0;
  doc_.m_bCtrlDown = ctrl ? 1 : 0;
  if (htmlPane_ && active == CommandTarget::TextView) {
    cx.active = CommandTarget::HtmlView;
    cx.html = &Html();
    cx.html->SetHomePage(doc_.m_astrSysValue[25]);
  }
  PushKeys(during);
  const CommandOutcome outcome = RunCommand(tables_, row.id, cx);
  doc_.m_bShiftDown = doc_.m_bCtrlDown = 0;
  if (auto stop = DeliverKeys()) return stop;
  if (outcome == CommandOutcome::Done) return std::nullopt;
  return Stop{kScriptFailed, std::string(row.name) + " " + OutcomeText(outcome)};
}

std::string ScriptRunner::Subject(const std::string& what) {
  if (what == "status") {
    // Every pane that holds a text, pane 0 first.
    std::string status;
    const CStatusBar& bar = frame_.StatusBar();
    for (int i = 0; i < bar.PaneCount(); ++i) {
      const std::string pane = bar.GetPaneText(i);
      if (pane.empty()) continue;
      if (!status.empty()) status += " | ";
      status += pane;
    }
    return status;
  }
  if (what == "title") return frame_.GetWindowText();
  if (what == "trace") {
    std::string trace;
    const std::vector<std::string>& texts = frame_.StatusBar().Trace();
    const uint64_t fresh = std::min<uint64_t>(frame_.StatusBar().TraceCount() - traceMark_, texts.size());
    for (size_t i = texts.size() - static_cast<size_t>(fresh); i < texts.size(); ++i) trace += texts[i] + "\n";
    const auto& boxes = frame_.Ui().MessageLog();
    for (size_t i = std::min(messageMark_, boxes.size()); i < boxes.size(); ++i) trace += boxes[i].text + "\n";
    return trace;
  }
  if (htmlPane_ && what == "history") {
    std::string slots;
    for (size_t i = 1; i < Html().m_strHistory.size(); ++i) {
      if (!Html().m_strHistory[i].empty()) slots += std::to_string(i) + " " + Html().m_strHistory[i] + "\n";
    }
    return slots;
  }
  if (htmlPane_ && what == "text") return Html().PageText();
  if (what == "selection") return view_.Text().GetSelText();
  if (what == "rtf" || what == "table" || what == "clipboard") return RichSubject(view_, frame_, what);
  return PaneText(view_);
}

// An address goes to the browser pane or the program's own fetch; a page that was
// not shown stops the script with the reason.
std::optional<ScriptRunner::Stop> ScriptRunner::RunAddress(const ScriptStatement& st) {
  // With the HTML pane on, the frame shows the browser pane: an address for it goes
  // there, the pane brought up as `pane html` brings it up.
  if (!htmlPane_ && BrowserPaneTakes(doc_, st.value)) ShowHtmlPane();
  const NetStatus result = RunAddressCommand(doc_, st.value);
  if (result.code == NetCode::kNotInHistory) {
    return Stop{kScriptFailed, "address: " + plat::Cp932ToUtf8(st.value) + " is not in the address history"};
  }
  if (auto stop = DeliverKeys()) return stop;
  if (!result.Shown()) {
    // The address as the history keeps it: a login written into it is not repeated.
    return Stop{kScriptFailed, "address: " + plat::Cp932ToUtf8(AddressForHistory(st.value)) + " was not shown: " +
                                   plat::Cp932ToUtf8(result.reason)};
  }
  return std::nullopt;
}

// The statements that stand for the mouse and the windows around the program.
std::optional<ScriptRunner::Stop> ScriptRunner::RunPointerStatement(const ScriptStatement& st) {
  switch (st.verb) {
    case ScriptVerb::Click: {
      frame_.ActivateViewPane(0, 0);
      const CPoint p{static_cast<int>(st.numbers[0]), static_cast<int>(st.numbers[1])};
      if (st.right) {
        view_.OnRButtonDown(plat::MK_RBUTTON, p);
      } else {
        view_.OnLButtonDown(plat::MK_LBUTTON, p);
        view_.OnLButtonUp(0, p);
      }
      return std::nullopt;
    }
    case ScriptVerb::Drag: {
      frame_.ActivateViewPane(0, 0);
      const CPoint from{static_cast<int>(st.numbers[0]), static_cast<int>(st.numbers[1])};
      const CPoint to{static_cast<int>(st.numbers[2]), static_cast<int>(st.numbers[3])};
      view_.OnLButtonDown(plat::MK_LBUTTON, from);
      view_.OnMouseMove(plat::MK_LBUTTON, to);
      view_.OnLButtonUp(0, to);
      return std::nullopt;
    }
    case ScriptVerb::Scroll:
      if (st.what == "h") {
        view_.OnHScroll(plat::SB_THUMBPOSITION, static_cast<int>(st.numbers[0]));
      } else {
        view_.OnVScroll(plat::SB_THUMBPOSITION, static_cast<int>(st.numbers[0]));
      }
      return std::nullopt;
    case ScriptVerb::Hover:
      view_.OnMouseMove(0, CPoint{static_cast<int>(st.numbers[0]), static_cast<int>(st.numbers[1])});
      return std::nullopt;
    case ScriptVerb::Window: {
      const auto n = [&](size_t i) { return static_cast<int>(st.numbers[i]); };
      const int rgb = n(4);
      frame_.Ui().GetScreen().PlaceWindow(CRect{n(0), n(1), n(0) + n(2), n(1) + n(3)},
                                          RGB(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255), st.what);
      return std::nullopt;
    }
    case ScriptVerb::Front:
      if (!frame_.Ui().GetScreen().BringToFront(st.what, frame_.Ui().NowMs() + static_cast<uint64_t>(st.numbers[0]))) {
        return Stop{kScriptFailed, "front: no window " + st.what + " (place it with window)"};
      }
      return std::nullopt;
    default: break;
  }
  return std::nullopt;
}

std::optional<ScriptRunner::Stop> ScriptRunner::RunStatement(const ScriptStatement& st) {
  switch (st.verb) {
    case ScriptVerb::Open: {
      PushKeys(st.duringKeys);
      const int result = doc_.LoadDocument(st.paths[0]);
      WriteVolumeHint(doc_.m_volumeCut, err_);
      if (auto stop = DeliverKeys()) return stop;
      // A picture that could not be read leaves no image: its text says why.
      const bool noPicture = IsImageKind(doc_.m_nFileKind) && doc_.m_nDisplayForm == 0 && !doc_.LoadedImageFacts().held;
      if (result < 0 || noPicture) {
        // The text of a file of which nothing could be shown is the reason.
        const std::string why = doc_.m_bNothingShown || noPicture ? OneLineReason(doc_) : std::string();
        return Stop{kScriptFailed, "open: " + plat::Cp932ToUtf8(plat::ShownPath(st.paths[0])) +
                                       (why.empty() ? " cannot be opened" : " cannot be shown: " + why)};
      }
      return std::nullopt;
    }
    case ScriptVerb::Command:
      return RunCommandOn(*st.command, CommandTarget::TextView, st.shift, st.ctrl, st.duringKeys);
    case ScriptVerb::ListCommand:
      frame_.ActivateListPane(0, doc_.m_nActiveList - 1);
      return RunCommandOn(*st.command, CommandTarget::FileList, st.shift, st.ctrl, st.duringKeys);
    case ScriptVerb::Key:
      // Each key reaches the pane after the one before it has done its work; the
      // `keys` of the statement wait while its last key runs.
      for (size_t i = 0; i < st.keys.size(); ++i) {
        frame_.Ui().PushKeyDown(st.keys[i]);
        if (i + 1 == st.keys.size()) PushKeys(st.duringKeys);
        if (auto stop = DeliverKeys()) return stop;
      }
      return std::nullopt;
    case ScriptVerb::Click:
    case ScriptVerb::Drag:
    case ScriptVerb::Scroll:
    case ScriptVerb::Hover:
    case ScriptVerb::Window:
    case ScriptVerb::Front:
      return RunPointerStatement(st);
    case ScriptVerb::Answer:
      for (const ScriptAnswer& a : st.answers) {
        if (a.box) {
          frame_.Ui().QueueAnswer(a.result);
        } else {
          frame_.Ui().QueueDialog(plat::DialogAnswer{a.result, a.fields});
        }
      }
      return std::nullopt;
    case ScriptVerb::SavePane:
    case ScriptVerb::SaveDisplay: {
      const bool pane = st.verb == ScriptVerb::SavePane;
      if (!(pane ? view_.SavePanePng(st.paths[0]) : view_.SaveDisplayPng(st.paths[0]))) {
        return Stop{kScriptFailed, std::string(pane ? "save-pane: " : "save-display: ") +
                                       plat::Cp932ToUtf8(plat::ShownPath(st.paths[0])) + " could not be written"};
      }
      return std::nullopt;
    }
    case ScriptVerb::Wait:
      frame_.Ui().Advance(static_cast<uint64_t>(st.numbers[0]));
      // A recording that stopped where its work file could not be written (a full disk)
      // ends the script there; it is saved as the script ends.
      if (const std::string stopped = frame_.Mci().RecorderWorkFailure(0); !stopped.empty()) {
        return Stop{kScriptFailed, "wait: the recording stopped: its work file cannot be written: " + stopped};
      }
      return std::nullopt;
    case ScriptVerb::List: {
      const int n = static_cast<int>(st.numbers[0]);
      frame_.ActivateListPane(0, n - 1);
      if (List(n).ShowPath(st.paths[0]) < 0) {
        return Stop{kScriptFailed, "list " + std::to_string(n) + ": " + plat::Cp932ToUtf8(plat::ShownPath(st.paths[0])) + " cannot be shown"};
      }
      return std::nullopt;
    }
    case ScriptVerb::Select:
      for (const std::string& path : st.paths) {
        if (List(doc_.m_nActiveList).Select(path) < 0) {
          return Stop{kScriptFailed, "select: " + plat::Cp932ToUtf8(plat::ShownPath(path)) + " is not in list " +
                                         std::to_string(doc_.m_nActiveList)};
        }
      }
      return std::nullopt;
    case ScriptVerb::Set:
      if (std::string problem = ApplyTypedSetting(doc_, st.key, st.value); !problem.empty()) {
        return Stop{kScriptError, "set " + st.key + ": " + problem};
      }
      return std::nullopt;
    case ScriptVerb::Print: {
      std::string text = rawSjis_ ? Subject(st.what) : ForTerminal(Subject(st.what));
      if (terminal_) text = plat::VisibleControls(text, !rawSjis_);
      if (text.empty() || text.back() != '\n') text += '\n';
      out_ << text;
      if (const std::string why = OutputWriteError(out_); !why.empty()) return Stop{kScriptFailed, "print: " + why};
      return std::nullopt;
    }
    case ScriptVerb::Address: return RunAddress(st);
    case ScriptVerb::Pane:
      if (st.what == "html") {
        ShowHtmlPane();
      } else {
        htmlPane_ = false;
        if (doc_.m_nActivePane == 5) doc_.m_nActivePane = 0;
      }
      return std::nullopt;
    case ScriptVerb::Caret: {
      const auto& n = st.numbers;
      const int from = CaretPosition(view_, static_cast<int>(n[0]), static_cast<int>(n[1]));
      const int to = n.size() == 4 ? CaretPosition(view_, static_cast<int>(n[2]), static_cast<int>(n[3])) : from;
      if (from < 0 || to < 0) return Stop{kScriptFailed, "caret: the text has no such line"};
      view_.SetSel(from, to);
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
