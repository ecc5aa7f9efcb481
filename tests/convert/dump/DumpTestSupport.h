// Helpers of the dump tests: a document test that loads a file and returns its
// display text, and the fixtures of tests/data/dump.
#pragma once

#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace dumptest {

class DumpTest : public testenv::DocTest {
 protected:
  // Copies bytes to a file of the given name, loads it and returns the display text.
  std::string Show(const std::string& name, const std::string& bytes) {
    return ShowPath(WriteFile(name, bytes));
  }
  std::string ShowPath(const std::string& winPath) {
    doc_->LoadDocument(winPath);
    return Text();
  }
  // A fixture's bytes.
  static std::string Fixture(const std::string& name) { return testenv::ReadHostFile(testenv::DataPath("dump/" + name)); }
  std::string ShowFixture(const std::string& name, const std::string& as = "") {
    return Show(as.empty() ? name : as, Fixture(name));
  }
};

// The text split at CR LF (or LF) line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  return lines;
}

}  // namespace dumptest
