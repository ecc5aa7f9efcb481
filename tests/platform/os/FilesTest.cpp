// The file system boundary: Windows paths with Shift-JIS names whose trail byte is
// 0x5C, names taken as spelled, symbolic links, pipes and 64-bit files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/text/CodePage.h"
#include "platform/os/Files.h"
#include "support/TestFiles.h"

namespace {

using testenv::TempDir;

// 表, ソ and 能 end in the byte 0x5C, the separator's code.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";
const std::string kNou = "\x94\x5C";

TEST(Paths, TrailByte5CIsNeverASeparator) {
  const std::string win = "\\data\\" + kHyou + kSo + "\\" + kNou + "x.txt";
  EXPECT_EQ(plat::ToHostPath(win), std::optional<std::string>("/data/\xE8\xA1\xA8\xE3\x82\xBD/\xE8\x83\xBDx.txt"));
  EXPECT_EQ(plat::FindLastSeparator("a\\" + kHyou), 1u);
  EXPECT_EQ(plat::FindLastSeparator(kSo), std::string::npos);
  EXPECT_EQ(plat::FromHostPath("/a/\xE8\xA1\xA8"), "\\a\\" + kHyou);
  // A drive letter names no host file: dropped, "C:\\x\\y" would name /x/y.
  EXPECT_FALSE(plat::ToHostPath("C:\\x\\y").has_value());
  EXPECT_EQ(plat::ToHostPath("rel\\name"), std::optional<std::string>("rel/name"));
  // A folder name ending in such a character keeps it; only a separator goes.
  for (const std::string& name : {kSo, kHyou}) {
    EXPECT_EQ(plat::WithoutTrailingSeparators("\\home\\" + name), "\\home\\" + name);
    EXPECT_EQ(plat::WithoutTrailingSeparators("\\home\\" + name + "\\\\"), "\\home\\" + name);
  }
  EXPECT_EQ(plat::WithoutTrailingSeparators("\\"), "\\");
}

TEST(Paths, MalformedShiftJisIsRefusedNotGuessed) {
  EXPECT_FALSE(plat::ToHostPath("\\a\\b\x81").has_value());             // a cut double-byte character
  EXPECT_FALSE(plat::ToHostPath(std::string("\\a\0b", 4)).has_value());  // an embedded NUL
  bool exact = true;
  EXPECT_EQ(plat::FromHostPath("/x/\xE2\x82\xAC", &exact), "\\x\\?");
  EXPECT_FALSE(exact);
}

TEST(Files, ShiftJisNamesWithTrailByte5CReachTheRightFiles) {
  TempDir dir;
  const std::string folder = dir.Win() + "\\" + kHyou + kSo;
  ASSERT_TRUE(plat::MakeDirectories(folder));
  const std::string file = folder + "\\" + kNou + ".txt";
  ASSERT_TRUE(plat::WriteWholeFile(file, "abc"));
  EXPECT_TRUE(std::filesystem::exists(dir.Host() + "/\xE8\xA1\xA8\xE3\x82\xBD/\xE8\x83\xBD.txt"));
  auto entries = plat::ListDirectory(folder);
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, kNou + ".txt");
  EXPECT_TRUE((*entries)[0].nameExact);
  EXPECT_EQ(plat::ReadFileHead(file, 10), std::optional<std::string>("abc"));
}

// A name that differs only in case reached the other file: its status, reading,
// writing and every question took keep.png for Keep.png.
TEST(Files, NamesDifferingOnlyInCaseAreOtherFiles) {
  TempDir dir;
  testenv::WriteHostFile(dir.HostPath("Word/keep.png"), "the user's");
  EXPECT_FALSE(plat::ReadFileHead(dir.Win() + "\\word\\keep.png", 10).has_value());
  EXPECT_FALSE(plat::Stat(dir.Win() + "\\Word\\Keep.png").has_value());
  EXPECT_FALSE(plat::Exists(dir.Win() + "\\Word\\KEEP.PNG"));
  EXPECT_FALSE(plat::WriteWholeFile(dir.Win() + "\\WORD\\new.txt", "y"));  // no folder of that name
  ASSERT_TRUE(plat::ReplaceWholeFile(dir.Win() + "\\Word\\Keep.png", "new"));
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("Word/keep.png")), "the user's");
  EXPECT_EQ(testenv::ReadHostFile(dir.HostPath("Word/Keep.png")), "new");
}

TEST(Files, ListingReportsLinksWithoutFollowingThem) {
  TempDir dir;
  std::filesystem::create_directories(dir.HostPath("real"));
  std::filesystem::create_directory_symlink(dir.HostPath("real"), dir.HostPath("link"));
  auto entries = plat::ListDirectory(dir.Win());
  ASSERT_TRUE(entries.has_value());
  for (const auto& e : *entries) {
    if (e.name == "link") {
      EXPECT_TRUE(e.isSymlink);
      EXPECT_FALSE(e.isDirectory);
    } else {
      EXPECT_TRUE(e.isDirectory);
    }
  }
  EXPECT_TRUE(plat::LinkStat(dir.Win() + "\\link")->isSymlink);
  EXPECT_TRUE(plat::Stat(dir.Win() + "\\link")->isDirectory);
}

TEST(Files, LengthsAndPositionsAre64Bit) {
  TempDir dir;
  const std::string path = dir.Win() + "\\sparse.bin";
  {
    plat::File f;
    ASSERT_TRUE(f.Open(path, plat::File::Mode::Write));
    ASSERT_EQ(f.Seek(5'000'000'000LL, plat::File::Origin::Begin), 5'000'000'000LL);
    ASSERT_TRUE(f.Write("END", 3));
  }
  plat::File f;
  ASSERT_TRUE(f.Open(path, plat::File::Mode::Read));
  EXPECT_EQ(f.GetLength(), 5'000'000'003LL);
  EXPECT_EQ(plat::Stat(path)->size, 5'000'000'003LL);
  ASSERT_EQ(f.Seek(-3, plat::File::Origin::End), 5'000'000'000LL);
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, sizeof buf), 3);  // a short read at the end
  EXPECT_EQ(std::string(buf, 3), "END");
  EXPECT_EQ(f.Read(buf, sizeof buf), 0);
}

TEST(Files, FoldersAreRefusedAsFilesAndMissingFilesFailCleanly) {
  TempDir dir;
  plat::File f;
  EXPECT_FALSE(f.Open(dir.Win(), plat::File::Mode::Read));
  EXPECT_FALSE(f.Open(dir.Win() + "\\missing", plat::File::Mode::Read));
  EXPECT_EQ(f.Read(nullptr, 1), -1);
  EXPECT_FALSE(plat::Stat(dir.Win() + "\\missing").has_value());
}

TEST(Files, CopyNeverEmptiesItsSourceAndNamedPipesDoNotHang) {
  TempDir dir;
  const std::string path = dir.Win() + "\\Data.txt";
  ASSERT_TRUE(plat::WriteWholeFile(path, "precious"));
  EXPECT_FALSE(plat::CopyFile(path, path));
  EXPECT_TRUE(plat::CopyFile(path, dir.Win() + "\\DATA.TXT"));  // another file
  ASSERT_EQ(link(dir.HostPath("Data.txt").c_str(), dir.HostPath("hard.txt").c_str()), 0);
  EXPECT_FALSE(plat::CopyFile(path, dir.Win() + "\\hard.txt"));
  EXPECT_EQ(plat::ReadFileHead(path, 100), std::optional<std::string>("precious"));
  EXPECT_TRUE(plat::CopyFile(path, dir.Win() + "\\copy.txt"));
  EXPECT_EQ(plat::ReadFileHead(dir.Win() + "\\copy.txt", 100), std::optional<std::string>("precious"));
  EXPECT_EQ(plat::ReadFileHead(path, -5), std::optional<std::string>(""));  // a negative limit reads nothing

  // A pipe with no writer opens at once and reads as empty; with no reader it cannot be written.
  ASSERT_EQ(mkfifo(dir.HostPath("pipe").c_str(), 0600), 0);
  plat::File f;
  ASSERT_TRUE(f.Open(dir.Win() + "\\pipe", plat::File::Mode::Read));
  char buf[4];
  EXPECT_EQ(f.Read(buf, sizeof buf), 0);
  f.Close();
  EXPECT_FALSE(f.Open(dir.Win() + "\\pipe", plat::File::Mode::Write));

  // A pipe that holds bytes (as `<(...)` hands one), a file of /proc or a device
  // tells no length: it is read to its end, within the bound.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "from the pipe", 13), 13);
  close(ends[1]);
  EXPECT_EQ(plat::ReadFileHead("\\proc\\self\\fd\\" + std::to_string(ends[0]), 100),
            std::optional<std::string>("from the pipe"));
  close(ends[0]);
  const std::optional<std::string> status = plat::ReadFileHead("\\proc\\self\\status", 1 << 20);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->rfind("Name:", 0), 0u);
  EXPECT_EQ(plat::ReadFileHead("\\dev\\zero", 200000)->size(), 200000u);
}

TEST(Files, TimesAndCurrentFolder) {
  TempDir dir;
  const std::string path = dir.Win() + "\\t.txt";
  ASSERT_TRUE(plat::WriteWholeFile(path, ""));
  ASSERT_TRUE(plat::SetFileTime(path, 315532800));  // 1980-01-01
  EXPECT_EQ(plat::Stat(path)->mtime, 315532800);
  const std::string before = plat::GetCurrentDirectory();
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Win()));
  EXPECT_EQ(plat::ReadFileHead("t.txt", 1), std::optional<std::string>(""));
  ASSERT_TRUE(plat::SetCurrentDirectory(before));
}

}  // namespace
