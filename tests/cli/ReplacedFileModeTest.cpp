// Saves that write a new file beside the target and rename it into place, driven as
// a user does (`--convert`, list commands): the user's file they replace keeps its
// permissions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace {

// The PNG save, the archives made by the program's own writer and by the zip and lha
// programs, and the protected copy gave the replaced file the mode of any new file
// (0644 under the usual umask); the page source already kept it. Every such road now
// keeps the mode the user gave the file (here 0604, which no umask gives).
TEST(ReplacedFileFault, SaveBesideAndRenameLostTheFilesPermissions) {
  SKIP_WITHOUT_PROGRAM("convert");
  struct Road {
    const char* what;
    const char* target;
    std::string run;       // arguments of pelnorix, run in the test's folder
    const char* program;   // an outside program the road needs, or nullptr
  };
  const std::vector<Road> roads = {
      {"PNG", "out.png", "--convert out.png p.bmp", nullptr},
      {"JPEG", "out.jpg", "--convert out.jpg p.bmp", nullptr},
      {"PDF", "out.pdf", "--convert out.pdf p.bmp", nullptr},
      {"ZIP by the own writer", "tree.zip", "--script pack.script", nullptr},
      {"ZIP by zip", "tree.zip", "--script pack.script", "zip"},
      {"LZH by lha", "tree.lzh", "--script lzh.script", "lha"},
      {"protected copy", "memo.+txt", "--script protect.script", nullptr},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.what);
    if (road.program && !testenv::PeerProgram(road.program)) continue;
    testenv::TempDir dir;
    const std::string d = dir.Host();
    testenv::Shell("cd " + testenv::Quote(d) + " && convert rose: -type TrueColor BMP3:p.bmp && mkdir tree");
    testenv::WriteHostFile(dir.HostPath("tree/a.txt"), "packed text");
    testenv::WriteHostFile(dir.HostPath("memo.txt"), "plain memo");
    testenv::WriteHostFile(dir.HostPath("pack.script"), "list 1 tree\nanswer yes\nlist-command compress\n");
    testenv::WriteHostFile(dir.HostPath("lzh.script"), "list 1 tree\nanswer yes\nlist-command compress-lzh\n");
    testenv::WriteHostFile(dir.HostPath("protect.script"), "list 1 memo.txt\nanswer key=ABCD\nanswer yes\nlist-command protect\n");
    testenv::WriteHostFile(dir.HostPath(road.target), "the user's own file");
    ASSERT_EQ(chmod(dir.HostPath(road.target).c_str(), 0604), 0);
    // Without the outside programs on PATH the own writer packs.
    const std::string path = std::string(road.what) == "ZIP by the own writer" ? "env PATH=/nonexistent " : "";
    const testenv::ProgramRun run = testenv::RunProgram(d, dir.HostPath("home"), road.run, path);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(testenv::ReadHostFile(dir.HostPath(road.target)), "the user's own file") << "replaced";
    struct stat st {};
    ASSERT_EQ(stat(dir.HostPath(road.target).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
  }
}

}  // namespace
