// Protected documents: scrambled bytes against values worked out by hand from the
// scrambling rule, round trips of every stored form, and the files that must not
// be touched or left readable.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "ops/SourceMode.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class Protected : public testenv::DocTest {
 protected:
  void SetUp() override { doc_->m_astrSysValue[29] = "PWRDxxxxABCD"; }
  std::string Host(const std::string& win) const { return *plat::ToHostPath(win); }
  std::string Read(const std::string& win) const { return testenv::ReadHostFile(Host(win)); }
  std::string Expanded(const std::string& ext) const { return doc_->TmpFolder() + "\\PelnorE3." + ext; }
};

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {d[c >> 4], d[c & 15]};
  return out;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 256);
  return s;
}

}  // namespace

TEST_F(Protected, ScrambledBytesFollowTheKeyAndThePosition) {
  const std::string src = WriteFile("note.txt", "Hello, world");
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kScramble, src, "").ok());
  EXPECT_EQ(Hex(Read(Win("note.+txt"))), "6e8b906f756667acaebb79e1");
  // A key whose fourth value is 0 takes the short product.
  doc_->m_astrSysValue[29] = "PWRDxxxx-+)%12345678";
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kScramble, src, Win("zero.+txt")).ok());
  EXPECT_EQ(Hex(Read(Win("zero.+txt"))), "48667487afa9f8ce6f4b5497");
  // One changed byte changes only that byte of the expanded copy.
  std::string stored = Read(Win("zero.+txt"));
  stored[3] = static_cast<char>(stored[3] + 1);
  testenv::WriteHostFile(dir_.HostPath("zero.+txt"), stored);
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kExpand, Win("zero.+txt"), "").ok());
  std::string expect = "Hello, world";
  expect[3] = static_cast<char>(expect[3] + 1);
  EXPECT_EQ(Read(Expanded("txt")), expect);
}

TEST_F(Protected, EveryFormComesBackByteForByte) {
  struct Case {
    SourceMode mode;
    const char* stored;
  };
  for (size_t size : {size_t{0}, size_t{256}, size_t{512}, size_t{70001}}) {
    for (Case c : {Case{SourceMode::kScramble, "doc.+rtf"}, Case{SourceMode::kPackScramble, "doc.-rtf"}, Case{SourceMode::kPack, "doc.=rtf"}}) {
      const std::string body = Pattern(size);
      const std::string src = WriteFile("doc.rtf", body);
      plat::RemoveFile(Win(c.stored));
      ASSERT_TRUE(doc_->ConvertSource(c.mode, src, "").ok()) << c.stored << " " << size;
      ASSERT_TRUE(plat::Exists(Win(c.stored)));
      const ArchiveStatus expanded = doc_->RenameProtectedSource(Win(c.stored));
      ASSERT_TRUE(expanded.ok()) << c.stored << " " << size;
      const std::string plain = doc_->TmpFolder() + "\\TMP_doc.rtf";
      EXPECT_EQ(expanded.path, plain);
      EXPECT_EQ(Read(plain), body) << c.stored << " " << size;
      struct stat st {};
      ASSERT_EQ(stat(Host(plain).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u) << c.stored;
    }
  }
  // The compress-only form is a ZIP archive that unzip reads, and needs no key.
  SKIP_WITHOUT_PROGRAM("unzip");
  doc_->m_astrSysValue[29] = "PWRDxxxx    ";
  int status = -1;
  const std::string out = testenv::Shell("unzip -t " + testenv::Quote(dir_.HostPath("doc.=rtf")) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_TRUE(doc_->ConvertSource(SourceMode::kExpand, Win("doc.=rtf"), "").ok());
}

TEST_F(Protected, KeysFilesAndAnswers) {
  const std::string src = WriteFile("a.txt", "secret text");
  // No key: -2 and nothing written.
  doc_->m_astrSysValue[29] = "PWRD";
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kScramble, src, "").code, ArchiveCode::kNoKey);
  EXPECT_FALSE(plat::Exists(Win("a.+txt")));
  // Four blanks ask for the key; the key typed is kept and the result says it was asked.
  doc_->m_astrSysValue[29] = "PWRDxxxx    ";
  frame_->Ui().QueueDialog({plat::IDOK, {{"key", "ABCD"}}});
  EXPECT_TRUE(doc_->ConvertSource(SourceMode::kScramble, src, "").keyAsked);
  EXPECT_EQ(doc_->m_astrSysValue[29], "PWRDxxxxABCD");
  EXPECT_EQ(messages_.str().find("ABCD"), std::string::npos) << "the key is never shown";
  // An existing target is kept when the answer is No.
  const std::string before = Read(Win("a.+txt"));
  frame_->Ui().QueueAnswer(plat::IDNO);
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kScramble, src, "").code, ArchiveCode::kFailed);
  EXPECT_EQ(Read(Win("a.+txt")), before);
  // Packing never uses a name beside the user's file: a.txt.zip stays as it was.
  const std::string mine = WriteFile("a.txt.zip", "the user's own file");
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kPackScramble, src, "").ok());
  EXPECT_EQ(Read(mine), "the user's own file");
  // A '-' file read with the wrong key is refused with a message, nothing expanded.
  doc_->m_astrSysValue[29] = "PWRDxxxxm5s9";
  EXPECT_EQ(doc_->ConvertSource(SourceMode::kExpand, Win("a.-txt"), "").code, ArchiveCode::kFailed);
  EXPECT_NE(messages_.str().find("キーコードが違う"), std::string::npos) << messages_.str();
  EXPECT_FALSE(plat::Exists(Expanded("txt")));
}

TEST_F(Protected, ProtectedPictureBecomesABmpAndItsPlainCopyGoes) {
  const std::string png = testenv::SharedTestData("pngsuite/png/basn2c08.png");
  SKIP_WITHOUT_SHARED_DATA(png);
  SKIP_WITHOUT_PROGRAM("compare");
  const std::string src = WriteFile("pic.png", testenv::ReadHostFile(png));
  ASSERT_TRUE(doc_->ConvertSource(SourceMode::kPackScramble, src, "").ok());
  ASSERT_EQ(doc_->LoadImageAsDib(Win("pic.-png"), Win("pic.bmp")), 0);
  EXPECT_FALSE(plat::Exists(Expanded("png"))) << "the plain copy is removed";
  int status = -1;
  const std::string diff = testenv::Shell("compare -metric AE " + testenv::Quote(png) + " " +
                                              testenv::Quote(dir_.HostPath("pic.bmp")) + " null: 2>&1", &status);
  EXPECT_EQ(diff, "0") << "ImageMagick sees the same pixels";
}

// Save Source As with no key set: the stored bytes are copied to the chosen name
// as they stand (after OK to replacing an earlier file), where the command once
// copied nothing and failed; with a key the copy is stored in the form its name says.
TEST_F(Protected, SaveSourceAsWithoutAKeyCopiesTheSourceUnchanged) {
  const std::string body = Pattern(700);
  const std::string src = WriteFile("memo.rtf", body);
  for (SourceMode mode : {SourceMode::kScramble, SourceMode::kPackScramble, SourceMode::kPack})
    ASSERT_TRUE(doc_->ConvertSource(mode, src, "").ok()) << static_cast<int>(mode);
  struct Case {
    const char* key;      // the PWRD value
    const char* source;   // the stored file saved
    const char* target;   // the name chosen
    bool existing;        // a file of that name is there before
    int answer;           // the answer to replacing it
    bool saved;
    bool copied;          // the target holds the source's bytes unchanged
  };
  const Case cases[] = {
      {"PWRD", "memo.+rtf", "copy1.+rtf", false, 0, true, true},
      {"PWRD", "memo.-rtf", "copy2.-rtf", false, 0, true, true},
      {"PWRDxxxx    ", "memo.+rtf", "copy3.+rtf", false, 0, true, true},  // the key dialog cancelled
      {"PWRD", "memo.+rtf", "copy4.+rtf", true, plat::IDOK, true, true},
      {"PWRD", "memo.+rtf", "copy5.+rtf", true, plat::IDCANCEL, false, false},
      {"PWRD", "memo.=rtf", "copy6.=rtf", false, 0, true, false},  // needs no key: packed again
      {"PWRDxxxxABCD", "memo.+rtf", "copy7.-rtf", false, 0, true, false},
      {"PWRDxxxxABCD", "memo.-rtf", "copy8.=rtf", false, 0, true, false},
  };
  for (const Case& c : cases) {
    doc_->m_astrSysValue[29] = c.key;
    if (c.existing) WriteFile(c.target, "earlier");
    doc_->m_nActiveList = 1;
    doc_->m_strFileName1 = Win(c.source);
    frame_->Ui().QueueDialog({plat::IDOK, {{"path", Win(c.target)}}});
    if (c.existing) frame_->Ui().QueueAnswer(c.answer);
    EXPECT_EQ(doc_->OnSaveSourceAs().ok(), c.saved) << c.target;
    EXPECT_EQ(Read(Win(c.target)) == Read(Win(c.source)), c.copied) << c.target;
    if (c.existing && !c.saved) {
      EXPECT_EQ(Read(Win(c.target)), "earlier");
    }
    if (c.saved && !c.copied) {
      // The new file reads back to the plain text with the key.
      doc_->m_astrSysValue[29] = "PWRDxxxxABCD";
      const ArchiveStatus expanded = doc_->RenameProtectedSource(Win(c.target));
      ASSERT_TRUE(expanded.ok()) << c.target;
      EXPECT_EQ(Read(expanded.path), body) << c.target;
    }
  }
}
