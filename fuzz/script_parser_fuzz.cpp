// The script language: any bytes either parse into statements whose names are
// whole CP932 paths without control characters, or give one error with the number
// of a line the text has.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/CommandTables.h"
#include "cli/ScriptParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParsedScript script = ParseScript(text, AllCommandTables());
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
  if (script.errorLine < 0 || script.errorLine > lines) std::abort();
  if (script.errorLine != 0 && (script.error.empty() || !script.statements.empty())) std::abort();
  for (const ScriptStatement& st : script.statements) {
    if (st.line < 1 || st.line > lines) std::abort();
    for (const std::string& path : st.paths) {
      if (path.empty()) std::abort();
      for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20) std::abort();
      }
    }
    if ((st.verb == ScriptVerb::Command || st.verb == ScriptVerb::ListCommand) && !st.command) std::abort();
  }
  return 0;
}
