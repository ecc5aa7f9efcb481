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

}  // namespace testenv
