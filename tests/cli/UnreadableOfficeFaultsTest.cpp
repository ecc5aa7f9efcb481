// Office files and archives of which nothing can be shown, through the built
// program: LibreOffice's own files (tests/data/office) with a loop made in their FAT,
// DIFAT, mini FAT, directory chain or directory tree or a chain led past the file's
// end, packages whose main part inflates past its declared size, random bytes or
// nothing under a Word, PowerPoint or Office Open XML name, a text under a Word name,
// a package past the package cap, and archives whose first header is cut or lies.
// Each printed nothing or what it had and exited 0; each now exits 1 and says why.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "support/TestEnv.h"

namespace {

uint32_t Get32(const std::string& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void Put32(std::string& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// Just enough of a compound file (512-byte sectors, one to 109 FAT sectors) to make
// a loop in one of its parts.
struct Compound {
  std::string bytes;
  std::vector<uint32_t> fatSectors;
  static size_t SectorAt(uint32_t s) { return (static_cast<size_t>(s) + 1) * 512; }
  size_t FatEntryAt(uint32_t s) const { return SectorAt(fatSectors[s / 128]) + s % 128 * 4; }
  uint32_t Next(uint32_t s) const { return Get32(bytes, FatEntryAt(s)); }
  std::vector<uint32_t> Chain(uint32_t s) const {
    std::vector<uint32_t> chain;
    for (; s < 0xFFFFFFFA && chain.size() < 10000; s = Next(s)) chain.push_back(s);
    return chain;
  }
  std::vector<uint32_t> Directory() const { return Chain(Get32(bytes, 48)); }
  // The place of directory entry id.
  size_t EntryAt(uint32_t id) const { return SectorAt(Directory()[id / 4]) + id % 4 * 128; }
  uint32_t Find(const std::u16string& name) const {
    for (uint32_t id = 0; id < Directory().size() * 4; ++id) {
      if (std::memcmp(bytes.data() + EntryAt(id), name.data(), name.size() * 2) == 0) return id;
    }
    return 0;
  }
  explicit Compound(std::string b) : bytes(std::move(b)) {
    for (int i = 0; i < 109 && Get32(bytes, 76 + i * 4) < 0xFFFFFFFA; ++i) fatSectors.push_back(Get32(bytes, 76 + i * 4));
  }
};

std::string Gunzip(const std::string& gz) {
  std::string out(4 << 20, '\0');
  z_stream z{};
  inflateInit2(&z, 31);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
  z.avail_in = static_cast<uInt>(gz.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// The file with a loop made in `part`; mainName is its main stream's name.
std::string WithLoop(const std::string& file, const std::u16string& mainName, const std::string& part) {
  Compound c(file);
  std::string& b = c.bytes;
  if (part == "FAT") {  // the main stream's second sector leads back to its first
    const std::vector<uint32_t> chain = c.Chain(Get32(b, c.EntryAt(c.Find(mainName)) + 116));
    Put32(b, c.FatEntryAt(chain[1]), chain[0]);
  } else if (part == "directory") {  // the last directory sector leads back to the first
    const std::vector<uint32_t> dir = c.Directory();
    Put32(b, c.FatEntryAt(dir.back()), dir.front());
  } else if (part == "mini FAT") {  // the first small stream of two blocks or more loops
    uint32_t id = 1;
    while (!(Get32(b, c.EntryAt(id) + 120) >= 128 && Get32(b, c.EntryAt(id) + 120) < 4096 && b[c.EntryAt(id) + 66] == 2)) ++id;
    const size_t miniFat = Compound::SectorAt(Get32(b, 60));
    const uint32_t first = Get32(b, c.EntryAt(id) + 116);
    Put32(b, miniFat + Get32(b, miniFat + first * 4) * 4, first);
  } else if (part == "directory tree") {  // the main entry's left sibling is its parent
    const uint32_t main = c.Find(mainName);
    uint32_t parent = 0;
    for (uint32_t id = 0; id < c.Directory().size() * 4; ++id) {
      for (size_t link : {68, 72, 76}) {
        if (Get32(b, c.EntryAt(id) + link) == main) parent = id;
      }
    }
    Put32(b, c.EntryAt(main) + 68, parent);
  } else if (part == "DIFAT") {  // every header slot names a FAT sector; a DIFAT sector names itself next
    const uint32_t extra = static_cast<uint32_t>(b.size() / 512 - 1);
    b.append(512, '\0');
    for (int i = 0; i < 109; ++i) Put32(b, 76 + i * 4, c.fatSectors[i % c.fatSectors.size()]);
    Put32(b, 68, extra);
    Put32(b, 72, 1);
    for (int i = 0; i < 127; ++i) Put32(b, Compound::SectorAt(extra) + i * 4, c.fatSectors[0]);
    Put32(b, Compound::SectorAt(extra) + 508, extra);
  }
  return b;
}

// The WordDocument stream's chain led past the file's end: its second sector's FAT
// entry names a sector far beyond it.
std::string WithChainPastEnd(const std::string& file) {
  Compound c(file);
  const std::vector<uint32_t> chain = c.Chain(Get32(c.bytes, c.EntryAt(c.Find(u"WordDocument")) + 116));
  Put32(c.bytes, c.FatEntryAt(chain[1]), 0x00FFFFF0);
  return c.bytes;
}

// The package with the member `name` declaring half its size in the central
// directory (and its local header where that gives one): it inflates past it.
std::string WithPartPastItsSize(std::string zip, const std::string& name) {
  for (size_t at = zip.find("PK\1\2"); at != std::string::npos; at = zip.find("PK\1\2", at + 4)) {
    const size_t nameLength = static_cast<uint8_t>(zip[at + 28]) | static_cast<size_t>(static_cast<uint8_t>(zip[at + 29])) << 8;
    if (zip.compare(at + 46, nameLength, name) != 0) continue;
    const uint32_t half = Get32(zip, at + 24) / 2;
    Put32(zip, at + 24, half);
    const size_t local = Get32(zip, at + 42);
    if (Get32(zip, local + 22) != 0) Put32(zip, local + 22, half);
  }
  return zip;
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::string b(n, '\0');
  for (char& c : b) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  b[0] = 'x';  // no magic of any kind
  return b;
}

TEST(UnreadableOfficeFaults, EachUnreadableWordOrPowerPointFileExitsOneWithItsReason) {
  testenv::TempDir dir;
  const std::string word = testenv::ReadHostFile(testenv::DataPath("office/word-sample.doc"));
  const std::string slides = Gunzip(testenv::ReadHostFile(testenv::DataPath("office/slides.ppt.gz")));
  ASSERT_GT(slides.size(), 100000u);
  const std::string damaged = "複合ファイルが壊れています (";
  struct Case {
    std::string name;
    std::string bytes;
    std::string reason;
    const char* hint = nullptr;  // on standard error too
  };
  std::vector<Case> cases;
  for (const char* part : {"FAT", "DIFAT", "mini FAT", "directory", "directory tree"}) {
    cases.push_back({std::string("loop-") + part + ".doc", WithLoop(word, u"WordDocument", part), damaged + part + "の循環)"});
    cases.push_back({std::string("loop-") + part + ".ppt", WithLoop(slides, u"PowerPoint Document", part), damaged + part + "の循環)"});
  }
  cases.push_back({"random.doc", RandomBytes(1500, 7), "Wordのファイルではありません"});
  cases.push_back({"random.ppt", RandomBytes(5000, 9), "PowerPointのファイルではありません"});
  cases.push_back({"random.xls", RandomBytes(1500, 11), "Excelのファイルではありません"});
  cases.push_back({"notes.doc", "a plain text, not a Word document\r\n", "Wordのファイルではありません"});
  cases.push_back({"notes.ppt", "a plain text, not a presentation\r\n", "PowerPointのファイルではありません"});
  // Office Open XML names on bytes that are no ZIP archive showed nothing with exit 0.
  cases.push_back({"random.docx", RandomBytes(3000, 13), "Wordのファイルではありません"});
  cases.push_back({"random.pptx", RandomBytes(3000, 17), "PowerPointのファイルではありません"});
  cases.push_back({"empty.docx", "", "Wordのファイルではありません"});
  // Damaged files showed what they had with exit 0.
  const std::string broken = "ファイルが壊れています (";
  cases.push_back({"chain-past-end.doc", WithChainPastEnd(word), broken + "FATのチェーンがファイルの終わりを越えています)"});
  const std::string book = testenv::ReadHostFile(testenv::DataPath("office/book.xlsx"));
  const std::string deck = testenv::ReadHostFile(testenv::DataPath("office/deck.pptx"));
  cases.push_back({"sheet-past-size.xlsx", WithPartPastItsSize(book, "xl/worksheets/sheet1.xml"), broken + "xl/worksheets/sheet1.xml : "});
  cases.push_back({"strings-past-size.xlsx", WithPartPastItsSize(book, "xl/sharedStrings.xml"), broken + "xl/sharedStrings.xml : "});
  cases.push_back({"slide-past-size.pptx", WithPartPastItsSize(deck, "ppt/slides/slide1.xml"), broken + "ppt/slides/slide1.xml : "});
  cases.push_back({"garbage.zip", "PK\3\4garbage", broken + "ZIPのヘッダー: 0 バイト目)"});
  if (testenv::PeerProgram("lha")) {
    // lha's own level-0 archive, its header size made to reach past the file.
    testenv::WriteHostFile(dir.HostPath("a.txt"), "hello lzh world, a small text\n");
    testenv::Shell("cd " + testenv::Quote(dir.Host()) + " && lha a0q made.lzh a.txt");
    std::string lzh = testenv::ReadHostFile(dir.HostPath("made.lzh"));
    ASSERT_GT(lzh.size(), 22u);
    lzh[0] = 0x40;
    cases.push_back({"lying-header.lzh", lzh, broken + "LZHのヘッダー: 0 バイト目)"});
  }
  // A package refused at the package cap exited 0 and named indata, which does not raise it.
  const std::string bomb = testenv::ReadHostFile(testenv::DataPath("office/hostile/declared-bomb.docx"));
  for (const char* name : {"declared-bomb.docx", "declared-bomb.xlsx", "declared-bomb.pptx"}) {
    cases.push_back({name, bomb, "ファイル容量オーバーです(>256MB)", "no setting raises that cap"});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testenv::WriteHostFile(dir.HostPath(c.name), c.bytes);
    const testenv::ProgramRun shown = testenv::RunProgram(dir.Host(), dir.HostPath("home"), testenv::Quote(c.name));
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.out, "");
    EXPECT_NE(shown.err.find(c.reason), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.find("indata"), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find(c.hint ? c.hint : c.reason), std::string::npos) << shown.err;
    // A script's open fails the same way, with the reason.
    testenv::WriteHostFile(dir.HostPath("s.script"), "open \"" + dir.HostPath(c.name) + "\"\n");
    const testenv::ProgramRun opened = testenv::RunProgram(dir.Host(), dir.HostPath("home"), "--script s.script");
    EXPECT_EQ(opened.status, 1);
    EXPECT_NE(opened.err.find("cannot be shown: " + c.reason), std::string::npos) << opened.err;
    // Debian's antiword finds no Word document in the files that are not one either.
    if (c.name.ends_with(".doc") && c.reason.find("のファイルではありません") != std::string::npos && testenv::PeerProgram("antiword")) {
      int status = -1;
      testenv::Shell("antiword " + testenv::Quote(dir.HostPath(c.name)) + " >/dev/null 2>&1", &status);
      EXPECT_NE(status, 0) << "antiword read it";
    }
  }
  // The files the loops were made in are shown, and exit 0.
  for (const auto& [name, bytes] : {std::pair{"sound.doc", word}, std::pair{"sound.ppt", slides}, std::pair{"sound.xlsx", book},
                                    std::pair{"sound.pptx", deck}}) {
    testenv::WriteHostFile(dir.HostPath(name), bytes);
    const testenv::ProgramRun run = testenv::RunProgram(dir.Host(), dir.HostPath("home"), testenv::Quote(name));
    EXPECT_NE(run.out, "") << name;
    EXPECT_EQ(run.status, 0) << name;
  }
}

}  // namespace
