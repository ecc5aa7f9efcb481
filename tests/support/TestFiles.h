// Test helpers that need nothing of the program: a temporary folder, the fixture
// folders, small file utilities, the outside programs and the skip macros. The tests
// of the libraries below the program (base, codec, platform) link these alone;
// support/TestEnv.h adds a document and a frame for the others.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace testenv {

// A fresh temporary folder (host path), removed with everything below it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Host() const { return host_; }
  // The folder as a Windows path (CP932, '\' separators): support/TempDirWin.cpp,
  // linked by the tests of platform/os and the layers above it.
  std::string Win() const;
  // Host path of a name inside the folder (name in UTF-8).
  std::string HostPath(const std::string& name) const { return host_ + "/" + name; }

 private:
  std::string host_;
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
