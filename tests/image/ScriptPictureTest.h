// A folder of pictures made by ImageMagick and a `pelnorix --script` run over them,
// with the results compared by `compare -metric AE`: the ground of the tests that
// drive the image editor as a user's script does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace imagetest {

class ScriptPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PROGRAM("compare"); }
  // A shell command run inside the test's folder.
  std::string Sh(const std::string& command, int* status = nullptr) {
    return testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && " + command, status);
  }
  // Runs the script and gives its standard output; standard error lands in err.txt.
  // The program may be started through a launcher (a small disk's prefix).
  std::string RunScript(const std::string& script, int* status, const std::string& launcher = "") {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    const testenv::ProgramRun run =
        testenv::RunProgram(dir_.Host(), dir_.HostPath("home"), "--script s.script", launcher);
    if (status) *status = run.status;
    return run.out;
  }
  // The folder "disk" on a full disk, holding the given files: a small tmpfs filled
  // up behind them where the test may mount one; elsewhere RunOnFullDisk runs the
  // program under a file-size limit of limitBytes, so that every write past it fails
  // as on a full disk.
  void MakeFullDisk(const std::vector<std::pair<std::string, std::string>>& files) {
    disk_.emplace(dir_, "disk", 64 << 10);
    for (const auto& [name, bytes] : files) testenv::WriteHostFile(disk_->HostPath(name), bytes);
    disk_->FillLeaving(0);
  }
  std::string RunOnFullDisk(const std::string& script, int* status, int64_t limitBytes) {
    return RunScript(script, status, disk_->Prefix(limitBytes));
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
  std::optional<testenv::SmallDisk> disk_;
  std::string out_;
};

}  // namespace imagetest
