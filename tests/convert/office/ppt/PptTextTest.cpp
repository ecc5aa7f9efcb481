// Binary PowerPoint as text: LibreOffice's .ppt against pdftotext's reading of
// LibreOffice's PDF of the same slides, picture tags against the Pictures stream
// as python3-olefile lists it, and the shared corpus.
#include <zlib.h>

#include <filesystem>
#include <sstream>

#include "../../../../fuzz/CfbImage.h"
#include "app/FileKind.h"
#include "app/StringTable.h"
#include "convert/office/OfficeTextSupport.h"

namespace {

using officetext::OfficeTextTest;

std::string Gunzip(const std::string& hostPath) {
  std::string out;
  gzFile f = gzopen(hostPath.c_str(), "rb");
  if (!f) return out;
  char buf[65536];
  for (int n; (n = gzread(f, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  gzclose(f);
  return out;
}

TEST_F(OfficeTextTest, PptFromLibreOfficeHoldsItsSlideText) {
  const std::string bytes = Gunzip(testenv::DataPath("office/slides.ppt.gz"));
  ASSERT_GT(bytes.size(), 10000u);
  const std::string text = ShowBytesUtf8("slides.ppt", bytes);
  const std::string reference = Fixture("slides.pdftotext.txt");
  EXPECT_EQ(officetext::Join(officetext::MissingWords(reference, text)), "") << text;
  EXPECT_EQ(text.rfind("=================================================page  1====", 0), 0u);
  EXPECT_NE(text.find("=================================================page  2===="), std::string::npos);
  EXPECT_NE(text.find("# Speaker note one"), std::string::npos) << text;

  // The picture shapes show the kinds of the Pictures stream's entries, in order.
  std::istringstream pictures(Fixture("slides.ppt.pictures.txt"));
  std::string line;
  int number = 0;
  while (std::getline(pictures, line)) {
    ++number;
    const std::string kind = line.substr(line.find(' ') + 1, 3);
    const std::string tag = "[Image" + std::to_string(number) + "]" + kind.substr(0, 1);
    EXPECT_NE(text.find(tag), std::string::npos) << tag;
  }
  EXPECT_EQ(number, 2);
  EXPECT_NE(text.find("[Image2]PNG"), std::string::npos);
}

TEST_F(OfficeTextTest, PptSourceFormListsEventsAndPictures) {
  doc_->m_nDisplayForm = 2;
  const std::string text = ShowBytesUtf8("slides.ppt", Gunzip(testenv::DataPath("office/slides.ppt.gz")));
  EXPECT_NE(text.find(" picture no.=  1 adr=       0 vol=   "), std::string::npos) << text.substr(0, 300);
  EXPECT_NE(text.find(" picture no.=  2 adr=     13c vol="), std::string::npos);
  EXPECT_NE(text.find("page  1========================"), std::string::npos);
  EXPECT_NE(text.find("[Note]--------------"), std::string::npos);
  EXPECT_NE(text.find("===End Rev===="), std::string::npos);
}

// The chosen picture is cut out of the Pictures stream and shown.
TEST_F(OfficeTextTest, PptSelectedPictureIsShown) {
  const std::string bytes = Gunzip(testenv::DataPath("office/slides.ppt.gz"));
  const struct {
    int item, kind;
  } cases[] = {{1, 13}, {2, 14}, {100, 13}, {250, 13}};
  for (const auto& c : cases) {
    doc_->m_nSelectedItem = c.item;
    Show("slides.ppt", bytes);
    EXPECT_EQ(doc_->m_nFileKind, c.kind) << c.item;
    EXPECT_EQ(doc_->LoadedImageFacts().width, 16) << c.item;
    EXPECT_EQ(doc_->LoadedImageFacts().height, 16) << c.item;
  }
  doc_->m_nSelectedItem = 3;  // no such picture
  Show("slides.ppt", bytes);
  EXPECT_EQ(doc_->m_nFileKind, kKindPpt);
}

TEST_F(OfficeTextTest, SharedPptFilesShowText) {
  const std::string folder = testenv::SharedTestData("office/ppt");
  SKIP_WITHOUT_SHARED_DATA(folder);
  const std::pair<const char*, const char*> expected[] = {
      {"poi-ParagraphStylesShorterThanCharStyles.ppt", "ROMANCE: AN ANALYSIS"},
      {"poi-bug58733_671884.ppt", "Animal Improvement Programs Laboratory"},
      {"poi-bug61881.ppt", "Causality Assessment in Drug Induced Liver Injury"},
      {"poi-tvcamboriu-pensar.ppt", "Talvez Deus queira que n"},
  };
  for (const auto& [name, line] : expected) {
    const std::string text = ShowBytesUtf8("a.ppt", testenv::ReadHostFile(folder + "/" + name));
    EXPECT_NE(text.find(line), std::string::npos) << name << "\n" << text.substr(0, 400);
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".ppt") continue;
    const std::string text = Show("a.ppt", testenv::ReadHostFile(entry.path().string()));
    EXPECT_LE(static_cast<int>(text.size()), doc_->m_nOutDataLimit) << entry.path();
  }
}

}  // namespace

namespace {

// A presentation made here: a record (version, instance, type) with its data, and a
// container of records.
std::string Record(int version, int instance, int type, const std::string& data) {
  std::string r(8, '\0');
  cfbimage::Put16(r, 0, static_cast<uint16_t>((version & 0x0F) | (instance & 0xFFF) << 4));
  cfbimage::Put16(r, 2, static_cast<uint16_t>(type));
  cfbimage::Put32(r, 4, static_cast<uint32_t>(data.size()));
  return r + data;
}
std::string Container(int type, const std::string& children) { return Record(0x0F, 0, type, children); }
std::string Words32(std::initializer_list<uint32_t> words) {
  std::string s(4 * words.size(), '\0');
  size_t at = 0;
  for (uint32_t w : words) cfbimage::Put32(s, (at++) * 4, w);
  return s;
}
std::string Text8(const std::string& text) { return Record(0, 0, 0x0FA8, text); }

// Two slides listed as 256 and 257, their containers with slide atoms whose master
// references are 40 and 44, notes of slide 257 only, and optionally a JPEG picture
// store entry of the given volume.
std::string Deck(uint32_t pictureVolume = 0) {
  std::string list = Record(0, 0, 0x03F3, Words32({4, 0, 1, 256, 0})) + Text8("Title one") +
                     Record(0, 0, 0x03F3, Words32({5, 0, 1, 257, 0})) + Text8("Title two");
  std::string store;
  if (pictureVolume > 0) store = Record(2, 5, 0xF007, std::string(20, '\0') + Words32({pictureVolume, 0, 0}) + std::string(4, '\0'));
  std::string stream = Container(0x03E8, Container(0x0FF0, list) + store + Record(0, 0, 0x03EA, ""));
  stream += Container(0x03EE, Record(2, 0, 0x03EF, Words32({0, 0, 0, 40, 0, 0})) + Text8("body one"));
  stream += Container(0x03EE, Record(2, 0, 0x03EF, Words32({0, 0, 0, 44, 0, 0})) + Text8("body two"));
  stream += Container(0x03F0, Record(1, 0, 0x03F1, Words32({257, 0})) + Text8("note of two"));
  return cfbimage::Build({{"PowerPoint Document", stream}});
}

// The source form showed every slide atom's identifier as 0, and notes took the
// pages in the order the notes came (the first notes to page 1 whatever slide they
// belong to).
TEST_F(OfficeTextTest, PptSlideAtomsShowTheirIdentifierAndNotesGoToTheirSlide) {
  doc_->m_nDisplayForm = 2;
  std::string text = Show("deck.ppt", Deck());
  EXPECT_NE(text.find("\r\n===256==================page  1===="), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n--- 10--------------page  1-----"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n--- 11--------------page  2-----"), std::string::npos) << text;
  EXPECT_NE(text.find("[Note]--------------\r\nnote of two"), std::string::npos) << text;  // page 2: its banner shows

  doc_->m_nDisplayForm = 0;
  text = Show("deck.ppt", Deck());
  const size_t page2 = text.find("page  2===");
  ASSERT_NE(page2, std::string::npos) << text;
  EXPECT_GT(text.find("body two"), page2);
  EXPECT_LT(text.find("body one"), page2);
  EXPECT_GT(text.find("# note of two"), page2) << text;
}

// A direct picture whose buffer cannot be had says so with its own place code.
TEST_F(OfficeTextTest, PptDirectPictureWithoutMemoryGivesPlaceCode008) {
  doc_->m_nSelectedItem = 100;
  doc_->m_allocHook.FailAbove(size_t{64} << 20);
  const std::string text = Show("deck.ppt", Deck(0x10000000));
  doc_->m_allocHook.Reset();
  EXPECT_NE(text.find(OutOfMemoryText(" 008")), std::string::npos) << text;
  EXPECT_NE(text.find("Title two"), std::string::npos);  // the text is still there
  doc_->m_nSelectedItem = 1;
  doc_->m_allocHook.FailAbove(size_t{64} << 20);
  const std::string chosen = Show("deck.ppt", Deck(0x10000000));
  doc_->m_allocHook.Reset();
  EXPECT_NE(chosen.find(OutOfMemoryText(" 013")), std::string::npos) << chosen;
}

}  // namespace
