#include "cli/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <ostream>

#include <unistd.h>

#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/Settings.h"
#include "cli/CommandTables.h"
#include "cli/ImageLine.h"
#include "cli/KeyNames.h"
#include "cli/OutputError.h"
#include "cli/ScriptParser.h"
#include "cli/ScriptRunner.h"
#include "cli/VolumeHint.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "platform/text/TerminalText.h"

namespace {

constexpr int kShown = 0;
constexpr int kNothingShown = 1;
constexpr int kUsageError = 2;

// kShown when the output took every byte; else the failure and its reason go to err.
int ShownOrWriteError(std::ostream& out, std::ostream& err) {
  const std::string why = OutputWriteError(out);
  if (why.empty()) return kShown;
  err << "pelnorix: " << why << '\n';
  return kNothingShown;
}

void PrintHelp(std::ostream& out) {
  out << "usage: pelnorix [--sjis] [--set KEY=VALUE]... FILE\n"
         "       pelnorix [--set KEY=VALUE]... --convert OUT FILE\n"
         "       pelnorix [--set KEY=VALUE]... --script FILE|-\n"
         "       pelnorix --commands | --version\n"
         "Shows FILE as text: the display text goes to standard output as UTF-8,\n"
         "messages to standard error.\n\n"
         "  --sjis           write the display text as Shift-JIS (CP932) bytes\n"
         "  --set KEY=VALUE  override a setting for this run (never saved)\n"
         "  --convert OUT    convert the picture FILE to OUT (.bmp .bmz .png .jpg .jpeg .pdf)\n"
         "  --script FILE    run a script of statements (- reads standard input)\n"
         "  --commands       list the commands a script can run: id, name, menu text,\n"
         "                   receiver, built or not, and the script's short name if any\n"
         "  -V, --version    the version\n"
         "  --help           this text\n\n"
         "settings (also read from Pelnor.inf in the program folder: $PELNORIX_HOME, else\n"
         "~/.local/share/pelnorix, or /tmp/pelnorix-"
      << geteuid()
      << " when HOME is unset; a folder that is a\n"
         "link, another user's or one others may write is refused, and the run then works\n"
         "with the defaults in a folder of its own):\n";
  for (const auto& s : DescribeSettings()) {
    out << "  " << s.key << std::string(s.key.size() < 12 ? 12 - s.key.size() : 1, ' ') << s.help << '\n';
  }
  out << "\nscript statements (one a line; \"quotes\" hold blanks; # starts a comment):\n"
      << ScriptStatementsHelp() << "keys: " << KeyNamesHelp() << '\n';
  out << "\nexit status: 0 shown (a script: every line ran), 1 nothing could be shown (a\n"
         "command or an expect failed), 2 usage error (a script error, with its line)\n";
}

constexpr size_t kOutputChunk = 65536;

// Writes the display text for the terminal: the column mark byte 6, on which the
// table display splits cells, as a tab, and CP932 as UTF-8. The text goes out in
// pieces, so that no copy of the whole text is made; a piece ends behind an ASCII
// byte other than CR, which never starts a double-byte character or a line end.
// UTF-8 holds a byte 6 only where the text did, so the mark is replaced after the
// conversion. Onto a terminal, control characters are shown, not written.
void WriteForTerminal(std::ostream& out, std::string_view text, bool terminal) {
  std::unique_ptr<char[]> utf8;
  size_t capacity = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.size(), at + kOutputChunk);
    while (end < text.size() && (static_cast<uint8_t>(text[end - 1]) >= 0x80 || text[end - 1] == '\r')) ++end;
    const std::string_view piece = text.substr(at, end - at);
    if (capacity < 3 * piece.size()) {
      capacity = 3 * piece.size();
      utf8 = std::make_unique_for_overwrite<char[]>(capacity);
    }
    const size_t n = plat::Cp932ToUtf8Into(piece, utf8.get());
    char* const last = utf8.get() + n;
    for (char* p = utf8.get(); (p = static_cast<char*>(std::memchr(p, '\x06', static_cast<size_t>(last - p)))) != nullptr;) *p++ = '\t';
    if (terminal) {
      out << plat::VisibleControls(std::string_view(utf8.get(), n), true);
    } else {
      out.write(utf8.get(), static_cast<std::streamsize>(n));
    }
    if (!out) return;  // the output took no more: its failure is reported by the caller
    at = end;
  }
}

// What the window would show (its status, title or a failure text), for the message stream.
std::string ShownLine(std::string_view sjis, bool terminal) {
  const std::string utf8 = plat::Cp932ToUtf8(sjis);
  return terminal ? plat::VisibleControls(utf8, true) : utf8;
}

// A line that repeats what the user typed (a name, a key, an option) goes to a
// terminal with its control characters shown, as every message does.
std::string TypedLine(const std::string& utf8, bool terminal) { return terminal ? plat::VisibleControls(utf8, true) : utf8; }

void PrintCommands(std::ostream& out) {
  for (CommandRows rows : AllCommandTables()) {
    for (const CommandEntry& row : rows) {
      const char* receiver = row.target == CommandTarget::TextView   ? "view"
                             : row.target == CommandTarget::FileList ? "list"
                             : row.target == CommandTarget::Document ? "document"
                             : row.target == CommandTarget::HtmlView ? "html"
                                                                     : "frame";
      out << row.id << '\t' << row.name << '\t' << row.menuText << '\t' << receiver << '\t'
          << (row.handler ? "built" : "not built");
      if (row.scriptName) out << '\t' << row.scriptName;
      out << '\n';
    }
  }
}

// Reads the script: a file, or standard input for "-"; bounded.
constexpr int64_t kMaxScriptBytes = 1 << 20;

std::optional<std::string> ReadScript(const std::string& name, std::string& error) {
  std::string text;
  if (name == "-") {
    char buf[4096];
    while (std::cin.read(buf, sizeof buf) || std::cin.gcount() > 0) {
      text.append(buf, static_cast<size_t>(std::cin.gcount()));
      if (static_cast<int64_t>(text.size()) > kMaxScriptBytes) break;
    }
  } else {
    const auto path = WindowsPathOfArgument(name);
    const auto bytes = path ? plat::ReadFileHead(*path, kMaxScriptBytes + 1) : std::nullopt;
    if (!bytes || plat::IsDirectory(*path)) {
      error = "cannot read the script";
      return std::nullopt;
    }
    text = *bytes;
  }
  if (static_cast<int64_t>(text.size()) > kMaxScriptBytes) {
    error = "the script is longer than " + std::to_string(kMaxScriptBytes) + " bytes";
    return std::nullopt;
  }
  return text;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  bool optionsEnd = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnd && a == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && (a == "--help" || a == "-h")) {
      cl.help = true;
    } else if (!optionsEnd && a == "--sjis") {
      cl.rawSjis = true;
    } else if (!optionsEnd && a == "--commands") {
      cl.listCommands = true;
    } else if (!optionsEnd && (a == "--version" || a == "-V")) {
      cl.version = true;
    } else if (!optionsEnd && a == "--script") {
      if (i + 1 >= args.size()) {
        cl.error = "--script needs FILE (or - for standard input)";
        return cl;
      }
      cl.script = args[++i];
    } else if (!optionsEnd && (a == "--set" || a.rfind("--set=", 0) == 0)) {
      std::string pair;
      if (a == "--set") {
        if (i + 1 >= args.size()) {
          cl.error = "--set needs KEY=VALUE";
          return cl;
        }
        pair = args[++i];
      } else {
        pair = a.substr(6);
      }
      const size_t eq = pair.find('=');
      if (eq == std::string::npos || eq == 0) {
        cl.error = "--set needs KEY=VALUE, not '" + pair + "'";
        return cl;
      }
      cl.sets.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    } else if (!optionsEnd && a == "--convert") {
      if (i + 1 >= args.size()) {
        cl.error = "--convert needs OUT";
        return cl;
      }
      cl.convertTo = args[++i];
    } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
      cl.error = "unknown option: " + a;
      return cl;
    } else if (cl.file.empty()) {
      cl.file = a;
    } else {
      cl.error = "only one FILE may be given";
      return cl;
    }
  }
  if (!cl.script.empty() && !cl.file.empty()) {
    cl.error = "--script takes no FILE";
  } else if (!cl.script.empty() && !cl.convertTo.empty()) {
    cl.error = "--convert takes a FILE, not a script";
  } else if (!cl.help && !cl.listCommands && !cl.version && cl.script.empty() && cl.file.empty()) {
    cl.error = "no FILE given";
  }
  return cl;
}

std::optional<std::string> WindowsPathOfArgument(std::string_view hostPath) {
  const auto sjis = plat::Utf8ToCp932(hostPath);
  // "R:\docs\a.txt" names a file on a drive: on an FTP site's pseudo-drive, or on
  // none (then it cannot be opened).
  if (sjis && sjis->size() >= 3 && (*sjis)[1] == ':' && (*sjis)[2] == '\\' &&
      (((*sjis)[0] >= 'A' && (*sjis)[0] <= 'Z') || ((*sjis)[0] >= 'a' && (*sjis)[0] <= 'z'))) {
    return *sjis;
  }
  if (!sjis || plat::FindLastSeparator(*sjis) != std::string::npos) return std::nullopt;
  std::string path = plat::FromHostPath(hostPath);
  // A relative name such as "c:x" must not be read as a drive.
  if (path.size() >= 2 && path[1] == ':') path = ".\\" + path;
  return path;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, Terminals terminals) {
  const CommandLine cl = ParseCommandLine(args);
  if (cl.help) {
    PrintHelp(out);
    return kShown;
  }
  if (!cl.error.empty()) {
    err << TypedLine("pelnorix: " + cl.error, terminals.err) << "\n(pelnorix --help lists the options)\n";
    return kUsageError;
  }
  if (cl.version) {
    out << "pelnorix " PELNORIX_VERSION "\n";
    return kShown;
  }
  if (cl.listCommands) {
    PrintCommands(out);
    return kShown;
  }

  CMainFrame frame;
  frame.Ui().SetMessageStream(&err, terminals.err);
  const std::string initialTitle = frame.GetWindowText();
  CQelDoc doc("", &frame);
  doc.ApplySettingsOnce(0);
  for (const auto& [key, value] : cl.sets) {
    std::string problem = ApplyTypedSetting(doc, key, value);
    if (!problem.empty()) {
      err << TypedLine("pelnorix: --set " + key + ": " + problem, terminals.err) << '\n';
      return kUsageError;
    }
  }

  if (!cl.script.empty()) {
    std::string problem;
    const auto text = ReadScript(cl.script, problem);
    const std::string name = cl.script == "-" ? "<stdin>" : cl.script;
    if (!text) {
      err << TypedLine("pelnorix: " + name + ": " + problem, terminals.err) << '\n';
      return kUsageError;
    }
    ScriptRunner runner(doc, frame, AllCommandTables(), out, err);
    runner.SetRawSjis(cl.rawSjis);
    runner.SetTerminal(terminals.out);
    return runner.Run(name, *text);
  }

  const auto path = WindowsPathOfArgument(cl.file);
  if (!path) {
    err << TypedLine("pelnorix: " + cl.file + ": " + WindowsNameRefusal(cl.file) + "; it is not opened", terminals.err) << '\n';
    return kNothingShown;
  }
  if (!cl.convertTo.empty()) return RunImageConversion(doc, *path, cl.convertTo, err);
  const int loaded = doc.LoadDocument(*path);
  if (IsImageKind(doc.m_nFileKind) && doc.m_nDisplayForm == 0) {
    const int shown = ShowImageLine(doc, out, err);
    return shown == kShown ? ShownOrWriteError(out, err) : shown;
  }
  const std::string_view text(doc.m_pText ? doc.m_pText : "", static_cast<size_t>(doc.m_nTextLen));
  if (loaded < 0) {
    err << ShownLine(text, terminals.err) << (text.empty() || text.back() != '\n' ? "\n" : "");  // one message a line
    WriteVolumeHint(doc.m_volumeCut, err);
    return kNothingShown;
  }
  if (cl.rawSjis) {
    out << (terminals.out ? plat::VisibleControls(text, false) : std::string(text));
  } else {
    WriteForTerminal(out, text, terminals.out);
  }
  if (ShownOrWriteError(out, err) != kShown) return kNothingShown;
  // What the window would show besides the text: the status pane and a changed title.
  const std::string status = frame.StatusBar().GetPaneText(0);
  if (!status.empty()) err << ShownLine(status, terminals.err) << '\n';
  if (frame.GetWindowText() != initialTitle) err << ShownLine(frame.GetWindowText(), terminals.err) << '\n';
  WriteVolumeHint(doc.m_volumeCut, err);
  return kShown;
}

std::string WindowsNameRefusal(std::string_view hostPath) {
  if (hostPath.empty()) return "an empty name names no file";
  if (hostPath.find('\\') != std::string_view::npos) {
    return "a '\\' is not allowed in a name: a Windows name reads it as a folder separator";
  }
  return "the name cannot be written in Shift-JIS (CP932) as a Windows name";
}
