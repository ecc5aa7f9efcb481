// The program folder holds every road's work files under fixed names: it and its
// TMP are made private, and refused when they are links or another user's.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

unsigned Permissions(const std::string& host) {
  struct stat st {};
  return lstat(host.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// Runs the program on a text file with the given environment; its messages.
std::string RunWith(const std::string& env, const std::string& file, int* status) {
  return testenv::Shell("env -i " + env + " " PELNORIX_BINARY " " + testenv::Quote(file) + " 2>&1 >/dev/null", status);
}

}  // namespace

TEST(ProgramFolderFault, WithoutAHomeTheFolderIsTheUsersOwnAndPrivate) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("a.txt"), "text");
  const std::string own = "/tmp/pelnorix-" + std::to_string(geteuid());
  int status = -1;
  const std::string out = RunWith("", dir.HostPath("a.txt"), &status);
  EXPECT_EQ(status, 0) << out;
  ASSERT_TRUE(fs::is_directory(own + "/TMP")) << out;
  EXPECT_EQ(Permissions(own + "/TMP"), 0700u);
}

TEST(ProgramFolderFault, LinkedOrForeignFolderIsRefusedWithAMessage) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("a.txt"), "text");
  fs::create_directories(dir.HostPath("elsewhere"));
  fs::create_directory_symlink(dir.HostPath("elsewhere"), dir.HostPath("linked"));
  int status = -1;
  std::string out = RunWith("PELNORIX_HOME=" + testenv::Quote(dir.HostPath("linked")), dir.HostPath("a.txt"), &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("実行できません"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir.HostPath("elsewhere"))) << "nothing is written where the link points";

  // A TMP that is a link into another folder is refused the same way.
  fs::create_directories(dir.HostPath("home"));
  fs::create_directory_symlink(dir.HostPath("elsewhere"), dir.HostPath("home/TMP"));
  out = RunWith("PELNORIX_HOME=" + testenv::Quote(dir.HostPath("home")), dir.HostPath("a.txt"), &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("TMP"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir.HostPath("elsewhere")));

  // A folder another user owns (the test can hand one over only when it runs as root).
  if (geteuid() != 0) GTEST_SKIP() << "making another user's folder needs root";
  fs::create_directories(dir.HostPath("foreign"));
  ASSERT_EQ(chown(dir.HostPath("foreign").c_str(), 65534, 65534), 0);
  // The shell prints the pid it then becomes, so only this run's folder is looked for
  // (other tests' runs make theirs in /tmp at the same time).
  out = testenv::Shell("echo $$; exec env -i PELNORIX_HOME=" + testenv::Quote(dir.HostPath("foreign")) + " " PELNORIX_BINARY " " +
                           testenv::Quote(dir.HostPath("a.txt")) + " 2>&1 >/dev/null",
                       &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("実行できません"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir.HostPath("foreign")));
  // The folder made for the run instead goes with it.
  const std::string ownStem = "pelnorix-run" + out.substr(0, out.find('\n')) + "-";
  for (const auto& e : fs::directory_iterator("/tmp"))
    EXPECT_NE(e.path().filename().string().rfind(ownStem, 0), 0u) << e.path();
}

TEST(ProgramFolderFault, NewProgramFolderAndTmpArePrivate) {
  testenv::TempDir dir;
  CMainFrame frame;
  CQelDoc doc(dir.Win() + "\\prog", &frame);
  EXPECT_EQ(Permissions(dir.HostPath("prog")), 0700u);
  EXPECT_EQ(Permissions(dir.HostPath("prog/TMP")), 0700u);
}

namespace {

class WorkFilesFault : public testenv::DocTest {};

}  // namespace

TEST_F(WorkFilesFault, LoadLeavesNoOfficePartsNorPictureData) {
  const std::string tmp = *plat::ToHostPath(doc_->TmpFolder());
  ASSERT_EQ(doc_->LoadDocument(plat::FromHostPath(testenv::DataPath("office/book.xlsx"))), 0);
  EXPECT_GT(doc_->m_nTextLen, 0);
  EXPECT_FALSE(fs::exists(tmp + "/XLSX")) << "the unpacked parts go with the load";
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::Shell("convert rose: " + testenv::Quote(dir_.HostPath("rose.png")));
  ASSERT_EQ(doc_->LoadDocument(Win("rose.png")), 0);
  EXPECT_FALSE(fs::exists(tmp + "/temp.zip")) << "the picture's data goes with the load";
  EXPECT_TRUE(fs::is_empty(tmp)) << "TMP holds nothing of either load";
}

// A program folder or TMP that other users may write was taken: they could put
// links under the fixed work names before a run writes through them. Each such
// folder is refused with the reason; the run works in a folder of its own and
// writes nothing into the refused one.
TEST(ProgramFolderFault, FolderOthersMayWriteIsRefused) {
  struct Case {
    const char* fault;
    unsigned homeMode;
    unsigned tmpMode;  // 0: no TMP yet
    const char* why;   // "" when the folder is taken
  };
  const Case cases[] = {
      {"home of mode 0777 was taken", 0777, 0, "mode 0777"},
      {"home others of the group may write was taken", 0775, 0, "mode 0775"},
      {"home shared like /tmp (sticky, 1777) was taken", 01777, 0, "mode 0777"},
      {"TMP of mode 0777 in a private home was taken", 0700, 0777, "mode 0777"},
      {"a home others may only read is the user's to keep", 0755, 0, ""},
  };
  for (const Case& c : cases) {
    testenv::TempDir dir;
    testenv::WriteHostFile(dir.HostPath("a.txt"), "text");
    const std::string home = dir.HostPath("home");
    fs::create_directories(home);
    if (c.tmpMode != 0) {
      fs::create_directories(home + "/TMP");
      ASSERT_EQ(chmod((home + "/TMP").c_str(), c.tmpMode), 0) << c.fault;
    }
    ASSERT_EQ(chmod(home.c_str(), c.homeMode), 0) << c.fault;
    int status = -1;
    const std::string out = RunWith("PELNORIX_HOME=" + testenv::Quote(home), dir.HostPath("a.txt"), &status);
    EXPECT_EQ(status, 0) << c.fault << out;
    if (*c.why == '\0') {
      EXPECT_EQ(out, "") << c.fault;
      EXPECT_TRUE(fs::exists(home + "/Pelnor.inf")) << c.fault;
      continue;
    }
    EXPECT_NE(out.find("実行できません"), std::string::npos) << c.fault << out;
    EXPECT_NE(out.find(c.why), std::string::npos) << c.fault << out;
    EXPECT_FALSE(fs::exists(home + "/Pelnor.inf")) << c.fault << ": nothing is written into a refused folder";
    if (c.tmpMode != 0) {
      EXPECT_TRUE(fs::is_empty(home + "/TMP")) << c.fault;
    }
  }
}
