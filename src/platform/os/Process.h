// Outside programs (unzip, zip, lha): found on PATH when first needed, run with an argument
// vector and never through a shell, so no name is ever interpreted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// The full host path of a program found on PATH, or "" when there is none.
std::string FindProgram(const std::string& name);

struct ProgramResult {
  int exitCode = -1;   // -1 when the program could not be started or was killed
  std::string output;  // standard output and standard error, as the program wrote them
};

// Runs program (a host path) with args (host strings) in folder (a host path; ""
// for the current one) and waits for it. With fileSizeLimit 0 or more no file it
// writes may pass that many bytes: a write past them ends it at once (killed).
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& folder = "", int64_t fileSizeLimit = -1);

}  // namespace plat
