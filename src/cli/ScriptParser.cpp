#include "cli/ScriptParser.h"

#include <algorithm>
#include <charconv>

#include "app/Settings.h"
#include "base/AsciiCase.h"
#include "cli/CommandLine.h"
#include "cli/KeyNames.h"
#include "platform/text/CodePage.h"
#include "platform/ui/Ui.h"

namespace {

constexpr int64_t kMaxCoordinate = 32767;
constexpr int64_t kMaxScrollPos = 1 << 30;
constexpr int64_t kMaxWaitMs = 86400000;  // one day of program clock per statement
constexpr int64_t kMaxCaretNumber = 100000000;

struct VerbName {
  const char* name;
  ScriptVerb verb;
  size_t minArgs;
  size_t maxArgs;  // not counting a trailing `keys KEY...`
};

// The statements that may end with `keys KEY...`: keys pressed while they run.
bool TakesDuringKeys(ScriptVerb verb) {
  return verb == ScriptVerb::Open || verb == ScriptVerb::Command || verb == ScriptVerb::ListCommand ||
         verb == ScriptVerb::Key;
}

constexpr size_t kMany = 1000000;
constexpr VerbName kVerbs[] = {
    {"open", ScriptVerb::Open, 1, 1},       {"command", ScriptVerb::Command, 1, 3},
    {"key", ScriptVerb::Key, 1, kMany},      {"click", ScriptVerb::Click, 2, 3},
    {"drag", ScriptVerb::Drag, 4, 4},        {"answer", ScriptVerb::Answer, 1, kMany},
    {"wait", ScriptVerb::Wait, 1, 1},        {"list", ScriptVerb::List, 2, 2},
    {"select", ScriptVerb::Select, 1, kMany}, {"list-command", ScriptVerb::ListCommand, 1, 1},
    {"set", ScriptVerb::Set, 1, 1},          {"print", ScriptVerb::Print, 1, 1},
    {"expect", ScriptVerb::Expect, 2, 2},
    {"save-pane", ScriptVerb::SavePane, 1, 1},   {"save-display", ScriptVerb::SaveDisplay, 1, 1},
    {"scroll", ScriptVerb::Scroll, 2, 2},        {"hover", ScriptVerb::Hover, 2, 2},
    {"window", ScriptVerb::Window, 6, 6},        {"front", ScriptVerb::Front, 2, 2},
    {"caret", ScriptVerb::Caret, 2, 4},
    {"address", ScriptVerb::Address, 1, 1},      {"pane", ScriptVerb::Pane, 1, 1},
};

// Reads one statement's words; returns "" or the error.
class StatementReader {
 public:
  StatementReader(const CommandTables& tables, ScriptStatement& st) : tables_(tables), st_(st) {}

  std::string Read(const VerbName& verb, const std::vector<std::string>& args) {
    switch (verb.verb) {
      case ScriptVerb::Open:
      case ScriptVerb::SavePane:
      case ScriptVerb::SaveDisplay:
      case ScriptVerb::Select:
        for (const auto& a : args) {
          if (auto err = Path(a); !err.empty()) return err;
        }
        return "";
      case ScriptVerb::List:
        if (auto err = Number(args[0], 1, 2); !err.empty()) return "list: " + err + " (a list is 1 or 2)";
        return Path(args[1]);
      case ScriptVerb::Command:
      case ScriptVerb::ListCommand:
        // Modifier keys held while the command runs (commands that read Shift or Ctrl).
        for (size_t i = 1; i < args.size(); ++i) {
          const std::string word = AsciiLowerCopy(args[i]);
          if (word == "shift") {
            st_.shift = true;
          } else if (word == "ctrl") {
            st_.ctrl = true;
          } else {
            return "command NAME [shift] [ctrl] [keys KEY...]: '" + args[i] + "' is not shift, ctrl or keys";
          }
        }
        return Command(args[0], verb.verb == ScriptVerb::ListCommand);
      case ScriptVerb::Key:
        for (const auto& a : args) {
          const auto key = ParseKeyName(a);
          if (!key) return "unknown key '" + a + "' (pelnorix --help lists the keys)";
          st_.keys.push_back(*key);
        }
        return "";
      case ScriptVerb::Click:
        if (args.size() == 3) {
          if (AsciiLowerCopy(args[2]) != "right") return "click X Y [right]: '" + args[2] + "' is not 'right'";
          st_.right = true;
        }
        for (size_t i = 0; i < 2; ++i) {
          if (auto err = Number(args[i], 0, kMaxCoordinate); !err.empty()) return "click: " + err;
        }
        return "";
      case ScriptVerb::Scroll:
        st_.what = AsciiLowerCopy(args[0]);
        if (st_.what != "h" && st_.what != "v") return "scroll h|v POS: not '" + args[0] + "'";
        if (auto err = Number(args[1], 0, kMaxScrollPos); !err.empty()) return "scroll: " + err;
        return "";
      case ScriptVerb::Window: {
        st_.what = args[0];
        for (size_t i = 1; i < 5; ++i) {
          if (auto err = Number(args[i], 0, kMaxCoordinate); !err.empty()) return "window: " + err;
        }
        const std::string& color = args[5];
        if (color.size() != 6 || color.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
          return "window NAME X Y W H RRGGBB: '" + color + "' is not a colour";
        }
        st_.numbers.push_back(std::stoll(color, nullptr, 16));
        return "";
      }
      case ScriptVerb::Front:
        st_.what = args[0];
        if (auto err = Number(args[1], 0, kMaxWaitMs); !err.empty()) return "front: " + err;
        return "";
      case ScriptVerb::Hover:
      case ScriptVerb::Drag:
        for (const auto& a : args) {
          if (auto err = Number(a, 0, kMaxCoordinate); !err.empty()) return std::string(verb.name) + ": " + err;
        }
        return "";
      case ScriptVerb::Wait:
        if (auto err = Number(args[0], 0, kMaxWaitMs); !err.empty()) return "wait: " + err;
        return "";
      case ScriptVerb::Answer: return Answers(args);
      case ScriptVerb::Set: return Setting(args[0]);
      case ScriptVerb::Print:
      case ScriptVerb::Expect: return Subject(verb, args);
      case ScriptVerb::Address: return Text(args[0], st_.value);
      case ScriptVerb::Pane:
        st_.what = AsciiLowerCopy(args[0]);
        if (st_.what != "html" && st_.what != "text") return "pane html|text: not '" + args[0] + "'";
        return "";
      case ScriptVerb::Caret:
        if (args.size() == 3) return "caret LINE COL [LINE2 COL2]: two or four numbers";
        for (const auto& a : args) {
          if (auto err = Number(a, 1, kMaxCaretNumber); !err.empty()) return "caret: " + err;
        }
        return "";
    }
    return "";
  }

 private:
  std::string Path(const std::string& word) {
    const auto path = WindowsPathOfArgument(word);
    if (!path || word.empty()) return "'" + word + "': " + WindowsNameRefusal(word);
    st_.paths.push_back(*path);
    return "";
  }

  std::string Number(const std::string& word, int64_t lo, int64_t hi) {
    int64_t n = 0;
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, n);
    if (word.empty() || ec != std::errc() || ptr != end || n < lo || n > hi) {
      return "'" + word + "' is not a number from " + std::to_string(lo) + " to " + std::to_string(hi);
    }
    st_.numbers.push_back(n);
    return "";
  }

  std::string Command(const std::string& word, bool listCommand) {
    const CommandEntry* row = FindCommand(tables_, word);
    if (!row) return "unknown command '" + word + "' (pelnorix --commands lists them)";
    // The command must have a row on the road it is given to.
    bool reachable = false;
    for (CommandRows rows : tables_) {
      for (const CommandEntry& r : rows) {
        if (r.id != row->id) continue;
        const bool onList = r.target == CommandTarget::FileList;
        const bool onText = r.target == CommandTarget::TextView;
        if (listCommand ? !onText : !onList) reachable = true;
      }
    }
    if (!reachable) {
      return std::string(row->name) + (listCommand ? " is a menu command of the text pane: use 'command'"
                                                   : " is a file-list command: use 'list-command'");
    }
    st_.command = row;
    return "";
  }

  std::string Text(const std::string& word, std::string& out) {
    const auto sjis = plat::Utf8ToCp932(word);
    if (!sjis) return "'" + word + "' cannot be written in Shift-JIS (CP932)";
    out = *sjis;
    return "";
  }

  std::string Answers(const std::vector<std::string>& args) {
    ScriptAnswer fields;
    fields.box = false;
    fields.result = plat::IDOK;
    auto flushFields = [&] {
      if (!fields.fields.empty()) st_.answers.push_back(fields);
      fields.fields.clear();
    };
    for (const auto& a : args) {
      const std::string word = AsciiLowerCopy(a);
      const int result = word == "yes" ? plat::IDYES : word == "no" ? plat::IDNO : word == "ok" ? plat::IDOK
                         : word == "cancel" ? plat::IDCANCEL : 0;
      const size_t eq = a.find('=');
      if (result != 0) {
        flushFields();
        st_.answers.push_back(ScriptAnswer{true, result, {}});
      } else if (eq != std::string::npos && eq > 0) {
        std::string value;
        const std::string name = a.substr(0, eq);
        if (name == "color") {
          // A colour dialog's choice as RRGGBB.
          const std::string hex = a.substr(eq + 1);
          if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return "answer color=RRGGBB: '" + hex + "' is not a colour";
          }
          value = hex;
        } else if (name == "path") {
          if (auto err = Path(a.substr(eq + 1)); !err.empty()) return "answer: " + err;
          value = st_.paths.back();
          st_.paths.pop_back();
        } else if (auto err = Text(a.substr(eq + 1), value); !err.empty()) {
          return "answer: " + err;
        }
        fields.fields[name] = value;
      } else {
        flushFields();
        ScriptAnswer bare{false, plat::IDOK, {}};
        if (auto err = Text(a, bare.fields["value"]); !err.empty()) return "answer: " + err;
        if (const auto path = WindowsPathOfArgument(a); path && !a.empty()) bare.fields["path"] = *path;
        st_.answers.push_back(bare);
      }
    }
    flushFields();
    return "";
  }

  std::string Setting(const std::string& word) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos || eq == 0) return "set needs KEY=VALUE, not '" + word + "'";
    st_.key = word.substr(0, eq);
    st_.value = word.substr(eq + 1);
    for (const auto& s : DescribeSettings()) {
      // The value is checked here, so that a bad one stops the script before any line runs.
      if (s.key == st_.key) {
        const std::string problem = CheckTypedSetting(st_.key, st_.value);
        return problem.empty() ? "" : "set " + st_.key + ": " + problem;
      }
    }
    return "unknown setting '" + st_.key + "' (pelnorix --help lists them)";
  }

  std::string Subject(const VerbName& verb, const std::vector<std::string>& args) {
    st_.what = AsciiLowerCopy(args[0]);
    const bool expect = verb.verb == ScriptVerb::Expect;
    const bool rich = st_.what == "rtf" || st_.what == "table" || st_.what == "clipboard";
    if (st_.what != "text" && st_.what != "status" && st_.what != "title" && st_.what != "trace" &&
        st_.what != "history" && !rich && (expect || st_.what != "selection")) {
      return std::string(verb.name) +
             (expect ? " text|status|title|rtf|table|clipboard|trace|history CONTAINS"
                     : " text|status|title|selection|rtf|table|clipboard|trace|history") +
             ": not '" + args[0] + "'";
    }
    return expect ? Text(args[1], st_.contains) : "";
  }

  const CommandTables& tables_;
  ScriptStatement& st_;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool SplitScriptLine(std::string_view line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size() || line[i] == '#') break;
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else if (line[i] == '\t') {
        // A TAB only separates words: inside a quoted word it would become part of a
        // name or a text, where no control character may stand.
        error = "a control character (TAB) inside a quoted word";
        return false;
      } else {
        word += line[i];
      }
    }
    if (quoted) {
      error = "unbalanced double quote";
      return false;
    }
    words.push_back(std::move(word));
  }
  return true;
}

ParsedScript ParseScript(std::string_view text, const CommandTables& tables) {
  ParsedScript script;
  int lineNo = 0;
  auto fail = [&](std::string message) {
    script.errorLine = lineNo;
    script.error = std::move(message);
    script.statements.clear();
    return script;
  };
  // A byte-order mark some editors put first is not part of the first statement.
  size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (pos < text.size()) {
    ++lineNo;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxScriptLine) {
      return fail("line longer than " + std::to_string(kMaxScriptLine) + " bytes");
    }
    for (char c : line) {
      // A control character could cut a name short where the file system reads it;
      // a TAB serves only between words (SplitScriptLine refuses it inside one).
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return fail("a control character in the line");
    }
    std::vector<std::string> words;
    std::string error;
    if (!SplitScriptLine(line, words, error)) return fail(error);
    if (words.empty()) continue;
    const VerbName* verb = nullptr;
    for (const VerbName& v : kVerbs) {
      if (words[0] == v.name) verb = &v;
    }
    if (!verb) return fail("unknown statement '" + words[0] + "' (pelnorix --help lists them)");
    std::vector<std::string> args(words.begin() + 1, words.end());
    std::vector<std::string> during;
    if (TakesDuringKeys(verb->verb)) {
      // The first argument is never the word `keys`: it is the path, command or key.
      const auto at = args.size() > 1 ? std::find(args.begin() + 1, args.end(), "keys") : args.end();
      if (at != args.end()) {
        during.assign(at + 1, args.end());
        args.erase(at, args.end());
        if (during.empty()) return fail(std::string(verb->name) + ": 'keys' needs at least one key");
      }
    }
    if (args.size() < verb->minArgs) return fail(std::string(verb->name) + ": missing argument");
    if (args.size() > verb->maxArgs) return fail(std::string(verb->name) + ": too many arguments");
    ScriptStatement st;
    st.line = lineNo;
    st.verb = verb->verb;
    if (std::string err = StatementReader(tables, st).Read(*verb, args); !err.empty()) return fail(err);
    for (const std::string& name : during) {
      const auto key = ParseKeyName(name);
      if (!key) return fail("unknown key '" + name + "' (pelnorix --help lists the keys)");
      st.duringKeys.push_back(*key);
    }
    script.statements.push_back(std::move(st));
  }
  return script;
}

const char* ScriptStatementsHelp() {
  return "  Every statement finishes before the next one starts.\n"
         "  open PATH [keys KEY...]    File > Open: load PATH and show it\n"
         "  command ID|NAME [shift] [ctrl] [keys KEY...]   run a menu command of the text pane,\n"
         "                             with Shift or Ctrl held for commands that read them\n"
         "  key KEY... [keys KEY...]   key presses to the active pane (the text pane, or the\n"
         "                             list a `list` made active, until a click), one after another\n"
         "  ... keys KEY...            after open, command, list-command or key: keys pressed while\n"
         "                             it runs (for key, while its last key runs), so a long\n"
         "                             operation's Esc poll takes them; what it leaves reaches the\n"
         "                             active pane after it\n"
         "  click X Y [right]          a mouse click on the text pane's client area\n"
         "  drag X1 Y1 X2 Y2           a drag with the left button\n"
         "  answer VALUE...            answers for the next statement (what it does not use is\n"
         "                             dropped): yes ok accept and no cancel refuse a question; NAME=VALUE\n"
         "                             fields or a bare value (a file dialog takes a path) for dialogs;\n"
         "                             color=RRGGBB answers a colour dialog, text=TEXT a text input\n"
         "  wait MS                    advance the program clock, firing due timers in order\n"
         "  list N PATH                list N (1 or 2) becomes active, shows PATH's folder, PATH current\n"
         "  select PATH...             select items of the active list\n"
         "  list-command NAME [keys KEY...]   run a command of the active file list on its selection\n"
         "  set KEY=VALUE              a setting, as --set\n"
         "  print text|status|title|selection   write it to standard output (status: the\n"
         "                             panes that hold a text, joined by \" | \")\n"
         "  expect text|status|title CONTAINS   stop with exit 1 unless it contains CONTAINS\n"
         "  print trace, expect trace CONTAINS   every status text (pane 0) and message since the\n"
         "                             statement before, one a line\n"
         "  address TEXT               the address command: an adrs://xNNNNNN address opens history\n"
         "                             entry NNNNNN; another is kept in the history and opened\n"
         "                             (a page the program fetches itself that fails: exit 1);\n"
         "                             with htmlpane=1 it goes to the HTML browser pane, made active\n"
         "  pane html|text             commands go to the HTML browser pane, or back to the text pane;\n"
         "                             after `pane html`, print text is the page shown and print\n"
         "                             history its jump slots (slot number and address, one a line)\n"
         "  save-pane FILE             write the text pane's client area (640 x 480) as PNG\n"
         "  save-display FILE          write the whole rendered image, as the display pipeline\n"
         "                             made it (zoom, rotation, filters), as PNG\n"
         "  scroll h|v POS             scroll the text pane (an image: to pixel POS)\n"
         "  hover X Y                  move the pointer over the text pane (the pixel read-out)\n"
         "  window NAME X Y W H RRGGBB place a window of one colour on the virtual desktop\n"
         "                             (captures without DISPLAY read that desktop)\n"
         "  front NAME MS              that window comes to the front MS program milliseconds\n"
         "                             later (a capture waiting for a clicked window takes it)\n"
         "  print rtf|table|clipboard  the text pane as RTF; its paragraphs as a table dump (one\n"
         "                             line each: text or rule, spacing, tab stops, cells with their\n"
         "                             rule slot and format); the clipboard's text\n"
         "  expect rtf|table|clipboard CONTAINS   the same subjects for expect\n"
         "  caret LINE COL [LINE2 COL2] place the caret, or select from the first place to the\n"
         "                             second; lines and columns count from 1, columns in characters\n";
}
