// The FTP folder listing parser on the forms servers send, and on hostile replies.
#include <gtest/gtest.h>

#include "platform/inet/FtpListing.h"

namespace {

struct LineCase {
  bool mlsd;
  const char* line;
  bool listed;
  const char* name;
  bool isDirectory;
  int64_t size;
};

const LineCase kLines[] = {
    {true, "modify=20261207132350;perm=radfwMT;size=10;type=file;unique=fe00; readme.txt", true, "readme.txt", false, 10},
    {true, "type=dir;size=4096; docs", true, "docs", true, 4096},
    {true, "Type=File;Size=7; Mixed Case.txt", true, "Mixed Case.txt", false, 7},
    {true, "type=cdir; .", false, "", false, 0},
    {true, "type=pdir; ..", false, "", false, 0},
    {true, "size=10; untyped", false, "", false, 0},
    {true, "type=file;size=99999999999999999999999; huge.bin", true, "huge.bin", false, 0},
    {true, "type=file;size=-5; negative", true, "negative", false, 0},
    {true, "type=file;size=12x; junk size", true, "junk size", false, 0},
    {true, "type=file; a/b", false, "", false, 0},
    {true, "type=file; ", false, "", false, 0},
    {true, "nofacts", false, "", false, 0},
    {false, "-rw-r--r--   1 anna  staff   100000 Dec 07 13:23 big.bin", true, "big.bin", false, 100000},
    {false, "drwxr-xr-x   2 anna  staff     4096 Dec 07  2025 my docs", true, "my docs", true, 4096},
    {false, "lrwxrwxrwx   1 anna  staff        6 Dec 07 13:23 link -> target", true, "link", false, 6},
    {false, "12-07-26  01:23PM       <DIR>          dosdir", true, "dosdir", true, 0},
    {false, "12-07-26  01:23PM                  42 dos file.txt", true, "dos file.txt", false, 42},
    {false, "total 12", false, "", false, 0},
    {false, "-rw-r--r-- 1 a b 1 Dec", false, "", false, 0},
    {false, "crw-r--r-- 1 a b 1 Dec 07 13:23 device", false, "", false, 0},
    {false, "drwxr-xr-x 2 a b 4096 Dec 07 13:23 .", false, "", false, 0},
};

TEST(FtpListingTest, ReadsEachLineForm) {
  for (const auto& c : kLines) {
    SCOPED_TRACE(c.line);
    FtpListEntry e;
    const bool listed = c.mlsd ? ParseMlsdLine(c.line, e) : ParseListLine(c.line, e);
    EXPECT_EQ(listed, c.listed);
    if (!listed || !c.listed) continue;
    EXPECT_EQ(e.name, c.name);
    EXPECT_EQ(e.isDirectory, c.isDirectory);
    EXPECT_EQ(e.size, c.size);
  }
}

TEST(FtpListingTest, SkipsEndlessLinesAndControlBytes) {
  std::string text = "type=file;size=1; ok\r\ntype=file; " + std::string(100000, 'x') + "\r\ntype=file; bad\x01name\r\n";
  text += "type=file;size=2; last";  // no line end
  const auto entries = ParseFtpListing(text, true);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "ok");
  EXPECT_EQ(entries[1].name, "last");
}

TEST(FtpListingTest, KeepsAtMostTheEntryLimit) {
  std::string text;
  for (size_t i = 0; i < kMaxFtpListEntries + 10; ++i) text += "type=file; f" + std::to_string(i) + "\n";
  EXPECT_EQ(ParseFtpListing(text, true).size(), kMaxFtpListEntries);
}

}  // namespace
