// Test helpers of the program's tests: a private program folder with a frame and a
// document for each test, beside the helpers of support/TestFiles.h.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"
#include "support/TestFiles.h"

namespace testenv {

// A test with its own program folder, frame and document (the three program-wide
// pointers point at them while the test runs). Messages are captured, not printed.
class DocTest : public ::testing::Test {
 protected:
  DocTest();
  ~DocTest() override;

  TempDir dir_;
  std::ostringstream messages_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<CQelDoc> doc_;

  // Windows path of a file in the test's folder (name in UTF-8).
  std::string Win(const std::string& name) const;
  // Writes bytes to a file in the test's folder; returns its Windows path.
  std::string WriteFile(const std::string& name, const std::string& bytes) const;
  // The display text of the last load.
  std::string Text() const;
};

// A run of the program as a user starts it from a shell: in folder (a host path), with
// its program folder at home, through prefix (a small disk's limit, "HOME=... ", ...)
// on args as the shell reads them. Its standard error is also left in folder/err.txt.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};
ProgramRun RunProgram(const std::string& folder, const std::string& home, const std::string& args,
                      const std::string& prefix = "");

}  // namespace testenv
