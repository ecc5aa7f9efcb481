// Test helpers: a private program folder with a frame and a document for each test,
// paths of the fixtures, and small file utilities.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/QelDoc.h"
#include "frame/MainFrame.h"

namespace testenv {

// A fresh temporary folder (host path), removed with everything below it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Host() const { return host_; }
  // The folder as a Windows path (CP932, '\' separators).
  std::string Win() const;
  // Host path of a name inside the folder (name in UTF-8).
  std::string HostPath(const std::string& name) const { return host_ + "/" + name; }

 private:
  std::string host_;
};

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

// Fixture folders.
std::string DataPath(const std::string& name);          // tests/data/<name>
std::string SharedTestData(const std::string& name);    // ../shared/testdata/<name>, "" when absent
std::string ReadHostFile(const std::string& hostPath);
void WriteHostFile(const std::string& hostPath, const std::string& bytes);
// Whether a program is on PATH.
bool HaveProgram(const std::string& name);
// Whether a peer program that one check of a test compares with is on PATH; a missing
// one is noted, and in CI (CI set) it is a failure, since scripts/setup installs it.
bool PeerProgram(const std::string& name);
// Runs a command line through the shell (test set-up only); returns its standard output.
std::string Shell(const std::string& command, int* status = nullptr);
// Quotes a host string for the shell.
std::string Quote(const std::string& text);

// A run of the program as a user starts it from a shell: in folder (a host path), with
// its program folder at home, through prefix (a small disk's limit, "env -u DISPLAY ",
// ...) on args as the shell reads them. Its standard error is also left in
// folder/err.txt.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};
ProgramRun RunProgram(const std::string& folder, const std::string& home, const std::string& args,
                      const std::string& prefix = "");
// LibreOffice's conversion of a host file (`filter` as soffice --convert-to takes it,
// `ext` the extension it gives), with a profile in `dir`; "" when none was made.
std::string LibreOfficeConvert(const TempDir& dir, const std::string& hostFile, const std::string& filter,
                               const std::string& ext);

}  // namespace testenv

// Skips the test when a peer program it compares with is not on PATH; in CI (CI set)
// it fails instead, since scripts/setup installs every such program.
#define SKIP_WITHOUT_PROGRAM(name) \
  do { \
    if (!::testenv::HaveProgram(name)) { \
      if (std::getenv("CI")) FAIL() << (name) << " is not installed"; \
      GTEST_SKIP() << (name) << " is not installed"; \
    } \
  } while (0)

// Skips the test when the shared corpus it reads (testenv::SharedTestData gave "") is
// absent; in CI it fails instead, since CI has the corpus beside the project.
#define SKIP_WITHOUT_SHARED_DATA(path) \
  do { \
    if ((path).empty()) { \
      if (std::getenv("CI")) FAIL() << "shared test data absent: " << PELNORIX_SHARED_TESTDATA; \
      GTEST_SKIP() << "shared test data absent: " << PELNORIX_SHARED_TESTDATA; \
    } \
  } while (0)
