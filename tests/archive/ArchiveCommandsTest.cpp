// The archive commands as a user reaches them: a script of list commands run by the
// program itself, checked on the files it leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestEnv.h"

TEST(ArchiveCommands, ScriptPacksUnpacksProtectsAndRenames) {
  namespace fs = std::filesystem;
  testenv::TempDir dir;
  const std::string d = dir.Host();
  fs::create_directories(d + "/tree/sub");
  testenv::WriteHostFile(d + "/tree/sub/a.txt", "packed text");
  testenv::WriteHostFile(d + "/memo.txt", "plain memo");
  testenv::WriteHostFile(d + "/script",
                         "list 1 " + d + "/tree\n"
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
                         "list-command save-source-as\n");
  int status = -1;
  const std::string run = "PELNORIX_HOME=" + testenv::Quote(d + "/home") + " " PELNORIX_BINARY " --script ";
  std::string out = testenv::Shell(run + testenv::Quote(d + "/script") + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
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
  const std::string run = "PELNORIX_HOME=" + testenv::Quote(d + "/home") + " " PELNORIX_BINARY " --script ";
  auto script = [&](const std::string& item, const std::string& key, const std::string& command, int* status) {
    testenv::WriteHostFile(d + "/script", "list 1 " + d + "/" + item + "\n" + (key.empty() ? "" : "answer key=" + key + "\n") +
                                              "list-command " + command + "\n");
    return testenv::Shell(run + testenv::Quote(d + "/script") + " 2>&1", status);
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

TEST(SaveSourceAsFault, OntoItselfSaysWhyAndLeavesTheFile) {
  testenv::TempDir dir;
  const std::string d = dir.Host();
  const std::string run = "PELNORIX_HOME=" + testenv::Quote(d + "/home") + " " PELNORIX_BINARY " --script ";
  testenv::WriteHostFile(d + "/memo.txt", "plain memo");
  testenv::WriteHostFile(d + "/protect", "list 1 " + d + "/memo.txt\nanswer key=ABCD\nlist-command protect\n");
  int status = -1;
  std::string out = testenv::Shell(run + testenv::Quote(d + "/protect") + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  const std::string stored = testenv::ReadHostFile(d + "/memo.+txt");
  // With the key and without it (where the stored bytes would be copied onto themselves).
  for (const char* key : {"answer key=ABCD\n", ""}) {
    testenv::WriteHostFile(d + "/again", "list 1 " + d + "/memo.+txt\nanswer path=" + d + "/memo.+txt\n" + key +
                                             "answer yes ok\nlist-command save-source-as\n");
    out = testenv::Shell(run + testenv::Quote(d + "/again") + " 2>&1", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("元のファイルと同じ名前には保存できません"), std::string::npos) << out;
    EXPECT_EQ(testenv::ReadHostFile(d + "/memo.+txt"), stored);
  }
}
