// Hostile inputs of the Word, PowerPoint, RTF and mail roads: lying piece tables,
// truncations and bit flips of the real fixtures. Each asserts what the text must
// be, not only that nothing crashed (the sanitizers watch every read).
#include <zlib.h>

#include "convert/office/msg/MsgImage.h"
#include "convert/office/OfficeTextSupport.h"

namespace {

using officetext::OfficeTextTest;

// The place of the piece table (02, a 4-byte length, character positions) in the file.
size_t ClxAt(const std::string& doc) {
  const std::string clx("\x02\x10\x00\x00\x00\x00\x00\x00\x00\x1a\x01\x00\x00", 13);
  return doc.find(clx);
}

TEST_F(OfficeTextTest, WordPieceTableThatLies) {
  const std::string doc = Fixture("word-sample.doc");
  const size_t clx = ClxAt(doc);
  ASSERT_NE(clx, std::string::npos);

  // A piece count far past the table: the pieces are read up to their capacity and
  // the image's end; the text is still found from its first page.
  std::string huge = doc;
  huge.replace(clx + 1, 4, std::string("\xF0\xFF\xFF\x00", 4));
  std::string text = ShowBytesUtf8("a.doc", huge);
  EXPECT_NE(text.find("The quick brown fox jumps over the lazy dog."), std::string::npos) << text;

  // A piece whose file offset lies past the image: no text, and the road ends.
  std::string far = doc;
  far.replace(clx + 15, 4, std::string("\x00\x00\x7F\x00", 4));
  text = ShowBytesUtf8("a.doc", far);
  EXPECT_EQ(text.find("quick"), std::string::npos);
  EXPECT_LT(text.size(), 4000u);

  // A character position below the one before it: an empty piece, no text.
  std::string backwards = doc;
  backwards.replace(clx + 9, 4, std::string("\x00\x00\x00\x00", 4));
  EXPECT_EQ(ShowBytesUtf8("a.doc", backwards).find("quick"), std::string::npos);
}

TEST_F(OfficeTextTest, TruncatedRtfGivesAPrefixOfItsText) {
  const std::string rtf = Fixture("word-sample.rtf");
  const std::string full = Show("a.rtf", rtf);
  for (size_t cut = 0; cut < rtf.size(); cut += 997) {
    const std::string part = Show("a.rtf", rtf.substr(0, cut));
    EXPECT_EQ(full.compare(0, part.size(), part), 0) << cut;
  }
}

TEST_F(OfficeTextTest, TruncatedAndFlippedFilesStayBounded) {
  doc_->m_nOutDataLimit = 20000;
  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"a.doc", Fixture("word-sample.doc")},
      {"a.rtf", Fixture("word-sample.rtf")},
      {"a.msg", msgimage::Build({{"__substg1.0_0037001E", "subject", 2, true},
                                 {"__substg1.0_1000001E", std::string(5000, 'b'), 2, true}})},
  };
  for (const auto& f : files) {
    for (size_t cut : {size_t{0}, size_t{100}, size_t{511}, size_t{513}, size_t{1500}, f.bytes.size() / 2, f.bytes.size() - 1}) {
      const std::string text = Show(f.name, f.bytes.substr(0, std::min(cut, f.bytes.size())));
      EXPECT_LE(text.size(), 20000u) << f.name << " cut " << cut;
    }
    uint32_t seed = 12345;
    for (int flip = 0; flip < 60; ++flip) {
      seed = seed * 1103515245 + 12345;
      std::string bytes = f.bytes;
      bytes[(seed >> 8) % bytes.size()] ^= static_cast<char>(1 << (seed >> 4 & 7));
      const std::string text = Show(f.name, bytes);
      EXPECT_LE(text.size(), 20000u) << f.name << " flip " << flip;
    }
  }
}

std::string SlidesPpt() {
  std::string bytes;
  gzFile g = gzopen(testenv::DataPath("office/slides.ppt.gz").c_str(), "rb");
  if (!g) return bytes;
  char buf[65536];
  for (int n; (n = gzread(g, buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<size_t>(n));
  gzclose(g);
  return bytes;
}

TEST_F(OfficeTextTest, PptPictureIndexPastTheStore) {
  std::string bytes = SlidesPpt();
  // The first picture shape names picture 7, which the store does not hold.
  const std::string index("\x04\x41\x01\x00\x00\x00", 6);
  const size_t at = bytes.find(index);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 2] = 7;
  const std::string text = ShowBytesUtf8("a.ppt", bytes);
  EXPECT_NE(text.find("[Object]"), std::string::npos) << text;
  EXPECT_NE(text.find("[Image2]PNG"), std::string::npos);
}

TEST_F(OfficeTextTest, PptRecordLengthsThatLie) {
  std::string bytes = SlidesPpt();
  // Every text atom claims to run past the data: the walk ends at the data's end,
  // and what it made before is still shown.
  const std::string first = "\xA0\x0F";
  size_t texts = 0;
  for (size_t at = bytes.find(first); at != std::string::npos; at = bytes.find(first, at + 1)) {
    if (at < 2 || bytes[at - 2] != 0 || bytes[at - 1] != 0) continue;
    bytes.replace(at + 2, 4, std::string("\xFF\xFF\xFF\x00", 4));
    ++texts;
  }
  ASSERT_GT(texts, 2u);
  const std::string text = ShowBytesUtf8("a.ppt", bytes);
  EXPECT_EQ(text.rfind("=================================================page  1", 0), 0u) << text.substr(0, 200);
  EXPECT_LT(text.size(), static_cast<size_t>(doc_->m_nOutDataLimit));
}

// A grid smaller than the text: the road stops at the grid's last row and the
// renderer writes what it holds.
TEST_F(OfficeTextTest, WordGridFullKeepsTheTextBefore) {
  const std::string folder = testenv::SharedTestData("office/doc");
  SKIP_WITHOUT_SHARED_DATA(folder);
  const std::string bytes = testenv::ReadHostFile(folder + "/poi-Bug50936_1.doc");
  const std::string full = Show("a.doc", bytes);
  doc_->m_nCharLimit = 4;
  doc_->m_nTableRows = 300;  // a grid of 390 rows of 4 bytes
  const std::string text = Show("a.doc", bytes);
  EXPECT_EQ(text.rfind("III.\tROADSIDE DATA ANALYSIS", 0), 0u) << text.substr(0, 100);
  EXPECT_EQ(full.rfind("III.\tROADSIDE DATA ANALYSIS", 0), 0u);
  EXPECT_LT(text.size() * 4, full.size());
}

}  // namespace
