// Package access: hostile packages are unpacked inside the work folder or refused,
// and a part reads back as Shift-JIS.
#include <string>

#include "app/StringTable.h"
#include "convert/ConvertStatus.h"
#include "platform/Files.h"
#include "support/TestEnv.h"

namespace {

using testenv::DataPath;

class PackageTest : public testenv::DocTest {
 protected:
  std::string Work(const std::string& rel) const { return doc_->OfficeWorkFolder() + rel; }
  std::string Hostile(const std::string& name) const {
    return plat::FromHostPath(DataPath("office/hostile/" + name));
  }
};

TEST_F(PackageTest, MembersNeverLeaveTheWorkFolder) {
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  EXPECT_TRUE(plat::Exists(Work("word\\document.xml")));
  EXPECT_TRUE(plat::Exists(Work("escaped.txt")));  // "../escaped.txt" reduced to a name inside
  EXPECT_FALSE(plat::Exists(doc_->TmpFolder() + "\\escaped.txt"));
  EXPECT_FALSE(plat::Exists(doc_->m_strProgramDir + "\\escaped.txt"));
}

TEST_F(PackageTest, ADeclaredBombIsRefusedBeforeAnythingIsUnpacked) {
  doc_->UnpackOfficePackage(Hostile("traversal.docx"));
  EXPECT_EQ(doc_->UnpackOfficePackage(Hostile("declared-bomb.docx")), CQelDoc::kPackageTooLarge);
  EXPECT_TRUE(plat::Exists(Work("word\\document.xml")));  // the folder was not touched
  ASSERT_TRUE(doc_->AllocateConvBuffer(1000));
  doc_->AppendPackageTooLarge();
  EXPECT_EQ(std::string(doc_->m_pConvBuf), LoadString(IDS_FILE_SIZE_OVER).substr(0, 24) + "(>256MB)\x81\x42\r\n");
}

TEST_F(PackageTest, AMemberThatLiesAboutItsSizeIsCutAtWhatItDeclares) {
  doc_->m_bPartialLoad = 0;
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("lying-bomb.docx")), 0);
  EXPECT_TRUE(plat::Exists(Work("word\\document.xml")));
  const auto zeros = plat::Stat(Work("word\\zeros.xml"));
  EXPECT_TRUE(!zeros || zeros->size <= 1000);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(PackageTest, TheWorkFolderIsEmptiedWithoutFollowingLinks) {
  // A link inside the folder to a folder outside: removed as a link, its target kept.
  const std::string outside = WriteFile("keep.txt", "keep");
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  const auto linkHost = plat::ToHostPath(Work("link"));
  ASSERT_TRUE(linkHost);
  ASSERT_EQ(symlink(dir_.Host().c_str(), linkHost->c_str()), 0);
  // More than one removal pass worth of entries in one folder.
  for (int k = 0; k < 450; ++k) testenv::WriteHostFile(*plat::ToHostPath(Work("f" + std::to_string(k))), "x");
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("missing-parts.pptx")), 0);
  EXPECT_TRUE(plat::Exists(outside));
  EXPECT_FALSE(plat::Exists(Work("link")));
  EXPECT_FALSE(plat::Exists(Work("f449")));
  EXPECT_FALSE(plat::Exists(Work("word\\document.xml")));
  EXPECT_TRUE(plat::Exists(Work("ppt\\slides\\slide1.xml")));
}

TEST_F(PackageTest, AWorkFolderThatIsALinkIsReplaced) {
  const auto work = plat::ToHostPath(doc_->TmpFolder() + "\\XLSX");
  ASSERT_TRUE(work);
  ASSERT_EQ(symlink(dir_.Host().c_str(), work->c_str()), 0);
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  EXPECT_FALSE(plat::LinkStat(doc_->TmpFolder() + "\\XLSX")->isSymlink);
  EXPECT_FALSE(plat::Exists(Win("word")));
}

TEST_F(PackageTest, RelativePathsKeepTheirMeaningFromOnePackageToTheNext) {
  ASSERT_TRUE(plat::SetCurrentDirectory(plat::FromHostPath(testenv::DataPath("office/hostile"))));
  EXPECT_EQ(doc_->UnpackOfficePackage("traversal.docx"), 0);
  EXPECT_EQ(doc_->UnpackOfficePackage("missing-parts.pptx"), 0);
  EXPECT_TRUE(plat::Exists(Work("ppt\\slides\\slide1.xml")));
  plat::SetCurrentDirectory("\\");
}

TEST_F(PackageTest, UnreadablePackages) {
  EXPECT_EQ(doc_->UnpackOfficePackage(Win("none.docx")), CQelDoc::kPackageUnreadable);
  EXPECT_EQ(doc_->UnpackOfficePackage(WriteFile("text.docx", "not a zip archive at all")),
            CQelDoc::kPackageUnreadable);
}

TEST_F(PackageTest, PartsReadBackAsShiftJisAndFailuresWriteNothing) {
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  ASSERT_TRUE(doc_->AllocateConvBuffer(1000));
  doc_->ConvAppend("laid out");
  const int n = doc_->LoadXmlPartAsSjis(Work("word\\document.xml"));
  ASSERT_GT(n, 0);
  EXPECT_NE(std::string(doc_->m_pText, n).find("<w:t>inside</w:t>"), std::string::npos);
  ConvertStatus failure;
  EXPECT_EQ(doc_->LoadXmlPartAsSjis(Work("word\\none.xml"), &failure), 0);
  EXPECT_EQ(failure.stringId, IDS_CANNOT_OPEN);
  EXPECT_EQ(doc_->LoadXmlPartAsSjis(std::string(600, 'a')), 0);
  EXPECT_EQ(std::string(doc_->m_pConvBuf), "laid out");
}

}  // namespace
