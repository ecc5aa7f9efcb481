// pelnorix FILE: shows a file as text on the terminal.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunCommandLine(args, std::cout, std::cerr, Terminals{isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1});
}
