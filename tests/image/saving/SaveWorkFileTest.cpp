// Picture saves write a new work file beside the target and rename it: a link
// planted where a fixed work name would be is never written through.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestEnv.h"

namespace fs = std::filesystem;
using testenv::Quote;
using testenv::Shell;

TEST(PictureSaveFault, PlantedWorkFileLinkIsNeverWrittenThrough) {
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::TempDir dir;
  Shell("convert rose: " + Quote(dir.HostPath("a.png")));
  testenv::WriteHostFile(dir.HostPath("victim.txt"), "someone else's file");
  for (const char* out : {"out.png", "out.jpg", "out.bmp", "out.pdf"}) {
    const std::string target = dir.HostPath(out);
    fs::create_symlink(dir.HostPath("victim.txt"), target + ".part~");
    int status = -1;
    Shell("PELNORIX_HOME=" + Quote(dir.HostPath("home")) + " " + Quote(PELNORIX_BINARY) + " --convert " +
              Quote(target) + " " + Quote(dir.HostPath("a.png")) + " 2>&1",
          &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("victim.txt")), "someone else's file") << out;
    EXPECT_TRUE(fs::is_symlink(target + ".part~")) << out;
    EXPECT_GT(fs::file_size(target), 100u) << out;
  }
  // Nothing else is left beside the targets.
  for (const auto& e : fs::directory_iterator(dir.Host())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "a.png" || name == "victim.txt" || name == "home" || name.rfind("out.", 0) == 0) << name;
  }
}
