// The command line of the pelnorix program: options, the file, and the run.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

struct CommandLine {
  bool help = false;
  bool rawSjis = false;                                   // --sjis: write the CP932 bytes as they are
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, in order
  std::string file;                                       // as given (UTF-8 host path)
  std::string error;                                      // a usage error, or ""
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Runs the program: returns the exit status (0 shown, 1 nothing shown, 2 usage error).
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
