// The archive commands on damaged archives and over the user's own files, as a user
// runs them (a script of list commands) and as the document calls them. Each input
// is made here: archives written by zip and lha and then damaged, files of the
// user's beside them. The user's files must come out byte-identical, nothing may be
// written outside the target, and the command's status and message must say what
// happened.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "archive/ArchiveTestSupport.h"
#include "archive/ArchiveState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

const char kSecret[] = "secret outside the folder";

// The CRC of one member (by name) in both its local and its central header, plus one.
std::string DamageCrc(std::string zip, const std::string& name) {
  for (const std::string& sig : {std::string("PK\x03\x04", 4), std::string("PK\x01\x02", 4)}) {
    const size_t crcAt = sig[2] == '\x03' ? 14 : 16;
    const size_t nameAt = sig[2] == '\x03' ? 30 : 46;
    for (size_t at = zip.find(sig); at != std::string::npos; at = zip.find(sig, at + 4)) {
      if (zip.compare(at + nameAt, name.size(), name) != 0) continue;
      zip[at + crcAt] = static_cast<char>(zip[at + crcAt] + 1);
    }
  }
  return zip;
}

// Runs a script with its own program folder; PATH empty leaves the outside programs out.
struct ScriptRun {
  int status = -1;
  std::string out;
};
ScriptRun RunScript(const testenv::TempDir& dir, const std::string& text, bool withPrograms) {
  testenv::WriteHostFile(dir.HostPath("script"), text);
  std::string env = "PELNORIX_HOME=" + Q(dir.HostPath("home")) + (withPrograms ? "" : " PATH=/nonexistent");
  ScriptRun run;
  run.out = testenv::Shell(env + " " PELNORIX_BINARY " --script " + Q(dir.HostPath("script")) + " 2>&1", &run.status);
  return run;
}

// Entries the commands leave in a folder that are not the given names.
std::vector<std::string> Leftovers(const std::string& folder, const std::set<std::string>& expected) {
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(folder))
    if (!expected.count(e.path().filename().string())) extra.push_back(e.path().filename().string());
  return extra;
}

}  // namespace

TEST(UnpackFault, BadCrcMemberLeavesTheUsersFileOfThatName) {
  SKIP_WITHOUT_PROGRAM("zip");
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("src"));
  testenv::WriteHostFile(dir.HostPath("src/データ.txt"), "archived text that fails its check");
  testenv::WriteHostFile(dir.HostPath("src/ok.txt"), "good member");
  testenv::Shell("cd " + Q(dir.HostPath("src")) + " && zip -q ../pack.zip データ.txt ok.txt");
  testenv::WriteHostFile(dir.HostPath("pack.zip"), DamageCrc(testenv::ReadHostFile(dir.HostPath("pack.zip")), "データ.txt"));
  testenv::WriteHostFile(dir.HostPath("データ.txt"), "the user's own text");
  // Even a Yes to the overwrite question never lets a member that failed replace a file.
  for (bool programs : {false, true}) {
    ScriptRun run = RunScript(dir,
                              "set utf8names=1\n"
                              "list 1 " + dir.HostPath("pack.zip") + "\n"
                              "answer yes yes\n"
                              "list-command unpack\n",
                              programs);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("ID_LIST_UNPACK failed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("045"), std::string::npos) << "the member's CRC code is shown: " << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("データ.txt")), "the user's own text") << programs;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("ok.txt")), "good member") << programs;
    EXPECT_EQ(Leftovers(dir.Host(), {"src", "pack.zip", "データ.txt", "ok.txt", "script", "home"}), std::vector<std::string>{});
    fs::remove(dir.HostPath("ok.txt"));
  }
}

TEST(UnpackFault, FailingMemberNamedLikeTheArchiveLeavesTheArchive) {
  testenv::TempDir dir;
  const std::string zip = ToString(RawZip({{"pack.zip", "not the archive", 0, 1}}));
  testenv::WriteHostFile(dir.HostPath("pack.zip"), zip);
  ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("pack.zip") + "\nanswer yes\nlist-command unpack\n", false);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("pack.zip")), zip);
}

TEST(UnpackFault, UnzipProgramStatusOfAFailureIsNotSuccess) {
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("unzip");
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("src"));
  testenv::WriteHostFile(dir.HostPath("src/doc.txt"), ToString(SampleText(20000)));
  testenv::WriteHostFile(dir.HostPath("src/new.txt"), "new member");
  testenv::Shell("cd " + Q(dir.HostPath("src")) + " && zip -q ../pack.zip doc.txt new.txt");
  testenv::WriteHostFile(dir.HostPath("pack.zip"), DamageCrc(testenv::ReadHostFile(dir.HostPath("pack.zip")), "doc.txt"));
  int unzipStatus = 0;
  testenv::Shell("unzip -tqq " + Q(dir.HostPath("pack.zip")) + " >/dev/null 2>&1", &unzipStatus);
  ASSERT_GE(unzipStatus, 2) << "unzip itself calls the damage a failure";
  testenv::WriteHostFile(dir.HostPath("doc.txt"), "the user's doc");
  ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("pack.zip") + "\nanswer yes yes\nlist-command unpack\n", true);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("doc.txt")), "the user's doc");
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("new.txt")), "new member");
  EXPECT_EQ(Leftovers(dir.Host(), {"src", "pack.zip", "doc.txt", "new.txt", "script", "home"}), std::vector<std::string>{});
}

TEST(UnpackFault, LzhDamagedMemberKeepsTheUsersFileAndTheRestComesOut) {
  SKIP_WITHOUT_PROGRAM("lha");
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("src"));
  testenv::WriteHostFile(dir.HostPath("src/a.txt"), "first member");
  testenv::WriteHostFile(dir.HostPath("src/b.txt"), ToString(SampleText(30000)));
  testenv::WriteHostFile(dir.HostPath("src/c.txt"), "last member");
  testenv::Shell("cd " + Q(dir.HostPath("src")) + " && lha aq ../pack.lzh a.txt b.txt c.txt");
  std::string lzh = testenv::ReadHostFile(dir.HostPath("pack.lzh"));
  const size_t b = lzh.find("b.txt");
  ASSERT_NE(b, std::string::npos);
  ASSERT_LT(b + 600, lzh.find("c.txt"));
  lzh[b + 600] = static_cast<char>(lzh[b + 600] ^ 0x5A);  // inside b.txt's packed data
  testenv::WriteHostFile(dir.HostPath("pack.lzh"), lzh);
  testenv::WriteHostFile(dir.HostPath("b.txt"), "the user's b");
  for (bool programs : {false, true}) {
    ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("pack.lzh") + "\nanswer yes yes yes\nlist-command unpack\n",
                              programs);
    EXPECT_EQ(run.status, 1) << programs << run.out;
    EXPECT_NE(run.out.find("ID_LIST_UNPACK failed"), std::string::npos) << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("b.txt")), "the user's b") << programs;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("a.txt")), "first member") << programs;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("c.txt")), "last member") << "later members still come out";
    EXPECT_EQ(Leftovers(dir.Host(), {"src", "pack.lzh", "a.txt", "b.txt", "c.txt", "script", "home"}),
              std::vector<std::string>{});
    fs::remove(dir.HostPath("a.txt"));
    fs::remove(dir.HostPath("c.txt"));
  }
}

TEST(UnpackFault, GoodMemberReplacesAnExistingFileOnlyAfterYes) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("pack.zip"), ToString(RawZip({{"over.txt", "from the archive"}})));
  testenv::WriteHostFile(dir.HostPath("over.txt"), "mine");
  for (bool programs : {false, true}) {
    ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("pack.zip") + "\nlist-command unpack\n", programs);
    // The file the user kept fails the statement, naming it.
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("上書きしますか"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("not replaced: " + dir.Host() + "/over.txt"), std::string::npos) << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("over.txt")), "mine");
  }
  ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("pack.zip") + "\nanswer yes\nlist-command unpack\n", false);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("over.txt")), "from the archive");
}

// The folder-handle walk at scale: 20,000 members written by zip, among them one
// named like the user's file, one below a planted link to a folder outside, one
// named like a planted link to a file outside, and one whose name climbs with "..".
TEST(UnpackFault, TwentyThousandMembersBesideAUsersFileLinksAndADotDotName) {
  SKIP_WITHOUT_PROGRAM("zip");
  constexpr int kMembers = 20000;
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("src/linked"));
  fs::create_directories(dir.HostPath("src/UP"));
  fs::create_directories(dir.HostPath("outside"));
  testenv::WriteHostFile(dir.HostPath("secret.txt"), kSecret);
  testenv::WriteHostFile(dir.HostPath("src/user.txt"), "archived user.txt");
  testenv::WriteHostFile(dir.HostPath("src/link.txt"), "archived link.txt");
  testenv::WriteHostFile(dir.HostPath("src/linked/inner.txt"), "through the link");
  testenv::WriteHostFile(dir.HostPath("src/UP/climb.txt"), "climbed");
  for (int i = 0; i < kMembers - 4; ++i) testenv::WriteHostFile(dir.HostPath("src/m" + std::to_string(i)), std::to_string(i));
  testenv::Shell("cd " + Q(dir.HostPath("src")) + " && zip -qrD ../pack.zip .");
  // "UP/climb.txt" becomes "../climb.txt" in both headers.
  std::string zip = testenv::ReadHostFile(dir.HostPath("pack.zip"));
  for (size_t at = zip.find("UP/climb.txt"); at != std::string::npos; at = zip.find("UP/climb.txt", at)) zip.replace(at, 2, "..");
  testenv::WriteHostFile(dir.HostPath("pack.zip"), zip);
  fs::create_directories(dir.HostPath("target"));
  fs::rename(dir.HostPath("pack.zip"), dir.HostPath("target/pack.zip"));
  testenv::WriteHostFile(dir.HostPath("target/user.txt"), "the user's own text");
  fs::create_symlink(dir.HostPath("secret.txt"), dir.HostPath("target/link.txt"));
  fs::create_directory_symlink(dir.HostPath("outside"), dir.HostPath("target/linked"));
  for (bool programs : {false, true}) {
    ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("target/pack.zip") + "\nlist-command unpack\n", programs);
    EXPECT_EQ(run.status, 1) << "the member below the link is not written: " << run.out.substr(0, 2000);
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("target/user.txt")), "the user's own text") << programs;
    EXPECT_TRUE(fs::is_symlink(dir.HostPath("target/link.txt"))) << programs;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("secret.txt")), kSecret) << programs;
    EXPECT_TRUE(fs::is_empty(dir.HostPath("outside"))) << programs;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("target/climb.txt")), "climbed") << programs;
    EXPECT_FALSE(fs::exists(dir.HostPath("climb.txt"))) << programs;
    int wrong = 0;
    for (int i = 0; i < kMembers - 4; ++i)
      wrong += testenv::ReadHostFile(dir.HostPath("target/m" + std::to_string(i))) != std::to_string(i);
    EXPECT_EQ(wrong, 0) << programs;
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.HostPath("target"))) {
      ++entries;
      EXPECT_NE(e.path().filename().string().rfind(".pelnorix", 0), 0u) << "a work file or folder was left";
    }
    // The members, the archive, user.txt, link.txt, linked and climb.txt.
    EXPECT_EQ(entries, static_cast<size_t>(kMembers - 4 + 5)) << programs;
    for (int i = 0; i < kMembers - 4; ++i) fs::remove(dir.HostPath("target/m" + std::to_string(i)));
    fs::remove(dir.HostPath("target/climb.txt"));
  }
}

TEST(CompressFault, CompressAsksBeforeReplacingAFileOfTheArchiveName) {
  testenv::TempDir dir;
  fs::create_directories(dir.HostPath("tree/sub"));
  testenv::WriteHostFile(dir.HostPath("tree/sub/a.txt"), "packed");
  for (bool programs : {false, true}) {
    testenv::WriteHostFile(dir.HostPath("tree.zip"), "my notes, not a zip");
    ScriptRun run = RunScript(dir, "list 1 " + dir.HostPath("tree") + "\nlist-command compress\n", programs);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("上書きしますか"), std::string::npos) << run.out;
    EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("tree.zip")), "my notes, not a zip") << programs;
    // After Yes the file becomes a new archive of the tree alone, never one added to.
    run = RunScript(dir, "list 1 " + dir.HostPath("tree") + "\nanswer yes\nlist-command compress\n", programs);
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string zip = testenv::ReadHostFile(dir.HostPath("tree.zip"));
    EXPECT_EQ(zip.rfind("PK\x03\x04", 0), 0u) << programs;
    EXPECT_EQ(zip.find("my notes"), std::string::npos);
    testenv::TempDir out;
    CMainFrame frame;
    CQelDoc doc(out.Win() + "\\program", &frame);
    doc.Archive().m_pfnUnZip = nullptr;
    ASSERT_TRUE(doc.ExtractZip(ExtractMode::kOwn, plat::FromHostPath(dir.HostPath("tree.zip")), out.Win() + "\\x", ExtractOverwrite::kAsk).ok());
    EXPECT_EQ(testenv::ReadHostFile(out.HostPath("x/sub/a.txt")), "packed") << programs;
    plat::SetCurrentDirectory("\\tmp");
    EXPECT_EQ(Leftovers(dir.Host(), {"tree", "tree.zip", "script", "home"}), std::vector<std::string>{});
  }
}

namespace {

class ProtectFault : public testenv::DocTest {
 protected:
  void SetUp() override { doc_->m_astrSysValue[29] = "PWRDxxxxABCD"; }
  std::string Read(const std::string& win) const { return testenv::ReadHostFile(*plat::ToHostPath(win)); }
  // The one file in the test's folder whose name starts with the stored mark.
  std::string StoredFile() const {
    std::string found;
    for (const auto& e : fs::directory_iterator(dir_.Host()))
      if (e.path().filename().string().rfind("#~$_", 0) == 0) found = e.path().string();
    return found;
  }
};

// A one-member ZIP archive with a Deflate member whose header declares `declared` bytes.
std::string DeflatedZip(const std::string& name, const Bytes& data, uint32_t declared) {
  const Bytes packed = ZlibDeflate(data, 9);
  const uint32_t crc = static_cast<uint32_t>(::crc32(0, data.data(), static_cast<uInt>(data.size())));
  Bytes zip;
  Le32(zip, 0x04034b50), Le16(zip, 20), Le16(zip, 0), Le16(zip, 8), Le16(zip, 0), Le16(zip, 0x58A6);
  Le32(zip, crc), Le32(zip, static_cast<uint32_t>(packed.size())), Le32(zip, declared);
  Le16(zip, static_cast<uint32_t>(name.size())), Le16(zip, 0);
  zip.insert(zip.end(), name.begin(), name.end());
  zip.insert(zip.end(), packed.begin(), packed.end());
  return ToString(zip);
}

}  // namespace

TEST_F(ProtectFault, EncipheredNameAsksBeforeReplacingTheEarlierProtectedFile) {
  doc_->Archive().m_bEncryptNames = 1;
  const std::string src = WriteFile("memo@Enc.txt", "second version");
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kScramble, src, "").ok());
  const std::string stored = StoredFile();
  ASSERT_FALSE(stored.empty());
  testenv::WriteHostFile(stored, "the earlier protected file");
  // No answer: the earlier file stays, and the call says it wrote nothing.
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kScramble, src, "").code, ArchiveCode::kFailed);
  EXPECT_EQ(testenv::ReadHostFile(stored), "the earlier protected file");
  EXPECT_NE(messages_.str().find("上書きしますか"), std::string::npos);
  frame_->Ui().QueueAnswer(plat::IDYES);
  EXPECT_TRUE(doc_->ConvertSource(SourceMode::kScramble, src, "").ok());
  EXPECT_NE(testenv::ReadHostFile(stored), "the earlier protected file");
  EXPECT_FALSE(plat::Exists(Win("memo@Enc.+txt"))) << "only the stored name is written";
  EXPECT_EQ(StoredFile(), stored);
}

TEST_F(ProtectFault, ExpandingAProtectedBombStaysWithinTheVolume) {
  // No allocation may pass a few times the volume (10 MB pictures, the larger one).
  doc_->m_allocHook.FailAbove(size_t{64} << 20);
  const Bytes zeros(size_t{200} << 20, 0);
  // A member that declares its 200 MB is refused with the size message; one that
  // claims 1,000 bytes stops where its data passes them, a damaged archive (050).
  WriteFile("honest.=txt", DeflatedZip("honest.txt", zeros, static_cast<uint32_t>(zeros.size())));
  WriteFile("lying.=txt", DeflatedZip("lying.txt", zeros, 1000));
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kExpand, Win("honest.=txt"), "").code, ArchiveCode::kSizeOver);
  EXPECT_NE(messages_.str().find("ファイル容量オーバーです(>10MB)"), std::string::npos) << messages_.str();
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kExpand, Win("lying.=txt"), "").code, ArchiveCode::kFailed);
  EXPECT_EQ(frame_->GetWindowText(), "050");
  EXPECT_FALSE(plat::Exists(doc_->TmpFolder() + "\\PelnorE3.txt"));
  // A source within the volume still expands whole.
  Bytes text;
  while (text.size() < (size_t{3} << 20)) {
    const Bytes part = SampleText(1 << 20);
    text.insert(text.end(), part.begin(), part.end());
  }
  WriteFile("fits.=txt", DeflatedZip("fits.txt", text, static_cast<uint32_t>(text.size())));
  const ArchiveStatus expanded = doc_->ConvertSource(SourceMode::kExpand, Win("fits.=txt"), "");
  ASSERT_TRUE(expanded.ok());
  EXPECT_EQ(Read(expanded.path), ToString(text));
}
