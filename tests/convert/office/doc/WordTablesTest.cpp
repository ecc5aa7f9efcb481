// The Word position table and grid renderer on small hand-made images: what the
// walk records from property pages, and what the renderer makes of a table row.
#include <cstring>

#include "convert/ConvertState.h"
#include "convert/office/OfficeTextSupport.h"
#include "convert/office/doc/WordGrid.h"

namespace {

class WordTablesTest : public testenv::DocTest {
 protected:
  // An image of `pages` 512-byte pages; the text starts at 512.
  void Image(int pages) {
    doc_->Convert().m_rawStore.assign(static_cast<size_t>(pages) * 512, 0);
    doc_->Convert().m_pRawData = doc_->Convert().m_rawStore.data();
    doc_->Convert().m_nRawLen = static_cast<int64_t>(pages) * 512;
    doc_->Convert().m_nRawPos = 512;
  }
  void Put(int at, std::initializer_list<int> bytes) {
    for (int b : bytes) doc_->Convert().m_rawStore[static_cast<size_t>(at++)] = static_cast<uint8_t>(b);
  }
  void Put32(int at, uint32_t v) { Put(at, {int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); }
  // Page 2 a character page (first property page), page 3 a paragraph page with one
  // row-end run whose table definition holds `cells` cells.
  void RowEndPages(int cells) {
    Image(6);
    Put32(1024, 0x400);
    Put32(1028, 0x410);
    Put(1024 + 511, {1});
    const int q = 1536;
    Put32(q, 0x400);
    Put32(q + 4, 0x420);
    Put(q + 511, {1});
    Put(q + 8, {50});  // properties at q + 100
    const int p = q + 100;
    Put(p, {12, 0, 0, 0x16, 0x24, 0x01, 0x17, 0x24, 0x01, 0x08, 0xD6, 0x0A, 0x00, cells, 0, 0, 0x40, 0x06, 0x80, 0x0C});
  }
};

TEST_F(WordTablesTest, RowEndRecordsItsColumnLayout) {
  RowEndPages(2);
  EXPECT_EQ(doc_->BuildPositionTable(4, 0, 0), 512 + 0x20);
  EXPECT_EQ(doc_->Convert().m_anParaEnd[0], 512 + 0x20);
  EXPECT_EQ(doc_->Convert().m_abParaType[0], 26);
  EXPECT_EQ(doc_->Convert().m_anTableCols[0], 3);
  EXPECT_EQ(doc_->Convert().m_anTableCols[1], 0);
  EXPECT_EQ(doc_->Convert().m_anTableCols[2], 20);  // 1600 twips / 80
  EXPECT_EQ(doc_->Convert().m_anTableCols[3], 40);
  EXPECT_EQ(doc_->Convert().m_nRawPos, 512);
  // Both property pages are stamped as consumed.
  EXPECT_EQ(doc_->Convert().m_rawStore[1024 + 1], 6);
  EXPECT_EQ(doc_->Convert().m_rawStore[1536 + 1], 6);
}

TEST_F(WordTablesTest, CellCountOfZeroOrLessIsNoTableDefinition) {
  for (int cells : {0, 0xFD}) {
    RowEndPages(cells);
    doc_->BuildPositionTable(4, 0, 0);
    EXPECT_EQ(doc_->Convert().m_abParaType[0], 26) << cells;
    EXPECT_EQ(doc_->Convert().m_anTableCols[0], 20) << cells;  // the default layout
    EXPECT_EQ(doc_->Convert().m_anTableCols[19], 190) << cells;
  }
}

TEST_F(WordTablesTest, HostileRunCountsAndPositions) {
  RowEndPages(2);
  Put(1536 + 511, {0x80});  // run count -128: not a paragraph page
  EXPECT_EQ(doc_->BuildPositionTable(4, 0, 0), 512 + 0x10);
  EXPECT_EQ(doc_->Convert().m_anParaEnd[0], 0);
  // A start before the buffer, a deleted run reaching below it: nothing is written outside.
  doc_->Convert().m_nRawPos = -512;
  EXPECT_EQ(doc_->BuildPositionTable(4, 0, 0), 0);
  // Lookups outside the table.
  EXPECT_EQ(doc_->NextPositionEntry(-7, 1000), 0);
  EXPECT_EQ(doc_->NextPositionEntry(20000, 1000), 0);
  EXPECT_EQ(doc_->FindPositionEntry(20000, 1000), 20000);
  EXPECT_EQ(doc_->ClassifyCell(-1), 5);
  EXPECT_EQ(doc_->ClassifyCell(16000), 5);
  doc_->Convert().m_abParaType[15999] = 7;
  EXPECT_EQ(doc_->ClassifyCell(15999), 7);
}

TEST_F(WordTablesTest, ClassifyCellMarksTheParagraphAfterACell) {
  doc_->Convert().m_abParaType[0] = 7;
  doc_->Convert().m_abParaType[1] = 0;
  EXPECT_EQ(doc_->ClassifyCell(0), 7);
  EXPECT_EQ(doc_->Convert().m_abParaType[1], 5);
  EXPECT_EQ(doc_->ClassifyCell(1), 5);
  doc_->Convert().m_abParaType[2] = 6;
  doc_->Convert().m_abParaType[3] = 9;
  EXPECT_EQ(doc_->ClassifyCell(2), 3);
  doc_->Convert().m_abParaType[3] = 7;
  EXPECT_EQ(doc_->ClassifyCell(2), 6);
}

std::string Render(CQelDoc& doc, const std::string& bytes, int sep, std::vector<int> kinds = {}) {
  std::string store = bytes;
  WordGrid grid;
  grid.bytes = reinterpret_cast<uint8_t*>(store.data());
  grid.width = static_cast<int>(store.size());
  grid.rows = 1;
  doc.AllocateConvBuffer(100000);
  doc.m_nOutDataLimit = 90000;
  doc.RenderWordGrid(grid, sep, 0, grid.width, 0, kinds.data(), static_cast<int>(kinds.size()));
  return std::string(doc.m_pConvBuf, static_cast<size_t>(doc.m_nConvPos));
}

TEST_F(WordTablesTest, GridTableRowWithRules) {
  // Slot 0: two cells of 10 and 8 columns.
  const int layout[] = {3, 0, 10, 18};
  std::memcpy(doc_->Convert().m_anTableCols.data(), layout, sizeof layout);
  const std::string text = Render(*doc_, std::string("Hi\r\n") + "ab\x07" + "cd\x07" + "\x03\x1a" + "End\r\n", 1);
  EXPECT_EQ(text,
            "Hi\r\n"
            "+-----------------+\r\n"
            "|ab       |cd     |\r\n"
            "+-----------------+\r\n"
            "End\r\n");
}

TEST_F(WordTablesTest, GridPictureAnchorsAndMarks) {
  const std::string text =
      Render(*doc_, std::string("a\x01 b\x01 c\x01\x13x\x14y\x15\x08\r\n", 16), 0, {0x52, 0x62});
  // The third anchor finds no kind: nothing but its blank.
  EXPECT_EQ(text, "a[Image1]JPG  b[Image2]PNG  c #x[y]\x81\xA0\r\n");
}

// The Word road writes a line straight at the grid's place when the grid has room:
// writing there and skipping must leave the grid and its place as PutBytes does,
// across row ends and up to the last byte.
TEST(WordGridPlace, SkipAfterWritingInPlaceIsPutBytes) {
  for (const int width : {1, 3, 7}) {
    for (int start = 0; start <= 3 * width; ++start) {
      for (int n = 0; n <= 3 * width - start; ++n) {
        std::string a(static_cast<size_t>(3 * width), '.'), b = a;
        WordGrid put{reinterpret_cast<uint8_t*>(a.data()), width, 3, start / width, start % width};
        WordGrid skip{reinterpret_cast<uint8_t*>(b.data()), width, 3, start / width, start % width};
        const std::string text(static_cast<size_t>(n), 'x');
        put.PutBytes(reinterpret_cast<const uint8_t*>(text.data()), n);
        ASSERT_GE(skip.Room(), n);
        std::memcpy(b.data() + start, text.data(), static_cast<size_t>(n));
        skip.Skip(n);
        EXPECT_EQ(b, a);
        EXPECT_EQ(std::pair(skip.row, skip.col), std::pair(put.row, put.col)) << width << " " << start << " " << n;
        EXPECT_EQ(skip.Room(), static_cast<int64_t>(3 * width - start - n));
      }
    }
  }
}

// The renderer steps over ordinary text a block of bytes at a time: a mark or shown
// control byte at any place in a run, and the bytes just above the ones it looks
// for (14 to 18, 22 and double-byte halves pass through as they are), must come out
// as byte by byte.
TEST_F(WordTablesTest, GridMarksAtEveryPlaceOfAWordScan) {
  const std::string plain = std::string("\x0E\x12\x16\x93\xFA") + "abcdefghijklmnopqrstuvwxyz0123456789";
  for (size_t k = 0; k <= plain.size(); ++k) {
    const std::string head = plain.substr(0, k), tail = plain.substr(k);
    EXPECT_EQ(Render(*doc_, head + "\x13" + tail + "\x08" + tail + "\r\n" + tail + head + "\r\n", 0),
              head + "#" + tail + "\x81\xA0" + tail + "\r\n" + tail + head + "\r\n")
        << "at " << k;
  }
}

}  // namespace
