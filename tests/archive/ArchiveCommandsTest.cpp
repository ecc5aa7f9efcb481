// The archive commands as a user reaches them: a script of list commands run by the
// program itself, checked on the files it leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/ArchiveTestSupport.h"
#include "support/TestEnv.h"

TEST(ArchiveCommands, ScriptPacksUnpacksProtectsAndRenames) {
  namespace fs = std::filesystem;
  testenv::TempDir dir;
  const std::string d = dir.Host();
  fs::create_directories(d + "/tree/sub");
  testenv::WriteHostFile(d + "/tree/sub/a.txt", "packed text");
  testenv::WriteHostFile(d + "/memo.txt", "plain memo");
  const std::string script = "list 1 " + d + "/tree\n"
                             "list-command compress\n"
                             "list 1 " + d + "/tree.zip\n"
                             "list-command ID_LIST_UNPACK\n"  // into its folder, over the tree
                             "list 1 " + d + "/memo.txt\n"
                             "answer key=ABCD\n"
                             "list-command protect\n"
                             "list 1 " + d + "/memo.+txt\n"
                             "list-command expand\n"
                             "expect text \"plain memo\"\n"
                             "answer path=" + d + "/copy.+txt\n"
                             "list-command save-source-as\n";
  archtest::UserRun run = archtest::RunUserScript(dir, script, true);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(fs::exists(d + "/tree.zip"));
  EXPECT_EQ(testenv::ReadHostFile(d + "/tree/sub/a.txt"), "packed text");
  EXPECT_TRUE(fs::exists(d + "/memo.+txt"));
  EXPECT_EQ(testenv::ReadHostFile(d + "/copy.+txt"), testenv::ReadHostFile(d + "/memo.+txt")) << "same key, same bytes";
  // No plain copy is left in the work folder.
  for (const auto& e : fs::directory_iterator(d + "/home/TMP")) ADD_FAILURE() << e.path();
}

// The name commands: a name marked "@Enc" is enciphered and comes back with the same
// key; a name without the mark is left as it is (as the name cipher leaves it, where
// it once became "memo@Enc.txt" on the way back), and every name left says why.
TEST(NameCipherCommandFault, NamesLeftSayWhy) {
  namespace fs = std::filesystem;
  testenv::TempDir dir;
  const std::string d = dir.Host();
  auto script = [&](const std::string& item, const std::string& key, const std::string& command, int* status) {
    archtest::UserRun run = archtest::RunUserScript(dir, "list 1 " + d + "/" + item + "\n" +
                                                             (key.empty() ? "" : "answer key=" + key + "\n") +
                                                             "list-command " + command + "\n",
                                                    true);
    *status = run.status;
    return run.out;
  };
  auto stored = [&] {
    for (const auto& e : fs::directory_iterator(d))
      if (e.path().filename().string().rfind("#~$_", 0) == 0) return e.path().filename().string();
    return std::string();
  };
  int status = -1;
  testenv::WriteHostFile(d + "/memo.txt", "plain memo");
  std::string out = script("memo.txt", "ABCD", "encipher-names", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("@Enc で終わっていないため暗号化しません"), std::string::npos) << out;
  EXPECT_EQ(testenv::ReadHostFile(d + "/memo.txt"), "plain memo");
  EXPECT_EQ(stored(), "") << "a name without the mark is left as it is";

  fs::rename(d + "/memo.txt", d + "/memo@Enc.txt");
  out = script("memo@Enc.txt", "", "encipher-names", &status);
  EXPECT_EQ(status, 1) << "no key: " << out;
  out = script("memo@Enc.txt", "ABCD", "encipher-names", &status);
  EXPECT_EQ(status, 0) << out;
  const std::string cipher = stored();
  ASSERT_FALSE(cipher.empty()) << out;
  EXPECT_FALSE(fs::exists(d + "/memo@Enc.txt"));

  // Onto a name that is taken, either way: both files stay, and the message says so.
  testenv::WriteHostFile(d + "/memo@Enc.txt", "another memo");
  out = script("memo@Enc.txt", "ABCD", "encipher-names", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("は既に存在します"), std::string::npos) << out;
  out = script(cipher, "ABCD", "decipher-names", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("memo@Enc.txt は既に存在します"), std::string::npos) << out;
  EXPECT_EQ(testenv::ReadHostFile(d + "/memo@Enc.txt"), "another memo");
  fs::remove(d + "/memo@Enc.txt");

  out = script(cipher, "WXYZ", "decipher-names", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("キーコードが違うため展開できません"), std::string::npos) << out;
  out = script(cipher, "ABCD", "decipher-names", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(testenv::ReadHostFile(d + "/memo@Enc.txt"), "plain memo") << "the round trip gives the name back";
}

namespace {

// memo.txt of dir protected with the key ABCD into memo.+txt, through the program.
void ProtectMemo(const testenv::TempDir& dir) {
  testenv::WriteHostFile(dir.HostPath("memo.txt"), "plain memo");
  archtest::UserRun run = archtest::RunUserScript(
      dir, "list 1 " + dir.HostPath("memo.txt") + "\nanswer key=ABCD\nlist-command protect\n", true);
  ASSERT_EQ(run.status, 0) << run.out;
}

}  // namespace

TEST(SaveSourceAsFault, OntoItselfSaysWhyAndLeavesTheFile) {
  testenv::TempDir dir;
  const std::string d = dir.Host();
  ProtectMemo(dir);
  const std::string stored = testenv::ReadHostFile(d + "/memo.+txt");
  // With the key and without it (where the stored bytes would be copied onto themselves).
  for (const char* key : {"answer key=ABCD\n", ""}) {
    archtest::UserRun run = archtest::RunUserScript(dir, "list 1 " + d + "/memo.+txt\nanswer path=" + d + "/memo.+txt\n" +
                                                             key + "answer yes ok\nlist-command save-source-as\n",
                                                    true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("元のファイルと同じ名前には保存できません"), std::string::npos) << run.out;
    EXPECT_EQ(testenv::ReadHostFile(d + "/memo.+txt"), stored);
  }
}

// The protected copy's save onto a pseudo-drive (a drive letter of a configured FTP
// site) wrote the local path of that name, with the key and without it (where the
// stored bytes are copied). It is refused like the other saves: string 159, exit 1,
// the local namesake as it was.
TEST(SaveSourceAsFault, OntoAPseudoDriveWroteTheLocalPath) {
  testenv::TempDir dir;
  const std::string d = dir.Host();
  ProtectMemo(dir);
  const std::string site = "set ftp1=R:~2site~/ftp://127.0.0.1:21;USER=anna;PWRD=secret\n";
  for (const char* key : {"answer key=ABCD\n", ""}) {
    SCOPED_TRACE(*key ? "with the key" : "without a key");
    testenv::WriteHostFile(d + "/copy.+txt", "the user's own file");
    archtest::UserRun run = archtest::RunUserScript(dir, site + "list 1 " + d + "/memo.+txt\nanswer \"path=R:" + dir.Win() +
                                                             "\\copy.+txt\"\n" + key +
                                                             "answer yes ok\nlist-command save-source-as\n",
                                                    true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("ftpサイトではできません"), std::string::npos) << run.out;
    EXPECT_EQ(testenv::ReadHostFile(d + "/copy.+txt"), "the user's own file");
  }
}
