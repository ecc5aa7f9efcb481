// The compound-file stage: streams gathered against python3-olefile's reading of
// LibreOffice's workbooks, the real Office files of the shared corpus, and hostile
// headers, chains and directories, each with the answer it must give.
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../../../../fuzz/CfbImage.h"
#include "app/FileKind.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpCall.h"
#include "convert/dump/DumpSteps.h"
#include "convert/office/OfficeState.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

class CompoundStageTest : public testenv::DocTest {
 protected:
  // Reads the file as the dump does and runs the compound stage, its failure written
  // as the frame writes it; true when the stage ends the dump.
  bool Stage(const std::string& winPath) {
    EXPECT_TRUE(doc_->AllocateConvBuffer(doc_->m_nOutDataLimit + 8192));
    doc_->m_nConvPos = 0;
    call_ = std::make_unique<DumpCall>();
    call_->path = winPath;
    call_->kind = doc_->GetFileKind(winPath);
    doc_->m_nFileKind = call_->kind;
    call_->readSize = doc_->m_nInDataLimit;
    call_->tableRowsR = doc_->DumpVolumes(false).tableRowsR;
    EXPECT_TRUE(call_->file.Open(winPath, plat::File::Mode::Read));
    EXPECT_TRUE(ReadDumpInput(*doc_, *call_));
    const ConvertStatus status = doc_->RunCompoundStage(*call_);
    doc_->WriteConvertFailure(status);
    return !status.ok();
  }
  std::string Output() const { return std::string(doc_->m_pConvBuf, static_cast<size_t>(doc_->m_nConvPos)); }
  std::string Slot(int slot, size_t n) const {
    return std::string(reinterpret_cast<const char*>(doc_->Convert().m_pRawData) + doc_->Office().m_anCfbSlots[slot], n);
  }
  std::unique_ptr<DumpCall> call_;
};

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

TEST_F(CompoundStageTest, WorkbookStreamsMatchOlefile) {
  // book.xls and d1904.xls hold their Workbook in the mini-stream, long.xls in regular sectors.
  for (const char* name : {"book.xls", "d1904.xls", "long.xls"}) {
    SCOPED_TRACE(name);
    std::istringstream streams(testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name + ".streams")));
    std::string stream, crc;
    size_t size = 0;
    while (streams >> stream >> size >> crc && stream != "Workbook") {
    }
    ASSERT_EQ(stream, "Workbook");
    const std::string path = WriteFile(name, testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name)));
    EXPECT_FALSE(Stage(path));
    EXPECT_EQ(call_->kind, 3);
    ASSERT_GT(doc_->Office().m_anCfbSlots[0], 0);
    ASSERT_GE(doc_->Office().m_anCfbSlotLength[0], static_cast<int>(size));
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", Crc(Slot(0, size)));
    EXPECT_EQ(hex, crc);
    EXPECT_EQ(std::string(call_->names[0].data()), name == std::string("book.xls") ? "\x90\x94\x92\x6C" : name == std::string("long.xls") ? "long" : "Dates");
  }
}

TEST_F(CompoundStageTest, SharedOfficeFilesGatherTheirMainStream) {
  const std::string root = testenv::SharedTestData("office");
  SKIP_WITHOUT_SHARED_DATA(root);
  struct Expect {
    const char* folder;
    int kind;
    uint8_t second;  // second byte of the main stream's magic (BOF 09 08; Word A5 EC, A5 DC, A6 99)
  };
  const Expect table[] = {{"xls", 3, 0x08}, {"doc", 2, 0xA5}};
  for (const Expect& e : table) {
    for (const auto& f : std::filesystem::directory_iterator(root + "/" + e.folder)) {
      if (f.path().extension() == ".md") continue;
      SCOPED_TRACE(f.path().string());
      const std::string bytes = testenv::ReadHostFile(f.path().string());
      if (bytes.compare(0, 3, "\xD0\xCF\x11") != 0) continue;  // an older unstructured file
      EXPECT_FALSE(Stage(WriteFile(std::string("t.") + e.folder, bytes)));
      EXPECT_EQ(call_->kind, e.kind);
      ASSERT_GT(doc_->Office().m_anCfbSlots[0], 0);
      const uint8_t second = static_cast<uint8_t>(Slot(0, 2)[1]);
      EXPECT_TRUE(second == e.second || (e.kind == 2 && second == 0xA6)) << int(second);
    }
  }
}

TEST_F(CompoundStageTest, HostileFilesGiveTheirAnswers) {
  const std::string book(5000, 'B');
  const std::string good = cfbimage::Build({{"Workbook", book}});
  const std::string unsupported = LoadString(IDS_OFFICE_FORMAT_UNSUPPORTED);
  struct Case {
    const char* what;
    size_t at;          // byte to patch
    std::string bytes;  // its new value
    bool ends;          // the dump ends with string 240, or with the loop's message
    const char* loop = nullptr;  // the part that loops: the file is damaged
  };
  const size_t fat = cfbimage::SectorAt(0);
  // A chain that loops was gathered up to its stream's size, repeats and all, and
  // shown without a word: the file is now refused as damaged.
  const Case cases[] = {
      {"4,096-byte sectors", 30, std::string("\x0C\x00", 2), true},
      {"directory past the file", 48, std::string("\x00\x01\x00\x00", 4), true},
      {"directory sector number past 16 bits", 48, std::string("\x01\x00\x01\x00", 4), true},
      {"chain that loops on itself", fat + 4 * 3, std::string("\x03\x00\x00\x00", 4), true, "FAT"},
      {"chain that loops back", fat + 4 * 5, std::string("\x02\x00\x00\x00", 4), true, "FAT"},
      {"chain past the table", fat + 4 * 3, std::string("\x00\x00\x02\x00", 4), false},
      {"FAT sector past the file", 76, std::string("\x00\x00\x00\x40", 4), false},
      {"stream start past the file", 512 * 2 + 128 + 116, std::string("\xFF\xFF\x00\x00", 4), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    bytes.replace(c.at, c.bytes.size(), c.bytes);
    EXPECT_EQ(Stage(WriteFile("h.xls", bytes)), c.ends);
    if (c.ends) {
      EXPECT_EQ(Output(), c.loop ? StatusText(ConvertStatus::Message(IDS_COMPOUND_DAMAGED).With(c.loop)) : unsupported);
      continue;
    }
    EXPECT_EQ(Output(), "");
    // Never more than the stream's own sectors, and its first sector always.
    EXPECT_LE(doc_->Office().m_anCfbSlotLength[0], 5120);
    if (doc_->Office().m_anCfbSlots[0] > 0) {
      EXPECT_EQ(Slot(0, 4), "BBBB");
    }
  }
}

TEST_F(CompoundStageTest, TruncationsAtSectorBoundariesNeverReadPastTheFile) {
  const std::string good = cfbimage::Build({{"Workbook", std::string(9000, 'W')}, {"1Table", std::string(4096, 'T')}});
  for (size_t cut = 512; cut < good.size(); cut += 512) {
    SCOPED_TRACE(cut);
    const bool ends = Stage(WriteFile("t.xls", good.substr(0, cut)));
    if (ends) {
      EXPECT_EQ(Output(), LoadString(IDS_OFFICE_FORMAT_UNSUPPORTED));
    } else {
      EXPECT_LE(call_->bytesRead, call_->bufferSize);
    }
  }
}

// Sectors that follow one another in the file are read together: a chain that jumps
// forward and back must still be gathered in chain order, each run in its place.
TEST_F(CompoundStageTest, ChainOutOfFileOrderIsGatheredInChainOrder) {
  std::string data;
  for (int k = 0; k < 12; ++k) data += std::string(512, static_cast<char>('a' + k));
  std::string image = cfbimage::Build({{"Workbook", data}});  // sectors 2 to 13
  const std::vector<uint32_t> chain = {2, 3, 4, 9, 10, 5, 6, 7, 8, 13, 11, 12};
  for (size_t k = 0; k < chain.size(); ++k) {
    image.replace(cfbimage::SectorAt(chain[k]), 512, data, k * 512, 512);
    cfbimage::Put32(image, cfbimage::SectorAt(0) + chain[k] * 4,
                    k + 1 < chain.size() ? chain[k + 1] : 0xFFFFFFFEu);
  }
  EXPECT_FALSE(Stage(WriteFile("chain.xls", image)));
  ASSERT_GT(doc_->Office().m_anCfbSlots[0], 0);
  EXPECT_EQ(Slot(0, data.size()), data);
}

// A file that ends inside a stream's sector: the stream holds the file's bytes up to
// its end and zeros after them, as far as the sector goes.
TEST_F(CompoundStageTest, FileEndingInsideASectorLeavesZerosAfterItsBytes) {
  std::string data;
  for (int k = 0; k < 80; ++k) data += std::string(512, static_cast<char>('A' + k % 26));
  const std::string good = cfbimage::Build({{"Workbook", data}});
  for (size_t cut : {cfbimage::SectorAt(40) + 100, cfbimage::SectorAt(81) - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(Stage(WriteFile("cut.xls", good.substr(0, cut))));
    ASSERT_GT(doc_->Office().m_anCfbSlots[0], 0);
    const size_t kept = cut - cfbimage::SectorAt(2);
    const size_t sector = (kept + 511) / 512 * 512;
    std::string expected = data.substr(0, kept) + std::string(sector - kept, '\0');
    EXPECT_EQ(Slot(0, sector), expected);
  }
}

TEST_F(CompoundStageTest, EarlyWorksheetGetsALinearChainAndNoDirectory) {
  EXPECT_FALSE(Stage(WriteFile("old.xls", std::string("\x09\x04\x06\x00", 4) + std::string(3000, 'x'))));
  EXPECT_EQ(doc_->Office().m_nCfbChainOrigin, 2);
  EXPECT_EQ(doc_->Office().m_anCfbChain[3999], 4000u);
  EXPECT_EQ(doc_->Office().m_anCfbChain[4000], 0u);
}

TEST_F(CompoundStageTest, UnknownExtensionWithAWorkbookBecomesOne) {
  EXPECT_FALSE(Stage(WriteFile("mystery.dat", cfbimage::Build({{"Workbook", std::string(4096, 'w')}}))));
  EXPECT_EQ(call_->kind, 3);
  EXPECT_EQ(doc_->m_nFileKind, kKindXls);
}

// Only three entries were looked at: a directory that goes on in file sector 2 has
// its fourth entry there, and a Workbook named in it was not seen.
TEST_F(CompoundStageTest, UnknownExtensionClassifiedByFourDirectoryEntries) {
  std::string entry(128, '\0');
  const std::string name = "Workbook";
  for (size_t i = 0; i < name.size(); ++i) entry[2 * i] = name[i];
  const struct {
    std::string sector2;
    int kind;
  } cases[] = {
      {entry, kKindXls},                           // the fourth entry names the Workbook
      {std::string(128, 'x'), kKindOther},          // nothing the classification knows
  };
  for (const auto& c : cases) {
    std::string image = cfbimage::Build({{"One", c.sector2 + std::string(4096, 'a')}, {"Two", "b"}, {"Three", "c"}});
    ASSERT_EQ(image.compare(cfbimage::SectorAt(2), 128, c.sector2), 0) << "the first stream starts in sector 2";
    Stage(WriteFile("mystery.dat", image));
    EXPECT_EQ(call_->kind, c.kind);
  }
}

TEST_F(CompoundStageTest, ChainTableIsClearedBetweenFiles) {
  EXPECT_FALSE(Stage(WriteFile("a.xls", cfbimage::Build({{"Workbook", std::string(9000, 'a')}}))));
  EXPECT_NE(doc_->Office().m_anCfbChain[3], 0u);
  std::string noRoot = cfbimage::Build({{"Workbook", std::string(4096, 'b')}});
  noRoot[cfbimage::SectorAt(1)] = 'X';  // the root test fails: the table is not rebuilt
  EXPECT_FALSE(Stage(WriteFile("b.xls", noRoot)));
  EXPECT_EQ(doc_->Office().m_anCfbChain[3], 0u);
}

// A file without a FAT gets the linear chain guess, which sets no origin: the next
// file must still find the table written and clear it.
TEST_F(CompoundStageTest, LinearChainGuessIsClearedBetweenFiles) {
  std::string noFat = cfbimage::Build({{"Workbook", std::string(9000, 'a')}});
  for (int i = 76; i < 80; ++i) noFat[static_cast<size_t>(i)] = '\xFF';  // the first FAT sector: none
  Stage(WriteFile("linear.xls", noFat));
  EXPECT_EQ(doc_->Office().m_anCfbChain[3], 4u);
  std::string noRoot = cfbimage::Build({{"Workbook", std::string(4096, 'b')}});
  noRoot[cfbimage::SectorAt(1)] = 'X';
  Stage(WriteFile("b.xls", noRoot));
  EXPECT_EQ(doc_->Office().m_anCfbChain[3], 0u);
}

// Bit flips in the header, the FAT and the directory of a real workbook: every load
// ends with the table, a message of this system (a loop made by the flip, or a chain
// led past the file's end: damaged) or an empty text, never a crash.
TEST_F(CompoundStageTest, BitFlipsInHeaderFatAndDirectoryGiveATableOrAMessage) {
  const std::string book = testenv::ReadHostFile(testenv::DataPath("office/book.xls"));
  const std::string damaged = LoadString(IDS_COMPOUND_DAMAGED), pastEnd = LoadString(IDS_FILE_DAMAGED);
  const std::vector<std::string> allowed = {"[Sheet", LoadString(IDS_OFFICE_FORMAT_UNSUPPORTED), LoadString(IDS_SHEET_WITHOUT_CELLS), LoadString(IDS_ENCRYPTED_DATA),
                                            LoadString(IDS_UNSUPPORTED_FORMAT), damaged.substr(0, damaged.find('(')),
                                            pastEnd.substr(0, pastEnd.find('('))};
  const size_t fat = cfbimage::SectorAt(0);  // LibreOffice writes its FAT and directory first
  std::vector<size_t> places;
  for (size_t at = 3; at < 512; at += 7) places.push_back(at);  // past the magic: a file without it is no compound file
  for (size_t at = fat; at < fat + 1024; at += 13) places.push_back(at);
  for (size_t at : places) {
    std::string bytes = book;
    bytes[at] = static_cast<char>(bytes[at] ^ (1 << (at % 8)));
    doc_->LoadDocument(WriteFile("f.xls", bytes));
    const std::string text = Text();
    bool ok = text.empty();
    for (const auto& a : allowed) ok = ok || text.find(a) != std::string::npos;
    EXPECT_TRUE(ok) << "flip at " << at << ": " << plat::Cp932ToUtf8(text.substr(0, 200));
  }
}

// The record-data skip passes continuation headers without counting them.
TEST_F(CompoundStageTest, SkipCharsPassesContinuationHeaders) {
  const std::string header("\x3C\x00\x20\x20", 4);
  const std::string image = "ab" + header + "cd" + header;
  doc_->Convert().m_rawStore.assign(image.begin(), image.end());
  doc_->Convert().m_pRawData = doc_->Convert().m_rawStore.data();
  doc_->Convert().m_nRawLen = static_cast<int64_t>(image.size());
  struct Case {
    int from, n, to;
  } cases[] = {{0, 2, 6}, {2, 0, 6}, {6, 2, 12}, {0, 4, 12}, {0, 100, 12}};
  for (const Case& c : cases) {
    doc_->Convert().m_nRawPos = c.from;
    doc_->CfbSkipChars(c.n);
    EXPECT_EQ(doc_->Convert().m_nRawPos, c.to) << c.from << "+" << c.n;
  }
  doc_->Convert().m_pRawData = nullptr;
}

// The cursor over the file image: byte steps, skips and seeks follow the chain.
TEST_F(CompoundStageTest, CursorFollowsChainsAndStaysInTheFile) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>(i % 251);
  std::string image = cfbimage::Build({{"Workbook", data}});
  // Chain of the stream (sectors 2..11) reversed in its middle: 2 -> 3 -> 5 -> 4 -> 6 ...
  const size_t fat = cfbimage::SectorAt(0);
  cfbimage::Put32(image, fat + 3 * 4, 5);
  cfbimage::Put32(image, fat + 5 * 4, 4);
  cfbimage::Put32(image, fat + 4 * 4, 6);
  EXPECT_FALSE(Stage(WriteFile("c.msg", image)));  // the mail kind keeps the file image
  CQelDoc& d = *doc_;
  // The stream's byte at a logical offset, through the relinked chain.
  const int order[] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9};
  auto expected = [&](int offset) { return static_cast<uint8_t>(data[order[offset / 512] * 512 + offset % 512]); };
  auto byteAt = [&](int offset) {
    d.CfbSeek(offset, 3 * 512);
    return d.Convert().m_pRawData[d.Convert().m_nRawPos];
  };
  // Stream offset 1,100 lies in the stream's third sector, which is file sector 5.
  EXPECT_EQ(byteAt(1100), expected(1100));
  EXPECT_EQ(d.Office().m_nCfbSector, 5);
  d.CfbSeek(0, 3 * 512);
  d.CfbSkip(1100);
  EXPECT_EQ(d.Convert().m_pRawData[d.Convert().m_nRawPos], expected(1100));
  d.CfbSeek(0, 3 * 512);
  for (int i = 0; i < 1700; ++i) d.CfbNextByte();
  EXPECT_EQ(d.Convert().m_pRawData[d.Convert().m_nRawPos], expected(1700));
  // A skip far past the chain's end stops at the file's end.
  d.CfbSkip(1 << 30);
  EXPECT_LE(d.Convert().m_nRawPos, d.Convert().m_nRawLen);
  EXPECT_TRUE(d.Office().m_nCfbEnd != 0 || d.Convert().m_nRawPos == d.Convert().m_nRawLen);
  // A seek past a chain's end lands in sector 0.
  d.CfbSeek(512 * 40, 3 * 512);
  EXPECT_EQ(d.Office().m_nCfbSector, 0);
}

}  // namespace
