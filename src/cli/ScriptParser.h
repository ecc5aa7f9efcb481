// The script language of `pelnorix --script`: one statement per line, words
// separated by blanks (spaces or TABs), double quotes around a word that holds
// spaces, '#' starting a word outside quotes begins a comment. No control character
// may stand in a word (a TAB inside quotes, a NUL anywhere is a script error), so no
// name or text carries one. The text is UTF-8; names and texts become
// CP932 here, and a line that cannot be read so is an error with its line number.
// Every line is checked before the first one runs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "frame/CommandTable.h"

enum class ScriptVerb { Open, Command, Key, Click, Drag, Answer, Wait, List, Select, ListCommand, Set, Print, Expect,
                        SavePane, SaveDisplay, Scroll, Hover, Window, Front, Caret, Address, Pane };

// One queued answer: for a message box (yes, no, ok, cancel) or for a dialog (its
// fields by name; a bare word is the field "value", and "path" when it names a file).
struct ScriptAnswer {
  bool box = true;
  int result = 0;
  std::map<std::string, std::string> fields;  // CP932 values
};

struct ScriptStatement {
  int line = 0;
  ScriptVerb verb = ScriptVerb::Open;
  std::vector<std::string> paths;  // CP932 Windows paths: open, list, select
  std::vector<int> keys;           // key-queue codes
  // `keys KEY...` after open, command, list-command or key: pressed while the statement
  // runs, so a long operation's Esc poll takes them
  std::vector<int> duringKeys;
  const CommandEntry* command = nullptr;
  std::vector<int64_t> numbers;    // click, drag, wait, list N, caret
  bool right = false;              // click ... right
  bool shift = false, ctrl = false; // command ... shift ctrl
  std::vector<ScriptAnswer> answers;
  std::string key, value;          // set KEY=VALUE; address: the address (CP932)
  // print and expect: text, status, title, selection, rtf, table, clipboard, trace; pane: html, text
  std::string what;
  std::string contains;            // expect: CP932
};

struct ParsedScript {
  std::vector<ScriptStatement> statements;
  int errorLine = 0;  // 0 when the script is sound
  std::string error;  // UTF-8
};

constexpr size_t kMaxScriptLine = 4096;

// Splits one line into words; false with the reason for an unbalanced quote or a
// TAB inside quotes.
bool SplitScriptLine(std::string_view line, std::vector<std::string>& words, std::string& error);
ParsedScript ParseScript(std::string_view text, const CommandTables& tables);
// The statements, one per line, for --help.
const char* ScriptStatementsHelp();
