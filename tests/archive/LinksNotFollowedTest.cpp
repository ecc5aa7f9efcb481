// Folders with planted symbolic links and enciphered names that decipher to paths:
// the pack commands store no link target and never recurse through a link, and a
// deciphered name never moves a file out of its folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

const char kSecret[] = "secret outside the folder";

// A tree with a file, a subfolder, a link to a file outside and a link to its parent.
void PlantTree(const testenv::TempDir& dir) {
  fs::create_directories(dir.HostPath("tree/sub"));
  testenv::WriteHostFile(dir.HostPath("tree/a.txt"), "top file");
  testenv::WriteHostFile(dir.HostPath("tree/sub/b.txt"), "sub file");
  testenv::WriteHostFile(dir.HostPath("secret.txt"), kSecret);
  fs::create_symlink(dir.HostPath("secret.txt"), dir.HostPath("tree/sub/out.txt"));
  fs::create_directory_symlink("..", dir.HostPath("tree/sub/up"));
  fs::create_symlink(dir.HostPath("secret.txt"), dir.HostPath("tree/top-link.txt"));
}

int RunListScript(const testenv::TempDir& dir, const std::string& script, bool withPrograms, std::string* out) {
  testenv::WriteHostFile(dir.HostPath("script"), script);
  int status = -1;
  // A pack that recursed through the parent link would not end: the bound says so.
  *out = testenv::Shell("PELNORIX_HOME=" + Q(dir.HostPath("home")) + " timeout 120 env" +
                            (withPrograms ? "" : " PATH=/nonexistent") + " " PELNORIX_BINARY " --script " +
                            Q(dir.HostPath("script")) + " 2>&1",
                        &status);
  return status;
}

// The files of an archive as the own reader unpacks them, by relative path.
std::map<std::string, std::string> Unpacked(const std::string& archiveHost) {
  testenv::TempDir out;
  CMainFrame frame;
  std::ostringstream quiet;
  frame.Ui().SetMessageStream(&quiet);
  CQelDoc doc(out.Win() + "\\program", &frame);
  doc.Archive().m_pfnUnZip = nullptr;
  doc.Archive().m_nLhaCanCreate = 0;
  const std::string target = out.Win() + "\\x";
  if (archiveHost.ends_with(".lzh"))
    doc.ProcessLzh(plat::FromHostPath(archiveHost), target, LzhMode::kUnpack);
  else
    doc.ExtractZip(ExtractMode::kOwn, plat::FromHostPath(archiveHost), target, ExtractOverwrite::kAsk);
  plat::SetCurrentDirectory("\\tmp");
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(out.HostPath("x"))) {
    const std::string rel = fs::relative(e.path(), out.HostPath("x")).string();
    files[rel] = e.is_directory() ? "<dir>" : testenv::ReadHostFile(e.path().string());
  }
  return files;
}

}  // namespace

TEST(LinkFault, CompressFollowsNoLinkInASubfolder) {
  const std::map<std::string, std::string> expected{{"a.txt", "top file"}, {"sub", "<dir>"}, {"sub/b.txt", "sub file"}};
  for (bool programs : {false, true}) {
    if (programs && !testenv::PeerProgram("zip")) continue;
    testenv::TempDir dir;
    PlantTree(dir);
    std::string out;
    EXPECT_EQ(RunListScript(dir, "list 1 " + dir.HostPath("tree") + "\nlist-command compress\n", programs, &out), 0) << out;
    EXPECT_NE(out.find("シンボリックリンクは格納しません"), std::string::npos) << "the links left out are named: " << out;
    const std::string zip = testenv::ReadHostFile(dir.HostPath("tree.zip"));
    EXPECT_EQ(zip.find(kSecret), std::string::npos) << programs;
    EXPECT_EQ(Unpacked(dir.HostPath("tree.zip")), expected) << programs;
  }
}

TEST(LinkFault, CompressLzhFollowsNoLinkOutOfTheFolderNorIntoItsParent) {
  SKIP_WITHOUT_PROGRAM("lha");
  testenv::TempDir dir;
  PlantTree(dir);
  std::string out;
  EXPECT_EQ(RunListScript(dir, "list 1 " + dir.HostPath("tree") + "\nlist-command compress-lzh\n", true, &out), 0) << out;
  EXPECT_NE(out.find("シンボリックリンクは格納しません"), std::string::npos) << out;
  EXPECT_LT(fs::file_size(dir.HostPath("tree.lzh")), 4096u) << "the archive did not pack itself";
  // The folder is packed by its name from the folder above.
  const std::map<std::string, std::string> expected{
      {"tree", "<dir>"}, {"tree/a.txt", "top file"}, {"tree/sub", "<dir>"}, {"tree/sub/b.txt", "sub file"}};
  EXPECT_EQ(Unpacked(dir.HostPath("tree.lzh")), expected);
  // An existing archive of that name is asked about, and then replaced, not added to.
  testenv::WriteHostFile(dir.HostPath("tree/a.txt"), "changed");
  EXPECT_EQ(RunListScript(dir, "list 1 " + dir.HostPath("tree") + "\nlist-command compress-lzh\n", true, &out), 1) << out;
  EXPECT_EQ(Unpacked(dir.HostPath("tree.lzh")), expected);
  EXPECT_EQ(RunListScript(dir, "list 1 " + dir.HostPath("tree") + "\nanswer yes\nlist-command compress-lzh\n", true, &out), 0);
  EXPECT_EQ(Unpacked(dir.HostPath("tree.lzh"))["tree/a.txt"], "changed");
}

TEST(LinkFault, DecipheredNameThatIsAPathIsRefusedAndTheFileStays) {
  testenv::TempDir dir;
  CMainFrame frame;
  CQelDoc doc(dir.Win() + "\\program", &frame);
  doc.m_astrSysValue[29] = "PWRDxxxxABCD";
  fs::create_directories(dir.HostPath("a/b"));
  struct Case {
    std::string plain;  // Shift-JIS text the stored name deciphers to
    std::string escaped;
  };
  const std::vector<Case> cases{{"..\\..\\X", "up two folders"}, {"..", "the parent"}, {"C:X", "a drive"},
                                {"x/y", "a slash"},               {"a\x01z", "a control byte"}, {".", "the folder"}};
  for (const Case& c : cases) {
    const std::string cipher = doc.CipherFileName(CipherDirection::kEncipher, c.plain).path;
    ASSERT_NE(cipher.rfind("#~$_", 0), 0u) << c.escaped;
    const std::string stored = dir.HostPath("a/b/#~$_" + cipher + ".txt");
    testenv::WriteHostFile(stored, "kept in place");
    std::string out;
    const int status = RunListScript(dir, "list 1 " + stored + "\nanswer key=ABCD\nlist-command decipher-names\n", false, &out);
    EXPECT_EQ(status, 1) << c.escaped << ": " << out;
    EXPECT_NE(out.find("作成できません"), std::string::npos) << c.escaped << ": " << out;
    EXPECT_EQ(testenv::ReadHostFile(stored), "kept in place") << c.escaped;
    fs::remove(stored);
  }
  // Nothing arrived anywhere else.
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir.Host()))
    if (e.is_regular_file() && e.path().filename() != "script" && e.path().string().find("/home/") == std::string::npos)
      found.push_back(e.path().string());
  EXPECT_EQ(found, std::vector<std::string>{});
}
