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
                         "list-command save-source-as\n"
                         "list 1 " + d + "/memo.txt\n"
                         "list-command encipher-names\n");
  int status = -1;
  const std::string run = "PELNORIX_HOME=" + testenv::Quote(d + "/home") + " " PELNORIX_BINARY " --script ";
  std::string out = testenv::Shell(run + testenv::Quote(d + "/script") + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_TRUE(fs::exists(d + "/tree.zip"));
  EXPECT_EQ(testenv::ReadHostFile(d + "/tree/sub/a.txt"), "packed text");
  EXPECT_TRUE(fs::exists(d + "/memo.+txt"));
  EXPECT_EQ(testenv::ReadHostFile(d + "/copy.+txt"), testenv::ReadHostFile(d + "/memo.+txt")) << "same key, same bytes";
  EXPECT_FALSE(fs::exists(d + "/memo.txt")) << "the name is enciphered";
  // No plain copy is left in the work folder.
  for (const auto& e : fs::directory_iterator(d + "/home/TMP")) ADD_FAILURE() << e.path();

  // The enciphered name comes back with the same key; without it the command fails.
  std::string stored;
  for (const auto& e : fs::directory_iterator(d))
    if (e.path().filename().string().rfind("#~$_", 0) == 0) stored = e.path().string();
  ASSERT_FALSE(stored.empty());
  testenv::WriteHostFile(d + "/back", "list 1 " + stored + "\nanswer key=ABCD\nlist-command decipher-names\n");
  out = testenv::Shell(run + testenv::Quote(d + "/back") + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_TRUE(fs::exists(d + "/memo@Enc.txt")) << out;
  testenv::WriteHostFile(d + "/nokey", "list 1 " + d + "/memo@Enc.txt\nlist-command encipher-names\n");
  out = testenv::Shell(run + testenv::Quote(d + "/nokey") + " 2>&1", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_TRUE(fs::exists(d + "/memo@Enc.txt"));
}
