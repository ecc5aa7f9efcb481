// Path parts and file kinds, as tables.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

struct PathCase {
  std::string path;
  PathPart part;
  std::string expected;
};

TEST(GetPathPart, EveryModeOnPlainAndShiftJisPaths) {
  const std::string hyou = "\x95\x5C";  // 表: trail byte 0x5C
  const PathCase cases[] = {
      {"C:\\dir\\sub\\name.tar.gz", PathPart::kName, "name.tar.gz"},
      {"C:\\dir\\sub\\name.tar.gz", PathPart::kStem, "name.tar"},
      {"C:\\dir\\sub\\name.tar.gz", PathPart::kFolder, "C:\\dir\\sub"},
      {"C:\\dir\\sub\\name.tar.gz", PathPart::kExtension, "gz"},
      {"C:\\dir\\sub\\name.tar.gz", PathPart::kWithoutExtension, "C:\\dir\\sub\\name.tar"},
      {"C:\\d.x\\noext", PathPart::kStem, "noext"},
      {"C:\\d.x\\noext", PathPart::kExtension, ""},
      {"C:\\d.x\\noext", PathPart::kWithoutExtension, "C:\\d.x\\noext"},
      {"plain.txt", PathPart::kFolder, ""},
      {"\\a\\memo.+rtf", PathPart::kPlainName, "memo.rtf"},
      {"\\a\\memo.-bmp", PathPart::kPlainName, "memo.bmp"},
      {"\\a\\memo.=rtf", PathPart::kPlainName, "memo.rtf"},
      {"\\a\\memo.rtf", PathPart::kPlainName, "memo.rtf"},
      {"\\" + hyou + "\\" + hyou + ".txt", PathPart::kName, hyou + ".txt"},
      {"\\" + hyou + "\\" + hyou + ".txt", PathPart::kFolder, "\\" + hyou},
      {"\\dir\\" + hyou, PathPart::kName, hyou},
      {"\\dir\\", PathPart::kName, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CQelDoc::GetPathPart(c.path, c.part), c.expected) << c.path << " part " << static_cast<int>(c.part);
  }
}

class FileKindTest : public testenv::DocTest {};

TEST_F(FileKindTest, ExtensionsMapToTheirKinds) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},           {"\\dir\\", 0},     {"a.ppt", 1},      {"a.doc", 2},    {"a.XLS", 3},   {"a.rtf", 4},
      {"a.htm", 6},      {"a.Html", 6},      {"a.txt", 9},      {"a.pdf", 11},   {"a.bmp", 12},  {"a.jpg", 13},
      {"a.JPEG", 13},    {"a.png", 14},      {"a.gif", 15},     {"a.tif", 16},   {"a.bmz", 22},  {"a.wmf", 27},
      {"a.emf", 28},     {"a.msg", 32},      {"a.oft", 32},     {"a.csv", 33},   {"a.xml", 34},  {"a.xlsx", 36},
      {"a.docx", 37},    {"a.pptx", 38},     {"a.mid", 51},     {"a.wav", 52},   {"a.mp3", 56},  {"a.wma", 56},
      {"a.unknown", 99}, {"noextension", 99}, {"d.txt\\file", 99}, {"a.m3u", 99},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(doc_->GetFileKind(path), kind) << path;
}

TEST_F(FileKindTest, UserRegisteredImageExtensionsTakeKinds17To21) {
  doc_->SetImageExtension(0, "pcx");
  doc_->SetImageExtension(4, ".TGA");
  EXPECT_EQ(doc_->GetFileKind("x.PCX"), 17);
  EXPECT_EQ(doc_->GetFileKind("x.tga"), 21);
  EXPECT_EQ(doc_->GetFileKind("x.ras"), 99);
}

}  // namespace
