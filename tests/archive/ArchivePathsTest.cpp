// Shift-JIS-aware member paths, their reduction to safe names, and the file lists.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/ArchivePaths.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

TEST(ArchivePaths, SeparatorsSkipTrailBytes) {
  const std::string hyo = "\x95\x5C";  // 表
  EXPECT_EQ(SplitArchivePath("abc"), "");
  EXPECT_EQ(SplitArchivePath("a/b/c"), "a/b");
  EXPECT_EQ(SplitArchivePath(hyo + "/x"), hyo);
  EXPECT_EQ(NormalizeArchivePath("a\\b"), "a/b/");
  EXPECT_EQ(NormalizeArchivePath(hyo + "\\" + hyo), hyo + "/" + hyo + "/");
  EXPECT_EQ(NormalizeArchivePath(hyo), hyo + "/");
  std::vector<uint8_t> mask = MakeSjisLeadMask("a" + hyo + "b", 4);
  EXPECT_EQ(mask, (std::vector<uint8_t>{0, 1, 1, 0}));
}

TEST(ArchivePaths, SafeMemberPathReducesOutsideNames) {
  bool folder = false;
  const std::string hyo = "\x95\x5C";
  EXPECT_EQ(SafeMemberPath("../../etc/passwd", &folder), "etc\\passwd");
  EXPECT_EQ(SafeMemberPath("/abs/x", &folder), "abs\\x");
  EXPECT_EQ(SafeMemberPath("C:\\win\\x", &folder), "win\\x");
  EXPECT_EQ(SafeMemberPath("a/./b//c", &folder), "a\\b\\c");
  EXPECT_EQ(SafeMemberPath(hyo + "/" + hyo, &folder), hyo + "\\" + hyo);
  EXPECT_FALSE(folder);
  EXPECT_EQ(SafeMemberPath(hyo + "/", &folder), hyo);
  EXPECT_TRUE(folder);
  EXPECT_EQ(SafeMemberPath("../..", &folder), std::nullopt);
  // A name ending in ".." or "." names a folder above, never the part before it.
  for (const char* name : {"a/..", "a\\..", "a/.", "a/../", "x/a/.."}) EXPECT_EQ(SafeMemberPath(name, &folder), std::nullopt) << name;
  EXPECT_EQ(SafeMemberPath(std::string("a\0/../../x", 10), &folder), "a");
}

TEST(ArchivePaths, TreeWalkListsFilesAndEmptyFoldersWithoutFollowingLinks) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("t/a.txt"), "aaa");
  testenv::WriteHostFile(dir.HostPath("t/sub/b.txt"), "bb");
  fs::create_directories(dir.HostPath("t/empty"));
  fs::create_directories(dir.HostPath("elsewhere/deep"));
  testenv::WriteHostFile(dir.HostPath("elsewhere/secret.txt"), "s");
  fs::create_directory_symlink(dir.HostPath("elsewhere"), dir.HostPath("t/link"));
  testenv::WriteHostFile(dir.HostPath("t/\xE2\x82\xAC.txt"), "no CP932 name");  // a name the path cannot carry
  std::vector<FileEntry> list;
  CollectTreeFiles("", plat::FromHostPath(dir.HostPath("t")), list);
  std::map<std::string, int64_t> got;
  const std::string base = plat::FromHostPath(dir.HostPath("t"));
  std::string prefix = base;
  for (char& c : prefix)
    if (c == '\\') c = '/';
  for (const FileEntry& e : list) got[e.name.substr(prefix.size())] = e.uncompressedSize;
  EXPECT_EQ(got, (std::map<std::string, int64_t>{{"/a.txt", 3}, {"/sub/b.txt", 2}, {"/empty/", -2}}));
  std::vector<ArchiveMember> members;
  BuildArchiveMemberList(base, members);
  ASSERT_EQ(members.size(), 3u);
  for (const ArchiveMember& m : members) EXPECT_EQ(m.method, "-lh0-");
}
