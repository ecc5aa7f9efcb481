// The pack commands on real trees, checked by unzip, zipinfo, 7z and lhasa: the own
// writer (Shift-JIS names), the zip program (ASCII names), the lha program, and the
// archives that must not be made.
#include <gtest/gtest.h>

#include <filesystem>

#include "ops/ArchiveModes.h"
#include "archive/ArchiveState.h"
#include "ops/ArchiveStatus.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class Packing : public testenv::DocTest {
 protected:
  Packing() : folder_(plat::GetCurrentDirectory()) {}
  ~Packing() override { plat::SetCurrentDirectory(folder_); }
  const std::string folder_;

  // A tree: a Japanese name, a name without a dot, a name starting with '-', an
  // empty file, an empty folder and a nested file.
  void MakeTree(const std::string& root, bool japanese) {
    namespace fs = std::filesystem;
    fs::create_directories(dir_.HostPath(root + "/sub/deep"));
    fs::create_directories(dir_.HostPath(root + "/empty"));
    testenv::WriteHostFile(dir_.HostPath(root + "/noext"), std::string(5000, 'n'));
    testenv::WriteHostFile(dir_.HostPath(root + "/-dash.txt"), "dash");
    testenv::WriteHostFile(dir_.HostPath(root + "/zero.bin"), "");
    testenv::WriteHostFile(dir_.HostPath(root + "/sub/deep/x.txt"), "deep text");
    if (japanese) testenv::WriteHostFile(dir_.HostPath(root + "/表示.txt"), "日本語");
  }
  std::string Run(const std::string& command, int* status) { return testenv::Shell(command + " 2>&1", status); }
};

}  // namespace

TEST_F(Packing, FolderPackedBesideItselfAndReadByOtherTools) {
  SKIP_WITHOUT_PROGRAM("unzip");
  for (bool japanese : {true, false}) {  // own writer, then the zip program when present
    const std::string root = japanese ? "jp" : "ascii";
    MakeTree(root, japanese);
    doc_->m_nActiveList = 2;
    doc_->m_strFileName2 = Win(root);
    const std::string before = plat::GetCurrentDirectory();
    ASSERT_TRUE(doc_->CompressToZip(CompressMode::kZip).ok()) << messages_.str();
    EXPECT_EQ(plat::GetCurrentDirectory(), before) << "the caller's folder is restored";
    EXPECT_EQ(doc_->m_strFileName2, Win(root) + ".zip");
    const std::string zip = dir_.HostPath(root + ".zip");
    int status = -1;
    std::string out = Run("unzip -t " + testenv::Quote(zip), &status);
    EXPECT_EQ(status, 0) << out;
    out = Run("zipinfo -1 " + testenv::Quote(zip), &status);
    // Relative names, "*.*" taking names without a dot, and the empty folder.
    for (const char* name : {"noext\n", "-dash.txt\n", "zero.bin\n", "sub/deep/x.txt\n", "empty/\n"})
      EXPECT_NE(out.find(name), std::string::npos) << name << " in\n" << out;
    EXPECT_EQ(out.find(root + "/"), std::string::npos) << out;
    if (japanese && testenv::PeerProgram("python3")) {
      // The name's own bytes, as Python's zipfile keeps them (code page 437 both ways).
      out = Run("python3 -c \"import zipfile,sys;print([i.filename.encode('cp437').hex() for i in "
                "zipfile.ZipFile(sys.argv[1]).infolist()])\" " + testenv::Quote(zip), &status);
      EXPECT_NE(out.find("955c8ea62e747874"), std::string::npos) << "Shift-JIS name stored in\n" << out;
    }
    if (testenv::PeerProgram("7z")) {
      out = Run("7z t " + testenv::Quote(zip), &status);
      EXPECT_EQ(status, 0) << out;
    }
  }
}

TEST_F(Packing, ArchivesThatMustNotBeMade) {
  MakeTree("t", false);
  ASSERT_TRUE(plat::SetCurrentDirectory(Win("t")));
  // An older archive in the packed folder is not packed into its successor.
  ASSERT_TRUE(doc_->WriteArchive(PackMode::kZip, PackName::Given("self.zip"), {"*.*"}, PackMessages::kQuiet, "").ok());
  ASSERT_TRUE(doc_->WriteArchive(PackMode::kZip, PackName::Given("self.zip"), {"*.*"}, PackMessages::kQuiet, "").ok());
  if (testenv::PeerProgram("zipinfo")) {
    int status = -1;
    const std::string out = Run("zipinfo -1 " + testenv::Quote(dir_.HostPath("t/self.zip")), &status);
    EXPECT_EQ(out.find("self.zip"), std::string::npos) << out;
  }
  // An archive that cannot be written fails and leaves nothing behind.
  EXPECT_EQ(doc_->WriteArchive(PackMode::kZip, PackName::Given(Win("t/noext/a.zip")), {"*.*"}, PackMessages::kQuiet, "").code, ArchiveCode::kFailed);
  EXPECT_FALSE(std::filesystem::exists(dir_.HostPath("t/noext/a.zip.$$$")));
  // Nothing to pack makes no archive; LZH without a packing program is refused.
  EXPECT_EQ(doc_->WriteArchive(PackMode::kZip, PackName::Given("none.zip"), {"nothing-*.x"}, PackMessages::kQuiet, "").code, ArchiveCode::kNothingToPack);
  EXPECT_FALSE(plat::Exists("none.zip"));
  doc_->Archive().m_nLhaCanCreate = 0;
  EXPECT_EQ(doc_->WriteArchive(PackMode::kLzh, PackName::FromSource(), {"noext"}, PackMessages::kQuiet, "").code, ArchiveCode::kFailed);
}

// A quiet pack that failed in the writer said nothing: its code is shown all the same.
TEST_F(Packing, QuietPackFailureHidesTheWritersCode) {
  MakeTree("t", false);
  ASSERT_TRUE(plat::SetCurrentDirectory(Win("t")));
  messages_.str("");
  EXPECT_EQ(doc_->WriteArchive(PackMode::kZip, PackName::Given(Win("t/noext/a.zip")), {"*.*"}, PackMessages::kQuiet, "").code, ArchiveCode::kFailed);
  EXPECT_NE(messages_.str().find("025"), std::string::npos) << messages_.str();
}

TEST_F(Packing, LzhArchivesThroughTheLhaProgramAndTheOwnReader) {
  SKIP_WITHOUT_PROGRAM("lhasa");
  MakeTree("src", true);
  SKIP_WITHOUT_PROGRAM("lha");
  ASSERT_TRUE(doc_->ProcessLzh(Win("a.lzh"), Win("src"), LzhMode::kPack).ok());
  if (doc_->Archive().m_nLhaCanCreate != 1) {
    if (std::getenv("CI")) FAIL() << "this lha cannot create archives";
    GTEST_SKIP() << "this lha cannot create archives";
  }
  int status = -1;
  const std::string out = Run("lhasa t " + testenv::Quote(dir_.HostPath("a.lzh")), &status);
  EXPECT_EQ(status, 0) << out;
  // Unpacked by the program and by the own reader, each file comes back.
  for (int road : {1, 0}) {
    doc_->Archive().m_nLhaCanCreate = road;
    const std::string target = road ? "by-program" : "by-own";
    ASSERT_TRUE(doc_->ProcessLzh(Win("a.lzh"), Win(target), LzhMode::kUnpack).ok());
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath(target + "/sub/deep/x.txt")), "deep text") << target;
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath(target + "/noext")), std::string(5000, 'n')) << target;
  }
}
