// Package access: hostile packages are read in memory, their members kept below the
// package's root or refused, nothing written to disk; a part reads back as
// Shift-JIS, and the parts are placed as unpacking them into a folder places them.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/StringTable.h"
#include "ops/ArchiveModes.h"
#include "ops/ArchiveStatus.h"
#include "codec/CodecServices.h"
#include "codec/ByteSink.h"
#include "codec/zip/ZipWriter.h"
#include "base/ConvertStatus.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

using testenv::DataPath;

class SpanSource : public codec::CByteSource {
 public:
  explicit SpanSource(const std::string& bytes) : bytes_(bytes) {}
  int64_t Read(uint8_t* data, size_t n) override {
    const size_t take = std::min(n, bytes_.size() - at_);
    std::memcpy(data, bytes_.data() + at_, take);
    at_ += take;
    return static_cast<int64_t>(take);
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

// A ZIP archive of the members in order (a name ending in '/' is a folder); names
// may repeat, and a file may stand where a later member wants a folder.
std::string ZipOf(const std::vector<std::pair<std::string, std::string>>& members) {
  codec::CVectorSink out;
  codec::CZipWriter writer(out);
  for (const auto& [name, bytes] : members) {
    codec::CZipHeader record;
    record.name = name;
    if (!name.empty() && name.back() == '/') {
      writer.AddFolder(record);
    } else {
      SpanSource source(bytes);
      writer.AddFile(record, source);
    }
  }
  writer.Finish();
  return std::string(out.bytes.begin(), out.bytes.end());
}

class PackageTest : public testenv::DocTest {
 protected:
  std::string Hostile(const std::string& name) const {
    return plat::FromHostPath(DataPath("office/hostile/" + name));
  }
  std::string Part(const std::string& rel) {
    const int n = doc_->LoadPackagePart(rel);
    return n > 0 ? std::string(doc_->m_pText, static_cast<size_t>(n)) : std::string();
  }
  // Nothing of a package below the program folder: no work folder, no stray part.
  void ExpectNothingWritten() {
    EXPECT_FALSE(plat::LinkStat(doc_->TmpFolder() + "\\XLSX"));
    EXPECT_FALSE(plat::Exists(doc_->TmpFolder() + "\\escaped.txt"));
    EXPECT_FALSE(plat::Exists(doc_->m_strProgramDir + "\\escaped.txt"));
  }
};

TEST_F(PackageTest, MembersNeverLeaveThePackage) {
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  EXPECT_TRUE(doc_->PackageHasPart("word\\document.xml"));
  EXPECT_TRUE(doc_->PackageHasPart("escaped.txt"));  // "../escaped.txt" reduced to a name inside
  EXPECT_TRUE(doc_->PackageHasPart("abs.txt"));      // "/abs.txt" too
  ExpectNothingWritten();
}

TEST_F(PackageTest, ADeclaredBombIsRefusedBeforeAnythingIsUnpacked) {
  doc_->UnpackOfficePackage(Hostile("traversal.docx"));
  EXPECT_EQ(doc_->UnpackOfficePackage(Hostile("declared-bomb.docx")), CQelDoc::kPackageTooLarge);
  EXPECT_FALSE(doc_->PackageHasPart("word\\document.xml"));  // no part of the last package stays
  EXPECT_EQ(doc_->PackagePartsRead(), 0);
  ASSERT_TRUE(doc_->AllocateConvBuffer(1000));
  doc_->AppendPackageTooLarge();
  EXPECT_EQ(std::string(doc_->m_pConvBuf), LoadString(IDS_FILE_SIZE_OVER).substr(0, 24) + "(>256MB)\x81\x42\r\n");
}

TEST_F(PackageTest, AMemberThatLiesAboutItsSizeIsCutAtWhatItDeclares) {
  doc_->m_bPartialLoad = 0;
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("lying-bomb.docx")), 0);
  EXPECT_TRUE(doc_->PackageHasPart("word\\document.xml"));
  EXPECT_FALSE(doc_->PackageHasPart("word\\zeros.xml"));  // left out: it does not decode as declared
  EXPECT_EQ(doc_->LoadPackagePart("word\\zeros.xml"), 0);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(PackageTest, NothingIsWrittenThroughALinkWhereTheWorkFolderWas) {
  // A link where the work folder used to be, to a folder outside: left alone, and
  // nothing lands behind it.
  const auto work = plat::ToHostPath(doc_->TmpFolder() + "\\XLSX");
  ASSERT_TRUE(work);
  ASSERT_EQ(symlink(dir_.Host().c_str(), work->c_str()), 0);
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("missing-parts.pptx")), 0);
  EXPECT_TRUE(doc_->PackageHasPart("ppt\\slides\\slide1.xml"));
  EXPECT_FALSE(plat::Exists(Win("word")));
  EXPECT_FALSE(plat::Exists(Win("ppt")));
  EXPECT_TRUE(plat::LinkStat(doc_->TmpFolder() + "\\XLSX")->isSymlink);
}

TEST_F(PackageTest, RelativePathsKeepTheirMeaningFromOnePackageToTheNext) {
  ASSERT_TRUE(plat::SetCurrentDirectory(plat::FromHostPath(testenv::DataPath("office/hostile"))));
  EXPECT_EQ(doc_->UnpackOfficePackage("traversal.docx"), 0);
  EXPECT_EQ(doc_->UnpackOfficePackage("missing-parts.pptx"), 0);
  EXPECT_TRUE(doc_->PackageHasPart("ppt\\slides\\slide1.xml"));
  EXPECT_EQ(plat::GetCurrentDirectory(), plat::FromHostPath(testenv::DataPath("office/hostile")));
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
  EXPECT_NE(Part("word\\document.xml").find("<w:t>inside</w:t>"), std::string::npos);
  ConvertStatus failure;
  EXPECT_EQ(doc_->LoadPackagePart("word\\none.xml", &failure), 0);
  EXPECT_EQ(failure.stringId, IDS_CANNOT_OPEN);
  EXPECT_EQ(doc_->LoadPackagePart(std::string(600, 'a')), 0);
  EXPECT_EQ(doc_->LoadXmlPartAsSjis(std::string(600, 'a')), 0);
  EXPECT_EQ(std::string(doc_->m_pConvBuf), "laid out");
  EXPECT_EQ(doc_->PackagePartsRead(), 1);
}

// Part names walk as paths in a folder would: any case, "." and ".." through
// folders, never through a file and never above the package's root (a layout or
// sheet name taken from a relationships part cannot reach the program's files).
TEST_F(PackageTest, PartNamesWalkLikeFolderPathsButNeverAboveTheRoot) {
  ASSERT_EQ(doc_->UnpackOfficePackage(Hostile("traversal.docx")), 0);
  const std::string document = Part("word\\document.xml");
  ASSERT_FALSE(document.empty());
  for (const char* same : {"WORD\\Document.XML", "word/document.xml", ".\\word\\.\\document.xml",
                           "word\\..\\word\\document.xml", "\\word\\\\document.xml"})
    EXPECT_EQ(Part(same), document) << same;
  for (const char* none : {"..\\XLSX\\word\\document.xml", "word\\..\\..\\XLSX\\word\\document.xml",
                           "word\\document.xml\\..\\document.xml", "word", "", ".."})
    EXPECT_EQ(doc_->LoadPackagePart(none), 0) << none;
  EXPECT_TRUE(doc_->PackageHasFolder("Word"));
  EXPECT_FALSE(doc_->PackageHasFolder("word\\document.xml"));
}

// The members are placed as the own unpacking into a folder places them: a later
// member replaces an earlier one of the same name in another case, a member that
// needs a file as its folder or a folder as its file is left out (and the load
// marked partial), a member that fails its check is left out.
TEST_F(PackageTest, MembersArePlacedAsUnpackingIntoAFolderPlacesThem) {
  std::string zip = ZipOf({{"Word/Doc.xml", "<a>first</a>"},
                           {"word/doc.xml", "<a>second</a>"},
                           {"a.xml", "<a/>"},
                           {"a.xml/b.xml", "<b/>"},
                           {"dir/", ""},
                           {"DIR", "<c/>"},
                           {"media/x/", ""},
                           {"bad.xml", "<bad>checked</bad>"}});
  // bad.xml's CRC changed in both its headers.
  const std::string bad = "<bad>checked</bad>";
  const uint32_t crc = Crc32Of(reinterpret_cast<const uint8_t*>(bad.data()), bad.size());
  const std::string le{static_cast<char>(crc), static_cast<char>(crc >> 8), static_cast<char>(crc >> 16), static_cast<char>(crc >> 24)};
  int changed = 0;
  for (size_t at = zip.find(le); at != std::string::npos; at = zip.find(le, at + 1), ++changed) zip[at] ^= 1;
  ASSERT_EQ(changed, 2);
  const std::string path = WriteFile("placed.docx", zip);
  doc_->m_bPartialLoad = 0;
  ASSERT_EQ(doc_->UnpackOfficePackage(path), 0);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  EXPECT_EQ(Part("WORD\\DOC.XML"), "<a>second</a>");
  EXPECT_EQ(Part("word\\doc.xml"), "<a>second</a>");  // read again after the kept bytes went: decoded anew
  EXPECT_EQ(Part("a.xml"), "<a/>");
  EXPECT_EQ(Part("bad.xml"), "");  // its failed check is not kept as a part
  EXPECT_EQ(doc_->PackagePartsRead(), 3);
  const struct {
    const char* rel;
    bool part, folder;
  } cases[] = {{"word\\doc.xml", true, false}, {"a.xml", true, false},  {"a.xml\\b.xml", false, false},
               {"dir", false, true},         {"media", false, true},  {"media\\x", false, true},
               {"bad.xml", false, false},     {"word", false, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(doc_->PackageHasPart(c.rel), c.part) << c.rel;
    EXPECT_EQ(doc_->PackageHasFolder(c.rel), c.folder) << c.rel;
  }
  // The own unpacking of the same archive into a folder agrees, case by case.
  const std::string folder = Win("unpacked");
  ASSERT_FALSE(doc_->ExtractZip(ExtractMode::kOwn, path, folder, ExtractOverwrite::kReplace).ok());
  for (const auto& c : cases) {
    const auto st = plat::Stat(folder + "\\" + c.rel);
    EXPECT_EQ(st && !st->isDirectory, c.part) << c.rel;
    EXPECT_EQ(st && st->isDirectory, c.folder) << c.rel;
  }
  ExpectNothingWritten();
}

}  // namespace
