// Saves that write a new file beside the target and rename it into place, driven as
// a user does (`--convert`, list commands): the user's file they replace keeps its
// permissions, and a write-protected one is replaced only after the user agreed.
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
    unsigned mode = 0604;  // the user's file's mode
    int status = 0;        // not 0: the file is kept as it was, and `said` is said
    const char* said = nullptr;
    unsigned modeAfter = 0604;
  };
  // A write-protected file was replaced silently (mode kept) by --convert, by an image
  // save after a yes to the overwrite question and by the temporary save. It is
  // refused with the write-protected message where the road asks nothing, and asked
  // about (string 329) where it asks; a yes makes it writable and replaces it.
  const char* refused = "は書込み禁止又は他で使用中です";

  const std::vector<Road> roads = {
      {"PNG", "out.png", "--convert out.png p.bmp", nullptr},
      {"JPEG", "out.jpg", "--convert out.jpg p.bmp", nullptr},
      {"PDF", "out.pdf", "--convert out.pdf p.bmp", nullptr},
      {"ZIP by the own writer", "tree.zip", "--script pack.script", nullptr},
      {"ZIP by zip", "tree.zip", "--script pack.script", "zip"},
      {"LZH by lha", "tree.lzh", "--script lzh.script", "lha"},
      {"protected copy", "memo.+txt", "--script protect.script", nullptr},
      {"read-only PNG by --convert", "out.png", "--convert out.png p.bmp", nullptr, 0444, 1, refused},
      {"read-only PDF by --convert", "out.pdf", "--convert out.pdf p.bmp", nullptr, 0444, 1, refused},
      {"read-only file by the temporary save", "p_TMP.bmp", "--script temp.script", nullptr, 0444, 1, refused},
      {"read-only PNG saved after a yes", "out.png", "--script save.script", nullptr, 0444, 1, "は書込み禁止です"},
      {"read-only PNG saved after a yes to both questions", "out.png", "--script save2.script", nullptr, 0444, 0, nullptr, 0644},
      {"read-only protected copy after a yes", "memo.+txt", "--script protect.script", nullptr, 0444, 1, "は書込み禁止です"},
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
    testenv::WriteHostFile(dir.HostPath("temp.script"), "open p.bmp\ncommand ID_IMAGE_SAVE_TEMP\n");
    // A yes to the overwrite question, then (save2) to the write-protected one.
    testenv::WriteHostFile(dir.HostPath("save.script"), "open p.bmp\nanswer path=out.png yes\ncommand ID_IMAGE_SAVE_PNG\n");
    testenv::WriteHostFile(dir.HostPath("save2.script"), "open p.bmp\nanswer path=out.png yes yes\ncommand ID_IMAGE_SAVE_PNG\n");
    testenv::WriteHostFile(dir.HostPath(road.target), "the user's own file");
    ASSERT_EQ(chmod(dir.HostPath(road.target).c_str(), road.mode), 0);
    // Without the outside programs on PATH the own writer packs.
    const std::string path = std::string(road.what) == "ZIP by the own writer" ? "env PATH=/nonexistent " : "";
    const testenv::ProgramRun run = testenv::RunProgram(d, dir.HostPath("home"), road.run, path);
    EXPECT_EQ(run.status, road.status) << run.out << run.err;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath(road.target)) == "the user's own file", road.status != 0) << "replaced";
    if (road.said) {
      EXPECT_NE(run.err.find(road.said), std::string::npos) << run.err;
    }
    struct stat st {};
    ASSERT_EQ(stat(dir.HostPath(road.target).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, road.status != 0 ? road.mode : road.modeAfter);
  }
}

}  // namespace
