// A folder of pictures made by ImageMagick and a `pelnorix --script` run over them,
// with the results compared by `compare -metric AE`: the ground of the tests that
// drive the image editor as a user's script does.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/TestEnv.h"

namespace imagetest {

class ScriptPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PROGRAM("compare"); }
  // A shell command run inside the test's folder.
  std::string Sh(const std::string& command) {
    return testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && " + command);
  }
  // Runs the script and gives its standard output; standard error lands in err.txt.
  std::string RunScript(const std::string& script, int* status) {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    return testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && PELNORIX_HOME=" +
                              testenv::Quote(dir_.HostPath("home")) + " " + testenv::Quote(PELNORIX_BINARY) +
                              " --script s.script 2>" + testenv::Quote(dir_.HostPath("err.txt")),
                          status);
  }
  // Runs the script, which must succeed; its standard output lands in out_.
  void Run(const std::string& script) {
    int status = -1;
    out_ = RunScript(script, &status);
    EXPECT_EQ(status, 0) << Err();
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
  // The number of differing pixels, "0" when the pictures are equal.
  std::string Differ(const std::string& a, const std::string& b) {
    return Sh("compare -metric AE " + a + " " + b + " null: 2>&1");
  }
  // The script lines that mark a region from (l, t) to (r, b) with two clicks.
  static std::string Region(int l, int t, int r, int b) {
    return "click " + std::to_string(l) + " " + std::to_string(t) + "\ncommand ID_REGION_TOP_LEFT\nclick " +
           std::to_string(r) + " " + std::to_string(b) + "\ncommand ID_REGION_BOTTOM_RIGHT\n";
  }
  testenv::TempDir dir_;
  std::string out_;
};

}  // namespace imagetest
