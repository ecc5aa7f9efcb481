// The command line of the pelnorix program: options, the file, and the run.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct CommandLine {
  bool help = false;
  bool rawSjis = false;                                   // --sjis: write the CP932 bytes as they are
  bool listCommands = false;                              // --commands: the command table
  bool version = false;                                   // --version, -V
  std::string script;                                     // --script FILE ("-" standard input)
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
  std::string file;                                       // as given (UTF-8 host path)
  std::string convertTo;                                  // --convert OUT: the picture's target, or ""
  std::string error;                                      // a usage error, or ""
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The Windows path (CP932, '\\' separators) of a host path given on the command line;
// nullopt when a name cannot be written so: a character CP932 lacks, or a '\\'
// inside a name, which the program would read as a separator.
std::optional<std::string> WindowsPathOfArgument(std::string_view hostPath);
// Why WindowsPathOfArgument refuses a name, for the message that names it.
std::string WindowsNameRefusal(std::string_view hostPath);

// Which of the two streams is a terminal: text from a file goes there with its
// control characters shown (platform/text/TerminalText.h), to a pipe or file as it is.
struct Terminals {
  bool out = false;
  bool err = false;
};

// Runs the program: returns the exit status (0 shown, 1 nothing shown, 2 usage error).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   Terminals terminals = {});
